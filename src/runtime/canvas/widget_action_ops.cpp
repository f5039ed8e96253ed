#include "runtime/canvas/widget_action_ops.hpp"

#include <array>
#include <cmath>

#include "base/number_text.hpp"
#include "base/utf8.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_control.hpp"
#include "runtime/canvas/view_widget_focus.hpp"
#include "runtime/canvas/widget_targets.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_focus.hpp"
#include "runtime/views/view_lookup.hpp"
#include "text/text_interaction.hpp"
#include "widgets/text_edit_store.hpp"
#include "widgets/thread_scratch.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_surfaces.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

// A drag without an argument moves this far right.
constexpr float kDefaultDragX = 16;

// The view's window and label, copied: a dispatch may move or reuse the view record.
struct ViewName {
    std::uint64_t windowId = 0;
    LabelBytes label;
};

ViewName viewName(const Runtime& runtime, std::size_t viewIndex) {
    const RuntimeView& view = runtime.views[viewIndex];
    return {view.windowId, view.label};
}

Result<std::size_t> findAgain(const Runtime& runtime, const ViewName& name) {
    std::optional<std::size_t> index = findViewIndex(runtime, name.windowId, name.label.view());
    if (!index) return fail(Error::ViewNotFound);
    return *index;
}

Status checkViewIndex(const Runtime& runtime, std::size_t viewIndex) {
    return viewIndex < runtime.views.size() ? Status{} : fail(Error::ViewNotFound);
}

Result<WidgetLayoutTree> widgetTree(Runtime& runtime, std::size_t viewIndex) {
    TRY(checkViewIndex(runtime, viewIndex));
    const CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return fail(Error::InvalidCommand);
    return slot->tree.tree();
}

Result<std::size_t> widgetIndex(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId) {
    std::optional<std::size_t> index =
        widgetId != 0 ? canvasWidgetNodeIndex(runtime, viewIndex, widgetId) : std::nullopt;
    if (!index) return fail(Error::InvalidCommand);
    return *index;
}

// Both interaction timestamps become now (left alone without a clock).
void touchInteraction(Runtime& runtime, std::size_t viewIndex) {
    const std::int64_t now = runtimeWallClockNs(runtime);
    if (now <= 0) return;
    CanvasInteraction& ids = runtime.views[viewIndex].canvas.interaction;
    ids.pendingInputNs = static_cast<std::uint64_t>(now);
    ids.lastInputNs = static_cast<std::uint64_t>(now);
}

Status dispatchInput(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    return dispatchPlatformEvent(runtime, binding, PlatformEvent(input));
}

Status dispatchKeyDown(Runtime& runtime, const AppBinding& binding, const ViewName& name, std::string_view key,
                       KeyModifiers modifiers = {}) {
    GpuSurfaceInput input = canvasViewInput(runtime, TRY(findAgain(runtime, name)), GpuSurfaceInputKind::key_down);
    input.label = name.label.view();
    input.key = key;
    input.modifiers = modifiers;
    return dispatchInput(runtime, binding, input);
}

// A text entry that can be typed into: shown, visible, enabled.
Status checkTextEntry(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId) {
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, viewIndex));
    const std::size_t index = TRY(widgetIndex(runtime, viewIndex, widgetId));
    const WidgetLayoutNode& node = tree[index];
    if (isWidgetHiddenHereOrAbove(tree, index) || !canvasWidgetLayoutNodeFrameVisible(tree, index) ||
        !isTextEntryKind(node.widgetKind()) || (node.disabled & 1u) != 0) {
        return fail(Error::InvalidCommand);
    }
    return {};
}

// Whether a text entry of `kind` takes `text` whole: what typing gives, and in a text area also
// the line feeds, carriage returns and tabs a paste gives.
bool takesWholeText(WidgetKind kind, std::string_view text) {
    if (!isValidUtf8(text)) return false;
    if (kind != WidgetKind::text_area) return isInsertableTypedText(text);
    std::size_t start = 0;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        if (at < text.size() && text[at] != '\n' && text[at] != '\r' && text[at] != '\t') continue;
        if (!isInsertableTypedText(text.substr(start, at - start))) return false;
        start = at + 1;
    }
    return true;
}

// A text that would replace the whole text of the entry `widgetId`: one it takes (InvalidCommand
// otherwise), within the edit limit (TextEditBufferTooSmall) and room in the view's text store
// (WidgetTextTooLarge).
Status checkWholeText(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId, std::string_view text) {
    const std::size_t index = TRY(widgetIndex(runtime, viewIndex, widgetId));
    const WidgetTreeStorage& tree = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex])->tree;
    if (!takesWholeText(tree.nodes[index].widgetKind(), text)) return fail(Error::InvalidCommand);
    if (text.size() > kTextEditLimit) return fail(Error::TextEditBufferTooSmall);
    if (!widgetNodeTextFits(tree, index, text.size())) return fail(Error::WidgetTextTooLarge);
    return {};
}

bool isSelectableKind(WidgetKind kind) {
    return kind == WidgetKind::menu_item || kind == WidgetKind::list_item || kind == WidgetKind::data_cell ||
           kind == WidgetKind::segmented_control || kind == WidgetKind::radio;
}

// A selectable widget without area counts as shown unless something above it clips.
bool selectableShown(WidgetLayoutTree tree, std::size_t index) {
    if (!rectIsEmpty(tree[index].rect)) return canvasWidgetLayoutNodeFrameVisible(tree, index);
    bool clipped = false;
    forEachWidgetAncestor(tree, index, [&](std::size_t ancestor) {
        clipped = widgetClipsChildren(tree[ancestor]);
        return !clipped;
    });
    return !clipped;
}

}  // namespace

std::optional<std::size_t> canvasActionArgumentWords(std::string_view text, std::span<std::string_view> out) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && space(text[at])) ++at;
        std::size_t end = at;
        while (end < text.size() && !space(text[end])) ++end;
        if (end > at) {
            if (count == out.size()) return std::nullopt;
            out[count++] = text.substr(at, end - at);
        }
        at = end;
    }
    return count;
}

namespace {

// "dx dy" as two finite numbers; empty is the default drag.
std::optional<Point> dragDelta(std::string_view argument) {
    std::array<std::string_view, 2> words;
    const std::optional<std::size_t> count = canvasActionArgumentWords(argument, words);
    if (count == 0) return Point{kDefaultDragX, 0};
    if (count != 2) return std::nullopt;
    std::optional<float> dx = parseF32(words[0]);
    std::optional<float> dy = parseF32(words[1]);
    if (!dx || !dy || !std::isfinite(*dx) || !std::isfinite(*dy)) return std::nullopt;
    return Point{*dx, *dy};
}

struct DroppedPaths {
    std::array<std::string_view, kMaxDroppedPaths> paths;
};

}  // namespace

GpuSurfaceInput canvasViewInput(const Runtime& runtime, std::size_t viewIndex, GpuSurfaceInputKind kind) {
    GpuSurfaceInput input;
    const RuntimeView& view = runtime.views[viewIndex];
    input.windowId = view.windowId;
    input.label = view.label.view();
    input.kind = kind;
    const std::int64_t now = runtimeWallClockNs(runtime);
    input.timestampNs = now > 0 ? static_cast<std::uint64_t>(now) : 0;
    return input;
}

Status focusAutomationCanvasWidget(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId) {
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, viewIndex));
    const std::size_t index = TRY(widgetIndex(runtime, viewIndex, widgetId));
    const WidgetFocusTarget target = focusTargetFromLayoutNode(tree, index);
    if (!target.found) return fail(Error::InvalidCommand);
    const ViewName name = viewName(runtime, viewIndex);
    TRY(focusView(runtime, name.windowId, name.label.view()));
    const std::size_t view = TRY(findAgain(runtime, name));
    RuntimeView& record = runtime.views[view];
    CanvasInteraction& ids = record.canvas.interaction;
    const std::uint64_t visible = isTextEntryKind(widgetKindFromBits(target.kind)) ? target.id : 0;
    if (ids.focusedWidget == target.id && ids.focusVisibleWidget == visible) return {};
    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, record);
    ids.focusedWidget = target.id;
    ids.focusVisibleWidget = visible;
    touchInteraction(runtime, view);
    return invalidateForCanvasWidgetRenderStateChange(runtime, view, before, canvasWidgetRenderState(runtime, record));
}

Status selectAutomationCanvasWidget(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId) {
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, viewIndex));
    const std::size_t index = TRY(widgetIndex(runtime, viewIndex, widgetId));
    const WidgetLayoutNode& node = tree[index];
    if (isWidgetHiddenHereOrAbove(tree, index) || (node.disabled & 1u) != 0 || !isSelectableKind(node.widgetKind()) ||
        !selectableShown(tree, index)) {
        return fail(Error::InvalidCommand);
    }
    const ViewName name = viewName(runtime, viewIndex);
    if (focusTargetFromLayoutNode(tree, index).found) TRY(focusAutomationCanvasWidget(runtime, viewIndex, widgetId));
    const std::size_t view = TRY(findAgain(runtime, name));
    const std::optional<Rect> dirty = TRY(setCanvasWidgetSelected(runtime, view, widgetId));
    if (dirty) touchInteraction(runtime, view);
    return {};
}

Status setAutomationCanvasWidgetText(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                     std::uint64_t widgetId, std::string_view text) {
    TRY(checkTextEntry(runtime, viewIndex, widgetId));
    TRY(checkWholeText(runtime, viewIndex, widgetId, text));
    TRY(focusAutomationCanvasWidget(runtime, viewIndex, widgetId));
    const ViewName name = viewName(runtime, viewIndex);
    TRY(checkTextEntry(runtime, TRY(findAgain(runtime, name)), widgetId));
    KeyModifiers selectAll;
    selectAll.primary = true;
    TRY(dispatchKeyDown(runtime, binding, name, "a", selectAll));
    if (text.empty()) return dispatchKeyDown(runtime, binding, name, "backspace");
    const std::size_t view = TRY(findAgain(runtime, name));
    if (!isInsertableTypedText(text)) {
        // Line breaks and tabs for a text area, which no typed insertion carries.
        touchInteraction(runtime, view);
        return insertCanvasWidgetTextFromClipboard(runtime, view, text);
    }
    GpuSurfaceInput input = canvasViewInput(runtime, view, GpuSurfaceInputKind::text_insert);
    input.label = name.label.view();
    input.text = text;
    return dispatchInput(runtime, binding, input);
}

Status editAutomationCanvasWidgetText(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                      const TextEditRequest& edit) {
    TRY(focusAutomationCanvasWidget(runtime, viewIndex, widgetId));
    const std::size_t view = TRY(findAgain(runtime, viewName(runtime, viewIndex)));
    TRY(checkTextEntry(runtime, view, widgetId));
    const std::optional<Rect> dirty = TRY(applyCanvasWidgetTextEdit(runtime, view, widgetId, edit));
    if (!dirty) return {};
    touchInteraction(runtime, view);
    return invalidateForCanvasWidgetDirty(runtime, view, *dirty);
}

Status dispatchAutomationWidgetKey(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                   std::uint64_t widgetId, std::string_view key) {
    TRY(focusAutomationCanvasWidget(runtime, viewIndex, widgetId));
    const ViewName name = viewName(runtime, viewIndex);
    const std::size_t view = TRY(findAgain(runtime, name));
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, view));
    const std::size_t index = TRY(widgetIndex(runtime, view, widgetId));
    RuntimeView& record = runtime.views[view];
    CanvasInteraction& ids = record.canvas.interaction;
    // A list item shows where the keys go, as it would after a keyboard move; a tree row keeps
    // the tree's own rules.
    const bool treeRow = (tree[index].role & 0x1Fu) == static_cast<unsigned>(WidgetSemanticRole::treeitem);
    if (tree[index].widgetKind() == WidgetKind::list_item && !treeRow && ids.focusVisibleWidget != widgetId) {
        const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, record);
        ids.focusVisibleWidget = widgetId;
        TRY(invalidateForCanvasWidgetRenderStateChange(runtime, view, before,
                                                       canvasWidgetRenderState(runtime, record)));
    }
    return dispatchKeyDown(runtime, binding, name, key);
}

Status dispatchAutomationCanvasWidgetDrag(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                          std::uint64_t widgetId, std::string_view argument) {
    TRY(checkViewIndex(runtime, viewIndex));
    const std::optional<Point> delta = dragDelta(argument);
    if (!delta) return fail(Error::InvalidCommand);
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, viewIndex));
    const CanvasWidgetTarget target = TRY(canvasWidgetPointerTargetChecked(tree, widgetId));
    const ViewName name = viewName(runtime, viewIndex);

    RuntimeView& record = runtime.views[viewIndex];
    const std::uint64_t previous = record.canvas.interaction.pressedWidget;
    const auto setPressed = [&](std::size_t view, std::uint64_t id) -> Status {
        RuntimeView& pressedView = runtime.views[view];
        if (pressedView.canvas.interaction.pressedWidget == id) return {};
        const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, pressedView);
        pressedView.canvas.interaction.pressedWidget = id;
        return invalidateForCanvasWidgetRenderStateChange(runtime, view, before,
                                                          canvasWidgetRenderState(runtime, pressedView));
    };
    TRY(setPressed(viewIndex, widgetId));

    GpuSurfaceInput input = canvasViewInput(runtime, viewIndex, GpuSurfaceInputKind::pointer_drag);
    input.label = name.label.view();
    input.x = target.frame.x + target.frame.width * 0.5f + delta->x;
    input.y = target.frame.y + target.frame.height * 0.5f + delta->y;
    input.dx = delta->x;
    input.dy = delta->y;
    const Status dragged = dispatchInput(runtime, binding, input);

    const std::optional<std::size_t> view = findViewIndex(runtime, name.windowId, name.label.view());
    if (!view) return dragged;
    if (!dragged) {
        (void)setPressed(*view, previous);
        return dragged;
    }
    if (runtime.views[*view].canvas.interaction.pressedWidget == widgetId) TRY(setPressed(*view, 0));
    return {};
}

Status dispatchAutomationCanvasWidgetFileDrop(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                              std::uint64_t widgetId, std::string_view argument) {
    TRY(checkViewIndex(runtime, viewIndex));
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, viewIndex));
    const CanvasWidgetTarget target = TRY(canvasWidgetPointerTargetChecked(tree, widgetId));
    DroppedPaths& dropped = perThreadCanvasScratch<DroppedPaths>();
    const std::optional<std::size_t> count = canvasActionArgumentWords(argument, dropped.paths);
    if (!count || *count == 0) return fail(Error::InvalidCommand);
    const ViewName name = viewName(runtime, viewIndex);
    FilesDroppedEvent event;
    event.windowId = name.windowId;
    event.viewLabel = name.label.view();
    event.paths = std::span<const std::string_view>(dropped.paths.data(), *count);
    event.x = target.frame.x + target.frame.width * 0.5f;
    event.y = target.frame.y + target.frame.height * 0.5f;
    event.hasPosition = true;
    return dispatchPlatformEvent(runtime, binding, PlatformEvent(event));
}

Status dismissAutomationCanvasWidget(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                     std::uint64_t widgetId) {
    TRY(checkViewIndex(runtime, viewIndex));
    touchInteraction(runtime, viewIndex);
    const WidgetLayoutTree tree = TRY(widgetTree(runtime, viewIndex));
    const std::size_t index = TRY(widgetIndex(runtime, viewIndex, widgetId));
    const std::optional<std::size_t> surface = canvasWidgetSurfaceForNode(tree, index);
    if (!surface) return fail(Error::InvalidCommand);
    const std::uint64_t surfaceId = tree[*surface].id;
    const ViewName name = viewName(runtime, viewIndex);
    const std::optional<CanvasWidgetDismissal> dismissed =
        TRY(dismissCanvasWidgetSurfaceAtIndex(runtime, viewIndex, *surface));
    if (!dismissed) return fail(Error::InvalidCommand);
    if (surfaceId == 0) return {};
    return dispatchEvent(runtime, binding,
                         RuntimeEvent(CanvasWidgetDismissEvent{name.windowId, name.label.view(), surfaceId}));
}

}  // namespace kelvo
