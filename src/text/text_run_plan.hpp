#pragma once

// A run laid out into the caller's line array, with the fingerprint that tells whether two plans
// lay out the same run the same way, and the drawing bounds of a draw_text command.

#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "text/text_layout.hpp"

namespace kelvo {

struct TextRunPlan {
    std::uint64_t font = 0;
    std::uint64_t text_length = 0;
    std::uint64_t glyph_count = 0;
    std::uint64_t fingerprint = 0;
    float size = 0;
    float origin_x = 0;
    float origin_y = 0;
    float max_width = 0;    // clamped at 0
    float line_height = 0;  // clamped at 0
    TextWrap wrap = TextWrap::none;
    TextAlign align = TextAlign::start;
    bool no_ellipsis = false;
    std::span<TextLine> lines;   // the filled front of the caller's array
    std::optional<Rect> bounds;  // the union of the line rectangles
};

// Lays the run out with `box` into `lines`; TextLayoutLineListFull when the lines do not fit.
Result<TextRunPlan> layoutTextRunPlan(const TextRun& run, const TextLayoutBox& box, std::span<TextLine> lines);

// The glyph-run fingerprint of a run: FNV-1a 64 seeded with "glyph_run" over the font, size, origin,
// text bytes, every positioned glyph (its font, or the run's when 0) and the run's own layout box as
// an optional (widths clamped at 0, the overflow marker only when no_ellipsis is set). The colour
// is not part of it, so runs that differ only in colour share one fingerprint.
std::uint64_t textRunFingerprint(const TextRun& run);

// Two chained FNV-1a hashes: the run with its own layout box, then the box the plan was asked with.
std::uint64_t textRunPlanFingerprint(const TextRun& run, const TextLayoutBox& box);

// The drawing bounds of a draw_text command, widened for ink overhang; none for an empty run.
// Every line counts, however many there are.
std::optional<Rect> textBounds(const TextRun& run);

// Unites `rect` (normalised first; skipped when it has no positive size) into `bounds`.
void uniteTextBounds(std::optional<Rect>& bounds, Rect rect);

}  // namespace kelvo
