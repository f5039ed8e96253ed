#include "base/number_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "base/ascii.hpp"

namespace kelvo {

void BoundedWriter::writeUnsigned(std::uint64_t value) {
    std::array<char, 24> digits;
    auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    (void)ec;
    write({digits.data(), static_cast<std::size_t>(end - digits.data())});
}

void BoundedWriter::writeSigned(std::int64_t value) {
    std::array<char, 24> digits;
    auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    (void)ec;
    write({digits.data(), static_cast<std::size_t>(end - digits.data())});
}

namespace {

// Expands the shortest scientific form "d.ddde±x" into plain notation.
void expandScientific(BoundedWriter& out, std::string_view scientific) {
    std::size_t position = 0;
    if (!scientific.empty() && scientific[0] == '-') {
        out.put('-');
        position = 1;
    }
    std::array<char, 32> digits;
    std::size_t digitCount = 0;
    std::size_t exponentAt = scientific.find('e', position);
    for (std::size_t i = position; i < exponentAt; ++i) {
        if (scientific[i] != '.') digits[digitCount++] = scientific[i];
    }
    int exponent = 0;
    std::string_view exponentText = scientific.substr(exponentAt + 1);
    if (!exponentText.empty() && exponentText[0] == '+') exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // The value is 0.d1d2d3... * 10^(exponent + 1); `pointAt` digits stand before the point.
    long pointAt = static_cast<long>(exponent) + 1;
    std::string_view digitText(digits.data(), digitCount);
    if (pointAt <= 0) {
        out.write("0.");
        for (long i = 0; i < -pointAt; ++i) out.put('0');
        out.write(digitText);
    } else if (static_cast<std::size_t>(pointAt) >= digitCount) {
        out.write(digitText);
        for (long i = static_cast<long>(digitCount); i < pointAt; ++i) out.put('0');
    } else {
        out.write(digitText.substr(0, static_cast<std::size_t>(pointAt)));
        out.put('.');
        out.write(digitText.substr(static_cast<std::size_t>(pointAt)));
    }
}

template <class Float>
void writeFloat(BoundedWriter& out, Float value) {
    if (std::isnan(value)) {
        out.write("nan");
        return;
    }
    if (std::isinf(value)) {
        out.write(value < 0 ? "-inf" : "inf");
        return;
    }
    if (value == 0) {
        out.write(std::signbit(value) ? "-0" : "0");
        return;
    }
    std::array<char, 64> scientific;
    auto [end, ec] =
        std::to_chars(scientific.data(), scientific.data() + scientific.size(), value, std::chars_format::scientific);
    (void)ec;
    expandScientific(out, {scientific.data(), static_cast<std::size_t>(end - scientific.data())});
}

template <class Number>
std::optional<Number> parseWhole(std::string_view text) {
    if (text.empty()) return std::nullopt;
    Number value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

// Whether a number text that from_chars found out of range lies beyond the largest finite value
// (rather than below the smallest nonzero one). The text is "-"? digits ("." digits)? and an
// optional exponent, "e" for decimal and "p" (binary) for hexadecimal digits. The value is about
// 0.ddd times the base to the power `magnitude`; values out of range lie hundreds of powers of ten
// away from 1, so the sign of the magnitude decides.
bool exceedsLargestFinite(std::string_view text, std::chars_format format) {
    const bool hex = format == std::chars_format::hex;
    auto isDigit = [hex](char c) { return hex ? isHexDigit(c) : isDecimalDigit(c); };
    std::size_t at = !text.empty() && text[0] == '-' ? 1 : 0;
    std::int64_t integerDigits = 0;  // digits before the point, from the first nonzero one
    std::int64_t fractionZeros = 0;  // zeros after the point before the first nonzero digit
    bool nonzero = false;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        nonzero = nonzero || text[at] != '0';
        if (nonzero) ++integerDigits;
    }
    if (at < text.size() && text[at] == '.') {
        for (++at; at < text.size() && isDigit(text[at]); ++at) {
            if (nonzero) continue;
            if (text[at] == '0') {
                ++fractionZeros;
            } else {
                nonzero = true;
            }
        }
    }
    if (!nonzero) return false;
    constexpr std::int64_t kExponentBound = 1'000'000'000;
    std::int64_t exponent = 0;
    if (at < text.size() && (text[at] | 0x20) == (hex ? 'p' : 'e')) {
        ++at;
        bool negative = at < text.size() && text[at] == '-';
        if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
        for (; at < text.size() && isDecimalDigit(text[at]); ++at) {
            exponent = std::min(exponent * 10 + (text[at] - '0'), kExponentBound);
        }
        if (negative) exponent = -exponent;
    }
    const std::int64_t digitWeight = hex ? 4 : 1;  // powers of the exponent's base per digit
    const std::int64_t leading = integerDigits > 0 ? integerDigits : -fractionZeros;
    return leading * digitWeight + exponent > 0;
}

template <class Float>
ConvertedNumber<Float> convertNearest(std::string_view text, std::chars_format format) {
    ConvertedNumber<Float> result;
    if (text.empty()) return result;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result.value, format);
    if (end != text.data() + text.size()) return result;
    if (ec == std::errc()) {
        result.outcome = NumberConversion::converted;
    } else if (ec == std::errc::result_out_of_range) {
        if (exceedsLargestFinite(text, format)) {
            result.outcome = NumberConversion::too_large;
        } else {
            result.outcome = NumberConversion::converted;
            result.value = text[0] == '-' ? -Float{0} : Float{0};
        }
    }
    return result;
}

}  // namespace

ConvertedNumber<double> convertNearestF64(std::string_view text, std::chars_format format) {
    return convertNearest<double>(text, format);
}
ConvertedNumber<float> convertNearestF32(std::string_view text) {
    return convertNearest<float>(text, std::chars_format::general);
}

void writeFloatPlain(BoundedWriter& out, double value) { writeFloat(out, value); }
void writeFloatPlain(BoundedWriter& out, float value) { writeFloat(out, value); }

std::optional<double> parseF64(std::string_view text) { return parseWhole<double>(text); }
std::optional<float> parseF32(std::string_view text) { return parseWhole<float>(text); }
std::optional<std::int64_t> parseI64(std::string_view text) { return parseWhole<std::int64_t>(text); }
std::optional<std::uint64_t> parseU64(std::string_view text) { return parseWhole<std::uint64_t>(text); }

}  // namespace kelvo
