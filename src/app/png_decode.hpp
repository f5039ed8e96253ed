#pragma once

// A small PNG reader for the application's own embedded image. It reads every non-interlaced PNG
// with 8 or 16 bits per sample (grey, RGB, palette, grey with alpha, RGBA) into RGBA8, keeping the
// high byte of 16-bit samples. Chunk checksums are not checked. Untrusted input is safe to give it:
// every length is checked, and the image data must be able to inflate to the size the header
// declares before anything that large is allocated.

#include <cstdint>
#include <memory>
#include <span>

#include "base/error.hpp"

namespace kelvo {

inline constexpr std::uint64_t kPngDecodeMaxSide = 16'384;

// Straight-alpha RGBA8, rows from the top, no gaps.
struct Rgba8Image {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::unique_ptr<std::uint8_t[]> pixels;
};

// ImageDecodeFailed for anything the reader does not accept, OutOfMemory when the image cannot be
// allocated.
Result<Rgba8Image> decodePng(std::span<const std::uint8_t> file);

}  // namespace kelvo
