#include "text/text_spans.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "text/text_run_meter.hpp"

namespace kelvo {

namespace {

bool isSpanBlank(char byte) { return byte == ' ' || byte == '\t'; }
bool isSpanWordByte(char byte) { return !isSpanBlank(byte) && byte != '\n'; }

float spanScale(const TextSpan& span) {
    return span.size_scale > 0.0f && std::isfinite(span.size_scale) ? span.size_scale : 1.0f;
}

bool sliceInside(std::string_view slice, std::string_view text) {
    auto begin = reinterpret_cast<std::uintptr_t>(text.data());
    auto at = reinterpret_cast<std::uintptr_t>(slice.data());
    return at >= begin && at - begin <= text.size() && slice.size() <= text.size() - (at - begin);
}

// A slice of one span's text: [offset, offset + length).
struct SpanSlice {
    std::size_t span = 0;
    std::size_t offset = 0;
    std::size_t length = 0;
    float width = 0;
};

struct LayoutState {
    std::span<const TextSpan> spans;
    const SpanLayoutOptions& options;
    std::span<SpanFragment> out;
    float max_width = 0;
    float line_height = 0;
    TextRunMeter meters[kMaxLaidOutSpans];
    std::size_t count = 0;
    float x = 0;
    std::uint64_t line = 0;
    std::uint64_t finished = 0;
    bool has_content = false;
    bool truncated = false;
    float widest = 0;

    LayoutState(std::span<const TextSpan> s, const SpanLayoutOptions& o, std::span<SpanFragment> f)
        : spans(s), options(o), out(f) {}

    float width(std::size_t span, std::size_t offset, std::size_t length) {
        if (length == 0) return 0.0f;
        TextRunMeter& meter = meters[span];
        if (const float* cached = meter.advances()) return TextRunMeter::sumAdvances(cached, offset, offset + length);
        return measureTextWidthForFont(meter.measurer, meter.font, meter.text.substr(offset, length), meter.size);
    }

    bool fits(float extra) const { return x + extra <= max_width + kSpanWrapTolerance; }

    void place(const SpanSlice& slice) {
        if (slice.length == 0) return;
        std::string_view text = spans[slice.span].text.substr(slice.offset, slice.length);
        SpanFragment* last = count > 0 ? &out[count - 1] : nullptr;
        if (last != nullptr && last->span_index == slice.span && last->line == line &&
            last->text.data() + last->text.size() == text.data()) {
            last->text = std::string_view(last->text.data(), last->text.size() + text.size());
            last->width += slice.width;
        } else if (count == out.size() || line >= kMaxSpanLines) {
            truncated = true;
        } else {
            out[count++] = SpanFragment{slice.span,
                                        text,
                                        line,
                                        meters[slice.span].font,
                                        x,
                                        slice.width,
                                        static_cast<float>(line) * line_height,
                                        meters[slice.span].size};
        }
        x += slice.width;
        has_content = true;
    }

    // Aligns the current line's fragments and updates the widest width.
    void alignLine() {
        widest = std::max(widest, x);
        TextAlign align = maskedTextAlign(options.align);
        float room = max_width - x;
        if (align == TextAlign::start || !std::isfinite(max_width) || !(room > 0.0f)) return;
        float shift = align == TextAlign::end ? room : align == TextAlign::center ? room / 2.0f : 0.0f;
        for (std::size_t i = count; i > 0 && out[i - 1].line == line; --i) out[i - 1].x += shift;
    }

    void finishLine() {
        alignLine();
        ++line;
        ++finished;
        has_content = false;
        x = 0.0f;
    }

    // Places a piece that does not fit whole, one character at a time.
    void placeByCharacters(const SpanSlice& piece) {
        std::string_view text = spans[piece.span].text;
        for (std::size_t at = piece.offset; at < piece.offset + piece.length;) {
            std::size_t length = std::min(textCharLength(text, at), piece.offset + piece.length - at);
            float w = width(piece.span, at, length);
            if (has_content && !fits(w)) finishLine();
            place({piece.span, at, length, w});
            at += length;
        }
    }
};

}  // namespace

std::uint64_t textSpanFontId(const TextSpan& span, const SpanLayoutOptions& options) {
    if (span.monospace) return options.monospace_font;
    if (options.default_font != kFontRegular) return options.default_font;
    auto weight = static_cast<TextSpanWeight>(static_cast<std::uint8_t>(span.weight) & 3u);
    if (weight == TextSpanWeight::bold) return span.italic ? kFontBoldItalic : kFontBold;
    if (weight == TextSpanWeight::medium) return span.italic ? kFontBoldItalic : kFontMedium;
    return span.italic ? kFontItalic : kFontRegular;
}

float textSpanSize(const TextSpan& span, const SpanLayoutOptions& options) {
    return options.base_size * spanScale(span);
}

float measureSpanSlice(const TextSpan& span, std::string_view slice, const SpanLayoutOptions& options) {
    if (slice.empty()) return 0.0f;
    TextRunMeter meter(options.measurer, textSpanFontId(span, options), span.text, textSpanSize(span, options));
    if (sliceInside(slice, span.text)) {
        if (const float* cached = meter.advances()) {
            auto offset = static_cast<std::size_t>(slice.data() - span.text.data());
            return TextRunMeter::sumAdvances(cached, offset, offset + slice.size());
        }
    }
    return measureTextWidthForFont(meter.measurer, meter.font, slice, meter.size);
}

SpanLayoutResult layoutTextSpansUncached(std::span<const TextSpan> all_spans, const SpanLayoutOptions& options,
                                         std::span<SpanFragment> fragments) {
    std::span<const TextSpan> spans = all_spans.first(std::min(all_spans.size(), kMaxLaidOutSpans));
    LayoutState state(spans, options, fragments);
    state.truncated = all_spans.size() > spans.size();
    bool unlimited = maskedTextWrap(options.wrap) == TextWrap::none || !(options.max_width > 0.0f) ||
                     !std::isfinite(options.max_width);
    state.max_width = unlimited ? std::numeric_limits<float>::infinity() : options.max_width;
    bool word_wrap = !unlimited && maskedTextWrap(options.wrap) == TextWrap::word;
    float largest_scale = 1.0f;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        largest_scale = std::max(largest_scale, spanScale(spans[i]));
        state.meters[i] = TextRunMeter(options.measurer, textSpanFontId(spans[i], options), spans[i].text,
                                       textSpanSize(spans[i], options));
    }
    state.line_height = options.line_height > 0.0f ? options.line_height : options.base_size * largest_scale * 1.25f;

    std::optional<SpanSlice> pending_space;
    SpanSlice pieces[kMaxLaidOutSpans];
    std::size_t span = 0;
    std::size_t at = 0;
    while (span < spans.size()) {
        std::string_view text = spans[span].text;
        if (at >= text.size()) {
            ++span;
            at = 0;
            continue;
        }
        if (isSpanBlank(text[at])) {
            std::size_t end = at;
            while (end < text.size() && isSpanBlank(text[end])) ++end;
            if (state.has_content) {
                if (pending_space) state.place(*pending_space);
                pending_space = SpanSlice{span, at, end - at, state.width(span, at, end - at)};
            }
            at = end;
            continue;
        }
        if (text[at] == '\n') {
            pending_space.reset();
            state.finishLine();
            ++at;
            continue;
        }
        // A word: a run of other bytes, which may continue into the following spans.
        std::size_t piece_count = 0;
        float word_width = 0.0f;
        while (true) {
            std::string_view piece_text = spans[span].text;
            std::size_t end = at;
            while (end < piece_text.size() && isSpanWordByte(piece_text[end])) ++end;
            SpanSlice piece{span, at, end - at, state.width(span, at, end - at)};
            pieces[piece_count++] = piece;
            word_width += piece.width;
            at = end;
            if (end < piece_text.size()) break;
            std::size_t next = span + 1;
            while (next < spans.size() && spans[next].text.empty()) ++next;
            if (next >= spans.size() || !isSpanWordByte(spans[next].text[0])) break;
            span = next;
            at = 0;
        }
        float space = pending_space ? pending_space->width : 0.0f;
        if (word_wrap && state.has_content && !state.fits(space + word_width)) {
            pending_space.reset();
            state.finishLine();
        } else if (pending_space) {
            state.place(*pending_space);
            pending_space.reset();
        }
        for (std::size_t i = 0; i < piece_count; ++i) {
            if (state.fits(pieces[i].width)) {
                state.place(pieces[i]);
            } else {
                state.placeByCharacters(pieces[i]);
            }
        }
    }
    state.alignLine();

    bool last_line_used = state.has_content || (state.count > 0 && fragments[state.count - 1].line == state.line);
    SpanLayoutResult result;
    result.fragments = fragments.first(state.count);
    result.line_count = state.finished + (last_line_used || state.finished == 0 ? 1 : 0);
    result.line_height = state.line_height;
    result.widest = state.widest;
    result.total_height = state.line_height * static_cast<float>(result.line_count);
    result.truncated = state.truncated;
    return result;
}

Color textSpanColorValue(std::span<const Color> palette, std::uint8_t token) {
    if (palette.empty()) return Color{};
    return token < kTextPaletteSize && token < palette.size() ? palette[token] : palette[0];
}

}  // namespace kelvo
