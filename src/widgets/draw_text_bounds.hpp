#pragma once

#include <optional>

#include "raster/canvas_geometry.hpp"
#include "text/text_layout.hpp"

namespace kelvo {

struct DrawTextCommand;

// The text run a draw_text command lays out: its font, text, glyphs, layout box, size and origin.
TextRun drawTextRun(const DrawTextCommand& command);

// The drawing bounds of a text run: the text layout's bounds over every line. An empty run has none.
std::optional<Rect> drawTextBounds(const DrawTextCommand& command);

}  // namespace kelvo
