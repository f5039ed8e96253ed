#include "runtime/canvas/view_widget_scroll.hpp"

#include <algorithm>
#include <cmath>

#include "runtime/canvas/canvas_pointer_route.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/runtime.hpp"
#include "text/widget_text_input.hpp"
#include "widgets/text_edit_store.hpp"
#include "widgets/virtual_list.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

// Step 4 of every scroll-view scroll: the offset moves, the content with it, a scroll event is
// queued, and the change is committed with the view's rectangle as it was.
CanvasWidgetDirty moveScrollView(Runtime& runtime, std::size_t viewIndex, CanvasSlot& slot, std::size_t index,
                                 float current, float next) {
    const std::optional<Rect> dirty = canvasWidgetNodeDirtyBounds(runtime, viewIndex, index);
    CanvasWidgetChange change(slot.tree);
    change.edit(index).value = next;
    translateCanvasWidgetScrollDescendants(change, index, -(next - current));
    const CanvasWidgetDirty committed = commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
    if (committed) queueCanvasWidgetId(slot.queues.scroll, slot.tree.nodes[index].id);
    return committed;
}

CanvasWidgetDirty scrollTextArea(Runtime& runtime, std::size_t viewIndex, CanvasSlot& slot, std::size_t index,
                                 float delta, bool fromWheel) {
    const WidgetLayoutNode& node = slot.tree.nodes[index];
    const TextInputWidget input = textInputWidgetOf(node);
    const TextInputTokens tokens = textInputTokensOf(slot.tree.tokens);
    const std::optional<Rect> viewport = textInputViewportForWidget(input, tokens);
    if (!viewport) return std::optional<Rect>{};
    const float current = std::max(std::min(node.value, textInputMaxScrollOffsetForWidget(input, tokens)), 0.0f);
    const float content = textInputContentExtentForWidget(input, tokens);
    if (fromWheel) delta *= slot.tree.tokens.scroll_wheel_scale;
    const float maximum = std::max(std::max(content, 0.0f) - std::max(viewport->height, 0.0f), 0.0f);
    const float next = std::clamp(current + delta, 0.0f, maximum);
    if (next == current) return std::optional<Rect>{};
    const std::optional<Rect> dirty = canvasWidgetNodeDirtyBounds(runtime, viewIndex, index);
    CanvasWidgetChange change(slot.tree);
    change.edit(index).value = next;
    return commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
}

void translateDescendants(CanvasWidgetChange& change, std::size_t index, float dx, float dy) {
    WidgetTreeStorage& storage = change.tree();
    const std::size_t end = widgetSubtreeEnd(storage.tree(), index);
    for (std::size_t i = index + 1; i < end; ++i) {
        WidgetLayoutNode& node = change.edit(i);
        node.rect.x += dx;
        node.rect.y += dy;
        node.frame = node.rect;
    }
}

bool isHoverCandidate(WidgetLayoutTree tree, std::size_t index) {
    const WidgetLayoutNode& node = tree[index];
    return !isWidgetHiddenHereOrAbove(tree, index) && canvasWidgetLayoutNodeFrameVisible(tree, index) &&
           (node.disabled & 1u) == 0 && isWidgetPointerTarget(node);
}

std::optional<std::size_t> indexOfId(WidgetLayoutTree tree, std::uint64_t id) {
    if (id == 0) return std::nullopt;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].id == id) return i;
    }
    return std::nullopt;
}

bool stillFocusTarget(WidgetLayoutTree tree, std::uint64_t id) {
    const std::optional<std::size_t> index = indexOfId(tree, id);
    return index && focusTargetFromLayoutNode(tree, *index).found;
}

bool stillHoverCandidate(WidgetLayoutTree tree, std::uint64_t id) {
    const std::optional<std::size_t> index = indexOfId(tree, id);
    return index && isHoverCandidate(tree, *index);
}

}  // namespace

bool isCanvasScrollView(const WidgetLayoutNode& node) {
    return node.widgetKind() == WidgetKind::scroll_view && ((node.scrollable & 1u) == 0 || node.virtual_count != 0);
}

std::optional<ScrollGeometry> canvasWidgetScrollGeometry(const WidgetTreeStorage& storage, std::size_t index) {
    const WidgetLayoutTree tree = storage.tree();
    const WidgetLayoutNode& node = tree[index];
    if (!isCanvasScrollView(node)) return std::nullopt;
    const Rect rect = normalizeRect(node.rect);
    const float width = std::max(rect.width - node.insets.left - node.insets.right, 0.0f);
    const float viewport = widgetScrollViewportExtent(node);
    if (!(width > 0 && viewport > 0)) return std::nullopt;
    const float content = virtualWidgetScrollContentExtentWithTokens(tree, storage.tokens, index);
    return ScrollGeometry{viewport, content, std::max(std::max(content, 0.0f) - viewport, 0.0f)};
}

CanvasWidgetDirty moveCanvasWidgetScrollView(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                             const ScrollState& next) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || index >= slot->tree.node_count || !std::isfinite(next.offset)) return std::optional<Rect>{};
    slot->scroll[index] = next;
    const float current = slot->tree.nodes[index].value;
    if (next.offset == current) return std::optional<Rect>{};
    return moveScrollView(runtime, viewIndex, *slot, index, current, next.offset);
}

CanvasWidgetDirty applyCanvasWidgetScroll(Runtime& runtime, std::size_t viewIndex, std::size_t index, float delta,
                                          bool fromWheel, bool elasticAllowed) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || index >= slot->tree.node_count || !std::isfinite(delta)) return std::optional<Rect>{};
    const WidgetLayoutNode& node = slot->tree.nodes[index];
    if (node.widgetKind() == WidgetKind::text_area)
        return scrollTextArea(runtime, viewIndex, *slot, index, delta, fromWheel);
    const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot->tree, index);
    if (!geometry) return std::optional<Rect>{};
    const WidgetTokens& tokens = slot->tree.tokens;
    const float current = node.value;
    const bool elastic = scrollViewElastic(node.overscroll_mode, tokens);
    ScrollState next{0, 0, geometry->viewport, geometry->content};
    if (!fromWheel) {
        next.offset = std::clamp(current + delta, 0.0f, geometry->maximum);
    } else if (!elasticAllowed || (node.platform_driven & 1u) != 0) {
        const float d = delta * tokens.scroll_wheel_scale;
        next.offset = std::clamp(current + d, 0.0f, geometry->maximum);
        next.velocity = next.offset == current + d ? d * tokens.scroll_velocity_factor : 0.0f;
    } else {
        const ScrollState from{current, slot->scroll[index].velocity, geometry->viewport, geometry->content};
        next = applyScrollWheel(from, tokens, delta, elastic);
    }
    slot->scroll[index] = next;
    if (next.offset == current) return std::optional<Rect>{};
    return moveScrollView(runtime, viewIndex, *slot, index, current, next.offset);
}

CanvasWidgetDirty applyCanvasWidgetScrollKeyboardTarget(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                                        bool toEnd) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || index >= slot->tree.node_count) return std::optional<Rect>{};
    const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot->tree, index);
    if (!geometry) return std::optional<Rect>{};
    const float target = toEnd ? geometry->maximum : 0.0f;
    slot->scroll[index] = {target, 0, geometry->viewport, geometry->content};
    const float current = slot->tree.nodes[index].value;
    if (target == current) return std::optional<Rect>{};
    return moveScrollView(runtime, viewIndex, *slot, index, current, target);
}

void translateCanvasWidgetScrollDescendants(CanvasWidgetChange& change, std::size_t index, float dy) {
    translateDescendants(change, index, 0, dy);
}

void translateCanvasWidgetDescendantsX(CanvasWidgetChange& change, std::size_t index, float dx) {
    translateDescendants(change, index, dx, 0);
}

void reconcileCanvasWidgetRenderStateAfterScroll(Runtime& runtime, std::size_t viewIndex, float pointerX,
                                                 float pointerY, bool pointerKnown) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return;
    const WidgetLayoutTree tree = slot->tree.tree();
    CanvasInteraction& ids = runtime.views[viewIndex].canvas.interaction;
    if (ids.focusedWidget != 0 && !stillFocusTarget(tree, ids.focusedWidget)) {
        ids.focusedWidget = 0;
        ids.focusVisibleWidget = 0;
    }
    if (ids.focusVisibleWidget != 0 &&
        (ids.focusVisibleWidget != ids.focusedWidget || !stillFocusTarget(tree, ids.focusVisibleWidget))) {
        ids.focusVisibleWidget = 0;
    }
    if (pointerKnown) {
        const WidgetHit hit = hitTestWidgetLayout(tree, {pointerX, pointerY}, slot->tree.tokens);
        const WidgetHit target = hit.found ? hoverTargetForHit(tree, hit) : WidgetHit{};
        ids.hoveredWidget = target.found ? target.id : 0;
        ids.cursor = canvasWidgetCursorForTarget(target);
    } else if (!stillHoverCandidate(tree, ids.hoveredWidget)) {
        ids.hoveredWidget = 0;
        ids.cursor = CursorKind::arrow;
    }
    if (!stillHoverCandidate(tree, ids.pressedWidget)) ids.pressedWidget = 0;
}

Status rehoverCanvasWidgetsAfterScroll(Runtime& runtime, std::size_t viewIndex) {
    if (canvasWidgetSlot(runtime, viewIndex) == nullptr) return {};
    const CanvasInteraction& ids = runtime.views[viewIndex].canvas.interaction;
    const CursorKind cursor = ids.cursor;
    reconcileCanvasWidgetRenderStateAfterScroll(runtime, viewIndex, ids.lastPointerX, ids.lastPointerY,
                                                ids.pointerInView);
    if (ids.cursor == cursor) return {};
    return syncCanvasWidgetCursorForView(runtime, viewIndex);
}

}  // namespace kelvo
