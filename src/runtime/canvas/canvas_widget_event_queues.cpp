#include "runtime/canvas/canvas_widget_event_queues.hpp"

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

// Takes the queue's ids out first: a handler that changes widgets may queue new ones, which wait
// for the next drain.
template <std::size_t N>
FixedVec<std::uint64_t, N> takeQueue(FixedVec<std::uint64_t, N>& queue) {
    FixedVec<std::uint64_t, N> taken = queue;
    queue.clear();
    return taken;
}

}  // namespace

Status dispatchPendingCanvasWidgetScrollEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return {};
    const RuntimeView& view = runtime.views[viewIndex];
    for (std::uint64_t id : takeQueue(slot->queues.scroll)) {
        const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, id);
        if (!index) continue;
        const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot->tree, *index);
        if (!geometry) continue;
        TRY(dispatchEvent(
            runtime, binding,
            RuntimeEvent(CanvasWidgetScrollEvent{view.windowId, view.label.view(), id, slot->tree.nodes[*index].value,
                                                 geometry->viewport, geometry->content})));
    }
    return {};
}

Status dispatchPendingCanvasWidgetResizeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return {};
    const RuntimeView& view = runtime.views[viewIndex];
    for (std::uint64_t id : takeQueue(slot->queues.resize)) {
        const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, id);
        if (!index || slot->tree.nodes[*index].widgetKind() != WidgetKind::split_view) continue;
        TRY(dispatchEvent(runtime, binding,
                          RuntimeEvent(CanvasWidgetResizeEvent{view.windowId, view.label.view(), id,
                                                               slot->tree.nodes[*index].value})));
    }
    return {};
}

}  // namespace kelvo
