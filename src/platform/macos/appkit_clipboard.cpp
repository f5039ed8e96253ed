// The clipboard: plain text, HTML and RTF by MIME type. A write empties the clipboard and puts
// one item in it; text that is not UTF-8 is refused before anything changes.

#include <cstring>
#include <optional>

#include "base/ascii.hpp"
#include "base/utf8.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// The clipboard type of a MIME type, compared without regard to case; none for any other type.
std::optional<standin::ClipboardType> clipboardTypeForMime(std::string_view mime) {
    if (matchesLowerCaseWord(mime, "text") || matchesLowerCaseWord(mime, "text/plain")) {
        return standin::ClipboardType::plain_text;
    }
    if (matchesLowerCaseWord(mime, "text/html")) return standin::ClipboardType::html;
    if (matchesLowerCaseWord(mime, "text/rtf") || matchesLowerCaseWord(mime, "application/rtf")) {
        return standin::ClipboardType::rtf;
    }
    return std::nullopt;
}

std::uint64_t readClipboard(KelvoAppKitHost& host, std::string_view mime, std::uint8_t* buffer, std::size_t capacity) {
    std::optional<standin::ClipboardType> type = clipboardTypeForMime(mime);
    if (!type || buffer == nullptr) return 0;
    // Reading from another program runs the main loop until the data arrives.
    beginModal(host);
    std::string bytes = host.platform->clipboard.read(host.platform->self, *type);
    endModal(host);
    if (!bytes.empty() && bytes.size() <= capacity) std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}

std::int32_t writeClipboard(KelvoAppKitHost& host, std::string_view mime, const std::uint8_t* data,
                            std::size_t length) {
    std::optional<standin::ClipboardType> type = clipboardTypeForMime(mime);
    if (!type) return 0;
    if (data == nullptr && length > 0) return 0;
    std::string_view bytes =
        length == 0 ? std::string_view{} : std::string_view(reinterpret_cast<const char*>(data), length);
    if (*type != standin::ClipboardType::rtf && !isValidUtf8(bytes)) return 0;
    return host.platform->clipboard.write(host.platform->self, *type, bytes) ? 1 : 0;
}

}  // namespace

std::uint64_t kelvo_appkit_clipboard_read(KelvoAppKitHost* host, char* buffer, std::size_t capacity) {
    return readClipboard(*host, "text/plain", reinterpret_cast<std::uint8_t*>(buffer), capacity);
}

std::uint64_t kelvo_appkit_clipboard_read_data(KelvoAppKitHost* host, const char* mimeType, std::size_t mimeTypeLength,
                                               std::uint8_t* buffer, std::size_t capacity) {
    return readClipboard(*host, hostText(mimeType, mimeTypeLength), buffer, capacity);
}

std::int32_t kelvo_appkit_clipboard_write(KelvoAppKitHost* host, const char* text, std::size_t textLength) {
    return writeClipboard(*host, "text/plain", reinterpret_cast<const std::uint8_t*>(text), textLength);
}

std::int32_t kelvo_appkit_clipboard_write_data(KelvoAppKitHost* host, const char* mimeType, std::size_t mimeTypeLength,
                                               const std::uint8_t* data, std::size_t length) {
    return writeClipboard(*host, hostText(mimeType, mimeTypeLength), data, length);
}

}  // namespace kelvo
