#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/bounded_writer.hpp"

namespace kelvo {

// Shortest round-trip decimal text in plain notation: no exponent, zeros padded ("1e21" is
// "1000000000000000000000", 0.1 is "0.1"), "nan" for every NaN, "inf", "-inf", "-0".
void writeFloatPlain(BoundedWriter& out, double value);
void writeFloatPlain(BoundedWriter& out, float value);

// The longest plain text writeFloatPlain can produce for a double (5e-324 needs 326 bytes).
inline constexpr std::size_t kMaxPlainFloatText = 400;

// Whole-token number parsing: the entire text must be consumed, and a value out of range (or
// not finite, for floats) is a failed conversion.
std::optional<double> parseF64(std::string_view text);
std::optional<float> parseF32(std::string_view text);
std::optional<std::int64_t> parseI64(std::string_view text);
std::optional<std::uint64_t> parseU64(std::string_view text);

// Number conversion with the range rule of JSON number tokens: the whole text is converted with
// std::from_chars in `format` (an optional "-", no "+"). A value beyond the largest finite one is
// too_large; a value too small to tell from zero becomes the nearest one the type holds, a zero
// with the text's sign (subnormal values convert as they are). Infinity and NaN words convert as
// from_chars reads them; callers that want finite values check.
enum class NumberConversion : std::uint8_t { converted, malformed, too_large };

template <class Float>
struct ConvertedNumber {
    NumberConversion outcome = NumberConversion::malformed;
    Float value{};
};

ConvertedNumber<double> convertNearestF64(std::string_view text, std::chars_format format = std::chars_format::general);
ConvertedNumber<float> convertNearestF32(std::string_view text);

}  // namespace kelvo
