// Events of GPU canvas views: frames, input, surface resizes and native scroll drivers; the
// answers to context menus; accessibility actions on canvas widgets. Errors of the canvas work
// are recorded and end the dispatch only when the runtime stops on handler errors.

#include "runtime/canvas/canvas_events.hpp"
#include "runtime/canvas/canvas_frame_tick.hpp"
#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/widget_actions.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/kind_handlers.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

namespace {

// The canvas view an accessibility action names: an open window, a well-formed label and a GPU
// canvas view with that label.
Result<std::size_t> accessibleCanvasView(const Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    if (findOpenWindow(runtime, windowId) == nullptr) return fail(Error::WindowNotFound);
    TRY(checkViewLabel(label));
    std::optional<std::size_t> view = findViewIndex(runtime, windowId, label);
    if (!view) return fail(Error::ViewNotFound);
    if (runtime.views[*view].kind != ViewKind::gpu_surface) return fail(Error::UnsupportedViewKind);
    return *view;
}

Status performAccessibilityAction(Runtime& runtime, const AppBinding& binding,
                                  const WidgetAccessibilityActionEvent& event) {
    std::optional<WidgetAction> action = widgetActionForAccessibilityCode(event.action);
    if (!action) return fail(Error::InvalidCommand);
    const std::size_t view = TRY(accessibleCanvasView(runtime, event.windowId, event.label));
    std::optional<AccessibilityActions> actions = canvasWidgetActionsForId(runtime, view, event.widgetId);
    if (!actions || !canvasWidgetAccessibilityActionSupported(*actions, *action)) return fail(Error::InvalidCommand);
    return performCanvasWidgetAction(runtime, binding, view, event.widgetId, *action,
                                     WidgetActionArgument{event.text, event.value});
}

}  // namespace

Status handleGpuSurfaceFrame(Runtime& runtime, const AppBinding& binding, const GpuSurfaceFrame& frame) {
    const GpuSurfaceFrame copy = frame;
    return recordUnlessStopping(runtime, "gpu_surface_frame", dispatchGpuSurfaceFrame(runtime, binding, copy));
}

Status handleGpuSurfaceInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    const GpuSurfaceInput copy = input;
    return recordUnlessStopping(runtime, "gpu_surface_input", dispatchGpuSurfaceInput(runtime, binding, copy));
}

Status handleGpuSurfaceResized(Runtime& runtime, const AppBinding& binding, const GpuSurfaceResizedEvent& event) {
    if (std::optional<std::size_t> index = findViewIndex(runtime, event.windowId, event.label)) {
        RuntimeView& view = runtime.views[*index];
        const bool frameChanged = !(view.canvas.surfaceFrame == event.frame);
        const bool sizeOrScaleChanged =
            view.gpuWidth != event.frame.width || view.gpuHeight != event.frame.height || view.gpuScale != event.scale;
        view.canvas.surfaceFrame = event.frame;
        view.gpuWidth = event.frame.width;
        view.gpuHeight = event.frame.height;
        view.gpuScale = event.scale;
        noteGpuSurfaceResized(view, sizeOrScaleChanged);
        if (frameChanged || sizeOrScaleChanged) markDirtyRegion(runtime, event.frame);
    }
    // The application hears of it also when no view has the surface; a handler error is recorded
    // by the delivery and handed back only when the runtime stops on handler errors.
    TRY(dispatchEvent(runtime, binding, RuntimeEvent(event)));
    runtimeTrace(runtime, "gpu_surface.resize", "gpu surface resized",
                 {traceText("label", event.label), traceF64("width", event.frame.width),
                  traceF64("height", event.frame.height), traceF64("scale", event.scale)});
    return {};
}

Status handleGpuSurfaceScrollDriver(Runtime& runtime, const AppBinding& binding,
                                    const GpuSurfaceScrollDriverEvent& event) {
    return recordUnlessStopping(runtime, "gpu_surface_scroll_driver",
                                applyGpuSurfaceScrollDriver(runtime, binding, event));
}

Status handleContextMenuAction(Runtime& runtime, const AppBinding& binding, const ContextMenuActionEvent& event) {
    std::optional<PendingContextMenu> menu = takeAnsweredContextMenu(runtime.pendingContextMenu, event);
    if (!menu) return {};
    std::optional<std::size_t> view = findViewIndex(runtime, event.windowId, event.viewLabel);
    if (!view) return {};
    if (menu->kind == ContextMenuKind::widget) {
        return dispatchEvent(runtime, binding,
                             RuntimeEvent(CanvasWidgetContextMenuEvent{
                                 event.windowId, runtime.views[*view].label.view(), menu->token, event.item - 1u}));
    }
    return recordUnlessStopping(runtime, "context_menu_action",
                                applyTextContextMenuItem(runtime, binding, *view, menu->kind, event.item));
}

Status handleWidgetAccessibilityAction(Runtime& runtime, const AppBinding& binding,
                                       const WidgetAccessibilityActionEvent& event) {
    runtime.accessibilityActionValue = event.value;
    return recordUnlessStopping(runtime, "widget_accessibility_action",
                                performAccessibilityAction(runtime, binding, event));
}

}  // namespace kelvo
