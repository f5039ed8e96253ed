#include "app/base64.hpp"

#include <array>

namespace kelvo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kNotBase64 = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& value : table) value = kNotBase64;
    for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

constexpr std::array<std::uint8_t, 256> kDecode = makeDecodeTable();

std::uint8_t valueOf(char c) { return kDecode[static_cast<unsigned char>(c)]; }

}  // namespace

Result<std::size_t> decodeBase64(std::string_view text, std::span<std::uint8_t> out) {
    if (text.size() % 4 != 0) return fail(Error::InvalidBase64);
    std::size_t written = 0;
    for (std::size_t at = 0; at < text.size(); at += 4) {
        std::uint8_t a = valueOf(text[at]);
        std::uint8_t b = valueOf(text[at + 1]);
        std::uint8_t c = valueOf(text[at + 2]);
        std::uint8_t d = valueOf(text[at + 3]);
        std::size_t bytes = 3;
        if (((a | b | c | d) & 0xC0) != 0) {
            // Only the last group may be padded, and only as "X=" or "==".
            bool last = at + 4 == text.size();
            if (!last || a == kNotBase64 || b == kNotBase64) return fail(Error::InvalidBase64);
            if (text[at + 3] != '=') return fail(Error::InvalidBase64);
            if (text[at + 2] == '=') {
                bytes = 1;
                c = 0;
            } else if (c == kNotBase64) {
                return fail(Error::InvalidBase64);
            } else {
                bytes = 2;
            }
            d = 0;
        }
        if (out.size() - written < bytes) return fail(Error::DecodedDataTooLong);
        std::uint32_t group = (std::uint32_t{a} << 18) | (std::uint32_t{b} << 12) | (std::uint32_t{c} << 6) | d;
        out[written] = static_cast<std::uint8_t>(group >> 16);
        if (bytes > 1) out[written + 1] = static_cast<std::uint8_t>(group >> 8);
        if (bytes > 2) out[written + 2] = static_cast<std::uint8_t>(group);
        written += bytes;
    }
    return written;
}

void encodeBase64(std::span<const std::uint8_t> bytes, char* out) {
    std::size_t at = 0;
    for (; at + 3 <= bytes.size(); at += 3) {
        std::uint32_t group = (std::uint32_t{bytes[at]} << 16) | (std::uint32_t{bytes[at + 1]} << 8) | bytes[at + 2];
        *out++ = kAlphabet[group >> 18];
        *out++ = kAlphabet[(group >> 12) & 63];
        *out++ = kAlphabet[(group >> 6) & 63];
        *out++ = kAlphabet[group & 63];
    }
    std::size_t left = bytes.size() - at;
    if (left == 0) return;
    std::uint32_t group = std::uint32_t{bytes[at]} << 16;
    if (left == 2) group |= std::uint32_t{bytes[at + 1]} << 8;
    *out++ = kAlphabet[group >> 18];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = left == 2 ? kAlphabet[(group >> 6) & 63] : '=';
    *out = '=';
}

}  // namespace kelvo
