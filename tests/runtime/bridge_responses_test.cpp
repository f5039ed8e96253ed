#include "runtime/bridge_responses.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>

namespace kelvo {
namespace {

constexpr BridgeErrorCode ir = BridgeErrorCode::invalid_request;
constexpr BridgeErrorCode ie = BridgeErrorCode::internal_error;

struct Row {
    Error error;
    BridgeErrorCode code;
    std::string_view message;
};

// Every error with a message of its own, in the order of the error set.
constexpr Row kRows[] = {
    {Error::NoSpaceLeft, ie, "Native response buffer is too small"},
    {Error::CreateFailed, ie, "Native view creation failed"},
    {Error::InvalidCommand, ir, "Command name is invalid"},
    {Error::WindowLimitReached, ir, "Window limit reached"},
    {Error::InvalidWindowOptions, ir, "Window options are invalid"},
    {Error::WindowSourceTooLarge, ir, "Window source is too large"},
    {Error::WindowNotFound, ir, "Window was not found"},
    {Error::ViewNotFound, ir, "View was not found"},
    {Error::InvalidViewOptions, ir, "View options are invalid"},
    {Error::ViewLabelTooLarge, ir, "View label is too large"},
    {Error::DuplicateWidgetId, ie, "Canvas widget id already exists"},
    {Error::WidgetSemanticsListFull, ie, "Canvas widget semantics limit reached"},
    {Error::UnsupportedService, ir, "Native service is not available on this platform"},
    {Error::WidgetTextTooLarge, ie, "Canvas widget text is too large"},
    {Error::UnsupportedViewFocus, ir, "This backend does not support focusing this native view yet"},
    {Error::InvalidClipboardOptions, ir, "Clipboard options are invalid"},
    {Error::ClipboardFieldTooLarge, ir, "Clipboard field is too large"},
    {Error::WebViewLayerNotBuilt, ir,
     "this app was built without the web layer because nothing in app.zon declared web use; add \"webview\" to "
     ".capabilities (or a .frontend block / a .shell webview view) and rebuild"},
    {Error::WebViewLabelTooLarge, ir, "WebView label is too large"},
    {Error::InvalidExternalUrl, ir, "External URL is invalid"},
    {Error::InvalidNotificationOptions, ir, "Notification options are invalid"},
    {Error::InvalidRevealPath, ir, "Reveal path is invalid"},
    {Error::InvalidRecentDocumentPath, ir, "Recent document path is invalid"},
    {Error::InvalidCredentialOptions, ir, "Credential options are invalid"},
    {Error::CredentialFieldTooLarge, ir, "Credential field is too large"},
    {Error::CredentialNotFound, ie, "Credential was not found"},
    {Error::RecentDocumentPathTooLarge, ir, "Recent document path is too large"},
    {Error::RevealPathTooLarge, ir, "Reveal path is too large"},
    {Error::NotificationFieldTooLarge, ir, "Notification field is too large"},
    {Error::DuplicateWindowLabel, ir, "Window id or label already exists"},
    {Error::MissingWindowSource, ir, "Window source is missing"},
    {Error::MissingWebViewUrl, ir, "WebView URL is missing"},
    {Error::InvalidWebViewWindowId, ir, "windowId must be a non-negative integer"},
    {Error::CrossWindowWebViewDenied, ir, "WebView windowId must match the calling window"},
    {Error::InvalidWebViewOptions, ir, "WebView options are invalid"},
    {Error::WebViewNotFound, ir, "WebView was not found"},
    {Error::WebViewLimitReached, ir, "WebView limit reached"},
    {Error::DuplicateWebViewLabel, ir, "WebView label already exists"},
    {Error::ReservedWebViewLabel, ir, "WebView label \"main\" is reserved for the startup WebView"},
    {Error::WebViewUrlTooLarge, ir, "WebView URL is too large"},
    {Error::UnsupportedChildWebViews, ir, "This backend does not support child WebViews yet"},
    {Error::UnsupportedWebViewBridge, ir, "This backend does not support bridge-enabled child WebViews yet"},
    {Error::UnsupportedMainWebViewFrame, ir, "This backend does not support resizing the main WebView yet"},
    {Error::UnsupportedMainWebViewZoom, ir, "This backend does not support zooming the main WebView yet"},
    {Error::UnsupportedMainWebViewLayer, ir, "This backend does not support changing the main WebView layer"},
    {Error::NavigationDenied, ir, "URL is not allowed by navigation policy"},
    {Error::ExternalUrlTooLarge, ir, "External URL is too large"},
    {Error::InvalidDialogOptions, ir, "Dialog options are invalid"},
    {Error::DialogFieldTooLarge, ir, "Dialog field is too large"},
    {Error::InvalidTrayOptions, ir, "Tray options are invalid"},
    {Error::TrayFieldTooLarge, ir, "Tray field is too large"},
    {Error::InvalidPlatformFeature, ir, "Platform feature is invalid"},
    {Error::DuplicateWindowId, ir, "Window id already exists"},
    {Error::InvalidViewWindowId, ir, "view windowId must be a non-negative integer"},
    {Error::CrossWindowViewDenied, ir, "view windowId must match the calling window"},
    {Error::ViewLimitReached, ir, "View limit reached"},
    {Error::DuplicateViewLabel, ir, "View label already exists"},
    {Error::ViewRoleTooLarge, ir, "View role is too large"},
    {Error::ViewAccessibilityLabelTooLarge, ir, "View accessibility label is too large"},
    {Error::ViewTextTooLarge, ir, "View text is too large"},
    {Error::WidgetNodeLimitReached, ie, "Canvas widget node limit reached"},
    {Error::UnsupportedViewKind, ir, "This backend does not support this native view kind yet"},
};

TEST(BuiltinBridgeErrors, EveryRowHasItsCodeAndMessage) {
    static_assert(std::size(kRows) == 62);
    for (const Row& row : kRows) {
        EXPECT_EQ(builtinBridgeErrorCode(row.error), row.code) << errorName(row.error);
        EXPECT_EQ(builtinBridgeErrorMessage(row.error), row.message) << errorName(row.error);
    }
}

TEST(BuiltinBridgeErrors, EveryOtherErrorIsAnInternalNativeCommandFailure) {
    std::set<Error> listed;
    for (const Row& row : kRows) listed.insert(row.error);
    for (std::size_t value = 0; value < kErrorCount; ++value) {
        auto error = static_cast<Error>(value);
        if (listed.count(error)) continue;
        EXPECT_EQ(builtinBridgeErrorCode(error), BridgeErrorCode::internal_error) << errorName(error);
        EXPECT_EQ(builtinBridgeErrorMessage(error), "Native command failed") << errorName(error);
    }
    EXPECT_EQ(builtinBridgeErrorMessage(Error::PermissionDenied), "Native command failed");
}

TEST(BuiltinBridgeErrors, WritesTheErrorReply) {
    std::array<char, 512> buffer;
    EXPECT_EQ(std::string(writeBuiltinErrorResponse(buffer, "3", Error::ViewNotFound)),
              R"({"id":"3","ok":false,"error":{"code":"invalid_request","message":"View was not found"}})");
    EXPECT_EQ(
        std::string(writeBuiltinErrorResponse(buffer, "4", Error::ReservedWebViewLabel)),
        R"({"id":"4","ok":false,"error":{"code":"invalid_request","message":"WebView label \"main\" is reserved for the startup WebView"}})");
    EXPECT_EQ(std::string(writeBuiltinErrorResponse(buffer, "5", Error::WriteFailed)),
              R"({"id":"5","ok":false,"error":{"code":"internal_error","message":"Native command failed"}})");
}

}  // namespace
}  // namespace kelvo
