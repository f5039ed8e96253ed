#pragma once

// Turning a canvas view's queued widget ids into runtime events: each queue is emptied before its
// events go out, so an application handler that changes the widgets again queues afresh.

#include <cstddef>

#include "base/error.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

// canvas_widget_scroll for each queued scroll view that still has a viewport above 0.
Status dispatchPendingCanvasWidgetScrollEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex);
// canvas_widget_resize for each queued split view, with its value.
Status dispatchPendingCanvasWidgetResizeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex);
// canvas_widget_change for each queued slider, with its value.
Status dispatchPendingCanvasWidgetChangeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex);

}  // namespace kelvo
