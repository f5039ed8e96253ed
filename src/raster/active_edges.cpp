#include "raster/active_edges.hpp"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvo {
namespace {

constexpr float kMinusInfinity = -std::numeric_limits<float>::infinity();

// The crossing of an edge with the sub-scanline at `sy`. Edges of coordinates near the float limit
// can overflow to a NaN here; it goes to the far left, where a span would clamp it anyway, so that
// the crossings keep one order.
float crossingAt(float x0, float y0, float dx, float dy, float sy) {
    float x = x0 + (sy - y0) * dx / dy;
    return x == x ? x : kMinusInfinity;
}

void moveEdge(ActiveEdges& active, std::size_t to, std::size_t from) {
    active.x[to] = active.x[from];
    active.x0[to] = active.x0[from];
    active.y0[to] = active.y0[from];
    active.dx[to] = active.dx[from];
    active.dy[to] = active.dy[from];
    active.bottom[to] = active.bottom[from];
    active.winding[to] = active.winding[from];
    active.index[to] = active.index[from];
}

}  // namespace

void advanceActiveEdges(ActiveEdges& active, float sy) {
    std::size_t count = active.count;
    bool ended = false;
    std::size_t i = 0;
#if defined(__SSE2__)
    // The same operations in the same order on each lane as crossingAt.
    const __m128 y = _mm_set1_ps(sy);
    const __m128 minus_infinity = _mm_set1_ps(kMinusInfinity);
    int ended_lanes = 0;
    for (; i < count; i += 4) {
        __m128 x =
            _mm_add_ps(_mm_load_ps(&active.x0[i]),
                       _mm_div_ps(_mm_mul_ps(_mm_sub_ps(y, _mm_load_ps(&active.y0[i])), _mm_load_ps(&active.dx[i])),
                                  _mm_load_ps(&active.dy[i])));
        __m128 nan = _mm_cmpunord_ps(x, x);
        _mm_store_ps(&active.x[i], _mm_or_ps(_mm_andnot_ps(nan, x), _mm_and_ps(nan, minus_infinity)));
        int lanes = count - i >= 4 ? 0xf : (1 << static_cast<int>(count - i)) - 1;
        ended_lanes |= ~_mm_movemask_ps(_mm_cmplt_ps(y, _mm_load_ps(&active.bottom[i]))) & lanes;
    }
    ended = ended_lanes != 0;
#else
    for (; i < count; ++i) {
        active.x[i] = crossingAt(active.x0[i], active.y0[i], active.dx[i], active.dy[i], sy);
        ended |= !(sy < active.bottom[i]);
    }
#endif
    if (!ended) return;
    std::size_t kept = 0;
    for (i = 0; i < count; ++i) {
        if (!(sy < active.bottom[i])) continue;
        if (kept != i) moveEdge(active, kept, i);
        ++kept;
    }
    active.count = kept;
}

Status addActiveEdge(ActiveEdges& active, const RasterEdge& edge, std::uint32_t index, float sy) {
    if (active.count >= kRasterCrossingCapacity) return fail(Error::VectorPathTooComplex);
    std::size_t i = active.count++;
    active.x0[i] = edge.x0;
    active.y0[i] = edge.y0;
    active.dx[i] = edge.x1 - edge.x0;
    active.dy[i] = edge.y1 - edge.y0;
    active.bottom[i] = std::max(edge.y0, edge.y1);
    active.winding[i] = edge.winding > 0.0f ? 1 : -1;
    active.index[i] = index;
    active.x[i] = crossingAt(active.x0[i], active.y0[i], active.dx[i], active.dy[i], sy);
    return {};
}

void sortActiveEdges(ActiveEdges& active) {
    auto before = [&](float x, std::uint32_t index, std::size_t j) {
        return x < active.x[j] || (x == active.x[j] && index < active.index[j]);
    };
    for (std::size_t i = 1; i < active.count; ++i) {
        if (!before(active.x[i], active.index[i], i - 1)) continue;
        std::size_t last = active.x.size() - 1;  // a free slot holds the edge while the others move
        moveEdge(active, last, i);
        std::size_t j = i;
        for (; j > 0 && before(active.x[last], active.index[last], j - 1); --j) moveEdge(active, j, j - 1);
        moveEdge(active, j, last);
    }
}

}  // namespace kelvo
