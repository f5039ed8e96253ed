#pragma once

// The surfaces of a widget tree (dialogs, drawers, sheets, popovers, menus, tooltips), which are
// out-of-flow nodes placed as children of their trigger: which menu a trigger owns, what takes
// the focus when it opens, what gets the focus back when it closes, and which surface Escape or
// a departing focus closes. Results are node indices or widget ids.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "widgets/widget_description.hpp"

namespace kelvo {

bool isWidgetSurfaceKind(WidgetKind kind);
// A surface node that is not hidden.
bool isOpenWidgetSurface(const WidgetLayoutNode& node);

// The open menu trigger `index` owns: its last open out-of-flow surface child when that is a
// menu; failing that the same among its parent's children (never the trigger itself).
std::optional<std::size_t> canvasWidgetOwnedMenuSurfaceIndex(WidgetLayoutTree tree, std::size_t index);
// The widget to focus when the menu trigger `index` owns opens: its first selected focusable
// menu or list item with an id, else its first such item.
std::optional<std::uint64_t> canvasWidgetMenuSurfaceEntryId(WidgetLayoutTree tree, std::size_t index);
// Where the focus returns from the out-of-flow surface `index`: its parent when focusable, else
// the parent's first other focusable child.
std::optional<std::uint64_t> canvasWidgetAnchorTriggerFocusId(WidgetLayoutTree tree, std::size_t index);

// The surface closed for node `index`: walking up from it, the first open surface, or at a node
// that is no surface, an open out-of-flow surface it owns.
std::optional<std::size_t> canvasWidgetSurfaceForNode(WidgetLayoutTree tree, std::size_t index);
// The open surface with the highest index that is shown (no hidden node above it).
std::optional<std::size_t> canvasWidgetTopmostOpenSurface(WidgetLayoutTree tree);

}  // namespace kelvo
