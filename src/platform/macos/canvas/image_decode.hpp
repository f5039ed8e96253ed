#pragma once

// Encoded images (PNG, JPEG, GIF, TIFF, and WebP and HEIF where their image loaders are installed) to
// straight-alpha RGBA8.

#include <cstddef>
#include <cstdint>

namespace kelvo {

inline constexpr std::uint32_t kDecodedImageMaxSide = 8192;

// Decodes the first image of `encoded` into `pixels` (rows of width * 4 bytes, R, G, B, A with
// straight alpha). The colour channels go through premultiplied 8-bit values and back, as drawing
// into a premultiplied bitmap would: a pixel of alpha 0 comes out black, others are rounded.
// Results: 1 decoded; -1 when `capacity` is below width * height * 4 (the dimensions are still
// reported); 0 for missing arguments, unreadable data or a side outside 1..8192 (dimensions 0).
// The out dimensions are set to 0 first; null out-pointers are a failure.
std::int32_t decodeImageRgba8(const std::uint8_t* encoded, std::size_t length, std::uint8_t* pixels,
                              std::size_t capacity, std::uint32_t* width, std::uint32_t* height);

}  // namespace kelvo
