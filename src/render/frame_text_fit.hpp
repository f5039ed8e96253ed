#pragma once

// Fitting a display list's texts into one frame. A frame lays out at most so many lines and lists
// at most so many distinct glyphs, shared by all its texts; a list that asks for more would fail
// its plan as a whole. Fitted, the texts that fit are drawn whole and the text that does not is
// drawn cut short: the texts are taken from the smallest to the largest (by their text bytes, or
// their positioned glyphs), each keeps as much as is left, so one outsized text cannot keep the
// others of its view from drawing. Lines and glyphs are counted as the plan counts them.

#include <cstddef>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

struct CanvasTextFitLimits {
    std::size_t lines = 0;   // laid-out lines of all texts together
    std::size_t glyphs = 0;  // distinct glyphs of all texts together
};

struct CanvasTextFit {
    // The list to plan: `out` when a text was cut short, else the list given.
    std::span<const CanvasCommand> commands;
    std::size_t cut = 0;  // draw_text commands cut short
    // The first text cut short (its index in the list) and the limit that cut it: the text at fault.
    std::optional<std::size_t> first_cut;
    Error limit = Error::TextLayoutLineListFull;
};

// The texts of `commands` fitted into `limits`; a text without a layout box of its own is laid out
// with `default_layout`, as the plan lays it out. A text cut short keeps the front of its text (or
// of its positioned glyphs) up to the last line, or the last glyph, that fits; a text drawn right
// after one that lays out the same way is cut with it and shares its lines. `out` needs room for
// the whole list when a text is cut (the list is returned as it is when it has no room).
CanvasTextFit fitCanvasTextToFrame(std::span<const CanvasCommand> commands, const TextLayoutBox& default_layout,
                                   CanvasTextFitLimits limits, std::span<CanvasCommand> out);

}  // namespace kelvo
