#include "bridge/json_scan.hpp"

#include <charconv>

#include "base/ascii.hpp"
#include "base/number_text.hpp"
#include "bridge/json_scan_engine.hpp"

namespace kelvo {
namespace {

using json_detail::byteAt;
using json_detail::kByteClasses;
using json_detail::scanJsonValue;
using json_detail::skipClass;

// Reads a run of digits in which a single underscore may stand between two digits. Returns the
// number of digits read; `underscored` is set when the run held an underscore.
template <bool kHex>
std::size_t digitRun(std::string_view text, std::size_t& pos, bool& underscored) {
    auto isDigit = [](unsigned char byte) { return kHex ? isHexDigit(byte) : isDecimalDigit(byte); };
    std::size_t digits = 0;
    while (pos < text.size()) {
        unsigned char byte = byteAt(text, pos);
        if (isDigit(byte)) {
            ++digits;
            ++pos;
        } else if (byte == '_' && digits > 0 && pos + 1 < text.size() && isDigit(byteAt(text, pos + 1))) {
            underscored = true;
            ++pos;
        } else {
            break;
        }
    }
    return digits;
}

// Checks the shape of an unsigned number (decimal, or hexadecimal without its "0x").
template <bool kHex>
bool hasNumberShape(std::string_view body, bool& underscored, bool& exponent) {
    std::size_t pos = 0;
    std::size_t digits = digitRun<kHex>(body, pos, underscored);
    if (pos < body.size() && body[pos] == '.') {
        ++pos;
        digits += digitRun<kHex>(body, pos, underscored);
    }
    if (digits == 0) return false;
    if (pos < body.size() && (body[pos] | 0x20) == (kHex ? 'p' : 'e')) {
        exponent = true;
        ++pos;
        if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) ++pos;
        if (digitRun<false>(body, pos, underscored) == 0) return false;
    }
    return pos == body.size();
}

// Converts a checked number body as a whole: only a value beyond the largest finite one fails
// (one too small to tell from zero reads as zero).
bool convertsInRange(std::string_view body, bool hex) {
    auto format = hex ? std::chars_format::hex : std::chars_format::general;
    return convertNearestF64(body, format).outcome == NumberConversion::converted;
}

// White space, strings and bare tokens of the lenient families.
template <bool kAsciiSpace>
struct LenientGrammar {
    static void skipSpace(std::string_view text, std::size_t& pos) {
        skipClass(kAsciiSpace ? kByteClasses.asciiSpace : kByteClasses.requestSpace, text, pos);
    }

    // A string whose escapes are not checked: a backslash takes the next byte, whatever it is.
    static bool scanString(std::string_view text, std::size_t& pos) {
        std::size_t at = pos + 1;
        for (;;) {
            json_detail::skipPlainStringBytes<false>(text, at);
            if (at >= text.size()) return false;
            char byte = text[at];
            if (byte == '"') {
                pos = at + 1;
                return true;
            }
            if (byte != '\\' || at + 1 >= text.size()) return false;
            at += 2;
        }
    }

    static bool scanBare(std::string_view text, std::size_t& pos) {
        std::size_t end = pos;
        while (end < text.size() && !kByteClasses.endsBareToken[byteAt(text, end)]) ++end;
        std::string_view token = text.substr(pos, end - pos);
        if (token.empty()) return false;
        if (token != "true" && token != "false" && token != "null" && !isLenientNumber(token)) return false;
        pos = end;
        return true;
    }
};

using RequestGrammar = LenientGrammar<false>;
using PayloadGrammar = LenientGrammar<true>;

// Decimals without an exponent up to this many bytes lie within 1e-300 and 1e300.
constexpr std::size_t kAlwaysInRangeDecimal = 300;

bool isContainerPair(char open, char close) { return (open == '[' && close == ']') || (open == '{' && close == '}'); }

}  // namespace

bool isLenientNumber(std::string_view token) {
    std::string_view rest = token;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) rest.remove_prefix(1);
    if (rest.empty()) return false;
    if (matchesLowerCaseWord(rest, "inf") || matchesLowerCaseWord(rest, "infinity") ||
        matchesLowerCaseWord(rest, "nan")) {
        return true;
    }
    bool hex = rest.size() >= 2 && rest[0] == '0' && (rest[1] | 0x20) == 'x';
    std::string_view body = hex ? rest.substr(2) : rest;
    bool underscored = false;
    bool exponent = false;
    if (!(hex ? hasNumberShape<true>(body, underscored, exponent)
              : hasNumberShape<false>(body, underscored, exponent))) {
        return false;
    }
    // Without an exponent, a decimal of this length is far below the largest value.
    if (!hex && !exponent && !underscored && body.size() <= kAlwaysInRangeDecimal) return true;
    if (!underscored) return convertsInRange(body, hex);

    if (body.size() > kMaxUnderscoredNumber) return false;
    char digits[kMaxUnderscoredNumber];
    std::size_t length = 0;
    for (char byte : body) {
        if (byte != '_') digits[length++] = byte;
    }
    return convertsInRange({digits, length}, hex);
}

Status skipJsonValue(std::string_view text, std::size_t& cursor) {
    if (!scanJsonValue<RequestGrammar>(text, cursor)) return fail(Error::InvalidRequest);
    return {};
}

Status skipJsonContainer(std::string_view text, std::size_t& cursor, char open, char close) {
    if (!isContainerPair(open, close) || cursor >= text.size() || text[cursor] != open) {
        return fail(Error::InvalidRequest);
    }
    return skipJsonValue(text, cursor);
}

bool skipValueSpan(std::string_view text, std::size_t& cursor) { return scanJsonValue<PayloadGrammar>(text, cursor); }

bool skipContainerSpan(std::string_view text, std::size_t& cursor, char open, char close) {
    if (!isContainerPair(open, close) || cursor >= text.size() || text[cursor] != open) return false;
    return skipValueSpan(text, cursor);
}

}  // namespace kelvo
