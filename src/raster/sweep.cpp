#include "raster/sweep.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "raster/curve_flattening.hpp"

namespace kelvo {
namespace {

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

// A sub-scanline has at most 128 inside spans (two crossings each), a row four sub-scanlines.
constexpr std::size_t kRowSpanCapacity = 4 * kRasterCrossingCapacity / 2;

// The sweep's working arrays: edge indices by top y, the active edges in index order, one
// sub-scanline's crossings, one row's spans, coverage and cover events. A row can need an event at
// each end of every span plus the one that closes the last run. The events come last, so a write
// past them leaves the allocation, where the address sanitizer sees it.
struct SweepScratch {
    std::array<std::uint16_t, kRasterEdgeCapacity> byTop;
    std::array<std::uint16_t, kRasterEdgeCapacity> active;
    std::array<Crossing, kRasterCrossingCapacity> crossings;
    std::array<Span, kRowSpanCapacity> spans;
    std::array<float, kRasterMaxWidth> row;
    std::array<CoverEvent, 2 * kRowSpanCapacity + 1> events;
};

// This thread's scratch, allocated on first use.
SweepScratch& sweepScratch() {
    thread_local std::unique_ptr<SweepScratch> scratch;
    if (!scratch) scratch = std::make_unique<SweepScratch>();
    return *scratch;
}

float edgeTop(const RasterEdge& edge) { return std::min(edge.y0, edge.y1); }
float edgeBottom(const RasterEdge& edge) { return std::max(edge.y0, edge.y1); }

// Clamps a swept-box bound to [lo, hi] without converting an out-of-range float to an integer.
std::int64_t clampBound(double value, std::int64_t lo, std::int64_t hi) {
    if (!(value > static_cast<double>(lo))) return lo;
    if (!(value < static_cast<double>(hi))) return hi;
    return static_cast<std::int64_t>(value);
}

// Stable insertion sort by x, the order every reader of the crossings agrees on.
void sortCrossings(Crossing* crossings, std::size_t count) {
    for (std::size_t i = 1; i < count; ++i) {
        Crossing key = crossings[i];
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
    Span* spans;
    CoverEvent* events;
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
            const Span* begin = spans + sub_begin[k];
            const Span* end = spans + sub_begin[k + 1];
            // Spans of one sub-scanline are ordered and do not overlap: skip those ending before c.
            const Span* s = std::partition_point(begin, end, [c](const Span& span) { return span.end <= c; });
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
            const Span& s = spans[i];
            lo = std::min(lo, s.first);
            hi = std::max(hi, s.end);
            if (s.end - s.first >= 3) {
                events[event_count++] = {s.first + 1, 1};
                events[event_count++] = {s.end - 1, -1};
            }
        }
        if (event_count <= 32) {
            for (std::size_t i = 1; i < event_count; ++i) {
                CoverEvent key = events[i];
                std::size_t j = i;
                for (; j > 0 && events[j - 1].column > key.column; --j) events[j] = events[j - 1];
                events[j] = key;
            }
        } else {
            std::sort(events, events + event_count,
                      [](const CoverEvent& a, const CoverEvent& b) { return a.column < b.column; });
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
            const Span& s = spans[i];
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
    SweepScratch& scratch = sweepScratch();
    std::uint16_t* by_top = scratch.byTop.data();
    for (std::uint64_t i = 0; i < edge_count; ++i) by_top[i] = static_cast<std::uint16_t>(i);
    std::sort(by_top, by_top + edge_count, [edges](std::uint16_t a, std::uint16_t b) {
        float ta = edgeTop(edges[a]);
        float tb = edgeTop(edges[b]);
        return ta < tb || (ta == tb && a < b);
    });

    float* row = scratch.row.data();
    RowBuilder builder{scratch.spans.data(), scratch.events.data(), row, static_cast<float>(width),
                       static_cast<float>(x0)};
    std::uint16_t* active = scratch.active.data();
    Crossing* crossings = scratch.crossings.data();
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

}  // namespace kelvo
