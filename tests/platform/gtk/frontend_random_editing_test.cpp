// Seeded random editing sessions in Vostra Studio's editor, with real keys in the real program:
// a generated document of several groups of blocks (short lines, tab-indented lines, LF, CRLF or
// CR line breaks, letters beyond ASCII, no-break spaces) is opened through the Open dialog, and
// a few hundred keys are pressed at once, no script placing the caret: caret keys, typing (some
// of it at a writer's speed), Select All, Copy, Cut, Paste (of the editor's own copy, and of
// texts another program offers with CRLF, LF or CR line breaks, tabs and no-break spaces), Undo
// and Redo, the focus going away and back, clicks on the toolbar's Save and Open… (its dialog
// cancelled), Save As over another document with Return typed twice (GTK's question whether to
// replace it must wait for a key typed once it shows: Escape cancels it, and leaves the dialog and
// the other document as they were), and the document opened again by a double-click in the Open
// dialog with a few letters and Return typed at once after it (they go nowhere but to the start
// of the document opened, also where it first asks to discard the changes, which a click
// answers), after which the editor's own keys must still act on the whole text. After each
// key the editor's text, selection and edited mark are compared with a plain-text editor's
// (plain_text_editor.hpp), which holds the text as the web view does in one block: so every undo
// and redo is compared with the text the document held where the step began or ended. After
// Copy and Cut the clipboard is read back (with nothing selected, it holds what it held before);
// the page may lay out only a few pages of blocks, and only the groups near the view while a
// selection is long. Each session ends by pasting a text of more than a mebibyte from another
// program at the end (in every other session more than two, more groups than a section holds
// twice: the section is cut in several), undoing and redoing it twice, paging through the
// document (no edge left open away from the caret that could close) and Ctrl+S; the saved file
// must be the model's text byte for byte. Then the end of the text is cut or deleted, and another
// program's text pasted, undone and saved with the keys typed at once. A failure names the seed,
// the first key after which the editor differs, and the keys before it (label "gtk").

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "plain_text_editor.hpp"
#include "support/temp_folder.hpp"
#include "vostra_studio.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using plain_text::Editor;
using plain_text::Key;
using plain_text::Move;

// The sessions: the seeds, and the keys of each.
constexpr std::uint32_t kSeeds[] = {1, 2, 3, 4, 5, 6};
constexpr int kKeysPerSession = 250;
// No line of a session grows wider than this, so none wraps in the editor.
constexpr int kWidestLine = 56;
// The editor's groups hold blocks of lines up to this many characters (VostraEditorText.LAYOUT).
constexpr std::size_t kGroupCharacters = 32768;

// A small random number generator of its own, so a seed draws the same session everywhere.
struct Draw {
    std::uint64_t state;
    explicit Draw(std::uint32_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 16);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }
};

std::string utf8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The text with each line feed written as `lineBreak`.
std::string withLineBreaks(const std::string& text, std::string_view lineBreak) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += lineBreak;
        } else {
            out += c;
        }
    }
    return out;
}

constexpr std::string_view kLineBreaks[] = {"\r\n", "\n", "\r"};
constexpr std::string_view kBreakNames[] = {"CRLF", "LF", "CR"};

// Letters beyond ASCII, each one column wide in the editor's font in the test.
constexpr char32_t kLetters[] = U"abcdefghijklmnopqrstuvwxyzaeiounrst\u00e9\u00fc\u00df\u00f8\u03b1\u0436";
// Characters between words: none joins two words into one (as "." or "'" would).
constexpr char32_t kPunctuation[] = U"-!?()=+/\u00a0";

std::u32string word(Draw& draw) {
    std::u32string out;
    for (int n = 1 + draw.below(7); n > 0; --n) {
        out += draw.chance(15) ? static_cast<char32_t>(U'0' + draw.below(10))
                               : kLetters[draw.below(std::size(kLetters) - 1)];
    }
    return out;
}

std::u32string line(Draw& draw) {
    if (draw.chance(8)) return U"";
    static constexpr std::size_t kIndents[] = {0, 0, 0, 1, 1, 2};
    std::u32string out(draw.pick(kIndents), U'\t');
    if (draw.chance(5)) out += U"  ";
    const std::size_t target = out.size() + 3 + static_cast<std::size_t>(draw.below(34));
    while (out.size() < target) {
        out += word(draw);
        const int between = draw.below(100);
        if (between < 60) {
            out += U' ';
        } else if (between < 65) {
            out += U"  ";
        } else if (between < 72) {
            out += U'\t';
        } else {
            out += kPunctuation[draw.below(std::size(kPunctuation) - 1)];
            if (draw.chance(50)) out += U' ';
        }
    }
    if (draw.chance(80)) out.erase(out.find_last_not_of(U' ') + 1);
    return out;
}

// A document of three full groups of the editor and a short fourth one, so that a session also
// reaches a group's edge from the end, ending with a line break.
std::u32string document(Draw& draw) {
    std::u32string text;
    std::size_t group = 0;
    std::size_t block = 0;
    int blockLines = 0;
    int groups = 0;
    while (groups < 3) {
        const std::u32string next = line(draw);
        text += next + U'\n';
        block += next.size() + 1;
        if (++blockLines < 50 && block < 4096) continue;
        group += block;
        block = 0;
        blockLines = 0;
        if (group >= kGroupCharacters) {
            group = 0;
            ++groups;
        }
    }
    for (int n = 60 + draw.below(140); n > 0; --n) text += line(draw) + U'\n';
    return text;
}

std::u32string pasted(Draw& draw) {
    std::u32string out;
    for (int n = 1 + draw.below(3); n > 0; --n) {
        if (!out.empty()) out += U'\n';
        switch (draw.below(4)) {
            case 0:
                out += word(draw);
                break;
            case 1:
                out += word(draw) + (draw.chance(30) ? U'\u00a0' : U' ') + word(draw);
                break;
            case 2:
                out += U'\t' + word(draw);
                break;
            default:
                break;  // an empty line
        }
    }
    return out.empty() ? U"z" : out;
}

// A text of more than a mebibyte that another program offers: short lines of words, tabs and
// no-break spaces (more than the runtime's own clipboard reading takes, however it is counted).
// With `cutsSection`, more than two mebibytes: more groups than a section of the editor holds
// twice.
std::u32string longPasted(Draw& draw, bool cutsSection) {
    std::u32string out = U"\n";
    while (out.size() < (cutsSection ? (2u << 20) + (1u << 17) : (1u << 20) + 4096)) {
        std::u32string next = draw.chance(10) ? U"\t" : U"";
        while (next.size() < 20) next += word(draw) + (draw.chance(20) ? U'\u00a0' : U' ');
        out += next + U'\n';
    }
    return out;
}

// The letters typed at once after the double-click that opens the document again, and Return (so
// that its first line stays as narrow as it was).
std::u32string typedAfterOpening(Draw& draw) {
    std::u32string typed;
    for (int n = 1 + draw.below(3); n > 0; --n) typed += static_cast<char32_t>(U'a' + draw.below(26));
    return typed + U'\n';
}

// How keys are drawn. Most come as fast as the page takes them; some characters are typed at a
// writer's speed, a few hundred milliseconds apart, in runs that an undo often follows (it takes
// back the whole run, typed as one step).
struct Pace {
    int slowRun = 0;  // the slow characters left in the run being typed
    bool afterSlow = false;
};

// The editor with only the last step of its history each way: all that a key's outcome depends on,
// and far cheaper to copy than every step's text.
Editor trialOf(const Editor& editor) {
    Editor trial{editor.text, editor.anchor, editor.focus, editor.pageLines, editor.goals, editor.clipboard, {}};
    const plain_text::History& history = editor.history;
    trial.history = {
        {}, {}, history.open, history.afterLineBreak, history.lastTime, history.lastAnchor, history.lastFocus};
    if (!history.done.empty()) trial.history.done.push_back(history.done.back());
    if (!history.undone.empty()) trial.history.undone.push_back(history.undone.back());
    return trial;
}

// The next key of a session: one whose outcome the model can tell, that keeps every line
// narrower than kWidestLine, and that does not throw away a long selection (so the session keeps
// most of its document); `now` is the session's time in seconds. A key's `delay` is the wait
// before it is pressed.
Key drawKey(Draw& draw, const Editor& editor, Pace& pace, double now, double& delay) {
    static constexpr Move kMoves[] = {Move::up,        Move::up,        Move::down,      Move::down,
                                      Move::pageUp,    Move::pageDown,  Move::lineStart, Move::lineEnd,
                                      Move::textStart, Move::textEnd,   Move::wordLeft,  Move::wordRight,
                                      Move::wordLeft,  Move::wordRight, Move::left,      Move::right};
    using Kind = Key::Kind;
    const std::size_t selected = plain_text::selectionEnd(editor) - plain_text::selectionStart(editor);
    for (int tries = 0;; ++tries) {
        Key key;
        delay = 0;
        // A slow run that cannot go on (its line is full, say) ends.
        if (tries > 0) pace.slowRun = 0;
        // The focus goes away more often while there is a selection to carry over.
        const int kind = pace.slowRun > 0                    ? 101
                         : pace.afterSlow && draw.chance(40) ? 190
                                                             : draw.below(selected > 0 ? 205 : 200);
        if (kind < 100) {
            key.kind = Kind::move;
            key.move = draw.pick(kMoves);
            key.shift = draw.chance(35);
        } else if (kind < 140) {
            key.kind = Kind::character;
            const int which = draw.below(10);
            key.character = which < 3   ? U' '
                            : which < 4 ? kPunctuation[draw.below(std::size(kPunctuation) - 1)]
                            : which < 5 ? static_cast<char32_t>(U'0' + draw.below(10))
                                        : kLetters[draw.below(std::size(kLetters) - 1)];
            if (pace.slowRun == 0 && draw.chance(5)) pace.slowRun = 2 + draw.below(2);
            if (pace.slowRun > 0) delay = 0.2 + 0.1 * draw.below(11) / 10;
        } else if (kind < 148) {
            key.kind = Kind::enter;
        } else if (kind < 156) {
            key.kind = Kind::backspace;
        } else if (kind < 164) {
            key.kind = Kind::forwardDelete;
        } else if (kind < 168) {
            key.kind = Kind::tab;
        } else if (kind < 172) {
            key.kind = Kind::paste;
            key.pasted = pasted(draw);
            key.way = draw.below(static_cast<int>(std::size(kLineBreaks)));
        } else if (kind < 174) {
            key.kind = Kind::selectAll;
        } else if (kind < 178) {
            key.kind = Kind::copy;
        } else if (kind < 181) {
            key.kind = Kind::cut;
        } else if (kind < 184) {
            key.kind = Kind::pasteCopied;
        } else if (kind < 194) {
            key.kind = Kind::undo;
        } else if (kind < 198) {
            key.kind = Kind::redo;
        } else {
            key.kind = Kind::focusAway;
            key.way = draw.below(6);
            if (key.way == 5) key.pasted = typedAfterOpening(draw);
        }
        key.at = now + delay;
        const bool edits = key.kind != Kind::move && key.kind != Kind::focusAway && key.kind != Kind::selectAll &&
                           key.kind != Kind::copy && key.kind != Kind::undo && key.kind != Kind::redo;
        if (edits && selected > 2000) continue;
        if (key.kind == Kind::pasteCopied && editor.clipboard.size() > 2000) continue;
        Editor after = trialOf(editor);
        if (!plain_text::press(after, key)) continue;
        if (edits &&
            plain_text::widestLine(after.text, plain_text::selectionStart(editor), after.focus) > kWidestLine) {
            continue;
        }
        if (pace.slowRun > 0 && key.kind == Kind::character) --pace.slowRun;
        pace.afterSlow = delay > 0 && pace.slowRun == 0;
        return key;
    }
}

std::string describe(const Key& key) {
    static constexpr const char* kMoveNames[] = {"Up",        "Down",     "PageUp",    "PageDown",   "Home", "End",
                                                 "Ctrl+Home", "Ctrl+End", "Ctrl+Left", "Ctrl+Right", "Left", "Right"};
    switch (key.kind) {
        case Key::Kind::move:
            return (key.shift ? "Shift+" : "") + std::string(kMoveNames[static_cast<int>(key.move)]);
        case Key::Kind::character:
            return "'" + utf8(std::u32string(1, key.character)) + "'";
        case Key::Kind::tab:
            return "Tab";
        case Key::Kind::enter:
            return "Enter";
        case Key::Kind::backspace:
            return "BackSpace";
        case Key::Kind::forwardDelete:
            return "Delete";
        case Key::Kind::paste: {
            std::string text;
            for (char c : utf8(key.pasted))
                text += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
            return "paste \"" + text + "\" (" + std::string(kBreakNames[key.way]) + ")";
        }
        case Key::Kind::focusAway:
            if (key.way == 5) {
                return "Ctrl+O, a double-click on the document, '" + utf8(key.pasted.substr(0, key.pasted.size() - 1)) +
                       "' and Return at once";
            }
            return std::array{"Ctrl+Tab, Ctrl+Shift+Tab", "link focused, Tab", "a click on Save",
                              "a click on Open…, cancelled",
                              "Ctrl+Shift+S, another document's path, Return twice at once"}[key.way];
        case Key::Kind::selectAll:
            return "Ctrl+A";
        case Key::Kind::copy:
            return "Ctrl+C";
        case Key::Kind::cut:
            return "Ctrl+X";
        case Key::Kind::pasteCopied:
            return "Ctrl+V";
        case Key::Kind::undo:
            return "Ctrl+Z";
        case Key::Kind::redo:
            return "Ctrl+Shift+Z";
    }
    return "?";
}

// The key presses of a key, as the X server delivers them.
std::vector<std::pair<guint, guint>> keyPresses(const Key& key) {
    static constexpr guint kMoveKeys[] = {GDK_KEY_Up,   GDK_KEY_Down,  GDK_KEY_Page_Up, GDK_KEY_Page_Down,
                                          GDK_KEY_Home, GDK_KEY_End,   GDK_KEY_Home,    GDK_KEY_End,
                                          GDK_KEY_Left, GDK_KEY_Right, GDK_KEY_Left,    GDK_KEY_Right};
    const bool control = key.move == Move::textStart || key.move == Move::textEnd || key.move == Move::wordLeft ||
                         key.move == Move::wordRight;
    switch (key.kind) {
        case Key::Kind::move:
            return {{kMoveKeys[static_cast<int>(key.move)],
                     (key.shift ? guint{GDK_SHIFT_MASK} : 0u) | (control ? guint{GDK_CONTROL_MASK} : 0u)}};
        case Key::Kind::character:
            return {{gdk_unicode_to_keyval(key.character), 0}};
        case Key::Kind::tab:
            return {{GDK_KEY_Tab, 0}};
        case Key::Kind::enter:
            return {{GDK_KEY_Return, 0}};
        case Key::Kind::backspace:
            return {{GDK_KEY_BackSpace, 0}};
        case Key::Kind::forwardDelete:
            return {{GDK_KEY_Delete, 0}};
        case Key::Kind::paste:
        case Key::Kind::pasteCopied:
            return {{GDK_KEY_v, GDK_CONTROL_MASK}};
        case Key::Kind::selectAll:
            return {{GDK_KEY_a, GDK_CONTROL_MASK}};
        case Key::Kind::copy:
            return {{GDK_KEY_c, GDK_CONTROL_MASK}};
        case Key::Kind::cut:
            return {{GDK_KEY_x, GDK_CONTROL_MASK}};
        case Key::Kind::undo:
            return {{GDK_KEY_z, GDK_CONTROL_MASK}};
        case Key::Kind::redo:
            return {{GDK_KEY_Z, GDK_CONTROL_MASK | GDK_SHIFT_MASK}};
        case Key::Kind::focusAway:
            break;
    }
    return {};
}

// The lines a page moves: the web view's scroll step for the editor's height (four fifths of it,
// rounded) in whole lines. Then the characters of the session that do not take one column each
// in the editor's font (a tab four), which the model's columns need.
constexpr const char* kMetricsScript = R"JS((() => {
  const editor = document.getElementById("editor");
  const style = getComputedStyle(editor);
  const step = Math.max(Math.round(Math.min(editor.clientHeight, innerHeight) * 0.8), 1);
  const lines = Math.floor(step / parseFloat(style.lineHeight));
  const probe = document.body.appendChild(document.createElement("span"));
  probe.style.cssText = "position: absolute; visibility: hidden; white-space: pre; tab-size: 4";
  probe.style.font = style.font;
  const width = (text) => { probe.textContent = text; return probe.getBoundingClientRect().width; };
  const column = width("0".repeat(40)) / 40;
  const wide = [...(CHARACTERS)].filter((c) => Math.abs(width(c.repeat(40)) - 40 * column) > 0.01);
  if (Math.abs(width("\t") - 4 * column) > 0.01) wide.push("tab");
  probe.remove();
  return lines + "|" + wide.join(" ");
})())JS";

// The editor's selection as offsets in its text (each found by reading the text of a copy of the
// editor with a mark at the place), the text's length, a hash of it and whether the edited mark
// shows; then, after a bar, how many elements the page lays out inline around the caret (see
// editor_layout.js); or why there is none.
constexpr const char* kStateScript = R"JS((() => {
  const editor = document.getElementById("editor");
  const selection = getSelection();
  if (document.activeElement !== editor) {
    const active = document.activeElement;
    return "the editor does not have the focus (" + (active ? active.id || active.tagName : "nothing") + " has)";
  }
  if (selection.rangeCount === 0 || !editor.contains(selection.anchorNode) || !editor.contains(selection.focusNode)) {
    return "the selection is not in the editor";
  }
  const offsetOf = (node, offset) => {
    const path = [];
    for (let n = node; n !== editor; n = n.parentNode) path.unshift(Array.prototype.indexOf.call(n.parentNode.childNodes, n));
    const copy = editor.cloneNode(true);
    let at = copy;
    for (const i of path) at = at.childNodes[i];
    const mark = document.createTextNode("\u0001");
    if (at.nodeType === Node.TEXT_NODE) {
      at.splitText(offset);
      at.parentNode.insertBefore(mark, at.nextSibling);
    } else {
      at.insertBefore(mark, at.childNodes[offset] || null);
    }
    return VostraEditorText.readText(copy).indexOf("\u0001");
  };
  const focus = offsetOf(selection.focusNode, selection.focusOffset);
  const anchor = selection.isCollapsed ? focus : offsetOf(selection.anchorNode, selection.anchorOffset);
  const text = VostraEditorText.readText(editor);
  let hash = 2166136261;
  for (let i = 0; i < text.length; i++) hash = Math.imul(hash ^ text.charCodeAt(i), 16777619) >>> 0;
  const edited = document.getElementById("edited-mark").hidden ? 0 : 1;
  const failed = document.getElementById("error-bar").hidden ? "" : document.getElementById("error-bar").textContent;
  const status = document.getElementById("status-text").textContent;
  if (failed || status.startsWith("Pasted")) return "the page says: " + (failed || status).replace(/\s+/g, " ").trim();
  return [anchor, focus, text.length, hash, edited].join(",") + "|" + editor.getElementsByClassName("joined").length +
         "|" + (editor.classList.contains("far-selection") ? "far" : "near");
})())JS";

// The edges between blocks left open away from the caret that would close without changing the
// text: a block laid out inline with the next, outside the groups around the caret, whose own
// text ends with a line break. None should stay once the caret has gone (see editor_layout.js).
// Then, after a bar, the groups laid out whatever the view shows (those around the caret).
constexpr const char* kStrayEdgesScript = R"JS((() => {
  const blocks = [...document.querySelectorAll("#editor .group > div")];
  let stray = 0;
  blocks.forEach((block, i) => {
    const next = blocks[i + 1];
    if (!next || !block.classList.contains("joined") || !next.classList.contains("joined")) return;
    if (block.closest(".near-caret") || next.closest(".near-caret")) return;
    if (block.children.length > 0 && block.lastChild.nodeName !== "BR") return;
    if (block.lastChild !== null && (block.lastChild.nodeName === "BR" || block.textContent.endsWith("\n"))) stray++;
  });
  return stray + "|" + document.querySelectorAll("#editor .group.near-caret").length;
})())JS";

// Where the page's selection is in the editor's elements: for each end, the path of child indexes
// and element names from the editor down to its node, and its offset there; and the lengths of
// the texts around it. For a failure's message.
constexpr const char* kWhereScript = R"JS((() => {
  const editor = document.getElementById("editor");
  const selection = getSelection();
  const where = (node, offset) => {
    if (!node || !editor.contains(node)) return "outside the editor";
    const path = [];
    for (let n = node; n !== editor; n = n.parentNode) {
      path.unshift(n.nodeName.toLowerCase() + "[" + Array.prototype.indexOf.call(n.parentNode.childNodes, n) + "]");
    }
    const parent = node.nodeType === Node.TEXT_NODE ? node.parentNode : node;
    const around = [...parent.childNodes].map((c) => c.nodeType === Node.TEXT_NODE ? JSON.stringify(c.data.slice(-12)) + "(" + c.length + ")" : "<" + c.nodeName.toLowerCase() + ">");
    return path.join(" ") + " offset " + offset + "; its parent holds " + around.slice(0, 12).join(" ");
  };
  return "focus in " + where(selection.focusNode, selection.focusOffset) + "\n  anchor in " + where(selection.anchorNode, selection.anchorOffset);
})())JS";

std::string expectedState(const Editor& editor, const std::u32string& saved) {
    std::uint32_t hash = 2166136261u;
    for (char32_t c : editor.text) hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
    std::ostringstream out;
    out << editor.anchor << "," << editor.focus << "," << editor.text.size() << "," << hash << ","
        << (editor.text != saved ? 1 : 0);
    return out.str();
}

// The most elements the page may lay out inline around the caret and the selection's ends: a
// few pages of blocks and the groups and sections that hold them. Edges left open behind the
// caret would make it grow as the session pages through the document (each session ends with
// Ctrl+Home and kPagesAtTheEnd pages down).
constexpr int kMostJoined = 24;
constexpr int kPagesAtTheEnd = 40;
constexpr int kMostGroupsNearTheCaret = 3;

// Where an offset of the text is: line and column, counted from 1.
std::string placeOf(const std::u32string& text, std::size_t at) {
    at = std::min(at, text.size());
    const auto line = std::count(text.begin(), text.begin() + static_cast<long>(at), U'\n') + 1;
    return "line " + std::to_string(line) + " column " + std::to_string(plain_text::columnOf(text, at) + 1);
}

std::string placesOf(const std::u32string& text, const std::string& state) {
    std::istringstream fields(state);
    std::string anchor, focus;
    std::getline(fields, anchor, ',');
    std::getline(fields, focus, ',');
    if (focus.empty() || anchor.find_first_not_of("0123456789") != std::string::npos) return state;
    return state + " (focus at " + placeOf(text, std::stoul(focus)) + ", anchor at " +
           placeOf(text, std::stoul(anchor)) + ")";
}

// The lines of the text around an offset, for a failure's message.
std::string linesAround(const std::u32string& text, std::size_t at) {
    std::size_t from = plain_text::lineStart(text, std::min(at, text.size()));
    for (int n = 0; n < 3 && from > 0; ++n) from = plain_text::lineStart(text, from - 1);
    std::size_t to = from;
    for (int n = 0; n < 7 && to < text.size(); ++n) to = plain_text::lineEnd(text, to) + 1;
    std::string out;
    for (char c : utf8(text.substr(from, to - from))) out += c == '\t' ? std::string("\\t") : std::string(1, c);
    return out;
}

struct Program {
    WebKitWebView* view = nullptr;
    int keys = 0;  // the key presses the page has seen

    std::string ask(const std::string& script) { return evaluateNow(view, script); }

    bool waitFor(const std::string& condition, std::chrono::steady_clock::duration limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (ask("String(" + condition + ")") != "true") {
            if (std::chrono::steady_clock::now() > end) return false;
            pumpUntil([] { return false; }, std::chrono::milliseconds(5));
        }
        return true;
    }

    // Waits until the page has painted a frame and run what it put off until then.
    void settle() {
        ask("window.settled = false, requestAnimationFrame(() => setTimeout(() => { settled = true; }, 0)), 'x'");
        waitFor("settled", std::chrono::seconds(2));
    }

    // Presses keys and waits until the page has handled them.
    bool press(const std::vector<std::pair<guint, guint>>& presses) {
        pressKeys(presses);
        keys += static_cast<int>(presses.size());
        return waitFor("keysSeen >= " + std::to_string(keys), std::chrono::seconds(10));
    }
};

// A real click on the toolbar's Save (the document is saved where it is) or Open… (Escape cancels
// its dialog, which runs a loop of its own, in which this looks for it); answers once the command
// has ended.
bool clickToolbar(Program& program, bool save) {
    const auto cancel = [](gpointer) -> gboolean {
        GtkDialog* dialog = shownFileChooser();
        if (dialog == nullptr || !gtk_widget_get_mapped(GTK_WIDGET(dialog))) return G_SOURCE_CONTINUE;
        deliverKey(GTK_WIDGET(dialog), GDK_KEY_Escape, 0);
        return G_SOURCE_REMOVE;
    };
    if (!save) g_timeout_add(50, cancel, nullptr);
    program.ask(
        "window.clicked = false, addEventListener('click', () => (clicked = true), { capture: true, once: true }), ''");
    return clickInPage(save ? "#save-button" : "#open-button") &&
           program.waitFor("clicked && !document.getElementById('save-button').disabled");
}

// Runs `step` in the loop a file chooser runs, every 20 ms, with the chooser on screen, until it
// answers true; after 20 s it cancels every dialog shown and says so in `wrong`.
void inChooser(std::shared_ptr<std::string> wrong, std::function<bool(GtkDialog*)> step) {
    every(20, [wrong, step, polls = 0]() mutable {
        GtkDialog* chooser = shownFileChooser();
        if (++polls > 1000) *wrong = "the dialog did not come along", closeShownDialogs();
        return polls <= 1000 && !(chooser != nullptr && gtk_widget_get_mapped(GTK_WIDGET(chooser)) && step(chooser));
    });
}

// Save As over another document as a user in a hurry types it: Ctrl+Shift+S, its path over the
// name offered, and Return twice at once. GTK's question whether to replace it must wait for a key
// typed once it is on the screen (the program heard it was mapped): Escape cancels it, which must
// leave the dialog there, as it was, and the other document as it was; Escape closes the dialog.
std::string saveAsOverAnotherWithReturnTwice(Program& program, const fs::path& other) {
    static const gulong marksMapped = g_signal_add_emission_hook(
        g_signal_lookup("map-event", GTK_TYPE_WIDGET), 0,
        [](GSignalInvocationHint*, guint, const GValue* values, gpointer) -> gboolean {
            g_object_set_data(G_OBJECT(g_value_get_object(&values[0])), "mapped", GINT_TO_POINTER(1));
            return TRUE;
        },
        nullptr, nullptr);
    (void)marksMapped;
    const std::string bytes = contentsOf(other);
    auto wrong = std::make_shared<std::string>();
    inChooser(wrong, [other, wrong, step = 0](GtkDialog* chooser) mutable {
        // The question holds the others modally while it shows.
        GtkWidget* question = GTK_IS_MESSAGE_DIALOG(gtk_grab_get_current()) ? gtk_grab_get_current() : nullptr;
        GtkWidget* name = gtk_window_get_focus(GTK_WINDOW(chooser));
        if (step == 0 && name != nullptr && GTK_IS_ENTRY(name) && gtk_widget_get_realized(name)) {
            deliverKey(GTK_WIDGET(chooser), GDK_KEY_a, GDK_CONTROL_MASK);
            for (char c : other.string())
                deliverKey(GTK_WIDGET(chooser), gdk_unicode_to_keyval(static_cast<guchar>(c)), 0);
            deliverKey(GTK_WIDGET(chooser), GDK_KEY_Return, 0);
            deliverKey(GTK_WIDGET(chooser), GDK_KEY_Return, 0);
            step = 1;
        } else if (step == 1 && question != nullptr && g_object_get_data(G_OBJECT(question), "mapped") != nullptr) {
            // Its Replace button pressed (flashing) would be a key typed before it showed.
            GtkWidget* replace = gtk_dialog_get_widget_for_response(GTK_DIALOG(question), GTK_RESPONSE_ACCEPT);
            if (replace != nullptr && (gtk_widget_get_state_flags(replace) & GTK_STATE_FLAG_ACTIVE) != 0) {
                *wrong = "a key typed before the question showed pressed Replace";
            }
            deliverKey(question, GDK_KEY_Escape, 0);
            step = 2;
        } else if (step == 2 && question == nullptr) {
            deliverKey(GTK_WIDGET(chooser), GDK_KEY_Escape, 0);
            return true;
        }
        return false;
    });
    if (!program.press({{GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK}}) ||
        !program.waitFor(
            textOf("status-text") + " === 'Save cancelled' && !document.getElementById('save-button').disabled",
            std::chrono::seconds(30))) {
        return "did not end in 'Save cancelled' (" + *wrong +
               "; the status line says: " + program.ask(textOf("status-text")) + ")";
    }
    if (contentsOf(other) != bytes) return "replaced the other document: it holds " + contentsOf(other);
    return *wrong;
}

// Opens the document again by a double-click on it in the Open dialog, with `typed` typed at once
// after it (Return for a line feed), through the display server; the editor asks first whether
// to discard the changes, if there are any: a click answers. Answers what went wrong, or nothing.
std::string openAgainByDoubleClick(Program& program, const fs::path& path, const std::u32string& typed) {
    std::string keys;
    for (char32_t c : typed) keys += c == U'\n' ? " Return" : " " + utf8(std::u32string(1, c));
    auto wrong = std::make_shared<std::string>();
    inChooser(wrong, [path, keys, wrong, polls = 0](GtkDialog* chooser) mutable {
        // The chooser drops a choice made before it has read the folder: it is chosen again until
        // it holds.
        gchar* held = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        const bool chosen = held != nullptr && path == held;
        g_free(held);
        if (!chosen && ++polls % 10 == 1) gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(chooser), path.c_str());
        auto* list = GTK_TREE_VIEW(findOfType(GTK_WIDGET(chooser), GTK_TYPE_TREE_VIEW));
        GList* rows =
            chosen ? gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(list), nullptr) : nullptr;
        if (rows == nullptr) return false;
        GdkRectangle cell{};
        gtk_tree_view_get_cell_area(list, static_cast<GtkTreePath*>(rows->data), gtk_tree_view_get_column(list, 0),
                                    &cell);
        g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
        int x = 0, y = 0, screenX = 0, screenY = 0, pointerX = 0, pointerY = 0;
        gtk_tree_view_convert_bin_window_to_widget_coords(list, cell.x + cell.width / 2, cell.y + cell.height / 2, &x,
                                                          &y);
        gdk_device_get_position(screenPointer(), nullptr, &pointerX, &pointerY);
        if (!onScreen(GTK_WIDGET(list), x, y, screenX, screenY)) return false;
        // Told to move where it already is, xdotool waits for a move that never comes.
        const std::string command =
            "xdotool " +
            (pointerX == screenX && pointerY == screenY
                 ? std::string()
                 : "mousemove --sync " + std::to_string(screenX) + " " + std::to_string(screenY)) +
            " click --repeat 2 --delay 80 1 key --delay 0" + keys;
        if (std::system(command.c_str()) != 0) *wrong = command + " failed";
        return true;
    });
    const std::string opened = textOf("status-text") + " === 'Opened " + path.filename().string() + "'";
    // What the status line said when the document was opened last is no answer.
    program.ask(textOf("status-text") + " = '', 'cleared'");
    const int before = program.keys;
    if (!program.press({{GDK_KEY_o, GDK_CONTROL_MASK}}) ||
        !program.waitFor(shown("confirm-bar") + " || " + opened, std::chrono::seconds(30)) ||
        (program.ask("String(" + shown("confirm-bar") + ")") == "true" && !clickInPage("#confirm-yes"))) {
        return "neither opened the document again nor asked (" + *wrong + ")";
    }
    program.keys = before + 1 + static_cast<int>(typed.size());
    if (!program.waitFor(opened + " && keysSeen >= " + std::to_string(program.keys) +
                             " && !document.getElementById('editor').hasAttribute('aria-busy')",
                         std::chrono::seconds(30))) {
        return "did not open the document again with the keys typed after the double-click (" + *wrong +
               "; the status line says: " + program.ask(textOf("status-text")) + ")";
    }
    return *wrong;
}

// The most elements the sessions saw laid out inline, and the undo and redo keys whose outcome was
// compared, for the test's report.
int mostJoined = 0;
int undoChecks = 0;
int redoChecks = 0;
// The saves over another document with Return typed twice, and the opens again by a double-click.
int savesOver = 0;
int opensAgain = 0;

// A session: its document opened, its keys pressed and compared, its text saved. Answers what
// went wrong, or nothing.
std::string runSession(Program& program, const fs::path& folder, std::uint32_t seed) {
    Draw draw(seed);
    Editor editor;
    editor.text = document(draw);
    // The text as last saved (the edited mark shows where the editor's text is another).
    std::u32string opened = editor.text;
    const std::string name = "session-" + std::to_string(seed) + ".vrs";
    const fs::path path = folder / name;
    const std::string_view lineBreak = kLineBreaks[seed % std::size(kLineBreaks)];
    writeFile(path, withLineBreaks(utf8(editor.text), lineBreak));
    // The document Save As is typed over (and must never replace).
    const fs::path other = folder / ("other-" + std::to_string(seed) + ".vrs");
    writeFile(other, "PRECIOUS");
    const auto start = std::chrono::steady_clock::now();
    const auto now = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };

    std::ostringstream failure;
    failure << "seed " << seed << " (" << editor.text.size() << " characters): ";
    typeIntoOpenDialogWhenShown(path);
    program.press({{GDK_KEY_o, GDK_CONTROL_MASK}});
    if (!program.waitFor(textOf("status-text") + " === 'Opened " + name + "'")) {
        return failure.str() + "the document did not open: " + program.ask(textOf("status-text"));
    }
    std::string metrics = kMetricsScript;
    metrics.replace(metrics.find("CHARACTERS"), 10, "'0123456789" + utf8(kLetters) + utf8(kPunctuation) + "'");
    const std::string measured = program.ask(metrics);
    if (measured.find('|') == std::string::npos || measured.back() != '|') {
        return failure.str() + "the editor's font does not give each character one column: " + measured;
    }
    editor.pageLines = std::stoi(measured);
    if (editor.pageLines < 2) return failure.str() + "the editor shows less than two lines: " + measured;

    // The clipboard holds what the session knows of: `onClipboard` as another program reads it.
    std::string onClipboard = "z";
    offerOnClipboard(onClipboard);
    editor.clipboard = U"z";
    // The model of the editor, and the others it may be: where a key came about a second after
    // the one before, the page may or may not have ended the undo step there; the page's next
    // undo tells which.
    std::vector<Editor> others;
    std::vector<std::string> pressed;
    Pace pace;
    std::string state = program.ask(kStateScript);
    const auto pageState = [&] { return state.substr(0, state.find('|')); };
    auto keysSoFar = [&] {
        std::ostringstream keys;
        for (std::size_t i = 0; i < pressed.size(); ++i)
            keys << (i % 10 == 0 ? "\n   " : "") << " " << pressed[i] << ";";
        return keys.str();
    };
    // Compares the page with the model after the key just pressed; answers what differs, or nothing.
    auto compare = [&](const std::string& after, bool selectionCollapsed) -> std::string {
        if (pageState() != expectedState(editor, opened)) {
            // What the page puts off until its next frame is not held against it.
            program.settle();
            state = program.ask(kStateScript);
        }
        if (pageState() != expectedState(editor, opened)) {
            for (Editor& other : others) {
                if (pageState() == expectedState(other, opened)) std::swap(editor, other);
            }
        }
        std::erase_if(others, [&](const Editor& other) {
            return pageState() != expectedState(other, opened) ||
                   (other.history.done == editor.history.done && other.history.undone == editor.history.undone);
        });
        if (pageState() != expectedState(editor, opened)) {
            std::ostringstream out;
            out << after << " the editor differs from the model.\n  page:  " << placesOf(editor.text, state)
                << "\n  model: " << placesOf(editor.text, expectedState(editor, opened))
                << "\n  the model's text there:\n"
                << linesAround(editor.text, editor.focus) << "\n  " << program.ask(kWhereScript);
            const std::string text = program.ask(std::string(kEditorText));
            const std::string expected = utf8(editor.text);
            std::size_t same = 0;
            while (same < text.size() && same < expected.size() && text[same] == expected[same]) ++same;
            out << "\n  the texts " << (text == expected ? "are the same" : "differ from byte " + std::to_string(same))
                << "\n  keys:";
            return out.str() + keysSoFar();
        }
        const std::string rest = state.substr(state.find('|') + 1);
        const int joined = std::stoi(rest);
        mostJoined = std::max(mostJoined, joined);
        if (joined > kMostJoined) {
            return after + " the page lays out " + std::to_string(joined) +
                   " elements inline around the caret\n  keys:" + keysSoFar();
        }
        if (selectionCollapsed && rest.ends_with("|far")) {
            return after +
                   " the editor still lays out only the groups near the view, as for a long selection, with "
                   "none left\n  keys:" +
                   keysSoFar();
        }
        return {};
    };
    // The ways the focus went away and came back so far.
    std::array<bool, 6> waysGone{};
    // Presses a key (the `index`th) as a user does, and the model with it; answers what went wrong.
    auto pressKey = [&](Key key, int index) -> std::string {
        pressed.push_back(describe(key));
        if (key.kind == Key::Kind::focusAway) waysGone[key.way] = true;
        const std::string which = "key " + std::to_string(index) + " (" + pressed.back() + ")";
        if (key.kind == Key::Kind::paste) {
            onClipboard = withLineBreaks(utf8(key.pasted), kLineBreaks[key.way]);
            offerOnClipboard(onClipboard);
        }
        bool handled = true;
        if (key.kind == Key::Kind::focusAway && key.way == 4) {
            if (std::string wrong = saveAsOverAnotherWithReturnTwice(program, other); !wrong.empty()) {
                return which + " " + wrong + "\n  keys:" + keysSoFar();
            }
            ++savesOver;
        } else if (key.kind == Key::Kind::focusAway && key.way == 5) {
            if (std::string wrong = openAgainByDoubleClick(program, path, key.pasted); !wrong.empty()) {
                return which + " " + wrong + "\n  keys:" + keysSoFar();
            }
            ++opensAgain;
            // The document as saved, the keys typed at its start; its undo goes back no further.
            Editor again;
            again.text = opened;
            again.pageLines = editor.pageLines;
            again.clipboard = editor.clipboard;
            for (char32_t c : key.pasted) {
                Key typed;
                typed.kind = c == U'\n' ? Key::Kind::enter : Key::Kind::character;
                typed.character = c;
                typed.at = now();
                plain_text::press(again, typed);
            }
            editor = std::move(again);
            others.clear();
            state = program.ask(kStateScript);
            return compare("after " + which, true);
        } else if (key.kind == Key::Kind::focusAway && key.way >= 2) {
            handled = clickToolbar(program, key.way == 2);
            if (key.way == 2) opened = editor.text;
        } else if (key.kind == Key::Kind::focusAway) {
            if (key.way == 0) {
                handled = program.press({{GDK_KEY_Tab, GDK_CONTROL_MASK}});
            } else {
                program.ask("document.getElementById('website-link').focus(), 'away'");
            }
            const std::string away =
                program.ask("String(document.activeElement === document.getElementById('editor'))");
            if (away != "false") return which + " did not move the focus out of the editor";
            handled =
                handled && (key.way == 0 ? program.press({{GDK_KEY_ISO_Left_Tab, GDK_CONTROL_MASK | GDK_SHIFT_MASK}})
                                         : program.press({{GDK_KEY_Tab, 0}}));
        } else {
            handled = program.press(keyPresses(key));
        }
        if (!handled) return "the page did not take " + which;
        // Pauses in typing are the page's: the time it saw the key, which a busy machine may hold
        // back a while after the test pressed it. With it, in one question, the editor's state
        // (after a key that may wait for the clipboard, asked again once the editor is not busy).
        const bool clipboardKey = key.kind == Key::Kind::copy || key.kind == Key::Kind::cut;
        const std::string seen = program.ask(
            "String(lastKeyAt) + '|' + (" + std::string(clipboardKey ? "true" : "false") +
            " || document.getElementById('editor').hasAttribute('aria-busy') ? 'busy' : " + kStateScript + ")");
        key.at = std::stod(seen) / 1000;
        const bool selected = editor.anchor != editor.focus;
        const std::size_t count = others.size();
        for (std::size_t i = 0; i < count; ++i) {
            std::optional<Editor> branch;
            plain_text::press(others[i], key, &branch);
            if (branch) others.push_back(std::move(*branch));
        }
        std::optional<Editor> branch;
        plain_text::press(editor, key, &branch);
        if (branch) others.push_back(std::move(*branch));
        // Each undecided step end doubles them: a few are enough to follow.
        if (others.size() > 8) others.resize(8);
        if (key.kind == Key::Kind::undo) ++undoChecks;
        if (key.kind == Key::Kind::redo) ++redoChecks;
        if (const std::string_view after = std::string_view(seen).substr(seen.find('|') + 1); after != "busy") {
            state = after;
            return compare("after " + which, editor.anchor == editor.focus);
        }
        // A paste may wait for the clipboard: the editor says it is busy meanwhile.
        program.waitFor("!document.getElementById('editor').hasAttribute('aria-busy')", std::chrono::seconds(30));
        if (clipboardKey) {
            // The clipboard holds exactly the selected characters (a no-break space among them
            // arrives a moment after the rest), or with nothing selected what it held before.
            if (selected) onClipboard = utf8(editor.clipboard);
            const std::string& copied = onClipboard;
            std::string clipboard;
            if (!pumpUntil([&] { return (clipboard = clipboardBytes()) == copied; }, std::chrono::seconds(30))) {
                return "after " + which + " the clipboard holds " + std::to_string(clipboard.size()) +
                       " bytes, not the " + std::to_string(copied.size()) + " expected\n  keys:" + keysSoFar();
            }
        }
        state = program.ask(kStateScript);
        return compare("after " + which, editor.anchor == editor.focus);
    };

    if (std::string differs = compare("as opened", true); !differs.empty()) return failure.str() + differs;
    for (int index = 1; index <= kKeysPerSession; ++index) {
        double delay = 0;
        Key key = drawKey(draw, editor, pace, now(), delay);
        if (delay > 0) pumpUntil([] { return false; }, std::chrono::milliseconds(static_cast<int>(delay * 1000)));
        if (std::string wrong = pressKey(key, index); !wrong.empty()) return failure.str() + wrong;
    }

    // The whole text replaced by a character, undone, redone and undone; then a text of more than
    // a mebibyte from another program (in odd sessions one that cuts the section it lands in),
    // pasted at the end, undone and redone twice, and undone; every undo and redo is compared.
    Key selectAll;
    selectAll.kind = Key::Kind::selectAll;
    Key character;
    character.character = U'Q';
    Key end;
    end.kind = Key::Kind::move;
    end.move = Move::textEnd;
    Key paste;
    paste.kind = Key::Kind::paste;
    const bool cutsSection = seed % 2 == 1;
    paste.pasted = longPasted(draw, cutsSection);
    paste.way = static_cast<int>(seed % std::size(kLineBreaks));
    Key undo;
    undo.kind = Key::Kind::undo;
    Key redo;
    redo.kind = Key::Kind::redo;
    int index = kKeysPerSession;
    // Every session saves over another document and opens its own again at least once.
    for (int way : {4, 5}) {
        if (waysGone[way]) continue;
        Key key;
        key.kind = Key::Kind::focusAway;
        key.way = way;
        if (way == 5) key.pasted = typedAfterOpening(draw);
        if (std::string wrong = pressKey(key, ++index); !wrong.empty()) return failure.str() + wrong;
    }
    for (const Key& key : {selectAll, character, undo, redo, undo, end, paste, undo, redo, undo, redo, undo}) {
        if (std::string wrong = pressKey(key, ++index); !wrong.empty()) return failure.str() + wrong;
        if (key.kind != Key::Kind::paste || !cutsSection) continue;
        const std::string sections = program.ask("String(document.getElementById('editor').children.length)");
        if (std::stoi(sections) < 2) {
            return failure.str() + "the long paste left the text in " + sections + " section\n  keys:" + keysSoFar();
        }
    }

    program.press({{GDK_KEY_Home, GDK_CONTROL_MASK}});
    for (int page = 0; page < kPagesAtTheEnd; ++page) {
        program.press({{GDK_KEY_Page_Down, 0}});
        const std::string joined =
            program.ask("String(document.getElementById('editor').getElementsByClassName('joined').length)");
        mostJoined = std::max(mostJoined, std::stoi(joined));
        if (std::stoi(joined) > kMostJoined) {
            return failure.str() + "after " + std::to_string(page + 1) +
                   " pages down from the start the page lays out " + joined + " elements inline around the caret";
        }
    }
    const std::string stray = program.ask(kStrayEdgesScript);
    if (!stray.starts_with("0|")) {
        return failure.str() + "after paging through the document, " + stray.substr(0, stray.find('|')) +
               " blocks away from the caret are still laid out inline with the next where closing the edge "
               "changes nothing\n  keys:" +
               keysSoFar();
    }
    // A page before the caret and one after it reach into no more groups than these.
    if (std::stoi(stray.substr(2)) > kMostGroupsNearTheCaret) {
        return failure.str() + "after paging through the document, " + stray.substr(2) +
               " groups are laid out whatever the view shows\n  keys:" + keysSoFar();
    }
    program.press({{GDK_KEY_s, GDK_CONTROL_MASK}});
    if (!program.waitFor(textOf("status-text") + ".startsWith('Saved " + name + "')")) {
        return failure.str() + "the document was not saved: " + program.ask(textOf("status-text"));
    }
    const std::string saved = contentsOf(path);
    const std::string expected = withLineBreaks(utf8(editor.text), lineBreak);
    if (saved != expected) {
        std::size_t same = 0;
        while (same < saved.size() && same < expected.size() && saved[same] == expected[same]) ++same;
        return failure.str() + "the saved file differs from the model's text from byte " + std::to_string(same) + " (" +
               std::to_string(saved.size()) + " bytes saved, " + std::to_string(expected.size()) + " expected)";
    }

    opened = editor.text;
    // As a user in a hurry does: a page above the end, Ctrl+Shift+End, Ctrl+X (or Delete), another
    // program's text offered, and Ctrl+V, Ctrl+Z and Ctrl+S typed at once. The keys held behind the
    // paste are played once it is done, and the save writes the text the undo gave back.
    Key pageUp;
    pageUp.kind = Key::Kind::move;
    pageUp.move = Move::pageUp;
    Key toEnd = end;
    toEnd.shift = true;
    Key takeOut;
    takeOut.kind = seed % 2 == 0 ? Key::Kind::cut : Key::Kind::forwardDelete;
    for (const Key& key : {end, pageUp, toEnd, takeOut}) {
        if (std::string wrong = pressKey(key, ++index); !wrong.empty()) return failure.str() + wrong;
    }
    Key late = paste;
    late.pasted = pasted(draw);
    late.at = now();
    offerOnClipboard(withLineBreaks(utf8(late.pasted), kLineBreaks[late.way]));
    plain_text::press(editor, late);
    plain_text::press(editor, undo);
    const std::string undone = withLineBreaks(utf8(editor.text), lineBreak);
    pressed.push_back(describe(late) + ", Ctrl+Z, Ctrl+S at once");
    if (!program.press({{GDK_KEY_v, GDK_CONTROL_MASK}, {GDK_KEY_z, GDK_CONTROL_MASK}, {GDK_KEY_s, GDK_CONTROL_MASK}}) ||
        !pumpUntil([&] { return contentsOf(path) == undone; }, std::chrono::seconds(30))) {
        return failure.str() + "30 s after a paste, an undo and a save typed at once the file does not hold the " +
               std::to_string(undone.size()) + " bytes expected but " + std::to_string(contentsOf(path).size()) +
               "; the status line says: " + program.ask(textOf("status-text")) + "\n  keys:" + keysSoFar();
    }
    return {};
}

// Several sessions in one run of the program, each over a document of its own.
TEST(GtkSerialFrontEndEditing, RandomSessionsEditAndMoveAsAPlainTextEditorDoes) {
    testing::TempFolder place;
    std::vector<std::string> failures;
    std::vector<double> seconds;
    bool ran = false;
    every(100, [&] {
        Program program{mainWebView()};
        if (program.view == nullptr) return true;
        if (program.waitFor(pageReady(), std::chrono::seconds(30)) &&
            program.ask(std::string(kCountKeys)) == "counting" &&
            program.ask(std::string(kMonospacedEditor)) == "monospaced") {
            for (std::uint32_t seed : kSeeds) {
                const auto start = std::chrono::steady_clock::now();
                std::string failure = runSession(program, place.path(), seed);
                seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
                if (failure.empty()) continue;
                failures.push_back(failure);
                // The next session opens its document in place of this one, unsaved: the question
                // whether to discard it is answered first.
                program.ask(clickButton("new-button"));
                if (program.waitFor(shown("confirm-bar"), std::chrono::seconds(3)))
                    program.ask(clickButton("confirm-yes"));
                program.waitFor(std::string(kEditorText) + " === ''", std::chrono::seconds(5));
            }
            ran = true;
        }
        closeShownDialogs();
        kill(getpid(), SIGTERM);
        return false;
    });
    {
        TracesAside traces;
        ASSERT_EQ(runApplication(bundledSystem(), vostraStudioApp()), 0);
        EXPECT_TRUE(ran) << "the page was not ready";
        for (const std::string& failure : failures) ADD_FAILURE() << failure;
    }
    std::ostringstream times;
    for (double s : seconds) times << " " << s << " s";
    std::printf(
        "%zu sessions of %d keys:%s; %d undo and %d redo keys compared; at most %d elements laid out inline; "
        "%d saves over another document, %d opens again by a double-click\n",
        seconds.size(), kKeysPerSession, times.str().c_str(), undoChecks, redoChecks, mostJoined, savesOver,
        opensAgain);
}

}  // namespace
}  // namespace kelvo
