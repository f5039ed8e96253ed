#pragma once

#include <bit>
#include <cstdint>
#include <string_view>

namespace kelvo {

// FNV-1a, 64 bits, fed little-endian values. The state may start from any seed, so that hashes can
// be chained.
struct Fnv1a64 {
    static constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
    static constexpr std::uint64_t kPrime = 0x100000001b3ull;

    std::uint64_t state = kOffsetBasis;

    // The state after the bytes of `word` from the offset basis: a hash "seeded with a word".
    static constexpr Fnv1a64 seededWith(std::string_view word) {
        Fnv1a64 hash;
        hash.bytes(word);
        return hash;
    }

    constexpr void byte(std::uint8_t value) { state = (state ^ value) * kPrime; }
    constexpr void bytes(std::string_view text) {
        for (char c : text) byte(static_cast<std::uint8_t>(c));
    }
    constexpr void u64(std::uint64_t value) {
        for (int i = 0; i < 8; ++i) byte(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    constexpr void u32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) byte(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    constexpr void f32(float value) { u32(std::bit_cast<std::uint32_t>(value)); }
};

}  // namespace kelvo
