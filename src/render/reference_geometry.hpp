#pragma once

// Geometry of the reference renderer: pixel rectangles, rounded boxes in device space with their
// coverage and distance, and the scale a transform gives widths and radii.

#include <cstdint>
#include <optional>

#include "raster/canvas_geometry.hpp"

namespace kelvo {

// Whole pixels: columns x .. x + width - 1, rows y .. y + height - 1, inside the surface.
struct PixelRect {
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;

    [[nodiscard]] std::uint64_t area() const { return static_cast<std::uint64_t>(width * height); }
    bool operator==(const PixelRect&) const = default;
};

// The pixels a rectangle touches: floor(x) to ceil(x + width), the same in y, clamped to a surface
// of width x height (a value that is not finite counts as 0); none without positive width and height.
std::optional<PixelRect> referencePixelRect(Rect rect, std::uint64_t width, std::uint64_t height);

// Whether (x, y) lies in the rectangle (normalised) with its corners rounded by `radii`, each radius
// limited to half the smaller side.
bool referencePointInRoundedRect(Rect rect, const CornerRadii& radii, float x, float y);

// The larger length of the transform's two columns, at least 0.0001: what widths, radii and blur
// radii are multiplied by.
float transformScale(const Affine& transform);

// A box in device space with a radius per corner (top left, top right, bottom right, bottom left).
struct RoundedBox {
    Rect box;  // normalised
    float radii[4] = {};
    // The centre, the half size, and how far from the centre a point is surely inside whatever its
    // corner: the half size less the largest radius less one pixel.
    Point centre;
    float half_width = 0;
    float half_height = 0;
    float inside_x = 0;
    float inside_y = 0;
};

// `box` (normalised) with `radii` each limited to half its smaller side (negative ones to 0).
RoundedBox roundedBox(Rect box, const CornerRadii& radii);

// The coverage of the pixel centred at `p`: 1 well inside, 0 well outside, between them
// 0.5 minus the signed distance to the rounded outline.
float roundedBoxCoverage(const RoundedBox& box, Point p);

// The distance from `p` to the rounded box, 0 inside.
float roundedBoxDistance(const RoundedBox& box, Point p);

// How strongly a shadow shows at `distance` pixels outside its box: 1 inside, falling with a smooth
// step to 0 at `blur` pixels (a hard edge without blur).
float shadowIntensity(float distance, float blur);

}  // namespace kelvo
