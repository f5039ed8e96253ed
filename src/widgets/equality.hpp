#pragma once

// Equality of display-list commands as the refresh diff and the frame planner see it. Floats
// compare as floats: a NaN is never equal, 0 equals -0.

#include "raster/canvas_geometry.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

// Both solid with equal colours, or both gradients with equal ends and equal stops.
bool paintsEqual(const Paint& a, const Paint& b);

// Equal width, then equal paint; nothing else of a stroke counts.
bool strokesEqual(const Stroke& a, const Stroke& b);

// False when the tags differ; otherwise the fields the tag carries, scalars before slices. Path
// points are compared in all three slots, used or not; a text layout's measurer is not compared.
bool commandsEqual(const CanvasCommand& a, const CanvasCommand& b);

}  // namespace kelvo
