// Input-method text on a canvas view. The view keeps no copy of the edited text, only the text
// being composed ("marked"), its range and the caret inside it; the runtime edits its widget.

#include <algorithm>

#include "platform/macos/canvas/canvas_input.hpp"
#include "platform/macos/canvas/canvas_input_private.hpp"
#include "platform/standin/element_text.hpp"

namespace kelvo {

namespace {

void emitText(CanvasInput& input, CanvasInputKind kind, std::string_view text,
              std::optional<std::uint64_t> cursor = std::nullopt) {
    input.interpretedKeyEmittedInput = true;
    CanvasInputRecord record;
    record.kind = kind;
    record.inputText = text;
    record.compositionCursor = cursor;
    emitCanvasInput(input, record);
}

// Ends a composition without an event; whether one was under way.
bool clearMarkedText(CanvasInput& input) {
    const bool wasMarked = !input.markedText.empty();
    input.markedText.clear();
    input.markedRange = {kUtf16RangeNone, 0};
    input.selectedRange = {0, 0};
    return wasMarked;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

void showCaret(CanvasInput& input) {
    if (!input.port.showCaret) return;
    Utf16Range actual;
    input.port.showCaret(input.port.context, canvasCaretRect(input, input.selectedRange, &actual));
}

}  // namespace

void canvasSetMarkedText(CanvasInput& input, std::string_view text, Utf16Range selected) {
    const std::uint64_t length = utf16Length(text);
    if (length == 0) {
        if (clearMarkedText(input)) emitText(input, CanvasInputKind::compositionCancel, "");
        return;
    }
    std::uint64_t cursor = length;
    if (selected.location == kUtf16RangeNone) {
        input.selectedRange = {length, 0};
    } else {
        // A range reaching past the text ends at its end, however large its numbers.
        cursor = std::min(length, saturatingAdd(selected.location, selected.length));
        const std::uint64_t start = std::min(selected.location, length);
        input.selectedRange = {start, std::min(selected.length, length - start)};
    }
    input.markedText.assign(text);
    input.markedRange = {0, length};
    emitText(input, CanvasInputKind::compositionUpdate, input.markedText, cursor);
    showCaret(input);
}

void canvasUnmarkText(CanvasInput& input) {
    if (clearMarkedText(input)) emitText(input, CanvasInputKind::compositionCommit, "");
}

void canvasInsertText(CanvasInput& input, std::string_view text) {
    if (text.empty()) return;
    const bool sameAsMarked = input.markedText == text;
    const bool wasMarked = clearMarkedText(input);
    input.selectedRange = {utf16Length(text), 0};
    if (wasMarked && sameAsMarked) {
        emitText(input, CanvasInputKind::compositionCommit, "");
        return;
    }
    if (wasMarked) emitText(input, CanvasInputKind::compositionCancel, "");
    emitText(input, CanvasInputKind::textInsert, text);
}

bool canvasHasMarkedText(const CanvasInput& input) { return !input.markedText.empty(); }

void canvasEditCommand(CanvasInput& input, CanvasEditCommand command) {
    if (!canvasEditCommandEnabled(input, command)) return;
    static constexpr std::string_view kKeys[] = {"c", "x", "v", "a"};
    emitSyntheticKeyDown(input, kKeys[static_cast<int>(command)], kInputCommandKey);
}

bool canvasEditCommandEnabled(const CanvasInput& input, CanvasEditCommand command) {
    if (command == CanvasEditCommand::copy) return true;
    CanvasTextElement element;
    return focusedTextElement(input, &element);
}

CanvasRect canvasCaretRect(const CanvasInput& input, Utf16Range range, Utf16Range* actual) {
    CanvasTextElement element;
    if (!focusedTextElement(input, &element)) {
        *actual = range;
        return {0, 0, 1, std::max(input.surface->height, 1.0)};
    }
    const std::uint64_t n = element.characters;
    Utf16Range clamped{0, 0};
    if (range.location != kUtf16RangeNone) {
        clamped.location = std::min(range.location, n);
        clamped.length = std::min(range.length, n - clamped.location);
    }
    *actual = clamped;
    return standin::elementCharacterRangeRect(element.frame, n, clamped.location, clamped.length);
}

}  // namespace kelvo
