#pragma once

// Private to src/runtime/canvas: the steps of `dispatchGpuSurfaceInput` and what they hand on.

#include <cstdint>
#include <optional>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "runtime/canvas/canvas_pointer_route.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

struct CanvasInputSteps {
    std::optional<CanvasPointerRoute> route;  // a routed pointer event of a GPU canvas view
    std::uint64_t pressedAtStart = 0;         // the view's pressed widget before this input
    std::uint64_t dismissedSurface = 0;       // the surface a press elsewhere closed
    bool windowDragged = false;
    bool keyboardRecord = false;  // a key down the focused text entry took
    bool keyConsumed = false;     // a key down some widget used
};

bool isPointerInputKind(GpuSurfaceInputKind kind);

// Routing errors that leave the input unrouted rather than failing it.
inline bool leavesInputUnrouted(Error error) {
    return error == Error::WindowNotFound || error == Error::ViewNotFound || error == Error::InvalidViewOptions;
}

// Counts primary presses into clicks and fills the routed event's click count.
void countCanvasPointerClicks(Runtime& runtime, std::size_t viewIndex, const GpuSurfaceInput& input,
                              CanvasPointerRoute& route);
// A press outside the open surface that holds the focus (and outside its anchor) closes it.
Status lightDismissCanvasSurface(Runtime& runtime, std::size_t viewIndex, CanvasInputSteps& steps);
// A primary press on a window drag region (not under an interactive widget) drags the window.
Status startCanvasWindowDrag(Runtime& runtime, std::size_t viewIndex, CanvasInputSteps& steps);
// Controls, hover, caret, wheel and focus for a routed pointer event.
Status applyCanvasPointerToWidgets(Runtime& runtime, std::size_t viewIndex, const GpuSurfaceInput& input,
                                   const CanvasInputSteps& steps);
// The widget commands a press or release sends.
Status activateCanvasPointerCommand(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                    const CanvasInputSteps& steps);
// Keys and text for the focused widget.
Status applyCanvasKeyInput(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                           const GpuSurfaceInput& input, CanvasInputSteps& steps);
// The secondary-button path: context menus, or the events that ask the application for one.
Status dispatchCanvasContextInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input);

// Stores the input's timestamp (when it has one) as the view's pending and last input time, and
// keeps where a pointer or wheel event found the pointer in its view; a leave forgets it.
void noteCanvasInput(Runtime& runtime, const GpuSurfaceInput& input);

}  // namespace kelvo
