#pragma once

// Path geometry planning: what the GPU side of a fill_path or stroke_path costs. Elements are
// counted into subpaths, segments and curves (a curve flattens to 12 segments); a fill is
// triangulated over its points, a stroke as a quad per flattened segment.

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "render/frame.hpp"

namespace kelvo {

struct RenderPathGeometryPlanner {
    std::span<PathGeometry> paths;
    std::size_t count = 0;

    // Plans the path of the render command at `index`. A path that yields no vertices or no
    // indices adds nothing; PathGeometryListFull when the list is full.
    Status consumePath(bool stroke, const RenderCommand& command, std::uint64_t index,
                       std::span<const PathElement> elements, float stroke_width);
};

}  // namespace kelvo
