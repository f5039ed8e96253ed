#pragma once

// The keyboard side of a canvas view's widgets: moving the focus from the keyboard, closing
// surfaces (by index, by Escape, when the focus leaves a menu), and the keyboard entry that turns
// one key into a focus move, a dismissal, a control change or a scroll.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "raster/canvas_geometry.hpp"
#include "runtime/canvas/view_canvas_state.hpp"

namespace kelvo {

struct Runtime;

// Focuses widget `newId` (0: none) from the keyboard, with a visible focus. A text entry focused
// this way without a selection gets its caret at the end of its text. The widgets whose state
// changed since `previous` are repainted. Whether the focused widget changed.
Result<bool> setCanvasWidgetFocusFromKeyboardMoved(Runtime& runtime, std::size_t viewIndex,
                                                   const CanvasWidgetRenderState& previous, std::uint64_t newId);

// A closed surface: the area it left (view coordinates) and the focus after it closed.
struct CanvasWidgetDismissal {
    std::optional<Rect> dirty;
    std::uint64_t focused = 0;
    bool focusChanged = false;
};

// Hides the open surface at `index`; focus inside it goes back to its trigger, hover and press
// inside it end. None when the index is past the tree or the node is hidden already.
Result<std::optional<CanvasWidgetDismissal>> dismissCanvasWidgetSurfaceAtIndex(Runtime& runtime, std::size_t viewIndex,
                                                                               std::size_t index);
// Escape: the surface around (or owned on the way up from) the focused widget, else the topmost
// open one. Nothing while the focused text entry composes text.
Result<std::optional<CanvasWidgetDismissal>> dismissCanvasWidgetSurfaceFromEscape(Runtime& runtime,
                                                                                  std::size_t viewIndex,
                                                                                  std::uint64_t focusedId);
// The focus left `departingId`: a menu found for it the way Escape finds one closes, unless the
// focus now lies inside that menu.
Result<std::optional<CanvasWidgetDismissal>> dismissCanvasWidgetMenuSurfaceForFocusDeparture(Runtime& runtime,
                                                                                             std::size_t viewIndex,
                                                                                             std::uint64_t departingId);
// The focus is about to leave `focusedId` by Tab: a menu found for it the way Escape finds one
// closes, with the focus inside it going back to its trigger.
Result<std::optional<CanvasWidgetDismissal>> dismissCanvasWidgetMenuSurfaceBeforeTab(Runtime& runtime,
                                                                                     std::size_t viewIndex,
                                                                                     std::uint64_t focusedId);

// One key-down of the focused canvas view at `viewIndex`, in this order: Escape closes a surface;
// Tab and Shift+Tab close an open menu around or owned by the focused widget, then move the focus
// through the tree from where the menu left it; keys of a focused text entry go to text
// editing; a slider or split divider takes its keyboard value; a scroll view scrolls; space and
// enter toggle or select; arrow keys open into a trigger's menu, then move the focus in a group,
// a tree or across the view; Home and End go to a group's or tree's ends. Whether the key was
// used.
Result<bool> applyCanvasWidgetKeyboardNavigation(Runtime& runtime, std::size_t viewIndex, const GpuSurfaceInput& input);

}  // namespace kelvo
