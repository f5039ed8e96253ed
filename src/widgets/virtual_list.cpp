#include "widgets/virtual_list.hpp"

#include <algorithm>
#include <cmath>

#include "widgets/widget_layout.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

float atLeastZero(float value) { return value > 0 ? value : 0.0f; }

// A non-negative quotient as a count no greater than `limit`; a quotient that is not positive and
// finite gives `otherwise`.
std::uint64_t countUpTo(double quotient, std::uint64_t limit, std::uint64_t otherwise) {
    if (!(quotient > 0) || !std::isfinite(quotient)) return otherwise;
    return quotient >= static_cast<double>(limit) ? limit : static_cast<std::uint64_t>(quotient);
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

float childHeight(const WidgetDescription& child, const WidgetTokens& tokens) {
    float height = child.frame.height > 0 ? child.frame.height : intrinsicWidgetSizeDepth(child, tokens, 0).height;
    if (child.max_size.height > 0) height = std::min(height, child.max_size.height);
    return std::max(height, atLeastZero(child.min_size.height));
}

}  // namespace

VirtualListRange virtualListRange(const VirtualListInput& input) {
    const std::uint64_t n = input.count;
    if (n == 0 || !(input.item_extent > 0) || !(input.viewport > 0)) return {};
    VirtualListRange range;
    const float item = atLeastZero(input.item_extent);
    const float gap = atLeastZero(input.gap);
    const float stride = item + gap;
    const float viewport = atLeastZero(input.viewport);
    const float offset = std::isfinite(input.offset) ? input.offset : 0.0f;

    const float content = item * static_cast<float>(n) + static_cast<float>(n - 1) * gap;
    const float clamped = std::clamp(offset, 0.0f, std::max(content - viewport, 0.0f));
    const float overscroll = std::clamp(offset, -viewport, std::max(content, viewport));
    // Counts past n read as n: only min(n, end) is ever used.
    const std::uint64_t end = countUpTo(std::ceil(static_cast<double>((gap + viewport + clamped) / stride)), n, 0);
    const std::uint64_t first = countUpTo(std::floor(static_cast<double>(clamped / stride)), n - 1, 0);

    range.start = first > input.overscan ? first - input.overscan : 0;
    range.stop = std::min(n, saturatingAdd(end, input.overscan));
    range.first_visible = first;
    range.last_visible = end == 0 ? first : end - 1;
    range.item = item;
    range.gap = gap;
    range.clamped_offset = clamped;
    range.overscroll_offset = overscroll;
    range.content = content;
    range.leading_spacer = stride * static_cast<float>(range.start);
    range.trailing_spacer = stride * static_cast<float>(n - range.stop);
    return range;
}

float virtualWidgetScrollContentExtentWithTokens(const WidgetDescription& widget, const WidgetTokens& tokens,
                                                 float viewport) {
    if (widget.content_extent > 0 && widget.virtual_count != 0) return widget.content_extent;
    std::span<const WidgetDescription> children = widget.childDescriptions();
    const bool grid = widget.widgetKind() == WidgetKind::virtual_grid;
    const std::uint64_t columns =
        widget.columns != 0 && widget.columns < children.size() ? widget.columns : children.size();

    std::uint64_t count = 0;
    if (widget.virtual_count != 0) {
        count = std::max(widget.virtual_count, saturatingAdd(widget.virtual_first, children.size()));
    } else if (grid && !children.empty()) {
        count = (children.size() + columns - 1) / columns;
    } else if (!children.empty()) {
        count = children.size();
    } else if (widget.row_count) {
        count = *widget.row_count;
    }
    if (count == 0) return 0;

    float extent = widget.item_extent;
    if (!(extent > 0)) {
        if (children.empty()) return 0;
        extent = childHeight(children[0], tokens);
        for (std::uint64_t i = 1; grid && i < columns; ++i) {
            extent = std::max(extent, childHeight(children[i], tokens));
        }
    }
    VirtualListInput input{count, 0, extent, widget.gap, viewport, widget.value};
    return virtualListRange(input).content;
}

float widgetScrollViewportExtent(const WidgetLayoutNode& node) {
    const Rect rect = normalizeRect(node.rect);
    return atLeastZero(rect.height - node.insets.top - node.insets.bottom);
}

float widgetDescendantContentExtent(WidgetLayoutTree tree, std::size_t index, float viewport,
                                    bool passOverAccordionContent) {
    if (index >= tree.size()) return 0;
    const WidgetLayoutNode& node = tree[index];
    const Rect rect = normalizeRect(node.rect);
    const float contentTop = rect.y + std::min(node.insets.top, rect.height);
    float bottom = contentTop + viewport;
    const std::size_t end = widgetSubtreeEnd(tree, index);
    for (std::size_t i = index + 1; i < end; ++i) {
        const Rect descendant = normalizeRect(tree[i].rect);
        bottom = std::max(bottom, node.value + descendant.y + descendant.height);
        if (passOverAccordionContent && tree[i].widgetKind() == WidgetKind::accordion) {
            i = widgetSubtreeEnd(tree, i) - 1;
        }
    }
    return atLeastZero(bottom - contentTop);
}

float virtualWidgetScrollContentExtentWithTokens(WidgetLayoutTree tree, const WidgetTokens& tokens, std::size_t index) {
    if (index >= tree.size()) return 0;
    const WidgetLayoutNode& node = tree[index];
    const float viewport = widgetScrollViewportExtent(node);
    if (node.scrollable & 1u) {
        return std::max(viewport, virtualWidgetScrollContentExtentWithTokens(node, tokens, viewport));
    }
    return widgetDescendantContentExtent(tree, index, viewport, false);
}

}  // namespace kelvo
