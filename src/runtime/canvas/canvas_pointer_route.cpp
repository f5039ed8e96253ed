#include "runtime/canvas/canvas_pointer_route.hpp"

#include <cmath>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/views/view_lookup.hpp"
#include "runtime/windows/window_table.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {
namespace {

bool isSet(std::uint8_t flag) { return (flag & 1u) != 0; }

bool enabledWithId(const WidgetLayoutNode& node) { return node.id != 0 && !isSet(node.disabled); }

bool isInteractive(const WidgetLayoutNode& node) {
    return isSet(node.actions.press) || isSet(node.actions.toggle) || isHoverTargetKind(node.widgetKind());
}

// The pressed widget keeps the pointer while it can still be pressed where it is.
bool canCapture(WidgetLayoutTree tree, std::size_t index) {
    const WidgetLayoutNode& node = tree[index];
    return !isSet(node.disabled) && isWidgetPointerTarget(node) && !isWidgetHiddenHereOrAbove(tree, index) &&
           !isWidgetConcealedByDisclosure(tree, index) && canvasWidgetLayoutNodeFrameVisible(tree, index);
}

std::optional<std::size_t> nodeIndexOfId(WidgetLayoutTree tree, std::uint64_t id) {
    if (id == 0) return std::nullopt;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].id == id) return i;
    }
    return std::nullopt;
}

// From the hit node upwards, the first enabled interactive node with an id.
std::optional<std::size_t> interactiveTargetOfHit(WidgetLayoutTree tree, std::size_t hit) {
    if (enabledWithId(tree[hit]) && isInteractive(tree[hit])) return hit;
    std::optional<std::size_t> found;
    forEachWidgetAncestor(tree, hit, [&](std::size_t at) {
        if (enabledWithId(tree[at]) && isInteractive(tree[at])) found = at;
        return !found;
    });
    return found;
}

}  // namespace

CanvasWidgetNodeInfo canvasWidgetNodeInfo(const WidgetLayoutNode& node, std::size_t index) {
    return {static_cast<std::uint32_t>(index),
            static_cast<std::uint8_t>(node.kind & 0x3Fu),
            static_cast<std::uint8_t>(node.role & 0x1Fu),
            static_cast<std::uint32_t>(node.depth),
            {node.rect.x, node.rect.y, node.rect.width, node.rect.height},
            isSet(node.actions.press),
            isSet(node.actions.toggle),
            isSet(node.disabled)};
}

Result<std::size_t> canvasWidgetEventPathIds(WidgetLayoutTree tree, std::size_t index,
                                             std::span<std::uint64_t, kMaxPointerPathEntries> out) {
    std::array<WidgetRouteEntry, kMaxWidgetRouteEntries> entries;
    const std::span<WidgetRouteEntry> route = TRY(routeWidgetEventPath(tree, index, entries));
    std::size_t count = 0;
    for (const WidgetRouteEntry& entry : route) {
        if (entry.phase != WidgetRoutePhase::capture && count < out.size()) out[count++] = entry.id;
    }
    return count;
}

CanvasWidgetPointerEvent CanvasPointerRoute::pointerEvent() const {
    CanvasWidgetPointerEvent copy = event;
    copy.path = {path.data(), pathCount};
    return copy;
}

std::optional<PointerPhase> pointerPhaseForInput(GpuSurfaceInputKind kind) {
    switch (kind) {
        case GpuSurfaceInputKind::pointer_down:
            return PointerPhase::down;
        case GpuSurfaceInputKind::pointer_up:
            return PointerPhase::up;
        case GpuSurfaceInputKind::pointer_leave:
            return PointerPhase::leave;
        case GpuSurfaceInputKind::pointer_move:
            return PointerPhase::move;
        case GpuSurfaceInputKind::pointer_drag:
            return PointerPhase::drag;
        case GpuSurfaceInputKind::wheel:
            return PointerPhase::wheel;
        default:
            return std::nullopt;
    }
}

Result<CanvasPointerRoute> routeCanvasWidgetPointerInput(const Runtime& runtime, const GpuSurfaceInput& input) {
    if (findOpenWindow(runtime, input.windowId) == nullptr) return fail(Error::WindowNotFound);
    TRY(checkViewLabel(input.label));
    CanvasPointerRoute route;
    const std::optional<PointerPhase> phase = pointerPhaseForInput(input.kind);
    if (!phase) return route;
    const std::optional<std::size_t> viewIndex = findViewIndex(runtime, input.windowId, input.label);
    if (!viewIndex) return fail(Error::ViewNotFound);
    const RuntimeView& view = runtime.views[*viewIndex];
    if (view.kind != ViewKind::gpu_surface) return fail(Error::InvalidViewOptions);

    route.viewIndex = viewIndex;
    CanvasWidgetPointerEvent& event = route.event;
    event.windowId = input.windowId;
    event.label = input.label;
    event.x = input.x;
    event.y = input.y;
    event.dx = input.dx;
    event.dy = input.dy;
    event.phase = *phase;
    event.button = input.button;
    event.modifiers = input.modifiers;
    route.routed = true;

    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr) return route;
    const WidgetLayoutTree tree = slot->tree.tree();
    const std::uint64_t pressed = view.canvas.interaction.pressedWidget;
    const bool captured =
        pressed != 0 && (*phase == PointerPhase::drag || *phase == PointerPhase::up || *phase == PointerPhase::leave);
    if (captured) {
        const std::optional<std::size_t> index = nodeIndexOfId(tree, pressed);
        if (index && canCapture(tree, *index)) route.targetIndex = index;
        // The pointer is over the pressed widget for all the capture knows.
        event.hit = route.targetIndex.has_value();
    } else {
        const WidgetHit hit = hitTestWidgetLayout(tree, {input.x, input.y}, slot->tree.tokens);
        event.hit = hit.found;
        if (hit.found) {
            route.hitIndex = static_cast<std::size_t>(hit.index);
            route.targetIndex = interactiveTargetOfHit(tree, *route.hitIndex);
        }
    }
    if (route.targetIndex) {
        const WidgetLayoutNode& target = tree[*route.targetIndex];
        event.targetWidgetId = target.id;
        event.target = canvasWidgetNodeInfo(target, *route.targetIndex);
        route.pathCount = TRY(canvasWidgetEventPathIds(tree, *route.targetIndex, route.path));
    }
    return route;
}

bool canvasWidgetPressReleaseInBounds(const WidgetLayoutNode& pressed, const WidgetLayoutNode* release, float x,
                                      float y) {
    const auto contains = [x, y](Rect rect) {
        rect = normalizeRect(rect);
        return rect.width > 0 && rect.height > 0 && rect.x <= x && x < rect.x + rect.width && rect.y <= y &&
               y < rect.y + rect.height;
    };
    if (contains(pressed.rect)) return true;
    return release != nullptr && release != &pressed && release->id != pressed.id && contains(release->rect);
}

}  // namespace kelvo
