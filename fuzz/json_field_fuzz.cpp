// Reads members of arbitrary payloads with every field reader. The first input byte picks the
// member name's length and the scratch area's size; the name follows, the payload is the rest.
// A path field must read as the string field reads the string with its byte escapes as bytes.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/json_field.hpp"
#include "bridge/json_scan.hpp"
#include "runtime/bridge/payload_fields.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool inside(std::string_view span, const char* begin, std::size_t length) {
    return span.data() >= begin && span.data() + span.size() <= begin + length;
}

// The byte "\\u" and `digits` stand for in a path: 0x80 to 0xFF for DC80 to DCFF, either case.
std::optional<unsigned char> byteEscaped(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) {
        const char lower = static_cast<char>(c | 0x20);
        if (c >= '0' && c <= '9') {
            value = value * 16 + static_cast<unsigned>(c - '0');
        } else if (lower >= 'a' && lower <= 'f') {
            value = value * 16 + static_cast<unsigned>(lower - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    if (value < 0xDC80 || value > 0xDCFF) return std::nullopt;
    return static_cast<unsigned char>(value & 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t nameLength = data[0] & 0x0F;
    std::size_t scratchSize = (data[0] >> 4) * 4;
    if (size < 1 + nameLength) return 0;
    std::string_view name(reinterpret_cast<const char*>(data + 1), nameLength);
    std::string_view json(reinterpret_cast<const char*>(data + 1 + nameLength), size - 1 - nameLength);

    auto raw = kelvo::fieldValue(json, name);
    if (raw) {
        check(inside(*raw, json.data(), json.size()));
        std::size_t cursor = 0;
        check(kelvo::skipValueSpan(*raw, cursor) && cursor == raw->size());
    }

    std::array<char, 60> area;
    kelvo::PayloadScratch scratch{std::span<char>(area.data(), scratchSize), 2};
    if (scratchSize < 2) scratch.used = 0;
    std::size_t usedBefore = scratch.used;
    auto text = kelvo::jsonStringField(json, name, scratch);
    check(scratch.used <= scratchSize && scratch.used >= usedBefore);
    if (!text) {
        check(text.error() == kelvo::Error::StringTooLong && raw && scratch.used == usedBefore);
    } else if (text->has_value()) {
        check(raw && raw->size() >= 2 && raw->front() == '"');
        std::string_view value = **text;
        if (scratch.used == usedBefore) {
            check(value == raw->substr(1, raw->size() - 2));
        } else {
            check(value.data() == area.data() + usedBefore && value.size() == scratch.used - usedBefore);
        }
        // Touch every byte so that AddressSanitizer sees a span that leaves its buffer.
        volatile unsigned sum = 0;
        for (char c : value) sum = sum + static_cast<unsigned char>(c);
    } else {
        check(scratch.used == usedBefore);
    }

    // A path field reads as the string field reads the same string with each \udc80 to \udcff
    // written as its byte: those escapes make nothing else, and no byte below 0x80.
    std::array<char, 60> pathArea;
    kelvo::PayloadScratch pathScratch{std::span<char>(pathArea.data(), scratchSize), 0};
    auto path = kelvo::jsonPathField(json, name, pathScratch);
    if (raw && raw->size() >= 2 && raw->front() == '"' && raw->back() == '"') {
        std::string plainJson = R"({"n":")";
        for (std::size_t at = 1; at + 1 < raw->size();) {
            std::optional<unsigned char> byte;
            if (at + 6 < raw->size() && (*raw)[at] == '\\' && (*raw)[at + 1] == 'u')
                byte = byteEscaped(raw->substr(at + 2, 4));
            const std::size_t step = byte ? 6 : (*raw)[at] == '\\' ? 2 : 1;
            if (byte) plainJson += static_cast<char>(*byte);
            if (!byte) plainJson += raw->substr(at, std::min(step, raw->size() - 1 - at));
            at += step;
        }
        plainJson += R"("})";
        std::array<char, 60> plainArea;
        kelvo::PayloadScratch plainScratch{std::span<char>(plainArea.data(), scratchSize), 0};
        auto asString = kelvo::jsonStringField(plainJson, "n", plainScratch);
        // A string without escapes left is read in place, so only the path may not fit.
        check(path ? asString && *path == *asString : path.error() == kelvo::Error::StringTooLong);
        if (!asString) check(!path);
    } else {
        check(path && !path->has_value());
    }

    auto integer = kelvo::jsonIntegerField(json, name);
    if (integer) check(raw && raw->find_first_not_of("0123456789") == std::string_view::npos);

    auto plain = kelvo::jsonPlainFloatField(json, name);
    check((plain.state == kelvo::NumberFieldState::absent) == !raw);
    if (plain.present()) check(plain.value == plain.value && plain.value - plain.value == 0);

    auto whole = kelvo::jsonWholeNumberField(json, name);
    check((whole.state == kelvo::NumberFieldState::absent) == !raw);
    if (!whole.present()) check(whole.value == 0);
    return 0;
}
