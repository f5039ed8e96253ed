#pragma once

// Places in UTF-8 text counted the way other systems count them: in UTF-16 code units (a
// character above U+FFFF takes two) and in characters. An invalid unit of the text counts as one
// character (it stands for U+FFFD). Offsets past the end stand for the end.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

// UTF-16 length of the text, and of its first `characters` characters.
std::uint64_t utf16Length(std::string_view text);
std::uint64_t utf16LengthOfPrefix(std::string_view text, std::uint64_t characters);

// UTF-16 units before the character that holds byte `byte`.
std::uint64_t utf16OffsetOfByte(std::string_view text, std::size_t byte);
// The byte where the character at UTF-16 offset `units` starts; an offset between the two units
// of one character stands after that character.
std::size_t byteOffsetOfUtf16(std::string_view text, std::uint64_t units);
// Characters before UTF-16 offset `units`, an offset inside a character counting that character.
std::uint64_t characterOffsetOfUtf16(std::string_view text, std::uint64_t units);
// The byte where character `characters` starts.
std::size_t byteOffsetOfCharacter(std::string_view text, std::uint64_t characters);
// How many characters the text holds.
std::uint64_t characterCount(std::string_view text);

}  // namespace kelvo
