#pragma once

// A canvas tree whose text area holds the most text a view's widgets can hold (65,536 bytes) in
// short lines of 24 bytes, selected whole, for the tests that draw it: the text and its selected
// glyphs together have more lines than a frame lays out, unless the selected glyphs share the
// text's lines. Header-only.

#include <cstddef>
#include <string>

#include "widgets/widget_tree_storage.hpp"

namespace kelvo::testing {

// The text: numbered lines of 23 bytes and a line feed, the last one cut to fit.
inline std::string fullTextAreaText() {
    std::string text;
    text.reserve(kWidgetTextStoreBytes);
    for (std::size_t line = 0; text.size() < kWidgetTextStoreBytes; ++line) {
        std::string row = "Line " + std::to_string(line) + ": ";
        while (row.size() < 23) row += "abcdefghij"[row.size() % 10];
        text += row + "\n";
    }
    text.resize(kWidgetTextStoreBytes);
    return text;
}

// A column `width` x `height` with the text area (id 2) inset by 10 on every side, selected whole.
inline std::string fullTextAreaTree(int width, int height) {
    std::string escaped;
    for (char c : fullTextAreaText()) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    return "column id=1 rect=0,0," + std::to_string(width) + "," + std::to_string(height) +
           "\n  text_area id=2 rect=10,10," + std::to_string(width - 20) + "," + std::to_string(height - 20) +
           " text=\"" + escaped + "\" selection=0," + std::to_string(kWidgetTextStoreBytes) + "\n";
}

}  // namespace kelvo::testing
