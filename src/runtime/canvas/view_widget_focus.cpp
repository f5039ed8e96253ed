#include "runtime/canvas/view_widget_focus.hpp"

#include "base/ascii_case.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_keys.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_control.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/runtime.hpp"
#include "widgets/widget_focus_moves.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_surfaces.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

using Dismissed = Result<std::optional<CanvasWidgetDismissal>>;

std::optional<std::size_t> indexOfId(WidgetLayoutTree tree, std::uint64_t id) {
    if (id == 0) return std::nullopt;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].id == id) return i;
    }
    return std::nullopt;
}

bool insideSubtree(WidgetLayoutTree tree, std::size_t root, std::uint64_t id) {
    const std::optional<std::size_t> index = indexOfId(tree, id);
    return index && *index >= root && *index < widgetSubtreeEnd(tree, root);
}

bool keyIs(const GpuSurfaceInput& input, std::string_view name) { return equalsAsciiCaseless(input.key, name); }

bool noModifiers(const GpuSurfaceInput& input) { return !input.modifiers.any(); }

// Escape closes surfaces under either of its names, with or without Shift.
bool isEscapeKey(const GpuSurfaceInput& input) {
    return (keyIs(input, "escape") || keyIs(input, "esc")) && isPlainWidgetKeyPress(input);
}

// A tree row the tree keys act on: an enabled one.
bool isActiveTreeRow(WidgetLayoutTree tree, std::size_t index) {
    return index < tree.size() && isCanvasWidgetTreeRow(tree[index]) && (tree[index].disabled & 1u) == 0;
}

// The arrow, Home and End keys that moved the focus to a tree row select it.
Status selectTreeRowFocusMovedTo(Runtime& runtime, std::size_t viewIndex, WidgetLayoutTree tree, std::size_t row) {
    if (!isActiveTreeRow(tree, row)) return {};
    TRY(setCanvasWidgetSelected(runtime, viewIndex, tree[row].id));
    return {};
}

// Right on a collapsed row expands it, left on an expanded row collapses it (rows that cannot
// expand stay as they are). Answers whether the row changed.
Result<bool> expandOrCollapseTreeRow(Runtime& runtime, std::size_t viewIndex, WidgetLayoutTree tree, std::size_t row,
                                     WidgetFocusDirection direction) {
    if (!isActiveTreeRow(tree, row) || !tree[row].expanded) return false;
    const bool expanded = *tree[row].expanded;
    if (direction == WidgetFocusDirection::right && !expanded) {
        return TRY(setCanvasWidgetExpanded(runtime, viewIndex, tree[row].id, true)).has_value();
    }
    if (direction == WidgetFocusDirection::left && expanded) {
        return TRY(setCanvasWidgetExpanded(runtime, viewIndex, tree[row].id, false)).has_value();
    }
    return false;
}

// The open menu the walk of Escape finds for widget `id`: the menu around it, or the one a node on
// the way up owns.
std::optional<std::size_t> menuSurfaceFor(WidgetLayoutTree tree, std::uint64_t id) {
    const std::optional<std::size_t> index = indexOfId(tree, id);
    const std::optional<std::size_t> surface = index ? canvasWidgetSurfaceForNode(tree, *index) : std::nullopt;
    if (!surface) return std::nullopt;
    const WidgetKind kind = tree[*surface].widgetKind();
    if (kind != WidgetKind::menu && kind != WidgetKind::menu_b) return std::nullopt;
    return surface;
}

// The caret a text entry focused from the keyboard gets when it has no selection: at the end.
bool wantsCaretAtEnd(WidgetLayoutTree tree, std::size_t index) {
    const WidgetLayoutNode& node = tree[index];
    return isTextEntryKind(node.widgetKind()) && (node.disabled & 1u) == 0 && !node.selection &&
           !isWidgetHiddenHereOrAbove(tree, index) && canvasWidgetLayoutNodeFrameVisible(tree, index);
}

Result<bool> focusIndex(Runtime& runtime, std::size_t viewIndex, WidgetLayoutTree tree, std::size_t index) {
    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, runtime.views[viewIndex]);
    return setCanvasWidgetFocusFromKeyboardMoved(runtime, viewIndex, before, tree[index].id);
}

// Hands a key to the focused text entry's editing; `focusMoved` when the same key moved the focus.
Status textKey(Runtime& runtime, const GpuSurfaceInput& input, bool focusMoved) {
    return updateCanvasWidgetTextFromKeyboard(runtime, input, TextKeyContext{focusMoved});
}

Result<bool> scrollFromKeyboard(Runtime& runtime, std::size_t viewIndex, std::size_t index,
                                const WidgetScrollIntent& intent) {
    const CanvasWidgetDirty scrolled =
        intent.kind == WidgetScrollIntentKind::by
            ? applyCanvasWidgetScroll(runtime, viewIndex, index, intent.distance, false, false)
            : applyCanvasWidgetScrollKeyboardTarget(runtime, viewIndex, index,
                                                    intent.kind == WidgetScrollIntentKind::to_end);
    if (!scrolled) return tl::unexpected(scrolled.error());
    TRY(rehoverCanvasWidgetsAfterScroll(runtime, viewIndex));
    return true;
}

}  // namespace

Result<bool> setCanvasWidgetFocusFromKeyboardMoved(Runtime& runtime, std::size_t viewIndex,
                                                   const CanvasWidgetRenderState& previous, std::uint64_t newId) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return false;
    CanvasInteraction& ids = runtime.views[viewIndex].canvas.interaction;
    if (newId == ids.focusedWidget && newId == ids.focusVisibleWidget) return false;
    const CanvasInteraction saved = ids;
    ids.focusedWidget = ids.focusVisibleWidget = newId;
    const WidgetLayoutTree tree = slot->tree.tree();
    if (const std::optional<std::size_t> index = indexOfId(tree, newId); index && wantsCaretAtEnd(tree, *index)) {
        CanvasWidgetChange change(slot->tree);
        WidgetLayoutNode& entry = change.edit(*index);
        entry.selection = WidgetTextRange{entry.text.size(), entry.text.size()};
        if (const CanvasWidgetDirty committed = commitCanvasWidgetChange(runtime, viewIndex, change, std::nullopt);
            !committed) {
            ids = saved;
            return tl::unexpected(committed.error());
        }
    }
    const CanvasWidgetRenderState after = canvasWidgetRenderState(runtime, runtime.views[viewIndex]);
    TRY(invalidateForCanvasWidgetRenderStateChange(runtime, viewIndex, previous, after));
    return newId != saved.focusedWidget;
}

Dismissed dismissCanvasWidgetSurfaceAtIndex(Runtime& runtime, std::size_t viewIndex, std::size_t index) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || index >= slot->tree.node_count || (slot->tree.nodes[index].hidden & 1u) != 0) {
        return std::optional<CanvasWidgetDismissal>{};
    }
    const WidgetLayoutTree tree = slot->tree.tree();
    RuntimeView& view = runtime.views[viewIndex];
    CanvasInteraction& ids = view.canvas.interaction;
    const CanvasInteraction saved = ids;
    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, view);
    std::optional<Rect> dirty = canvasWidgetNodeDirtyBounds(runtime, viewIndex, index);
    if (!dirty && !rectIsEmpty(tree[index].rect)) dirty = normalizeRect(tree[index].rect);

    CanvasWidgetChange change(slot->tree);
    change.edit(index).hidden = 1;
    if (insideSubtree(tree, index, ids.focusedWidget)) {
        ids.focusedWidget = canvasWidgetAnchorTriggerFocusId(tree, index).value_or(0);
    }
    for (std::uint64_t* id : {&ids.focusVisibleWidget, &ids.hoveredWidget, &ids.pressedWidget}) {
        if (insideSubtree(tree, index, *id)) *id = 0;
    }
    if (const CanvasWidgetDirty committed = commitCanvasWidgetChange(runtime, viewIndex, change, dirty); !committed) {
        ids = saved;
        return tl::unexpected(committed.error());
    }
    TRY(invalidateForCanvasWidgetRenderStateChange(runtime, viewIndex, before, canvasWidgetRenderState(runtime, view)));
    return CanvasWidgetDismissal{dirty, ids.focusedWidget, ids.focusedWidget != saved.focusedWidget};
}

Dismissed dismissCanvasWidgetSurfaceFromEscape(Runtime& runtime, std::size_t viewIndex, std::uint64_t focusedId) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return std::optional<CanvasWidgetDismissal>{};
    const WidgetLayoutTree tree = slot->tree.tree();
    const std::optional<std::size_t> focused = indexOfId(tree, focusedId);
    if (focused && isTextEntryKind(tree[*focused].widgetKind()) && tree[*focused].composition) {
        return std::optional<CanvasWidgetDismissal>{};
    }
    std::optional<std::size_t> surface = focused ? canvasWidgetSurfaceForNode(tree, *focused) : std::nullopt;
    if (!surface) surface = canvasWidgetTopmostOpenSurface(tree);
    if (!surface) return std::optional<CanvasWidgetDismissal>{};
    return dismissCanvasWidgetSurfaceAtIndex(runtime, viewIndex, *surface);
}

Dismissed dismissCanvasWidgetMenuSurfaceForFocusDeparture(Runtime& runtime, std::size_t viewIndex,
                                                          std::uint64_t departingId) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return std::optional<CanvasWidgetDismissal>{};
    const WidgetLayoutTree tree = slot->tree.tree();
    const std::optional<std::size_t> surface = menuSurfaceFor(tree, departingId);
    if (!surface) return std::optional<CanvasWidgetDismissal>{};
    // A move between the menu's own items leaves it open.
    if (insideSubtree(tree, *surface, runtime.views[viewIndex].canvas.interaction.focusedWidget)) {
        return std::optional<CanvasWidgetDismissal>{};
    }
    return dismissCanvasWidgetSurfaceAtIndex(runtime, viewIndex, *surface);
}

Dismissed dismissCanvasWidgetMenuSurfaceBeforeTab(Runtime& runtime, std::size_t viewIndex, std::uint64_t focusedId) {
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return std::optional<CanvasWidgetDismissal>{};
    const std::optional<std::size_t> surface = menuSurfaceFor(slot->tree.tree(), focusedId);
    if (!surface) return std::optional<CanvasWidgetDismissal>{};
    return dismissCanvasWidgetSurfaceAtIndex(runtime, viewIndex, *surface);
}

Result<bool> applyCanvasWidgetKeyboardNavigation(Runtime& runtime, std::size_t viewIndex,
                                                 const GpuSurfaceInput& input) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || input.kind != GpuSurfaceInputKind::key_down) return false;
    const WidgetLayoutTree tree = slot->tree.tree();
    const std::uint64_t focusedId = runtime.views[viewIndex].canvas.interaction.focusedWidget;
    const std::optional<std::size_t> focused = indexOfId(tree, focusedId);

    if (isEscapeKey(input)) {
        const std::optional<CanvasWidgetDismissal> dismissed =
            TRY(dismissCanvasWidgetSurfaceFromEscape(runtime, viewIndex, focusedId));
        if (dismissed) return true;
    }
    if (keyIs(input, "tab") && !input.modifiers.control && !input.modifiers.option && !input.modifiers.command &&
        !input.modifiers.primary) {
        const WidgetFocusDirection direction =
            input.modifiers.shift ? WidgetFocusDirection::previous : WidgetFocusDirection::next;
        // An open menu around or owned by the focused widget closes first, and the focus moves on
        // from where closing it left the focus (the menu's trigger).
        bool closed = false;
        if (focused && runtime.views[viewIndex].focused) {
            closed = TRY(dismissCanvasWidgetMenuSurfaceBeforeTab(runtime, viewIndex, focusedId)).has_value();
        }
        const std::uint64_t fromId = runtime.views[viewIndex].canvas.interaction.focusedWidget;
        const bool from = indexOfId(tree, fromId).has_value();
        const WidgetFocusTarget target =
            widgetLayoutFocusTarget(tree, from ? std::optional(fromId) : std::nullopt, direction);
        if (!target.found) return closed;
        const bool moved = TRY(focusIndex(runtime, viewIndex, tree, static_cast<std::size_t>(target.index)));
        if (moved) {
            TRY(dismissCanvasWidgetMenuSurfaceForFocusDeparture(runtime, viewIndex, fromId));
            TRY(textKey(runtime, input, true));
        }
        return true;
    }
    if (!focused) return false;
    const WidgetLayoutNode& node = tree[*focused];
    const WidgetKind kind = node.widgetKind();
    if (isTextEntryKind(kind)) {
        TRY(textKey(runtime, input, false));
        return true;
    }
    if (kind == WidgetKind::slider) {
        if (const std::optional<float> value = widgetSliderKeyboardValue(input, node.value)) {
            TRY(setCanvasWidgetSliderValue(runtime, viewIndex, node.id, *value));
            return true;
        }
    }
    if (kind == WidgetKind::split_divider) {
        const std::optional<std::size_t> container = widgetParentIndex(tree, *focused);
        if (const std::optional<float> value = widgetSplitDividerKeyboardValue(input, node.value); value && container) {
            TRY(applyCanvasWidgetSplitFractionMoved(runtime, viewIndex, *container, *value, true));
            return true;
        }
    }
    if (kind == WidgetKind::scroll_view) {
        if (const WidgetScrollIntent intent = widgetScrollKeyboardIntent(node, input); intent.present) {
            return scrollFromKeyboard(runtime, viewIndex, *focused, intent);
        }
    }
    // Enter and Space select a tree row (Shift may be held, as for every widget key).
    if (isActiveTreeRow(tree, *focused) && isWidgetActivationKey(input.key) && isPlainWidgetKeyPress(input)) {
        TRY(setCanvasWidgetSelected(runtime, viewIndex, node.id));
        return true;
    }
    if (isWidgetActivationKey(input.key) && isPlainWidgetKeyPress(input)) {
        const ToggleAnimationRequest animation = canvasWidgetToggleAnimation(runtime, viewIndex, node.id);
        if (const std::optional<Rect> toggled = TRY(toggleCanvasWidgetBooleanControl(runtime, viewIndex, node.id))) {
            if (animation.valid) scheduleCanvasWidgetToggleAnimation(runtime, viewIndex, animation);
            return true;
        }
        if (TRY(setCanvasWidgetSelected(runtime, viewIndex, node.id))) return true;
    }
    if (isWidgetMenuOpenArrowKey(input.key) && noModifiers(input)) {
        if (const std::optional<std::uint64_t> entry = canvasWidgetMenuSurfaceEntryId(tree, *focused);
            entry && !insideSubtree(tree, *canvasWidgetOwnedMenuSurfaceIndex(tree, *focused), focusedId)) {
            TRY(focusIndex(runtime, viewIndex, tree, *indexOfId(tree, *entry)));
            return true;
        }
    }
    if (noModifiers(input) && (keyIs(input, "home") || keyIs(input, "end"))) {
        const bool toEnd = keyIs(input, "end");
        std::optional<std::size_t> edge = canvasWidgetGroupFocusEdgeTarget(tree, *focused, toEnd);
        if (!edge) edge = canvasWidgetTreeFocusEdgeTarget(tree, *focused, toEnd);
        if (!edge) return false;
        if (TRY(focusIndex(runtime, viewIndex, tree, *edge))) {
            TRY(selectTreeRowFocusMovedTo(runtime, viewIndex, tree, *edge));
        }
        return true;
    }
    if (const std::optional<WidgetFocusDirection> direction = canvasWidgetSpatialFocusDirection(input);
        direction && !input.modifiers.control && !input.modifiers.option && !input.modifiers.command &&
        !input.modifiers.primary) {
        const std::optional<std::size_t> target = canvasWidgetArrowFocusTarget(tree, *focused, *direction);
        if (target && *target != *focused) {
            const bool moved = TRY(focusIndex(runtime, viewIndex, tree, *target));
            TRY(dismissCanvasWidgetMenuSurfaceForFocusDeparture(runtime, viewIndex, focusedId));
            if (moved) TRY(selectTreeRowFocusMovedTo(runtime, viewIndex, tree, *target));
            return true;
        }
        // The focus stays: a tree row may open or close instead.
        if (TRY(expandOrCollapseTreeRow(runtime, viewIndex, tree, *focused, *direction))) return true;
        return target.has_value();
    }
    return false;
}

}  // namespace kelvo
