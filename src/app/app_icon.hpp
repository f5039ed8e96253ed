#pragma once

// The application's icon as the dock shows it: the embedded image, decoded, either taken as it is
// (when it is already shaped, its four corners transparent) or shrunk into a rounded square with a
// transparent margin, the shape of the platform's application icons. All the arithmetic happens in
// linear light with premultiplied alpha.

#include <cstdint>
#include <memory>
#include <span>

#include "app/png_decode.hpp"
#include "base/error.hpp"

namespace kelvo {

inline constexpr std::uint64_t kDockIconSide = 1024;

// Four f32 per pixel (red, green, blue, alpha), linear light, colour premultiplied, rows from the top.
struct LinearImage {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::unique_ptr<float[]> pixels;
};

// sRGB bytes with straight alpha to linear premultiplied values. OutOfMemory.
Result<LinearImage> linearFromRgba8(const Rgba8Image& image);

// Area-weighted box filter to `width` x `height`, summed in double precision. OutOfMemory.
Result<LinearImage> boxResample(const LinearImage& image, std::uint64_t width, std::uint64_t height);

// The coverage (0..1, size x size, rows from the top) of the icon shape for a side of `size`:
// a square inset by 9.77% of the side on every edge, with corners rounded to 18.1% of the side.
// OutOfMemory, VectorPathTooComplex, VectorRasterTooWide.
Result<std::unique_ptr<float[]>> macosMaskCoverage(std::uint64_t size);

// Back to straight-alpha sRGB bytes; a pixel with no alpha to speak of becomes (0, 0, 0, 0).
Result<Rgba8Image> rgba8FromLinear(const LinearImage& image);

// The 1024 x 1024 icon made from the PNG file `png`. ImageDecodeFailed or InvalidPngDimensions (not
// square) for an image that will not do, or the error of a step.
Result<Rgba8Image> renderDockIcon(std::span<const std::uint8_t> png);

}  // namespace kelvo
