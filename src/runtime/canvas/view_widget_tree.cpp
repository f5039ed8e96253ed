#include "runtime/canvas/view_widget_tree.hpp"

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_reconcile.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "widgets/thread_scratch.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {

namespace {

// Parsed trees are built here before they are installed.
struct TreeTextBuilder {
    WidgetTreeStorage storage;
};

Result<CanvasSlot*> canvasSlotAt(Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size()) return fail(Error::ViewNotFound);
    CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
    if (slot == nullptr) return fail(Error::UnsupportedViewKind);
    return slot;
}

}  // namespace

Status installCanvasWidgetTree(Runtime& runtime, std::size_t viewIndex, WidgetLayoutTree nodes,
                               const WidgetTokens& tokens) {
    CanvasSlot* slot = TRY(canvasSlotAt(runtime, viewIndex));
    // What the user did in text widgets that keep their text survives the new tree.
    SavedTextStates& saved = perThreadCanvasScratch<SavedTextStates>();
    saveCanvasTextStates(slot->tree, saved);
    TRY(installWidgetTree(slot->tree, nodes, tokens));
    reconcileCanvasTextStates(slot->tree, saved);
    RuntimeView& view = runtime.views[viewIndex];
    view.canvas.widgetRevision = slot->tree.revision;
    view.canvas.widgetNodeCount = slot->tree.node_count;
    view.canvas.contextMenuItemCount = slot->tree.context_menu_item_count;
    view.canvas.fullFrameDue = true;
    view.canvas.refreshWanted = true;
    markStateDirty(runtime);
    // The view now shows the tree: its semantics, accessibility and display list follow.
    TRY(refreshCanvasWidgetSemantics(runtime, view));
    return invalidateForCanvasWidgetDirty(runtime, viewIndex, {0, 0, view.frame.width, view.frame.height});
}

Status installCanvasWidgetTreeText(Runtime& runtime, std::size_t viewIndex, std::string_view text,
                                   std::uint32_t* errorLine) {
    TRY(canvasSlotAt(runtime, viewIndex));
    WidgetTreeStorage& built = perThreadCanvasScratch<TreeTextBuilder>().storage;
    TRY(parseWidgetTreeText(text, built, errorLine));
    return installCanvasWidgetTree(runtime, viewIndex, built.tree(), built.tokens);
}

Status copyCanvasDisplayList(Runtime& runtime, RuntimeView& view, std::span<const CanvasCommand> commands) {
    CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr) return fail(Error::UnsupportedViewKind);
    TRY(copyCanvasDisplayList(slot->displayList, commands));
    view.canvas.revision = slot->displayList.revision;
    view.canvas.commandCount = slot->displayList.count;
    return {};
}

Color canvasClearColor(const Runtime& runtime, const RuntimeView& view) {
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr || slot->tree.revision == 0) return {0, 0, 0, 0};
    return slot->tree.tokens.color(PaletteColor::background);
}

}  // namespace kelvo
