#include "widgets/widget_layout.hpp"

#include <algorithm>
#include <cmath>

#include "text/text_spans.hpp"
#include "widgets/widget_metrics.hpp"
#include "widgets/widget_render_style.hpp"

namespace kelvo {

namespace {

float densityAndSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return widgetDensityScale(tokens) * controlSizeScale(widget.size);
}

WidgetSize square(float side) { return {side, side}; }

float textWidth(float fontSize, const WidgetDescription& widget, const WidgetTokens& tokens) {
    return intrinsicTextWidgetSize(fontSize, widget, tokens).width;
}

float captionSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return sizeAdjustedFontSize(tokens.font_size_caption, widget.size);
}

float spanScaleOf(const TextSpan& span) {
    return span.size_scale > 0 && std::isfinite(span.size_scale) ? span.size_scale : 1.0f;
}

bool measuresSpans(const WidgetDescription& widget) {
    const WidgetKind kind = widget.widgetKind();
    return (kind == WidgetKind::text || kind == WidgetKind::data_cell) && widget.spans != nullptr &&
           widget.span_count != 0;
}

// The label size of a push or toggle button: the label size stepped down for small and up for
// large buttons, at least 8.
float buttonLabelSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    float size = tokens.font_size_label;
    if (isSmallWidgetSize(widget.size)) size -= tokens.font_step_small;
    if (isLargeWidgetSize(widget.size)) size += tokens.font_step_large;
    return std::max(size, kMinWidgetFontSize);
}

// Button labels are set in the label font, or the default one; the regular face reads as medium.
std::uint64_t buttonLabelFont(const WidgetTokens& tokens) {
    std::uint64_t font = tokens.label_font.value_or(tokens.default_font);
    return font == kFontRegular ? kFontMedium : font;
}

float buttonHorizontalInset(const WidgetDescription& widget, const WidgetTokens& tokens) {
    switch (widgetSizeCode(widget.size)) {
        case 1:
            return tokens.button_inset_small;
        case 2:
            return tokens.button_inset_large;
        case 6:
        case 7:
            return 0;
        default:
            return tokens.button_inset_medium;
    }
}

WidgetSize zeroUnlessScrollable(const WidgetDescription& widget, WidgetSize size) {
    return (widget.scrollable & 1u) ? WidgetSize{} : size;
}

float separatorThickness(const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (widget.stroke_override) return *widget.stroke_override;
    return componentControlVisualTokens(WidgetKind::separator, tokens)
        .border_width.value_or(tokens.surface_border_width);
}

float spinnerSide(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const float side = isSmallWidgetSize(widget.size) ? 16.0f : isLargeWidgetSize(widget.size) ? 24.0f : 20.0f;
    return side * widgetDensityScale(tokens);
}

}  // namespace

WidgetSize intrinsicTextWidgetSize(float fontSize, const WidgetDescription& widget, const WidgetTokens& tokens) {
    if (!measuresSpans(widget)) {
        return {measureTextWidthForFont(tokens.text_measurer, tokens.default_font, widget.text, fontSize),
                widgetLineHeight(fontSize)};
    }
    SpanLayoutOptions options;
    options.default_font = tokens.default_font;
    options.monospace_font = tokens.monospace_font;
    options.measurer = tokens.text_measurer;
    options.base_size = fontSize;
    const std::size_t count = std::min<std::uint64_t>(widget.span_count, kMaxLaidOutSpans);
    float width = 0, largestScale = 1;
    for (const TextSpan& span : std::span<const TextSpan>(widget.spans, count)) {
        // Line feeds add nothing: the pieces between them are summed.
        std::string_view rest = span.text;
        for (std::size_t feed = rest.find('\n'); feed != std::string_view::npos; feed = rest.find('\n')) {
            width += measureSpanSlice(span, rest.substr(0, feed), options);
            rest.remove_prefix(feed + 1);
        }
        width += measureSpanSlice(span, rest, options);
        largestScale = std::max(largestScale, spanScaleOf(span));
    }
    return {width, widgetLineHeight(fontSize * largestScale)};
}

WidgetSize intrinsicRowTextWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    float width = textWidth(widgetBodyTextSize(widget, tokens), widget, tokens) +
                  2 * sizeAdjustedInset(tokens.inset_m, widget.size, tokens);
    if (!widget.icon.empty()) {
        width += widgetRowIconExtent(widget, tokens) + sizeAdjustedInset(tokens.inset_s, widget.size, tokens);
    }
    return {snapWidgetLength(width, tokens), tokens.row_height * densityAndSize(widget, tokens)};
}

WidgetSize intrinsicPaddedTextWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens, float fontSize,
                                         float horizontalInset) {
    const WidgetSize text = intrinsicTextWidgetSize(fontSize, widget, tokens);
    const std::uint8_t density = tokens.density & 3u;
    const float extra = density == 2 ? 9.0f : density == 0 ? 7.0f : 8.0f;
    return {snapWidgetLength(text.width + 2 * horizontalInset, tokens),
            std::max(widgetControlHeight(widget.size, tokens), text.height + extra * controlSizeScale(widget.size))};
}

WidgetSize intrinsicButtonWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const float height = widgetControlHeight(widget.size, tokens);
    if (widgetSizeCode(widget.size) == 3 || (!widget.icon.empty() && widget.text.empty())) return square(height);
    const float d = widgetDensityScale(tokens);
    const float label = buttonLabelSize(widget, tokens);
    float content = measureTextWidthForFont(tokens.text_measurer, buttonLabelFont(tokens), widget.text, label);
    if (!widget.icon.empty()) content += tokens.icon_extra_size + label + tokens.icon_label_gap * d;
    const float width =
        std::max(44 * d * controlSizeScale(widget.size), content + 2 * buttonHorizontalInset(widget, tokens) * d);
    return {snapWidgetLength(width, tokens), height};
}

WidgetSize intrinsicToggleWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const float ds = densityAndSize(widget, tokens);
    const float trackHeight = 24 * ds;
    const float trackWidth = 44 * ds;
    const float label = textWidth(captionSize(widget, tokens), widget, tokens);
    const float gap = widget.text.empty() ? 0.0f : sizeAdjustedInset(tokens.inset_s, widget.size, tokens);
    if (!widgetSnappingActive(tokens)) return {label + gap + trackWidth, trackHeight};
    const float track = snapWidgetLength(std::max(trackWidth, 1.75f * trackHeight), tokens);
    return {snapWidgetLength(label + gap + track, tokens), trackHeight};
}

WidgetSize intrinsicCheckboxWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const float box = 18 * densityAndSize(widget, tokens);
    float width = box;
    if (!widget.text.empty()) {
        width += textWidth(captionSize(widget, tokens), widget, tokens) +
                 sizeAdjustedInset(tokens.inset_s, widget.size, tokens);
    }
    return {snapWidgetLength(width, tokens), box};
}

WidgetSize intrinsicSegmentedControlSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const float width =
        std::max(44 * densityAndSize(widget, tokens), textWidth(captionSize(widget, tokens), widget, tokens) +
                                                          2 * sizeAdjustedInset(tokens.inset_m, widget.size, tokens));
    return {snapWidgetLength(width, tokens), widgetControlHeight(widget.size, tokens)};
}

WidgetSize intrinsicStatusBarWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const WidgetInsets& in = widget.insets;
    const bool padded = in.top != 0 || in.right != 0 || in.bottom != 0 || in.left != 0;
    const float width =
        textWidth(widgetBodyTextSize(widget, tokens), widget, tokens) + (padded ? in.left + in.right : 28.0f);
    return {snapWidgetLength(width, tokens), 32 * densityAndSize(widget, tokens)};
}

WidgetSize intrinsicBadgeWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    const float ds = densityAndSize(widget, tokens);
    const float minimum = 24 * ds;
    const float height = 20 * ds;
    const float caption = captionSize(widget, tokens);
    if (!widget.icon.empty() && widget.text.empty()) {
        return {std::max(minimum, 2 * tokens.inset_xs + tokens.icon_extra_size + caption), height};
    }
    const float font = sizeAdjustedFontSize(std::max(tokens.font_size_caption - 1, kMinWidgetFontSize), widget.size);
    const float inset = sizeAdjustedInset(tokens.inset_s, widget.size, tokens);
    float content = 2 * inset + textWidth(font, widget, tokens);
    if (!widget.icon.empty()) content += tokens.icon_extra_size + caption + inset;
    return {snapWidgetLength(std::max(minimum, content), tokens), height};
}

WidgetSize intrinsicWidgetSizeDepth(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth) {
    const float ds = densityAndSize(widget, tokens);
    const float controlHeight = widgetControlHeight(widget.size, tokens);
    switch (widget.widgetKind()) {
        case WidgetKind::row:
        case WidgetKind::row_a:
        case WidgetKind::spaced_row:
        case WidgetKind::row_b:
        case WidgetKind::row_c:
        case WidgetKind::tab_list:
        case WidgetKind::row_d:
            return intrinsicAxisChildrenSize(widget, tokens, depth, 0);
        case WidgetKind::column:
        case WidgetKind::menu:
        case WidgetKind::menu_b:
        case WidgetKind::tree:
        case WidgetKind::input_group:
            return intrinsicAxisChildrenSize(widget, tokens, depth, 1);
        case WidgetKind::data_grid:
        case WidgetKind::data_grid_b:
        case WidgetKind::virtual_list:
            return zeroUnlessScrollable(widget, intrinsicAxisChildrenSize(widget, tokens, depth, 1));
        case WidgetKind::virtual_grid:
            return zeroUnlessScrollable(widget, intrinsicGridChildrenSize(widget, tokens, depth));
        case WidgetKind::scroll_view:
        case WidgetKind::image:
        case WidgetKind::split_view:
            return {};
        case WidgetKind::accordion:
            return intrinsicAccordionWidgetSize(widget, tokens, depth);
        case WidgetKind::alert:
            return intrinsicAlertWidgetSize(widget, tokens, depth);
        case WidgetKind::card:
            return intrinsicCardWidgetSize(widget, tokens, depth);
        case WidgetKind::dialog:
        case WidgetKind::drawer:
        case WidgetKind::sheet:
            return intrinsicModalSurfaceSize(widget, tokens, depth);
        case WidgetKind::text:
            return intrinsicTextWidgetSize(widgetBodyTextSize(widget, tokens), widget, tokens);
        case WidgetKind::icon:
            return square(18 * ds);
        case WidgetKind::avatar:
            return square(40 * ds);
        case WidgetKind::badge:
            return intrinsicBadgeWidgetSize(widget, tokens);
        case WidgetKind::button:
        case WidgetKind::toggle_button:
        case WidgetKind::toggle_button_b:
            return intrinsicButtonWidgetSize(widget, tokens);
        case WidgetKind::icon_button:
            return square(controlHeight);
        case WidgetKind::select:
        case WidgetKind::search_field:
        case WidgetKind::combo_box:
            return {200 * ds, controlHeight};
        case WidgetKind::text_field:
        case WidgetKind::text_field_b:
            return {160 * ds, controlHeight};
        case WidgetKind::text_area:
            return {200 * ds, 80 * ds};
        case WidgetKind::tooltip:
            return intrinsicPaddedTextWidgetSize(widget, tokens, captionSize(widget, tokens),
                                                 sizeAdjustedInset(tokens.inset_s, widget.size, tokens));
        case WidgetKind::menu_item: {
            const float width = intrinsicRowTextWidgetSize(widget, tokens).width + widgetRowIconExtent(widget, tokens) +
                                sizeAdjustedInset(tokens.inset_s, widget.size, tokens);
            return {snapWidgetLength(width, tokens), 32 * ds};
        }
        case WidgetKind::list_item: {
            WidgetSize size = intrinsicRowTextWidgetSize(widget, tokens);
            if (widget.child_count == 0) return size;
            const WidgetSize children = intrinsicAxisChildrenSize(widget, tokens, depth, 0);
            return {snapWidgetLength(std::max(size.width, children.width), tokens),
                    std::max(size.height, children.height)};
        }
        case WidgetKind::data_row:
            return {0, 36 * ds};
        case WidgetKind::data_cell: {
            if (!measuresSpans(widget)) return intrinsicRowTextWidgetSize(widget, tokens);
            const WidgetSize text = intrinsicTextWidgetSize(widgetBodyTextSize(widget, tokens), widget, tokens);
            return {std::max(widget.insets.left + widget.insets.right + text.width, widget.min_size.width),
                    std::max(widget.insets.top + widget.insets.bottom + text.height, widget.min_size.height)};
        }
        case WidgetKind::status_bar:
            return intrinsicStatusBarWidgetSize(widget, tokens);
        case WidgetKind::segmented_control:
            return intrinsicSegmentedControlSize(widget, tokens);
        case WidgetKind::checkbox:
        case WidgetKind::radio:
            return intrinsicCheckboxWidgetSize(widget, tokens);
        case WidgetKind::switch_:
            return intrinsicToggleWidgetSize(widget, tokens);
        case WidgetKind::slider:
            return {160 * ds, 28 * ds};
        case WidgetKind::progress_bar:
            return {160 * ds, 4 * ds};
        case WidgetKind::separator:
            return {160 * ds, separatorThickness(widget, tokens)};
        case WidgetKind::skeleton:
            return {120 * ds, 20 * ds};
        case WidgetKind::spinner:
            return square(spinnerSide(widget, tokens));
        case WidgetKind::chart:
            return {160 * ds, 48 * ds};
        case WidgetKind::split_divider:
            return {widget.gap > 0 ? widget.gap : 9.0f, 0};
        default:
            // stack, bubble, resizable_panel, panel, popover; and the undefined codes, read as stacks.
            return intrinsicOverlayChildrenSize(widget, tokens, depth);
    }
}

}  // namespace kelvo
