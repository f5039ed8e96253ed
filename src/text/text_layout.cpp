#include "text/text_layout.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvo {

namespace {

// Wrap values beyond the defined ones do not wrap.
TextWrap wrapMode(const TextLayoutBox& options) {
    TextWrap wrap = maskedTextWrap(options.wrap);
    return wrap == TextWrap::word || wrap == TextWrap::character ? wrap : TextWrap::none;
}

bool mayCutWithEllipsis(const TextLayoutBox& options) {
    return wrapMode(options) == TextWrap::none && !options.no_ellipsis && options.max_width > 0.0f &&
           std::isfinite(options.max_width);
}

float glyphAdvance(const TextRun& run, std::size_t glyph) {
    return std::max(run.glyphs[glyph].advance, run.size * 0.25f);
}

std::size_t lineEndInText(TextRunMeter& meter, std::size_t start, const TextLayoutBox& options) {
    std::string_view text = meter.text;
    start = std::min(start, text.size());
    if (!textLayoutWraps(options)) {
        std::size_t feed = text.find('\n', start);
        return feed == std::string_view::npos ? text.size() : feed;
    }
    float max_width = options.max_width;
    bool word = wrapMode(options) == TextWrap::word;
    const float* cached = meter.advances();
    float width = 0.0f;
    std::optional<std::size_t> candidate;
    for (std::size_t at = start; at < text.size();) {
        if (text[at] == '\n') return at;
        std::size_t length = textCharLength(text, at);
        float wider = width + meter.charWidth(cached, at, length);
        if (wider > max_width) {
            if (at == start) return at + length;  // at least one character per line
            // A space that overflows ends the line before it: the word before it fits.
            if (word && isTextSpaceOrTab(text[at])) candidate = at;
            if (!word || !candidate) return at;
            std::size_t end = *candidate;
            while (end > start && isTextSpaceOrTab(text[end - 1])) --end;
            return end > start ? end : *candidate;
        }
        width = wider;
        if (isTextSpaceOrTab(text[at])) candidate = at + length;
        at += length;
    }
    return text.size();
}

std::size_t lineEndInGlyphs(const TextRun& run, std::size_t start, const TextLayoutBox& options) {
    std::size_t count = run.glyphs.size();
    if (!textLayoutWraps(options)) return count;
    bool word = wrapMode(options) == TextWrap::word;
    float width = 0.0f;
    std::optional<std::size_t> candidate;
    for (std::size_t glyph = start; glyph < count; ++glyph) {
        float wider = width + glyphAdvance(run, glyph);
        if (wider > options.max_width) {
            if (glyph == start) return glyph + 1;
            return word && candidate ? *candidate : glyph;
        }
        width = wider;
        if (glyph > start && isGlyphTextBreak(run, glyph)) candidate = glyph;
    }
    return count;
}

Rect glyphLineBounds(const TextRun& run, const TextLine& line, float line_height) {
    std::size_t count = line.visible_glyph_count.value_or(line.glyph_count);
    if (count == 0) return {run.origin_x, line.baseline - run.size, line.ellipsis_width, line_height};
    float left = std::numeric_limits<float>::infinity();
    float top = left;
    float right = -left;
    float bottom = -left;
    for (std::size_t glyph = line.glyph_start; glyph < line.glyph_start + count; ++glyph) {
        const PositionedGlyph& g = run.glyphs[glyph];
        float x = run.origin_x + g.x;
        left = std::min(left, x);
        right = std::max(right, x + glyphAdvance(run, glyph));
        top = std::min(top, line.baseline + g.y - run.size);
        bottom = std::max(bottom, line.baseline + g.y + run.size * 0.25f);
    }
    return {left, top, std::max(right - left, 0.0f) + line.ellipsis_width, std::max(bottom - top, 0.0f)};
}

Rect lineBounds(TextRunMeter& meter, const TextRun& run, const TextLine& line, float line_height) {
    if (!run.glyphs.empty()) return glyphLineBounds(run, line, line_height);
    float width = meter.rangeWidth(line.text_start, line.visibleTextEnd(), false) + line.ellipsis_width;
    return {run.origin_x, line.baseline - run.size, width, line_height};
}

// Cuts an overflowing line: keeps the whole characters (glyphs) that fit beside the ellipsis,
// without trailing spaces; when not even the ellipsis fits, nothing shows.
void cutWithEllipsis(TextLineIterator& lines, TextLine& line) {
    const TextRun& run = lines.run;
    TextRunMeter& meter = lines.meter;
    bool glyph_mode = !run.glyphs.empty();
    std::size_t start = line.text_start;
    std::size_t end = line.textEnd();
    std::size_t glyph_start = line.glyph_start;
    std::size_t glyph_end = line.glyph_start + line.glyph_count;
    float max_width = lines.options.max_width;
    float width = 0.0f;
    if (glyph_mode) {
        for (std::size_t g = glyph_start; g < glyph_end; ++g) width += glyphAdvance(run, g);
    } else {
        width = meter.rangeWidth(start, end);
    }
    if (!(width > max_width + kEllipsisTolerance)) return;
    float ellipsis = textEllipsisWidth(lines.options.measurer, run.font, run.size);
    std::size_t kept_text = start;
    std::size_t kept_glyphs = glyph_start;
    if (ellipsis <= max_width) {
        float room = max_width - ellipsis;
        float used = 0.0f;
        if (glyph_mode) {
            while (kept_glyphs < glyph_end && used + glyphAdvance(run, kept_glyphs) <= room) {
                used += glyphAdvance(run, kept_glyphs++);
            }
            while (kept_glyphs > glyph_start && isGlyphTextBreak(run, kept_glyphs - 1)) --kept_glyphs;
            if (kept_glyphs > glyph_start) {
                TextRange kept =
                    textRangeForGlyphRangeWithGlyphs(run.text, run.glyphs, glyph_start, kept_glyphs - glyph_start);
                kept_text = std::max(kept.end, start);
            }
        } else {
            const float* cached = meter.advances();
            while (kept_text < end) {
                std::size_t length = textCharLength(run.text, kept_text);
                float wider = used + meter.charWidth(cached, kept_text, length);
                if (!(wider <= room)) break;
                used = wider;
                kept_text += length;
            }
            while (kept_text > start && isTextSpaceOrTab(run.text[kept_text - 1])) --kept_text;
        }
        line.ellipsis_width = ellipsis;
    }
    line.visible_text_length = kept_text - start;
    if (glyph_mode) line.visible_glyph_count = kept_glyphs - glyph_start;
}

}  // namespace

float textLayoutMaxWidth(const TextLayoutBox& options) {
    return options.max_width > 0.0f ? options.max_width : std::numeric_limits<float>::infinity();
}

float textLayoutLineHeight(const TextLayoutBox& options, float size) {
    return options.line_height > 0.0f ? options.line_height : size * 1.25f;
}

bool textLayoutWraps(const TextLayoutBox& options) {
    return wrapMode(options) != TextWrap::none && std::isfinite(textLayoutMaxWidth(options));
}

std::size_t nextTextLineEnd(std::string_view text, std::size_t start, std::uint64_t font, float size,
                            const TextLayoutBox& options) {
    TextRunMeter meter(options.measurer, font, text, size);
    return lineEndInText(meter, start, options);
}

TextLine clampTextLine(const TextRun& run, TextLine line) {
    line.text_start = std::min<std::uint64_t>(line.text_start, run.text.size());
    line.text_length = std::min<std::uint64_t>(line.text_length, run.text.size() - line.text_start);
    if (line.visible_text_length) line.visible_text_length = std::min(*line.visible_text_length, line.text_length);
    line.glyph_start = std::min<std::uint64_t>(line.glyph_start, run.glyphs.size());
    line.glyph_count = std::min<std::uint64_t>(line.glyph_count, run.glyphs.size() - line.glyph_start);
    if (line.visible_glyph_count) line.visible_glyph_count = std::min(*line.visible_glyph_count, line.glyph_count);
    return line;
}

Rect textLineBounds(const TextRun& run, const TextLayoutBox& options, const TextLine& line) {
    TextRunMeter meter(options.measurer, run.font, run.text, run.size);
    return lineBounds(meter, run, clampTextLine(run, line), textLayoutLineHeight(options, run.size));
}

float textEllipsisWidth(const TextMeasurer* measurer, std::uint64_t font, float size) {
    measurer = usableTextMeasurer(measurer);
    if (measurer == nullptr) {
        return font == kFontMonospace ? size * 0.6f : size * 0.577f * textFaceFactor(font);
    }
    float width = measurer->measureText(measurer->context, font, kTextEllipsis.data(), kTextEllipsis.size(), size);
    return usableTextWidth(width) ? width : estimateTextAdvanceForBytes(font, kTextEllipsis, size);
}

TextLineIterator::TextLineIterator(const TextRun& r, const TextLayoutBox& o)
    : run(r), options(o), line_height(textLayoutLineHeight(o, r.size)), meter(o.measurer, r.font, r.text, r.size) {}

std::optional<TextLine> TextLineIterator::next() {
    if (done) return std::nullopt;
    bool word = wrapMode(options) == TextWrap::word && textLayoutWraps(options);
    if (!run.glyphs.empty()) {
        std::size_t start = std::min(next_glyph, run.glyphs.size());
        std::size_t end = lineEndInGlyphs(run, start, options);
        TextRange range = textRangeForGlyphRangeWithGlyphs(run.text, run.glyphs, start, end - start);
        TextLine line = emit(range.start, range.end, start, end, true);
        next_glyph = end;
        while (word && next_glyph < run.glyphs.size() && isGlyphTextBreak(run, next_glyph)) ++next_glyph;
        done = next_glyph >= run.glyphs.size();
        return line;
    }
    std::string_view text = run.text;
    std::size_t start = std::min(next_offset, text.size());
    std::size_t end = lineEndInText(meter, start, options);
    TextLine line = emit(start, end, 0, 0, end >= text.size());
    next_offset = end;
    if (next_offset < text.size() && text[next_offset] == '\n') {
        ++next_offset;
    } else {
        // Spaces that a soft break left at the start of the next line belong to no line.
        while (word && next_offset < text.size() && isTextSpaceOrTab(text[next_offset])) ++next_offset;
    }
    done = end >= text.size();
    return line;
}

TextLine TextLineIterator::emit(std::size_t start, std::size_t end, std::size_t glyph_start, std::size_t glyph_end,
                                bool may_cut) {
    TextLine line;
    line.text_start = start;
    line.text_length = end - start;
    line.glyph_start = glyph_start;
    line.glyph_count = glyph_end - glyph_start;
    line.baseline = run.baseline_y + static_cast<float>(line_index) * line_height;
    line.height = line_height;
    ++line_index;

    bool has_content = run.glyphs.empty() ? end > start : glyph_end > glyph_start;
    if (may_cut && has_content && mayCutWithEllipsis(options)) cutWithEllipsis(*this, line);

    Rect bounds = lineBounds(meter, run, line, line_height);
    float max_width = options.max_width;
    if (max_width > 0.0f && std::isfinite(max_width) && bounds.width < max_width) {
        TextAlign align = maskedTextAlign(options.align);
        if (align == TextAlign::center) bounds.x += (max_width - bounds.width) / 2.0f;
        if (align == TextAlign::end) bounds.x += max_width - bounds.width;
    }
    line.x = bounds.x;
    line.y = bounds.y;
    line.width = bounds.width;
    line.height = bounds.height;
    return line;
}

bool isGlyphTextBreak(const TextRun& run, std::size_t glyph) {
    if (glyph >= run.glyphs.size()) return false;
    const PositionedGlyph& g = run.glyphs[glyph];
    return g.text_length > 0 && g.text_offset < run.text.size() && isTextSpaceOrTab(run.text[g.text_offset]);
}

namespace {

// The byte offset of character `index` (the text's length when there are fewer characters).
std::size_t offsetOfCharacter(std::string_view text, std::size_t index) {
    std::size_t at = 0;
    for (; index > 0 && at < text.size(); --index) at += textCharLength(text, at);
    return at;
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += textCharLength(text, at)) ++count;
    return count;
}

}  // namespace

TextRange textRangeForGlyphRange(std::string_view text, std::size_t glyph_start, std::size_t count, std::size_t total) {
    if (total == 0) return {};
    using Wide = unsigned __int128;
    std::size_t characters = characterCount(text);
    std::size_t first_glyph = std::min(glyph_start, total);
    std::size_t end_glyph = first_glyph + std::min(count, total - first_glyph);
    auto first = static_cast<std::size_t>(Wide{first_glyph} * characters / total);
    auto last = static_cast<std::size_t>((Wide{end_glyph} * characters + total - 1) / total);
    first = std::min(first, characters);
    last = std::min(last, characters);
    std::size_t start = offsetOfCharacter(text, first);
    return {start, std::max(start, offsetOfCharacter(text, last))};
}

TextRange textRangeForGlyphRangeWithGlyphs(std::string_view text, std::span<const PositionedGlyph> glyphs,
                                           std::size_t glyph_start, std::size_t count) {
    glyph_start = std::min(glyph_start, glyphs.size());
    count = std::min(count, glyphs.size() - glyph_start);
    std::span<const PositionedGlyph> range = glyphs.subspan(glyph_start, count);
    bool clustered = !range.empty() && std::all_of(range.begin(), range.end(),
                                                   [](const PositionedGlyph& g) { return g.text_length > 0; });
    if (!clustered) return textRangeForGlyphRange(text, glyph_start, count, glyphs.size());
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    for (const PositionedGlyph& g : range) {
        low = std::min(low, g.text_offset);
        std::uint64_t end = g.text_offset + std::min(g.text_length, UINT64_MAX - g.text_offset);
        high = std::max(high, end);
    }
    std::size_t start = textCharStart(text, low);
    return {start, std::max(start, textCharStart(text, high))};
}

}  // namespace kelvo
