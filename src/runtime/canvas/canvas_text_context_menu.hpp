#pragma once

// The native context menu of canvas text widgets: building it, showing it through the platform,
// and carrying out the item the user chose.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/types/canvas_records.hpp"
#include "raster/canvas_geometry.hpp"
#include "runtime/canvas/context_menu_state.hpp"

namespace kelvo {

struct Runtime;

inline constexpr std::size_t kMaxTextMenuItems = 5;

// The items of the text menu of node `nodeIndex` into `out`: for an enabled text entry Cut and
// Copy (enabled with a selection), Paste, a separator and Select All (enabled with text); for
// the static text owning the view's selection Copy. Their count (0 for other widgets) and kind.
struct TextMenuItems {
    std::size_t count = 0;
    ContextMenuKind kind = ContextMenuKind::widget;
};
TextMenuItems canvasTextContextMenuItems(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                         std::span<ContextMenuItem, kMaxTextMenuItems> out);

// Asks the platform to show `items` at `position` of the view; the chosen item comes back with
// `target` (the widget's id) as token, and the runtime keeps the open menu until then. A platform
// without context menus shows none; any other failure writes a warning line and shows none.
// Whether the menu is shown.
bool showMenu(Runtime& runtime, std::size_t viewIndex, std::uint64_t target, ContextMenuKind kind, Point position,
              std::span<const ContextMenuItem> items);

// The text menu of a widget at `position`; false when it has none or it was not shown.
bool showCanvasTextContextMenu(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId, Point position);

}  // namespace kelvo
