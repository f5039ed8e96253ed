// Decodes arbitrary payloads as an application command does: the JSON string, then its text as
// base64. The first input byte picks the decoded-text limit; the payload is the rest. The payload's
// bytes, written for the page as a chosen path's are, are strict JSON and decode back to them as a
// path, whatever of them is not UTF-8.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/base64.hpp"
#include "app/payload_string.hpp"
#include "base/json_string.hpp"
#include "bridge/strict_json.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::array<char, 4096> gText;
std::array<std::uint8_t, 4096> gBytes;
std::array<char, 4096> gEncoded;
std::array<std::uint8_t, 4096> gAgain;
std::array<char, 6 * 4096 + 2> gJson;
std::array<char, 4096> gPath;

// Whether the path decoder takes back what the writer writes for `bytes`: every byte but the
// control bytes it writes as \u00XX.
bool pathDecodable(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\r' || c == '\t';
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t limit = std::size_t{data[0]} * 16;
    std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    if (payload.size() <= gPath.size()) {
        kelvo::BoundedWriter json(gJson);
        kelvo::writeJsonStringOfBytes(json, payload);
        check(!json.overflowed() && kelvo::isStrictJson(json.text()));
        auto path = kelvo::decodePayloadPath(json.text(), gPath);
        check(pathDecodable(payload) == path.has_value());
        check(!path || *path == payload);
    }

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
