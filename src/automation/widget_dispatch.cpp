// The widget commands: each finds its canvas view by label and its widget by id, works out where
// a person would touch it and hands the runtime the same input a person's hand would make, one
// platform event at a time. "widget-action" instead runs the direct action the widget declares.

#include <limits>

#include "automation/canvas_commands.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/widget_action_ops.hpp"
#include "runtime/canvas/widget_actions.hpp"
#include "runtime/canvas/widget_targets.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_focus.hpp"

namespace kelvo {

namespace {

// The timer a hold waits on: the press stays down while it fires.
constexpr std::uint64_t kHoldTimerId = 0xFFFFFFFF2E70601Dull;

struct ViewTarget {
    std::size_t viewIndex = 0;
    std::uint64_t windowId = 0;
    LabelBytes label;
    CanvasWidgetTarget widget;
    Point aim;
};

WidgetLayoutTree viewTree(const Runtime& runtime, std::size_t viewIndex) {
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
    return slot != nullptr ? slot->tree.tree() : WidgetLayoutTree{};
}

Result<std::size_t> viewByLabel(const Runtime& runtime, std::string_view label) {
    return canvasViewIndexByLabel(runtime, label);
}

// The view, the widget that passes the pointer checks, and where to aim.
Result<ViewTarget> aimAt(const Runtime& runtime, const AutomationWidgetTarget& target) {
    ViewTarget aimed;
    aimed.viewIndex = TRY(viewByLabel(runtime, target.view));
    const RuntimeView& view = runtime.views[aimed.viewIndex];
    aimed.windowId = view.windowId;
    aimed.label = view.label;
    const WidgetLayoutTree tree = viewTree(runtime, aimed.viewIndex);
    aimed.widget = TRY(canvasWidgetPointerTargetChecked(tree, target.widgetId));
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    aimed.aim = canvasWidgetAimPoint(tree[aimed.widget.index], aimed.widget.frame, slot->tree.tokens);
    return aimed;
}

GpuSurfaceInput pointerInput(const Runtime& runtime, const ViewTarget& target, GpuSurfaceInputKind kind, Point at,
                             std::uint32_t button = 0, Point delta = {}) {
    GpuSurfaceInput input;
    input.windowId = target.windowId;
    input.label = target.label.view();
    input.kind = kind;
    const std::int64_t now = runtimeWallClockNs(runtime);
    input.timestampNs = now > 0 ? static_cast<std::uint64_t>(now) : 0;
    input.x = at.x;
    input.y = at.y;
    input.button = button;
    input.dx = delta.x;
    input.dy = delta.y;
    return input;
}

Status send(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    return dispatchPlatformEvent(runtime, binding, PlatformEvent(input));
}

Status click(Runtime& runtime, const AppBinding& binding, const AutomationWidgetTarget& target) {
    const ViewTarget aimed = TRY(aimAt(runtime, target));
    // One batch, so the view is drawn once for the press and the release. Closing always gives
    // the level back, also when the refresh it runs fails.
    openCanvasWidgetDisplayListRefreshBatch(runtime);
    Status result = send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_down, aimed.aim));
    if (result)
        result = send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_up, aimed.aim));
    Status closed = endCanvasWidgetDisplayListRefreshBatch(runtime);
    return result ? closed : result;
}

Status hold(Runtime& runtime, const AppBinding& binding, const AutomationWidgetTarget& target) {
    const ViewTarget aimed = TRY(aimAt(runtime, target));
    const GpuSurfaceInput down = pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_down, aimed.aim);
    TRY(send(runtime, binding, down));
    TRY(dispatchPlatformEvent(runtime, binding, PlatformEvent(TimerEvent{kHoldTimerId, down.timestampNs})));
    TRY(send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_up, aimed.aim)));
    if (const auto cancel = platformSlots(runtime).cancelTimer) return cancel(platformServices(runtime), kHoldTimerId);
    return {};
}

Status contextPress(Runtime& runtime, const AppBinding& binding, const AutomationWidgetTarget& target) {
    const ViewTarget aimed = TRY(aimAt(runtime, target));
    TRY(send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_down, aimed.aim, 1)));
    return send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_up, aimed.aim, 1));
}

Status contextMenuItem(Runtime& runtime, const AppBinding& binding, const AutomationWidgetContextMenuItem& item) {
    const std::size_t viewIndex = TRY(viewByLabel(runtime, item.view));
    const WidgetLayoutTree tree = viewTree(runtime, viewIndex);
    const WidgetLayoutNode* node = nullptr;
    for (const WidgetLayoutNode& candidate : tree) {
        if (item.widgetId != 0 && candidate.id == item.widgetId) {
            node = &candidate;
            break;
        }
    }
    if (node == nullptr) return fail(Error::InvalidCommand);
    if (node->context_menu.empty()) return fail(Error::ContextMenuUndeclared);
    if (item.itemIndex >= node->context_menu.size()) return fail(Error::ContextMenuItemOutOfRange);
    const WidgetContextMenuItem& entry = node->context_menu[item.itemIndex];
    if (entry.separator) return fail(Error::ContextMenuItemSeparator);
    if (!entry.enabled) return fail(Error::ContextMenuItemDisabled);
    const RuntimeView& view = runtime.views[viewIndex];
    const LabelBytes label = view.label;
    // As if the menu had been shown and the item chosen in it.
    runtime.pendingContextMenu = PendingContextMenu{view.windowId, item.widgetId, ContextMenuKind::widget, true};
    return dispatchPlatformEvent(runtime, binding,
                                 PlatformEvent(ContextMenuActionEvent{view.windowId, label.view(), item.widgetId,
                                                                      static_cast<std::uint32_t>(item.itemIndex + 1)}));
}

Status pointerDrag(Runtime& runtime, const AppBinding& binding, const AutomationWidgetPointerDrag& drag) {
    const ViewTarget aimed = TRY(aimAt(runtime, drag));
    const Rect frame = aimed.widget.frame;
    const Point start{frame.x + drag.startX * frame.width, frame.y + drag.startY * frame.height};
    const Point end{frame.x + drag.endX * frame.width, frame.y + drag.endY * frame.height};
    TRY(send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_down, start)));
    TRY(send(
        runtime, binding,
        pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_drag, end, 0, {end.x - start.x, end.y - start.y})));
    return send(runtime, binding, pointerInput(runtime, aimed, GpuSurfaceInputKind::pointer_up, end));
}

Error wheelError(WidgetTargetRefusal refusal) {
    switch (refusal) {
        case WidgetTargetRefusal::unknown:
            return Error::WheelTargetUnknown;
        case WidgetTargetRefusal::not_interactive:
            return Error::WheelTargetNotInteractive;
        case WidgetTargetRefusal::empty_bounds:
            return Error::WheelTargetHasEmptyBounds;
    }
    return Error::WheelTargetUnknown;
}

Status wheel(Runtime& runtime, const AppBinding& binding, const AutomationWidgetWheel& wheel) {
    ViewTarget aimed;
    aimed.viewIndex = TRY(viewByLabel(runtime, wheel.view));
    aimed.windowId = runtime.views[aimed.viewIndex].windowId;
    aimed.label = runtime.views[aimed.viewIndex].label;
    auto widget = canvasWidgetPointerTarget(viewTree(runtime, aimed.viewIndex), wheel.widgetId);
    if (!widget) return fail(wheelError(widget.error()));
    // The wheel turns over the middle of the widget, not over a control's indicator.
    const Rect frame = widget->frame;
    const Point centre{frame.x + frame.width * 0.5f, frame.y + frame.height * 0.5f};
    return send(runtime, binding,
                pointerInput(runtime, aimed, GpuSurfaceInputKind::wheel, centre, 0, {0, wheel.delta}));
}

Status key(Runtime& runtime, const AppBinding& binding, const AutomationWidgetKey& key) {
    const std::size_t viewIndex = TRY(viewByLabel(runtime, key.view));
    const std::uint64_t windowId = runtime.views[viewIndex].windowId;
    const LabelBytes label = runtime.views[viewIndex].label;
    TRY(focusView(runtime, windowId, label.view()));
    GpuSurfaceInput input;
    input.windowId = windowId;
    input.label = label.view();
    input.kind = GpuSurfaceInputKind::key_down;
    const std::int64_t now = runtimeWallClockNs(runtime);
    input.timestampNs = now > 0 ? static_cast<std::uint64_t>(now) : 0;
    input.key = key.key;
    input.text = key.text;
    input.modifiers = KeyModifiers{key.meta, key.super, key.control, key.alt, key.shift};
    return send(runtime, binding, input);
}

Status widgetAction(Runtime& runtime, const AppBinding& binding, const AutomationWidgetAction& action) {
    const std::size_t viewIndex = TRY(viewByLabel(runtime, action.view));
    std::optional<AccessibilityActions> declared = canvasWidgetActionsForId(runtime, viewIndex, action.widgetId);
    if (!declared || !canvasWidgetAccessibilityActionSupported(*declared, action.action)) {
        return fail(Error::InvalidCommand);
    }
    return performCanvasWidgetAction(runtime, binding, viewIndex, action.widgetId, action.action,
                                     WidgetActionArgument{action.argument, std::nullopt});
}

}  // namespace

Status runAutomationCanvasCommand(Runtime& runtime, const AppBinding& binding, const AutomationServer& server,
                                  AutomationVerb verb, const AutomationCanvasArguments& arguments) {
    switch (verb) {
        case AutomationVerb::widget_action:
            return widgetAction(runtime, binding, std::get<AutomationWidgetAction>(arguments));
        case AutomationVerb::widget_click:
            return click(runtime, binding, std::get<AutomationWidgetTarget>(arguments));
        case AutomationVerb::widget_hold:
            return hold(runtime, binding, std::get<AutomationWidgetTarget>(arguments));
        case AutomationVerb::widget_context_press:
            return contextPress(runtime, binding, std::get<AutomationWidgetTarget>(arguments));
        case AutomationVerb::widget_context_menu:
            return contextMenuItem(runtime, binding, std::get<AutomationWidgetContextMenuItem>(arguments));
        case AutomationVerb::widget_drag:
            return pointerDrag(runtime, binding, std::get<AutomationWidgetPointerDrag>(arguments));
        case AutomationVerb::widget_wheel:
            return wheel(runtime, binding, std::get<AutomationWidgetWheel>(arguments));
        case AutomationVerb::widget_key:
            return key(runtime, binding, std::get<AutomationWidgetKey>(arguments));
        case AutomationVerb::provenance:
            return dispatchAutomationProvenance(runtime, binding, server,
                                                std::get<AutomationProvenanceTarget>(arguments));
        default:
            return fail(Error::InvalidCommand);
    }
}

}  // namespace kelvo
