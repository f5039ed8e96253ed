#include "runtime/bridge/payload_fields.hpp"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "base/ascii.hpp"
#include "base/json_string.hpp"
#include "base/number_text.hpp"
#include "bridge/json_field.hpp"

namespace kelvo {
namespace {

// The byte an escape letter stands for; 0 for a letter that is not a simple escape.
char simpleEscape(char letter) {
    switch (letter) {
        case '"':
            return '"';
        case '\\':
            return '\\';
        case '/':
            return '/';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return 0;
    }
}

enum class DecodeOutcome { decoded, malformed, too_long };

// Decodes the string body `body` (between its quotes, holding at least one backslash) into the
// scratch area after `used`; with `byteEscapes`, \udc80 to \udcff stand for the bytes 0x80 to 0xFF.
DecodeOutcome decodeEscapedString(std::string_view body, PayloadScratch& scratch, bool byteEscapes) {
    std::size_t capacity = scratch.bytes.size();
    auto append = [&](const char* bytes, std::size_t length) {
        if (scratch.used > capacity || length > capacity - scratch.used) return false;
        if (length > 0) std::memcpy(scratch.bytes.data() + scratch.used, bytes, length);
        scratch.used += length;
        return true;
    };

    std::size_t runStart = 0;
    std::size_t at = 0;
    while (at < body.size()) {
        auto byte = static_cast<unsigned char>(body[at]);
        if (byte != '\\') {
            if (byte < 0x20) return DecodeOutcome::malformed;
            ++at;
            continue;
        }
        if (!append(body.data() + runStart, at - runStart)) return DecodeOutcome::too_long;
        if (at + 1 >= body.size()) return DecodeOutcome::malformed;
        char letter = body[at + 1];
        char decoded = simpleEscape(letter);
        std::size_t escapeLength = 2;
        if (letter == 'u') {
            if (at + 6 > body.size()) return DecodeOutcome::malformed;
            std::optional<unsigned char> escaped;
            if (byteEscapes) escaped = byteOfSurrogateEscape(body.substr(at + 2, 4));
            if (!escaped) {
                int value = 0;
                for (std::size_t i = at + 2; i < at + 6; ++i) {
                    int digit = hexDigitValue(body[i]);
                    if (digit < 0) return DecodeOutcome::malformed;
                    value = value * 16 + digit;
                }
                if (value >= 0x80) return DecodeOutcome::malformed;
                escaped = static_cast<unsigned char>(value);
            }
            decoded = static_cast<char>(*escaped);
            escapeLength = 6;
        } else if (decoded == 0) {
            return DecodeOutcome::malformed;
        }
        if (!append(&decoded, 1)) return DecodeOutcome::too_long;
        at += escapeLength;
        runStart = at;
    }
    if (!append(body.data() + runStart, at - runStart)) return DecodeOutcome::too_long;
    return DecodeOutcome::decoded;
}

bool isPlainNumberByte(char c) { return isDecimalDigit(c) || c == '-' || c == '.'; }

// Converts `text` as a whole decimal number; a value too small to tell from zero reads as zero.
template <class Float>
NumberField<Float> convertDecimal(std::string_view text) {
    ConvertedNumber<Float> number;
    if constexpr (std::is_same_v<Float, float>) {
        number = convertNearestF32(text);
    } else {
        number = convertNearestF64(text);
    }
    switch (number.outcome) {
        case NumberConversion::too_large:
            return {NumberFieldState::out_of_range, 0};
        case NumberConversion::converted:
            if (std::isfinite(number.value)) return {NumberFieldState::present, number.value};
            break;
        case NumberConversion::malformed:
            break;
    }
    return {NumberFieldState::malformed, 0};
}

Result<std::optional<std::string_view>> readString(std::string_view json, std::string_view name,
                                                   PayloadScratch& scratch, bool byteEscapes) {
    auto raw = fieldValue(json, name);
    if (!raw || raw->size() < 2 || raw->front() != '"' || raw->back() != '"') return std::nullopt;
    std::string_view body = raw->substr(1, raw->size() - 2);

    // The payload scanner that found the value has already refused raw bytes below 0x20.
    if (body.find('\\') == std::string_view::npos) return body;

    std::size_t start = scratch.used;
    switch (decodeEscapedString(body, scratch, byteEscapes)) {
        case DecodeOutcome::decoded:
            return std::string_view(scratch.bytes.data() + start, scratch.used - start);
        case DecodeOutcome::malformed:
            scratch.used = start;
            return std::nullopt;
        case DecodeOutcome::too_long:
            break;
    }
    scratch.used = start;
    return fail(Error::StringTooLong);
}

}  // namespace

Result<std::optional<std::string_view>> jsonStringField(std::string_view json, std::string_view name,
                                                        PayloadScratch& scratch) {
    return readString(json, name, scratch, false);
}

Result<std::optional<std::string_view>> jsonPathField(std::string_view json, std::string_view name,
                                                      PayloadScratch& scratch) {
    return readString(json, name, scratch, true);
}

Result<std::optional<std::string_view>> readStringMember(std::string_view json, std::string_view name,
                                                         PayloadScratch& scratch, Error tooLarge) {
    Result<std::optional<std::string_view>> text = jsonStringField(json, name, scratch);
    if (!text) return fail(tooLarge);
    return text;
}

Result<std::optional<std::string_view>> readPathMember(std::string_view json, std::string_view name,
                                                       PayloadScratch& scratch, Error tooLarge) {
    Result<std::optional<std::string_view>> text = jsonPathField(json, name, scratch);
    if (!text) return fail(tooLarge);
    return text;
}

std::optional<std::uint64_t> jsonIntegerField(std::string_view json, std::string_view name) {
    auto raw = fieldValue(json, name);
    if (!raw || raw->empty()) return std::nullopt;
    for (char c : *raw) {
        if (!isDecimalDigit(c)) return std::nullopt;
    }
    return parseU64(*raw);
}

std::optional<bool> jsonBoolField(std::string_view json, std::string_view name) {
    auto raw = fieldValue(json, name);
    if (raw == "true") return true;
    if (raw == "false") return false;
    return std::nullopt;
}

NumberField<float> jsonPlainFloatField(std::string_view json, std::string_view name) {
    auto raw = fieldValue(json, name);
    if (!raw) return {};
    for (char c : *raw) {
        if (!isPlainNumberByte(c)) return {NumberFieldState::malformed, 0};
    }
    return convertDecimal<float>(*raw);
}

NumberField<std::int32_t> jsonWholeNumberField(std::string_view json, std::string_view name) {
    auto raw = fieldValue(json, name);
    if (!raw) return {};
    NumberField<double> number = convertDecimal<double>(*raw);
    if (!number.present()) return {number.state, 0};
    if (number.value != std::trunc(number.value)) return {NumberFieldState::malformed, 0};
    if (number.value < -2147483648.0 || number.value > 2147483647.0) return {NumberFieldState::out_of_range, 0};
    return {NumberFieldState::present, static_cast<std::int32_t>(number.value)};
}

}  // namespace kelvo
