// Vostra Studio's editor keeps the user's place, with real keys in the real program, each case
// read back from the saved file: keys at the edges of the blocks and groups that hold a document
// give the text a plain-text editor gives; Tab inserts a tab and Ctrl+Tab moves the keyboard on;
// focus that comes back puts the caret where it was; an undo step is the size a writer expects
// (label "gtk"). They run alone: keys that other tests type into their own windows through the X
// server (xdotool) change what the keyboard holds down for every window of the display, and a
// Shift held for a selection was seen to go missing beside them.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/silent_clipboard_owner.hpp"
#include "support/temp_folder.hpp"
#include "vostra_studio.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::pair<guint, guint>>;

// The key presses of a notation: GDK key names, a single character typed as itself, "Ctrl+" and
// "Shift+" before a key, "*N" after it for N presses, separated by spaces.
Keys parseKeys(const std::string& notation) {
    Keys keys;
    std::size_t at = 0;
    while (at < notation.size()) {
        std::size_t end = notation.find(' ', at);
        if (end == std::string::npos) end = notation.size();
        std::string word = notation.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        int count = 1;
        if (const std::size_t star = word.find('*'); star != std::string::npos && star > 0) {
            count = std::stoi(word.substr(star + 1));
            word.resize(star);
        }
        guint state = 0;
        for (auto [prefix, mask] :
             {std::pair<std::string, guint>{"Ctrl+", GDK_CONTROL_MASK}, {"Shift+", GDK_SHIFT_MASK}}) {
            if (word.size() > prefix.size() && word.starts_with(prefix)) {
                state |= mask;
                word.erase(0, prefix.size());
            }
        }
        const guint keyval = word.size() == 1         ? gdk_unicode_to_keyval(static_cast<guchar>(word[0]))
                             : word.starts_with("U+") ? gdk_unicode_to_keyval(std::stoul(word.substr(2), nullptr, 16))
                                                      : gdk_keyval_from_name(word.c_str());
        EXPECT_NE(keyval, static_cast<guint>(GDK_KEY_VoidSymbol)) << word;
        for (int i = 0; i < count; ++i) keys.emplace_back(keyval, state);
    }
    return keys;
}

// A key for each character of `text` ("\n" is Enter, "\t" Tab, "\b" Backspace).
Keys typing(std::string_view text) {
    Keys keys;
    for (char c : text) {
        keys.emplace_back(c == '\n'   ? GDK_KEY_Return
                          : c == '\t' ? GDK_KEY_Tab
                          : c == '\b' ? GDK_KEY_BackSpace
                                      : gdk_unicode_to_keyval(static_cast<guchar>(c)),
                          0);
    }
    return keys;
}

// Waits `seconds` on the main loop: a pause in typing.
std::function<bool()> pause(double seconds) {
    auto start = std::make_shared<std::optional<std::chrono::steady_clock::time_point>>();
    return [start, seconds] {
        if (!*start) *start = std::chrono::steady_clock::now();
        return std::chrono::steady_clock::now() - **start > std::chrono::duration<double>(seconds);
    };
}

// Presses keys as the X server delivers them and waits until the page has seen them all (the
// page counts them: see kCountKeys).
struct Keyboard {
    int pressed = 0;
    int clicked = 0;

    // A click through the display server that `click` makes; the keys pressed next wait until the
    // page has seen it.
    void click(UserSteps& steps, std::function<bool()> click) {
        steps.then(std::move(click)).until("clicksSeen >= " + std::to_string(++clicked));
    }

    // The page counts a key as its keydown comes; the text a key types may reach the editor a
    // moment later, in a message of the web view's own: the keys' effects are looked at a tenth of
    // a second after the last was seen. Keys typed `early` were typed with the key before them,
    // and reach the program only now.
    void press(UserSteps& steps, Keys keys, bool early = false) {
        pressed += static_cast<int>(keys.size());
        steps.then([keys, early] { return pressKeys(keys, early ? lastKeyTime() : 0); })
            .until("keysSeen >= " + std::to_string(pressed));
        if (!keys.empty()) steps.then(pause(0.1));
    }

    // Keys typed all at once, some of which a dialog they open takes (the page sees them or not):
    // what they did is waited for by the steps after them.
    static void burst(UserSteps& steps, Keys keys) {
        steps.then([keys] { return pressKeys(keys); });
    }

    // A key of the menu bar's (Ctrl+Z, Ctrl+Shift+Z) that changes the text: the window takes it,
    // not the page, which never counts it; it is done once the editor's text is another.
    static void pressMenuKey(UserSteps& steps, guint keyval, guint state) {
        steps.page("window.textBeforeMenuKey = " + std::string(kEditorText) + ", 'kept'")
            .then([=] {
                return pressKeys({{keyval, state}});
            })
            .until(std::string(kEditorText) + " !== window.textBeforeMenuKey");
    }
};

std::string documentNamed(std::string_view name);

// The text of a quoted string with C escapes, and \{Name} for the text of the document Name.
std::string unquoted(std::string_view quoted) {
    std::string text;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] != '\\') {
            text += quoted[i];
            continue;
        }
        const char escaped = quoted[++i];
        if (const std::size_t close = quoted.find('}', i); escaped == '{' && close != std::string_view::npos) {
            text += documentNamed(quoted.substr(i + 1, close - i - 1));
            i = close;
            continue;
        }
        if (escaped == 'u' && i + 4 < quoted.size()) {
            const auto code = static_cast<unsigned>(std::stoul(std::string(quoted.substr(i + 1, 4)), nullptr, 16));
            char utf8[8];
            text.append(utf8, static_cast<std::size_t>(g_unichar_to_utf8(code, utf8)));
            i += 4;
            continue;
        }
        text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped == 'r' ? '\r' : escaped;
    }
    return text;
}

// The documents of the table: lines "L000" on, 2,000 lines of 37 or 38 bytes, and a few short ones.
std::string documentNamed(std::string_view name) {
    std::string text;
    char line[64];
    if (name == "Empty") return "";
    if (name == "AB") return "a\nb\n";
    if (name == "NoBreak") return "a\u00a0b\nxyz\n";
    if (name == "Nul") return std::string("xa\0b\ny\n", 7);
    if (name == "Lines") return "line one\nline two\nline three\n";
    if (name == "N3M") {
        for (int i = 0; text.size() < 3'000'000; ++i) {
            std::snprintf(line, sizeof line, "%07d numbered line of a text to paste\n", i);
            text += line;
        }
        return text;
    }
    if (name == "NB60000" || name == "NB240000") {
        for (int i = 0; i < (name == "NB60000" ? 60000 : 240000); ++i) {
            std::snprintf(line, sizeof line, "row %05d a\u00a0b some words to fill the line\n", i);
            text += line;
        }
        return text;
    }
    if (name == "F2000") {
        for (int i = 0; i < 2000; ++i) {
            std::snprintf(line, sizeof line, "row %04d abcdefghij klmnopqrst uvwxyz\n", i);
            text += line;
        }
        return text;
    }
    if (name == "L2000") {
        for (int i = 0; i < 2000; ++i) {
            std::snprintf(line, sizeof line, "L%04d the quick brown fox jumps over it", i);
            text += std::string(line, 36) + "\n";
        }
        return text;
    }
    const int lines = name == "A137" ? 137 : 120;
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "L%03d\n", i);
        text += name == "A2" && i == 49 ? "\n" : line;
    }
    return text;
}

// Puts only a PNG picture on the clipboard, as a program that copied a picture does.
void offerPictureOnClipboard() {
    static const GtkTargetEntry kTargets[] = {{const_cast<gchar*>("image/png"), 0, 0}};
    gtk_clipboard_set_with_data(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), kTargets, 1,
        [](GtkClipboard*, GtkSelectionData* data, guint, gpointer) {
            static const guchar kPicture[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
            gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8, kPicture, sizeof kPicture);
        },
        nullptr, nullptr);
}

// Writes `text` at the caret as an input method does while it composes: the text changes at once,
// and the page hears of it only after (it cannot hold such text back).
std::string composed(const std::string& text) {
    std::string literal = "'";
    for (const char* at = text.c_str(); *at != '\0'; at = g_utf8_next_char(at)) {
        char escape[16];
        std::snprintf(escape, sizeof escape, "\\u{%x}", g_utf8_get_char(at));
        literal += escape;
    }
    literal += "'";
    return "(() => { const s = getSelection(); const t = s.focusNode; if (!t || t.nodeType !== Node.TEXT_NODE) "
           "return 'no text at the caret'; const at = s.focusOffset; const text = " +
           literal +
           "; t.insertData(at, text); s.collapse(t, at + text.length); t.parentNode.dispatchEvent(new "
           "InputEvent('input', {inputType: 'insertCompositionText', bubbles: true})); return 'composed'; })()";
}

// Keeps, in the page, what the status line said whenever the editor stopped telling a screen
// reader it is busy while a document was still being opened or shown (`busyLapses`).
constexpr std::string_view kWatchBusy =
    "(e => (window.busyLapses = [], new MutationObserver(() => { const s = "
    "document.getElementById('status-text').textContent; if (!e.hasAttribute('aria-busy') && "
    "/^(Opening|Showing) /.test(s)) busyLapses.push(s); }).observe(e, { attributeFilter: ['aria-busy'] }), "
    "'watching'))(document.getElementById('editor'))";

struct Row {
    std::string document;
    std::string keys;
    std::string before;
    std::string after;
};

std::vector<Row> rowsOf(const fs::path& table) {
    std::vector<Row> rows;
    std::ifstream file(table);
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t bar = line.find(" | ");
        const std::size_t secondBar = line.find(" | ", bar + 3);
        const std::size_t arrow = line.find(" => ", secondBar);
        EXPECT_TRUE(bar != std::string::npos && secondBar != std::string::npos && arrow != std::string::npos) << line;
        if (arrow == std::string::npos) continue;
        std::string before = line.substr(secondBar + 3, arrow - secondBar - 3);
        const bool toTheEnd = before.ends_with("*");
        if (toTheEnd) before.pop_back();
        rows.push_back({line.substr(0, bar), line.substr(bar + 3, secondBar - bar - 3),
                        (before.empty() ? "" : unquoted(before)) + (toTheEnd ? "*" : ""),
                        unquoted(line.substr(arrow + 4))});
    }
    return rows;
}

// Each row of the table in a document of its own, opened through the Open dialog, keyed at once
// (nothing but the keys places the caret) and saved, in one run of the program.
TEST(GtkSerialFrontEndEditing, KeysAtTheEdgesOfBlocksAndGroupsGiveTheTextAPlainTextEditorGives) {
    testing::TempFolder place;
    const std::vector<Row> rows = rowsOf(fs::path(KELVO_TEST_DATA_DIR) / "editor/keys_at_block_edges.txt");
    ASSERT_FALSE(rows.empty());
    Keyboard keyboard;
    UserSteps steps;
    steps.until(pageReady())
        .page(std::string(kCountKeys))
        .page(std::string(kMonospacedEditor))
        .page(std::string(kWatchBusy));
    std::vector<fs::path> paths;
    std::vector<std::string> errors(rows.size());
    std::vector<std::unique_ptr<testing::SilentClipboardOwner>> silentOwners;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // Each in a folder of its own: the Open dialog, shown in the folder of the one before,
        // lists one document rather than all of them.
        const std::string name = "row" + std::to_string(i + 1) + ".vrs";
        const fs::path folder = place.path(std::to_string(i + 1));
        fs::create_directory(folder);
        paths.push_back(folder / name);
        writeFile(paths.back(), documentNamed(rows[i].document));
        steps.then([path = paths.back()] {
            typeIntoOpenDialogWhenShown(path);
            return pressKeys({{GDK_KEY_o, GDK_CONTROL_MASK}});
        });
        keyboard.pressed += 1;
        steps.until(textOf("status-text") + " === 'Opened " + name + "'");
        // Besides keys, the words the table's header names. A Ctrl+o (or a click on the Open
        // button) among the keys is answered in the Open dialog with the row's document.
        Keys keys;
        // The keys include a path typed into a dialog they open; they are typed at a dialog.
        bool dialogTakes = false;
        bool atDialog = false;
        const auto flush = [&] {
            if (std::exchange(atDialog, false)) {
                Keyboard::burst(steps, std::exchange(keys, {}));
                steps.then([] { return shownFileChooser() == nullptr; });
            } else if (std::exchange(dialogTakes, false)) {
                Keyboard::burst(steps, std::exchange(keys, {}));
            } else {
                keyboard.press(steps, std::exchange(keys, {}));
            }
        };
        std::istringstream words(rows[i].keys);
        for (std::string word; words >> word;) {
            static constexpr std::string_view kWords[] = {"ScrollToMiddle", "OpenAgain", "Silent", "Picture",
                                                          "Asked",          "Played",    "Dialog"};
            if (word.starts_with("Path:")) {
                for (const char c : (folder / word.substr(5)).string()) {
                    keys.emplace_back(gdk_unicode_to_keyval(static_cast<guchar>(c)), 0);
                }
                dialogTakes = true;
                continue;
            }
            if (word.find(':') == std::string::npos &&
                std::find(std::begin(kWords), std::end(kWords), word) == std::end(kWords)) {
                if (word == "Ctrl+o") {
                    steps.then([path = paths.back()] {
                        typeIntoOpenDialogWhenShown(path);
                        return true;
                    });
                }
                const Keys more = parseKeys(word);
                keys.insert(keys.end(), more.begin(), more.end());
                continue;
            }
            flush();
            if (word.starts_with("Early:")) {
                std::string early = word.substr(6);
                std::replace(early.begin(), early.end(), ',', ' ');
                keyboard.press(steps, parseKeys(early), true);
            } else if (word == "Dialog") {
                steps.then([] { return shownFileChooser() != nullptr; });
                atDialog = true;
            } else if (word.starts_with("SavedAs:")) {
                paths.back() = folder / word.substr(8);
            } else if (word.starts_with("Composed:")) {
                steps.page(composed(unquoted("\"" + word.substr(9) + "\"")));
            } else if (word == "Silent" || word.starts_with("Slow:")) {
                steps.then([&silentOwners, slow = word.starts_with("Slow:") ? word.substr(5) : std::string()] {
                    silentOwners.push_back(
                        std::make_unique<testing::SilentClipboardOwner>(slow.empty() ? nullptr : slow.c_str()));
                    return true;
                });
            } else if (word == "Picture") {
                steps.then([] {
                    offerPictureOnClipboard();
                    return true;
                });
            } else if (word.starts_with("Click:") || word.starts_with("ClickDisabled:")) {
                if (word == "Click:open-button") {
                    steps.then([path = paths.back()] {
                        typeIntoOpenDialogWhenShown(path);
                        return true;
                    });
                }
                const bool disabled = word.starts_with("ClickDisabled:");
                keyboard.click(steps, [id = word.substr(word.find(':') + 1), disabled] {
                    const std::string shows = std::string("(e => e !== null && ") +
                                              (disabled ? "e.disabled" : "!e.disabled") +
                                              " && e.getClientRects().length > 0)"
                                              "(document.getElementById('" +
                                              id + "'))";
                    return evaluateNow(mainWebView(), shows) == "true" && clickInPage("#" + id);
                });
            } else if (word == "Asked") {
                // On the screen: from then on it takes the keys typed.
                steps.until("document.getElementById('confirm-bar').hasAttribute('data-takes-keys')");
            } else if (word == "Played") {
                steps.until("!document.getElementById('editor').hasAttribute('aria-busy')");
            } else if (word.starts_with("Told:")) {
                std::string text = word.substr(5);
                std::replace(text.begin(), text.end(), '_', ' ');
                steps.until(textOf("status-text") + ".startsWith('" + text + "')");
            } else if (word == "OpenAgain") {
                steps.then([path = paths.back()] {
                    typeIntoOpenDialogWhenShown(path);
                    return pressKeys({{GDK_KEY_o, GDK_CONTROL_MASK}});
                });
                keyboard.pressed += 1;
                // On the screen: from then on it takes the keys typed.
                steps.until("document.getElementById('confirm-bar').hasAttribute('data-takes-keys')");
            } else if (word == "ScrollToMiddle") {
                steps.page("(e => (e.scrollTop = e.scrollHeight / 2, 'scrolled'))(document.getElementById('editor'))")
                    .then(pause(0.3));
            } else if (word.starts_with("Pause:")) {
                steps.then(pause(std::stod(word.substr(6))));
            } else if (word.starts_with("Copied:")) {
                steps.then([text = unquoted("\"" + word.substr(7) + "\"")] { return clipboardBytes() == text; });
            } else if (word.starts_with("Offer:")) {
                steps.then([text = unquoted("\"" + word.substr(6) + "\"")] {
                    offerOnClipboard(text);
                    return true;
                });
            } else {
                std::string label = word.substr(5);
                std::replace(label.begin(), label.end(), '_', ' ');
                steps.then([label] {
                    GtkWidget* item = editMenuItem(label);
                    if (item != nullptr) gtk_menu_item_activate(GTK_MENU_ITEM(item));
                    return item != nullptr;
                });
                ++keyboard.pressed;
                keyboard.press(steps, {});
            }
        }
        flush();
        // No key failed (a copy that a newer one replaced, say, is no failure; a paste's failure is
        // taken back by a paste that follows): once the keys held behind a paste or an opening
        // document have all been played, and a copy had time to reach the clipboard, the error
        // bar is hidden.
        steps.until("!document.getElementById('editor').hasAttribute('aria-busy')");
        if (rows[i].keys.find("Ctrl+c") != std::string::npos) steps.then(pause(0.5));
        // Nor did the editor stop being busy while a document still opened.
        steps.read(
            "(b => (b.hidden ? '' : b.textContent.trim()) + (busyLapses.length === 0 ? '' : ' not busy at: ' + "
            "busyLapses.splice(0).join(', ')))(document.getElementById('error-bar'))",
            errors[i]);
        keyboard.press(steps, {{GDK_KEY_s, GDK_CONTROL_MASK}});
        steps.until(textOf("status-text") + ".startsWith('Saved " + paths.back().filename().string() + "')");
    }
    // The rows saved before a step that did not end are compared all the same.
    EXPECT_EQ(steps.runProgram(), steps.size());
    for (const auto& owner : silentOwners) EXPECT_TRUE(owner->owns()) << "a silent program did not take the clipboard";

    for (std::size_t i = 0; i < rows.size(); ++i) {
        // The text before is "*" for the whole document, and ends with "*" to reach its end.
        std::string expected = documentNamed(rows[i].document);
        std::string before = rows[i].before;
        const bool toTheEnd = before.ends_with("*");
        if (toTheEnd) before.pop_back();
        const std::size_t at = expected.find(before);
        ASSERT_NE(at, std::string::npos) << before;
        ASSERT_TRUE(toTheEnd || expected.find(before, at + 1) == std::string::npos) << before;
        expected.replace(at, toTheEnd ? std::string::npos : before.size(), rows[i].after);
        const std::string saved = contentsOf(paths[i]);
        std::size_t same = 0;
        while (same < saved.size() && same < expected.size() && saved[same] == expected[same]) ++same;
        const std::size_t from = same < 16 ? 0 : same - 16;
        EXPECT_EQ(errors[i], "") << rows[i].document << " | " << rows[i].keys;
        EXPECT_TRUE(saved == expected) << rows[i].document << " | " << rows[i].keys
                                       << ": the saved file differs at byte " << same << ": \""
                                       << saved.substr(from, 40) << "\" where \"" << expected.substr(from, 40) << "\"";
    }
}

// Which element has the keyboard: the editor, or another control of the page.
constexpr std::string_view kFocused =
    "(e => e === document.getElementById('editor') ? 'editor' : e ? e.id || e.tagName : 'nothing')"
    "(document.activeElement)";

// Tab in the editor inserts a tab character; Ctrl+Tab and Ctrl+Shift+Tab move the keyboard out of
// it to the next or the previous control, and back; the typing goes on where it was.
TEST(GtkSerialFrontEndEditing, TabInsertsATabAndCtrlTabMovesTheKeyboardOnAndBack) {
    testing::TempFolder place;
    std::string tabbed, forward, backAgain, backward, forwardAgain;
    Keyboard keyboard;
    UserSteps steps;
    steps.until(pageReady()).page(std::string(kCountKeys)).page("document.getElementById('editor').focus(), 'f'");
    keyboard.press(steps, typing("first line\nsecond\tLOST\t"));
    steps.read(std::string(kEditorText) + " + '|' + " + std::string(kFocused), tabbed);
    keyboard.press(steps, {{GDK_KEY_Tab, GDK_CONTROL_MASK}});
    steps.read(std::string(kFocused), forward);
    keyboard.press(steps, {{GDK_KEY_ISO_Left_Tab, GDK_CONTROL_MASK | GDK_SHIFT_MASK}});
    steps.read(std::string(kFocused), backAgain);
    keyboard.press(steps, typing("X"));
    keyboard.press(steps, {{GDK_KEY_ISO_Left_Tab, GDK_CONTROL_MASK | GDK_SHIFT_MASK}});
    steps.read(std::string(kFocused), backward);
    keyboard.press(steps, {{GDK_KEY_Tab, GDK_CONTROL_MASK}});
    steps.read(std::string(kFocused), forwardAgain);
    keyboard.press(steps, typing("Y"));
    keyboard.press(steps, {{GDK_KEY_s, GDK_CONTROL_MASK}});
    steps.then(answerSaveDialog(place.path(), "tabs")).until(textOf("status-text") + ".startsWith('Saved')");
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(tabbed, "first line\nsecond\tLOST\t|editor");
    EXPECT_NE(forward, "editor") << "Ctrl+Tab";
    EXPECT_EQ(backAgain, "editor") << "Ctrl+Shift+Tab after Ctrl+Tab";
    EXPECT_NE(backward, "editor") << "Ctrl+Shift+Tab";
    EXPECT_EQ(forwardAgain, "editor") << "Ctrl+Tab after Ctrl+Shift+Tab";
    EXPECT_EQ(contentsOf(place.path("tabs.vrs")), "first line\nsecond\tLOST\tXY");
    std::printf("Ctrl+Tab from the editor went to %s, Ctrl+Shift+Tab to %s\n", forward.c_str(), backward.c_str());
}

// Whenever the editor gets the keyboard back (after Ctrl+Tab and Ctrl+Shift+Tab, the "Replace
// it?" bar's Cancel, a menu opened and closed, the discard question's Cancel), or keeps it (a
// click on the page where there is no control), the next key lands where the caret was: each
// digit typed after one of them follows the one typed before it.
TEST(GtkSerialFrontEndEditing, FocusThatComesBackPutsTheCaretWhereItWas) {
    testing::TempFolder place;
    const fs::path document = place.path("focus.vrs");
    writeFile(document, "alpha\nbeta\ngamma\n");
    writeFile(place.path("notes.vrs"), "kept");
    std::string afterKeys, afterReplaceBar, afterMenu, afterDiscardQuestion, afterClicks;
    Keyboard keyboard;
    UserSteps steps;
    steps.until(pageReady())
        .page(std::string(kCountKeys))
        .page(dropFile(document))
        .until(textOf("status-text") + " === 'Opened focus.vrs'")
        .page("document.getElementById('editor').focus(), 'f'");
    keyboard.press(steps, parseKeys("Ctrl+Home Down End 1"));
    // Away by keys and back.
    keyboard.press(steps, {{GDK_KEY_Tab, GDK_CONTROL_MASK}, {GDK_KEY_ISO_Left_Tab, GDK_CONTROL_MASK | GDK_SHIFT_MASK}});
    keyboard.press(steps, typing("2"));
    steps.read(std::string(kEditorText), afterKeys);
    // Save As onto "notes", whose ".vrs" exists: Cancel in the "Replace it?" bar.
    keyboard.press(steps, {{GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK}});
    steps.then(answerSaveDialog(place.path(), "notes"))
        .until(shown("confirm-bar"))
        .page(clickButton("confirm-no"))
        .until(textOf("status-text") + " === 'Save cancelled'");
    keyboard.press(steps, typing("3"));
    steps.read(std::string(kEditorText), afterReplaceBar);
    // The Edit menu opened from the menu bar and closed.
    auto menuBar = [] {
        WebKitWebView* view = mainWebView();
        return GTK_MENU_SHELL(findOfType(gtk_widget_get_toplevel(GTK_WIDGET(view)), GTK_TYPE_MENU_BAR));
    };
    steps
        .then([&] {
            GtkWidget* edit = itemLabelled(GTK_WIDGET(menuBar()), "Edit");
            if (edit == nullptr) return false;
            gtk_menu_shell_select_item(menuBar(), edit);
            return true;
        })
        .then([] { return shownMenu() != nullptr; })
        .then([&] {
            gtk_menu_popdown(GTK_MENU(shownMenu()));
            gtk_menu_shell_deselect(menuBar());
            return true;
        })
        .then([] { return shownMenu() == nullptr; });
    keyboard.press(steps, typing("4"));
    steps.read(std::string(kEditorText), afterMenu);
    // New with unsaved changes: Cancel in the discard question.
    keyboard.press(steps, {{GDK_KEY_n, GDK_CONTROL_MASK}});
    steps.until(shown("confirm-bar")).page(clickButton("confirm-no")).until("!" + shown("confirm-bar"));
    keyboard.press(steps, typing("5"));
    steps.read(std::string(kEditorText), afterDiscardQuestion);
    // Real clicks on no control: the header, the toolbar's empty part, the status line.
    for (const char* place : {".titlebar", ".toolbar-spacer", ".statusbar"}) {
        // A press on the title bar may begin a move of the window, which takes the release: the
        // page never sees the click end, and a key typed after it goes where it goes either way.
        steps.then([place] { return clickInPage(place); });
    }
    keyboard.press(steps, typing("6"));
    steps.read(std::string(kEditorText), afterClicks);
    keyboard.press(steps, {{GDK_KEY_s, GDK_CONTROL_MASK}});
    steps.until(textOf("status-text") + ".startsWith('Saved focus.vrs')");
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_NE(afterKeys.find("beta12"), std::string::npos) << "after Ctrl+Tab, Ctrl+Shift+Tab: " << afterKeys;
    EXPECT_NE(afterReplaceBar.find("23"), std::string::npos) << "after the Replace bar: " << afterReplaceBar;
    EXPECT_NE(afterMenu.find("34"), std::string::npos) << "after a menu: " << afterMenu;
    EXPECT_NE(afterDiscardQuestion.find("45"), std::string::npos)
        << "after the discard question: " << afterDiscardQuestion;
    EXPECT_NE(afterClicks.find("56"), std::string::npos) << "after clicks on no control: " << afterClicks;
    EXPECT_EQ(contentsOf(document), "alpha\nbeta123456\ngamma\n");
    EXPECT_EQ(contentsOf(place.path("notes.vrs")), "kept");
}

// A document opened with a click on the toolbar's button takes the keys typed next, wherever the
// keyboard was before. One character
// replaced by another, the text as long as saved, is an edit: the edited mark shows, and New
// asks before it discards it.
TEST(GtkSerialFrontEndEditing, OneCharacterReplacedByAnotherIsAnEdit) {
    testing::TempFolder place;
    const fs::path document = place.path("same-length.vrs");
    writeFile(document, "cat\n");
    std::string edited;
    Keyboard keyboard;
    UserSteps steps;
    steps.until(pageReady()).page(std::string(kCountKeys));
    // The keyboard on another control first.
    keyboard.press(steps, {{GDK_KEY_Tab, GDK_CONTROL_MASK}});
    steps.then([&] {
        typeIntoOpenDialogWhenShown(document);
        return clickInPage("#open-button");
    });
    steps.until(textOf("status-text") + " === 'Opened same-length.vrs'");
    keyboard.press(steps, parseKeys("Shift+Right b"));
    steps.then(pause(0.3)).read(std::string(kEditorText) + " + '|' + " + shown("edited-mark"), edited);
    keyboard.press(steps, {{GDK_KEY_n, GDK_CONTROL_MASK}});
    steps.until(shown("confirm-bar")).page(clickButton("confirm-no"));
    keyboard.press(steps, {{GDK_KEY_s, GDK_CONTROL_MASK}});
    steps.until(textOf("status-text") + ".startsWith('Saved')");
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(edited, "bat\n|true");
    EXPECT_EQ(contentsOf(document), "bat\n");
}

// Three paragraphs typed at once (a typo mended with Backspace in the last): one Ctrl+Z takes
// back the last paragraph only, Ctrl+Shift+Z brings it back. Words typed after a pause of a
// second and a half, and words typed after the caret moved, are undone by themselves.
TEST(GtkSerialFrontEndEditing, AnUndoStepEndsAtALineBreakAPauseInTypingAndACaretMove) {
    const std::string paragraphs = "First paragraph.\nSecond one here.\nThird and last.";
    std::string typed, undoneOnce, redone, afterPause, undoneAfterPause, afterMove, undoneAfterMove;
    Keyboard keyboard;
    UserSteps steps;
    steps.until(pageReady()).page(std::string(kCountKeys)).page("document.getElementById('editor').focus(), 'f'");
    keyboard.press(steps, typing("First paragraph.\nSecond one here.\nThrid\b\b\b\bhird and last."));
    steps.read(std::string(kEditorText), typed);
    Keyboard::pressMenuKey(steps, GDK_KEY_z, GDK_CONTROL_MASK);
    steps.read(std::string(kEditorText), undoneOnce);
    Keyboard::pressMenuKey(steps, GDK_KEY_Z, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
    steps.read(std::string(kEditorText), redone);
    keyboard.press(steps, typing(" More"));
    steps.then(pause(1.5));
    keyboard.press(steps, typing(" words"));
    steps.read(std::string(kEditorText), afterPause);
    Keyboard::pressMenuKey(steps, GDK_KEY_z, GDK_CONTROL_MASK);
    steps.read(std::string(kEditorText), undoneAfterPause);
    keyboard.press(steps, {{GDK_KEY_Home, 0}});
    keyboard.press(steps, typing("Start "));
    steps.read(std::string(kEditorText), afterMove);
    Keyboard::pressMenuKey(steps, GDK_KEY_z, GDK_CONTROL_MASK);
    steps.read(std::string(kEditorText), undoneAfterMove);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(typed, paragraphs);
    // The line break before the last paragraph ends the step before it or starts the last one.
    EXPECT_TRUE(undoneOnce == "First paragraph.\nSecond one here.\n" ||
                undoneOnce == "First paragraph.\nSecond one here.")
        << undoneOnce;
    EXPECT_EQ(redone, paragraphs);
    EXPECT_EQ(afterPause, paragraphs + " More words");
    EXPECT_EQ(undoneAfterPause, paragraphs + " More");
    std::string moved = undoneAfterPause;
    moved.insert(moved.rfind('\n') + 1, "Start ");
    EXPECT_EQ(afterMove, moved);
    EXPECT_EQ(undoneAfterMove, undoneAfterPause);
}

// Whether the caret shows in the editor's view, and in which of its rows; and the lines a page
// moves (as the web view pages with Page Down: four fifths of the view, in whole lines).
constexpr std::string_view kCaretShows = R"JS((() => {
  const editor = document.getElementById("editor");
  const range = getSelection().getRangeAt(0);
  const caret = range.getClientRects()[0] || range.getBoundingClientRect();
  const top = editor.getBoundingClientRect().top + editor.clientTop;
  const shows = caret.top >= top - 1 && caret.bottom <= top + editor.clientHeight + 1;
  const row = Math.round((caret.top - top) / parseFloat(getComputedStyle(editor).lineHeight));
  return (shows ? "shows in row " + row : "hidden at " + Math.round(caret.top - top) + " of " + editor.clientHeight);
})())JS";
constexpr std::string_view kPageLines =
    "(e => String(Math.floor(Math.max(Math.round(Math.min(e.clientHeight, innerHeight) * 0.8), 1) / "
    "parseFloat(getComputedStyle(e).lineHeight))))(document.getElementById('editor'))";

// The largest document that opens (32 MiB), opened through the Open dialog: keys typed while it
// opens reach it in order once it is shown, and Page Down and Page Up among them go as far as
// one typed after, the caret and the view moving together (the caret stays in its row of the
// view); Ctrl+End at once goes to the end, where a key typed ends the
// text; Select All and Shift+Up select all but the last line, and a key replaces it.
TEST(GtkSerialFrontEndEditing, TheLargestDocumentTakesEveryKeyTypedWhileItOpensAndAfter) {
    testing::TempFolder place;
    const fs::path path = place.path("large.vrs");
    std::string text;
    text.reserve(32u << 20);
    for (int line = 0; text.size() < (32u << 20) - 200; ++line) {
        // Lines no wider than the editor: Up goes to the line above, not to a row of it.
        text += "Line " + std::to_string(line) + ": the quick brown fox \xE2\x80\x94 caf\xC3\xA9 na\xC3\xAFve\n";
    }
    writeFile(path, text);
    std::string pageLines, heldShows, typedShows;
    Keyboard keyboard;
    UserSteps steps;
    steps.within(120).until(pageReady()).page(std::string(kCountKeys)).page(std::string(kMonospacedEditor)).then([&] {
        typeIntoOpenDialogWhenShown(path);
        return pressKeys({{GDK_KEY_o, GDK_CONTROL_MASK}});
    });
    keyboard.pressed += 1;
    steps.until(textOf("status-text") + ".startsWith('Opening large.vrs')");
    keyboard.press(steps, parseKeys("A Down Down Down Page_Down Page_Down Page_Down Page_Up B"));
    steps.until(textOf("status-text") + " === 'Opened large.vrs'")
        .until("!document.getElementById('editor').hasAttribute('aria-busy')")
        .read(std::string(kCaretShows), heldShows)
        .read(std::string(kPageLines), pageLines);
    keyboard.press(steps, parseKeys("Ctrl+Home Page_Down Page_Down C"));
    steps.read(std::string(kCaretShows), typedShows);
    keyboard.press(steps, parseKeys("Ctrl+End"));
    steps.then(pause(1));
    keyboard.press(steps, parseKeys("Q Ctrl+s"));
    steps.until(textOf("status-text") + ".startsWith('Saved large.vrs')");
    const fs::path copy = place.path("selected.vrs");
    keyboard.press(steps, parseKeys("Ctrl+a Shift+Up X Ctrl+Shift+S"));
    steps.then(answerSaveDialog(place.path(), "selected"))
        .until(textOf("status-text") + ".startsWith('Saved selected')");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(steps.runProgram(), steps.size());
    std::printf("opened, keyed and saved twice in %.1f s; a page is %s lines\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), pageLines.c_str());

    // The caret at least three rows lower in the view after the keys held, which began three
    // lines lower (not pulled to the view's edge).
    int heldRow = -1;
    int typedRow = -1;
    EXPECT_EQ(std::sscanf(heldShows.c_str(), "shows in row %d", &heldRow), 1)
        << heldShows << " after Page Down and Page Up typed while the document opened";
    EXPECT_EQ(std::sscanf(typedShows.c_str(), "shows in row %d", &typedRow), 1)
        << typedShows << " after Page Down typed once it showed";
    EXPECT_GE(heldRow, typedRow + 3);
    // "A" at the start, then three lines, three pages down and one up (at the column after "A")
    // "B"; two pages down from the start, "C" before it: every page went as far.
    const int page = std::atoi(pageLines.c_str());
    ASSERT_GT(page, 1);
    std::string edited = "A" + text;
    auto lineStart = [&](int line) {
        std::size_t at = 0;
        for (int i = 0; i < line; ++i) at = edited.find('\n', at) + 1;
        return at;
    };
    edited.insert(lineStart(3 + 2 * page) + 1, "B");
    const std::size_t at = lineStart(2 * page);
    edited.insert(at, "C");
    const std::string saved = contentsOf(path);
    EXPECT_EQ(saved.size(), edited.size() + 1);
    const std::size_t line = edited.rfind('\n', at + 2) + 1;
    EXPECT_TRUE(saved == edited + "Q") << "the saved file has \"" << saved.substr(line, 20) << "\" where \""
                                       << edited.substr(line, 20) << "\" and ends \"" << saved.substr(saved.size() - 80)
                                       << "\"";
    // The line above the last, "Q", from the caret's column on.
    const std::size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
    EXPECT_EQ(contentsOf(copy), "X" + text.substr(lastLine + 1) + "Q");
}

}  // namespace
}  // namespace kelvo
