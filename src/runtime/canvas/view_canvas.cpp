#include "runtime/canvas/view_canvas.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

void resetCanvasViewState(RuntimeView& view) { view.canvas = CanvasViewState{}; }

CanvasViewInfo canvasViewInfo(const RuntimeView& view) {
    CanvasViewInfo info;
    info.canvasRevision = view.canvas.revision;
    info.canvasCommandCount = view.canvas.commandCount;
    info.widgetRevision = view.canvas.widgetRevision;
    info.widgetNodeCount = view.canvas.widgetNodeCount;
    info.contextMenuItemCount = view.canvas.contextMenuItemCount;
    return info;
}

CanvasWidgetRenderState canvasWidgetRenderState(const RuntimeView& view) {
    CanvasWidgetRenderState state;
    if (view.canvas.invalidationFaultForTests && view.focused) state.focusedWidget = 0;
    return state;
}

Status invalidateForCanvasWidgetRenderStateChange(Runtime& runtime, std::size_t viewIndex,
                                                  const CanvasWidgetRenderState&, const CanvasWidgetRenderState&) {
    if (std::optional<Error> fault = runtime.views[viewIndex].canvas.invalidationFaultForTests) return fail(*fault);
    return {};
}

void rebindMovedCanvasView(Runtime&, std::size_t) {}

}  // namespace kelvo
