#include "bridge/strict_json.hpp"

#include "base/ascii.hpp"
#include "base/utf8.hpp"
#include "bridge/json_scan_engine.hpp"

namespace kelvo {
namespace {

using json_detail::byteAt;
using json_detail::kByteClasses;
using json_detail::skipClass;

std::size_t digitRun(std::string_view text, std::size_t& pos) {
    std::size_t start = pos;
    while (pos < text.size() && isDecimalDigit(text[pos])) ++pos;
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
                // Only whole characters: no overlong forms, surrogates or code points above U+10FFFF.
                Utf8Unit unit = utf8UnitAt(text, at);
                if (!unit.valid) return false;
                at += unit.length;
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
                        if (!isHexDigit(text[i])) return false;
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
