#include "runtime/canvas/view_widget_control.hpp"

#include <algorithm>
#include <cmath>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/runtime.hpp"
#include "widgets/commands.hpp"
#include "widgets/widget_control_geometry.hpp"
#include "widgets/widget_metrics.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

constexpr std::optional<Rect> kNothing{};

struct Found {
    CanvasSlot* slot = nullptr;
    std::size_t index = 0;
    explicit operator bool() const { return slot != nullptr; }
    [[nodiscard]] const WidgetLayoutNode& node() const { return slot->tree.nodes[index]; }
};

// The node with widget id `id` (not 0) of a canvas view.
Found findWidget(Runtime& runtime, std::size_t viewIndex, std::uint64_t id) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || id == 0) return {};
    for (std::size_t i = 0; i < slot->tree.node_count; ++i) {
        if (slot->tree.nodes[i].id == id) return {slot, i};
    }
    return {};
}

bool enabled(const WidgetLayoutNode& node) { return (node.disabled & 1u) == 0; }
bool isOn(const WidgetLayoutNode& node) { return (node.selected & 1u) != 0 || node.value >= 0.5f; }
bool hasRole(const WidgetLayoutNode& node, WidgetSemanticRole role) {
    return (node.role & 0x1Fu) == static_cast<std::uint8_t>(role);
}

// Neither has a parent, or both have the same one.
bool sameParentGroup(const WidgetLayoutNode& a, const WidgetLayoutNode& b) {
    const bool aHas = (a.has_parent & 1u) != 0, bHas = (b.has_parent & 1u) != 0;
    return aHas == bHas && (!aHas || a.parent == b.parent);
}

// The nearest ancestor that is a tree or has the tree role.
std::optional<std::size_t> treeOwner(WidgetLayoutTree tree, std::size_t index) {
    std::optional<std::size_t> owner;
    forEachWidgetAncestor(tree, index, [&](std::size_t at) {
        if (tree[at].widgetKind() != WidgetKind::tree && !hasRole(tree[at], WidgetSemanticRole::tree)) return true;
        owner = at;
        return false;
    });
    return owner;
}

bool selectableKind(WidgetKind kind) {
    return kind == WidgetKind::list_item || kind == WidgetKind::data_cell || kind == WidgetKind::segmented_control ||
           kind == WidgetKind::radio;
}

bool isPeer(WidgetLayoutTree tree, std::size_t self, std::size_t other) {
    const WidgetLayoutNode& a = tree[self];
    const WidgetLayoutNode& b = tree[other];
    if (hasRole(a, WidgetSemanticRole::treeitem)) {
        return hasRole(b, WidgetSemanticRole::treeitem) && treeOwner(tree, self) == treeOwner(tree, other);
    }
    return a.kind == b.kind && sameParentGroup(a, b);
}

bool isBooleanControl(WidgetKind kind) {
    return kind == WidgetKind::accordion || kind == WidgetKind::toggle_button || kind == WidgetKind::toggle_button_b ||
           kind == WidgetKind::checkbox || kind == WidgetKind::switch_;
}

float snapped(float v, const WidgetTokens& tokens) {
    return widgetSnappingActive(tokens) ? std::round(v * tokens.pixel_scale) / tokens.pixel_scale : v;
}

// The split view's divider and the two panes around it, among its direct children.
struct SplitParts {
    std::size_t divider = 0, first = 0, second = 0;
};
std::optional<SplitParts> splitParts(WidgetLayoutTree tree, std::size_t container) {
    std::optional<std::size_t> divider, first, second;
    const std::size_t end = widgetSubtreeEnd(tree, container);
    for (std::size_t i = container + 1; i < end; ++i) {
        if ((tree[i].has_parent & 1u) == 0 || tree[i].parent != container) continue;
        if (tree[i].widgetKind() == WidgetKind::split_divider) {
            if (!divider) divider = i;
        } else if (!first) {
            first = i;
        } else if (!second) {
            second = i;
        }
    }
    if (!divider || !first || !second) return std::nullopt;
    return SplitParts{*divider, *first, *second};
}

CanvasWidgetDirty storeSliderValue(Runtime& runtime, std::size_t viewIndex, const Found& found, float value) {
    if (value == found.node().value) return kNothing;
    const std::optional<Rect> dirty = canvasWidgetNodeDirtyBounds(runtime, viewIndex, found.index);
    CanvasWidgetChange change(found.slot->tree);
    change.edit(found.index).value = value;
    const CanvasWidgetDirty committed = commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
    if (committed && *committed) queueCanvasWidgetId(found.slot->queues.change, found.node().id);
    return committed;
}

Found findSlider(Runtime& runtime, std::size_t viewIndex, std::uint64_t id) {
    const Found found = findWidget(runtime, viewIndex, id);
    if (!found || found.node().widgetKind() != WidgetKind::slider || !enabled(found.node())) return {};
    return found;
}

}  // namespace

CanvasWidgetDirty setCanvasWidgetSelected(Runtime& runtime, std::size_t viewIndex, std::uint64_t id) {
    const Found found = findWidget(runtime, viewIndex, id);
    if (!found || !enabled(found.node())) return kNothing;
    const WidgetLayoutTree tree = found.slot->tree.tree();
    const std::size_t self = found.index;
    const WidgetLayoutNode& node = found.node();
    const WidgetKind kind = node.widgetKind();
    if (kind == WidgetKind::menu_item) {
        bool groupHasSelection = false;
        for (std::size_t i = 0; i < tree.size() && !groupHasSelection; ++i) {
            groupHasSelection =
                tree[i].widgetKind() == WidgetKind::menu_item && sameParentGroup(tree[i], node) && isOn(tree[i]);
        }
        if (!groupHasSelection) return kNothing;
    } else if (!selectableKind(kind) && !hasRole(node, WidgetSemanticRole::treeitem)) {
        return kNothing;
    }
    CanvasWidgetChange change(found.slot->tree);
    std::optional<Rect> dirty;
    bool peerChanged = false;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (i == self || !isPeer(tree, self, i) || !isOn(tree[i])) continue;
        dirty = unionOptionalBounds(dirty, canvasWidgetNodeDirtyBounds(runtime, viewIndex, i));
        WidgetLayoutNode& peer = change.edit(i);
        peer.selected = 0;
        peer.value = 0;
        peerChanged = true;
    }
    const bool alreadySelected = (node.selected & 1u) != 0 && node.value == 1.0f;
    if (alreadySelected && !peerChanged) return kNothing;
    if (!alreadySelected) dirty = unionOptionalBounds(dirty, canvasWidgetNodeDirtyBounds(runtime, viewIndex, self));
    if (!dirty) dirty = node.rect;
    WidgetLayoutNode& selected = change.edit(self);
    selected.selected = 1;
    selected.value = 1.0f;
    return commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
}

CanvasWidgetDirty setCanvasWidgetExpanded(Runtime& runtime, std::size_t viewIndex, std::uint64_t id, bool expanded) {
    const Found found = findWidget(runtime, viewIndex, id);
    if (!found || !enabled(found.node()) || !found.node().expanded || *found.node().expanded == expanded) {
        return kNothing;
    }
    const std::optional<Rect> dirty = canvasWidgetNodeDirtyBounds(runtime, viewIndex, found.index);
    CanvasWidgetChange change(found.slot->tree);
    change.edit(found.index).expanded = expanded;
    return commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
}

CanvasWidgetDirty toggleCanvasWidgetBooleanControl(Runtime& runtime, std::size_t viewIndex, std::uint64_t id) {
    const Found found = findWidget(runtime, viewIndex, id);
    if (!found || !isBooleanControl(found.node().widgetKind()) || !enabled(found.node())) return kNothing;
    const bool on = isOn(found.node());
    const std::optional<Rect> dirty = canvasWidgetNodeDirtyBounds(runtime, viewIndex, found.index);
    CanvasWidgetChange change(found.slot->tree);
    WidgetLayoutNode& node = change.edit(found.index);
    node.selected = on ? 0 : 1;
    node.value = on ? 0.0f : 1.0f;
    const CanvasWidgetDirty committed = commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
    if (committed && node.widgetKind() == WidgetKind::accordion) queueCanvasWidgetId(found.slot->queues.disclosure, id);
    return committed;
}

ToggleAnimationRequest canvasWidgetToggleAnimation(Runtime& runtime, std::size_t viewIndex, std::uint64_t id) {
    const Found found = findWidget(runtime, viewIndex, id);
    if (!found || found.node().widgetKind() != WidgetKind::switch_ || !enabled(found.node())) return {};
    const WidgetLayoutNode& node = found.node();
    const WidgetTokens& tokens = found.slot->tree.tokens;
    const float inset = 2.0f * widgetDensityScale(tokens) * controlSizeScale(node.size);
    // The track as drawn: at the frame's left edge, on device pixels when the tokens snap.
    const Rect track = toggleWidgetTrackRect(node, tokens);
    const float thumb = std::max(track.height - 2 * inset, 0.0f);
    const float start = snapped(track.x + inset, tokens);
    const float end = snapped(track.x + track.width - thumb - inset, tokens);
    const float travel = end - start;
    if (!(travel > 0)) return {};
    return {id, travel, canvasWidgetNodeDirtyBounds(runtime, viewIndex, found.index), isOn(node), true};
}

void scheduleCanvasWidgetToggleAnimation(Runtime& runtime, std::size_t viewIndex,
                                         const ToggleAnimationRequest& request) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || request.id == 0 || !(request.travel > 0)) return;
    const WidgetTokens& tokens = slot->tree.tokens;
    const std::uint64_t key = widgetAnimationKey(request.id, kToggleThumbAnimationPart);
    if (tokens.duration_short == 0) {
        slot->animations.remove(key);
        return;
    }
    WidgetAnimation* entry = slot->animations.upsert(key);
    if (entry == nullptr) return;
    *entry = WidgetAnimation{};
    entry->key = key;
    entry->start_ns = canvasAnimationStartNs(runtime.views[viewIndex]);
    entry->duration_ms = tokens.duration_short;
    entry->spring_mass = tokens.spring_mass;
    entry->spring_stiffness = tokens.spring_stiffness;
    entry->spring_damping = tokens.spring_damping;
    entry->easing = static_cast<AnimationEasing>(tokens.motion_easing & 3u);
    entry->repeat = AnimationRepeat::once;
    // The thumb is drawn at its new place; it starts offset back to where it was.
    Affine from = kIdentityAffine;
    from.tx = request.wasOn ? request.travel : -request.travel;
    entry->from_transform = from;
    entry->to_transform = kIdentityAffine;
    if (request.dirty) {
        slot->animations.setDirty(key, request.dirty);
    } else {
        slot->animations.removeDirty(key);
    }
}

CanvasWidgetDirty applyCanvasWidgetSplitFractionMoved(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                                      float fraction, bool notify) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || index + 1 >= slot->tree.node_count || !std::isfinite(fraction)) return kNothing;
    const WidgetLayoutTree tree = slot->tree.tree();
    const WidgetLayoutNode& container = tree[index];
    if (container.widgetKind() != WidgetKind::split_view || !enabled(container)) return kNothing;
    const std::optional<SplitParts> parts = splitParts(tree, index);
    if (!parts) return kNothing;
    const Rect rect = normalizeRect(container.rect);
    const WidgetLayoutNode& divider = tree[parts->divider];
    const float dividerWidth = normalizeRect(divider.rect).width;
    const float track = std::max(rect.width - container.insets.left - container.insets.right, 0.0f);
    const float available = std::max(track - dividerWidth, 0.0f);
    float low = 0, high = 1;
    if (available > 0) {
        low = std::clamp(std::max(tree[parts->first].min_size.width, 0.0f) / available, 0.0f, 1.0f);
        high = std::clamp(1 - std::max(tree[parts->second].min_size.width, 0.0f) / available, 0.0f, 1.0f);
        if (low > high) low = high = low / std::max(low + (1 - high), 0.0001f);
    }
    const float requested = std::clamp(std::min(std::max(fraction, 0.0001f), 1.0f), low, high);
    const float stored = divider.value > 0 && std::isfinite(divider.value) ? std::min(divider.value, 1.0f) : 0.5f;
    if (requested == std::clamp(stored, low, high)) return kNothing;
    const float left = rect.x + std::min(container.insets.left, rect.width);
    const float firstWidth = available * requested;
    const float dividerX = left + firstWidth;
    const float dividerDx = dividerX - divider.rect.x;
    if (dividerDx == 0) return kNothing;

    CanvasWidgetChange change(slot->tree);
    change.edit(index).value = requested;
    WidgetLayoutNode& movedDivider = change.edit(parts->divider);
    movedDivider.value = requested;
    movedDivider.rect.x = dividerX;
    movedDivider.frame = movedDivider.rect;
    WidgetLayoutNode& first = change.edit(parts->first);
    first.rect.width = firstWidth;
    first.frame = first.rect;
    WidgetLayoutNode& second = change.edit(parts->second);
    second.rect.x = dividerX + dividerWidth;
    second.rect.width = std::max(left + track - second.rect.x, 0.0f);
    second.frame = second.rect;
    translateCanvasWidgetDescendantsX(change, parts->second, dividerDx);
    const CanvasWidgetDirty committed =
        commitCanvasWidgetChange(runtime, viewIndex, change, canvasWidgetNodeDirtyBounds(runtime, viewIndex, index));
    if (committed && notify) queueCanvasWidgetId(slot->queues.resize, container.id);
    return committed;
}

CanvasWidgetDirty applyCanvasWidgetResizableDelta(Runtime& runtime, std::size_t viewIndex, std::uint64_t id,
                                                  float delta) {
    if (!std::isfinite(delta) || delta == 0) return kNothing;
    const Found found = findWidget(runtime, viewIndex, id);
    if (!found || found.node().widgetKind() != WidgetKind::resizable_panel || !enabled(found.node()) ||
        !std::isfinite(found.node().frame.width)) {
        return kNothing;
    }
    const WidgetLayoutNode& node = found.node();
    const float width = std::max(node.rect.width + delta, std::max(node.frame.height, 48.0f));
    if (width == node.rect.width) return kNothing;
    const std::optional<Rect> before = canvasWidgetNodeDirtyBounds(runtime, viewIndex, found.index);
    CanvasWidgetChange change(found.slot->tree);
    WidgetLayoutNode& panel = change.edit(found.index);
    panel.rect.width = width;
    panel.frame.width = width;
    const std::optional<Rect> dirty =
        unionOptionalBounds(before, canvasWidgetNodeDirtyBounds(runtime, viewIndex, found.index));
    return commitCanvasWidgetChange(runtime, viewIndex, change, dirty);
}

CanvasWidgetDirty applyCanvasWidgetSliderValue(Runtime& runtime, std::size_t viewIndex, std::uint64_t id,
                                               float pointerX) {
    const Found found = findSlider(runtime, viewIndex, id);
    if (!found || !(found.node().frame.width > 0) || !std::isfinite(pointerX)) return kNothing;
    const Rect frame = found.node().frame;
    return storeSliderValue(runtime, viewIndex, found, std::clamp((pointerX - frame.x) / frame.width, 0.0f, 1.0f));
}

CanvasWidgetDirty setCanvasWidgetSliderValue(Runtime& runtime, std::size_t viewIndex, std::uint64_t id, float value) {
    const Found found = findSlider(runtime, viewIndex, id);
    if (!found || !std::isfinite(value)) return kNothing;
    return storeSliderValue(runtime, viewIndex, found, std::clamp(value, 0.0f, 1.0f));
}

}  // namespace kelvo
