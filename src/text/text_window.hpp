#pragma once

// The part of a laid-out text that a band of the view shows. A text entry draws only these lines,
// so that a text of any length within the edit limit costs a frame no more lines, glyphs and text
// bytes than its box shows.

#include <cstddef>

#include "text/text_layout.hpp"

namespace kelvo {

// Whole lines of a run: the byte range [start, end) of its text and the baseline of the first.
struct TextWindow {
    std::size_t start = 0;
    std::size_t end = 0;
    float baseline = 0;
};

// The lines of `run` laid out with `options` that reach into the band [top, bottom) of view
// points, with one line more above and below: each line starts a run of its own where the whole
// text starts it, so laid out from `start` at `baseline` the window's lines, and every caret and
// selection on them, lie exactly where the whole run puts them. The whole run when it has
// positioned glyphs, or when its last line could be cut with an ellipsis (a window's last line
// could then be cut where the whole run's is not).
TextWindow textWindowForBand(const TextRun& run, const TextLayoutBox& options, float top, float bottom);

}  // namespace kelvo
