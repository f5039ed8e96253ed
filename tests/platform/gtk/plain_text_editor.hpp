#pragma once

// What a plain-text editor does with its caret keys and editing keys: the reference the editor's
// tests hold Vostra Studio's editor to, whatever the length of the document. It is what the web
// view does in an editable element that holds the whole text in one block of lines, laid out in a
// monospaced font (every character one column wide, tab stops every 4 columns) with no line
// wrapped; each rule below was found by trying it in such an element.
//
// The text is held in code points; it holds no character beyond the Basic Multilingual Plane,
// so an offset is also an offset in the page's UTF-16 text. Words are made of letters and digits,
// and the only characters beyond ASCII are letters.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvo::plain_text {

enum class Move {
    up,
    down,
    pageUp,
    pageDown,
    lineStart,
    lineEnd,
    textStart,
    textEnd,
    wordLeft,
    wordRight,
    left,
    right
};

// A key a user presses in the editor, or the keyboard focus leaving it and coming back. `paste`
// pastes a text another program offered, `pasteCopied` what the editor copied last.
struct Key {
    enum class Kind {
        move,
        character,
        tab,
        enter,
        backspace,
        forwardDelete,
        paste,
        focusAway,
        selectAll,
        copy,
        cut,
        pasteCopied,
        undo,
        redo
    };
    Kind kind = Kind::character;
    Move move = Move::up;
    bool shift = false;
    char32_t character = 0;
    std::u32string pasted;
    int way = 0;    // how the focus leaves and comes back (focusAway)
    double at = 0;  // when it was pressed, in seconds
};

// What an undo step puts back, and what a redo brings again.
struct Snapshot {
    std::u32string text;
    std::size_t anchor = 0;
    std::size_t focus = 0;
};

// The undo history. A step ends at the edit after a line break, after a pause in typing of a
// second, where the selection moved away from where the last edit left it, and around every edit
// that is not typing (paste, cut).
struct History {
    std::vector<std::pair<Snapshot, Snapshot>> done;  // before and after each step
    std::vector<std::pair<Snapshot, Snapshot>> undone;
    bool open = false;
    bool afterLineBreak = false;
    double lastTime = -100;
    std::size_t lastAnchor = 0;
    std::size_t lastFocus = 0;
};

// Key times are the test's: where a pause is this close to a second, the editor may have ended the
// step or not, and press() gives both outcomes (see keepEdit).
inline constexpr double kTypingPause = 1.0;
inline constexpr double kPauseMargin = 0.3;

// The text and its selection: `anchor` stays where a selection started, `focus` moves with Shift.
// `goals` holds the columns Up and Down may keep across consecutive moves (the web view keeps the
// caret's x; none: they start from the caret's own column). After an edit, a key that changes
// nothing, or the focus leaving and coming back, the web view may keep the goal it had or forget
// it: it keeps it exactly when its caret stays on the same node and offset, which depends on how
// earlier edits split the text into nodes and differs with another layout of the same text. So
// both are held, and a key whose outcome depends on which is not one to predict.
struct Editor {
    std::u32string text;
    std::size_t anchor = 0;
    std::size_t focus = 0;
    int pageLines = 1;
    std::vector<std::optional<int>> goals{std::nullopt};
    std::u32string clipboard;
    History history;
};

inline std::size_t selectionStart(const Editor& editor) { return std::min(editor.anchor, editor.focus); }
inline std::size_t selectionEnd(const Editor& editor) { return std::max(editor.anchor, editor.focus); }

inline std::size_t lineStart(const std::u32string& text, std::size_t at) {
    const std::size_t feed = at == 0 ? std::u32string::npos : text.rfind(U'\n', at - 1);
    return feed == std::u32string::npos ? 0 : feed + 1;
}

inline std::size_t lineEnd(const std::u32string& text, std::size_t at) {
    const std::size_t feed = text.find(U'\n', at);
    return feed == std::u32string::npos ? text.size() : feed;
}

inline int advance(char32_t character, int column) { return character == U'\t' ? 4 - column % 4 : 1; }

// The column of the caret at `at`.
inline int columnOf(const std::u32string& text, std::size_t at) {
    int column = 0;
    for (std::size_t i = lineStart(text, at); i < at; ++i) column += advance(text[i], column);
    return column;
}

// The widest line of the text between `from` and `to`, in columns.
inline int widestLine(const std::u32string& text, std::size_t from = 0, std::size_t to = std::u32string::npos) {
    int widest = 0;
    for (std::size_t at = lineStart(text, std::min(from, text.size())); at <= text.size();) {
        const std::size_t end = lineEnd(text, at);
        widest = std::max(widest, columnOf(text, end));
        if (end >= std::min(to, text.size())) break;
        at = end + 1;
    }
    return widest;
}

// The caret in the line that starts at `start` nearest the column `goal`: a tab that the goal
// falls inside puts it before the tab up to the tab's middle (the middle included), after it past.
inline std::size_t atColumn(const std::u32string& text, std::size_t start, int goal) {
    const std::size_t end = lineEnd(text, start);
    int column = 0;
    for (std::size_t i = start; i < end; ++i) {
        const int width = advance(text[i], column);
        if (goal <= column) return i;
        if (goal < column + width) return goal - column <= column + width - goal ? i : i + 1;
        column += width;
    }
    return end;
}

inline bool isWordCharacter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c >= 0xC0;
}

// The caret `lines` lines below (above, when negative) the line of `at`, at the goal column. Up
// from the first line goes to the start of the text and Down from the last line to its end; a
// page that reaches the first or the last line goes there too.
inline std::size_t linesAway(const std::u32string& text, std::size_t at, long lines, int goal) {
    const long line = static_cast<long>(std::count(text.begin(), text.begin() + static_cast<long>(at), U'\n'));
    const long last = static_cast<long>(std::count(text.begin(), text.end(), U'\n'));
    const long target = line + lines;
    if (lines < 0 && (line == 0 || (lines < -1 && target <= 0))) return 0;
    if (lines > 0 && (line == last || (lines > 1 && target >= last))) return text.size();
    std::size_t start = lineStart(text, at);
    for (long step = line; step < target; ++step) start = lineEnd(text, start) + 1;
    for (long step = line; step > target; --step) start = lineStart(text, start - 1);
    return atColumn(text, start, goal);
}

// Up, Down, PageUp and PageDown. A page is as many lines as fit in the scroll step of the
// editor's height (see kMetricsScript of the random test). Without Shift, Up and Down go from the
// line of the selection's focus at the column of its start, PageUp from its start and PageDown
// from its end; with Shift each goes from the focus at its column. Down from a selection whose
// focus starts a line only collapses it there. A page that cannot move leaves the selection as it
// is; after a page that moved the goal is forgotten. Answers false, changing nothing, when the
// goals the editor may hold lead to different places.
inline bool moveVertically(Editor& editor, Move move, bool shift) {
    const bool page = move == Move::pageUp || move == Move::pageDown;
    const long lines = move == Move::up       ? -1
                       : move == Move::down   ? 1
                       : move == Move::pageUp ? -editor.pageLines
                                              : editor.pageLines;
    std::size_t from = editor.focus;
    std::size_t columnFrom = shift ? editor.focus : selectionStart(editor);
    if (page && !shift) from = columnFrom = lines < 0 ? selectionStart(editor) : selectionEnd(editor);
    const bool stuck = page && from == (lines < 0 ? 0 : editor.text.size());
    const bool collapses =
        !shift && lines == 1 && editor.anchor != editor.focus && lineStart(editor.text, editor.focus) == editor.focus;
    std::optional<std::size_t> to;
    std::vector<std::optional<int>> goals;
    for (const std::optional<int>& goal : editor.goals) {
        const int column = goal ? *goal : columnOf(editor.text, columnFrom);
        const std::size_t place = stuck       ? editor.focus
                                  : collapses ? editor.focus
                                              : linesAway(editor.text, from, lines, column);
        if (to && *to != place) return false;
        to = place;
        const std::optional<int> kept = page && !stuck ? std::nullopt : std::optional<int>(column);
        if (std::find(goals.begin(), goals.end(), kept) == goals.end()) goals.push_back(kept);
    }
    // A page that cannot move may or may not keep the column it went from.
    if (stuck && std::find(goals.begin(), goals.end(), std::nullopt) == goals.end()) goals.push_back(std::nullopt);
    editor.goals = goals;
    if (stuck) return true;
    editor.focus = *to;
    if (!shift) editor.anchor = *to;
    return true;
}

// Left and Right go a character back or on; without Shift, a selection only collapses to its
// start or its end. Home and End go to the ends of the focus's line, Ctrl+Home and Ctrl+End to
// the ends of the text. Ctrl+Right goes past what is not a word (spaces, tabs, punctuation, line breaks) to the
// end of the next word, Ctrl+Left back to the start of the word before; at the ends of the text
// they stop there. A selection does not collapse first: each goes from its focus.
inline std::size_t movedTo(const Editor& editor, Move move) {
    const std::u32string& text = editor.text;
    std::size_t at = editor.focus;
    switch (move) {
        case Move::lineStart:
            return lineStart(text, at);
        case Move::lineEnd:
            return lineEnd(text, at);
        case Move::textStart:
            return 0;
        case Move::textEnd:
            return text.size();
        case Move::wordRight:
            while (at < text.size() && !isWordCharacter(text[at])) ++at;
            while (at < text.size() && isWordCharacter(text[at])) ++at;
            return at;
        case Move::wordLeft:
            while (at > 0 && !isWordCharacter(text[at - 1])) --at;
            while (at > 0 && isWordCharacter(text[at - 1])) --at;
            return at;
        case Move::left:
            return at > 0 ? at - 1 : at;
        case Move::right:
            return at < text.size() ? at + 1 : at;
        default:
            return at;
    }
}

// Puts `inserted` in place of the selection, the caret after it.
inline void replaceSelection(Editor& editor, const std::u32string& inserted) {
    const std::size_t start = selectionStart(editor);
    editor.text.replace(start, selectionEnd(editor) - start, inserted);
    editor.anchor = editor.focus = start + inserted.size();
}

inline Snapshot snapshotOf(const Editor& editor) { return {editor.text, editor.anchor, editor.focus}; }

inline void restore(Editor& editor, const Snapshot& snapshot) {
    editor.text = snapshot.text;
    editor.anchor = snapshot.anchor;
    editor.focus = snapshot.focus;
}

// Ends an edit: it joins the step before it, or starts one.
inline void endEdit(Editor& editor, const Snapshot& before, bool joins, bool typing, bool lineBreak, double at) {
    History& history = editor.history;
    if (joins) {
        history.done.back().second = snapshotOf(editor);
    } else {
        history.done.push_back({before, snapshotOf(editor)});
    }
    history.undone.clear();
    history.open = typing;
    history.afterLineBreak = lineBreak;
    history.lastTime = at;
    history.lastAnchor = editor.anchor;
    history.lastFocus = editor.focus;
}

// Keeps an edit in the history: `before` is the editor before it, `typing` whether it joins
// the typing step before it where it may. Where the pause before it is too close to a second to
// tell, `other` (when given) gets the editor with the other outcome.
inline void keepEdit(Editor& editor, const Snapshot& before, bool typing, bool lineBreak, double at,
                     std::optional<Editor>* other) {
    const History& history = editor.history;
    const bool sameSelection = before.anchor == history.lastAnchor && before.focus == history.lastFocus;
    const bool mayJoin = history.open && typing && !history.afterLineBreak && sameSelection;
    const double pause = at - history.lastTime;
    const bool joins = mayJoin && pause < kTypingPause;
    if (other != nullptr && mayJoin && std::abs(pause - kTypingPause) < kPauseMargin) {
        *other = editor;
        endEdit(**other, before, !joins, typing, lineBreak, at);
    }
    endEdit(editor, before, joins, typing, lineBreak, at);
}

inline bool operator==(const Snapshot& a, const Snapshot& b) {
    return a.text == b.text && a.anchor == b.anchor && a.focus == b.focus;
}

inline std::u32string selectedText(const Editor& editor) {
    return editor.text.substr(selectionStart(editor), selectionEnd(editor) - selectionStart(editor));
}

// What a key does. Typing, Tab, Enter and paste put their text in place of the selection;
// Backspace and Delete remove the selection, or the character before or after the caret; Cut
// removes the selection after Copy put it on the clipboard. A key that moves the selection other
// than up or down makes the editor forget its goal (see Editor for the keys after which it may
// keep it). Answers false, changing nothing, for a key whose outcome is not one to predict.
// Where the key may or may not have ended an undo step, `other` gets the editor with the other
// outcome.
inline bool press(Editor& editor, const Key& key, std::optional<Editor>* other = nullptr) {
    using Kind = Key::Kind;
    if (key.kind == Kind::move &&
        (key.move == Move::up || key.move == Move::down || key.move == Move::pageUp || key.move == Move::pageDown)) {
        return moveVertically(editor, key.move, key.shift);
    }
    const std::size_t anchor = editor.anchor;
    const std::size_t focus = editor.focus;
    const Snapshot before = snapshotOf(editor);
    History& history = editor.history;
    switch (key.kind) {
        case Kind::move:
            if (!key.shift && anchor != focus && (key.move == Move::left || key.move == Move::right)) {
                editor.focus = key.move == Move::left ? selectionStart(editor) : selectionEnd(editor);
            } else {
                editor.focus = movedTo(editor, key.move);
            }
            if (!key.shift) editor.anchor = editor.focus;
            break;
        case Kind::selectAll:
            editor.anchor = 0;
            editor.focus = editor.text.size();
            break;
        case Kind::copy:
            if (anchor != focus) editor.clipboard = selectedText(editor);
            break;
        case Kind::undo:
        case Kind::redo: {
            auto& from = key.kind == Kind::undo ? history.done : history.undone;
            auto& to = key.kind == Kind::undo ? history.undone : history.done;
            if (from.empty()) break;
            restore(editor, key.kind == Kind::undo ? from.back().first : from.back().second);
            to.push_back(from.back());
            from.pop_back();
            history.open = false;
            break;
        }
        case Kind::backspace:
        case Kind::forwardDelete:
            if (editor.anchor == editor.focus) {
                if (key.kind == Kind::backspace && editor.focus > 0) editor.anchor = editor.focus - 1;
                if (key.kind == Kind::forwardDelete && editor.focus < editor.text.size())
                    editor.anchor = editor.focus + 1;
            }
            if (editor.anchor == editor.focus) break;  // nothing to delete: no edit
            replaceSelection(editor, U"");
            keepEdit(editor, before, true, false, key.at, other);
            break;
        case Kind::cut:
            if (anchor == focus) break;
            editor.clipboard = selectedText(editor);
            replaceSelection(editor, U"");
            keepEdit(editor, before, false, false, key.at, other);
            break;
        case Kind::character:
        case Kind::tab:
        case Kind::enter:
            replaceSelection(editor, key.kind == Kind::character ? std::u32string(1, key.character)
                                     : key.kind == Kind::tab     ? std::u32string(U"\t")
                                                                 : std::u32string(U"\n"));
            keepEdit(editor, before, true, key.kind == Kind::enter, key.at, other);
            break;
        case Kind::paste:
        case Kind::pasteCopied:
            // A text another program offers is on the clipboard from then on.
            if (key.kind == Kind::paste) editor.clipboard = key.pasted;
            if (editor.clipboard.empty()) break;
            replaceSelection(editor, editor.clipboard);
            keepEdit(editor, before, false, false, key.at, other);
            break;
        case Kind::focusAway:
            break;
    }
    if (key.kind != Kind::focusAway && key.kind != Kind::copy && (editor.anchor != anchor || editor.focus != focus) &&
        (key.kind == Kind::move || key.kind == Kind::selectAll)) {
        editor.goals = {std::nullopt};
    } else if (std::find(editor.goals.begin(), editor.goals.end(), std::nullopt) == editor.goals.end()) {
        editor.goals.push_back(std::nullopt);
    }
    return true;
}

}  // namespace kelvo::plain_text
