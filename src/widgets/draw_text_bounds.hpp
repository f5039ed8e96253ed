#pragma once

#include <optional>

#include "raster/canvas_geometry.hpp"

namespace kelvo {

struct DrawTextCommand;

// The drawing bounds of a text run. The text layout owns the exact rule (its line plan and the
// measurer); until the display list is linked against it, this gives the same box for positioned
// glyphs and an estimate of 0.6 em per character for unlaid text. An empty run has none.
std::optional<Rect> drawTextBounds(const DrawTextCommand& run);

}  // namespace kelvo
