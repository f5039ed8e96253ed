#pragma once

// The per-frame tick of a GPU canvas view. The platform sends a frame event at the display's pace
// once a frame was asked for; the tick records the frame's timing, moves what animates (scroll
// momentum and overscroll, split dividers, the toggle animation), sends the queued scroll and
// resize events, plans and presents the frame, hands the scroll views to the platform's scroll
// drivers, tells the application, measures input latency and publishes the accessibility that
// waited for the frame. Whatever still moves asks for exactly the next frame; a view at rest asks
// for none.

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

// The tick of the view `frame` names. A frame for no view still reaches the application and
// flushes deferred accessibility. Errors: WindowNotFound when a moving view's window is gone,
// the frame request's errors (but UnsupportedService), the plan's and the event deliveries'.
Status dispatchGpuSurfaceFrame(Runtime& runtime, const AppBinding& binding, const GpuSurfaceFrame& frame);

}  // namespace kelvo
