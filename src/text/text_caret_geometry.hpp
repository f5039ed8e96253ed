#pragma once

// Where the caret of a byte offset stands, which rectangles a selection covers and which offset
// lies nearest to a point, in a run laid out with the line iterator.

#include <cstddef>
#include <optional>
#include <span>

#include "raster/canvas_geometry.hpp"
#include "text/text_layout.hpp"

namespace kelvo {

struct TextSelectionRect {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    Rect rect;
};

inline constexpr float kTextCaretWidth = 1.0f;

// The caret's x for an offset on `line`: text mode, the line's x plus the width before the offset
// (at or past the visible end, the line's right edge); glyph mode, at the glyph whose cluster holds
// the offset, spread proportionally inside the cluster.
float textLineCaretX(const TextRun& run, const TextLayoutBox& options, const TextLine& line, std::size_t offset);

// The caret rectangle (1.0 wide, as high as the line) of `offset`; an offset in spaces skipped by a
// soft break or on a line feed belongs to the line before.
std::optional<Rect> layoutTextCaretRect(const TextRun& run, const TextLayoutBox& options, std::size_t offset);

// One rectangle per line that the selection meets (at least 1.0 wide and high); when `out` is full,
// further lines are merged into its last rectangle. Returns the count written.
std::size_t layoutTextSelectionRects(const TextRun& run, const TextLayoutBox& options, std::size_t anchor,
                                     std::size_t focus, std::span<TextSelectionRect> out);

// The offset nearest to (x, y): on the first line whose bottom lies below y (else the last line),
// the start of the first character whose middle lies right of x. None when there is no line.
std::optional<std::size_t> layoutTextOffsetForPoint(const TextRun& run, const TextLayoutBox& options, float x, float y);

}  // namespace kelvo
