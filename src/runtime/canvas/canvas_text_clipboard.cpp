#include "runtime/canvas/canvas_text_clipboard.hpp"

#include <algorithm>

#include "base/utf8.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/runtime.hpp"
#include "text/text_interaction.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

namespace {

bool holdsSelectableText(WidgetKind kind, bool editableOnly) {
    return isTextEntryKind(kind) || (!editableOnly && kind == WidgetKind::text);
}

}  // namespace

std::string_view canvasWidgetSelectionSliceById(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId,
                                                bool editableOnly) {
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, widgetId);
    if (!index) return {};
    const WidgetLayoutNode& node = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex])->tree.nodes[*index];
    if ((node.disabled & 1u) != 0 || !node.selection || !holdsSelectableText(node.widgetKind(), editableOnly)) {
        return {};
    }
    const std::size_t anchor = textCharStart(node.text, node.selection->start);
    const std::size_t focus = textCharStart(node.text, node.selection->end);
    return node.text.substr(std::min(anchor, focus), std::max(anchor, focus) - std::min(anchor, focus));
}

std::string_view editableSelectionText(const Runtime& runtime, std::size_t viewIndex, std::uint64_t widgetId) {
    return canvasWidgetSelectionSliceById(runtime, viewIndex, widgetId, true);
}

std::string_view canvasWidgetCopyText(const Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size()) return {};
    const CanvasInteraction& interaction = runtime.views[viewIndex].canvas.interaction;
    std::string_view text = editableSelectionText(runtime, viewIndex, interaction.focusedWidget);
    if (text.empty()) text = canvasWidgetSelectionSliceById(runtime, viewIndex, interaction.selectionOwner, false);
    return text;
}

ClampedPasteText clampCanvasWidgetPasteText(const WidgetDescription& widget, std::size_t currentLength,
                                            std::string_view pasted) {
    std::size_t replaced = 0;
    const WidgetKind kind = widget.widgetKind();
    if (widget.composition) {
        replaced = widget.composition->end > widget.composition->start
                       ? widget.composition->end - widget.composition->start
                       : widget.composition->start - widget.composition->end;
    } else if (widget.selection && holdsSelectableText(kind, false)) {
        replaced = widget.selection->end > widget.selection->start ? widget.selection->end - widget.selection->start
                                                                   : widget.selection->start - widget.selection->end;
    }
    replaced = std::min(replaced, currentLength);
    const std::size_t kept = currentLength - replaced;
    const std::size_t room = kept >= kTextEditLimit ? 0 : kTextEditLimit - kept;
    if (pasted.size() <= room) return {pasted, false};
    return {pasted.substr(0, utf8CutLength(pasted, room)), true};
}

}  // namespace kelvo
