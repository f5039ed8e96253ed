#include "widgets/text_edit.hpp"

#include <algorithm>

#include "base/utf8.hpp"
#include "text/text_interaction.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

namespace {

std::size_t previousCharOffset(std::string_view text, std::size_t at) {
    return at == 0 ? 0 : textCharStart(text, at - 1);
}

std::size_t nextCharOffset(std::string_view text, std::size_t at) {
    return at < text.size() ? at + textCharLength(text, at) : text.size();
}

WidgetTextRange clampedRange(std::string_view text, const WidgetTextRange& range) {
    return {textCharStart(text, range.start), textCharStart(text, range.end)};
}

// `before` with every offset clamped, and the composition ordered.
TextEditState clampedState(const TextEditState& before) {
    TextEditState state = before;
    if (state.selection) state.selection = clampedRange(state.text, *state.selection);
    if (state.composition) {
        WidgetTextRange range = clampedRange(state.text, *state.composition);
        state.composition = WidgetTextRange{std::min(range.start, range.end), std::max(range.start, range.end)};
    }
    return state;
}

std::size_t caretOf(const TextEditState& state) { return state.selection ? state.selection->end : state.text.size(); }

// The text with [start, end) replaced, the caret after the inserted text, no composition.
Result<TextEditState> replaced(std::string_view text, std::size_t start, std::size_t end, std::string_view inserted,
                               std::span<char> output) {
    const TextEditResult edit = TRY(replaceTextRange(text, start, end, inserted, output));
    return TextEditState{edit.text, WidgetTextRange{edit.caret, edit.caret}, std::nullopt};
}

Result<TextEditState> deleted(const TextEditState& state, std::size_t start, std::size_t end, std::span<char> output) {
    if (start == end) return state;
    return replaced(state.text, start, end, {}, output);
}

std::size_t moveTarget(std::string_view text, std::size_t caret, std::uint64_t code) {
    switch (static_cast<TextCaretMove>(code)) {
        case TextCaretMove::previous_character:
            return previousCharOffset(text, caret);
        case TextCaretMove::next_character:
            return nextCharOffset(text, caret);
        case TextCaretMove::previous_word:
            return previousTextWordOffset(text, caret);
        case TextCaretMove::next_word:
            return nextTextWordOffset(text, caret);
        case TextCaretMove::end:
            return text.size();
        case TextCaretMove::start:
            break;
    }
    return 0;
}

TextEditState movedCaret(TextEditState state, std::uint64_t request) {
    const std::uint64_t code = request & 7u;
    const std::size_t caret = caretOf(state);
    const std::size_t anchor = state.selection ? state.selection->start : caret;
    const std::size_t target = moveTarget(state.text, caret, code);
    if ((request & kTextCaretMoveExtend) != 0) {
        state.selection = WidgetTextRange{anchor, target};
        return state;
    }
    std::size_t at = target;
    if (anchor != caret && code <= 3) at = (code & 1u) == 0 ? std::min(anchor, caret) : std::max(anchor, caret);
    state.selection = WidgetTextRange{at, at};
    return state;
}

}  // namespace

WidgetTextRange activeTextEditRange(const TextEditState& before) {
    const TextEditState state = clampedState(before);
    if (state.composition) return *state.composition;
    if (state.selection) {
        return {std::min(state.selection->start, state.selection->end),
                std::max(state.selection->start, state.selection->end)};
    }
    return {state.text.size(), state.text.size()};
}

Result<TextEditState> applyTextEdit(const TextEditState& before, const TextEditRequest& request,
                                    std::span<char> output) {
    const TextEditState state = clampedState(before);
    const WidgetTextRange active = activeTextEditRange(state);
    const std::string_view text = state.text;
    switch (request.kind) {
        case TextEditKind::insert_text:
            if (!isValidUtf8(request.text)) return fail(Error::InvalidTextEncoding);
            return replaced(text, active.start, active.end, request.text, output);
        case TextEditKind::delete_backward:
            if (active.start != active.end) return deleted(state, active.start, active.end, output);
            return deleted(state, previousCharOffset(text, active.start), active.start, output);
        case TextEditKind::delete_forward:
            if (active.start != active.end) return deleted(state, active.start, active.end, output);
            if (active.start >= text.size()) {
                TextEditState atEnd = state;
                atEnd.selection = WidgetTextRange{text.size(), text.size()};
                return atEnd;
            }
            return deleted(state, active.start, nextCharOffset(text, active.start), output);
        case TextEditKind::delete_word_backward:
            if (active.start != active.end) return deleted(state, active.start, active.end, output);
            return deleted(state, previousTextWordOffset(text, active.start), active.start, output);
        case TextEditKind::delete_word_forward:
            if (active.start != active.end) return deleted(state, active.start, active.end, output);
            return deleted(state, active.start, nextTextWordOffset(text, active.start), output);
        case TextEditKind::clear_text:
            return TextEditState{std::string_view(output.data(), 0), WidgetTextRange{0, 0}, std::nullopt};
        case TextEditKind::move_caret:
            return movedCaret(state, request.first);
        case TextEditKind::set_selection: {
            TextEditState selected = state;
            selected.selection =
                WidgetTextRange{textCharStart(text, request.first), textCharStart(text, request.second)};
            selected.composition.reset();
            return selected;
        }
        case TextEditKind::set_composition: {
            if (!isValidUtf8(request.text)) return fail(Error::InvalidTextEncoding);
            TextEditState composed = TRY(replaced(text, active.start, active.end, request.text, output));
            const std::size_t inside = request.flag ? textCharStart(request.text, request.first) : request.text.size();
            composed.selection = WidgetTextRange{active.start + inside, active.start + inside};
            composed.composition = WidgetTextRange{active.start, active.start + request.text.size()};
            return composed;
        }
        case TextEditKind::commit_composition: {
            TextEditState committed = state;
            committed.composition.reset();
            return committed;
        }
        case TextEditKind::cancel_composition:
            if (!state.composition) return state;
            return replaced(text, state.composition->start, state.composition->end, {}, output);
    }
    return fail(Error::InvalidCommand);
}

}  // namespace kelvo
