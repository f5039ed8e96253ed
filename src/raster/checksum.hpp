#pragma once

// The two checksums of PNG files: CRC-32 over every chunk and Adler-32 over the zlib stream. Both
// run at memory speed where the processor has carry-less multiplication and byte shuffles, and
// fall back to portable table and scalar loops elsewhere.

#include <cstdint>
#include <span>

namespace kelvo {

// CRC-32 as PNG and zlib define it (reflected polynomial 0xEDB88320, initial value all ones, final
// complement). The running form takes and returns the state before the final complement.
std::uint32_t crc32Update(std::uint32_t state, std::span<const std::uint8_t> bytes);
inline std::uint32_t crc32(std::span<const std::uint8_t> bytes) { return ~crc32Update(0xffffffffu, bytes); }

// Adler-32 as zlib defines it (modulus 65,521, starting at 1).
std::uint32_t adler32Update(std::uint32_t adler, std::span<const std::uint8_t> bytes);
inline std::uint32_t adler32(std::span<const std::uint8_t> bytes) { return adler32Update(1, bytes); }

// The portable forms, which the fast paths must agree with.
std::uint32_t crc32UpdatePortable(std::uint32_t state, std::span<const std::uint8_t> bytes);
std::uint32_t adler32UpdatePortable(std::uint32_t adler, std::span<const std::uint8_t> bytes);

}  // namespace kelvo
