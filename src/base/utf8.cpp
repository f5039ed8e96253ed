#include "base/utf8.hpp"

namespace kelvo {

Utf8Unit utf8UnitAt(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) return {1, true};
    // The range of the second byte depends on the lead (no overlong forms, no surrogates, nothing
    // above U+10FFFF); later bytes are 0x80-0xBF.
    std::size_t need = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {1, false};
    }
    std::size_t length = 1;
    for (std::size_t i = 0; i < need; ++i) {
        std::size_t position = at + length;
        if (position >= text.size()) return {length, false};
        unsigned char next = byte(position);
        if (next < low || next > high) return {length, false};
        low = 0x80;
        high = 0xBF;
        ++length;
    }
    return {length, true};
}

Utf8CodePoint utf8CodePointAt(std::string_view text, std::size_t at) {
    const Utf8Unit unit = utf8UnitAt(text, at);
    if (!unit.valid) return {0xFFFD, unit.length};
    auto byte = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(text[at + i])); };
    switch (unit.length) {
        case 1:
            return {byte(0), 1};
        case 2:
            return {((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu), 2};
        case 3:
            return {((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu), 3};
        default:
            return {
                ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) | (byte(3) & 0x3Fu),
                4};
    }
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        Utf8Unit unit = utf8UnitAt(text, at);
        if (!unit.valid) return false;
        at += unit.length;
    }
    return true;
}

std::size_t utf8CutLength(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t next = at + utf8UnitAt(text, at).length;
        if (next > maxBytes) break;
        at = next;
    }
    return at;
}

void writeValidUtf8(BoundedWriter& out, std::string_view text) {
    std::size_t runStart = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        Utf8Unit unit = utf8UnitAt(text, at);
        if (!unit.valid) {
            out.write(text.substr(runStart, at - runStart));
            out.write(kUtf8Replacement);
            runStart = at + unit.length;
        }
        at += unit.length;
    }
    out.write(text.substr(runStart));
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace kelvo
