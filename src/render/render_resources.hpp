#pragma once

// The images and fonts a canvas frame draws with: frame planning fingerprints the images, the
// reference renderer takes both tables.

#include <cstdint>
#include <span>

#include "raster/font_ttf.hpp"

namespace kelvo {

struct ReferenceImage {
    std::uint64_t id = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::span<const std::uint8_t> pixels;  // RGBA8, straight alpha, rows from the top
};

struct ReferenceFont {
    std::uint64_t id = 0;
    const Face* face = nullptr;
};

}  // namespace kelvo
