#include "bridge/strict_json.hpp"

#include "bridge/json_scan_engine.hpp"

namespace kelvo {
namespace {

using json_detail::byteAt;
using json_detail::kByteClasses;
using json_detail::skipClass;

bool isDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }
bool isHexDigit(unsigned char byte) {
    return isDigit(byte) || (byte >= 'a' && byte <= 'f') || (byte >= 'A' && byte <= 'F');
}

bool isContinuation(std::string_view text, std::size_t at, unsigned char low = 0x80, unsigned char high = 0xBF) {
    if (at >= text.size()) return false;
    unsigned char byte = byteAt(text, at);
    return byte >= low && byte <= high;
}

// Checks the UTF-8 sequence that starts at `pos` (a byte of 0x80 or above) and steps over it.
bool skipUtf8Sequence(std::string_view text, std::size_t& pos) {
    unsigned char lead = byteAt(text, pos);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return false;
    }
    if (!isContinuation(text, pos + 1, low, high)) return false;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(text, pos + i)) return false;
    }
    pos += length;
    return true;
}

std::size_t digitRun(std::string_view text, std::size_t& pos) {
    std::size_t start = pos;
    while (pos < text.size() && isDigit(byteAt(text, pos))) ++pos;
    return pos - start;
}

struct StrictGrammar {
    static void skipSpace(std::string_view text, std::size_t& pos) { skipClass(kByteClasses.requestSpace, text, pos); }

    static bool scanString(std::string_view text, std::size_t& pos) {
        std::size_t at = pos + 1;
        for (;;) {
            json_detail::skipPlainStringBytes<true>(text, at);
            if (at >= text.size()) return false;
            unsigned char byte = byteAt(text, at);
            if (byte == '"') {
                pos = at + 1;
                return true;
            }
            if (byte >= 0x80) {
                if (!skipUtf8Sequence(text, at)) return false;
                continue;
            }
            if (byte != '\\' || at + 1 >= text.size()) return false;
            switch (text[at + 1]) {
                case '"':
                case '\\':
                case '/':
                case 'b':
                case 'f':
                case 'n':
                case 'r':
                case 't':
                    at += 2;
                    break;
                case 'u':
                    if (at + 6 > text.size()) return false;
                    for (std::size_t i = at + 2; i < at + 6; ++i) {
                        if (!isHexDigit(byteAt(text, i))) return false;
                    }
                    at += 6;
                    break;
                default:
                    return false;
            }
        }
    }

    static bool scanBare(std::string_view text, std::size_t& pos) {
        std::string_view rest = text.substr(pos);
        for (std::string_view literal : {"true", "false", "null"}) {
            if (rest.starts_with(literal)) {
                pos += literal.size();
                return true;
            }
        }
        std::size_t at = pos;
        if (at < text.size() && text[at] == '-') ++at;
        if (at < text.size() && text[at] == '0') {
            ++at;
        } else if (digitRun(text, at) == 0) {
            return false;
        }
        if (at < text.size() && text[at] == '.') {
            ++at;
            if (digitRun(text, at) == 0) return false;
        }
        if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
            ++at;
            if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
            if (digitRun(text, at) == 0) return false;
        }
        pos = at;
        return true;
    }
};

}  // namespace

bool isStrictJson(std::string_view text) {
    std::size_t pos = 0;
    StrictGrammar::skipSpace(text, pos);
    if (!json_detail::scanJsonValue<StrictGrammar>(text, pos)) return false;
    StrictGrammar::skipSpace(text, pos);
    return pos == text.size();
}

}  // namespace kelvo
