#include "raster/stroke.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "raster/curve_flattening.hpp"

namespace kelvo {
namespace {

float squaredDistance(Point a, Point b) {
    float dx = b.x - a.x;
    float dy = b.y - a.y;
    return dx * dx + dy * dy;
}

}  // namespace

Status emitDisc(Rasterizer& rasterizer, float radius, float tolerance, Point centre) {
    if (!(radius > 0.0f)) return {};
    float r = radius;
    float k = kCircleKappa * r;
    float cx = centre.x;
    float cy = centre.y;
    const Point quarters[4][4] = {
        {{cx + r, cy}, {cx + r, cy + k}, {cx + k, cy + r}, {cx, cy + r}},
        {{cx, cy + r}, {cx - k, cy + r}, {cx - r, cy + k}, {cx - r, cy}},
        {{cx - r, cy}, {cx - r, cy - k}, {cx - k, cy - r}, {cx, cy - r}},
        {{cx, cy - r}, {cx + k, cy - r}, {cx + r, cy - k}, {cx + r, cy}},
    };
    std::array<Point, kDiscPointCapacity> points;
    std::size_t count = 0;
    points[count++] = quarters[0][0];
    for (int quarter = 0; quarter < 4; ++quarter) {
        const Point* q = quarters[quarter];
        float d = std::max(secondDifference(q[0], q[1], q[2]), secondDifference(q[1], q[2], q[3]));
        float segments = std::ceil(std::sqrt(0.75f * d / tolerance));
        int n = 1;
        if (segments >= static_cast<float>(kMaxCurveSegments)) {
            n = kMaxCurveSegments;
        } else if (segments >= 1.0f) {
            n = static_cast<int>(segments);
        }
        for (int i = 1; i <= n; ++i) {
            if (quarter == 3 && i == n) break;  // the closing point repeats the first
            if (count >= kDiscPointCapacity) return fail(Error::VectorPathTooComplex);
            points[count++] = cubicPoint(q[0], q[1], q[2], q[3], static_cast<float>(i) / static_cast<float>(n));
        }
    }
    return addPolygon(rasterizer, {points.data(), count});
}

Status emitJoin(Rasterizer& rasterizer, Point previous, Point at, Point next, float half_width, float miter_limit,
                float tolerance, StrokeJoin join) {
    float ax = at.x - previous.x;
    float ay = at.y - previous.y;
    float bx = next.x - at.x;
    float by = next.y - at.y;
    float l0 = std::sqrt(ax * ax + ay * ay);
    float l1 = std::sqrt(bx * bx + by * by);
    if (l0 <= 1e-6f || l1 <= 1e-6f) return {};
    Point d0{ax / l0, ay / l0};
    Point d1{bx / l1, by / l1};
    float h = half_width;
    float k = d0.x * d1.x + d0.y * d1.y;
    if (k > 0.0f && h * (1.0f - k) < tolerance * 0.25f) return {};
    if ((static_cast<std::uint8_t>(join) & 1u) != 0) return emitDisc(rasterizer, h, tolerance, at);

    float cross = d0.x * d1.y - d0.y * d1.x;
    if (!(std::fabs(cross) > 1e-6f)) return {};
    float s = cross > 0.0f ? 1.0f : -1.0f;
    Point o0{h * s * d0.y, -h * s * d0.x};
    Point o1{h * s * d1.y, -h * s * d1.x};
    Point m{o0.x + o1.x, o0.y + o1.y};
    float m_length = std::sqrt(m.x * m.x + m.y * m.y);
    if (!(m_length > 1e-6f)) return {};
    float q = ((o0.x * m.x + o0.y * m.y) / m_length) / h;
    if (!(q > 1e-6f)) return {};
    float ratio = 1.0f / q;
    float limit = std::max(miter_limit, 1.0f);
    if (ratio <= limit) {
        float reach = h / q;
        const Point miter[4] = {at,
                                {at.x + o0.x, at.y + o0.y},
                                {at.x + m.x / m_length * reach, at.y + m.y / m_length * reach},
                                {at.x + o1.x, at.y + o1.y}};
        return addPolygon(rasterizer, miter);
    }
    const Point bevel[3] = {at, {at.x + o0.x, at.y + o0.y}, {at.x + o1.x, at.y + o1.y}};
    return addPolygon(rasterizer, bevel);
}

Status StrokeSink::addPoint(Point point) {
    if (point_count > 0 && squaredDistance(points[point_count - 1], point) <= 1e-12f) return {};
    if (point_count >= kStrokePointCapacity) return fail(Error::VectorPathTooComplex);
    points[point_count++] = point;
    return {};
}

Status StrokeSink::subpathEnd(bool closed) {
    std::uint64_t n = point_count;
    point_count = 0;
    if (closed && n >= 2 && squaredDistance(points[n - 1], points[0]) <= 1e-12f) --n;
    if (n == 0) return {};
    bool round_caps = (static_cast<std::uint8_t>(style.cap) & 1u) != 0;
    if (n == 1) {
        if (round_caps) return emitDisc(*rasterizer, half_width, tolerance, points[0]);
        return {};
    }
    float h = half_width;
    auto segment = [&](Point a, Point b) -> Status {
        float dx = b.x - a.x;
        float dy = b.y - a.y;
        float length = std::sqrt(dx * dx + dy * dy);
        if (!(length > 1e-6f)) return {};
        float nx = dy / length * h;
        float ny = -dx / length * h;
        const Point quad[4] = {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
        return addPolygon(*rasterizer, quad);
    };
    for (std::uint64_t i = 0; i + 1 < n; ++i) TRY(segment(points[i], points[i + 1]));
    if (closed) TRY(segment(points[n - 1], points[0]));

    auto join = [&](Point previous, Point at, Point next) {
        return emitJoin(*rasterizer, previous, at, next, h, style.miter_limit, tolerance, style.join);
    };
    if (!closed) {
        for (std::uint64_t i = 1; i + 1 < n; ++i) TRY(join(points[i - 1], points[i], points[i + 1]));
        if (round_caps) {
            TRY(emitDisc(*rasterizer, h, tolerance, points[0]));
            TRY(emitDisc(*rasterizer, h, tolerance, points[n - 1]));
        }
    } else {
        for (std::uint64_t i = 0; i < n; ++i) TRY(join(points[(i + n - 1) % n], points[i], points[(i + 1) % n]));
    }
    return {};
}

Status accumulateStrokeEdges(Rasterizer& rasterizer, std::span<const PathElement> elements, const Affine& transform,
                             const StrokeStyle& style) {
    if (!(style.width > 0.0f)) return {};
    StrokeSink sink;
    sink.rasterizer = &rasterizer;
    sink.half_width = style.width * 0.5f;
    sink.style = style;
    sink.tolerance = kFlattenTolerance;

    Point current{};
    Point start{};
    bool open = false;
    auto addPoint = [&](Point point) -> Status { return sink.addPoint(point); };
    // After a close the next drawing element continues from the subpath start.
    auto resume = [&]() -> Status {
        if (sink.point_count == 0) TRY(sink.addPoint(current));
        return {};
    };
    for (const PathElement& element : elements) {
        switch (pathVerbBits(element.verb)) {
            case 0: {
                if (open) TRY(sink.subpathEnd(false));
                current = start = applyAffine(transform, element.points[0]);
                open = true;
                TRY(sink.addPoint(current));
                break;
            }
            case 1: {
                Point point = applyAffine(transform, element.points[0]);
                if (!open) {
                    current = start = point;
                    open = true;
                    TRY(sink.addPoint(point));
                } else {
                    TRY(resume());
                    TRY(sink.addPoint(point));
                    current = point;
                }
                break;
            }
            case 2: {
                if (!open) break;
                TRY(resume());
                Point end = applyAffine(transform, element.points[1]);
                TRY(flattenQuad(current, applyAffine(transform, element.points[0]), end, addPoint));
                current = end;
                break;
            }
            case 3: {
                if (!open) break;
                TRY(resume());
                Point end = applyAffine(transform, element.points[2]);
                TRY(flattenCubic(current, applyAffine(transform, element.points[0]),
                                 applyAffine(transform, element.points[1]), end, addPoint));
                current = end;
                break;
            }
            case 4:
                if (open) {
                    TRY(sink.subpathEnd(true));
                    current = start;
                }
                break;
            default:
                break;
        }
    }
    if (open) TRY(sink.subpathEnd(false));
    return {};
}

}  // namespace kelvo
