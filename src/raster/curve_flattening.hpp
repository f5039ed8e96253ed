#pragma once

// Private to raster/: curves cut into straight segments, shared by filling, stroking and discs.

#include <algorithm>
#include <cmath>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "raster/path.hpp"

namespace kelvo {

inline bool samePoint(Point a, Point b) { return a.x == b.x && a.y == b.y; }

inline Point quadPoint(Point p0, Point c, Point p, float t) {
    float mt = 1.0f - t;
    float w0 = mt * mt;
    float w1 = 2.0f * mt * t;
    float w2 = t * t;
    return {w0 * p0.x + w1 * c.x + w2 * p.x, w0 * p0.y + w1 * c.y + w2 * p.y};
}

inline Point cubicPoint(Point p0, Point c1, Point c2, Point p, float t) {
    float mt = 1.0f - t;
    float w0 = mt * mt * mt;
    float w1 = 3.0f * mt * mt * t;
    float w2 = 3.0f * mt * t * t;
    float w3 = t * t * t;
    return {w0 * p0.x + w1 * c1.x + w2 * c2.x + w3 * p.x, w0 * p0.y + w1 * c1.y + w2 * c2.y + w3 * p.y};
}

// The largest absolute component of a - 2b + c.
inline float secondDifference(Point a, Point b, Point c) {
    return std::max(std::fabs(a.x - 2.0f * b.x + c.x), std::fabs(a.y - 2.0f * b.y + c.y));
}

// Hands the points at t = i/n, i = 1..n, of a flattened quadratic to `emit`.
template <class Emit>
Status flattenQuad(Point p0, Point c, Point p, Emit&& emit) {
    int n = curveSegmentCount(0.25f * secondDifference(p0, c, p));
    for (int i = 1; i <= n; ++i) {
        TRY(emit(quadPoint(p0, c, p, static_cast<float>(i) / static_cast<float>(n))));
    }
    return {};
}

template <class Emit>
Status flattenCubic(Point p0, Point c1, Point c2, Point p, Emit&& emit) {
    int n = curveSegmentCount(0.75f * std::max(secondDifference(p0, c1, c2), secondDifference(c1, c2, p)));
    for (int i = 1; i <= n; ++i) {
        TRY(emit(cubicPoint(p0, c1, c2, p, static_cast<float>(i) / static_cast<float>(n))));
    }
    return {};
}

}  // namespace kelvo
