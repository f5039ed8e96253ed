#include "runtime/canvas/view_canvas.hpp"

#include "runtime/views/view_table.hpp"

namespace kelvo {

void resetCanvasViewState(RuntimeView& view) { view.canvas = CanvasViewState{}; }

CanvasViewInfo canvasViewInfo(const RuntimeView& view) {
    CanvasViewInfo info;
    info.canvasRevision = view.canvas.revision;
    info.canvasCommandCount = view.canvas.commandCount;
    info.widgetRevision = view.canvas.widgetRevision;
    info.widgetNodeCount = view.canvas.widgetNodeCount;
    return info;
}

CanvasWidgetRenderState canvasWidgetRenderState(const RuntimeView&) { return {}; }

Status invalidateForCanvasWidgetRenderStateChange(Runtime&, std::size_t, const CanvasWidgetRenderState&,
                                                  const CanvasWidgetRenderState&) {
    return {};
}

void rebindMovedCanvasView(Runtime&, std::size_t) {}

}  // namespace kelvo
