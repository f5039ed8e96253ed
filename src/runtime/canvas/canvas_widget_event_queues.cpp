#include "runtime/canvas/canvas_widget_event_queues.hpp"

#include <array>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

// Takes the ids out of `queue` (emptied) into `out`; their count.
template <std::size_t N>
std::size_t takeQueue(FixedVec<std::uint64_t, N>& queue, std::array<std::uint64_t, N>& out) {
    const std::size_t count = queue.size();
    for (std::size_t i = 0; i < count; ++i) out[i] = queue[i];
    queue.clear();
    return count;
}

// Calls `send(event record basics, node index)` for each id taken from the queue `pick` selects
// whose node is still there. The view is looked up again after every event, since a handler may
// close it.
template <std::size_t N, class Pick, class Send>
Status drain(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex, Pick pick, Send send) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return {};
    std::array<std::uint64_t, N> ids{};
    const std::size_t count = takeQueue(pick(*slot), ids);
    const std::uint64_t windowId = runtime.views[viewIndex].windowId;
    std::array<char, kMaxViewLabel> labelBytes{};
    const std::string_view viewLabel = runtime.views[viewIndex].label.view();
    std::copy(viewLabel.begin(), viewLabel.end(), labelBytes.begin());
    const std::string_view label{labelBytes.data(), viewLabel.size()};
    for (std::size_t i = 0; i < count; ++i) {
        const CanvasSlot* current = canvasWidgetSlot(runtime, viewIndex);
        if (current == nullptr || runtime.views[viewIndex].windowId != windowId ||
            runtime.views[viewIndex].label.view() != label) {
            return {};
        }
        const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, ids[i]);
        if (!index) continue;
        if (std::optional<RuntimeEvent> event = send(windowId, label, *current, *index)) {
            TRY(dispatchEvent(runtime, binding, *event));
        }
    }
    return {};
}

}  // namespace

Status dispatchPendingCanvasWidgetScrollEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex) {
    return drain<8>(
        runtime, binding, viewIndex, [](CanvasSlot & slot) -> auto& { return slot.queues.scroll; },
        [](std::uint64_t windowId, std::string_view label, const CanvasSlot& slot,
           std::size_t index) -> std::optional<RuntimeEvent> {
            const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot.tree, index);
            if (!geometry) return std::nullopt;
            const WidgetLayoutNode& node = slot.tree.nodes[index];
            return CanvasWidgetScrollEvent{windowId, label, node.id, node.value, geometry->viewport, geometry->content};
        });
}

Status dispatchPendingCanvasWidgetResizeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex) {
    return drain<4>(
        runtime, binding, viewIndex, [](CanvasSlot & slot) -> auto& { return slot.queues.resize; },
        [](std::uint64_t windowId, std::string_view label, const CanvasSlot& slot,
           std::size_t index) -> std::optional<RuntimeEvent> {
            const WidgetLayoutNode& node = slot.tree.nodes[index];
            if (node.widgetKind() != WidgetKind::split_view) return std::nullopt;
            return CanvasWidgetResizeEvent{windowId, label, node.id, node.value};
        });
}

Status dispatchPendingCanvasWidgetChangeEvents(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex) {
    return drain<4>(
        runtime, binding, viewIndex, [](CanvasSlot & slot) -> auto& { return slot.queues.change; },
        [](std::uint64_t windowId, std::string_view label, const CanvasSlot& slot,
           std::size_t index) -> std::optional<RuntimeEvent> {
            const WidgetLayoutNode& node = slot.tree.nodes[index];
            if (node.widgetKind() != WidgetKind::slider) return std::nullopt;
            return CanvasWidgetChangeEvent{windowId, label, node.id, node.value};
        });
}

}  // namespace kelvo
