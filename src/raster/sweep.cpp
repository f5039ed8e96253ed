#include "raster/sweep.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "raster/active_edges.hpp"
#include "raster/coverage_row.hpp"
#include "raster/curve_flattening.hpp"

namespace kelvo {
namespace {

// The sweep's working arrays: edge tops, edge indices by top, the active edges and the row's
// arrays.
struct SweepScratch {
    std::array<float, kRasterEdgeCapacity> tops;
    std::array<std::uint16_t, kRasterEdgeCapacity> byTop;
    ActiveEdges active;
    CoverageRowScratch row;
};

// This thread's scratch, allocated on first use.
SweepScratch& sweepScratch() {
    thread_local std::unique_ptr<SweepScratch> scratch;
    if (!scratch) scratch = std::make_unique<SweepScratch>();
    return *scratch;
}

float edgeTop(const RasterEdge& edge) { return std::min(edge.y0, edge.y1); }

// The sub-scanline `k` (0 to 3) of pixel row `y`, computed as the sweep computes it.
float subScanline(std::int64_t y, int k) { return static_cast<float>(y) + (static_cast<float>(k) + 0.5f) * 0.25f; }

// Whether an edge from `from` to `to` is kept under the band; one wholly to its left adds its
// winding to the band's sub-scanlines instead.
bool keepInBand(Rasterizer& rasterizer, Point from, Point to) {
    if (!rasterizer.band) return true;
    const PixelBox& band = *rasterizer.band;
    const float top = std::min(from.y, to.y);
    const float bottom = std::max(from.y, to.y);
    if (!(bottom > static_cast<float>(band.y0)) || !(top < static_cast<float>(band.y1))) return false;
    if (std::min(from.x, to.x) >= static_cast<float>(band.x1)) return false;
    if (std::max(from.x, to.x) > static_cast<float>(band.x0)) return true;
    const std::int32_t winding = to.y > from.y ? 1 : -1;
    for (std::int64_t y = band.y0; y < band.y1; ++y) {
        for (int k = 0; k < 4; ++k) {
            const float sy = subScanline(y, k);
            if (top <= sy && sy < bottom)
                rasterizer.left_winding[static_cast<std::size_t>((y - band.y0) * 4 + k)] += winding;
        }
    }
    return false;
}
float edgeBottom(const RasterEdge& edge) { return std::max(edge.y0, edge.y1); }

// Clamps a swept-box bound to [lo, hi] without converting an out-of-range float to an integer.
std::int64_t clampBound(double value, std::int64_t lo, std::int64_t hi) {
    if (!(value > static_cast<double>(lo))) return lo;
    if (!(value < static_cast<double>(hi))) return hi;
    return static_cast<std::int64_t>(value);
}

}  // namespace

Status addRasterEdge(Rasterizer& rasterizer, Point from, Point to) {
    if (from.y == to.y) return {};
    if (!std::isfinite(from.x) || !std::isfinite(from.y) || !std::isfinite(to.x) || !std::isfinite(to.y)) return {};
    if (!keepInBand(rasterizer, from, to)) return {};
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

void setRasterBand(Rasterizer& rasterizer, PixelBox box) {
    box.y1 = std::min(box.y1, box.y0 + kRasterBandRows);
    rasterizer.band = box;
    rasterizer.left_winding.fill(0);
}

bool rasterCrossingsFit(const Rasterizer& rasterizer) {
    if (rasterizer.count <= kRasterCrossingCapacity) return true;
    // The most edge extents that overlap at one height bounds the crossings of any sub-scanline.
    struct Extents {
        std::array<float, kRasterEdgeCapacity> tops;
        std::array<float, kRasterEdgeCapacity> bottoms;
    };
    thread_local std::unique_ptr<Extents> extents;
    if (!extents) extents = std::make_unique<Extents>();
    const std::size_t n = rasterizer.count;
    for (std::size_t i = 0; i < n; ++i) {
        extents->tops[i] = edgeTop(rasterizer.edges[i]);
        extents->bottoms[i] = edgeBottom(rasterizer.edges[i]);
    }
    std::sort(extents->tops.begin(), extents->tops.begin() + static_cast<std::ptrdiff_t>(n));
    std::sort(extents->bottoms.begin(), extents->bottoms.begin() + static_cast<std::ptrdiff_t>(n));
    std::size_t open = 0;
    std::size_t ended = 0;
    for (std::size_t started = 0; started < n; ++started) {
        // An edge is crossed while top <= sy < bottom: one ending at a height no longer counts there.
        while (ended < n && extents->bottoms[ended] <= extents->tops[started]) ++ended;
        open = std::max(open, started + 1 - ended);
        if (open > kRasterCrossingCapacity) return false;
    }
    return true;
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
    const PixelBox* band = rasterizer.band ? &*rasterizer.band : nullptr;
    if (edge_count == 0 && band == nullptr) return {};
    auto finiteOrZero = [](float v) { return std::isfinite(v) ? static_cast<double>(v) : 0.0; };
    // A band is swept whole: edges folded into its left winding can cover it where no edge is.
    std::int64_t x0 = band ? std::clamp<std::int64_t>(band->x0, clip.x0, clip.x1)
                           : clampBound(std::floor(finiteOrZero(rasterizer.min.x)), clip.x0, clip.x1);
    std::int64_t x1 = band ? std::clamp<std::int64_t>(band->x1, clip.x0, clip.x1)
                           : clampBound(std::ceil(finiteOrZero(rasterizer.max.x)), clip.x0, clip.x1);
    std::int64_t y0 = band ? std::clamp<std::int64_t>(band->y0, clip.y0, clip.y1)
                           : clampBound(std::floor(finiteOrZero(rasterizer.min.y)), clip.y0, clip.y1);
    std::int64_t y1 = band ? std::clamp<std::int64_t>(band->y1, clip.y0, clip.y1)
                           : clampBound(std::ceil(finiteOrZero(rasterizer.max.y)), clip.y0, clip.y1);
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
    float* tops = scratch.tops.data();
    std::uint16_t* by_top = scratch.byTop.data();
    for (std::uint64_t i = 0; i < edge_count; ++i) {
        tops[i] = edgeTop(edges[i]);
        by_top[i] = static_cast<std::uint16_t>(i);
    }
    std::sort(by_top, by_top + edge_count,
              [tops](std::uint16_t a, std::uint16_t b) { return tops[a] < tops[b] || (tops[a] == tops[b] && a < b); });

    CoverageRow builder{&scratch.row, static_cast<float>(width), static_cast<float>(x0)};
    ActiveEdges& active = scratch.active;
    active.count = 0;
    std::uint64_t next = 0;

    for (std::int64_t y = row_begin; y < row_end;) {
        if (active.count == 0 && band == nullptr) {
            if (next >= edge_count) break;
            // No edge reaches rows above the next edge's top: skip them.
            double first_row = std::floor(static_cast<double>(tops[by_top[next]])) - 1.0;
            if (first_row > static_cast<double>(y)) {
                y = first_row < static_cast<double>(row_end) ? static_cast<std::int64_t>(first_row) : row_end;
                continue;
            }
        }
        builder.start();
        for (int k = 0; k < 4; ++k) {
            builder.startSubScanline(k);
            float sy = subScanline(y, k);
            advanceActiveEdges(active, sy);
            while (next < edge_count && tops[by_top[next]] <= sy) {
                std::uint16_t index = by_top[next++];
                if (sy < edgeBottom(edges[index])) TRY(addActiveEdge(active, edges[index], index, sy));
            }
            // Edges left of a band start each of its sub-scanlines with their winding.
            int winding = band ? rasterizer.left_winding[static_cast<std::size_t>((y - band->y0) * 4 + k)] : 0;
            bool inside = rule == FillRule::winding ? winding != 0 : (winding & 1) != 0;
            float span_start = static_cast<float>(x0);
            if (active.count == 0 && !inside) continue;
            sortActiveEdges(active);
            for (std::size_t i = 0; i < active.count; ++i) {
                bool was_inside = inside;
                if (rule == FillRule::winding) {
                    winding += active.winding[i];
                    inside = winding != 0;
                } else {
                    inside = !inside;
                }
                if (!was_inside && inside) {
                    span_start = active.x[i];
                } else if (was_inside && !inside) {
                    builder.addSpan(span_start, active.x[i]);
                }
            }
            // Edges right of a band were left out: a span open at its end runs to its edge.
            if (inside && band != nullptr) builder.addSpan(span_start, static_cast<float>(x1));
        }
        builder.finish();
        builder.emit(static_cast<std::int32_t>(emit_lo), static_cast<std::int32_t>(emit_hi),
                     static_cast<std::int32_t>(y), static_cast<std::int32_t>(x0), row_fn, context);
        ++y;
    }
    return {};
}

}  // namespace kelvo
