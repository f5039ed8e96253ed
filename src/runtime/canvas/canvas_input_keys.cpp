// The key and text steps of canvas input: clipboard shortcuts, the keyboard navigation and widget
// keys of the focused widget (which hand text entries their keys), and the command Enter sends.

#include "base/ascii_case.hpp"
#include "runtime/canvas/canvas_input_steps.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_widget_focus.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

bool isTextInputKind(GpuSurfaceInputKind kind) {
    return kind >= GpuSurfaceInputKind::text_insert && kind <= GpuSurfaceInputKind::composition_cancel;
}

// Whether the view's focused widget is an enabled text entry: its keys become keyboard records.
bool focusesEnabledTextEntry(const Runtime& runtime, std::size_t viewIndex) {
    const RuntimeView& view = runtime.views[viewIndex];
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    const std::optional<std::size_t> index =
        canvasWidgetNodeIndex(runtime, viewIndex, view.canvas.interaction.focusedWidget);
    if (slot == nullptr || !index || !view.focused) return false;
    const WidgetLayoutNode& node = slot->tree.nodes[*index];
    return isTextEntryKind(node.widgetKind()) && (node.disabled & 1u) == 0;
}

}  // namespace

Status applyCanvasKeyInput(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                           const GpuSurfaceInput& input, CanvasInputSteps& steps) {
    if (isTextInputKind(input.kind)) return updateCanvasWidgetTextFromKeyboard(runtime, input);
    if (input.kind != GpuSurfaceInputKind::key_down || canvasWidgetSlot(runtime, viewIndex) == nullptr) return {};

    // The shortcuts need control or command, which no navigation key uses, so taking them first
    // leaves navigation as it would have been; they report their own keyboard record.
    if (TRY(applyCanvasWidgetClipboardShortcut(runtime, binding, viewIndex, input))) {
        steps.keyConsumed = true;
        return {};
    }
    steps.keyConsumed = TRY(applyCanvasWidgetKeyboardNavigation(runtime, viewIndex, input));
    steps.keyboardRecord = focusesEnabledTextEntry(runtime, viewIndex);
    const std::uint64_t focused = runtime.views[viewIndex].canvas.interaction.focusedWidget;
    if (equalsAsciiCaseless(input.key, "enter") && focused != 0) {
        if (TRY(activateCanvasWidgetCommand(runtime, binding, viewIndex, focused))) steps.keyConsumed = true;
    }
    return {};
}

}  // namespace kelvo
