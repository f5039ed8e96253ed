#include "runtime/canvas/canvas_text_keyboard.hpp"

#include <array>

#include "base/ascii_case.hpp"
#include "runtime/bridge/clipboard_services.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_text_clipboard.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"
#include "text/text_interaction.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

struct Modifiers {
    bool shift = false;
    bool control = false;
    bool option = false;
    bool command = false;

    [[nodiscard]] bool anyOfControlOptionCommand() const { return control || option || command; }
    // Exactly one of option and control, without command: moves and deletes by words.
    [[nodiscard]] bool word() const { return (option != control) && !command; }
};

Modifiers modifiersOf(const GpuSurfaceInput& input) {
    // The primary modifier is the platform's command key.
    return {input.modifiers.shift, input.modifiers.control, input.modifiers.option,
            input.modifiers.command || input.modifiers.primary};
}

TextEditRequest edit(TextEditKind kind, std::string_view text = {}) { return {text, 0, 0, false, kind}; }

TextEditRequest move(TextCaretMove to, bool extend) {
    return {{}, textCaretMoveCode(to, extend), 0, false, TextEditKind::move_caret};
}

bool keyIs(std::string_view key, std::string_view name) { return equalsAsciiCaseless(key, name); }

// Enter and return may carry the carriage return or line feed they typed.
bool onlyLineBreaks(std::string_view text) { return text.find_first_not_of("\r\n") == std::string_view::npos; }

std::optional<TextEditRequest> requestForKeyDown(const GpuSurfaceInput& input, WidgetKind kind,
                                                 const TextEditState& state, TextKeyContext context) {
    const std::string_view key = input.key;
    const Modifiers m = modifiersOf(input);
    const bool plain = !m.anyOfControlOptionCommand();
    if (keyIs(key, "escape") || keyIs(key, "esc")) {
        if (!plain || m.shift) return std::nullopt;
        if (state.composition) return edit(TextEditKind::cancel_composition);
        if (kind == WidgetKind::search_field || kind == WidgetKind::combo_box) return edit(TextEditKind::clear_text);
        return std::nullopt;
    }
    if (kind == WidgetKind::text_area && (keyIs(key, "enter") || keyIs(key, "return")) && plain &&
        onlyLineBreaks(input.text)) {
        if (context.focusMoved) return std::nullopt;
        return edit(TextEditKind::insert_text, "\n");
    }
    if (keyIs(key, "a") && (m.control || m.command) && !m.option && !m.shift) {
        return TextEditRequest{{}, 0, state.text.size(), false, TextEditKind::set_selection};
    }
    const bool backspace = keyIs(key, "backspace");
    if (backspace || keyIs(key, "delete")) {
        if (plain) return edit(backspace ? TextEditKind::delete_backward : TextEditKind::delete_forward);
        if (m.word()) return edit(backspace ? TextEditKind::delete_word_backward : TextEditKind::delete_word_forward);
        return std::nullopt;
    }
    const bool left = keyIs(key, "arrowleft");
    if (left || keyIs(key, "arrowright")) {
        if (plain) return move(left ? TextCaretMove::previous_character : TextCaretMove::next_character, m.shift);
        if (m.word()) return move(left ? TextCaretMove::previous_word : TextCaretMove::next_word, m.shift);
        // Command alone goes to the start or the end, as on one line.
        if (m.command && !m.control && !m.option)
            return move(left ? TextCaretMove::start : TextCaretMove::end, m.shift);
        return std::nullopt;
    }
    const bool home = keyIs(key, "home");
    if (home || keyIs(key, "end")) {
        if (!plain) return std::nullopt;
        return move(home ? TextCaretMove::start : TextCaretMove::end, m.shift);
    }
    const bool up = keyIs(key, "arrowup");
    if ((up || keyIs(key, "arrowdown")) && plain && input.text.empty()) {
        if (kind == WidgetKind::text_area) return std::nullopt;
        return move(up ? TextCaretMove::start : TextCaretMove::end, m.shift);
    }
    if (input.text.empty() || m.control || m.command || context.focusMoved) return std::nullopt;
    if (!isInsertableTypedText(input.text)) return std::nullopt;
    return edit(TextEditKind::insert_text, input.text);
}

// The focused widget of the GPU canvas view at `viewIndex` when it is an enabled text entry.
const WidgetLayoutNode* focusedTextEntry(const Runtime& runtime, std::size_t viewIndex) {
    const RuntimeView& view = runtime.views[viewIndex];
    if (view.kind != ViewKind::gpu_surface) return nullptr;
    const std::optional<std::size_t> index =
        canvasWidgetNodeIndex(runtime, viewIndex, view.canvas.interaction.focusedWidget);
    if (!index) return nullptr;
    const WidgetLayoutNode& node = canvasSlotOf(runtime.canvasSlots, view)->tree.nodes[*index];
    if (!isTextEntryKind(node.widgetKind()) || (node.disabled & 1u) != 0) return nullptr;
    return &node;
}

Status applyToFocusedEntry(Runtime& runtime, std::size_t viewIndex, const TextEditRequest& request) {
    const std::uint64_t widgetId = runtime.views[viewIndex].canvas.interaction.focusedWidget;
    const std::optional<Rect> dirty = TRY(applyCanvasWidgetTextEdit(runtime, viewIndex, widgetId, request));
    if (!dirty) return {};
    return invalidateForCanvasWidgetDirty(runtime, viewIndex, *dirty);
}

// Pasted text is read here (one byte more than a text may hold is refused by the platform).
struct PasteScratch {
    std::array<char, kTextEditLimit> clipboard;
};

}  // namespace

bool isInsertableTypedText(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return false;
        // U+F700 to U+F8FF: EF 9C 80 to EF A3 BF.
        if (byte == 0xEF && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x9C && next <= 0xA3) return false;
        }
    }
    return true;
}

std::optional<TextEditRequest> textEditRequestForInput(const GpuSurfaceInput& input, WidgetKind kind,
                                                       const TextEditState& state, TextKeyContext context) {
    switch (input.kind) {
        case GpuSurfaceInputKind::key_down:
            return requestForKeyDown(input, kind, state, context);
        case GpuSurfaceInputKind::text_insert:
            if (input.text.empty() || context.focusMoved || !isInsertableTypedText(input.text)) return std::nullopt;
            return edit(TextEditKind::insert_text, input.text);
        case GpuSurfaceInputKind::composition_update:
            return TextEditRequest{input.text, input.replacementRange.value_or(0), 0,
                                   input.replacementRange.has_value(), TextEditKind::set_composition};
        case GpuSurfaceInputKind::composition_commit:
            // The committed text replaces the marked text, which stops being marked.
            if (input.text.empty()) return edit(TextEditKind::commit_composition);
            return edit(TextEditKind::insert_text, input.text);
        case GpuSurfaceInputKind::composition_cancel:
            return edit(TextEditKind::cancel_composition);
        default:
            return std::nullopt;
    }
}

Status updateCanvasWidgetTextFromKeyboard(Runtime& runtime, const GpuSurfaceInput& input, TextKeyContext context) {
    const std::optional<std::size_t> viewIndex = findViewIndex(runtime, input.windowId, input.label);
    if (!viewIndex) return {};
    const WidgetLayoutNode* node = focusedTextEntry(runtime, *viewIndex);
    if (node == nullptr) return {};
    const std::optional<TextEditRequest> request = textEditRequestForInput(
        input, node->widgetKind(), TextEditState{node->text, node->selection, node->composition}, context);
    if (!request) return {};
    return applyToFocusedEntry(runtime, *viewIndex, *request);
}

Status applyEditKeyboardEvent(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input) {
    TRY(updateCanvasWidgetTextFromKeyboard(runtime, input));
    const std::optional<std::size_t> viewIndex = findViewIndex(runtime, input.windowId, input.label);
    if (!viewIndex) return {};
    return sendCanvasWidgetKeyboardEvent(runtime, binding, *viewIndex, input);
}

Status sendCanvasWidgetKeyboardEvent(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                     const GpuSurfaceInput& input) {
    const RuntimeView& view = runtime.views[viewIndex];
    const Modifiers m = modifiersOf(input);
    return dispatchEvent(
        runtime, binding,
        RuntimeEvent(CanvasWidgetKeyboardEvent{view.windowId, view.label.view(), view.canvas.interaction.focusedWidget,
                                               input.key, input.text, m.shift, m.control, m.option, m.command}));
}

Status insertCanvasWidgetTextFromClipboard(Runtime& runtime, std::size_t viewIndex, std::string_view text) {
    if (viewIndex >= runtime.views.size() || focusedTextEntry(runtime, viewIndex) == nullptr) return {};
    return applyToFocusedEntry(runtime, viewIndex, edit(TextEditKind::insert_text, text));
}

Status copyCanvasWidgetText(Runtime& runtime, std::string_view text) {
    if (text.empty()) return {};
    return writeClipboardData(runtime, ClipboardItem{kPlainTextMimeType, text});
}

Status cutCanvasWidgetText(Runtime& runtime, std::size_t viewIndex) {
    if (focusedTextEntry(runtime, viewIndex) == nullptr) return {};
    const std::string_view selected =
        editableSelectionText(runtime, viewIndex, runtime.views[viewIndex].canvas.interaction.focusedWidget);
    if (selected.empty()) return {};
    TRY(writeClipboardData(runtime, ClipboardItem{kPlainTextMimeType, selected}));
    return insertCanvasWidgetTextFromClipboard(runtime, viewIndex, {});
}

Result<std::optional<std::string_view>> pasteCanvasWidgetText(Runtime& runtime, std::size_t viewIndex) {
    const WidgetLayoutNode* node = focusedTextEntry(runtime, viewIndex);
    if (node == nullptr) return std::optional<std::string_view>{};
    PasteScratch& scratch = perThreadCanvasScratch<PasteScratch>();
    const std::string_view pasted = TRY(readClipboard(runtime, scratch.clipboard));
    if (pasted.empty()) return std::optional<std::string_view>{};
    const ClampedPasteText clamped = clampCanvasWidgetPasteText(*node, node->text.size(), pasted);
    TRY(insertCanvasWidgetTextFromClipboard(runtime, viewIndex, clamped.text));
    return std::optional<std::string_view>{clamped.text};
}

Result<bool> applyCanvasWidgetClipboardShortcut(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                                const GpuSurfaceInput& input) {
    const Modifiers m = modifiersOf(input);
    if (input.kind != GpuSurfaceInputKind::key_down || input.key.size() != 1 || !(m.control || m.command) || m.option ||
        m.shift || viewIndex >= runtime.views.size() || !runtime.views[viewIndex].focused) {
        return false;
    }
    switch (asciiLower(input.key[0])) {
        case 'c':
            TRY(copyCanvasWidgetText(runtime, canvasWidgetCopyText(runtime, viewIndex)));
            return true;
        case 'x':
            TRY(cutCanvasWidgetText(runtime, viewIndex));
            break;
        case 'v':
            TRY(pasteCanvasWidgetText(runtime, viewIndex));
            break;
        default:
            return false;
    }
    if (focusedTextEntry(runtime, viewIndex) != nullptr)
        TRY(sendCanvasWidgetKeyboardEvent(runtime, binding, viewIndex, input));
    return true;
}

}  // namespace kelvo
