#pragma once

// Path building: path elements appended into fixed storage, with elliptical arcs as cubics, and
// the rule that decides how finely curves are flattened for the rasteriser.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"

namespace kelvo {

inline constexpr int kMaxCurveSegments = 48;
// Curves are flattened to within this distance in device pixels.
inline constexpr float kFlattenTolerance = 0.25f;
// The circle constant of a cubic quarter arc.
inline constexpr float kCircleKappa = 0.5522848f;

// Segments for a curve whose largest second difference, weighted, is `d`: 1 when d <= 0.25, else
// ceil(sqrt(d / 0.25)), from 1 to 48.
int curveSegmentCount(float d);

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

}  // namespace kelvo
