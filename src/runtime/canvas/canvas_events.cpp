#include "runtime/canvas/canvas_events.hpp"

#include "runtime/canvas/canvas_widget_accessibility.hpp"

#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

// Until frames are planned here, a tick ends the view's wait for the frame its refresh asked
// for, tells the application, and publishes the accessibility that waited for the frame.
Status dispatchGpuSurfaceFrame(Runtime& runtime, const AppBinding& binding, const GpuSurfaceFrame& frame) {
    if (std::optional<std::size_t> view = findViewIndex(runtime, frame.windowId, frame.label)) {
        runtime.views[*view].canvas.frameRequested = false;
    }
    TRY(dispatchEvent(runtime, binding, RuntimeEvent(frame)));
    return flushDeferredCanvasWidgetAccessibility(runtime);
}

void noteGpuSurfaceResized(RuntimeView& view, bool sizeOrScaleChanged) {
    view.canvas.fullFrameDue = true;
    if (sizeOrScaleChanged) ++view.canvas.sizeGeneration;
}

// Without widgets there is no scroll view a driver could move; the view must exist all the same.
Status applyGpuSurfaceScrollDriver(Runtime& runtime, const AppBinding&, const GpuSurfaceScrollDriverEvent& event) {
    if (!findViewIndex(runtime, event.windowId, event.label)) return fail(Error::ViewNotFound);
    return {};
}

std::optional<std::uint64_t> canvasWidgetFileDropTarget(const Runtime&, std::size_t, float, float) {
    return std::nullopt;
}

}  // namespace kelvo
