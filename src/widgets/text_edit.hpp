#pragma once

// The edit operations of a text entry over its text state (text, selection, composition): the
// eleven request kinds typing, deleting, moving the caret, selecting and input-method
// composition turn into. Pure functions: the result's text is written into a caller's buffer.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "widgets/widget_description.hpp"

namespace kelvo {

enum class TextEditKind : std::uint8_t {
    insert_text = 0,
    delete_backward = 1,
    delete_forward = 2,
    delete_word_backward = 3,
    delete_word_forward = 4,
    clear_text = 5,
    move_caret = 6,
    set_selection = 7,
    set_composition = 8,
    commit_composition = 9,
    cancel_composition = 10,
};
inline constexpr std::uint8_t kTextEditKindCount = 11;

// Where a move_caret request goes: the low 3 bits of its first offset (6 and 7 also go to the
// start); bit 8 extends the selection instead of collapsing it.
enum class TextCaretMove : std::uint8_t {
    previous_character = 0,
    next_character = 1,
    previous_word = 2,
    next_word = 3,
    start = 4,
    end = 5,
};
inline constexpr std::uint64_t kTextCaretMoveExtend = 1u << 8;

inline constexpr std::uint64_t textCaretMoveCode(TextCaretMove move, bool extend) {
    return static_cast<std::uint64_t>(move) | (extend ? kTextCaretMoveExtend : 0);
}

// One edit. `text` is what insert_text and set_composition put in; set_selection takes
// `first` as anchor and `second` as focus; set_composition puts the caret `first` bytes into the
// marked text when `flag` is set (else at its end); move_caret reads `first` as a move code.
struct TextEditRequest {
    std::string_view text;
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    bool flag = false;
    TextEditKind kind = TextEditKind::insert_text;
};

// A text entry's text state. Selection start is the anchor, end the focus (the caret).
struct TextEditState {
    std::string_view text;
    std::optional<WidgetTextRange> selection;
    std::optional<WidgetTextRange> composition;

    friend bool operator==(const TextEditState& a, const TextEditState& b) {
        return a.text == b.text && sameRange(a.selection, b.selection) && sameRange(a.composition, b.composition);
    }

private:
    static bool sameRange(const std::optional<WidgetTextRange>& a, const std::optional<WidgetTextRange>& b) {
        if (a.has_value() != b.has_value()) return false;
        return !a || (a->start == b->start && a->end == b->end);
    }
};

// The state after `request`. A changed text is written into `output` (never into the buffer
// `before.text` lies in); an unchanged one is `before.text` itself. Offsets of `before` and of the
// request are clamped to the text and moved back to the start of their character first.
// TextEditBufferTooSmall when the text would pass the edit limit or `output`; InvalidTextEncoding
// for inserted text that is not valid UTF-8; InvalidCommand for a kind code past the table.
Result<TextEditState> applyTextEdit(const TextEditState& before, const TextEditRequest& request,
                                    std::span<char> output);

// The range an edit replaces: the composition when there is one, else the selection (ordered),
// else the empty range at the end of the text; clamped as above.
WidgetTextRange activeTextEditRange(const TextEditState& state);

}  // namespace kelvo
