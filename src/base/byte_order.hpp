#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvo {

// Fixed byte orders of the program's binary formats, whatever the processor's own.

// Writes the low `width` bytes of `value` (at most 8), least significant first.
constexpr void storeLittleEndian(std::uint8_t* out, std::uint64_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Writes the four bytes of `value`, most significant first.
constexpr void storeBigEndian32(std::uint8_t* out, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * (3 - i)));
}

// Reads four bytes, most significant first.
constexpr std::uint32_t loadBigEndian32(const std::uint8_t* in) {
    return std::uint32_t{in[0]} << 24 | std::uint32_t{in[1]} << 16 | std::uint32_t{in[2]} << 8 | in[3];
}

}  // namespace kelvo
