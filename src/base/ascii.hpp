#pragma once

#include <cstddef>
#include <string_view>

namespace kelvo {

// ASCII byte classes for the program's parsers and name rules. They look at bytes only: no
// locale, and every byte of 0x80 or above belongs to no class.

constexpr bool isDecimalDigit(char byte) { return byte >= '0' && byte <= '9'; }

constexpr bool isAsciiLetter(char byte) { return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z'); }

constexpr bool isAsciiAlnum(char byte) { return isDecimalDigit(byte) || isAsciiLetter(byte); }

// The value of a hexadecimal digit (either letter case), or -1 for any other byte.
constexpr int hexDigitValue(char byte) {
    if (isDecimalDigit(byte)) return byte - '0';
    if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
    return -1;
}

constexpr bool isHexDigit(char byte) {
    return isDecimalDigit(byte) || (byte >= 'a' && byte <= 'f') || (byte >= 'A' && byte <= 'F');
}

constexpr char toLowerAscii(char byte) {
    return (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte - 'A' + 'a') : byte;
}

// Whether `text` reads as `lowerCaseWord` with its ASCII capitals taken as small letters
// ("NaN" matches "nan"). `lowerCaseWord` must hold no capitals.
constexpr bool matchesLowerCaseWord(std::string_view text, std::string_view lowerCaseWord) {
    if (text.size() != lowerCaseWord.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (toLowerAscii(text[i]) != lowerCaseWord[i]) return false;
    }
    return true;
}

}  // namespace kelvo
