#pragma once

// The PNG writer: an RGBA8 image (straight alpha, rows from the top) becomes a complete PNG file in
// one pass, without compression: one IDAT chunk holding a zlib stream of stored DEFLATE blocks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "base/error.hpp"
#include "raster/checksum.hpp"

namespace kelvo {

inline constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a};
inline constexpr std::uint64_t kPngMaxDimension = 1u << 20;
inline constexpr std::uint64_t kPngStoredBlockMax = 65535;
// The largest length a PNG chunk may declare.
inline constexpr std::uint64_t kPngMaxChunkLength = 0x7fffffffu;

// Appends into a caller's fixed buffer; writing past its end is NoSpaceLeft.
struct PngByteWriter {
    std::span<std::uint8_t> out;
    std::size_t length = 0;

    Status write(std::span<const std::uint8_t> bytes);
    Status writeU32(std::uint32_t value);  // big-endian
};

// The IHDR chunk's data for an 8-bit RGBA image, not interlaced.
std::array<std::uint8_t, 13> pngImageHeader(std::uint64_t width, std::uint64_t height);

// Appends one chunk: length, type, data and the CRC over type and data.
Status writePngChunk(PngByteWriter& writer, const char (&type)[5], std::span<const std::uint8_t> data);

// The exact size of the file for an image of width x height pixels. InvalidPngDimensions when a side
// is 0 or above 1,048,576, or when the image data would not fit in one chunk.
Result<std::uint64_t> pngFileSize(std::uint64_t width, std::uint64_t height);

// Encodes into `out`, which must hold pngFileSize bytes; returns the bytes written.
// PngPixelBufferTooSmall when `pixels` holds fewer than width x height x 4 bytes.
Result<std::size_t> encodePngInto(std::uint64_t width, std::uint64_t height, std::span<const std::uint8_t> pixels,
                                  std::span<std::uint8_t> out);

struct PngBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;

    std::span<const std::uint8_t> bytes() const { return {data.get(), size}; }
};

// Encodes into a buffer of exactly the file's size. OutOfMemory when it cannot be allocated.
Result<PngBytes> encodePng(std::uint64_t width, std::uint64_t height, std::span<const std::uint8_t> pixels);

}  // namespace kelvo
