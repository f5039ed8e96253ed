#include "base/utf16_offsets.hpp"

#include "base/utf8.hpp"

namespace kelvo {

namespace {

std::uint64_t unitsOf(const Utf8CodePoint& c) { return c.value > 0xFFFF ? 2 : 1; }

}  // namespace

std::uint64_t utf16LengthOfPrefix(std::string_view text, std::uint64_t characters) {
    std::uint64_t units = 0;
    for (std::size_t at = 0; at < text.size() && characters > 0; --characters) {
        const Utf8CodePoint c = utf8CodePointAt(text, at);
        units += unitsOf(c);
        at += c.length;
    }
    return units;
}

std::uint64_t utf16Length(std::string_view text) { return utf16LengthOfPrefix(text, UINT64_MAX); }

std::uint64_t utf16OffsetOfByte(std::string_view text, std::size_t byte) {
    std::uint64_t units = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Utf8CodePoint c = utf8CodePointAt(text, at);
        if (at + c.length > byte) break;
        units += unitsOf(c);
        at += c.length;
    }
    return units;
}

std::size_t byteOffsetOfUtf16(std::string_view text, std::uint64_t units) {
    std::size_t at = 0;
    for (std::uint64_t seen = 0; at < text.size() && seen < units;) {
        const Utf8CodePoint c = utf8CodePointAt(text, at);
        seen += unitsOf(c);
        at += c.length;
    }
    return at;
}

std::uint64_t characterOffsetOfUtf16(std::string_view text, std::uint64_t units) {
    std::uint64_t characters = 0;
    for (std::size_t at = 0, seen = 0; at < text.size() && seen < units; ++characters) {
        const Utf8CodePoint c = utf8CodePointAt(text, at);
        seen += unitsOf(c);
        at += c.length;
    }
    return characters;
}

std::size_t byteOffsetOfCharacter(std::string_view text, std::uint64_t characters) {
    std::size_t at = 0;
    for (; at < text.size() && characters > 0; --characters) at += utf8UnitAt(text, at).length;
    return at;
}

std::uint64_t characterCount(std::string_view text) {
    std::uint64_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) at += utf8UnitAt(text, at).length;
    return characters;
}

}  // namespace kelvo
