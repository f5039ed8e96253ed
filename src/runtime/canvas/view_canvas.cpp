#include "runtime/canvas/view_canvas.hpp"

#include <algorithm>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/runtime.hpp"
#include "widgets/widget_invalidation.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

WidgetLayoutTree treeOf(const Runtime& runtime, const RuntimeView& view) {
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    return slot != nullptr ? slot->tree.tree() : WidgetLayoutTree{};
}

std::optional<std::uint64_t> present(std::uint64_t id) { return id != 0 ? std::optional(id) : std::nullopt; }

// A press counts for the nearest widget from the pressed one upwards that reacts to it: an
// enabled widget with an id that presses or toggles or shows hover.
std::uint64_t pressedTarget(WidgetLayoutTree tree, std::uint64_t pressed) {
    const auto reacts = [&](std::size_t i) {
        const WidgetLayoutNode& node = tree[i];
        return node.id != 0 && (node.disabled & 1u) == 0 &&
               ((node.actions.press & 1u) != 0 || (node.actions.toggle & 1u) != 0 ||
                isHoverTargetKind(node.widgetKind()));
    };
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].id != pressed) continue;
        if (reacts(i)) return tree[i].id;
        std::uint64_t found = pressed;
        forEachWidgetAncestor(tree, i, [&](std::size_t ancestor) {
            if (!reacts(ancestor)) return true;
            found = tree[ancestor].id;
            return false;
        });
        return found;
    }
    return pressed;
}

}  // namespace

void resetCanvasViewState(RuntimeView& view) { view.canvas = CanvasViewState{}; }

CanvasViewInfo canvasViewInfo(const RuntimeView& view) {
    CanvasViewInfo info;
    info.canvasRevision = view.canvas.revision;
    info.canvasCommandCount = view.canvas.commandCount;
    info.widgetRevision = view.canvas.widgetRevision;
    info.widgetNodeCount = view.canvas.widgetNodeCount;
    info.semanticsCount = view.canvas.semanticsCount;
    info.contextMenuItemCount = view.canvas.contextMenuItemCount;
    info.cursor = view.canvas.interaction.cursor;
    const CanvasFrameTickState& tick = view.canvas.tick;
    info.gpuFrameCount = tick.frameIndex;
    info.gpuTimestampNs = tick.frameTimeNs;
    info.gpuFrameIntervalNs = tick.frameIntervalNs;
    info.gpuInputTimestampNs = view.canvas.interaction.lastInputNs;
    info.gpuInputLatencyNs = tick.inputLatencyNs;
    info.gpuInputLatencyBudgetNs = tick.inputLatencyBudgetNs;
    info.gpuInputLatencyBudgetExceededCount = tick.inputLatencyBudgetExceededCount;
    info.gpuInputLatencyBudgetOk = tick.inputLatencyBudgetOk;
    info.gpuFirstFrameLatencyNs = tick.firstFrameLatencyNs;
    info.gpuFirstFrameLatencyBudgetNs = tick.firstFrameBudgetNs;
    info.gpuFirstFrameLatencyBudgetExceededCount = tick.firstFrameBudgetExceededCount;
    info.gpuFirstFrameLatencyBudgetOk = tick.firstFrameBudgetOk;
    info.gpuNonblank = tick.nonblank;
    info.gpuSampleColor = tick.sampleColor;
    info.frame = view.canvas.frameInfo;
    info.present = view.canvas.present.info;
    return info;
}

std::uint64_t canvasAnimationStartNs(const RuntimeView& view) {
    return std::max(view.canvas.tick.frameTimeNs, view.canvas.interaction.lastInputNs);
}

CanvasWidgetRenderState canvasWidgetRenderState(const Runtime& runtime, const RuntimeView& view) {
    const CanvasInteraction& ids = view.canvas.interaction;
    CanvasWidgetRenderState state;
    if (view.focused) state.focused = present(ids.focusedWidget);
    if (state.focused && ids.focusVisibleWidget == *state.focused) state.focus_visible = state.focused;
    state.hovered = present(ids.hoveredWidget);
    if (ids.pressedWidget != 0) state.pressed = pressedTarget(treeOf(runtime, view), ids.pressedWidget);
    if (ids.shortIdsActive) state.ids = {ids.shortIds.data(), std::min<std::size_t>(ids.shortIdCount, 8)};
    if (state.hovered && ids.chartHoverPointer) state.pointer = Point{ids.pointerX, ids.pointerY};
    return state;
}

bool sameCanvasWidgetRenderState(const CanvasWidgetRenderState& a, const CanvasWidgetRenderState& b) {
    const auto samePointer = [](const std::optional<Point>& p, const std::optional<Point>& q) {
        return p.has_value() == q.has_value() && (!p || (p->x == q->x && p->y == q->y));
    };
    return a.focused == b.focused && a.focus_visible == b.focus_visible && a.hovered == b.hovered &&
           a.pressed == b.pressed && std::ranges::equal(a.ids, b.ids) && samePointer(a.pointer, b.pointer);
}

std::optional<Rect> canvasWidgetDirtyBounds(const Runtime& runtime, const RuntimeView& view, std::size_t nodeIndex,
                                            Rect rect) {
    if (rectIsEmpty(rect)) return std::nullopt;
    return widgetClippedDirtyBounds(treeOf(runtime, view), nodeIndex, rect);
}

Status refreshCanvasWidgetSemantics(Runtime& runtime, RuntimeView& view) {
    CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr) return fail(Error::UnsupportedViewKind);
    CanvasSemanticsStore& store = slot->semantics;
    const std::uint8_t hidden = store.shown ^ 1u;
    const std::size_t count = TRY(collectSemantics(slot->tree.tree(), store.lists[hidden]));
    store.shown = hidden;
    store.count = static_cast<std::uint32_t>(count);
    view.canvas.semanticsCount = count;
    return {};
}

void rebindMovedCanvasView(Runtime& runtime, std::size_t newIndex) {
    // A batch's marks belong to views, not to places in the table: they move with the record.
    CanvasRefreshBatch& batch = runtime.canvasBatch;
    if (newIndex + 1 >= kCanvasBatchViews) return;
    batch.refreshPending[newIndex] = std::exchange(batch.refreshPending[newIndex + 1], false);
    batch.accessibilityPending[newIndex] = std::exchange(batch.accessibilityPending[newIndex + 1], false);
}

}  // namespace kelvo
