#pragma once

// Rectangles of a packet against the pixel grid of the canvas: pixel sizes and their limits,
// snapping rectangles outward to whole pixels, and the pass flags of each load action. Shared by
// presentation, the CPU rasteriser and the compositor.

#include <cstdint>
#include <optional>

#include "render/packet/packet_model.hpp"

namespace kelvo {

inline constexpr std::uint32_t kCanvasMaxPixelSide = 8192;

struct CanvasPixelSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// A half-open pixel rectangle [x0, x1) x [y0, y1).
struct PixelGridRect {
    std::uint32_t x0 = 0;
    std::uint32_t y0 = 0;
    std::uint32_t x1 = 0;
    std::uint32_t y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    std::uint32_t width() const { return x1 > x0 ? x1 - x0 : 0; }
    std::uint32_t height() const { return y1 > y0 ? y1 - y0 : 0; }
    friend bool operator==(const PixelGridRect&, const PixelGridRect&) = default;
};

// A scale that is not a positive finite number counts as 1.
double effectiveScale(double scale);

// ceil(side * scale) per side; nothing when either lies outside 1..8192 or is not finite.
std::optional<CanvasPixelSize> canvasPixelSize(double width, double height, double scale);

// Negative sizes turned into positive ones by moving the origin.
PacketRect standardizeRect(PacketRect rect);
bool rectIsEmpty(const PacketRect& rect);  // standardised width or height 0 (or not a number)
// False when either standardised rect is empty; else whether they overlap with area.
bool packetRectsIntersect(const PacketRect& a, const PacketRect& b);
// The overlap of two standardised rects; an empty rect at a's origin when they do not overlap.
PacketRect intersectRects(const PacketRect& a, const PacketRect& b);
PacketRect unionRects(const PacketRect& a, const PacketRect& b);

// The standardised rect snapped outward to whole pixels and clamped to the grid:
// x0 = clamp(floor(x * s), 0, w), x1 = max(x0, min(w, ceil((x + width) * s))), likewise y.
PixelGridRect snapRectToPixels(const PacketRect& rect, double scale, std::uint32_t pixelWidth,
                               std::uint32_t pixelHeight);
PacketRect pixelRectToPoints(const PixelGridRect& rect, double scale);
// snapRectToPixels, returned in points.
PacketRect alignRectToPixels(std::uint32_t pixelWidth, std::uint32_t pixelHeight, const PacketRect& rect, double scale);

// What a load action redraws: "clear" everything from the clear colour; "load" over the kept
// canvas (inside the scissor when there is one); "patch" everything without a scissor, only
// inside it with one. A direct update uploads only the dirty regions.
struct PassFlags {
    bool fullSurfacePass = false;
    bool directRetainedDirtyUpdate = false;
};
PassFlags passFlagsFor(PacketLoadAction action, bool hasScissor);

}  // namespace kelvo
