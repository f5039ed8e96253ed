#pragma once

// Private to raster/: the edges that cross the sweep's current sub-scanline, kept in crossing
// order from one sub-scanline to the next, field by field so that crossings are computed four at
// a time.

#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/sweep.hpp"

namespace kelvo {

struct ActiveEdges {
    // Room for a group of four to run past the last edge; the lanes there compute what they like.
    static constexpr std::size_t kRoom = kRasterCrossingCapacity + 4;

    std::size_t count = 0;
    alignas(16) std::array<float, kRoom> x;  // the crossing on the current sub-scanline
    alignas(16) std::array<float, kRoom> x0;
    alignas(16) std::array<float, kRoom> y0;
    alignas(16) std::array<float, kRoom> dx;
    alignas(16) std::array<float, kRoom> dy;
    alignas(16) std::array<float, kRoom> bottom;
    std::array<std::int32_t, kRoom> winding;  // +1 or -1
    std::array<std::uint32_t, kRoom> index;   // in the rasteriser's edge list
};

// Drops the edges that end at or above `sy` and moves the crossings of the others to `sy`.
void advanceActiveEdges(ActiveEdges& active, float sy);

// Takes in an edge that crosses `sy`, with its crossing. VectorPathTooComplex past 256 edges.
Status addActiveEdge(ActiveEdges& active, const RasterEdge& edge, std::uint32_t index, float sy);

// Puts the edges in the one order every reader of the crossings agrees on: by x, and crossings at
// the same x in edge index order (a stable sort of the edges in index order). The order of the
// previous sub-scanline is nearly this one, so an insertion sort has little to move.
void sortActiveEdges(ActiveEdges& active);

}  // namespace kelvo
