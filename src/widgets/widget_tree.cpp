#include "widgets/widget_tree.hpp"

#include <algorithm>
#include <cmath>

namespace kelvo {

namespace {

float bottomEdge(const Rect& rect) {
    Rect normal = normalizeRect(rect);
    return normal.y + normal.height;
}

bool accordionConceals(WidgetLayoutTree tree, std::size_t accordion) {
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

}  // namespace

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
        if (tree[ancestor].widgetKind() == WidgetKind::accordion && accordionConceals(tree, ancestor)) {
            concealed = true;
            return false;
        }
        return true;
    });
    return concealed;
}

}  // namespace kelvo
