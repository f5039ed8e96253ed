#include "widgets/widget_focus_moves.hpp"

#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

bool sameParent(const WidgetLayoutNode& a, const WidgetLayoutNode& b) {
    const bool aHas = (a.has_parent & 1u) != 0, bHas = (b.has_parent & 1u) != 0;
    return aHas == bHas && (!aHas || a.parent == b.parent);
}

bool isHorizontal(WidgetFocusDirection d) {
    return d == WidgetFocusDirection::left || d == WidgetFocusDirection::right;
}
bool isVertical(WidgetFocusDirection d) { return d == WidgetFocusDirection::up || d == WidgetFocusDirection::down; }

bool focusable(WidgetLayoutTree tree, std::size_t index) { return focusTargetFromLayoutNode(tree, index).found; }

bool kindIn(WidgetKind kind, std::initializer_list<WidgetKind> kinds) {
    for (WidgetKind k : kinds) {
        if (k == kind) return true;
    }
    return false;
}

std::optional<WidgetKind> parentKind(WidgetLayoutTree tree, std::size_t index) {
    const std::optional<std::size_t> parent = widgetParentIndex(tree, index);
    if (!parent) return std::nullopt;
    return tree[*parent].widgetKind();
}

// The axes along which a group of (parent, item) moves: horizontal, vertical or both.
struct GroupAxes {
    bool horizontal = false;
    bool vertical = false;
};
std::optional<GroupAxes> groupAxes(WidgetLayoutTree tree, std::size_t index) {
    const std::optional<WidgetKind> parent = parentKind(tree, index);
    if (!parent) return std::nullopt;
    const WidgetKind item = tree[index].widgetKind();
    using K = WidgetKind;
    if (*parent == K::virtual_list && item == K::list_item) return GroupAxes{false, true};
    if (kindIn(*parent, {K::menu, K::menu_b}) && item == K::menu_item) return GroupAxes{false, true};
    if (kindIn(*parent, {K::row_a, K::spaced_row, K::row_b}) && kindIn(item, {K::button, K::icon_button})) {
        return GroupAxes{true, false};
    }
    if (*parent == K::row_c && item == K::radio) return GroupAxes{true, true};
    if (*parent == K::tab_list && item == K::segmented_control) return GroupAxes{true, false};
    if (*parent == K::row_d && item == K::toggle_button) return GroupAxes{true, false};
    return std::nullopt;
}

bool groupSibling(WidgetLayoutTree tree, std::size_t self, std::size_t other) {
    return other != self && tree[other].kind == tree[self].kind && sameParent(tree[other], tree[self]) &&
           focusable(tree, other);
}

std::optional<std::size_t> treeOf(WidgetLayoutTree tree, std::size_t row) {
    std::optional<std::size_t> owner;
    forEachWidgetAncestor(tree, row, [&](std::size_t at) {
        const WidgetLayoutNode& node = tree[at];
        if (node.widgetKind() != WidgetKind::tree &&
            (node.role & 0x1Fu) != static_cast<std::uint8_t>(WidgetSemanticRole::tree)) {
            return true;
        }
        owner = at;
        return false;
    });
    return owner;
}

// The focusable rows of `row`'s tree, in index order: calls `visit(index)`, stopping at false.
template <class Visit>
void forEachTreeRow(WidgetLayoutTree tree, std::size_t row, Visit&& visit) {
    const std::optional<std::size_t> owner = treeOf(tree, row);
    const std::size_t begin = owner ? *owner + 1 : 0;
    const std::size_t end = owner ? widgetSubtreeEnd(tree, *owner) : tree.size();
    for (std::size_t i = begin; i < end; ++i) {
        if (isCanvasWidgetTreeRow(tree[i]) && treeOf(tree, i) == owner && focusable(tree, i) && !visit(i)) return;
    }
}

bool expanded(const WidgetLayoutNode& node) { return node.expanded.has_value() && *node.expanded; }

}  // namespace

bool canvasWidgetSpatialFocusAllowed(WidgetLayoutTree tree, std::size_t from, std::size_t to,
                                     WidgetFocusDirection direction) {
    if (from >= tree.size() || to >= tree.size() || tree[from].kind != tree[to].kind) return false;
    const bool siblings = sameParent(tree[from], tree[to]);
    using K = WidgetKind;
    switch (tree[from].widgetKind()) {
        case K::radio:
            return siblings;
        case K::segmented_control:
            return siblings && isHorizontal(direction);
        case K::menu_item:
        case K::list_item:
            return siblings && isVertical(direction);
        case K::data_cell:
            return true;
        case K::button:
        case K::icon_button: {
            const std::optional<WidgetKind> parent = parentKind(tree, from);
            return siblings && isHorizontal(direction) && parent &&
                   kindIn(*parent, {K::row_a, K::spaced_row, K::row_b});
        }
        case K::toggle_button: {
            const std::optional<WidgetKind> parent = parentKind(tree, from);
            return siblings && isHorizontal(direction) && parent && kindIn(*parent, {K::spaced_row, K::row_d});
        }
        default:
            return false;
    }
}

std::optional<std::size_t> canvasWidgetGroupDirectionalFocusTarget(WidgetLayoutTree tree, std::size_t index,
                                                                   WidgetFocusDirection direction) {
    if (index >= tree.size()) return std::nullopt;
    const std::optional<GroupAxes> axes = groupAxes(tree, index);
    if (!axes || !((axes->horizontal && isHorizontal(direction)) || (axes->vertical && isVertical(direction)))) {
        return std::nullopt;
    }
    if (direction == WidgetFocusDirection::right || direction == WidgetFocusDirection::down) {
        for (std::size_t i = index + 1; i < tree.size(); ++i) {
            if (groupSibling(tree, index, i)) return i;
        }
    } else {
        for (std::size_t i = index; i-- > 0;) {
            if (groupSibling(tree, index, i)) return i;
        }
    }
    return index;
}

std::optional<std::size_t> canvasWidgetGroupFocusEdgeTarget(WidgetLayoutTree tree, std::size_t index, bool toEnd) {
    if (index >= tree.size() || !groupAxes(tree, index)) return std::nullopt;
    std::optional<std::size_t> edge;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (i != index && !groupSibling(tree, index, i)) continue;
        if (i == index && !focusable(tree, i)) continue;
        if (!edge || toEnd) edge = i;
        if (!toEnd) break;
    }
    return edge;
}

bool isCanvasWidgetTreeRow(const WidgetLayoutNode& node) {
    return (node.role & 0x1Fu) == static_cast<std::uint8_t>(WidgetSemanticRole::treeitem);
}

std::optional<std::size_t> canvasWidgetTreeFirstChildRow(WidgetLayoutTree tree, std::size_t row) {
    if (row >= tree.size()) return std::nullopt;
    const std::size_t end = widgetSubtreeEnd(tree, row);
    for (std::size_t i = row + 1; i < end; ++i) {
        if (isCanvasWidgetTreeRow(tree[i]) && focusable(tree, i)) return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> canvasWidgetTreeParentRow(WidgetLayoutTree tree, std::size_t row) {
    if (row >= tree.size()) return std::nullopt;
    std::optional<std::size_t> parent;
    forEachWidgetAncestor(tree, row, [&](std::size_t at) {
        if (!isCanvasWidgetTreeRow(tree[at]) || !focusable(tree, at)) return true;
        parent = at;
        return false;
    });
    return parent;
}

std::optional<std::size_t> canvasWidgetTreeAdjacentRow(WidgetLayoutTree tree, std::size_t row, bool forward) {
    if (row >= tree.size() || !isCanvasWidgetTreeRow(tree[row])) return std::nullopt;
    std::optional<std::size_t> before, after;
    forEachTreeRow(tree, row, [&](std::size_t i) {
        if (i < row) before = i;
        if (i > row) after = i;
        return i <= row;
    });
    const std::optional<std::size_t> target = forward ? after : before;
    return target ? target : std::optional(row);
}

std::optional<std::size_t> canvasWidgetTreeFocusEdgeTarget(WidgetLayoutTree tree, std::size_t row, bool toEnd) {
    if (row >= tree.size() || !isCanvasWidgetTreeRow(tree[row])) return std::nullopt;
    std::optional<std::size_t> edge;
    forEachTreeRow(tree, row, [&](std::size_t i) {
        edge = i;
        return toEnd;
    });
    return edge;
}

std::optional<std::size_t> canvasWidgetTreeDirectionalFocusTarget(WidgetLayoutTree tree, std::size_t row,
                                                                  WidgetFocusDirection direction) {
    if (row >= tree.size() || !isCanvasWidgetTreeRow(tree[row])) return std::nullopt;
    switch (direction) {
        case WidgetFocusDirection::right:
            return expanded(tree[row]) ? canvasWidgetTreeFirstChildRow(tree, row) : std::nullopt;
        case WidgetFocusDirection::left:
            return expanded(tree[row]) ? std::nullopt : canvasWidgetTreeParentRow(tree, row);
        case WidgetFocusDirection::up:
            return canvasWidgetTreeAdjacentRow(tree, row, false);
        case WidgetFocusDirection::down:
            return canvasWidgetTreeAdjacentRow(tree, row, true);
        default:
            return std::nullopt;
    }
}

std::optional<std::size_t> canvasWidgetArrowFocusTarget(WidgetLayoutTree tree, std::size_t index,
                                                        WidgetFocusDirection direction) {
    if (index >= tree.size()) return std::nullopt;
    if (const auto group = canvasWidgetGroupDirectionalFocusTarget(tree, index, direction)) return group;
    if (const auto row = canvasWidgetTreeDirectionalFocusTarget(tree, index, direction)) return row;
    const WidgetFocusTarget spatial = widgetLayoutFocusTarget(tree, tree[index].id, direction);
    if (!spatial.found || spatial.index >= tree.size()) return std::nullopt;
    const std::size_t to = static_cast<std::size_t>(spatial.index);
    if (!canvasWidgetSpatialFocusAllowed(tree, index, to, direction)) return std::nullopt;
    return to;
}

}  // namespace kelvo
