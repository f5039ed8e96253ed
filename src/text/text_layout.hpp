#pragma once

// Line layout of one text run: where each line starts and ends, its rectangle and baseline, and how
// a line that is too long is cut with an ellipsis. Drawing, hit testing, caret placement and editing
// all walk the same iterator, so what is drawn and what is edited agree to the byte.
//
// Offsets are byte offsets into UTF-8 text. A run with positioned glyphs is laid out over its glyphs
// (glyph mode), otherwise over its characters (text mode).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "raster/canvas_geometry.hpp"
#include "text/text_metrics.hpp"
#include "text/text_run_meter.hpp"

namespace kelvo {

// The text payload of a draw_text command.
struct TextRun {
    std::uint64_t font = kFontRegular;
    std::string_view text;
    std::span<const PositionedGlyph> glyphs;  // non-empty: glyph mode
    TextLayoutBox layout;                     // read when has_layout is set
    bool has_layout = false;
    float size = 0;
    float origin_x = 0;
    float baseline_y = 0;  // of the first line
};

// One laid-out line. The visible counts are present only on a line cut with an ellipsis.
struct TextLine {
    std::uint64_t text_start = 0;
    std::uint64_t text_length = 0;
    std::uint64_t glyph_start = 0;
    std::uint64_t glyph_count = 0;
    std::optional<std::uint64_t> visible_text_length;
    std::optional<std::uint64_t> visible_glyph_count;
    float x = 0;
    float y = 0;
    float width = 0;  // including the ellipsis
    float height = 0;
    float baseline = 0;
    float ellipsis_width = 0;

    [[nodiscard]] std::uint64_t textEnd() const { return text_start + text_length; }
    [[nodiscard]] std::uint64_t visibleTextEnd() const {
        return text_start + visible_text_length.value_or(text_length);
    }
};

struct TextRange {
    std::size_t start = 0;
    std::size_t end = 0;
};

inline constexpr std::string_view kTextEllipsis = "\xE2\x80\xA6";  // U+2026
// A line may overhang its box by this much before it is cut with an ellipsis.
inline constexpr float kEllipsisTolerance = 0.125f;

// A max width that is not greater than 0 means unlimited.
float textLayoutMaxWidth(const TextLayoutBox& options);
// A line height that is not greater than 0 means size x 1.25.
float textLayoutLineHeight(const TextLayoutBox& options, float size);
// Word or character wrapping within a finite max width.
bool textLayoutWraps(const TextLayoutBox& options);

// The end offset of the text-mode line that begins at `start`.
std::size_t nextTextLineEnd(std::string_view text, std::size_t start, std::uint64_t font, float size,
                            const TextLayoutBox& options);

// `line` with its ranges cut to the run's text and glyphs.
TextLine clampTextLine(const TextRun& run, TextLine line);

// The rectangle of one line before alignment: x at the run origin (glyph mode: the union of its
// glyph boxes), y = baseline - size, the line's measured width (plus its ellipsis), the line height.
Rect textLineBounds(const TextRun& run, const TextLayoutBox& options, const TextLine& line);

// The width of the ellipsis in the run's font and size.
float textEllipsisWidth(const TextMeasurer* measurer, std::uint64_t font, float size);

// Walks the lines of a run laid out with `options` (which need not be the run's own layout box).
// An empty text gives one empty line, and a text that ends with a line feed gives a last, empty line.
struct TextLineIterator {
    TextRun run;
    TextLayoutBox options;
    float line_height = 0;
    std::size_t next_offset = 0;
    std::size_t next_glyph = 0;
    std::uint64_t line_index = 0;
    bool done = false;
    TextRunMeter meter;

    TextLineIterator(const TextRun& run, const TextLayoutBox& options);

    std::optional<TextLine> next();

    // The record of line `line_index` over [start, end) and glyphs [glyph_start, glyph_end), cut with
    // an ellipsis when `may_cut` and it overflows.
    TextLine emit(std::size_t start, std::size_t end, std::size_t glyph_start, std::size_t glyph_end, bool may_cut);
};

// The glyph's cluster begins with a space or a tab.
bool isGlyphTextBreak(const TextRun& run, std::size_t glyph);

// The characters that glyphs [glyph_start, glyph_start + count) of `total` cover when glyphs map to
// characters proportionally.
TextRange textRangeForGlyphRange(std::string_view text, std::size_t glyph_start, std::size_t count, std::size_t total);

// The text that glyphs [glyph_start, glyph_start + count) draw: the union of their clusters when
// every one carries a cluster, else the proportional mapping.
TextRange textRangeForGlyphRangeWithGlyphs(std::string_view text, std::span<const PositionedGlyph> glyphs,
                                           std::size_t glyph_start, std::size_t count);

}  // namespace kelvo
