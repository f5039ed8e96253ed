#pragma once

// The picture the lab shows in image widgets: 16 x 16 pixels in four coloured quarters, registered
// under the id the widget gallery's image widget names. The tests open the gallery with it too.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvo {

inline constexpr std::uint64_t kLabImageId = 7;
inline constexpr std::uint32_t kLabImageSide = 16;
using LabImagePixels = std::array<std::uint8_t, std::size_t{kLabImageSide} * kLabImageSide * 4>;

// Opaque R, G, B, A of the quarters: top left, top right, bottom left, bottom right.
inline constexpr std::array<std::array<std::uint8_t, 4>, 4> kLabImageQuarters = {{
    {232, 93, 4, 255},
    {2, 128, 144, 255},
    {106, 76, 147, 255},
    {255, 202, 58, 255},
}};

// Straight-alpha RGBA8 rows from the top.
constexpr LabImagePixels labImagePixels() {
    LabImagePixels pixels{};
    constexpr std::uint32_t half = kLabImageSide / 2;
    for (std::uint32_t y = 0; y < kLabImageSide; ++y) {
        for (std::uint32_t x = 0; x < kLabImageSide; ++x) {
            const std::size_t quarter = (y < half ? 0 : 2) + (x < half ? 0 : 1);
            const std::size_t at = (std::size_t{y} * kLabImageSide + x) * 4;
            for (std::size_t c = 0; c < 4; ++c) pixels[at + c] = kLabImageQuarters[quarter][c];
        }
    }
    return pixels;
}

}  // namespace kelvo
