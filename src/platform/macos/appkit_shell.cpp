// What the desktop does for the application: notifications, opening URLs, showing files in the
// file manager and the recently used documents.

#include "base/ascii.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// A URL the desktop can be asked to open: a scheme (a letter, then letters, digits, "+", "-" or
// "."), a colon, and no blank, control byte or DEL anywhere.
bool isOpenableUrl(std::string_view url) {
    std::size_t colon = url.find(':');
    if (colon == 0 || colon == std::string_view::npos || !isAsciiLetter(url[0])) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        char c = url[i];
        if (!isAsciiAlnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    for (char c : url) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte == 0x7F) return false;
    }
    return true;
}

// A path the desktop can be given: present, and without a NUL byte, at which it would end.
bool isPathText(std::string_view path) { return !path.empty() && path.find('\0') == std::string_view::npos; }

}  // namespace

std::int32_t kelvo_appkit_show_notification(KelvoAppKitHost* host, const char* title, std::size_t titleLength,
                                            const char* subtitle, std::size_t subtitleLength, const char* body,
                                            std::size_t bodyLength) {
    std::string_view titleText = hostText(title, titleLength);
    if (titleText.empty()) return 0;
    // Not delivered where the desktop has no notification service.
    return host->platform->workspace.notify(host->platform->self, titleText, hostText(subtitle, subtitleLength),
                                            hostText(body, bodyLength))
               ? 1
               : 0;
}

std::int32_t kelvo_appkit_open_external_url(KelvoAppKitHost* host, const char* url, std::size_t urlLength) {
    std::string_view text = hostText(url, urlLength);
    if (!isOpenableUrl(text)) return 0;
    return host->platform->workspace.openUrl(host->platform->self, text) ? 1 : 0;
}

std::int32_t kelvo_appkit_reveal_path(KelvoAppKitHost* host, const char* path, std::size_t pathLength) {
    std::string_view text = hostText(path, pathLength);
    if (!isPathText(text)) return 0;
    return host->platform->workspace.revealPath(host->platform->self, text) ? 1 : 0;
}

std::int32_t kelvo_appkit_add_recent_document(KelvoAppKitHost* host, const char* path, std::size_t pathLength) {
    std::string_view text = hostText(path, pathLength);
    if (!isPathText(text)) return 0;
    return host->platform->workspace.addRecentDocument(host->platform->self, text) ? 1 : 0;
}

std::int32_t kelvo_appkit_clear_recent_documents(KelvoAppKitHost* host) {
    host->platform->workspace.clearRecentDocuments(host->platform->self);
    return 1;
}

}  // namespace kelvo
