#pragma once

// Walks and queries over a layout tree. Every upward walk stops at a root, at a parent index that
// is out of range or not before its child (a self-parent or a cycle), and after as many steps as
// the deepest tree has levels, so a malformed tree cannot make a walk loop.

#include <cstddef>
#include <optional>

#include "widgets/widget_description.hpp"

namespace kelvo {

// The deepest depth a node may have; semantics refuse deeper nodes.
inline constexpr std::size_t kMaxWidgetDepth = 31;
// No ancestor walk takes more steps than this.
inline constexpr std::size_t kMaxWidgetAncestorSteps = kMaxWidgetDepth + 1;

// The parent of node `index` when it has a usable one: set, in range and before the node.
std::optional<std::size_t> widgetParentIndex(WidgetLayoutTree tree, std::size_t index);

// Calls `visit(ancestor index)` from the parent of `index` upward until `visit` returns false or
// the walk ends (see above).
template <class Visit>
void forEachWidgetAncestor(WidgetLayoutTree tree, std::size_t index, Visit&& visit) {
    std::optional<std::size_t> at = widgetParentIndex(tree, index);
    for (std::size_t steps = 0; at && steps < kMaxWidgetAncestorSteps; ++steps) {
        if (!visit(*at)) return;
        at = widgetParentIndex(tree, *at);
    }
}

// One past the last descendant of node `index` (descendants follow it with a greater depth).
std::size_t widgetSubtreeEnd(WidgetLayoutTree tree, std::size_t index);

// Scroll views always clip their children to their rectangle; other nodes when `clips` is set.
inline bool widgetClipsChildren(const WidgetDescription& node) {
    return node.widgetKind() == WidgetKind::scroll_view || (node.clips & 1u) != 0;
}

WidgetStateBytes widgetStateBytes(const WidgetDescription& widget);

// Whether the node or one of its ancestors is hidden; true for an index out of range.
bool isWidgetHiddenHereOrAbove(WidgetLayoutTree tree, std::size_t index);

// Whether the accordion at `index` hides its content: it is closed (not selected and its value below
// 0.5 or not a number), or its in-flow descendants reach more than 0.5 below its bottom edge.
bool widgetAccordionConcealsContent(WidgetLayoutTree tree, std::size_t index);

// Whether an ancestor accordion hides node `index`: it is closed (not selected and its value below
// 0.5 or not a number), or its in-flow descendants still reach more than 0.5 below its bottom
// edge (it is animating closed). False for an index out of range or a node without a parent.
bool isWidgetConcealedByDisclosure(WidgetLayoutTree tree, std::size_t index);

}  // namespace kelvo
