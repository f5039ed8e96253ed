#pragma once

// Private to platform/macos/canvas: a small 2-D canvas over the project's rasteriser, drawing into
// a premultiplied RGBA8 buffer. Points map to pixels through the current transform; clips are
// pixel boxes (rectangles snapped to whole pixels) plus an optional union of boxes (dirty rects).

#include <array>
#include <cstdint>
#include <span>

#include "platform/macos/canvas/packet_raster.hpp"
#include "raster/canvas_geometry.hpp"
#include "raster/path.hpp"
#include "raster/stroke.hpp"
#include "raster/sweep.hpp"

namespace kelvo {

inline constexpr std::size_t kCanvasUnionCapacity = 8;

struct Canvas2d {
    PacketPixels target;
    Affine transform;  // points to target pixels
    // Points to surface pixels (target pixels shifted by the origin). Shapes are flattened, stroked
    // and swept in these coordinates so that a command drawn into a buffer of one region (a scratch
    // texture, a cache entry) gets exactly the coverage it gets on the whole surface.
    Affine surface_transform;
    std::int64_t origin_x = 0;  // canvas pixel at the target's top-left pixel
    std::int64_t origin_y = 0;
    PixelBox clip;  // always inside the target
    std::array<PixelBox, kCanvasUnionCapacity> union_boxes{};
    std::size_t union_count = 0;  // 0: no union clip
};

// A canvas whose transform is scale `scale` with canvas pixel (origin_x, origin_y) at the target's
// top-left pixel, clipped to the target.
Canvas2d makeCanvas2d(PacketPixels target, double scale, std::int64_t origin_x, std::int64_t origin_y);

// The pixel box of a rect in points under the canvas transform (its bounding box, rounded to the
// nearest pixel edges), cut by the target.
PixelBox canvasPixelBox(const Canvas2d& canvas, PacketRect rect);
void canvasClipToRect(Canvas2d& canvas, PacketRect rect);
// The union of `rects` becomes an extra clip (rects past the capacity widen the last box).
void canvasClipToUnion(Canvas2d& canvas, std::span<const PacketRect> rects);
void canvasConcat(Canvas2d& canvas, const PacketTransform& transform);
bool canvasPixelVisible(const Canvas2d& canvas, std::int32_t x, std::int32_t y);

// Premultiplied colour of a paint at a surface pixel centre; a = 0 paints nothing there.
struct CanvasShader {
    virtual ~CanvasShader() = default;
    virtual std::array<float, 4> at(float x, float y) const = 0;
};

struct SolidShader final : CanvasShader {
    std::array<float, 4> premultiplied{};
    std::array<float, 4> at(float, float) const override { return premultiplied; }
};

// Source-over of the shader's colour, scaled by the coverage, onto one pixel.
void canvasBlendPixel(const Canvas2d& canvas, std::int32_t x, std::int32_t y, const std::array<float, 4>& colour,
                      float coverage);

// Fills a path given in points (under the canvas transform). False when the rasteriser refuses it.
bool canvasFillPath(const Canvas2d& canvas, std::span<const PathElement> path, FillRule rule,
                    const CanvasShader& shader);
// Strokes a path given in points; the width is in points.
bool canvasStrokePath(const Canvas2d& canvas, std::span<const PathElement> path, float width, StrokeCap cap,
                      StrokeJoin join, const CanvasShader& shader);
// Calls `pixel(x, y, coverage)` for each visible pixel a path in points covers.
using CanvasCoverageFn = void (*)(void* context, std::int32_t x, std::int32_t y, float coverage);
bool canvasCoverPath(const Canvas2d& canvas, std::span<const PathElement> path, FillRule rule, CanvasCoverageFn fn,
                     void* context);

// Replaces the pixels of a rect in points with a colour (the copy operator; alpha included).
void canvasCopyRect(const Canvas2d& canvas, PacketRect rect, const std::array<std::uint8_t, 4>& premultiplied);

// A reusable path in points.
std::vector<PathElement>& canvasPathScratch();
void appendRectPath(std::vector<PathElement>& path, PacketRect rect);
// The rounded rectangle of a standardised rect with per-corner radii (top-left, top-right,
// bottom-right, bottom-left), each clamped to 0 .. min(w, h) / 2.
void appendRoundedRectPath(std::vector<PathElement>& path, PacketRect rect, const PacketRadii& radii);

PacketRect standardRect(PacketRect rect);
PacketRect intersectPacketRects(PacketRect a, PacketRect b);
bool packetRectEmpty(PacketRect rect);
bool packetRectsIntersect(PacketRect a, PacketRect b);

}  // namespace kelvo
