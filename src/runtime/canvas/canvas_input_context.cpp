// Secondary-button input on a canvas view: a press opens the context menu of the deepest widget
// on its path that has one, the edit menu of a text entry or the copy menu of a selected text,
// or tells the application that a menu was asked for. No refresh batch is opened: nothing here
// changes more than the focus.

#include <array>

#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/canvas_input_steps.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_context_menu.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_focus.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {
namespace {

inline constexpr std::size_t kMaxShownContextMenuItems = 32;

bool isSet(std::uint8_t flag) { return (flag & 1u) != 0; }

// The deepest enabled node on the path (the target and its ancestors) with menu items.
std::optional<std::size_t> contextMenuOwner(WidgetLayoutTree tree, std::size_t target) {
    std::optional<std::size_t> owner;
    const auto consider = [&](std::size_t at) {
        const WidgetLayoutNode& node = tree[at];
        if (isSet(node.disabled) || node.context_menu.empty()) return true;
        if (!owner || node.depth >= tree[*owner].depth) owner = at;
        return true;
    };
    consider(target);
    forEachWidgetAncestor(tree, target, consider);
    return owner;
}

Status requestMenu(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input, std::uint64_t id) {
    return dispatchEvent(runtime, binding,
                         RuntimeEvent(CanvasWidgetContextMenuRequestEvent{input.windowId, input.label, id}));
}

Status pressWithoutMenu(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input,
                        const CanvasPointerRoute& route) {
    return dispatchEvent(runtime, binding,
                         RuntimeEvent(CanvasWidgetContextPressEvent{input.windowId, input.label,
                                                                    route.event.targetWidgetId, input.x, input.y}));
}

Status showContextMenuForRoute(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                               const GpuSurfaceInput& input, const CanvasPointerRoute& route) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return {};
    const WidgetLayoutTree tree = slot->tree.tree();
    const bool canShow = platformSlots(runtime).showContextMenu != nullptr;
    const Point point{input.x, input.y};

    if (const std::optional<std::size_t> owner =
            route.targetIndex ? contextMenuOwner(tree, *route.targetIndex) : std::nullopt) {
        const WidgetLayoutNode& node = tree[*owner];
        const std::uint64_t id = node.id;
        if (canShow) {
            std::array<ContextMenuItem, kMaxShownContextMenuItems> items;
            const std::size_t count = std::min(node.context_menu.size(), items.size());
            for (std::size_t i = 0; i < count; ++i) {
                const WidgetContextMenuItem& item = node.context_menu[i];
                items[i] = {item.label, static_cast<std::uint32_t>(i + 1), item.enabled, item.separator};
            }
            if (showMenu(runtime, viewIndex, id, ContextMenuKind::widget, point, std::span(items).first(count))) {
                return {};
            }
        }
        return requestMenu(runtime, binding, input, id);
    }
    if (!route.event.hit || !route.hitIndex) return pressWithoutMenu(runtime, binding, input, route);
    const WidgetLayoutNode& hit = tree[*route.hitIndex];
    if (hit.id == 0) return {};
    const bool editable = isTextEntryKind(hit.widgetKind()) && !isSet(hit.disabled);
    const bool ownsSelection = runtime.views[viewIndex].canvas.interaction.selectionOwner == hit.id;
    if (!editable && !ownsSelection) return pressWithoutMenu(runtime, binding, input, route);
    if (!canShow) return requestMenu(runtime, binding, input, hit.id);
    const std::uint64_t id = hit.id;
    if (editable) TRY(updateCanvasWidgetFocusFromPointer(runtime, route));
    if (showCanvasTextContextMenu(runtime, viewIndex, id, point)) return {};
    return requestMenu(runtime, binding, input, id);
}

}  // namespace

Status dispatchCanvasContextInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    noteCanvasInput(runtime, input);
    if (input.kind == GpuSurfaceInputKind::pointer_down) {
        TRY(setFocusedView(runtime, input.windowId, input.label));
        markStateDirty(runtime);
        Result<CanvasPointerRoute> routed = routeCanvasWidgetPointerInput(runtime, input);
        if (!routed && !leavesInputUnrouted(routed.error())) return fail(routed.error());
        if (routed && routed->routed) {
            if (const std::optional<std::size_t> view = runtimeFindViewIndex(runtime, input.windowId, input.label)) {
                TRY(showContextMenuForRoute(runtime, binding, *view, input, *routed));
            }
        }
    }
    return dispatchEvent(runtime, binding, RuntimeEvent(input));
}

}  // namespace kelvo
