#include "raster/vector.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvo {
namespace {

Point quadPoint(Point p0, Point c, Point p, float t) {
    float mt = 1.0f - t;
    float w0 = mt * mt;
    float w1 = 2.0f * mt * t;
    float w2 = t * t;
    return {w0 * p0.x + w1 * c.x + w2 * p.x, w0 * p0.y + w1 * c.y + w2 * p.y};
}

Point cubicPoint(Point p0, Point c1, Point c2, Point p, float t) {
    float mt = 1.0f - t;
    float w0 = mt * mt * mt;
    float w1 = 3.0f * mt * mt * t;
    float w2 = 3.0f * mt * t * t;
    float w3 = t * t * t;
    return {w0 * p0.x + w1 * c1.x + w2 * c2.x + w3 * p.x, w0 * p0.y + w1 * c1.y + w2 * c2.y + w3 * p.y};
}

// The largest absolute component of a - 2b + c.
float secondDifference(Point a, Point b, Point c) {
    return std::max(std::fabs(a.x - 2.0f * b.x + c.x), std::fabs(a.y - 2.0f * b.y + c.y));
}

int quadSegments(Point p0, Point c, Point p) { return curveSegmentCount(0.25f * secondDifference(p0, c, p)); }

int cubicSegments(Point p0, Point c1, Point c2, Point p) {
    return curveSegmentCount(0.75f * std::max(secondDifference(p0, c1, c2), secondDifference(c1, c2, p)));
}

// Hands the points at t = i/n, i = 1..n, of a flattened quadratic to `emit`.
template <class Emit>
Status flattenQuad(Point p0, Point c, Point p, Emit&& emit) {
    int n = quadSegments(p0, c, p);
    for (int i = 1; i <= n; ++i) {
        TRY(emit(quadPoint(p0, c, p, static_cast<float>(i) / static_cast<float>(n))));
    }
    return {};
}

template <class Emit>
Status flattenCubic(Point p0, Point c1, Point c2, Point p, Emit&& emit) {
    int n = cubicSegments(p0, c1, c2, p);
    for (int i = 1; i <= n; ++i) {
        TRY(emit(cubicPoint(p0, c1, c2, p, static_cast<float>(i) / static_cast<float>(n))));
    }
    return {};
}

float squaredDistance(Point a, Point b) {
    float dx = b.x - a.x;
    float dy = b.y - a.y;
    return dx * dx + dy * dy;
}

bool samePoint(Point a, Point b) { return a.x == b.x && a.y == b.y; }

float edgeTop(const RasterEdge& edge) { return std::min(edge.y0, edge.y1); }
float edgeBottom(const RasterEdge& edge) { return std::max(edge.y0, edge.y1); }

// Clamps a swept-box bound to [lo, hi] without converting an out-of-range float to an integer.
std::int64_t clampBound(double value, std::int64_t lo, std::int64_t hi) {
    if (!(value > static_cast<double>(lo))) return lo;
    if (!(value < static_cast<double>(hi))) return hi;
    return static_cast<std::int64_t>(value);
}

// Stable insertion sort by x, the order every reader of the crossings agrees on.
void sortCrossings(Rasterizer::Crossing* crossings, std::size_t count) {
    for (std::size_t i = 1; i < count; ++i) {
        Rasterizer::Crossing key = crossings[i];
        std::size_t j = i;
        while (j > 0 && crossings[j - 1].x > key.x) {
            crossings[j] = crossings[j - 1];
            --j;
        }
        crossings[j] = key;
    }
}

// Builds one row's coverage from the inside spans of its four sub-scanlines. Each span adds a
// quarter of its overlap with every pixel column it touches, in sub-scanline order and span order.
// Columns that spans cover whole only ever receive exact quarters, so their sum is a multiple of
// 0.25 whatever the order and is written in runs; the columns where spans end are recomputed in
// the exact order of addition, so the row is the same, bit for bit, as adding span by span.
struct RowBuilder {
    Rasterizer::Span* spans;
    Rasterizer::CoverEvent* events;
    float* row;
    float width;
    float left;
    std::size_t span_count = 0;
    std::size_t sub_begin[5] = {};  // spans of sub-scanline k: [sub_begin[k], sub_begin[k + 1])

    void start() { span_count = 0; }
    void startSubScanline(int k) { sub_begin[k] = span_count; }
    void finish() { sub_begin[4] = span_count; }

    void addSpan(float start_x, float end_x) {
        float a = start_x - left;
        float b = end_x - left;
        a = a > 0.0f ? a : 0.0f;
        a = a < width ? a : width;
        b = b > 0.0f ? b : 0.0f;
        b = b < width ? b : width;
        if (!(b > a)) return;
        spans[span_count++] = {a, b, static_cast<std::int32_t>(a), static_cast<std::int32_t>(std::ceil(b))};
    }

    // The exact accumulated value of column c: every span that touches it, in order.
    float columnValue(std::int32_t c) const {
        float value = 0.0f;
        auto lo = static_cast<float>(c);
        auto hi = static_cast<float>(c + 1);
        for (int k = 0; k < 4; ++k) {
            const Rasterizer::Span* begin = spans + sub_begin[k];
            const Rasterizer::Span* end = spans + sub_begin[k + 1];
            // Spans of one sub-scanline are ordered and do not overlap: skip those ending before c.
            const Rasterizer::Span* s =
                std::partition_point(begin, end, [c](const Rasterizer::Span& span) { return span.end <= c; });
            for (; s != end && s->first <= c; ++s) {
                float overlap = std::min(s->b, hi) - std::max(s->a, lo);
                if (overlap > 0.0f) value += overlap * 0.25f;
            }
        }
        return value;
    }

    // Hands the row to `row_fn` over [lo, hi), the columns the spans touch, clipped to
    // [emit_lo, emit_hi): runs covered whole on all four sub-scanlines go without a coverage array,
    // everything between them as values.
    void emit(std::int32_t emit_lo, std::int32_t emit_hi, std::int32_t y, std::int32_t x0, CoverageRowFn row_fn,
              void* context) {
        if (span_count == 0) return;
        std::int32_t lo = spans[0].first;
        std::int32_t hi = spans[0].end;
        std::size_t event_count = 0;
        for (std::size_t i = 0; i < span_count; ++i) {
            const Rasterizer::Span& s = spans[i];
            lo = std::min(lo, s.first);
            hi = std::max(hi, s.end);
            if (s.end - s.first >= 3) {
                events[event_count++] = {s.first + 1, 1};
                events[event_count++] = {s.end - 1, -1};
            }
        }
        if (event_count <= 32) {
            for (std::size_t i = 1; i < event_count; ++i) {
                Rasterizer::CoverEvent key = events[i];
                std::size_t j = i;
                for (; j > 0 && events[j - 1].column > key.column; --j) events[j] = events[j - 1];
                events[j] = key;
            }
        } else {
            std::sort(
                events, events + event_count,
                [](const Rasterizer::CoverEvent& a, const Rasterizer::CoverEvent& b) { return a.column < b.column; });
        }
        events[event_count++] = {hi, 0};  // closes the last run

        // Values of the columns outside whole runs; a whole run holds no span end, so the exact
        // values of the span ends never fall inside one.
        std::int32_t at = lo;
        std::int32_t whole = 0;
        for (std::size_t i = 0; i < event_count; ++i) {
            if (events[i].column > at && whole != 4) {
                std::fill(row + at, row + events[i].column, static_cast<float>(whole) * 0.25f);
            }
            at = std::max(at, events[i].column);
            whole += events[i].delta;
        }
        for (std::size_t i = 0; i < span_count; ++i) {
            const Rasterizer::Span& s = spans[i];
            row[s.first] = columnValue(s.first);
            if (s.end - 1 != s.first) row[s.end - 1] = columnValue(s.end - 1);
        }

        auto hand = [&](std::int32_t from, std::int32_t to, bool solid) {
            from = std::max(from, emit_lo);
            to = std::min(to, emit_hi);
            if (to > from) row_fn(context, y, x0 + from, solid ? nullptr : row + from, to - from);
        };
        at = lo;
        whole = 0;
        std::int32_t pending = lo;  // start of the values not yet handed over
        for (std::size_t i = 0; i < event_count; ++i) {
            std::int32_t column = events[i].column;
            if (column > at && whole == 4) {
                hand(pending, at, false);
                hand(at, column, true);
                pending = column;
            }
            at = std::max(at, column);
            whole += events[i].delta;
        }
        hand(pending, hi, false);
    }
};

}  // namespace

int curveSegmentCount(float d) {
    if (d <= 0.25f) return 1;
    float n = std::ceil(std::sqrt(d / 0.25f));
    if (n >= static_cast<float>(kMaxCurveSegments)) return kMaxCurveSegments;
    if (!(n >= 1.0f)) return 1;
    return static_cast<int>(n);
}

Status addRasterEdge(Rasterizer& rasterizer, Point from, Point to) {
    if (from.y == to.y) return {};
    if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) || !std::isfinite(to.y)) return {};
    if (rasterizer.count >= kRasterEdgeCapacity) return fail(Error::VectorPathTooComplex);
    rasterizer.edges[rasterizer.count] = {from.x, from.y, to.x, to.y, to.y > from.y ? 1.0f : -1.0f};
    Point lo{std::min(from.x, to.x), std::min(from.y, to.y)};
    Point hi{std::max(from.x, to.x), std::max(from.y, to.y)};
    if (rasterizer.count == 0) {
        rasterizer.min = lo;
        rasterizer.max = hi;
    } else {
        rasterizer.min = {std::min(rasterizer.min.x, lo.x), std::min(rasterizer.min.y, lo.y)};
        rasterizer.max = {std::max(rasterizer.max.x, hi.x), std::max(rasterizer.max.y, hi.y)};
    }
    ++rasterizer.count;
    return {};
}

Status accumulateFillEdges(Rasterizer& rasterizer, std::span<const PathElement> elements, const Affine& transform) {
    Point current{};
    Point start{};
    bool open = false;
    auto edgeTo = [&](Point point) -> Status {
        TRY(addRasterEdge(rasterizer, current, point));
        current = point;
        return {};
    };
    auto closeSubpath = [&]() -> Status {
        if (!samePoint(current, start)) TRY(addRasterEdge(rasterizer, current, start));
        current = start;
        return {};
    };
    for (const PathElement& element : elements) {
        switch (pathVerbBits(element.verb)) {
            case 0: {  // move_to
                if (open) TRY(closeSubpath());
                current = start = applyAffine(transform, element.points[0]);
                open = true;
                break;
            }
            case 1: {  // line_to
                Point point = applyAffine(transform, element.points[0]);
                if (!open) {
                    current = start = point;
                    open = true;
                } else {
                    TRY(edgeTo(point));
                }
                break;
            }
            case 2: {  // quad_to
                if (!open) break;
                TRY(flattenQuad(current, applyAffine(transform, element.points[0]),
                                applyAffine(transform, element.points[1]), edgeTo));
                break;
            }
            case 3: {  // cubic_to
                if (!open) break;
                TRY(flattenCubic(current, applyAffine(transform, element.points[0]),
                                 applyAffine(transform, element.points[1]), applyAffine(transform, element.points[2]),
                                 edgeTo));
                break;
            }
            case 4:  // close: the subpath stays started at its start point
                if (open) TRY(closeSubpath());
                break;
            default:
                break;
        }
    }
    if (open) TRY(closeSubpath());
    return {};
}

Status addPolygon(Rasterizer& rasterizer, std::span<const Point> points) {
    std::size_t n = points.size();
    if (n < 3) return {};
    double twice_area = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Point& p = points[i];
        const Point& q = points[(i + 1) % n];
        twice_area += static_cast<double>(p.x) * q.y - static_cast<double>(p.y) * q.x;
    }
    if (!(std::fabs(twice_area) > 1e-9)) return {};
    if (twice_area >= 0) {
        for (std::size_t i = 0; i < n; ++i) TRY(addRasterEdge(rasterizer, points[i], points[(i + 1) % n]));
    } else {
        for (std::size_t step = 0; step < n; ++step) {
            TRY(addRasterEdge(rasterizer, points[(n - step) % n], points[n - step - 1]));
        }
    }
    return {};
}

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

Status sweepCoverageRows(Rasterizer& rasterizer, PixelBox clip, FillRule rule, std::int64_t target_width,
                         std::int64_t target_height, CoverageRowFn row_fn, void* context) {
    std::uint64_t edge_count = rasterizer.count;
    if (edge_count == 0) return {};
    auto finiteOrZero = [](float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; };
    std::int64_t x0 = clampBound(std::floor(finiteOrZero(rasterizer.min.x)), clip.x0, clip.x1);
    std::int64_t x1 = clampBound(std::ceil(finiteOrZero(rasterizer.max.x)), clip.x0, clip.x1);
    std::int64_t y0 = clampBound(std::floor(finiteOrZero(rasterizer.min.y)), clip.y0, clip.y1);
    std::int64_t y1 = clampBound(std::ceil(finiteOrZero(rasterizer.max.y)), clip.y0, clip.y1);
    if (x1 <= x0 || y1 <= y0) return {};
    if (x1 - x0 > kRasterMaxWidth) return fail(Error::VectorRasterTooWide);
    auto width = static_cast<std::int32_t>(x1 - x0);

    // Rows outside the target reach no sink, so they are not swept at all.
    std::int64_t row_begin = std::max<std::int64_t>(y0, 0);
    std::int64_t row_end = std::min<std::int64_t>(y1, target_height);
    std::int64_t emit_lo = std::max<std::int64_t>(x0, 0) - x0;
    std::int64_t emit_hi = std::min<std::int64_t>(x1, target_width) - x0;
    if (row_end <= row_begin || emit_hi <= emit_lo) return {};

    const RasterEdge* edges = rasterizer.edges.data();
    std::uint16_t* by_top = rasterizer.by_top.data();
    for (std::uint64_t i = 0; i < edge_count; ++i) by_top[i] = static_cast<std::uint16_t>(i);
    std::sort(by_top, by_top + edge_count, [edges](std::uint16_t a, std::uint16_t b) {
        float ta = edgeTop(edges[a]);
        float tb = edgeTop(edges[b]);
        return ta < tb || (ta == tb && a < b);
    });

    float* row = rasterizer.row.data();
    RowBuilder builder{rasterizer.spans.data(), rasterizer.events.data(), row, static_cast<float>(width),
                       static_cast<float>(x0)};
    std::uint16_t* active = rasterizer.active.data();
    Rasterizer::Crossing* crossings = rasterizer.crossings.data();
    std::size_t active_count = 0;
    std::uint64_t next = 0;

    for (std::int64_t y = row_begin; y < row_end;) {
        if (active_count == 0) {
            if (next >= edge_count) break;
            // No edge reaches rows above the next edge's top: skip them.
            double first_row = std::floor(static_cast<double>(edgeTop(edges[by_top[next]]))) - 1.0;
            if (first_row > static_cast<double>(y)) {
                y = first_row < static_cast<double>(row_end) ? static_cast<std::int64_t>(first_row) : row_end;
                continue;
            }
        }
        builder.start();
        auto row_y = static_cast<float>(y);
        for (int k = 0; k < 4; ++k) {
            builder.startSubScanline(k);
            float sy = row_y + (static_cast<float>(k) + 0.5f) * 0.25f;
            // Drop the edges that ended, keeping index order.
            std::size_t kept = 0;
            for (std::size_t i = 0; i < active_count; ++i) {
                if (sy < edgeBottom(edges[active[i]])) active[kept++] = active[i];
            }
            active_count = kept;
            // Take in the edges that start, in index order.
            while (next < edge_count && edgeTop(edges[by_top[next]]) <= sy) {
                std::uint16_t index = by_top[next++];
                if (!(sy < edgeBottom(edges[index]))) continue;
                if (active_count >= kRasterCrossingCapacity) return fail(Error::VectorPathTooComplex);
                std::uint16_t* at = std::upper_bound(active, active + active_count, index);
                std::memmove(at + 1, at, sizeof(std::uint16_t) * static_cast<std::size_t>(active + active_count - at));
                *at = index;
                ++active_count;
            }
            if (active_count == 0) continue;
            if (active_count > kRasterCrossingCapacity) return fail(Error::VectorPathTooComplex);
            // Every active edge crosses this sub-scanline.
            for (std::size_t i = 0; i < active_count; ++i) {
                const RasterEdge& e = edges[active[i]];
                crossings[i] = {e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.winding};
            }
            sortCrossings(crossings, active_count);
            bool inside = false;
            int winding = 0;
            float span_start = 0;
            for (std::size_t i = 0; i < active_count; ++i) {
                bool was_inside = inside;
                if (rule == FillRule::winding) {
                    winding += crossings[i].winding > 0.0f ? 1 : -1;
                    inside = winding != 0;
                } else {
                    inside = !inside;
                }
                if (!was_inside && inside) {
                    span_start = crossings[i].x;
                } else if (was_inside && !inside) {
                    builder.addSpan(span_start, crossings[i].x);
                }
            }
        }
        builder.finish();
        builder.emit(static_cast<std::int32_t>(emit_lo), static_cast<std::int32_t>(emit_hi),
                     static_cast<std::int32_t>(y), static_cast<std::int32_t>(x0), row_fn, context);
        ++y;
    }
    return {};
}

// Path building ---------------------------------------------------------------------------------

namespace {

Status appendElement(PathSink path, const PathElement& element) {
    if (path.cursor->count >= path.capacity) return fail(Error::VectorPathTooComplex);
    path.elements[path.cursor->count++] = element;
    return {};
}

Point onEllipse(const Ellipse& ellipse, Point unit) {
    float x = ellipse.rx * unit.x;
    float y = ellipse.ry * unit.y;
    if (ellipse.rotation != 0.0f) {
        float cos_r = std::cos(ellipse.rotation);
        float sin_r = std::sin(ellipse.rotation);
        float rx = cos_r * x - sin_r * y;
        float ry = sin_r * x + cos_r * y;
        x = rx;
        y = ry;
    }
    return {ellipse.centre.x + x, ellipse.centre.y + y};
}

float dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

// Splitting halves the turn each time, so a handful of levels suffice for unit directions; the
// bound keeps directions that are not unit vectors from recursing without end.
constexpr int kMaxArcSplitDepth = 8;

Status emitArcPiece(PathSink path, const Ellipse& ellipse, Point u, Point v, int depth) {
    for (int splits = 0; dot(u, v) < 0.1f && depth < kMaxArcSplitDepth && splits < kMaxArcSplitDepth; ++splits) {
        Point sum{u.x + v.x, u.y + v.y};
        float length = std::sqrt(dot(sum, sum));
        Point middle = length < 1e-6f ? Point{-u.y, u.x} : Point{sum.x / length, sum.y / length};
        TRY(emitArcPiece(path, ellipse, u, middle, depth + 1));
        u = middle;
    }
    float c = std::clamp(dot(u, v), -1.0f, 1.0f);
    float k = (4.0f / 3.0f) * std::sqrt((1.0f - c) / 2.0f) / (std::sqrt((1.0f + c) / 2.0f) + 1.0f);
    Point c1{u.x + k * -u.y, u.y + k * u.x};
    Point c2{v.x - k * -v.y, v.y - k * v.x};
    return pathCubicTo(path, onEllipse(ellipse, c1), onEllipse(ellipse, c2), onEllipse(ellipse, v));
}

}  // namespace

Status pathMoveTo(PathSink path, Point point) {
    TRY(appendElement(path, PathElement::moveTo(point)));
    path.cursor->current = point;
    path.cursor->start = point;
    path.cursor->has_subpath = true;
    return {};
}

Status pathLineTo(PathSink path, Point point) {
    TRY(appendElement(path, PathElement::lineTo(point)));
    path.cursor->current = point;
    return {};
}

Status pathQuadTo(PathSink path, Point control, Point end) {
    TRY(appendElement(path, PathElement::quadTo(control, end)));
    path.cursor->current = end;
    return {};
}

Status pathCubicTo(PathSink path, Point c1, Point c2, Point end) {
    TRY(appendElement(path, PathElement::cubicTo(c1, c2, end)));
    path.cursor->current = end;
    return {};
}

Status pathClose(PathSink path) {
    TRY(appendElement(path, PathElement::close()));
    path.cursor->current = path.cursor->start;
    return {};
}

Status pathArcTo(PathSink path, Point end, float rx, float ry) {
    if (!path.cursor->has_subpath) TRY(pathMoveTo(path, {0, 0}));
    if (rx == 0.0f || ry == 0.0f) return pathLineTo(path, end);
    Point current = path.cursor->current;
    if (samePoint(current, end)) return {};
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    float x1 = (current.x - end.x) / 2.0f;
    float y1 = (current.y - end.y) / 2.0f;
    float scale = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
    if (scale > 1.0f) {
        float grow = std::sqrt(scale);
        rx *= grow;
        ry *= grow;
    }
    float denominator = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    if (!(denominator > 0.0f)) return pathLineTo(path, end);
    float f = std::sqrt(std::max(0.0f, (rx * rx * ry * ry - denominator) / denominator));
    float cx = f * rx * y1 / ry;
    float cy = -f * ry * x1 / rx;
    Point centre{(current.x + end.x) / 2.0f + cx, (current.y + end.y) / 2.0f + cy};
    Point u{(x1 - cx) / rx, (y1 - cy) / ry};
    Point v{(-x1 - cx) / rx, (-y1 - cy) / ry};
    float lu = std::sqrt(dot(u, u));
    float lv = std::sqrt(dot(v, v));
    if (!(lu >= 1e-6f) || !(lv >= 1e-6f)) return pathLineTo(path, end);
    u = {u.x / lu, u.y / lu};
    v = {v.x / lv, v.y / lv};
    TRY(pathEmitUnitArc(path, Ellipse{centre, rx, ry, 0.0f}, u, v));
    path.cursor->current = end;
    return {};
}

Status pathEmitUnitArc(PathSink path, const Ellipse& ellipse, Point from, Point to) {
    if (!path.cursor->has_subpath) TRY(pathMoveTo(path, {0, 0}));
    return emitArcPiece(path, ellipse, from, to, 0);
}

}  // namespace kelvo
