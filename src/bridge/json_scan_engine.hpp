#pragma once

// The one iterative walk over a JSON value that every scanner of the bridge shares. A grammar
// supplies what differs between them: the white-space set, how a string is scanned and how a
// bare value (number or literal) is scanned. Containers are tracked on a fixed stack of bits, so
// no input, however deeply nested, can exhaust the thread's stack.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "bridge/json_scan.hpp"

namespace kelvo::json_detail {

// Bytes at or above 0x80, below 0x20, the double quote and the backslash stop the fast run over
// a string's plain bytes.
struct ByteClasses {
    bool stopsLenientString[256];
    bool stopsStrictString[256];
    bool requestSpace[256];
    bool asciiSpace[256];
    bool endsBareToken[256];

    constexpr ByteClasses() : stopsLenientString{}, stopsStrictString{}, requestSpace{}, asciiSpace{}, endsBareToken{} {
        for (int byte = 0; byte < 256; ++byte) {
            bool control = byte < 0x20;
            bool special = byte == '"' || byte == '\\';
            stopsLenientString[byte] = control || special;
            stopsStrictString[byte] = control || special || byte >= 0x80;
            requestSpace[byte] = byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r';
            asciiSpace[byte] = byte == ' ' || (byte >= 0x09 && byte <= 0x0D);
            endsBareToken[byte] = requestSpace[byte] || byte == ',' || byte == ']' || byte == '}';
        }
    }
};

inline constexpr ByteClasses kByteClasses{};

inline unsigned char byteAt(std::string_view text, std::size_t index) {
    return static_cast<unsigned char>(text[index]);
}

// Advances `at` over the plain bytes of a string: those that are not a double quote, a backslash
// or below 0x20 (and, when `kStopAtNonAscii`, not 0x80 or above). Eight bytes are tested at a
// time; the word holding a stop byte is finished byte by byte.
template <bool kStopAtNonAscii>
inline void skipPlainStringBytes(std::string_view text, std::size_t& at) {
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    auto hasZeroByte = [](std::uint64_t word) { return (word - kOnes) & ~word & kHighs; };
    while (at + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + at, sizeof word);
        std::uint64_t stops = hasZeroByte(word ^ (kOnes * '"')) | hasZeroByte(word ^ (kOnes * '\\')) |
                              ((word - kOnes * 0x20) & ~word & kHighs);
        if (kStopAtNonAscii) stops |= word & kHighs;
        if (stops != 0) break;
        at += 8;
    }
    const bool(&stopsString)[256] = kStopAtNonAscii ? kByteClasses.stopsStrictString : kByteClasses.stopsLenientString;
    while (at < text.size() && !stopsString[byteAt(text, at)]) ++at;
}

// Advances `pos` past the bytes of `table`'s class.
inline void skipClass(const bool (&table)[256], std::string_view text, std::size_t& pos) {
    while (pos < text.size() && table[byteAt(text, pos)]) ++pos;
}

// Walks one value starting exactly at `cursor` (no white space is skipped before it). On success
// `cursor` stands just after the value; on failure it is left unchanged.
template <class Grammar>
bool scanJsonValue(std::string_view text, std::size_t& cursor) {
    // One bit per open container: 1 for an object, 0 for an array.
    std::uint64_t kinds[kMaxJsonDepth / 64] = {};
    std::size_t depth = 0;
    std::size_t pos = cursor;
    const std::size_t size = text.size();

    auto inObject = [&] { return (kinds[(depth - 1) / 64] >> ((depth - 1) % 64)) & 1u; };

    // Reads an object member's key and the colon; `pos` stands at the key's first byte.
    auto scanKey = [&] {
        if (pos >= size || text[pos] != '"' || !Grammar::scanString(text, pos)) return false;
        Grammar::skipSpace(text, pos);
        if (pos >= size || text[pos] != ':') return false;
        ++pos;
        Grammar::skipSpace(text, pos);
        return true;
    };

    for (;;) {
        // A value at `pos`.
        if (pos >= size) return false;
        unsigned char byte = byteAt(text, pos);
        if (byte == '[' || byte == '{') {
            if (depth == kMaxJsonDepth) return false;
            bool object = byte == '{';
            std::uint64_t bit = std::uint64_t{1} << (depth % 64);
            if (object) {
                kinds[depth / 64] |= bit;
            } else {
                kinds[depth / 64] &= ~bit;
            }
            ++depth;
            ++pos;
            Grammar::skipSpace(text, pos);
            if (pos < size && text[pos] == (object ? '}' : ']')) {
                ++pos;
                --depth;
            } else {
                if (object && !scanKey()) return false;
                continue;
            }
        } else if (byte == '"') {
            if (!Grammar::scanString(text, pos)) return false;
        } else {
            if (!Grammar::scanBare(text, pos)) return false;
        }

        // After a value: close containers until one continues with a comma.
        for (;;) {
            if (depth == 0) {
                cursor = pos;
                return true;
            }
            Grammar::skipSpace(text, pos);
            if (pos >= size) return false;
            bool object = inObject();
            char next = text[pos];
            if (next == ',') {
                ++pos;
                Grammar::skipSpace(text, pos);
                if (object && !scanKey()) return false;
                break;
            }
            if (next != (object ? '}' : ']')) return false;
            ++pos;
            --depth;
        }
    }
}

}  // namespace kelvo::json_detail
