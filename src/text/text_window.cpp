#include "text/text_window.hpp"

#include <cmath>
#include <optional>

namespace kelvo {

namespace {

TextWindow wholeRun(const TextRun& run) { return {0, run.text.size(), run.baseline_y}; }

bool mayEndInEllipsis(const TextLayoutBox& options) {
    return !textLayoutWraps(options) && !options.no_ellipsis && options.max_width > 0.0f &&
           std::isfinite(options.max_width);
}

}  // namespace

TextWindow textWindowForBand(const TextRun& run, const TextLayoutBox& options, float top, float bottom) {
    if (!run.glyphs.empty() || mayEndInEllipsis(options)) return wholeRun(run);
    TextLineIterator lines(run, options);
    std::optional<TextLine> above;  // the last line wholly above the band
    std::optional<TextLine> first;
    std::optional<TextLine> last;
    std::optional<TextLine> below;  // the first line wholly below it
    while (std::optional<TextLine> line = lines.next()) {
        const float lineTop = line->baseline - run.size;
        if (lineTop + lines.line_height <= top) {
            above = line;
        } else if (lineTop >= bottom) {
            below = line;
            break;
        } else {
            if (!first) first = line;
            last = line;
        }
    }
    // A run always has a line; a band between two lines shows none, and keeps both.
    const std::optional<TextLine>& from = above ? above : first ? first : below;
    const std::optional<TextLine>& to = below ? below : last ? last : above;
    if (!from || !to) return wholeRun(run);
    return {static_cast<std::size_t>(from->text_start), static_cast<std::size_t>(to->textEnd()), from->baseline};
}

}  // namespace kelvo
