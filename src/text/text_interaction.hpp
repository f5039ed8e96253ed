#pragma once

// The pure text-editing operations of text entries: replacing a byte range within the edit limit,
// and moving by words.

#include <cstddef>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// An edited text holds at most this many bytes.
inline constexpr std::size_t kTextEditLimit = 65536;

struct TextEditResult {
    std::string_view text;  // inside the output buffer
    std::size_t start = 0;  // where the replaced range began
    std::size_t caret = 0;  // just after the inserted text
};

// Writes `text` with [anchor, focus) (in either order, each moved back to its character's start)
// replaced by `inserted` into `output`, which may be the buffer `text` lies in (same start).
// TextEditBufferTooSmall, with nothing written, when the result would pass the edit limit or not
// fit `output`. `inserted` must not lie in `output`.
Result<TextEditResult> replaceTextRange(std::string_view text, std::size_t anchor, std::size_t focus,
                                        std::string_view inserted, std::span<char> output);

// Word characters are ASCII letters, digits, the underscore and every byte of 0x80 or above.
bool isTextWordByte(char byte);

// The end of the next word at or after `offset` (skipping what is not a word first), or the end.
std::size_t nextTextWordOffset(std::string_view text, std::size_t offset);

// The start of the word before `offset` (skipping what is not a word first), or 0.
std::size_t previousTextWordOffset(std::string_view text, std::size_t offset);

}  // namespace kelvo
