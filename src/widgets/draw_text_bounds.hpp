#pragma once

#include <optional>

#include "raster/canvas_geometry.hpp"
#include "text/text_layout.hpp"

namespace kelvo {

struct DrawTextCommand;

// The text layout's view of a draw_text payload.
TextRun textRunOfDrawText(const DrawTextCommand& run);

// The drawing bounds of a text run as the text layout lays it out (every line, ink overhang
// included); none for an empty run.
std::optional<Rect> drawTextBounds(const DrawTextCommand& run);

}  // namespace kelvo
