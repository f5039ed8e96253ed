// Random UTF-8 (valid or not) laid out as lines, as glyph runs, as rich-text spans and as a text
// entry, at hostile sizes and widths (NaN, 0, negative, 1e30, infinity) and with measurers that
// fail or return unusable widths: every walk must end, every offset stay inside the text and
// every count inside its buffer.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "text/canvas_fonts.hpp"
#include "text/text_caret_geometry.hpp"
#include "text/text_interaction.hpp"
#include "text/text_run_plan.hpp"
#include "text/text_spans.hpp"
#include "text/widget_text_input.hpp"

namespace {

using namespace kelvo;

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kValues[] = {NAN, 0.0f, 1e30f, -5.0f, 10.0f, 13.5f, kInf, 1e-30f, 1.0f, 35.0f, 200.0f, -kInf};

float pick(std::uint8_t byte) { return kValues[byte % std::size(kValues)]; }

// Widths that are sometimes unusable: a text holding 0x7F measures NaN, one holding 0x7E -1.
float hostileMeasure(void*, std::uint64_t, const char* text, std::size_t length, float size) {
    std::string_view view(text, length);
    if (view.find('\x7F') != std::string_view::npos) return NAN;
    if (view.find('\x7E') != std::string_view::npos) return -1.0f;
    return static_cast<float>(length) * size * 0.5f;
}

bool hostileAdvances(void*, std::uint64_t, const char* text, std::size_t length, float* out, std::size_t capacity,
                     float size) {
    if (capacity < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        out[i] = byte == 0x7D ? -1.0f : (byte & 0xC0) == 0x80 ? 0.0f : static_cast<float>(byte % 7) * size / 3.0f;
    }
    return true;
}

const TextMeasurer kWidthsOnly{nullptr, &hostileMeasure, nullptr};
const TextMeasurer kWithAdvances{nullptr, &hostileMeasure, &hostileAdvances};

const TextMeasurer* pickMeasurer(std::uint8_t byte) {
    switch (byte % 4) {
        case 0:
            return nullptr;
        case 1:
            return &kUnboundTextMeasurer;
        case 2:
            return &kWidthsOnly;
        default:
            return &kWithAdvances;
    }
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void layOutLines(const TextRun& run, const TextLayoutBox& box, std::uint8_t seed) {
    TextLineIterator lines(run, box);
    std::uint64_t previous_end = 0;
    std::size_t count = 0;
    while (auto line = lines.next()) {
        check(line->text_start >= previous_end || !run.glyphs.empty());
        check(line->textEnd() <= run.text.size());
        check(line->visibleTextEnd() <= line->textEnd());
        previous_end = line->textEnd();
        check(++count <= run.text.size() + run.glyphs.size() + 1);
    }
    static TextLine plan_lines[64];
    (void)layoutTextRunPlan(run, box, plan_lines);
    (void)textBounds(run);
    std::size_t offset = run.text.empty() ? 0 : seed % (run.text.size() + 2);
    (void)layoutTextCaretRect(run, box, offset);
    TextSelectionRect rects[3];
    check(layoutTextSelectionRects(run, box, offset / 2, offset + 3, rects) <= 3);
    auto hit = layoutTextOffsetForPoint(run, box, pick(seed), pick(seed >> 4));
    check(!hit || *hit <= run.text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    std::string_view text(reinterpret_cast<const char*>(data + 8), size - 8);
    TextRun run;
    run.font = data[0] % 8;
    run.text = text;
    run.size = pick(data[1]);
    run.origin_x = pick(data[2] >> 4);
    run.baseline_y = pick(data[2]);
    run.has_layout = true;
    run.layout = {pickMeasurer(data[3]),
                  pick(data[4]),
                  pick(data[5]),
                  static_cast<TextWrap>(data[6] & 3),
                  static_cast<TextAlign>((data[6] >> 2) & 3),
                  (data[6] & 16) != 0};
    layOutLines(run, run.layout, data[7]);

    // The same bytes as glyphs: clusters and advances taken from the text, in range or not.
    PositionedGlyph glyphs[24];
    std::size_t glyph_count = std::min<std::size_t>(text.size() / 2, std::size(glyphs));
    for (std::size_t i = 0; i < glyph_count; ++i) {
        auto a = static_cast<std::uint8_t>(text[2 * i]);
        auto b = static_cast<std::uint8_t>(text[2 * i + 1]);
        glyphs[i] = {static_cast<std::uint64_t>(a % 3),
                     static_cast<std::uint64_t>(b) * (a & 1 ? 1 : 1000),
                     static_cast<std::uint64_t>(a % 4),
                     b,
                     static_cast<float>(i) * 7.0f,
                     pick(a) * 0.0f,
                     pick(b)};
    }
    run.glyphs = {glyphs, glyph_count};
    if (glyph_count > 0) layOutLines(run, run.layout, data[7]);

    // Spans: the text cut at every '|', with scales and faces from the bytes after each cut.
    TextSpan spans[40];
    std::size_t span_count = 0;
    for (std::size_t start = 0; start <= text.size() && span_count < std::size(spans);) {
        std::size_t end = std::min(text.find('|', start), text.size());
        TextSpan& span = spans[span_count++];
        span.text = text.substr(start, end - start);
        auto style = static_cast<std::uint8_t>(end + 1 < text.size() ? text[end + 1] : 0);
        span.size_scale = pick(style);
        span.weight = static_cast<TextSpanWeight>(style & 3);
        span.italic = (style & 4) != 0;
        span.monospace = (style & 8) != 0;
        start = end + 1;
    }
    SpanLayoutOptions options{static_cast<std::uint64_t>(data[0] % 3),
                              2,
                              pickMeasurer(data[3]),
                              run.size,
                              pick(data[5]),
                              pick(data[4]),
                              static_cast<TextWrap>(data[6] & 3),
                              static_cast<TextAlign>((data[6] >> 2) & 3)};
    static SpanFragment fragments[160];
    std::size_t capacity = data[7] % std::size(fragments);
    for (auto layout : {&layoutTextSpansUncached, &layoutTextSpans, &layoutTextSpans}) {
        SpanLayoutResult result = layout({spans, span_count}, options, {fragments, capacity});
        check(result.fragments.size() <= capacity);
        for (const SpanFragment& fragment : result.fragments) {
            check(fragment.span_index < span_count && fragment.line < kMaxSpanLines);
            const TextSpan& span = spans[fragment.span_index];
            check(fragment.text.data() >= span.text.data() &&
                  fragment.text.data() + fragment.text.size() <= span.text.data() + span.text.size());
        }
    }

    // A text entry of any kind around the text.
    TextInputWidget widget;
    widget.kind = static_cast<std::uint8_t>(33 + data[0] % 8);
    widget.control_size = data[1];
    widget.disabled = (data[6] & 32) != 0;
    widget.frame = {pick(data[2]), pick(data[3]), pick(data[4]), pick(data[5])};
    widget.scroll_offset = pick(data[7]);
    widget.text = text.substr(0, std::min<std::size_t>(text.size(), 4096));
    widget.selection = TextSelection{data[7], static_cast<std::uint64_t>(data[1]) * 3};
    TextInputTokens tokens;
    tokens.text_measurer = pickMeasurer(data[3] >> 2);
    tokens.density = data[6] >> 6;
    tokens.font_size_body = pick(data[1] >> 3);
    tokens.snap_text = (data[6] & 64) != 0;
    tokens.pixel_scale = pick(data[5] >> 2);
    (void)textInputCaretVisibleScrollOffsetForWidget(widget, tokens, pick(data[4] >> 4));
    (void)textInputContentExtentForWidget(widget, tokens);
    (void)textInputViewportForWidget(widget, tokens);
    (void)textRangeBounds(widget, tokens, data[4], data[5]);
    auto offset = textOffsetForWidgetPoint(widget, {pick(data[2] >> 2), pick(data[3] >> 3)}, tokens);
    check(!offset || *offset <= widget.text.size());

    // Edits in place within a buffer of any size, and word moves.
    static char buffer[kTextEditLimit];
    std::size_t length = std::min(text.size(), sizeof buffer);
    std::memcpy(buffer, text.data(), length);
    std::size_t room = std::min(length + data[7], sizeof buffer);
    auto edited =
        replaceTextRange({buffer, length}, data[4], data[5] * 7u, text.substr(0, data[6] % 16), {buffer, room});
    check(!edited || (edited->text.size() <= room && edited->caret <= edited->text.size()));
    check(nextTextWordOffset(text, data[4] * 3u) <= text.size());
    check(previousTextWordOffset(text, data[5] * 3u) <= text.size());
    return 0;
}
