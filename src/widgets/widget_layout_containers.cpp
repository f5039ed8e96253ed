#include <algorithm>
#include <cmath>

#include "widgets/widget_layout.hpp"
#include "widgets/widget_metrics.hpp"

namespace kelvo {

namespace {

float positiveOrZero(float value) { return value > 0 ? value : 0.0f; }

WidgetSize minimumSize(const WidgetDescription& widget) {
    return {positiveOrZero(widget.min_size.width), positiveOrZero(widget.min_size.height)};
}

WidgetSize raisedToMinimum(WidgetSize size, const WidgetDescription& widget) {
    return {std::max(size.width, widget.min_size.width), std::max(size.height, widget.min_size.height)};
}

// The children a parent at `depth` measures: none at the depth limit, and never out-of-flow ones.
template <class Visit>
std::size_t forEachMeasuredChild(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth,
                                 Visit&& visit) {
    if (depth >= kIntrinsicSizeDepthLimit) return 0;
    std::size_t count = 0;
    for (const WidgetDescription& child : widget.childDescriptions()) {
        if (child.out_of_flow & 1u) continue;
        visit(child, clampedChildWidgetSize(child, tokens, depth));
        ++count;
    }
    return count;
}

// The per-axis maximum of the measured children.
struct ChildContent {
    WidgetSize size;
    std::size_t count = 0;
};

ChildContent overlayContent(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth) {
    ChildContent content;
    content.count = forEachMeasuredChild(widget, tokens, depth, [&](const WidgetDescription&, WidgetSize size) {
        content.size.width = std::max(content.size.width, size.width);
        content.size.height = std::max(content.size.height, size.height);
    });
    return content;
}

bool hasContent(const ChildContent& content) { return content.count > 0 && content.size.height > 0; }

// Containers of rows take a token gap while their own is not positive, when the tokens enable it.
float axisGap(const WidgetDescription& widget, const WidgetTokens& tokens) {
    float gap = widget.gap;
    if (!(gap > 0)) {
        if (widget.widgetKind() == WidgetKind::spaced_row && tokens.attached_groups) gap = tokens.spaced_row_gap;
        if (widget.widgetKind() == WidgetKind::tab_list && tokens.tabs_underline) gap = tokens.tab_list_gap;
    }
    return positiveOrZero(gap);
}

bool isCollapsedAccordion(const WidgetDescription& widget) {
    return (widget.selected & 1u) == 0 && !(widget.value >= 0.5f);
}

float densityAndSize(const WidgetDescription& widget, const WidgetTokens& tokens) {
    return widgetDensityScale(tokens) * controlSizeScale(widget.size);
}

}  // namespace

WidgetSize clampedChildWidgetSize(const WidgetDescription& child, const WidgetTokens& tokens, std::uint64_t depth) {
    WidgetSize size = intrinsicWidgetSizeDepth(child, tokens, depth + 1);
    size.width = std::max(size.width, positiveOrZero(child.frame.width));
    size.height = std::max(size.height, positiveOrZero(child.frame.height));
    if (child.max_size.width > 0) size.width = std::min(size.width, child.max_size.width);
    if (child.max_size.height > 0) size.height = std::min(size.height, child.max_size.height);
    return raisedToMinimum(size, child);
}

WidgetSize intrinsicAxisChildrenSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth,
                                     int axis) {
    const bool horizontal = axis == 0;
    float main = 0, cross = 0;
    const std::size_t count =
        forEachMeasuredChild(widget, tokens, depth, [&](const WidgetDescription& child, WidgetSize size) {
            // A separator in a row stands upright: a square of its thinner side.
            if (horizontal && child.widgetKind() == WidgetKind::separator && !(child.frame.width > 0)) {
                const float side = std::min(size.width, size.height);
                size = raisedToMinimum({side, side}, child);
            }
            main += horizontal ? size.width : size.height;
            cross = std::max(cross, horizontal ? size.height : size.width);
        });
    if (count == 0) return minimumSize(widget);
    main += axisGap(widget, tokens) * static_cast<float>(count - 1);
    WidgetSize size = horizontal ? WidgetSize{main, cross} : WidgetSize{cross, main};
    size.width += widget.insets.left + widget.insets.right;
    size.height += widget.insets.top + widget.insets.bottom;
    return raisedToMinimum(size, widget);
}

WidgetSize intrinsicOverlayChildrenSize(const WidgetDescription& widget, const WidgetTokens& tokens,
                                        std::uint64_t depth) {
    const ChildContent content = overlayContent(widget, tokens, depth);
    if (content.count == 0) return minimumSize(widget);
    WidgetSize size{widget.insets.left + content.size.width + widget.insets.right,
                    widget.insets.top + content.size.height + widget.insets.bottom};
    return raisedToMinimum(size, widget);
}

WidgetSize intrinsicGridChildrenSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth) {
    const ChildContent cell = overlayContent(widget, tokens, depth);
    if (cell.count == 0) return minimumSize(widget);
    const std::uint64_t n = cell.count;
    const std::uint64_t columns = widget.columns != 0 && widget.columns <= n ? widget.columns : n;
    const std::uint64_t rows = (n + columns - 1) / columns;
    const float gap = positiveOrZero(widget.gap);
    WidgetSize size{widget.insets.left + widget.insets.right + static_cast<float>(columns) * cell.size.width +
                        gap * static_cast<float>(columns - 1),
                    widget.insets.top + widget.insets.bottom + static_cast<float>(rows) * cell.size.height +
                        gap * static_cast<float>(rows - 1)};
    return raisedToMinimum(size, widget);
}

WidgetSize intrinsicAccordionWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens,
                                        std::uint64_t depth) {
    const float font = widgetBodyTextSize(widget, tokens);
    const float inset = sizeAdjustedInset(tokens.inset_l, widget.size, tokens);
    const float header = std::max(widgetControlHeight(widget.size, tokens), widgetLineHeight(font) + 2 * inset);
    // A closed accordion shows its header only.
    const ChildContent content = isCollapsedAccordion(widget) ? ChildContent{} : overlayContent(widget, tokens, depth);
    const float gap = hasContent(content) ? positiveOrZero(widget.gap) : 0.0f;
    return {std::max(widget.insets.left + content.size.width + widget.insets.right, widget.min_size.width),
            std::max(widget.insets.top + widget.insets.bottom + content.size.height + header + gap,
                     widget.min_size.height)};
}

WidgetSize intrinsicCardWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth) {
    const float ds = densityAndSize(widget, tokens);
    const float font = sizeAdjustedFontSize(tokens.font_size_body + 1, widget.size);
    const float inset = sizeAdjustedInset(tokens.inset_l, widget.size, tokens);
    const WidgetSize title = intrinsicTextWidgetSize(font, widget, tokens);
    WidgetSize size{std::max(240 * ds, title.width + 2 * inset),
                    std::max(120 * ds, widget.text.empty() ? 0.0f : title.height + 2 * inset)};
    const ChildContent content = overlayContent(widget, tokens, depth);
    if (hasContent(content)) {
        size.width = std::max(size.width, widget.insets.left + widget.insets.right + content.size.width);
        size.height = std::max(size.height, widget.insets.top + widget.insets.bottom + content.size.height);
    }
    return size;
}

WidgetSize intrinsicAlertWidgetSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth) {
    const float d = widgetDensityScale(tokens);
    const float ds = densityAndSize(widget, tokens);
    const float font = widgetBodyTextSize(widget, tokens);
    const float inset = sizeAdjustedInset(tokens.inset_l, widget.size, tokens);
    const float iconGap = sizeAdjustedInset(tokens.inset_m, widget.size, tokens);
    const float icon = 16 * d * controlSizeScale(widget.size);  // 14, 16, 18 by density
    const float titleWidth = intrinsicTextWidgetSize(font, widget, tokens).width;
    WidgetSize size{std::max(240 * ds, iconGap + icon + 2 * inset + titleWidth),
                    std::max(52 * ds, widgetLineHeight(font) + 2 * inset)};
    const ChildContent content = overlayContent(widget, tokens, depth);
    if (hasContent(content)) {
        WidgetSize body{2 * inset + content.size.width, 2 * inset + content.size.height};
        if (!widget.text.empty()) {
            body.width += icon + iconGap;
            body.height += widgetLineHeight(font) + sizeAdjustedInset(tokens.inset_xs, widget.size, tokens);
        }
        size.width = std::max(size.width, body.width);
        size.height = std::max(size.height, body.height);
    }
    return size;
}

WidgetSize intrinsicModalSurfaceSize(const WidgetDescription& widget, const WidgetTokens& tokens, std::uint64_t depth) {
    const float ds = densityAndSize(widget, tokens);
    const float font = sizeAdjustedFontSize(tokens.font_size_title, widget.size);
    const float inset = sizeAdjustedInset(tokens.inset_xl, widget.size, tokens);
    WidgetSize minimum{420, 220};
    if (widget.widgetKind() == WidgetKind::drawer) minimum = {360, 280};
    if (widget.widgetKind() == WidgetKind::sheet) minimum = {320, 420};
    const float titleWidth = intrinsicTextWidgetSize(font, widget, tokens).width;
    const float titleBlock = widget.text.empty() ? 0.0f : widgetLineHeight(font) + 2 * inset;
    WidgetSize size{std::max(minimum.width * ds, titleWidth + 2 * inset), std::max(minimum.height * ds, titleBlock)};
    const ChildContent content = overlayContent(widget, tokens, depth);
    if (hasContent(content)) {
        // Content decides the height; the title still fits.
        size.height = std::max(widget.insets.top + widget.insets.bottom + content.size.height, titleBlock);
        size.width = std::max(size.width, widget.insets.left + widget.insets.right + content.size.width);
    }
    return size;
}

}  // namespace kelvo
