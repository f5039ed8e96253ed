// Runs both lenient scanner families and the strict validator over arbitrary texts. The strict
// validator is compared with a small recursive reader written independently here; the two
// lenient families must agree wherever the request family succeeds.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <string_view>

#include "bridge/json_scan.hpp"
#include "bridge/strict_json.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

// A plain recursive reading of the standard grammar, bounded by the same depth.
class ReferenceReader {
public:
    explicit ReferenceReader(std::string_view text) : text_(text) {}

    bool document() {
        space();
        if (!value(0)) return false;
        space();
        return pos_ == text_.size();
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;

    int peek() const { return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1; }
    void space() {
        while (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r') ++pos_;
    }
    bool take(char c) {
        if (peek() != static_cast<unsigned char>(c)) return false;
        ++pos_;
        return true;
    }
    bool digits() {
        std::size_t start = pos_;
        while (peek() >= '0' && peek() <= '9') ++pos_;
        return pos_ > start;
    }

    bool value(std::size_t depth) {
        int c = peek();
        if (c == '{' || c == '[') {
            if (depth == kelvo::kMaxJsonDepth) return false;
            char close = c == '{' ? '}' : ']';
            ++pos_;
            space();
            if (take(close)) return true;
            for (;;) {
                if (close == '}') {
                    if (!string()) return false;
                    space();
                    if (!take(':')) return false;
                    space();
                }
                if (!value(depth + 1)) return false;
                space();
                if (take(close)) return true;
                if (!take(',')) return false;
                space();
            }
        }
        if (c == '"') return string();
        for (std::string_view word : {"true", "false", "null"}) {
            if (text_.substr(pos_).starts_with(word)) {
                pos_ += word.size();
                return true;
            }
        }
        return number();
    }

    bool number() {
        take('-');
        if (!take('0') && !digits()) return false;
        if (take('.') && !digits()) return false;
        if (take('e') || take('E')) {
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        return true;
    }

    bool string() {
        if (!take('"')) return false;
        for (;;) {
            int c = peek();
            if (c < 0x20) return false;  // also the end of the text
            ++pos_;
            if (c == '"') return true;
            if (c == '\\') {
                int e = peek();
                ++pos_;
                if (e == 'u') {
                    for (int i = 0; i < 4; ++i) {
                        int h = peek();
                        ++pos_;
                        bool hex = (h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F');
                        if (!hex) return false;
                    }
                } else if (e < 0 ||
                           std::string_view("\"\\/bfnrt").find(static_cast<char>(e)) == std::string_view::npos) {
                    return false;
                }
            } else if (c >= 0x80 && !codePoint(c)) {
                return false;
            }
        }
    }

    // Decodes the rest of a UTF-8 sequence whose lead byte was `lead` and checks the code point.
    bool codePoint(int lead) {
        int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || lead >= 0xF8) return false;
        std::uint32_t point = static_cast<std::uint32_t>(lead) & (0x7Fu >> length);
        for (int i = 1; i < length; ++i) {
            int c = peek();
            if (c < 0x80 || c > 0xBF) return false;
            point = (point << 6) | (static_cast<std::uint32_t>(c) & 0x3F);
            ++pos_;
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kSmallest[length] || point > 0x10FFFF) return false;
        return point < 0xD800 || point > 0xDFFF;
    }
};

// The lenient number rule written as patterns, then converted as a whole by the C library.
bool referenceLenientNumber(std::string_view token) {
    static const std::regex kSpecial("[+-]?(inf|infinity|nan)", std::regex::icase);
    static const std::regex kDecimal(R"([+-]?(\d(_?\d)*(\.(\d(_?\d)*)?)?|\.\d(_?\d)*)([eE][+-]?\d(_?\d)*)?)");
    static const std::regex kHex(
        R"([+-]?0[xX]([0-9a-fA-F](_?[0-9a-fA-F])*(\.([0-9a-fA-F](_?[0-9a-fA-F])*)?)?|\.[0-9a-fA-F](_?[0-9a-fA-F])*))"
        R"(([pP][+-]?\d(_?\d)*)?)");
    std::string text(token);
    if (std::regex_match(text, kSpecial)) return true;
    bool hex = std::regex_match(text, kHex);
    if (!hex && !std::regex_match(text, kDecimal)) return false;
    std::string_view magnitude = token.substr(token[0] == '+' || token[0] == '-' ? 1 : 0);
    std::string digits(magnitude);
    std::erase(digits, '_');
    // strtod reads both forms and gives an infinity only when the value is too large; one too
    // small to tell from zero is accepted.
    char* end = nullptr;
    double value = std::strtod(digits.c_str(), &end);
    return end == digits.c_str() + digits.size() && !std::isinf(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    check(kelvo::isStrictJson(text) == ReferenceReader(text).document());
    if (size <= 64) check(kelvo::isLenientNumber(text) == referenceLenientNumber(text));

    for (std::size_t start : {std::size_t{0}, size / 2}) {
        std::size_t requestEnd = start;
        bool request = kelvo::skipJsonValue(text, requestEnd).has_value();
        std::size_t payloadEnd = start;
        bool payload = kelvo::skipValueSpan(text, payloadEnd);
        check(requestEnd <= size && payloadEnd <= size);
        if (!request) check(requestEnd == start);
        if (!payload) check(payloadEnd == start);
        if (request) check(payload && payloadEnd == requestEnd && requestEnd > start);

        std::size_t containerEnd = start;
        if (kelvo::skipContainerSpan(text, containerEnd, '[', ']')) check(payload && containerEnd == payloadEnd);
    }
    return 0;
}
