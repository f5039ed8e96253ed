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

// round(v) with halves away from 0, for v from 0 to 2^31 - 1: v + 0.5 is exact in double, so its
// truncation is the rounding (in float it would carry 0.49999997 up to 1).
inline std::int64_t roundHalfAway(float v) { return static_cast<std::int64_t>(static_cast<double>(v) + 0.5); }

// A value in 0..1 (clamped first; NaN counts as 0) as the byte round(v x 255), halves away from 0.
std::uint8_t colourByte(float value);

// Source-over of `colour` at `alpha` onto one RGBA8 pixel (straight alpha), in sRGB bytes: a
// result of alpha 0 or less is (0, 0, 0, 0).
void blendRgba8(std::uint8_t* pixel, const Color& colour, float alpha);

}  // namespace kelvo
