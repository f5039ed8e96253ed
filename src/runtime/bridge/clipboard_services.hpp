#pragma once

// The clipboard as every part of the runtime uses it (the bridge's clipboard commands, canvas text
// editing and context menus), so that all of them apply the same rules.

#include <cstddef>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

struct Runtime;

inline constexpr std::size_t kMaxClipboardMimeTypeBytes = 128;
inline constexpr std::size_t kMaxClipboardWriteBytes = 64 * 1024;
inline constexpr std::string_view kPlainTextMimeType = "text/plain";

// What goes on the clipboard: data of one MIME type.
struct ClipboardItem {
    std::string_view mimeType;
    std::string_view data;
};

// The clipboard's plain text, copied into `buffer`: through the platform's typed read with
// "text/plain" when it has one, else through its plain-text read. Empty when the clipboard holds
// no text; UnsupportedService without either read; NoSpaceLeft when the text does not fit.
Result<std::string_view> readClipboard(Runtime& runtime, std::span<char> buffer);

// The clipboard's data of `mimeType`, copied into `buffer`: through the platform's typed read when
// it has one; otherwise, for the types "text" and "text/plain", through its plain-text read;
// otherwise UnsupportedService. Empty when the clipboard holds nothing of that type.
Result<std::string_view> readClipboardOfType(Runtime& runtime, std::string_view mimeType, std::span<char> buffer);

// Puts `item` on the clipboard: through the platform's typed write when it has one; otherwise,
// for the types "text" and "text/plain", through its plain-text write; otherwise
// UnsupportedService. Checked first: the type (checkClipboardMimeType), then the data (over
// 65,536 bytes: ClipboardFieldTooLarge). A platform error is returned unchanged.
Status writeClipboardData(Runtime& runtime, const ClipboardItem& item);

// A MIME type is 1 to 128 bytes, none of them a blank, a control byte, DEL or a backslash:
// InvalidClipboardOptions for an empty type or a forbidden byte, ClipboardFieldTooLarge for a
// longer one.
Status checkClipboardMimeType(std::string_view mimeType);

// Whether the platform's plain-text clipboard operations serve `mimeType`.
bool isPlainTextMimeType(std::string_view mimeType);

}  // namespace kelvo
