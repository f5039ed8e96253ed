#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/bounded_writer.hpp"

namespace kelvo {

// One unit of a UTF-8 text: a whole character, or the longest run of bytes that starts like one
// but cannot be completed (an invalid unit, shown as one U+FFFD).
struct Utf8Unit {
    std::size_t length = 0;
    bool valid = false;
};

// The unit that starts at `at` (which must be inside `text`).
Utf8Unit utf8UnitAt(std::string_view text, std::size_t at);

struct Utf8CodePoint {
    std::uint32_t value = 0;
    std::size_t length = 0;
};

// The character that starts at `at` (inside `text`) and its length in bytes; an invalid unit is
// U+FFFD over the unit's length.
Utf8CodePoint utf8CodePointAt(std::string_view text, std::size_t at);

// Whether every unit of `text` is valid.
bool isValidUtf8(std::string_view text);

// The longest prefix of `text` of at most `maxBytes` bytes that does not split a character.
std::size_t utf8CutLength(std::string_view text, std::size_t maxBytes);

inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";

// Copies `text` with each invalid unit replaced by U+FFFD.
void writeValidUtf8(BoundedWriter& out, std::string_view text);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void appendUtf8(std::string& out, std::uint32_t codePoint);

}  // namespace kelvo
