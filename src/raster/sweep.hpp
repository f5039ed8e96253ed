#pragma once

// The edge accumulator and the coverage sweep of the vector rasteriser: path elements are flattened
// under an affine transform into signed edges, and a scanline sweep with four sub-scanlines per
// pixel row turns the edges into anti-aliased coverage (exact in x, sampled four times in y).
// Everything lives in fixed arrays; overflow is a named error, never growth.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "raster/path.hpp"

namespace kelvo {

inline constexpr std::size_t kRasterEdgeCapacity = 4096;
inline constexpr std::size_t kRasterCrossingCapacity = 256;
inline constexpr std::int64_t kRasterMaxWidth = 8192;
// The most pixel rows one band of a banded sweep covers.
inline constexpr std::int32_t kRasterBandRows = 64;
// Pixels whose accumulated coverage is at or below this are not handed to a sink.
inline constexpr float kCoverageThreshold = 0.0009f;

// One signed edge in device pixels; winding is +1 when the edge goes down (y1 > y0), else -1.
struct RasterEdge {
    float x0 = 0;
    float y0 = 0;
    float x1 = 0;
    float y1 = 0;
    float winding = 0;
};

enum class FillRule : std::uint8_t { winding = 0, even_odd = 1 };

// A clip in whole pixels: columns x0 <= x < x1, rows y0 <= y < y1.
struct PixelBox {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;
};

// The edge accumulator. Clear it before each shape. The sweep's working arrays are not part of it:
// each thread takes its own on first use, so a sweep allocates nothing after that.
//
// A shape too complex for one sweep (more edges than the accumulator holds, or more crossings on
// one sub-scanline than the sweep takes) can be drawn a band at a time: with a band set, only
// edges that reach the band's rows and do not lie wholly to its right are kept, and those wholly
// to its left are folded into the winding they add to each of its sub-scanlines. Coverage inside
// the band is then exactly that of the whole shape.
struct Rasterizer {
    std::uint64_t count = 0;
    std::array<RasterEdge, kRasterEdgeCapacity> edges;
    Point min;
    Point max;
    std::optional<PixelBox> band;
    std::array<std::int32_t, kRasterBandRows * 4> left_winding;

    void clear() {
        count = 0;
        min = {};
        max = {};
        band.reset();
    }
};

// Keeps the edges added from now on to `box`, whose rows are cut to at most kRasterBandRows.
// Call it after clear(), before the shape's edges are added.
void setRasterBand(Rasterizer& rasterizer, PixelBox box);

// Whether no sub-scanline can cross more edges than one sweep takes, judged from the edges'
// vertical extents alone (so it may say no for a shape that would fit).
bool rasterCrossingsFit(const Rasterizer& rasterizer);

// Adds one edge. An edge whose two y values are equal, or with a coordinate that is not finite, is
// dropped. A 4,097th edge is VectorPathTooComplex.
Status addRasterEdge(Rasterizer& rasterizer, Point from, Point to);

// Adds the signed edges of a path under `transform`; every subpath is closed for filling.
Status accumulateFillEdges(Rasterizer& rasterizer, std::span<const PathElement> elements, const Affine& transform);

// Adds a closed polygon (the last point joins the first), always with the same orientation so that
// overlapping pieces add up under the winding rule. Fewer than 3 points, or no area, add nothing.
Status addPolygon(Rasterizer& rasterizer, std::span<const Point> points);

// Receives a piece of one row of raw accumulated coverage: pixels x .. x + count - 1 of row y, all
// inside the sweep's target. `coverage` is null for a run covered whole (every value exactly 1), so
// that the inside of a shape can be filled without looking at each pixel. Stretches of pixels the
// shape does not touch are left out (one next to covered pixels may come with coverage 0).
using CoverageRowFn = void (*)(void* context, std::int32_t y, std::int32_t x, const float* coverage,
                               std::int32_t count);

// Converts the edges into coverage inside `clip` and hands what the shape covers of every row of the
// target (0 <= x < target_width, 0 <= y < target_height) that the swept box meets to `row_fn`; with
// a band set, the swept box is the band (within `clip`).
// VectorRasterTooWide when the swept box is wider than 8,192 pixels, VectorPathTooComplex when a
// sub-scanline has more than 256 crossings.
Status sweepCoverageRows(Rasterizer& rasterizer, PixelBox clip, FillRule rule, std::int64_t target_width,
                         std::int64_t target_height, CoverageRowFn row_fn, void* context);

// The sweep with a per-pixel sink: `sink(x, y, coverage)` for every pixel whose accumulated coverage
// exceeds the threshold, with coverage min(value, 1).
template <class PixelSink>
Status sweep(Rasterizer& rasterizer, PixelBox clip, FillRule rule, std::int64_t target_width,
             std::int64_t target_height, PixelSink&& sink) {
    auto row = [](void* context, std::int32_t y, std::int32_t x, const float* coverage, std::int32_t count) {
        auto& pixel = *static_cast<std::remove_reference_t<PixelSink>*>(context);
        if (coverage == nullptr) {
            for (std::int32_t i = 0; i < count; ++i) pixel(x + i, y, 1.0f);
            return;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            float value = coverage[i];
            if (value > kCoverageThreshold) pixel(x + i, y, value < 1.0f ? value : 1.0f);
        }
    };
    void* context = const_cast<void*>(static_cast<const void*>(&sink));
    return sweepCoverageRows(rasterizer, clip, rule, target_width, target_height, row, context);
}

}  // namespace kelvo
