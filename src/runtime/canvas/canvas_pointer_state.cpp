// The interaction state a routed pointer event leaves behind: hover, press, cursor, chart hover
// point and focus; and the commands widgets send when activated.

#include <algorithm>
#include <array>

#include "runtime/canvas/canvas_pointer_route.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "security/command_name.hpp"
#include "widgets/widget_render_chart.hpp"
#include "widgets/widget_semantics.hpp"

namespace kelvo {
namespace {

WidgetHit hitForNode(const WidgetLayoutNode& node, std::size_t index) {
    WidgetHit hit;
    hit.id = node.id;
    hit.depth = node.depth;
    hit.index = index;
    hit.rect = node.rect;
    hit.kind = node.kind;
    hit.state = widgetStateBytes(node);
    hit.role = static_cast<std::uint8_t>(node.role & 0x1Fu);
    hit.found = true;
    return hit;
}

// The widget kinds whose activation sends their command.
bool carriesCommand(WidgetKind kind) {
    switch (kind) {
        case WidgetKind::accordion:
        case WidgetKind::button:
        case WidgetKind::toggle_button:
        case WidgetKind::icon_button:
        case WidgetKind::select:
        case WidgetKind::combo_box:
        case WidgetKind::menu_item:
        case WidgetKind::list_item:
        case WidgetKind::data_cell:
        case WidgetKind::segmented_control:
        case WidgetKind::checkbox:
        case WidgetKind::radio:
        case WidgetKind::switch_:
        case WidgetKind::toggle_button_b:
            return true;
        default:
            return false;
    }
}

}  // namespace

CursorKind canvasWidgetCursorForTarget(const WidgetHit& target) {
    if (!target.found || (target.state.disabled & 1u) != 0) return CursorKind::arrow;
    if ((target.role & 0x1Fu) == static_cast<std::uint8_t>(WidgetSemanticRole::link)) return CursorKind::link;
    const WidgetKind kind = widgetKindFromBits(target.kind);
    if (isTextEntryKind(kind)) return CursorKind::text;
    if (kind == WidgetKind::resizable_panel || kind == WidgetKind::split_divider) return CursorKind::resize;
    return CursorKind::arrow;
}

Status applyCanvasWidgetPointerHover(Runtime& runtime, std::size_t viewIndex, const CanvasPointerRoute& route) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || !route.routed) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    RuntimeView& view = runtime.views[viewIndex];
    CanvasInteraction& ids = view.canvas.interaction;
    const CanvasWidgetPointerEvent& event = route.event;

    const WidgetHit hit = hitTestWidgetLayout(tree, {event.x, event.y}, slot->tree.tokens);
    const WidgetHit hoverTarget = hit.found ? hoverTargetForHit(tree, hit) : WidgetHit{};
    const std::uint64_t hoverId = hoverTarget.found ? hoverTarget.id : 0;
    std::uint64_t hovered = ids.hoveredWidget;
    std::uint64_t pressed = ids.pressedWidget;
    CursorKind cursor = ids.cursor;
    switch (event.phase) {
        case PointerPhase::move:
        case PointerPhase::drag:
            hovered = hoverId;
            cursor = canvasWidgetCursorForTarget(hoverTarget);
            break;
        case PointerPhase::down:
            if (route.targetIndex) {
                hovered = pressed = event.targetWidgetId;
                cursor = canvasWidgetCursorForTarget(hitForNode(tree[*route.targetIndex], *route.targetIndex));
            } else {
                hovered = 0;
                cursor = CursorKind::arrow;
            }
            break;
        case PointerPhase::up:
            pressed = 0;
            hovered = hoverId;
            cursor = canvasWidgetCursorForTarget(hoverTarget);
            break;
        case PointerPhase::wheel:
            break;
        case PointerPhase::leave:
            hovered = pressed = 0;
            cursor = CursorKind::arrow;
            break;
    }

    const std::optional<std::uint64_t> chartIndex = canvasChartHoverIndexForId(runtime, viewIndex, hovered, event.x);
    const std::optional<std::uint64_t> previousIndex =
        ids.chartHoverPointer ? canvasChartHoverIndexForId(runtime, viewIndex, ids.hoveredWidget, ids.pointerX)
                              : std::nullopt;
    const bool hoverChanged =
        hovered != ids.hoveredWidget || pressed != ids.pressedWidget || chartIndex != previousIndex;
    const bool cursorChanged = cursor != ids.cursor;
    if (!hoverChanged && !cursorChanged) return {};

    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, view);
    ids.hoveredWidget = hovered;
    ids.pressedWidget = pressed;
    ids.chartHoverPointer = chartIndex.has_value();
    if (chartIndex) {
        ids.pointerX = event.x;
        ids.pointerY = event.y;
    }
    ids.cursor = cursor;
    if (cursorChanged) TRY(syncCanvasWidgetCursorForView(runtime, viewIndex));
    if (!hoverChanged) return {};
    return invalidateForCanvasWidgetRenderStateChange(runtime, viewIndex, before,
                                                      canvasWidgetRenderState(runtime, view));
}

Status updateCanvasWidgetFocusFromPointer(Runtime& runtime, const CanvasPointerRoute& route) {
    if (!route.routed || route.event.phase != PointerPhase::down || !route.viewIndex) return {};
    const std::size_t viewIndex = *route.viewIndex;
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    std::uint64_t focus = 0;
    std::uint64_t visible = 0;
    if (route.targetIndex && *route.targetIndex < tree.size()) {
        const WidgetFocusTarget target = focusTargetFromLayoutNode(tree, *route.targetIndex);
        if (target.found) focus = target.id;
        if (focus != 0 && isTextEntryKind(tree[*route.targetIndex].widgetKind())) visible = focus;
    }
    RuntimeView& view = runtime.views[viewIndex];
    CanvasInteraction& ids = view.canvas.interaction;
    if (ids.focusedWidget == focus && ids.focusVisibleWidget == visible) return {};
    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, view);
    ids.focusedWidget = focus;
    ids.focusVisibleWidget = visible;
    return invalidateForCanvasWidgetRenderStateChange(runtime, viewIndex, before,
                                                      canvasWidgetRenderState(runtime, view));
}

Result<bool> activateCanvasWidgetCommand(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                         std::uint64_t widgetId) {
    if (viewIndex >= runtime.views.size()) return fail(Error::ViewNotFound);
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (!index || slot == nullptr) return false;
    const WidgetLayoutNode& node = slot->tree.nodes[*index];
    if (!carriesCommand(node.widgetKind()) || node.action.empty()) return false;
    TRY(validateCommandName(node.action));
    // The handler may replace the tree (and the texts the node points into) while it runs.
    std::array<char, kMaxCommandNameBytes> name{};
    std::copy(node.action.begin(), node.action.end(), name.begin());
    std::array<char, kMaxViewLabel> label{};
    const RuntimeView& view = runtime.views[viewIndex];
    const std::string_view viewLabel = view.label.view();
    std::copy(viewLabel.begin(), viewLabel.end(), label.begin());
    CommandEvent command;
    command.name = {name.data(), node.action.size()};
    command.windowId = view.windowId;
    command.sourceLabel = {label.data(), viewLabel.size()};
    command.source = CommandSource::native_control;
    TRY(dispatchEvent(runtime, binding, RuntimeEvent(command)));
    return true;
}

Status dispatchCanvasWidgetCommandForId(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                        std::uint64_t widgetId) {
    TRY(activateCanvasWidgetCommand(runtime, binding, viewIndex, widgetId));
    return {};
}

std::optional<std::uint64_t> canvasChartHoverIndexForId(const Runtime& runtime, std::size_t viewIndex,
                                                        std::uint64_t widgetId, float x) {
    if (viewIndex >= runtime.views.size()) return std::nullopt;
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
    if (!index || slot == nullptr) return std::nullopt;
    return chartHoverPointIndex(slot->tree.nodes[*index], slot->tree.tokens, x);
}

Status syncCanvasWidgetCursorForView(Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size()) return {};
    const RuntimeView& view = runtime.views[viewIndex];
    const PlatformSlots& slots = platformSlots(runtime);
    if (view.kind != ViewKind::gpu_surface || slots.setViewCursor == nullptr) return {};
    return slots.setViewCursor(platformServices(runtime), view.windowId, view.label.view(),
                               view.canvas.interaction.cursor);
}

}  // namespace kelvo
