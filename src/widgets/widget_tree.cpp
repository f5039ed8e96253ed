#include "widgets/widget_tree.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

float bottomEdge(const Rect& rect) {
    Rect normal = normalizeRect(rect);
    return normal.y + normal.height;
}

}  // namespace

bool widgetAccordionConcealsContent(WidgetLayoutTree tree, std::size_t accordion) {
    if (accordion >= tree.size()) return false;
    const WidgetLayoutNode& node = tree[accordion];
    if ((node.selected & 1u) == 0 && !(node.value >= 0.5f)) return true;
    bool any = false;
    float lowest = 0;
    const std::size_t end = widgetSubtreeEnd(tree, accordion);
    for (std::size_t i = accordion + 1; i < end; ++i) {
        if (tree[i].out_of_flow & 1u) continue;
        float bottom = bottomEdge(tree[i].rect);
        lowest = any ? std::max(lowest, bottom) : bottom;
        any = true;
    }
    return any && lowest > bottomEdge(node.rect) + 0.5f;
}

std::optional<std::size_t> widgetParentIndex(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return std::nullopt;
    const WidgetLayoutNode& node = tree[index];
    if ((node.has_parent & 1u) == 0 || node.parent >= index) return std::nullopt;
    return static_cast<std::size_t>(node.parent);
}

std::size_t widgetSubtreeEnd(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return tree.size();
    std::size_t end = index + 1;
    while (end < tree.size() && tree[end].depth > tree[index].depth) ++end;
    return end;
}

bool isWidgetConcealedByDisclosure(WidgetLayoutTree tree, std::size_t index) {
    bool concealed = false;
    forEachWidgetAncestor(tree, index, [&](std::size_t ancestor) {
        if (tree[ancestor].widgetKind() == WidgetKind::accordion && widgetAccordionConcealsContent(tree, ancestor)) {
            concealed = true;
            return false;
        }
        return true;
    });
    return concealed;
}

bool isWidgetHiddenHereOrAbove(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return true;
    bool hidden = (tree[index].hidden & 1u) != 0;
    if (hidden) return true;
    forEachWidgetAncestor(tree, index, [&](std::size_t ancestor) {
        hidden = (tree[ancestor].hidden & 1u) != 0;
        return !hidden;
    });
    return hidden;
}

WidgetStateBytes widgetStateBytes(const WidgetDescription& widget) {
    auto bit = [](std::uint8_t byte) { return static_cast<std::uint8_t>(byte & 1u); };
    return {bit(widget.hovered),
            bit(widget.pressed),
            bit(widget.focused),
            bit(widget.disabled),
            bit(widget.selected),
            static_cast<std::uint8_t>(widget.expanded.value_or(false)),
            static_cast<std::uint8_t>(widget.expanded.has_value()),
            bit(widget.required),
            bit(widget.read_only),
            bit(widget.invalid)};
}

}  // namespace kelvo
