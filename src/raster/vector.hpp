#pragma once

// The vector rasteriser: path elements are flattened under an affine transform into signed edges,
// and a scanline sweep with four sub-scanlines per pixel row turns the edges into anti-aliased
// coverage (exact in x, sampled four times in y). Everything lives in fixed arrays; overflow is a
// named error, never growth.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"

namespace kelvo {

inline constexpr std::size_t kRasterEdgeCapacity = 4096;
inline constexpr std::size_t kRasterCrossingCapacity = 256;
inline constexpr std::int64_t kRasterMaxWidth = 8192;
inline constexpr std::size_t kStrokePointCapacity = 512;
inline constexpr std::size_t kDiscPointCapacity = 196;
inline constexpr int kMaxCurveSegments = 48;
// Curves are flattened to within this distance in device pixels.
inline constexpr float kFlattenTolerance = 0.25f;
// Pixels whose accumulated coverage is at or below this are not handed to a sink.
inline constexpr float kCoverageThreshold = 0.0009f;
// The circle constant of a cubic quarter arc.
inline constexpr float kCircleKappa = 0.5522848f;

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

// The edge accumulator. Clear it before each shape. The sweep's working arrays live here too, so a
// sweep allocates nothing.
struct Rasterizer {
    std::uint64_t count = 0;
    std::array<RasterEdge, kRasterEdgeCapacity> edges;
    Point min;
    Point max;

    struct Crossing {
        float x;
        float winding;
    };
    // One inside span of a sub-scanline, relative to the swept box: [a, b] and the pixel columns
    // first .. end - 1 it touches.
    struct Span {
        float a;
        float b;
        std::int32_t first;
        std::int32_t end;
    };
    // Where the count of sub-scanlines that cover a column whole changes.
    struct CoverEvent {
        std::int32_t column;
        std::int32_t delta;
    };
    static constexpr std::size_t kRowSpanCapacity = 4 * kRasterCrossingCapacity / 2;

    // Sweep scratch: edge indices by top y, the active edges in index order, one sub-scanline's
    // crossings, one row's spans and cover events, and the row's coverage.
    std::array<std::uint16_t, kRasterEdgeCapacity> by_top;
    std::array<std::uint16_t, kRasterEdgeCapacity> active;
    std::array<Crossing, kRasterCrossingCapacity> crossings;
    std::array<Span, kRowSpanCapacity> spans;
    std::array<CoverEvent, 2 * kRowSpanCapacity> events;
    std::array<float, kRasterMaxWidth> row;

    void clear() {
        count = 0;
        min = {};
        max = {};
    }
};

// Adds one edge. An edge whose two y values are equal, or with a coordinate that is not finite, is
// dropped. A 4,097th edge is VectorPathTooComplex.
Status addRasterEdge(Rasterizer& rasterizer, Point from, Point to);

// Adds the signed edges of a path under `transform`; every subpath is closed for filling.
Status accumulateFillEdges(Rasterizer& rasterizer, std::span<const PathElement> elements, const Affine& transform);

// Adds a closed polygon (the last point joins the first), always with the same orientation so that
// overlapping pieces add up under the winding rule. Fewer than 3 points, or no area, add nothing.
Status addPolygon(Rasterizer& rasterizer, std::span<const Point> points);

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

// Receives a piece of one row of raw accumulated coverage: pixels x .. x + count - 1 of row y, all
// inside the sweep's target. `coverage` is null for a run covered whole (every value exactly 1), so
// that the inside of a shape can be filled without looking at each pixel.
using CoverageRowFn = void (*)(void* context, std::int32_t y, std::int32_t x, const float* coverage,
                               std::int32_t count);

// Converts the edges into coverage inside `clip` and hands every row of the target
// (0 <= x < target_width, 0 <= y < target_height) that the swept box meets to `row_fn`.
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

// Path building ---------------------------------------------------------------------------------

struct PathCursor {
    std::uint64_t count = 0;
    Point current;
    Point start;
    bool has_subpath = false;
};

// A path builder of any capacity, seen through its storage.
struct PathSink {
    PathElement* elements = nullptr;
    std::size_t capacity = 0;
    PathCursor* cursor = nullptr;
};

struct Ellipse {
    Point centre;
    float rx = 0;
    float ry = 0;
    float rotation = 0;  // radians
};

// Each appended element takes the next slot; one more than the capacity is VectorPathTooComplex.
Status pathMoveTo(PathSink path, Point point);
Status pathLineTo(PathSink path, Point point);
Status pathQuadTo(PathSink path, Point control, Point end);
Status pathCubicTo(PathSink path, Point c1, Point c2, Point end);
Status pathClose(PathSink path);
// An elliptical arc in the endpoint form with rotation 0, the short way round and turning clockwise
// on screen (y down), as cubic elements.
Status pathArcTo(PathSink path, Point end, float rx, float ry);
// Cubic elements along `ellipse` from the unit direction `from` to `to`, split while a piece would
// turn by more than about 84 degrees.
Status pathEmitUnitArc(PathSink path, const Ellipse& ellipse, Point from, Point to);

template <std::size_t Capacity>
struct PathBuilder {
    static constexpr std::size_t capacity = Capacity;

    PathCursor cursor;
    std::array<PathElement, Capacity> elements;

    PathSink sink() { return {elements.data(), Capacity, &cursor}; }
    std::span<const PathElement> path() const { return {elements.data(), static_cast<std::size_t>(cursor.count)}; }
    std::uint64_t count() const { return cursor.count; }
    void clear() { cursor = {}; }

    Status moveTo(Point point) { return pathMoveTo(sink(), point); }
    Status lineTo(Point point) { return pathLineTo(sink(), point); }
    Status quadTo(Point control, Point end) { return pathQuadTo(sink(), control, end); }
    Status cubicTo(Point c1, Point c2, Point end) { return pathCubicTo(sink(), c1, c2, end); }
    Status close() { return pathClose(sink()); }
    Status arcTo(Point end, float rx, float ry) { return pathArcTo(sink(), end, rx, ry); }
    Status emitUnitArc(const Ellipse& ellipse, Point from, Point to) {
        return pathEmitUnitArc(sink(), ellipse, from, to);
    }
};

// Segments for a curve whose largest second difference, weighted, is `d`: 1 when d <= 0.25, else
// ceil(sqrt(d / 0.25)), from 1 to 48.
int curveSegmentCount(float d);

}  // namespace kelvo
