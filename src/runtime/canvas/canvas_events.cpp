#include "runtime/canvas/canvas_events.hpp"

#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

void noteGpuSurfaceResized(RuntimeView& view, bool sizeOrScaleChanged) {
    view.canvas.fullFrameDue = true;
    if (sizeOrScaleChanged) ++view.canvas.sizeGeneration;
}

std::optional<std::uint64_t> canvasWidgetFileDropTarget(const Runtime&, std::size_t, float, float) {
    return std::nullopt;
}

}  // namespace kelvo
