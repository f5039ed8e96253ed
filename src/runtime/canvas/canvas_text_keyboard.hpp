#pragma once

// Keys and typed text on a canvas view's focused text entry: which edit they ask for, applying
// it, and the clipboard shortcuts (copy, cut, paste) of key-down input.

#include <cstddef>
#include <optional>

#include "base/error.hpp"
#include "platform/types/gpu_surface_event.hpp"
#include "widgets/text_edit.hpp"
#include "widgets/widget_kind.hpp"

namespace kelvo {

struct Runtime;
struct AppBinding;

struct TextKeyContext {
    // The same key already moved the keyboard focus to the widget: it types nothing there.
    bool focusMoved = false;
};

// The edit that key-down input (kind 6) or text and composition input (kinds 8 to 11) asks of a
// text entry of `kind` in `state`, or none. Key names are compared without regard to ASCII case;
// the first rule that matches a key decides, and typed text holding a control character, DEL or a
// private-use function-key character (U+F700 to U+F8FF) is never inserted; a text area takes a
// line feed from enter or return.
std::optional<TextEditRequest> textEditRequestForInput(const GpuSurfaceInput& input, WidgetKind kind,
                                                       const TextEditState& state, TextKeyContext context = {});

// Whether typed text may be inserted as it is (no C0 control, DEL or U+F700 to U+F8FF).
bool isInsertableTypedText(std::string_view text);

// Applies that edit to the focused widget of the GPU canvas view the input names when it is an
// enabled text entry, and invalidates what the edit repainted. Anything else is left alone and
// succeeds.
Status updateCanvasWidgetTextFromKeyboard(Runtime& runtime, const GpuSurfaceInput& input, TextKeyContext context = {});

// The same, then the input goes to the application as the canvas_widget_keyboard event (naming
// the focused widget); a failed edit is returned and no event goes out.
Status applyEditKeyboardEvent(Runtime& runtime, const AppBinding& binding, const GpuSurfaceInput& input);

// Inserts `text` into the view's focused editable text entry as typing would, past the modifier
// rules (the clipboard's own continuation: an empty text deletes the selection).
Status insertCanvasWidgetTextFromClipboard(Runtime& runtime, std::size_t viewIndex, std::string_view text);

// Puts non-empty `text` on the clipboard as "text/plain".
Status copyCanvasWidgetText(Runtime& runtime, std::string_view text);
// Copies the focused entry's selection and, when that worked, deletes it.
Status cutCanvasWidgetText(Runtime& runtime, std::size_t viewIndex);
// Inserts the clipboard's text into the focused entry, cut to what it takes, and answers what it
// inserted (none when there was no entry or no text). NoSpaceLeft when the clipboard holds more
// than an entry may ever hold.
Result<std::optional<std::string_view>> pasteCanvasWidgetText(Runtime& runtime, std::size_t viewIndex);

// Tells the application of `input` on the view's focused widget (canvas_widget_keyboard).
Status sendCanvasWidgetKeyboardEvent(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                     const GpuSurfaceInput& input);

// The clipboard shortcuts of key-down input on a focused view: a one-byte key "c", "x" or "v"
// with control or command (option and shift not held). Copy writes the focused widget's copy text
// as "text/plain"; cut does so with an editable selection and then deletes it; paste reads the
// clipboard and inserts it cut to what the widget takes; both then report the keyboard event.
// Whether the input was such a shortcut.
Result<bool> applyCanvasWidgetClipboardShortcut(Runtime& runtime, const AppBinding& binding, std::size_t viewIndex,
                                                const GpuSurfaceInput& input);

}  // namespace kelvo
