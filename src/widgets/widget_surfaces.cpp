#include "widgets/widget_surfaces.hpp"

#include "widgets/widget_routing.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

bool isMenuKind(WidgetKind kind) { return kind == WidgetKind::menu || kind == WidgetKind::menu_b; }

bool isOwnedSurface(const WidgetLayoutNode& node) { return (node.out_of_flow & 1u) != 0 && isOpenWidgetSurface(node); }

bool isChildOf(const WidgetLayoutNode& node, std::size_t parent) {
    return (node.has_parent & 1u) != 0 && node.parent == parent;
}

// The last open out-of-flow surface child of `parent` when it is a menu.
std::optional<std::size_t> ownedMenuAmongChildren(WidgetLayoutTree tree, std::size_t parent) {
    std::optional<std::size_t> last;
    const std::size_t end = widgetSubtreeEnd(tree, parent);
    for (std::size_t i = parent + 1; i < end; ++i) {
        if (isChildOf(tree[i], parent) && isOwnedSurface(tree[i])) last = i;
    }
    if (last && isMenuKind(tree[*last].widgetKind())) return last;
    return std::nullopt;
}

bool focusable(WidgetLayoutTree tree, std::size_t index) { return focusTargetFromLayoutNode(tree, index).found; }

}  // namespace

bool isWidgetSurfaceKind(WidgetKind kind) {
    switch (kind) {
        case WidgetKind::dialog:
        case WidgetKind::drawer:
        case WidgetKind::sheet:
        case WidgetKind::popover:
        case WidgetKind::menu:
        case WidgetKind::menu_b:
        case WidgetKind::tooltip:
            return true;
        default:
            return false;
    }
}

bool isOpenWidgetSurface(const WidgetLayoutNode& node) {
    return isWidgetSurfaceKind(node.widgetKind()) && (node.hidden & 1u) == 0;
}

std::optional<std::size_t> canvasWidgetOwnedMenuSurfaceIndex(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return std::nullopt;
    if (const auto own = ownedMenuAmongChildren(tree, index)) return own;
    const std::optional<std::size_t> parent = widgetParentIndex(tree, index);
    if (!parent) return std::nullopt;
    const std::optional<std::size_t> sibling = ownedMenuAmongChildren(tree, *parent);
    return sibling && *sibling != index ? sibling : std::nullopt;
}

std::optional<std::uint64_t> canvasWidgetMenuSurfaceEntryId(WidgetLayoutTree tree, std::size_t index) {
    const std::optional<std::size_t> menu = canvasWidgetOwnedMenuSurfaceIndex(tree, index);
    if (!menu) return std::nullopt;
    std::optional<std::uint64_t> first;
    const std::size_t end = widgetSubtreeEnd(tree, *menu);
    for (std::size_t i = *menu + 1; i < end; ++i) {
        const WidgetKind kind = tree[i].widgetKind();
        if ((kind != WidgetKind::menu_item && kind != WidgetKind::list_item) || tree[i].id == 0 ||
            !focusable(tree, i)) {
            continue;
        }
        if ((tree[i].selected & 1u) != 0) return tree[i].id;
        if (!first) first = tree[i].id;
    }
    return first;
}

std::optional<std::uint64_t> canvasWidgetAnchorTriggerFocusId(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size() || (tree[index].out_of_flow & 1u) == 0) return std::nullopt;
    const std::optional<std::size_t> parent = widgetParentIndex(tree, index);
    if (!parent) return std::nullopt;
    if (tree[*parent].id != 0 && focusable(tree, *parent)) return tree[*parent].id;
    const std::size_t end = widgetSubtreeEnd(tree, *parent);
    for (std::size_t i = *parent + 1; i < end; ++i) {
        if (i != index && isChildOf(tree[i], *parent) && focusable(tree, i)) return tree[i].id;
    }
    return std::nullopt;
}

std::optional<std::size_t> canvasWidgetSurfaceForNode(WidgetLayoutTree tree, std::size_t index) {
    if (index >= tree.size()) return std::nullopt;
    const auto surfaceAt = [&](std::size_t at) -> std::optional<std::size_t> {
        if (isWidgetSurfaceKind(tree[at].widgetKind())) {
            return isOpenWidgetSurface(tree[at]) ? std::optional(at) : std::nullopt;
        }
        std::optional<std::size_t> owned;
        const std::size_t end = widgetSubtreeEnd(tree, at);
        for (std::size_t i = at + 1; i < end; ++i) {
            if (isChildOf(tree[i], at) && isOwnedSurface(tree[i])) owned = i;
        }
        return owned;
    };
    std::optional<std::size_t> found = surfaceAt(index);
    if (found) return found;
    forEachWidgetAncestor(tree, index, [&](std::size_t at) {
        found = surfaceAt(at);
        return !found;
    });
    return found;
}

std::optional<std::size_t> canvasWidgetTopmostOpenSurface(WidgetLayoutTree tree) {
    for (std::size_t i = tree.size(); i-- > 0;) {
        if (isOpenWidgetSurface(tree[i]) && !isWidgetHiddenHereOrAbove(tree, i)) return i;
    }
    return std::nullopt;
}

}  // namespace kelvo
