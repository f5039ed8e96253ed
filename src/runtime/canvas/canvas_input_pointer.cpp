// The pointer steps of canvas input: click counting, closing surfaces by a press elsewhere,
// window drags, the controls, hover, carets, wheel and focus a routed event changes, and the
// commands a press or release sends.

#include <algorithm>
#include <cmath>

#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/canvas_input_steps.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_widget_control.hpp"
#include "runtime/canvas/view_widget_focus.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/runtime.hpp"
#include "text/widget_text_input.hpp"
#include "widgets/text_edit_store.hpp"
#include "widgets/widget_surfaces.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {
namespace {

bool isSet(std::uint8_t flag) { return (flag & 1u) != 0; }

// Whether `index` or one of its ancestors is `wanted`.
bool pathPassesThrough(WidgetLayoutTree tree, std::size_t index, std::size_t wanted) {
    if (index == wanted) return true;
    bool found = false;
    forEachWidgetAncestor(tree, index, [&](std::size_t at) {
        found = at == wanted;
        return !found;
    });
    return found;
}

// The target of a press or release of the primary button that the view still holds.
const WidgetLayoutNode* routedTarget(const CanvasSlot& slot, const CanvasPointerRoute& route) {
    if (!route.targetIndex || *route.targetIndex >= slot.tree.node_count) return nullptr;
    return &slot.tree.nodes[*route.targetIndex];
}

// The divider of a split view follows the pointer across the track its panes share.
Status dragSplitDivider(Runtime& runtime, std::size_t viewIndex, const CanvasSlot& slot, std::size_t divider, float x,
                        bool final) {
    const std::optional<std::size_t> container = widgetParentIndex(slot.tree.tree(), divider);
    if (!container) return {};
    const WidgetLayoutNode& split = slot.tree.nodes[*container];
    const Rect rect = normalizeRect(split.rect);
    const float dividerWidth = normalizeRect(slot.tree.nodes[divider].rect).width;
    const float left = rect.x + std::min(split.insets.left, rect.width);
    const float available =
        std::max(rect.width - split.insets.left - split.insets.right, 0.0f) - std::max(dividerWidth, 0.0f);
    if (!(available > 0)) return {};
    const float fraction = std::clamp((x - left - dividerWidth / 2) / available, 0.0f, 1.0f);
    TRY(applyCanvasWidgetSplitFractionMoved(runtime, viewIndex, *container, fraction, final));
    return {};
}

// A release on the widget that was pressed flips a boolean control (with its thumb animation)
// or selects a selectable one.
Status releaseControl(Runtime& runtime, std::size_t viewIndex, std::uint64_t id) {
    const ToggleAnimationRequest animation = canvasWidgetToggleAnimation(runtime, viewIndex, id);
    if (TRY(toggleCanvasWidgetBooleanControl(runtime, viewIndex, id))) {
        if (animation.valid) scheduleCanvasWidgetToggleAnimation(runtime, viewIndex, animation);
        return {};
    }
    TRY(setCanvasWidgetSelected(runtime, viewIndex, id));
    return {};
}

// Whether the release completes the press: the same widget, released within its bounds.
bool releaseCompletesPress(const CanvasSlot& slot, const CanvasPointerRoute& route, std::uint64_t pressedAtStart) {
    const WidgetLayoutNode* target = routedTarget(slot, route);
    return target != nullptr && pressedAtStart != 0 && target->id == pressedAtStart &&
           canvasWidgetPressReleaseInBounds(*target, target, route.event.x, route.event.y);
}

Status applyControls(Runtime& runtime, std::size_t viewIndex, const CanvasInputSteps& steps) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    const CanvasPointerRoute& route = *steps.route;
    const WidgetLayoutNode* target = slot != nullptr ? routedTarget(*slot, route) : nullptr;
    if (target == nullptr || route.event.button != 0) return {};
    const PointerPhase phase = route.event.phase;
    const float x = route.event.x;
    switch (target->widgetKind()) {
        case WidgetKind::slider:
            if (phase == PointerPhase::down || phase == PointerPhase::drag) {
                TRY(applyCanvasWidgetSliderValue(runtime, viewIndex, target->id, x));
            }
            return {};
        case WidgetKind::split_divider:
            if (phase == PointerPhase::drag || phase == PointerPhase::up) {
                return dragSplitDivider(runtime, viewIndex, *slot, *route.targetIndex, x, phase == PointerPhase::up);
            }
            return {};
        case WidgetKind::resizable_panel:
            // The panel's trailing edge follows the pointer.
            if (phase == PointerPhase::drag) {
                const Rect rect = normalizeRect(target->rect);
                TRY(applyCanvasWidgetResizableDelta(runtime, viewIndex, target->id, x - (rect.x + rect.width)));
            }
            return {};
        default:
            if (phase == PointerPhase::up && releaseCompletesPress(*slot, route, steps.pressedAtStart)) {
                return releaseControl(runtime, viewIndex, target->id);
            }
            return {};
    }
}

// A press in a text entry puts the caret under the pointer (shift extends the selection); a drag
// from it selects up to the pointer.
Status placeCaret(Runtime& runtime, std::size_t viewIndex, const CanvasPointerRoute& route) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    const WidgetLayoutNode* target = slot != nullptr ? routedTarget(*slot, route) : nullptr;
    const PointerPhase phase = route.event.phase;
    if (target == nullptr || route.event.button != 0 || !isTextEntryKind(target->widgetKind()) ||
        (phase != PointerPhase::down && phase != PointerPhase::drag)) {
        return {};
    }
    const std::optional<std::size_t> offset = textOffsetForWidgetPoint(
        textInputWidgetOf(*target), {route.event.x, route.event.y}, textInputTokensOf(slot->tree.tokens));
    if (!offset) return {};
    const bool extend = phase == PointerPhase::drag || route.event.modifiers.shift;
    const std::uint64_t anchor = extend && target->selection ? target->selection->start : *offset;
    TextEditRequest request;
    request.kind = TextEditKind::set_selection;
    request.first = anchor;
    request.second = *offset;
    TRY(applyCanvasWidgetTextEdit(runtime, viewIndex, target->id, request));
    return {};
}

// Whether the scroll view can still move its offset in the direction of `dy`.
bool canScrollToward(float offset, float maximum, float dy) {
    if (offset > maximum) return dy < 0;
    if (offset < 0) return dy > 0;
    return dy > 0 ? offset < maximum : offset > 0;
}

// The wheel moves the innermost scroll view under the pointer that can still move that way.
Status applyWheel(Runtime& runtime, std::size_t viewIndex, const CanvasPointerRoute& route) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || !route.hitIndex || !std::isfinite(route.event.dy)) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    std::optional<std::size_t> chosen;
    const auto consider = [&](std::size_t at) {
        if (tree[at].widgetKind() != WidgetKind::scroll_view) return true;
        const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot->tree, at);
        if (geometry && canScrollToward(tree[at].value, geometry->maximum, route.event.dy)) chosen = at;
        return !chosen;
    };
    if (consider(*route.hitIndex)) forEachWidgetAncestor(tree, *route.hitIndex, consider);
    if (!chosen) return {};
    // Only the outermost scrolling container overscrolls elastically.
    bool nested = false;
    forEachWidgetAncestor(tree, *chosen, [&](std::size_t at) {
        const WidgetKind kind = tree[at].widgetKind();
        nested = kind == WidgetKind::scroll_view || kind == WidgetKind::text_area;
        return !nested;
    });
    const std::optional<Rect> moved =
        TRY(applyCanvasWidgetScroll(runtime, viewIndex, *chosen, route.event.dy, true, !nested));
    if (!moved) return {};
    // The wheel's own position is the pointer's last known one.
    return rehoverCanvasWidgetsAfterScroll(runtime, viewIndex);
}

bool isImmediateCommandKind(WidgetKind kind) { return kind == WidgetKind::select || kind == WidgetKind::combo_box; }

}  // namespace

void countCanvasPointerClicks(Runtime& runtime, std::size_t viewIndex, const GpuSurfaceInput& input,
                              CanvasPointerRoute& route) {
    CanvasInteraction& ids = runtime.views[viewIndex].canvas.interaction;
    switch (route.event.phase) {
        case PointerPhase::down:
            if (input.button != 0) {
                ids.clickCount = 0;
                ids.lastPrimaryPressNs.reset();
                break;
            }
            {
                const bool repeated = ids.clickCount != 0 && ids.lastPrimaryPressNs &&
                                      *ids.lastPrimaryPressNs <= input.timestampNs &&
                                      input.timestampNs - *ids.lastPrimaryPressNs <= kDoubleClickIntervalNs &&
                                      std::fabs(input.x - ids.lastPrimaryPressX) <= kDoubleClickDistance &&
                                      std::fabs(input.y - ids.lastPrimaryPressY) <= kDoubleClickDistance;
                ids.clickCount =
                    repeated ? static_cast<std::uint8_t>(std::min<std::uint8_t>(ids.clickCount, 2) + 1) : 1;
                ids.lastPrimaryPressNs = input.timestampNs;
                ids.lastPrimaryPressX = input.x;
                ids.lastPrimaryPressY = input.y;
            }
            break;
        case PointerPhase::drag:
        case PointerPhase::up:
            break;
        default:
            return;
    }
    route.event.clickCount =
        route.event.phase == PointerPhase::down ? ids.clickCount : std::max<std::uint32_t>(ids.clickCount, 1);
}

Status lightDismissCanvasSurface(Runtime& runtime, std::size_t viewIndex, CanvasInputSteps& steps) {
    const CanvasPointerRoute& route = *steps.route;
    const RuntimeView& view = runtime.views[viewIndex];
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    const std::uint64_t focused = view.canvas.interaction.focusedWidget;
    if (route.event.phase != PointerPhase::down || !view.focused || focused == 0 || slot == nullptr) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    const std::optional<std::size_t> focusedIndex = canvasWidgetNodeIndex(runtime, viewIndex, focused);
    if (!focusedIndex) return {};
    const std::optional<std::size_t> surface = canvasWidgetSurfaceForNode(tree, *focusedIndex);
    if (!surface) return {};
    if (route.targetIndex) {
        if (pathPassesThrough(tree, *route.targetIndex, *surface)) return {};
        const std::optional<std::size_t> anchor = widgetParentIndex(tree, *surface);
        if (isSet(tree[*surface].out_of_flow) && anchor && pathPassesThrough(tree, *route.targetIndex, *anchor)) {
            return {};
        }
    }
    const std::uint64_t surfaceId = tree[*surface].id;
    const CursorKind cursor = view.canvas.interaction.cursor;
    const std::optional<CanvasWidgetDismissal> dismissed =
        TRY(dismissCanvasWidgetSurfaceAtIndex(runtime, viewIndex, *surface));
    if (!dismissed) return {};
    if (runtime.views[viewIndex].canvas.interaction.cursor != cursor) {
        TRY(syncCanvasWidgetCursorForView(runtime, viewIndex));
    }
    steps.dismissedSurface = surfaceId;
    return {};
}

Status startCanvasWindowDrag(Runtime& runtime, std::size_t viewIndex, CanvasInputSteps& steps) {
    const CanvasPointerRoute& route = *steps.route;
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    // Only a press drags the window: moves, drags and releases over a drag region do not.
    if (route.event.phase != PointerPhase::down || route.event.button != 0 || !route.hitIndex || slot == nullptr) {
        return {};
    }
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.startWindowDrag == nullptr) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    bool drags = false;
    const auto visit = [&](std::size_t at) {
        const WidgetLayoutNode& node = tree[at];
        if (node.id == 0 || isSet(node.disabled)) return true;
        if (isSet(node.actions.press) || isSet(node.actions.toggle) || isHoverTargetKind(node.widgetKind())) {
            return false;
        }
        drags = isSet(node.window_drag_region);
        return !drags;
    };
    if (visit(*route.hitIndex)) forEachWidgetAncestor(tree, *route.hitIndex, visit);
    if (!drags) return {};
    const Status started = slots.startWindowDrag(platformServices(runtime), route.event.windowId);
    if (started) {
        steps.windowDragged = true;
        return {};
    }
    if (started.error() == Error::UnsupportedService) return {};
    return started;
}

Status applyCanvasPointerToWidgets(Runtime& runtime, std::size_t viewIndex, const GpuSurfaceInput& input,
                                   const CanvasInputSteps& steps) {
    const CanvasPointerRoute& route = *steps.route;
    TRY(applyControls(runtime, viewIndex, steps));
    TRY(applyCanvasWidgetPointerHover(runtime, viewIndex, route));
    TRY(placeCaret(runtime, viewIndex, route));
    if (input.kind == GpuSurfaceInputKind::wheel) TRY(applyWheel(runtime, viewIndex, route));
    return updateCanvasWidgetFocusFromPointer(runtime, route);
}

Status activateCanvasPointerCommand(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                    const CanvasInputSteps& steps) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    const CanvasPointerRoute& route = *steps.route;
    const WidgetLayoutNode* target = slot != nullptr ? routedTarget(*slot, route) : nullptr;
    if (target == nullptr || !route.event.hit || route.event.button != 0) return {};
    const bool immediate = isImmediateCommandKind(target->widgetKind());
    if (route.event.phase == PointerPhase::down && immediate &&
        canvasWidgetPressReleaseInBounds(*target, target, route.event.x, route.event.y)) {
        return dispatchCanvasWidgetCommandForId(runtime, binding, viewIndex, target->id);
    }
    if (route.event.phase == PointerPhase::up && !immediate &&
        releaseCompletesPress(*slot, route, steps.pressedAtStart)) {
        return dispatchCanvasWidgetCommandForId(runtime, binding, viewIndex, target->id);
    }
    return {};
}

}  // namespace kelvo
