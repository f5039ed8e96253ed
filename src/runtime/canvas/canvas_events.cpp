#include "runtime/canvas/canvas_events.hpp"

#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

// Without widgets no input has a target; the application still hears of it.
Status dispatchGpuSurfaceInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    return dispatchEvent(runtime, binding, RuntimeEvent(input));
}

void noteGpuSurfaceResized(RuntimeView& view, bool sizeOrScaleChanged) {
    view.canvas.fullFrameDue = true;
    if (sizeOrScaleChanged) ++view.canvas.sizeGeneration;
}

std::optional<std::uint64_t> canvasWidgetFileDropTarget(const Runtime&, std::size_t, float, float) {
    return std::nullopt;
}

}  // namespace kelvo
