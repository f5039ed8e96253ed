#pragma once

// Turning the widget ids a canvas view's changes queued into runtime events. Scrolling and split
// dividers queue ids while they change widgets; input dispatch and the frame tick drain the queues
// once the changes are done, so one gesture tells the application once per widget.

#include <cstddef>

#include "base/error.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

// Empties the view's scroll queue and sends canvas_widget_scroll {offset, viewport, content
// extent} for each queued scroll view that still scrolls. Nothing for a view that is not a canvas
// view; the first delivery error ends it (the rest of the queue is dropped with it), and so does
// a handler that closes the view.
Status dispatchPendingCanvasWidgetScrollEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex);

// Empties the view's resize queue and sends canvas_widget_resize {size} for each queued split
// view, the size being its divider fraction.
Status dispatchPendingCanvasWidgetResizeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex);

// Empties the view's change queue and sends canvas_widget_change {value} for each queued slider.
Status dispatchPendingCanvasWidgetChangeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex);

}  // namespace kelvo
