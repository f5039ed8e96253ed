#include "runtime/bridge/builtin_errors.hpp"

namespace kelvo {

// X(error, code, message) for every error with a message of its own.
#define KELVO_BUILTIN_BRIDGE_ERRORS(X)                                                                               \
    X(NoSpaceLeft, internal_error, "Native response buffer is too small")                                            \
    X(CreateFailed, internal_error, "Native view creation failed")                                                   \
    X(InvalidCommand, invalid_request, "Command name is invalid")                                                    \
    X(WindowLimitReached, invalid_request, "Window limit reached")                                                   \
    X(InvalidWindowOptions, invalid_request, "Window options are invalid")                                           \
    X(WindowSourceTooLarge, invalid_request, "Window source is too large")                                           \
    X(WindowNotFound, invalid_request, "Window was not found")                                                       \
    X(ViewNotFound, invalid_request, "View was not found")                                                           \
    X(InvalidViewOptions, invalid_request, "View options are invalid")                                               \
    X(ViewLabelTooLarge, invalid_request, "View label is too large")                                                 \
    X(DuplicateWidgetId, internal_error, "Canvas widget id already exists")                                          \
    X(WidgetSemanticsListFull, internal_error, "Canvas widget semantics limit reached")                              \
    X(UnsupportedService, invalid_request, "Native service is not available on this platform")                       \
    X(WidgetTextTooLarge, internal_error, "Canvas widget text is too large")                                         \
    X(UnsupportedViewFocus, invalid_request, "This backend does not support focusing this native view yet")          \
    X(InvalidClipboardOptions, invalid_request, "Clipboard options are invalid")                                     \
    X(ClipboardFieldTooLarge, invalid_request, "Clipboard field is too large")                                       \
    X(WebViewLayerNotBuilt, invalid_request,                                                                         \
      "this app was built without the web layer because nothing in app.zon declared web use; add \"webview\" to "    \
      ".capabilities (or a .frontend block / a .shell webview view) and rebuild")                                    \
    X(WebViewLabelTooLarge, invalid_request, "WebView label is too large")                                           \
    X(InvalidExternalUrl, invalid_request, "External URL is invalid")                                                \
    X(InvalidNotificationOptions, invalid_request, "Notification options are invalid")                               \
    X(InvalidRevealPath, invalid_request, "Reveal path is invalid")                                                  \
    X(InvalidRecentDocumentPath, invalid_request, "Recent document path is invalid")                                 \
    X(InvalidCredentialOptions, invalid_request, "Credential options are invalid")                                   \
    X(CredentialFieldTooLarge, invalid_request, "Credential field is too large")                                     \
    X(CredentialNotFound, internal_error, "Credential was not found")                                                \
    X(RecentDocumentPathTooLarge, invalid_request, "Recent document path is too large")                              \
    X(RevealPathTooLarge, invalid_request, "Reveal path is too large")                                               \
    X(NotificationFieldTooLarge, invalid_request, "Notification field is too large")                                 \
    X(DuplicateWindowLabel, invalid_request, "Window id or label already exists")                                    \
    X(MissingWindowSource, invalid_request, "Window source is missing")                                              \
    X(MissingWebViewUrl, invalid_request, "WebView URL is missing")                                                  \
    X(InvalidWebViewWindowId, invalid_request, "windowId must be a non-negative integer")                            \
    X(CrossWindowWebViewDenied, invalid_request, "WebView windowId must match the calling window")                   \
    X(InvalidWebViewOptions, invalid_request, "WebView options are invalid")                                         \
    X(WebViewNotFound, invalid_request, "WebView was not found")                                                     \
    X(WebViewLimitReached, invalid_request, "WebView limit reached")                                                 \
    X(DuplicateWebViewLabel, invalid_request, "WebView label already exists")                                        \
    X(ReservedWebViewLabel, invalid_request, "WebView label \"main\" is reserved for the startup WebView")           \
    X(WebViewUrlTooLarge, invalid_request, "WebView URL is too large")                                               \
    X(UnsupportedChildWebViews, invalid_request, "This backend does not support child WebViews yet")                 \
    X(UnsupportedWebViewBridge, invalid_request, "This backend does not support bridge-enabled child WebViews yet")  \
    X(UnsupportedMainWebViewFrame, invalid_request, "This backend does not support resizing the main WebView yet")   \
    X(UnsupportedMainWebViewZoom, invalid_request, "This backend does not support zooming the main WebView yet")     \
    X(UnsupportedMainWebViewLayer, invalid_request, "This backend does not support changing the main WebView layer") \
    X(NavigationDenied, invalid_request, "URL is not allowed by navigation policy")                                  \
    X(ExternalUrlTooLarge, invalid_request, "External URL is too large")                                             \
    X(InvalidDialogOptions, invalid_request, "Dialog options are invalid")                                           \
    X(DialogFieldTooLarge, invalid_request, "Dialog field is too large")                                             \
    X(InvalidTrayOptions, invalid_request, "Tray options are invalid")                                               \
    X(TrayFieldTooLarge, invalid_request, "Tray field is too large")                                                 \
    X(InvalidPlatformFeature, invalid_request, "Platform feature is invalid")                                        \
    X(DuplicateWindowId, invalid_request, "Window id already exists")                                                \
    X(InvalidViewWindowId, invalid_request, "view windowId must be a non-negative integer")                          \
    X(CrossWindowViewDenied, invalid_request, "view windowId must match the calling window")                         \
    X(ViewLimitReached, invalid_request, "View limit reached")                                                       \
    X(DuplicateViewLabel, invalid_request, "View label already exists")                                              \
    X(ViewRoleTooLarge, invalid_request, "View role is too large")                                                   \
    X(ViewAccessibilityLabelTooLarge, invalid_request, "View accessibility label is too large")                      \
    X(ViewTextTooLarge, invalid_request, "View text is too large")                                                   \
    X(WidgetNodeLimitReached, internal_error, "Canvas widget node limit reached")                                    \
    X(UnsupportedViewKind, invalid_request, "This backend does not support this native view kind yet")

BridgeErrorCode builtinBridgeErrorCode(Error error) {
    switch (error) {
#define KELVO_ERROR_CODE_CASE(name, code, message) \
    case Error::name:                              \
        return BridgeErrorCode::code;
        KELVO_BUILTIN_BRIDGE_ERRORS(KELVO_ERROR_CODE_CASE)
#undef KELVO_ERROR_CODE_CASE
        default:
            return BridgeErrorCode::internal_error;
    }
}

std::string_view builtinBridgeErrorMessage(Error error) {
    switch (error) {
#define KELVO_ERROR_MESSAGE_CASE(name, code, message) \
    case Error::name:                                 \
        return message;
        KELVO_BUILTIN_BRIDGE_ERRORS(KELVO_ERROR_MESSAGE_CASE)
#undef KELVO_ERROR_MESSAGE_CASE
        default:
            return kNativeCommandFailedMessage;
    }
}

std::string_view writeBuiltinErrorResponse(std::span<char> buffer, std::string_view id, Error error) {
    return writeErrorResponse(buffer, id, builtinBridgeErrorCode(error), builtinBridgeErrorMessage(error));
}

}  // namespace kelvo
