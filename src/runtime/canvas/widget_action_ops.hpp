#pragma once

// The direct operations on one canvas widget that accessibility actions and automation's
// "widget-action" share: focus, select, set or edit a text entry's text, a key press, a drag,
// a file drop and dismissing the surface around a widget. Each names its view by index and its
// widget by id, checks the widget first (InvalidCommand for a missing, hidden, invisible,
// disabled or unsuitable widget; ViewNotFound for an index past the view table) and ends by
// repainting what it changed. Input they synthesise goes through the platform-event dispatch,
// exactly as a person's input would; since a handler may close views during it, views are looked
// up again by window and label after every dispatch.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "widgets/text_edit.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

// Gives the view the window's focus and the widget's focus target the keyboard focus (visibly
// so for a text entry).
Status focusAutomationCanvasWidget(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId);

// Selects a menu item, list item, data cell, segmented item or radio, focusing it first when it
// takes focus.
Status selectAutomationCanvasWidget(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId);

// Replaces a text entry's whole text as typing would: select all, then the text typed in one
// insertion (or a backspace for an empty text). A text area also takes line feeds, carriage
// returns and tabs, inserted as a paste inserts them. A text the entry does not take (other
// control characters, or any of those in a one-line entry), one past the edit limit or one the
// view's text store has no room for is refused before anything changes, focus included.
Status setAutomationCanvasWidgetText(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                     std::uint64_t widgetId, std::string_view text);

// Applies one edit (selection, composition) to a focused text entry.
Status editAutomationCanvasWidgetText(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                      const TextEditRequest& edit);

// Focuses the widget and presses `key` ("enter", "space", "arrowright", ...) without modifiers.
Status dispatchAutomationWidgetKey(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                   std::uint64_t widgetId, std::string_view key);

// Drags the pressed widget by "dx dy" points (empty: 16 to the right) from its centre.
Status dispatchAutomationCanvasWidgetDrag(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                          std::uint64_t widgetId, std::string_view argument);

// Drops the whitespace-separated paths (1 to 4,097) on the middle of the widget.
Status dispatchAutomationCanvasWidgetFileDrop(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                              std::uint64_t widgetId, std::string_view argument);

// Closes the nearest open surface (dialog, drawer, sheet, popover, menu, tooltip) at or above the
// widget, or owned by a node on the way up, and tells the application (canvas_widget_dismiss).
Status dismissAutomationCanvasWidget(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                     std::uint64_t widgetId);

// Splits an action's argument at space, TAB, LF and CR into `out`; the word count, or none when
// there are more words than room.
std::optional<std::size_t> canvasActionArgumentWords(std::string_view text, std::span<std::string_view> out);

// The pointer, wheel or key input a person would give the view at `viewIndex`, stamped with the
// wall clock (0 without one): window id, label (borrowed from the view record) and kind;
// everything else empty.
GpuSurfaceInput canvasViewInput(const Runtime& runtime, std::size_t viewIndex, GpuSurfaceInputKind kind);

}  // namespace kelvo
