#include "text/text_caret_geometry.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

float glyphBoxWidth(const TextRun& run, const PositionedGlyph& glyph) {
    return std::max(glyph.advance, run.size * 0.25f);
}

// How far alignment moved a glyph-mode line from where its glyphs stand.
float glyphLineShift(const TextRun& run, const TextLayoutBox& options, const TextLine& line) {
    return line.x - textLineBounds(run, options, line).x;
}

std::size_t visibleGlyphEnd(const TextLine& line) {
    return line.glyph_start + line.visible_glyph_count.value_or(line.glyph_count);
}

float caretX(TextRunMeter& meter, const TextRun& run, const TextLayoutBox& options, const TextLine& line,
             std::size_t offset) {
    std::size_t visible_end = line.visibleTextEnd();
    if (offset >= visible_end) return line.x + line.width;
    offset = std::max<std::size_t>(offset, line.text_start);
    if (run.glyphs.empty()) return line.x + meter.rangeWidth(line.text_start, offset);
    float shift = glyphLineShift(run, options, line);
    for (std::size_t i = line.glyph_start; i < visibleGlyphEnd(line); ++i) {
        const PositionedGlyph& glyph = run.glyphs[i];
        if (glyph.text_length == 0 || offset < glyph.text_offset || offset - glyph.text_offset >= glyph.text_length) {
            continue;
        }
        float inside = static_cast<float>(offset - glyph.text_offset) / static_cast<float>(glyph.text_length);
        return run.origin_x + glyph.x + shift + glyphBoxWidth(run, glyph) * inside;
    }
    return line.x;
}

// The widths of the characters of one line in turn, each measured in the context of the line as
// `measureTextAdvance` does, but with one measurement per character.
struct LineAdvanceWalk {
    TextRunMeter& meter;
    std::size_t line_start;
    float before = 0.0f;  // width of [line_start, from)

    float next(std::size_t from, std::size_t to) {
        std::string_view text = meter.text;
        if (meter.measurer == nullptr)
            return estimateTextAdvanceForBytes(meter.font, text.substr(from, to - from), meter.size);
        float after = textMeasurerAddsUp(meter.measurer)
                          ? before + estimateTextAdvanceForBytes(meter.font, text.substr(from, to - from), meter.size)
                          : measureTextWidthForFont(meter.measurer, meter.font,
                                                    text.substr(line_start, to - line_start), meter.size);
        float advance = std::max(after - before, 0.0f);
        before = after;
        return advance;
    }
};

}  // namespace

float textLineCaretX(const TextRun& run, const TextLayoutBox& options, const TextLine& line, std::size_t offset) {
    TextRunMeter meter(options.measurer, run.font, run.text, run.size);
    return caretX(meter, run, options, clampTextLine(run, line), offset);
}

std::optional<Rect> layoutTextCaretRect(const TextRun& run, const TextLayoutBox& options, std::size_t offset) {
    offset = textCharStart(run.text, offset);
    TextLineIterator lines(run, options);
    std::optional<TextLine> chosen;
    while (auto line = lines.next()) {
        if (chosen && offset < line->text_start) break;
        chosen = line;
        if (line->textEnd() >= offset) break;
    }
    if (!chosen) return std::nullopt;
    float x = caretX(lines.meter, run, options, *chosen, offset);
    return Rect{x, chosen->y, kTextCaretWidth, chosen->height};
}

std::size_t layoutTextSelectionRects(const TextRun& run, const TextLayoutBox& options, std::size_t anchor,
                                     std::size_t focus, std::span<TextSelectionRect> out) {
    std::size_t start = textCharStart(run.text, std::min(anchor, focus));
    std::size_t end = textCharStart(run.text, std::max(anchor, focus));
    if (start == end || out.empty()) return 0;
    std::size_t count = 0;
    TextLineIterator lines(run, options);
    while (auto line = lines.next()) {
        // A selection that ends where a line starts does not reach into it; one that starts on a
        // line's end (its line feed, or spaces a soft break skipped) marks that end.
        if (line->text_start >= end) break;
        if (start > line->textEnd()) continue;
        std::size_t from = std::max<std::size_t>(start, line->text_start);
        std::size_t to = std::min<std::size_t>(end, line->textEnd());
        float x0 = caretX(lines.meter, run, options, *line, from);
        float x1 = caretX(lines.meter, run, options, *line, to);
        TextSelectionRect piece{
            from, to, {std::min(x0, x1), line->y, std::max(std::abs(x1 - x0), 1.0f), std::max(line->height, 1.0f)}};
        if (count < out.size()) {
            out[count++] = piece;
            continue;
        }
        TextSelectionRect& last = out[count - 1];
        float left = std::min(last.rect.x, piece.rect.x);
        float top = std::min(last.rect.y, piece.rect.y);
        float right = std::max(last.rect.x + last.rect.width, piece.rect.x + piece.rect.width);
        float bottom = std::max(last.rect.y + last.rect.height, piece.rect.y + piece.rect.height);
        last.rect = {left, top, right - left, bottom - top};
        last.end = to;
    }
    return count;
}

std::optional<std::size_t> layoutTextOffsetForPoint(const TextRun& run, const TextLayoutBox& options, float x,
                                                    float y) {
    TextLineIterator lines(run, options);
    std::optional<TextLine> chosen;
    while (auto line = lines.next()) {
        chosen = line;
        if (line->y + line->height > y) break;
    }
    if (!chosen) return std::nullopt;
    const TextLine& line = *chosen;
    if (x < line.x) return line.text_start;
    // On a cut line, right of its right edge is the line's end; the ellipsis itself (past the
    // visible characters, below) the end of the visible text.
    if (line.visible_text_length && x >= line.x + line.width) return line.textEnd();
    if (!run.glyphs.empty()) {
        float shift = glyphLineShift(run, options, line);
        for (std::size_t i = line.glyph_start; i < visibleGlyphEnd(line); ++i) {
            const PositionedGlyph& glyph = run.glyphs[i];
            float width = std::max(glyphBoxWidth(run, glyph), 1.0f);
            if (run.origin_x + glyph.x + shift + width / 2.0f > x) {
                return textRangeForGlyphRangeWithGlyphs(run.text, run.glyphs, i, 1).start;
            }
        }
        return line.visibleTextEnd();
    }
    LineAdvanceWalk walk{lines.meter, line.text_start};
    float pen = line.x;
    for (std::size_t at = line.text_start; at < line.visibleTextEnd();) {
        std::size_t length = textCharLength(run.text, at);
        float advance = std::max(walk.next(at, at + length), 1.0f);
        if (pen + advance / 2.0f > x) return at;
        pen += advance;
        at += length;
    }
    return line.visibleTextEnd();
}

}  // namespace kelvo
