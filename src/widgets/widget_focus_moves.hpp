#pragma once

// Where arrow, Home and End keys move the keyboard focus inside a widget group (radio set,
// segmented control, menu, list, button row), inside a tree, or across the view, and which
// pairs of widgets a spatial move may join. Results are node indices.

#include <cstddef>
#include <optional>

#include "widgets/widget_description.hpp"
#include "widgets/widget_routing.hpp"

namespace kelvo {

// Whether a spatial move in `direction` may go from node `from` to node `to`: only between two
// nodes of the same kind, by the kind's rule (radios, segmented items, menu and list items,
// data cells, buttons in button rows, toggle buttons in toggle rows).
bool canvasWidgetSpatialFocusAllowed(WidgetLayoutTree tree, std::size_t from, std::size_t to,
                                     WidgetFocusDirection direction);

// The group move from the focused node `index` in `direction`: none when the node and its parent
// form no group or the direction is not the group's; otherwise the nearest focusable sibling of
// the same kind that way, or `index` itself at either end.
std::optional<std::size_t> canvasWidgetGroupDirectionalFocusTarget(WidgetLayoutTree tree, std::size_t index,
                                                                   WidgetFocusDirection direction);
// The first (or, `toEnd`, last) focusable sibling of the group node `index`; none outside a group.
std::optional<std::size_t> canvasWidgetGroupFocusEdgeTarget(WidgetLayoutTree tree, std::size_t index, bool toEnd);

// Tree rows are nodes with the tree item role; a row belongs to its nearest tree ancestor.
bool isCanvasWidgetTreeRow(const WidgetLayoutNode& node);
std::optional<std::size_t> canvasWidgetTreeFirstChildRow(WidgetLayoutTree tree, std::size_t row);
std::optional<std::size_t> canvasWidgetTreeParentRow(WidgetLayoutTree tree, std::size_t row);
// The previous (or next) focusable row of the row's tree; `row` itself at either end.
std::optional<std::size_t> canvasWidgetTreeAdjacentRow(WidgetLayoutTree tree, std::size_t row, bool forward);
// The first (or last) focusable row of the row's tree.
std::optional<std::size_t> canvasWidgetTreeFocusEdgeTarget(WidgetLayoutTree tree, std::size_t row, bool toEnd);
// The tree move from row `row`: right into an expanded row's first child row, left from a row
// that is not expanded to its parent row, up and down to the adjacent row. None when there is
// no tree target (or `row` is no tree row).
std::optional<std::size_t> canvasWidgetTreeDirectionalFocusTarget(WidgetLayoutTree tree, std::size_t row,
                                                                  WidgetFocusDirection direction);

// The arrow-key move from the focused node `index`: a group move, else a tree move, else a
// spatial move across the view that the spatial rule admits. None when the focus does not move
// (a group or tree move that stays answers `index`).
std::optional<std::size_t> canvasWidgetArrowFocusTarget(WidgetLayoutTree tree, std::size_t index,
                                                        WidgetFocusDirection direction);

}  // namespace kelvo
