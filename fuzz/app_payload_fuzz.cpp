// Decodes arbitrary payloads as an application command does: the JSON string, then its text as
// base64. The first input byte picks the decoded-text limit; the payload is the rest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/base64.hpp"
#include "app/payload_string.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::array<char, 4096> gText;
std::array<std::uint8_t, 4096> gBytes;
std::array<char, 4096> gEncoded;
std::array<std::uint8_t, 4096> gAgain;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t limit = std::size_t{data[0]} * 16;
    std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    auto text = kelvo::decodePayloadString(payload, std::span(gText).first(limit));
    if (!text) return 0;
    check(text->size() <= limit && text->data() == gText.data());

    auto count = kelvo::decodeBase64(*text, gBytes);
    if (!count) return 0;
    // Whole groups of four; only the last may be padded, and that costs one byte per "=".
    std::size_t padding = text->ends_with("==") ? 2 : text->ends_with("=") ? 1 : 0;
    check(text->size() % 4 == 0 && *count == text->size() / 4 * 3 - padding);
    // Encoding the bytes again and decoding that gives the same bytes.
    std::span<const std::uint8_t> bytes(gBytes.data(), *count);
    kelvo::encodeBase64(bytes, gEncoded.data());
    std::string_view encoded(gEncoded.data(), kelvo::base64EncodedSize(*count));
    auto again = kelvo::decodeBase64(encoded, gAgain);
    check(again && *again == *count && std::equal(bytes.begin(), bytes.end(), gAgain.begin()));
    return 0;
}
