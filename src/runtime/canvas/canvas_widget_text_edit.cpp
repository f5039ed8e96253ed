#include "runtime/canvas/canvas_widget_text_edit.hpp"

#include <array>
#include <cstring>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "text/text_interaction.hpp"
#include "widgets/commands.hpp"
#include "widgets/text_edit_store.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

// The edited text is built here before it goes into the store, and the text it replaces is kept
// here until the semantics of the new state have been collected.
struct TextEditScratch {
    std::array<char, kTextEditLimit> edited;
    std::array<char, kTextEditLimit> replaced;
};

TextEditState textEditStateOf(const WidgetDescription& widget) {
    return {widget.text, widget.selection, widget.composition};
}

// What an edit changes of a node, to put back when the view cannot take the new state.
struct SavedTextFields {
    std::string_view text;  // in the scratch
    std::optional<WidgetTextRange> selection;
    std::optional<WidgetTextRange> composition;
    float value = 0;
};

SavedTextFields saveTextFields(const WidgetLayoutNode& node, std::span<char> buffer) {
    if (!node.text.empty()) std::memcpy(buffer.data(), node.text.data(), node.text.size());
    return {{buffer.data(), node.text.size()}, node.selection, node.composition, node.value};
}

void restoreTextFields(WidgetTreeStorage& tree, std::size_t index, const SavedTextFields& saved) {
    // The old text fitted the store before the edit, so putting it back cannot fail.
    (void)replaceWidgetNodeText(tree, index, saved.text);
    WidgetLayoutNode& node = tree.nodes[index];
    node.selection = saved.selection;
    node.composition = saved.composition;
    node.value = saved.value;
    syncWidgetChildDescription(tree, index);
}

}  // namespace

std::optional<std::size_t> canvasWidgetNodeIndex(const Runtime& runtime, std::size_t viewIndex,
                                                 std::uint64_t widgetId) {
    if (widgetId == 0 || viewIndex >= runtime.views.size()) return std::nullopt;
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
    if (slot == nullptr) return std::nullopt;
    for (std::size_t i = 0; i < slot->tree.node_count; ++i) {
        if (slot->tree.nodes[i].id == widgetId) return i;
    }
    return std::nullopt;
}

bool scrollCanvasTextInputCaretIntoView(WidgetTreeStorage& tree, std::size_t nodeIndex) {
    WidgetLayoutNode& node = tree.nodes[nodeIndex];
    if (!isTextEntryKind(node.widgetKind())) return false;
    const float offset = textInputCaretScrollOffset(textInputWidgetOf(node), textInputTokensOf(tree.tokens));
    if (offset == node.value) return false;
    node.value = offset;
    syncWidgetChildDescription(tree, nodeIndex);
    return true;
}

Result<std::optional<Rect>> applyCanvasWidgetTextEdit(Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                                      const TextEditRequest& request) {
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
    if (!index) return std::optional<Rect>{};
    RuntimeView& view = runtime.views[viewIndex];
    WidgetTreeStorage& tree = canvasSlotOf(runtime.canvasSlots, view)->tree;
    WidgetLayoutNode& node = tree.nodes[*index];
    if (!isTextEntryKind(node.widgetKind()) || (node.disabled & 1u) != 0) return std::optional<Rect>{};

    TextEditScratch& scratch = perThreadCanvasScratch<TextEditScratch>();
    const TextEditState before = textEditStateOf(node);
    const TextEditState after = TRY(applyTextEdit(before, request, scratch.edited));
    if (after == before) return std::optional<Rect>{};

    const std::optional<Rect> dirtyBefore = canvasWidgetDirtyBounds(runtime, view, *index, node.rect);
    const SavedTextFields saved = saveTextFields(node, scratch.replaced);
    if (after.text.data() != before.text.data() || after.text.size() != before.text.size()) {
        TRY(replaceWidgetNodeText(tree, *index, after.text));
    }
    node.selection = after.selection;
    node.composition = after.composition;
    syncWidgetChildDescription(tree, *index);
    scrollCanvasTextInputCaretIntoView(tree, *index);
    if (Status collected = refreshCanvasWidgetSemantics(runtime, view); !collected) {
        restoreTextFields(tree, *index, saved);
        return fail(collected.error());
    }
    ++view.canvas.semanticsRevision;
    return unionOptionalBounds(dirtyBefore, canvasWidgetDirtyBounds(runtime, view, *index, node.rect));
}

}  // namespace kelvo
