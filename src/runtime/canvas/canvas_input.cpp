#include "runtime/canvas/canvas_input.hpp"

#include <cmath>

#include "runtime/canvas/canvas_input_steps.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_accessibility.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/canvas_widget_event_queues.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_focus.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {
namespace {

bool isSet(std::uint8_t flag) { return (flag & 1u) != 0; }

std::optional<std::size_t> viewOf(const Runtime& runtime, const GpuSurfaceInput& input) {
    return runtimeFindViewIndex(runtime, input.windowId, input.label);
}

// canvas_widget_drag while the pressed widget can still be dragged where it is.
Status sendDragEvent(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex, const GpuSurfaceInput& input) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    const std::uint64_t pressed = runtime.views[viewIndex].canvas.interaction.pressedWidget;
    if (slot == nullptr || pressed == 0) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    std::optional<std::size_t> index;
    for (std::size_t i = 0; i < tree.size() && !index; ++i) {
        if (tree[i].id == pressed) index = i;
    }
    if (!index) return {};
    const WidgetLayoutNode& node = tree[*index];
    const bool draggable = isSet(node.actions.drag) || isSet(defaultSemanticActions(node).drag);
    if (isSet(node.disabled) || !draggable || isWidgetHiddenHereOrAbove(tree, *index) ||
        isWidgetConcealedByDisclosure(tree, *index) || !canvasWidgetLayoutNodeFrameVisible(tree, *index)) {
        return {};
    }
    std::array<std::uint64_t, kMaxPointerPathEntries> path{};
    const std::size_t count = TRY(canvasWidgetEventPathIds(tree, *index, path));
    CanvasWidgetDragEvent drag;
    drag.windowId = input.windowId;
    drag.label = input.label;
    drag.widgetId = node.id;
    drag.node = canvasWidgetNodeInfo(node, *index);
    drag.x = input.x;
    drag.y = input.y;
    drag.dx = input.dx;
    drag.dy = input.dy;
    drag.button = input.button;
    drag.modifiers = input.modifiers;
    drag.path = {path.data(), count};
    return dispatchEvent(runtime, binding, RuntimeEvent(drag));
}

// The events of one input, in their fixed order, ending with gpu_surface_input.
Status sendInputEvents(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input,
                       const CanvasInputSteps& steps) {
    if (steps.dismissedSurface != 0) {
        TRY(dispatchEvent(runtime, binding,
                          RuntimeEvent(CanvasWidgetDismissEvent{input.windowId, input.label, steps.dismissedSurface})));
    }
    if (steps.route) TRY(dispatchEvent(runtime, binding, RuntimeEvent(steps.route->pointerEvent())));
    if (input.kind == GpuSurfaceInputKind::pointer_drag) {
        if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
            TRY(sendDragEvent(runtime, binding, *view, input));
        }
    }
    if (steps.keyboardRecord) {
        if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
            TRY(sendCanvasWidgetKeyboardEvent(runtime, binding, *view, input));
        }
    } else if (input.kind == GpuSurfaceInputKind::key_down && !steps.keyConsumed) {
        const std::optional<std::size_t> view = viewOf(runtime, input);
        if (view && runtime.views[*view].focused) {
            const KeyModifiers& m = input.modifiers;
            TRY(dispatchEvent(
                runtime, binding,
                RuntimeEvent(CanvasWidgetKeyboardEvent{input.windowId, input.label, 0, input.key, input.text, m.shift,
                                                       m.control, m.option, m.primary || m.command})));
        }
    }
    if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
        TRY(dispatchPendingCanvasWidgetScrollEvents(runtime, binding, *view));
    }
    if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
        TRY(dispatchPendingCanvasWidgetResizeEvents(runtime, binding, *view));
    }
    if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
        TRY(dispatchPendingCanvasWidgetChangeEvents(runtime, binding, *view));
    }
    return dispatchEvent(runtime, binding, RuntimeEvent(input));
}

// Everything between opening and closing the refresh batch.
Status runInputSteps(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    noteCanvasInput(runtime, input);
    if (input.kind == GpuSurfaceInputKind::pointer_down || input.kind == GpuSurfaceInputKind::key_down) {
        TRY(setFocusedView(runtime, input.windowId, input.label));
        markStateDirty(runtime);
    }

    CanvasInputSteps steps;
    if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
        steps.pressedAtStart = runtime.views[*view].canvas.interaction.pressedWidget;
    }
    Result<CanvasPointerRoute> routed = routeCanvasWidgetPointerInput(runtime, input);
    if (!routed && !leavesInputUnrouted(routed.error())) return fail(routed.error());
    if (routed && routed->routed) steps.route = std::move(*routed);

    if (steps.route) {
        const std::size_t view = *steps.route->viewIndex;
        countCanvasPointerClicks(runtime, view, input, *steps.route);
        TRY(lightDismissCanvasSurface(runtime, view, steps));
        TRY(startCanvasWindowDrag(runtime, view, steps));
        if (!steps.windowDragged) TRY(applyCanvasPointerToWidgets(runtime, view, input, steps));
    } else if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
        TRY(applyCanvasKeyInput(runtime, binding, *view, input, steps));
    }
    if (steps.route && !steps.windowDragged) {
        if (const std::optional<std::size_t> view = viewOf(runtime, input)) {
            TRY(activateCanvasPointerCommand(runtime, binding, *view, steps));
        }
    }
    return sendInputEvents(runtime, binding, input, steps);
}

}  // namespace

bool isPointerInputKind(GpuSurfaceInputKind kind) {
    return static_cast<std::uint8_t>(kind) <= static_cast<std::uint8_t>(GpuSurfaceInputKind::pointer_drag);
}

void noteCanvasInput(Runtime& runtime, const GpuSurfaceInput& input) {
    const std::optional<std::size_t> view = viewOf(runtime, input);
    if (!view) return;
    CanvasInteraction& ids = runtime.views[*view].canvas.interaction;
    if (input.timestampNs != 0) {
        ids.pendingInputNs = input.timestampNs;
        ids.lastInputNs = input.timestampNs;
    }
    if (!isPointerInputKind(input.kind) && input.kind != GpuSurfaceInputKind::wheel) return;
    if (input.kind == GpuSurfaceInputKind::pointer_leave) {
        ids.pointerInView = false;
        return;
    }
    if (!std::isfinite(input.x) || !std::isfinite(input.y)) return;
    ids.lastPointerX = input.x;
    ids.lastPointerY = input.y;
    ids.pointerInView = true;
}

Status dispatchGpuSurfaceInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    const PlatformSlots& slots = platformSlots(runtime);
    if (!input.label.empty() && input.label.size() <= kMaxViewLabel && slots.noteGpuSurfaceInput != nullptr) {
        (void)slots.noteGpuSurfaceInput(platformServices(runtime), input.windowId, input.label);
    }
    if (input.button == 1 && isPointerInputKind(input.kind)) return dispatchCanvasContextInput(runtime, binding, input);

    // The batch takes one deferral back when it closes; this dispatch keeps accessibility
    // deferred until then and takes the other back itself, so that views waiting for a frame
    // publish with it.
    openCanvasWidgetDisplayListRefreshBatch(runtime, 2);
    const Status ran = runInputSteps(runtime, binding, input);
    const Status closed = endCanvasWidgetDisplayListRefreshBatch(runtime);
    if (runtime.canvasBatch.accessibilityDeferral > 0) --runtime.canvasBatch.accessibilityDeferral;
    if (!ran) return ran;
    if (!closed) return closed;
    return flushDeferredCanvasWidgetAccessibilityWithoutFrame(runtime);
}

}  // namespace kelvo
