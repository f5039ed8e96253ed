#include "render/packet/json_tree.hpp"

#include <cmath>

#include "base/number_text.hpp"
#include "base/utf8.hpp"

namespace kelvo {

namespace {

struct Parser {
    std::string_view text;
    std::size_t at = 0;
    std::size_t maxDepth = 0;

    void skipSpace() {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
    }
    bool take(char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (text.substr(at, w.size()) != w) return false;
        at += w.size();
        return true;
    }

    std::optional<std::uint32_t> hex4() {
        if (text.size() - at < 4) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text[at++];
            v <<= 4;
            if (c >= '0' && c <= '9') {
                v |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                v |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                v |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return v;
    }

    std::optional<std::uint32_t> escapedCodePoint() {
        const std::optional<std::uint32_t> high = hex4();
        if (!high || (*high >= 0xDC00 && *high <= 0xDFFF)) return std::nullopt;
        if (*high < 0xD800 || *high > 0xDBFF) return high;
        if (!word("\\u")) return std::nullopt;
        const std::optional<std::uint32_t> low = hex4();
        if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
        return 0x10000 + ((*high - 0xD800) << 10) + (*low - 0xDC00);
    }

    bool string(std::string& out) {
        if (!take('"')) return false;
        std::size_t runStart = at;
        for (;;) {
            if (at >= text.size()) return false;
            const auto c = static_cast<unsigned char>(text[at]);
            if (c == '"' || c == '\\') {
                out.append(text.substr(runStart, at - runStart));
                ++at;
                if (c == '"') return true;
                if (at >= text.size()) return false;
                const char e = text[at++];
                switch (e) {
                    case '"':
                        out.push_back('"');
                        break;
                    case '\\':
                        out.push_back('\\');
                        break;
                    case '/':
                        out.push_back('/');
                        break;
                    case 'b':
                        out.push_back('\b');
                        break;
                    case 'f':
                        out.push_back('\f');
                        break;
                    case 'n':
                        out.push_back('\n');
                        break;
                    case 'r':
                        out.push_back('\r');
                        break;
                    case 't':
                        out.push_back('\t');
                        break;
                    case 'u': {
                        const std::optional<std::uint32_t> cp = escapedCodePoint();
                        if (!cp) return false;
                        appendUtf8(out, *cp);
                        break;
                    }
                    default:
                        return false;
                }
                runStart = at;
            } else if (c < 0x20) {
                return false;
            } else if (c < 0x80) {
                ++at;
            } else {
                const Utf8Unit unit = utf8UnitAt(text, at);
                if (!unit.valid) return false;
                at += unit.length;
            }
        }
    }

    bool digits() {
        const std::size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        return at > start;
    }

    bool number(JsonTreeValue& value) {
        const std::size_t start = at;
        const bool negative = take('-');
        if (take('0')) {
            // a leading zero stands alone
        } else if (!digits()) {
            return false;
        }
        bool integer = true;
        if (take('.')) {
            integer = false;
            if (!digits()) return false;
        }
        if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
            integer = false;
            ++at;
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        const std::string_view token = text.substr(start, at - start);
        const ConvertedNumber<double> converted = convertNearestF64(token);
        if (converted.outcome != NumberConversion::converted || !std::isfinite(converted.value)) return false;
        value.type = JsonTreeValue::Type::number;
        value.number = converted.value;
        if (integer && !negative) value.exact = parseU64(token);
        return true;
    }

    bool value(JsonTreeValue& out, std::size_t depth) {
        skipSpace();
        if (at >= text.size()) return false;
        const char c = text[at];
        if (c == '{' || c == '[') {
            if (depth >= maxDepth) return false;
            ++at;
            const bool object = c == '{';
            out.type = object ? JsonTreeValue::Type::object : JsonTreeValue::Type::array;
            skipSpace();
            if (take(object ? '}' : ']')) return true;
            for (;;) {
                skipSpace();
                if (object) {
                    if (!string(out.keys.emplace_back())) return false;
                    skipSpace();
                    if (!take(':')) return false;
                }
                if (!value(out.items.emplace_back(), depth + 1)) return false;
                skipSpace();
                if (take(object ? '}' : ']')) return true;
                if (!take(',')) return false;
            }
        }
        if (c == '"') {
            out.type = JsonTreeValue::Type::string;
            return string(out.text);
        }
        if (word("true") || word("false")) {
            out.type = JsonTreeValue::Type::boolean;
            out.boolean = text[at - 1] == 'e' && text[at - 2] == 'u';
            return true;
        }
        if (word("null")) return true;
        return number(out);
    }
};

}  // namespace

const JsonTreeValue* JsonTreeValue::member(std::string_view key) const {
    if (type != Type::object) return nullptr;
    for (std::size_t i = keys.size(); i-- > 0;) {
        if (keys[i] == key) return &items[i];
    }
    return nullptr;
}

std::optional<JsonTreeValue> parseJsonTree(std::string_view text, std::size_t maxDepth) {
    Parser parser{text, 0, maxDepth};
    JsonTreeValue root;
    if (!parser.value(root, 0)) return std::nullopt;
    parser.skipSpace();
    if (parser.at != text.size()) return std::nullopt;
    return root;
}

}  // namespace kelvo
