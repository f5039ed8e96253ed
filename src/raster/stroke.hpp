#pragma once

// Stroking for the vector rasteriser: a stroked path becomes filled polygons (a quadrilateral per
// segment, joins and round caps) added to the edge accumulator.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "raster/path.hpp"
#include "raster/sweep.hpp"

namespace kelvo {

inline constexpr std::size_t kStrokePointCapacity = 512;
inline constexpr std::size_t kDiscPointCapacity = 196;

enum class StrokeCap : std::uint8_t { butt = 0, round = 1 };
enum class StrokeJoin : std::uint8_t { miter = 0, round = 1 };

// Widths are in device pixels and are not scaled by the transform.
struct StrokeStyle {
    float width = 1;
    float miter_limit = 4;
    StrokeCap cap = StrokeCap::butt;      // bit 0 set: round
    StrokeJoin join = StrokeJoin::miter;  // bit 0 set: round
};

// Adds the polygons of a stroked path: a quadrilateral per segment, joins and round caps.
Status accumulateStrokeEdges(Rasterizer& rasterizer, std::span<const PathElement> elements, const Affine& transform,
                             const StrokeStyle& style);

// A join polygon at `at` between the segments from `previous` and to `next`: a disc (round), a miter
// quadrilateral within the limit, else a bevel triangle. Turns too small to show add nothing.
Status emitJoin(Rasterizer& rasterizer, Point previous, Point at, Point next, float half_width, float miter_limit,
                float tolerance, StrokeJoin join);

// A disc of `radius` around `centre` as one polygon of flattened cubic quarter arcs.
Status emitDisc(Rasterizer& rasterizer, float radius, float tolerance, Point centre);

// The per-call stroke state: the points of the subpath being collected.
struct StrokeSink {
    Rasterizer* rasterizer = nullptr;
    std::uint64_t point_count = 0;
    float half_width = 0;
    StrokeStyle style;
    float tolerance = kFlattenTolerance;
    std::array<Point, kStrokePointCapacity> points;

    // Appends a point unless it repeats the previous one; a 513th point is VectorPathTooComplex.
    Status addPoint(Point point);
    // Strokes the collected subpath and starts an empty one.
    Status subpathEnd(bool closed);
};

}  // namespace kelvo
