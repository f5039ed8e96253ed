#pragma once

// Colour arithmetic of the reference renderer: the two sRGB conversion tables, the byte rounding
// rule, and source-over blending of one pixel in sRGB bytes.

#include <array>
#include <cstdint>

#include "raster/canvas_geometry.hpp"

namespace kelvo {

inline constexpr std::size_t kLinearToSrgbEntries = 4096;

// Entry i is the sRGB encoding of i / 4,095. Filled on first use, kept for the process.
const std::array<float, kLinearToSrgbEntries>& linearToSrgbTable();
// Entry i is the sRGB decoding of i / 255. Filled on first use, kept for the process.
const std::array<float, 256>& srgbToLinearTable();

float srgbDecode(float value);
float srgbEncode(float value);

// A value in 0..1 (clamped first; NaN counts as 0) as the byte round(v x 255), halves away from 0.
std::uint8_t colourByte(float value);

// Source-over of `colour` at `alpha` onto one RGBA8 pixel (straight alpha), in sRGB bytes: a
// result of alpha 0 or less is (0, 0, 0, 0).
void blendRgba8(std::uint8_t* pixel, const Color& colour, float alpha);

}  // namespace kelvo
