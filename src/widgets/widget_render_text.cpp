// Plain and rich text widgets with their static selection.

#include <array>

#include "text/text_caret_geometry.hpp"
#include "text/text_spans.hpp"
#include "widgets/thread_scratch.hpp"
#include "widgets/widget_render_content.hpp"
#include "widgets/widget_render_draw.hpp"
#include "widgets/widget_semantics.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr std::size_t kMaxSelectionLines = kMaxSpanLines;
constexpr std::size_t kSpanFragmentCapacity = 256;

struct SpanScratch {
    std::array<SpanFragment, kSpanFragmentCapacity> fragments{};
};

Color textColor(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (isSet(widget.disabled)) return palette(tokens, PaletteColor::text_muted);
    return firstOf(widget.text_color_override, componentControlVisualTokens(widget.widgetKind(), tokens).foreground,
                   palette(tokens, PaletteColor::text));
}

float textSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return widgetBodyTextSize(widget, tokens);
}

TextLayoutBox plainLayoutBox(const WidgetDescription& widget, const WidgetTokens& tokens, float width, float size) {
    return {tokens.text_measurer,
            std::max(width, 1.0f),
            widgetLineHeight(size),
            isSet(widget.text_wrap) ? TextWrap::word : TextWrap::none,
            maskedTextAlign(static_cast<TextAlign>(widget.text_align)),
            !isSet(widget.text_ellipsis)};
}

TextRun plainRun(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect box = widgetContentBox(widget);
    const float size = textSize(widget, tokens);
    TextRun run;
    run.font = tokens.default_font;
    run.text = widget.text;
    run.layout = plainLayoutBox(widget, tokens, box.width, size);
    run.has_layout = true;
    run.size = size;
    const Point origin = snapTextOrigin({box.x, box.y + size}, tokens);
    run.origin_x = origin.x;
    run.baseline_y = origin.y;
    return run;
}

SpanLayoutOptions spanOptions(const WidgetDescription& widget, const WidgetTokens& tokens) {
    SpanLayoutOptions options;
    options.default_font = tokens.default_font;
    options.monospace_font = tokens.monospace_font;
    options.measurer = tokens.text_measurer;
    options.base_size = textSize(widget, tokens);
    options.max_width = widgetContentBox(widget).width;
    options.wrap = isSet(widget.text_wrap) ? TextWrap::word : TextWrap::none;
    options.align = maskedTextAlign(static_cast<TextAlign>(widget.text_align));
    return options;
}

// Where the laid-out spans start: the content box, its first line half a device pixel lower when
// snapping.
Point spanOrigin(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect box = widgetContentBox(widget);
    Point origin{box.x, box.y};
    if (widgetSnappingActive(tokens) || (tokens.snap_text && tokens.pixel_scale > 0)) {
        origin.y += 0.5f / tokens.pixel_scale;
    }
    return origin;
}

// The byte offset of a fragment's first byte in the spans' text taken together.
std::size_t fragmentOffset(std::span<const TextSpan> spans, const SpanFragment& fragment) {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < fragment.span_index && i < spans.size(); ++i) offset += spans[i].text.size();
    if (fragment.span_index < spans.size()) {
        offset += static_cast<std::size_t>(fragment.text.data() - spans[fragment.span_index].text.data());
    }
    return offset;
}

Color selectionColor(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return withAlpha(firstOf(widget.accent_override, palette(tokens, PaletteColor::accent)),
                     std::clamp(tokens.selection_alpha, 0.0f, 1.0f));
}

Status appendSelectionRect(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                           std::size_t index, Rect rect) {
    return appendFillRoundedRect(out, widgetHashedCommandId(kStaticSelectionSeed, {widget.id, index}),
                                 snapWidgetRect(rect, tokens), uniformRadii(tokens.radius_xsmall),
                                 selectionColor(widget, tokens));
}

// One rectangle per line over the selected parts of the fragments.
Status emitSpanSelection(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                         WidgetTextRange range, const SpanLayoutResult& layout, const SpanLayoutOptions& options) {
    const std::span<const TextSpan> spans = widget.textSpans();
    const Point origin = spanOrigin(widget, tokens);
    std::size_t emitted = 0;
    for (std::uint64_t line = 0; line < layout.line_count; ++line) {
        std::optional<Rect> united;
        for (const SpanFragment& fragment : layout.fragments) {
            if (fragment.line != line || fragment.span_index >= spans.size()) continue;
            const std::size_t start = fragmentOffset(spans, fragment);
            const std::size_t end = start + fragment.text.size();
            const std::size_t from = std::max<std::size_t>(start, range.start);
            const std::size_t to = std::min<std::size_t>(end, range.end);
            if (from >= to) continue;
            const TextSpan& span = spans[fragment.span_index];
            const float x0 = fragment.x + measureSpanSlice(span, fragment.text.substr(0, from - start), options);
            const float x1 = fragment.x + measureSpanSlice(span, fragment.text.substr(0, to - start), options);
            united = unionOptionalBounds(
                united, Rect{origin.x + x0, origin.y + fragment.y, std::max(x1 - x0, 1.0f), layout.line_height});
        }
        if (united) TRY(appendSelectionRect(out, widget, tokens, emitted++, *united));
    }
    return {};
}

}  // namespace

Rect widgetContentBox(const WidgetDescription& widget) {
    const Rect frame = normalizeRect(widget.frame);
    const WidgetInsets& in = widget.insets;
    return {frame.x + std::min(in.left, frame.width), frame.y + std::min(in.top, frame.height),
            std::max(frame.width - in.left - in.right, 0.0f), std::max(frame.height - in.top - in.bottom, 0.0f)};
}

Status emitStaticTextSelection(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (!widget.selection) return {};
    if (!widget.textSpans().empty()) {
        // The selection indexes the spans' texts taken together.
        std::size_t length = 0;
        for (const TextSpan& span : widget.textSpans()) length += span.text.size();
        WidgetTextRange range{std::min<std::uint64_t>(widget.selection->start, length),
                              std::min<std::uint64_t>(widget.selection->end, length)};
        if (range.start > range.end) std::swap(range.start, range.end);
        if (range.start == range.end) return {};
        SpanScratch& scratch = perThreadCanvasScratch<SpanScratch>();
        const SpanLayoutOptions options = spanOptions(widget, tokens);
        const SpanLayoutResult layout = layoutTextSpans(widget.textSpans(), options, scratch.fragments);
        return emitSpanSelection(out, widget, tokens, range, layout, options);
    }
    const std::optional<WidgetTextRange> range = widgetTextSelectionRange(widget);
    if (!range || range->start == range->end) return {};
    const TextRun run = plainRun(widget, tokens);
    std::array<TextSelectionRect, kMaxSelectionLines> rects;
    const std::size_t count = layoutTextSelectionRects(run, run.layout, range->start, range->end, rects);
    for (std::size_t i = 0; i < count; ++i) TRY(appendSelectionRect(out, widget, tokens, i, rects[i].rect));
    return {};
}

Status emitTextSpansWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    TRY(emitStaticTextSelection(out, widget, tokens));
    const std::span<const TextSpan> spans = widget.textSpans();
    SpanScratch& scratch = perThreadCanvasScratch<SpanScratch>();
    const SpanLayoutOptions options = spanOptions(widget, tokens);
    const SpanLayoutResult layout = layoutTextSpans(spans, options, scratch.fragments);
    const Point origin = spanOrigin(widget, tokens);
    const Color fallback = textColor(widget, tokens);
    const float lineSize = layout.line_height / 1.25f;
    const float thickness = std::max(tokens.surface_border_width, 1.0f);

    for (std::size_t i = 0; i < layout.fragments.size(); ++i) {
        const SpanFragment& fragment = layout.fragments[i];
        if (fragment.span_index >= spans.size()) continue;
        const TextSpan& span = spans[fragment.span_index];
        if (span.background) {
            TRY(appendFillRect(out, widgetHashedCommandId(kSpanBackgroundSeed, {widget.id, i}),
                               {origin.x + fragment.x, origin.y + fragment.y, fragment.width, layout.line_height},
                               textSpanColorValue(tokens.palette, *span.background)));
        }
    }
    for (std::size_t i = 0; i < layout.fragments.size(); ++i) {
        const SpanFragment& fragment = layout.fragments[i];
        if (fragment.span_index >= spans.size()) continue;
        const TextSpan& span = spans[fragment.span_index];
        const Color color =
            span.color && !isSet(widget.disabled) ? textSpanColorValue(tokens.palette, *span.color) : fallback;
        const Point at = snapTextOrigin({origin.x + fragment.x, origin.y + fragment.y + lineSize}, tokens);
        TRY(appendText(out, widgetHashedCommandId(kSpanTextSeed, {widget.id, i}), fragment.font, fragment.text,
                       fragment.size, at, color, std::nullopt, tokens));
        if (span.underline) {
            TRY(appendFillRect(out, widgetHashedCommandId(kSpanUnderlineSeed, {widget.id, i}),
                               {at.x, at.y + std::max(1.0f, 0.08f * fragment.size), fragment.width, thickness}, color));
        }
        if (span.strikethrough) {
            TRY(appendFillRect(out, widgetHashedCommandId(kSpanStrikeSeed, {widget.id, i}),
                               {at.x, at.y - 0.3f * fragment.size - thickness / 2, fragment.width, thickness}, color));
        }
    }
    return {};
}

Status emitTextWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (!widget.textSpans().empty()) return emitTextSpansWidget(out, widget, tokens);
    TRY(emitStaticTextSelection(out, widget, tokens));
    if (widget.text.empty()) return {};
    const TextRun run = plainRun(widget, tokens);
    DrawTextCommand command;
    command.id = widgetCommandId(widget.id, 4);
    command.font = run.font;
    command.text = run.text;
    command.layout = run.layout;
    command.size = run.size;
    command.origin = {run.origin_x, run.baseline_y};
    command.color = textColor(widget, tokens);
    return out.append(CanvasCommand::drawText(command));
}

}  // namespace kelvo
