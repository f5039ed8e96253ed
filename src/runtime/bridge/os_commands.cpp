// "kelvo.os.": opening allowed external links, revealing paths, notifications and the
// recent-documents list.

#include <array>

#include "runtime/bridge/external_links.hpp"
#include "runtime/bridge/family_support.hpp"
#include "runtime/bridge/service_families.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr std::size_t kMaxUrlBytes = 4096;
constexpr std::size_t kMaxPathBytes = 4096;
constexpr std::size_t kMaxNotificationTitleBytes = 128;
constexpr std::size_t kMaxNotificationBodyBytes = 1024;

bool isWebUrlByte(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte >= 0x21 && byte != 0x7F;
}

Result<std::string_view> openUrl(BuiltinCommandContext& context) {
    std::optional<std::string_view> url = TRY(stringMember(context, "url", Error::ExternalUrlTooLarge));
    if (!url || url->empty()) return fail(Error::InvalidExternalUrl);
    if (url->size() > kMaxUrlBytes) return fail(Error::ExternalUrlTooLarge);
    if (!url->starts_with("https://") && !url->starts_with("http://")) return fail(Error::InvalidExternalUrl);
    for (char c : *url) {
        if (!isWebUrlByte(c)) return fail(Error::InvalidExternalUrl);
    }
    if (!externalLinkAllowed(context.runtime.securityPolicy, *url)) return fail(Error::NavigationDenied);
    TRY(callNeeded<&PlatformSlots::openExternalUrl>(context.runtime.platform, *url));
    return kTrueResult;
}

// The "path" of the reveal and recent-document commands.
Result<std::string_view> pathMember(BuiltinCommandContext& context, Error invalid, Error tooLarge) {
    std::optional<std::string_view> path = TRY(stringMember(context, "path", tooLarge));
    if (!path || path->empty()) return fail(invalid);
    TRY(checkText(*path, kMaxPathBytes, tooLarge, invalid));
    return *path;
}

Result<std::string_view> revealPath(BuiltinCommandContext& context) {
    std::string_view path = TRY(pathMember(context, Error::InvalidRevealPath, Error::RevealPathTooLarge));
    TRY(callNeeded<&PlatformSlots::revealPath>(context.runtime.platform, path));
    return kTrueResult;
}

Result<std::string_view> addRecentDocument(BuiltinCommandContext& context) {
    std::string_view path =
        TRY(pathMember(context, Error::InvalidRecentDocumentPath, Error::RecentDocumentPathTooLarge));
    TRY(callNeeded<&PlatformSlots::addRecentDocument>(context.runtime.platform, path));
    return kTrueResult;
}

Result<std::string_view> clearRecentDocuments(BuiltinCommandContext& context) {
    TRY(callNeeded<&PlatformSlots::clearRecentDocuments>(context.runtime.platform));
    return kTrueResult;
}

Result<std::string_view> showNotification(BuiltinCommandContext& context) {
    constexpr Error kTooLarge = Error::NotificationFieldTooLarge;
    constexpr Error kInvalid = Error::InvalidNotificationOptions;
    std::optional<std::string_view> title = TRY(stringMember(context, "title", kTooLarge));
    std::optional<std::string_view> subtitle = TRY(stringMember(context, "subtitle", kTooLarge));
    std::optional<std::string_view> body = TRY(firstStringMember(context, {"body", "message"}, kTooLarge));
    if (!title || title->empty()) return fail(kInvalid);
    TRY(checkText(*title, kMaxNotificationTitleBytes, kTooLarge, kInvalid));
    TRY(checkText(subtitle.value_or(""), kMaxNotificationTitleBytes, kTooLarge, kInvalid));
    TRY(checkText(body.value_or(""), kMaxNotificationBodyBytes, kTooLarge, kInvalid));
    TRY(callNeeded<&PlatformSlots::showNotification>(context.runtime.platform, *title, subtitle.value_or(""),
                                                     body.value_or("")));
    return kTrueResult;
}

constexpr std::array<BuiltinCommand, 5> kOsCommands = {{
    {"openUrl", &openUrl},
    {"revealPath", &revealPath},
    {"showNotification", &showNotification},
    {"addRecentDocument", &addRecentDocument},
    {"clearRecentDocuments", &clearRecentDocuments},
}};

}  // namespace

std::string_view dispatchOsBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.os.", kOsCommands, "Unknown OS command");
}

}  // namespace kelvo
