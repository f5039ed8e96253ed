// Vostra Studio, started as the program starts, with its real front-end in a real web view: it
// saves and opens documents through the real save and open dialogs, keeps a document's bytes,
// asks before it replaces another document, before it writes "\xEF\xBF\xBD" for bytes that were
// not UTF-8 and before a reload discards unsaved text, and refuses a picture; the tests answer
// the dialogs and questions as a user would (label "gtk").

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "screen_input.hpp"
#include "screen_reader.hpp"
#include "support/temp_folder.hpp"
#include "vostra_studio.hpp"

// After the program's headers: the X headers define names (KeyPress, InputOutput) they use.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

using namespace std::string_literals;

namespace fs = std::filesystem;

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(GtkFrontEnd, SavesThroughTheSaveDialogAndReopensThroughTheOpenDialog) {
    testing::TempFolder place;
    const fs::path folder = place.path("documents");
    fs::create_directories(folder);
    const fs::path saved = folder / "Untitled.vrs";
    const std::string text = "Notes from the dialogs\nsecond line \xC3\xA9";

    enum class Stage { loading, saving, saved, cleared, opening, reopened, done };
    Stage stage = Stage::loading;
    PageQuestions page;
    std::string editor;
    int polls = 0;
    every(100, [&] {
        if (++polls > 300 || stage == Stage::done) {
            kill(getpid(), SIGTERM);  // the program's own way to end
            return false;
        }
        if (mainWebView() == nullptr || page.waiting) return true;
        switch (stage) {
            case Stage::loading:
                page.ask("typeof vexa === 'object' && document.readyState === 'complete' ? 'ready' : ''",
                         [&](const std::string& answer) {
                             if (answer != "ready") return;
                             stage = Stage::saving;
                             page.ask(typeText("'Notes from the dialogs\\nsecond line \\u00e9'") +
                                          ", document.getElementById('save-as-button').click(), 'asked'",
                                      [](const std::string&) {});
                         });
                break;
            case Stage::saving:
                if (GtkDialog* dialog = shownFileChooser()) {
                    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
                    acceptWhenChosen(dialog, saved);
                    stage = Stage::saved;
                }
                break;
            case Stage::saved:
                if (contentsOf(saved) == text) {
                    page.ask("document.getElementById('new-button').click(), 'new'",
                             [&](const std::string&) { stage = Stage::cleared; });
                }
                break;
            case Stage::cleared:
                page.ask(std::string(kEditorText), [&](const std::string& value) {
                    if (!value.empty()) return;
                    stage = Stage::opening;
                    page.ask("document.getElementById('open-button').click(), 'asked'", [](const std::string&) {});
                });
                break;
            case Stage::opening:
                if (GtkDialog* dialog = shownFileChooser()) {
                    gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(dialog), saved.c_str());
                    acceptWhenChosen(dialog, saved);
                    stage = Stage::reopened;
                }
                break;
            case Stage::reopened:
                page.ask(std::string(kEditorText), [&](const std::string& value) {
                    editor = value;
                    if (value == text) stage = Stage::done;
                });
                break;
            case Stage::done:
                break;
        }
        return true;
    });
    ASSERT_EQ(runApplication(bundledSystem(), vostraStudioApp()), 0);

    EXPECT_EQ(stage, Stage::done);
    EXPECT_EQ(contentsOf(saved), text);
    EXPECT_EQ(editor, text);
}

// A document whose name ends in ".VRS" opens when dropped, and Save puts it back under the
// ending the application writes, asking first: the dialog offers "NOTES.vrs" beside it.
TEST(GtkFrontEnd, ADroppedUpperCaseDocumentOpensAndSavesUnderTheLowerCaseEnding) {
    testing::TempFolder place;
    const fs::path dropped = place.path("NOTES.VRS");
    const fs::path saved = place.path("NOTES.vrs");
    std::ofstream(dropped) << "from the drop";

    enum class Stage { loading, opening, editing, saving, saved, done };
    Stage stage = Stage::loading;
    PageQuestions page;
    std::string offeredName;
    std::string error = "true";
    int polls = 0;
    every(100, [&] {
        if (++polls > 300 || stage == Stage::done) {
            kill(getpid(), SIGTERM);
            return false;
        }
        if (mainWebView() == nullptr || page.waiting) return true;
        switch (stage) {
            case Stage::loading:
                page.ask("typeof vexa === 'object' && document.readyState === 'complete' ? 'ready' : ''",
                         [&](const std::string& answer) {
                             if (answer != "ready") return;
                             stage = Stage::opening;
                             // What the host raises for a drop on the window.
                             page.ask("vexa._emit('drop:files', {paths: ['/nowhere/a.txt', '" + dropped.string() +
                                          "']}), 'dropped'",
                                      [](const std::string&) {});
                         });
                break;
            case Stage::opening:
                page.ask(std::string(kEditorText), [&](const std::string& value) {
                    if (value != "from the drop") return;
                    stage = Stage::editing;
                    page.ask(typeText("'saved again'") + ", document.getElementById('save-button').click(), 'asked'",
                             [&](const std::string&) { stage = Stage::saving; });
                });
                break;
            case Stage::saving:
                if (GtkDialog* dialog = shownFileChooser()) {
                    gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
                    offeredName = name != nullptr ? name : "";
                    g_free(name);
                    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), place.path().c_str());
                    acceptWhenChosen(dialog, saved);
                    stage = Stage::saved;
                }
                break;
            case Stage::saved:
                if (contentsOf(saved) == "saved again") {
                    page.ask("String(document.getElementById('error-bar').hidden)", [&](const std::string& hidden) {
                        error = hidden;
                        stage = Stage::done;
                    });
                }
                break;
            case Stage::editing:
            case Stage::done:
                break;
        }
        return true;
    });
    ASSERT_EQ(runApplication(bundledSystem(), vostraStudioApp()), 0);

    EXPECT_EQ(stage, Stage::done);
    EXPECT_EQ(offeredName, "NOTES.vrs");
    EXPECT_EQ(contentsOf(saved), "saved again");
    EXPECT_EQ(contentsOf(dropped), "from the drop");
    EXPECT_EQ(error, "true") << "no error shown";
}

// Save As of "notes" where "notes.vrs" exists: the dialog asked about "notes" (not there), so the
// page asks about "notes.vrs" before it is replaced. Refused, it stays byte for byte; accepted, it
// is replaced.
TEST(GtkFrontEnd, SaveAsOfANameWithoutItsEndingAsksBeforeReplacingTheDocumentOfThatName) {
    testing::TempFolder place;
    const fs::path folder = place.path("documents");
    fs::create_directories(folder);
    const fs::path notes = folder / "notes.vrs";
    const std::string kept = "the notes\r\nas they were \xC3\xA9\n";
    writeFile(notes, kept);

    std::string question;
    std::string afterRefusal;
    std::string status;
    UserSteps steps;
    steps.until(pageReady())
        .page(typeText("'new words'"))
        .page(clickButton("save-as-button"))
        .then(answerSaveDialog(folder, "notes"))
        .until(shown("confirm-bar"))
        .read(textOf("confirm-text"), question)
        .page(clickButton("confirm-no"))
        .until(textOf("status-text") + " === 'Save cancelled'")
        .then([&] {
            afterRefusal = contentsOf(notes);
            return true;
        })
        .page(clickButton("save-as-button"))
        .then(answerSaveDialog(folder, "notes"))
        .until(shown("confirm-bar"))
        .page(clickButton("confirm-yes"))
        .until(textOf("status-text") + ".startsWith('Saved')")
        .read(textOf("status-text"), status);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(question, "\u201cnotes.vrs\u201d already exists in \u201c" + folder.string() + "\u201d. Replace it?");
    EXPECT_EQ(afterRefusal, kept);
    EXPECT_EQ(contentsOf(notes), "new words");
    EXPECT_EQ(status, "Saved notes.vrs (9 bytes)");
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"notes.vrs"});
}

// Save As of "notes" where "notes.vrs" is a folder: nothing can be saved under that name, and the
// page says so at once instead of asking whether to replace it. The next command that succeeds (a
// Save As under another name) takes the failure away.
TEST(GtkFrontEnd, SaveAsOntoANameThatIsAFolderSaysSoAtOnce) {
    testing::TempFolder place;
    const fs::path folder = place.path("documents");
    fs::create_directories(folder / "notes.vrs");

    std::string shownBars;
    std::string error;
    std::string errorAfterSave;
    UserSteps steps;
    steps.until(pageReady())
        .page(typeText("'new words'"))
        .page(
            "(() => { const bar = document.getElementById('confirm-bar'); window.asked = false;"
            " new MutationObserver(() => { window.asked = window.asked || !bar.hidden; })"
            ".observe(bar, { attributes: true }); return 'watching'; })()")
        .page(clickButton("save-as-button"))
        .then(answerSaveDialog(folder, "notes"))
        .until(shown("error-bar") + " || " + shown("confirm-bar"))
        .read("[window.asked, " + shown("confirm-bar") + ", " + shown("error-bar") + "].join()", shownBars)
        .read(
            "[" + textOf("error-action") + ", " + textOf("error-message") + ", " + textOf("error-code") + "].join('|')",
            error)
        .page(clickButton("save-as-button"))
        .then(answerSaveDialog(folder, "other"))
        .until(textOf("status-text") + ".startsWith('Saved other.vrs')")
        .read(shown("error-bar"), errorAfterSave);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(shownBars, "false,false,true") << "asked, asking, error";
    EXPECT_EQ(error, "Save As failed|This is a folder, not a file.|handler_failed IsDir");
    EXPECT_EQ(errorAfterSave, "false") << "the failure still shows after a Save As that succeeded";
    EXPECT_TRUE(fs::is_directory(folder / "notes.vrs"));
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"notes.vrs", "other.vrs"}));
}

// The before-unload confirmation WebKit shows inside the web view, and its buttons.
GtkWidget* shownLeavePageQuestion() {
    WebKitWebView* view = mainWebView();
    if (view == nullptr) return nullptr;
    GtkWidget* found = nullptr;
    gtk_container_forall(
        GTK_CONTAINER(view),
        [](GtkWidget* child, gpointer data) {
            if (gtk_widget_get_visible(child) &&
                findFirst(child, [](GtkWidget* w) {
                    return GTK_IS_BUTTON(w) && gtk_button_get_label(GTK_BUTTON(w)) != nullptr &&
                           std::string_view(gtk_button_get_label(GTK_BUTTON(w))) == "Stay on Page";
                }) != nullptr) {
                *static_cast<GtkWidget**>(data) = child;
            }
        },
        &found);
    return found;
}

bool pressButtonIn(GtkWidget* root, std::string_view label) {
    GtkWidget* button = findFirst(root, [label](GtkWidget* w) {
        return GTK_IS_BUTTON(w) && gtk_button_get_label(GTK_BUTTON(w)) != nullptr &&
               label == gtk_button_get_label(GTK_BUTTON(w));
    });
    if (button == nullptr) return false;
    gtk_button_clicked(GTK_BUTTON(button));
    return true;
}

// Reload (its key) with typed, unsaved text asks first: staying keeps the page and its text,
// leaving reloads. Without changes it reloads at once.
TEST(GtkFrontEnd, ReloadWithUnsavedTextAsksFirstAndWithoutChangesReloadsAtOnce) {
    std::string question;
    std::string keptText;
    bool askedUnedited = false;
    int waited = 0;
    auto reloadKey = [] { return pressKeys({{GDK_KEY_r, GDK_CONTROL_MASK}}); };
    UserSteps steps;
    steps.until(pageReady())
        .page("window.marker = 'this page', document.getElementById('editor').focus(), 'focused'")
        .then([] {
            return pressKeys({{GDK_KEY_H, 0}, {GDK_KEY_i, 0}});
        })
        .until(std::string(kEditorText) + " === 'Hi' && " + shown("edited-mark"))
        .then(reloadKey)
        .then([&] {
            GtkWidget* asked = shownLeavePageQuestion();
            if (asked == nullptr) return false;
            GtkWidget* label = findOfType(asked, GTK_TYPE_LABEL);
            question = label != nullptr ? gtk_label_get_text(GTK_LABEL(label)) : "";
            return pressButtonIn(asked, "Stay on Page");
        })
        .then([&] { return ++waited > 5; })
        .read("window.marker + ': ' + " + std::string(kEditorText), keptText)
        .then(reloadKey)
        .then([] {
            GtkWidget* asked = shownLeavePageQuestion();
            return asked != nullptr && pressButtonIn(asked, "Leave Page");
        })
        .until("window.marker === undefined && " + pageReady())
        .page("window.marker = 'unedited', 'marked'")
        .then(reloadKey)
        .then([&] {
            askedUnedited = askedUnedited || shownLeavePageQuestion() != nullptr;
            return true;
        })
        .until("window.marker === undefined && " + pageReady());
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_FALSE(question.empty());
    EXPECT_EQ(keptText, "this page: Hi");
    EXPECT_FALSE(askedUnedited);
}

// A document with CRLF line breaks opens unchanged and is written back byte for byte; a line
// typed into it gets a CRLF too. One with mixed line breaks is written back as it was.
TEST(GtkFrontEnd, ACrlfDocumentOpensUnchangedAndIsWrittenBackByteForByte) {
    testing::TempFolder place;
    const fs::path crlf = place.path("windows.vrs");
    const fs::path mixed = place.path("mixed.vrs");
    const std::string crlfBytes =
        "\xEF\xBB\xBF"
        "first line\r\nsecond \xC3\xA9\r\n\r\nlast\r\n";
    const std::string mixedBytes = "one\r\ntwo\nthree\rfour\r\n";
    writeFile(crlf, crlfBytes);
    writeFile(mixed, mixedBytes);

    std::string opened;
    std::string afterSave;
    std::string mixedOpened;
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(crlf))
        .until(textOf("status-text") + " === 'Opened windows.vrs'")
        .read("[" + textOf("status-encoding") + ", " + shown("edited-mark") + "].join()", opened)
        .page(clickButton("save-button"))
        .until(textOf("status-text") + ".startsWith('Saved')")
        .then([&] {
            afterSave = contentsOf(crlf);
            return true;
        })
        .page(typeText(std::string(kEditorText) + " + 'typed line\\n'"))
        .page(clickButton("save-button"))
        .until(textOf("status-text") + " === 'Saved windows.vrs (46 bytes)'")
        .page(dropFile(mixed))
        .until(textOf("status-text") + " === 'Opened mixed.vrs'")
        .read("[" + textOf("status-encoding") + ", " + shown("edited-mark") + "].join()", mixedOpened)
        .page(clickButton("save-button"))
        .until(textOf("status-text") + ".startsWith('Saved mixed.vrs')");
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(opened, "UTF-8 \u00b7 CRLF,false");
    EXPECT_EQ(afterSave, crlfBytes);
    EXPECT_EQ(contentsOf(crlf), crlfBytes + "typed line\r\n");
    EXPECT_EQ(mixedOpened, "UTF-8 \u00b7 Mixed line breaks,false");
    EXPECT_EQ(contentsOf(mixed), mixedBytes);
}

// A document with mixed line breaks is written back as it was read however often it is saved
// unchanged, and the status line says so; once a key changes it, the status line says which line
// break a save writes for all of them, and the save writes that.
TEST(GtkFrontEnd, AnUnchangedDocumentWithMixedLineBreaksIsWrittenBackAsItWasReadAtEverySave) {
    testing::TempFolder place;
    const fs::path mixed = place.path("mixed.vrs");
    const std::string bytes = "a\r\nb\nc\r\n";
    writeFile(mixed, bytes);

    std::string opened, afterFirst, afterSecond, afterThird, edited, saved;
    auto saveByKey = [] { return pressKeys({{GDK_KEY_s, GDK_CONTROL_MASK}}); };
    auto fileInto = [&mixed](std::string& into) {
        return [&mixed, target = &into] {
            *target = contentsOf(mixed);
            return true;
        };
    };
    const std::string clearStatus = "document.getElementById('status-text').textContent = '', 'cleared'";
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(mixed))
        .until(textOf("status-text") + " === 'Opened mixed.vrs'")
        .read(textOf("status-encoding"), opened)
        .page("document.getElementById('editor').focus(), 'focused'");
    for (std::string* after : {&afterFirst, &afterSecond, &afterThird}) {
        steps.page(clearStatus)
            .then(saveByKey)
            .until(textOf("status-text") + ".startsWith('Saved mixed.vrs')")
            .then(fileInto(*after));
    }
    steps.then([] {
             return pressKeys({{GDK_KEY_X, GDK_SHIFT_MASK}});
         })
        .until(shown("edited-mark"))
        .read(textOf("status-encoding"), edited)
        .page(clearStatus)
        .then(saveByKey)
        .until(textOf("status-text") + ".startsWith('Saved mixed.vrs')")
        .read(textOf("status-encoding"), saved)
        // A key typed and taken back leaves the text as it was saved: not edited.
        .then([] {
            return pressKeys({{GDK_KEY_Y, GDK_SHIFT_MASK}});
        })
        .until(shown("edited-mark"))
        .then([] {
            return pressKeys({{GDK_KEY_BackSpace, 0}});
        })
        .until("document.getElementById('edited-mark').hidden");
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(opened, "UTF-8 \u00b7 Mixed line breaks");
    EXPECT_EQ(afterFirst, bytes);
    EXPECT_EQ(afterSecond, bytes);
    EXPECT_EQ(afterThird, bytes);
    EXPECT_EQ(edited, "UTF-8 \u00b7 Mixed line breaks, saved as CRLF");
    EXPECT_EQ(contentsOf(mixed), "Xa\r\nb\r\nc\r\n");
    EXPECT_EQ(saved, "UTF-8 \u00b7 CRLF");
}

// A document that is not all UTF-8 says so when it opens; its first save asks before it writes
// U+FFFD in place of the bytes, and refused, it leaves the file as it was.
TEST(GtkFrontEnd, ADocumentThatIsNotUtf8IsToldAndItsFirstSaveAsks) {
    testing::TempFolder place;
    const fs::path latin1 = place.path("latin1.vrs");
    const std::string bytes = "caf\xE9 cr\xE8me\n";
    writeFile(latin1, bytes);

    std::string notice;
    std::string question;
    std::string afterRefusal;
    std::string status;
    std::string encodingOpened;
    std::string encodingSaved;
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(latin1))
        .until(shown("notice-bar"))
        .read(textOf("notice-text"), notice)
        .read(textOf("status-encoding"), encodingOpened)
        .page(clickButton("save-button"))
        .until(shown("confirm-bar"))
        .read(textOf("confirm-text"), question)
        .page(clickButton("confirm-no"))
        .until(textOf("status-text") + " === 'Save cancelled'")
        .then([&] {
            afterRefusal = contentsOf(latin1);
            return true;
        })
        .page(clickButton("save-button"))
        .until(shown("confirm-bar"))
        .page(clickButton("confirm-yes"))
        .until(textOf("status-text") + ".startsWith('Saved')")
        .read("[" + textOf("status-text") + ", " + shown("notice-bar") + "].join()", status)
        .read(textOf("status-encoding"), encodingSaved);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_NE(notice.find("\u201clatin1.vrs\u201d is not all UTF-8 text"), std::string::npos) << notice;
    EXPECT_EQ(encodingOpened, "Not all UTF-8 \u00b7 LF");
    EXPECT_EQ(encodingSaved, "UTF-8 \u00b7 LF");
    EXPECT_NE(question.find("Save anyway?"), std::string::npos) << question;
    EXPECT_EQ(afterRefusal, bytes);
    EXPECT_EQ(contentsOf(latin1), "caf\xEF\xBF\xBD cr\xEF\xBF\xBDme\n");
    EXPECT_EQ(status, "Saved latin1.vrs (15 bytes),false");
}

// The open dialog shows documents first and the other kinds the application reads as a second
// choice; a picture chosen there is refused with a sentence that says why, and nothing is shown
// as its text.
TEST(GtkFrontEnd, TheOpenDialogOffersDocumentsFirstAndAPictureIsRefused) {
    testing::TempFolder place;
    const fs::path picture = place.path("picture.png");
    fs::copy_file(KELVO_BUNDLE_DIR "/Contents/Resources/icon.png", picture);

    std::vector<std::string> filters;
    std::string current;
    std::string shownError;
    UserSteps steps;
    steps.until(pageReady())
        .page(clickButton("open-button"))
        .then([&] {
            GtkDialog* dialog = shownFileChooser();
            if (dialog == nullptr) return false;
            GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
            GSList* list = gtk_file_chooser_list_filters(chooser);
            for (GSList* item = list; item != nullptr; item = item->next) {
                filters.emplace_back(gtk_file_filter_get_name(GTK_FILE_FILTER(item->data)));
            }
            current = gtk_file_filter_get_name(gtk_file_chooser_get_filter(chooser));
            // The user picks the second choice, then the picture.
            if (g_slist_length(list) > 1) gtk_file_chooser_set_filter(chooser, GTK_FILE_FILTER(list->next->data));
            g_slist_free(list);
            gtk_file_chooser_select_filename(chooser, picture.c_str());
            acceptWhenChosen(dialog, picture);
            return true;
        })
        .until(shown("error-bar"))
        .read("[" + textOf("error-message") + ", " + textOf("error-code") + ", " + textOf("status-text") + ", " +
                  std::string(kEditorText) + ".length, " + shown("edited-mark") + "].join('|')",
              shownError);
    ASSERT_EQ(steps.runProgram(), steps.size());

    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0], "Vostra Studio documents (*.vrs)");
    EXPECT_EQ(filters[1],
              "Files Vostra Studio reads (*.png, *.jpg, *.vrs, *.heic, *.heif, *.webp, *.jpeg, *.pdf, *.txt)");
    EXPECT_EQ(current, filters[0]);
    EXPECT_EQ(shownError,
              "\u201cpicture.png\u201d is a PNG image, not text. Vostra Studio opens text documents.|not_text|"
              "Open failed: \u201cpicture.png\u201d is a PNG image, not text. Vostra Studio opens text documents. "
              "(not_text)|0|false");
}

// The names of the files the file chooser on screen lists, in the file system's bytes; none until
// it lists `expected`, which shows that it has read its folder.
std::vector<std::string> listedFiles(GtkDialog* dialog, std::string_view expected) {
    std::vector<std::string> names;
    auto* list = GTK_TREE_VIEW(findOfType(GTK_WIDGET(dialog), GTK_TYPE_TREE_VIEW));
    GtkTreeModel* model = list != nullptr ? gtk_tree_view_get_model(list) : nullptr;
    if (model == nullptr) return names;
    // The list's model holds each file as a GFile in one of its columns.
    gint column = 0;
    while (column < gtk_tree_model_get_n_columns(model) &&
           gtk_tree_model_get_column_type(model, column) != G_TYPE_FILE) {
        ++column;
    }
    if (column == gtk_tree_model_get_n_columns(model)) return names;
    GtkTreeIter row;
    for (bool more = gtk_tree_model_get_iter_first(model, &row); more; more = gtk_tree_model_iter_next(model, &row)) {
        GFile* file = nullptr;
        gtk_tree_model_get(model, &row, column, &file, -1);
        if (file == nullptr) continue;
        gchar* name = g_file_get_basename(file);
        names.emplace_back(name);
        g_free(name);
        g_object_unref(file);
    }
    std::sort(names.begin(), names.end());
    if (std::find(names.begin(), names.end(), expected) == names.end()) names.clear();
    return names;
}

// The question on screen (a save chooser's before it replaces a file), if one is shown.
GtkWidget* shownQuestion() {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_mapped(GTK_WIDGET(item->data))) {
            found = GTK_WIDGET(item->data);
        }
    }
    g_list_free(toplevels);
    return found;
}

// A document whose name is not UTF-8 (as names made on another system may be) is listed by the
// open dialog under both of its types; its location field completes the name shown for it, and
// the document opens, saves in place and saves again over itself through Save As, always under its
// own name: the page holds each byte that is not UTF-8 as a character of its own.
// Keys to the program's window, as the X server delivers them: a step for UserSteps.
std::function<bool()> keys(std::vector<std::pair<guint, guint>> pressed) {
    return [pressed = std::move(pressed)] { return pressKeys(pressed); };
}

// Keys (xdotool's words) to a window on screen through the X server; false while it is not shown.
bool keysTo(GtkWidget* window, const std::string& xdotool) {
    if (window == nullptr || !gtk_widget_get_mapped(window)) return false;
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(window));
    const std::string command = "xdotool windowfocus --sync " + std::to_string(xid) + " " + xdotool;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return true;
}

// Keys to the file chooser on screen, through the X server: the chooser completes a name only in a
// window that has the keyboard.
std::function<bool()> dialogKeys(std::string xdotool) {
    return [xdotool = std::move(xdotool)] {
        GtkDialog* dialog = shownFileChooser();
        return dialog != nullptr && keysTo(GTK_WIDGET(dialog), xdotool);
    };
}

TEST(GtkSerialFrontEnd, ADocumentWhoseNameIsNotUtf8IsListedCompletedOpenedAndSaved) {
    testing::TempFolder place;
    const fs::path folder = place.path("documents");
    fs::create_directories(folder);
    const std::string name = "caf\xE9.vrs";
    const fs::path document = folder / name;
    writeFile(folder / "plain.vrs", "plain\n");
    writeFile(folder / "notes.txt", "notes\n");
    writeFile(folder / "notes.md", "notes\n");
    writeFile(document, "caf\xC3\xA9 text\n");

    std::vector<std::vector<std::string>> listed;
    std::string completed;
    std::string savedInPlace;
    auto locationField = [] {
        GtkDialog* dialog = shownFileChooser();
        GtkWidget* focus = dialog != nullptr ? gtk_window_get_focus(GTK_WINDOW(dialog)) : nullptr;
        return focus != nullptr && GTK_IS_ENTRY(focus) && gtk_widget_get_realized(focus) ? GTK_ENTRY(focus) : nullptr;
    };
    UserSteps steps;
    steps.until(pageReady())
        .then(keys({{GDK_KEY_o, GDK_CONTROL_MASK}}))
        // The user goes to the folder and looks at what each choice of type lists.
        .then([&] {
            GtkDialog* dialog = shownFileChooser();
            if (dialog == nullptr) return false;
            GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
            GSList* filters = gtk_file_chooser_list_filters(chooser);
            GtkFileFilter* wanted = GTK_FILE_FILTER(g_slist_nth_data(filters, static_cast<guint>(listed.size())));
            g_slist_free(filters);
            if (gtk_file_chooser_get_filter(chooser) != wanted) {
                gtk_file_chooser_set_filter(chooser, wanted);
                return false;
            }
            gchar* shown = gtk_file_chooser_get_current_folder(chooser);
            const bool there = shown != nullptr && folder == shown;
            g_free(shown);
            if (!there) gtk_file_chooser_set_current_folder(chooser, folder.c_str());
            std::vector<std::string> names = there ? listedFiles(dialog, "plain.vrs") : std::vector<std::string>{};
            if (names.empty()) return false;
            listed.push_back(std::move(names));
            return listed.size() == 2;
        })
        // Ctrl+L, the folder's path and the first letters of the name; the field completes it.
        .then(dialogKeys("key ctrl+l"))
        .then([&] { return locationField() != nullptr; })
        .then(dialogKeys("type --delay 20 '" + folder.string() + "/ca'"))
        .then([&] {
            GtkEntry* field = locationField();
            completed = field != nullptr ? gtk_entry_get_text(field) : "";
            return completed.size() > folder.string().size() + 3;
        })
        .then(dialogKeys("key Return"))
        .until(std::string(kEditorText) + " === 'caf\\u00e9 text\\n'")
        .until(textOf("status-text") + " === 'Opened caf\\ufffd.vrs'")
        .then(keys({{GDK_KEY_End, GDK_CONTROL_MASK}, {GDK_KEY_X, GDK_SHIFT_MASK}, {GDK_KEY_s, GDK_CONTROL_MASK}}))
        .until(textOf("status-text") + " === 'Saved caf\\ufffd.vrs (12 bytes)'")
        .then([&] {
            savedInPlace = contentsOf(document);
            return true;
        })
        // Save As, the document picked in the list, Return in the name field that shows its name;
        // the dialog asks before it replaces it.
        .then(keys({{GDK_KEY_Y, GDK_SHIFT_MASK}, {GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK}}))
        .then([&] {
            GtkDialog* dialog = shownFileChooser();
            if (dialog == nullptr) return false;
            GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
            gchar* held = gtk_file_chooser_get_current_name(chooser);
            const bool chosen = held != nullptr && std::string_view(held).starts_with("caf\uFFFD.vrs");
            g_free(held);
            if (!chosen) gtk_file_chooser_select_filename(chooser, document.c_str());
            return chosen;
        })
        .then(dialogKeys("key Return"))
        .then([] {
            GtkWidget* question = shownQuestion();
            if (question != nullptr) deliverKey(question, GDK_KEY_Return, 0);
            return question != nullptr;
        })
        .until(textOf("status-text") + " === 'Saved caf\\ufffd.vrs (13 bytes)'");
    cancelFileChoosersOnFailure();
    ASSERT_EQ(steps.runProgram(), steps.size());

    const std::vector<std::string> documents = {name, "plain.vrs"};
    const std::vector<std::string> readable = {name, "notes.txt", "plain.vrs"};
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0], documents);
    EXPECT_EQ(listed[1], readable);
    EXPECT_TRUE(completed.starts_with(folder.string() + "/caf\uFFFD.vrs")) << completed;
    EXPECT_EQ(savedInPlace, "caf\xC3\xA9 text\nX");
    EXPECT_EQ(contentsOf(document), "caf\xC3\xA9 text\nXY");
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{name, "notes.md", "notes.txt", "plain.vrs"}));
}

// A row of save_as_names.txt.
struct SaveAsCase {
    std::string folder;
    std::string document;
    std::vector<std::string> others;
    std::string picked;
    std::string written;
    int questions = 0;
    std::string label;  // the row's cells as written, "\x" as "%"
};

void PrintTo(const SaveAsCase& row, std::ostream* out) { *out << row.label; }

std::vector<SaveAsCase> saveAsCases() {
    std::vector<SaveAsCase> cases;
    for (const auto& row : testing::readTable("platform/save_as_names.txt")) {
        if (row.size() != 6) continue;
        SaveAsCase& c = cases.emplace_back();
        c.folder = testing::unescapedCell(row[0]);
        c.document = testing::unescapedCell(row[1]);
        std::istringstream others(row[2] == "-" ? "" : row[2]);
        for (std::string other; std::getline(others, other, '|');) c.others.push_back(testing::unescapedCell(other));
        c.picked = row[3] == "-" ? "" : testing::unescapedCell(row[3]);
        c.written = testing::unescapedCell(row[4]);
        c.questions = std::stoi(row[5]);
        for (std::size_t cell = 0; cell < 4; ++cell) c.label += (cell > 0 ? "," : "") + row[cell];
        for (std::size_t at; (at = c.label.find("\\x")) != std::string::npos;) c.label.replace(at, 2, "%");
    }
    return cases;
}

// `path` as a string literal of the page, with each byte that is not UTF-8 as the character the
// page holds for it (the table's names hold no UTF-8 characters); and as the page shows a path,
// with "\uFFFD" for each such byte.
std::string pageString(const std::string& path) {
    std::string literal = "'";
    for (char c : path) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\udc%02x", static_cast<unsigned char>(c));
        literal += static_cast<unsigned char>(c) >= 0x80 ? std::string(escape) : std::string(1, c);
    }
    return literal + "'";
}

std::string shownText(const std::string& path) {
    std::string text;
    for (char c : path) text += static_cast<unsigned char>(c) >= 0x80 ? "\uFFFD"s : std::string(1, c);
    return text;
}

class GtkSerialNamesNotUtf8 : public ::testing::TestWithParam<SaveAsCase> {};

// Save As of a document named, or filed, under bytes that are not UTF-8 starts in its own folder
// with its own name, and Return, as a user answers it, writes that same file after the question
// before it replaces it; Open then starts in that folder too, and the status line shows the path as
// the title shows the name. Of two names shown alike, neither is replaced by a pick that cannot
// tell them apart.
TEST_P(GtkSerialNamesNotUtf8, SaveAsWritesTheFileItsDialogAnswers) {
    const SaveAsCase& row = GetParam();
    testing::TempFolder place;
    const fs::path folder = place.path(row.folder);
    fs::create_directories(folder);
    writeFile(folder / row.document, "text\n");
    for (const std::string& other : row.others) writeFile(folder / other, "other " + other + "\n");
    const std::vector<std::string> before = namesIn(folder);

    std::string saveFolder;
    std::string saveName;
    int questions = 0;
    GtkWidget* answered = nullptr;
    std::string status;
    std::string statusPath;
    std::string openFolder;
    auto currentFolder = [](GtkDialog* dialog) {
        gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
        std::string text = current != nullptr ? current : "";
        g_free(current);
        return text;
    };
    UserSteps steps;
    steps.until(pageReady())
        .page("vexa._emit('drop:files', {paths: [" + pageString((folder / row.document).string()) + "]}), 'dropped'")
        .until(std::string(kEditorText) + " === 'text\\n'")
        .then(keys({{GDK_KEY_End, GDK_CONTROL_MASK}, {GDK_KEY_X, GDK_SHIFT_MASK}}))
        .until(std::string(kEditorText) + " === 'text\\nX'")
        .then([&] { return row.picked != "gone" || fs::remove(folder / row.document); })
        .then(keys({{GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK}}))
        .then([&] {
            GtkDialog* dialog = shownFileChooser();
            if (dialog == nullptr || !gtk_widget_get_mapped(GTK_WIDGET(dialog))) return false;
            gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
            if (saveFolder.empty()) {
                saveFolder = currentFolder(dialog);
                saveName = name != nullptr ? name : "";
            }
            // The user picks a file of the list: its shown name is put in the name field.
            const bool picked = row.picked.empty() || row.picked == "gone" || (name != nullptr && saveName != name);
            g_free(name);
            if (!picked) gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(dialog), (folder / row.picked).c_str());
            return picked;
        })
        .then(dialogKeys("key Return"))
        // Return to every question, until the dialog is gone.
        .then([&] {
            GtkWidget* question = shownQuestion();
            if (question != nullptr && question != answered && keysTo(question, "key Return")) {
                answered = question;
                ++questions;
            }
            return question == nullptr && shownFileChooser() == nullptr;
        })
        .until(textOf("status-text") + ".startsWith('Saved ')")
        // Read as JSON: a lone surrogate would read as "\uFFFD", though it shows as a box.
        .read("JSON.stringify(" + textOf("status-text") + ")", status)
        .read("JSON.stringify(" + textOf("status-path") + ")", statusPath)
        .then(keys({{GDK_KEY_o, GDK_CONTROL_MASK}}))
        .then([&] {
            GtkDialog* dialog = shownFileChooser();
            if (dialog == nullptr || !gtk_widget_get_mapped(GTK_WIDGET(dialog))) return false;
            openFolder = currentFolder(dialog);
            return true;
        })
        .then(dialogKeys("key Escape"))
        .until(textOf("status-text") + " === 'Open cancelled'");
    cancelFileChoosersOnFailure();
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(saveFolder, folder.string());
    EXPECT_TRUE(saveName.starts_with(shownText(row.document))) << saveName;
    EXPECT_EQ(openFolder, folder.string());
    EXPECT_EQ(questions, row.questions);
    std::vector<std::string> after = namesIn(folder);
    std::string written = row.written;
    if (written == "new") {
        std::vector<std::string> added;
        std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
        ASSERT_EQ(added.size(), 1u) << "one new file";
        written = added[0];
    } else {
        EXPECT_EQ(after, before);
        EXPECT_EQ(status, "\"Saved " + shownText(written) + " (6 bytes)\"");
        EXPECT_EQ(statusPath, "\"" + shownText((folder / written).string()) + "\"");
    }
    EXPECT_EQ(contentsOf(folder / written), "text\nX");
    for (const std::string& other : row.others) {
        if (other != written) {
            EXPECT_EQ(contentsOf(folder / other), "other " + other + "\n") << shownText(other);
        }
    }
    if (row.document != written) {
        EXPECT_EQ(contentsOf(folder / row.document), "text\n");
    }
}

INSTANTIATE_TEST_SUITE_P(GtkSerialDocuments, GtkSerialNamesNotUtf8, ::testing::ValuesIn(saveAsCases()));

// --- Editing as a user edits -----------------------------------------------------------------------

// A document of `lines` lines of 100 bytes, each line told apart by its number.
std::string numberedLines(int lines) {
    std::string text;
    for (int line = 0; line < lines; ++line) {
        std::string row = "line " + std::to_string(line) + " caf\xC3\xA9";
        while (row.size() < 99) row += " words";
        row.resize(99);
        text += row + "\n";
    }
    return text;
}

// A document opened in place of another lets the other's text go at once, whatever of it the
// page still holds (here a line the page kept, as the editor's undo history keeps lines it
// changed): the page's collector may come round to it only much later.
TEST(GtkFrontEnd, ADocumentOpenedInPlaceOfAnotherLetsTheOthersTextGo) {
    testing::TempFolder place;
    const fs::path first = place.path("first.vrs");
    const fs::path second = place.path("second.vrs");
    writeFile(first, numberedLines(300));
    writeFile(second, "the second document\n");

    std::string kept;
    std::string shownText;
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(first))
        .until(textOf("status-text") + " === 'Opened first.vrs'")
        .page(
            "(() => { const e = document.getElementById('editor');"
            " window.keptLine = document.createTreeWalker(e, NodeFilter.SHOW_TEXT).nextNode(); e.focus();"
            " return 'kept'; })()")
        .then([] {
            return pressKeys({{GDK_KEY_x, 0}});
        })
        .until(shown("edited-mark"))
        .then([] {
            return pressKeys({{GDK_KEY_s, GDK_CONTROL_MASK}});
        })
        .until(textOf("status-text") + ".startsWith('Saved')")
        .page(dropFile(second))
        .until(textOf("status-text") + " === 'Opened second.vrs'")
        .then([waited = 0]() mutable { return ++waited > 3; })
        .read("String(window.keptLine.data.length)", kept)
        .read(std::string(kEditorText), shownText);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(kept, "0");
    EXPECT_EQ(shownText, "the second document\n");
    EXPECT_EQ(contentsOf(first), "x" + numberedLines(300));
}

// A page script that puts the caret in the first text of the editor's section `section`, group
// `group`, block `block` (a property of the group's element), `offset` units from its start (from
// its end when negative), and answers that text's first line.
std::string caretIn(int section, int group, std::string_view block, int offset) {
    return "(() => { const e = document.getElementById('editor'); e.focus(); const t = e.children[" +
           std::to_string(section) + "].children[" + std::to_string(group) + "]." + std::string(block) +
           ".firstChild; const at = " + std::to_string(offset) +
           "; getSelection().collapse(t, at < 0 ? t.length + at : at);"
           " return t.data.slice(0, t.data.indexOf('\\n')); })()";
}

std::string untilLength(std::size_t length) {
    return std::string(kEditorText) + ".length === " + std::to_string(length);
}

// A long document (two sections of groups of blocks) is edited with real keys across the
// boundaries of its blocks, groups and sections, undone and redone by key and by the Edit menu:
// what the editor reads back is at every step exactly what was typed, the edited mark goes when
// the text is back as saved, and a save writes that text.
TEST(GtkFrontEnd, EditingAcrossTheBlocksOfALongDocumentKeepsEveryCharacter) {
    testing::TempFolder place;
    const fs::path path = place.path("long.vrs");
    const std::string original = numberedLines(12000);
    writeFile(path, original);

    std::string sectionLine;
    std::string groupLine;
    std::string blockLine;
    std::string opened, joinedSections, splitAgain, joinedBlocks, undone, redone, undoneByMenu, typedAtEnd;
    std::string scrolled, backHome, structure;
    auto key = [](guint keyval, guint state = 0) { return [=] { return pressKeys({{keyval, state}}); }; };
    auto activate = [](const char* label) {
        return [label] {
            GtkWidget* item = editMenuItem(label);
            if (item == nullptr) return false;
            gtk_menu_item_activate(GTK_MENU_ITEM(item));
            return true;
        };
    };
    const std::size_t length = g_utf8_strlen(original.data(), static_cast<gssize>(original.size()));
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(path))
        .until(textOf("status-text") + " === 'Opened long.vrs'")
        .then([] { return pressKeys({}); })
        .read(std::string(kEditorText), opened)
        .read(
            "(e => [e.children.length, e.children[0].children.length, e.children[0].children[0].children.length]"
            ".join())(document.getElementById('editor'))",
            structure)
        // Backspace at the start of the second section joins its first line to the line before.
        .read(caretIn(1, 0, "firstElementChild", 0), sectionLine)
        .then(key(GDK_KEY_BackSpace))
        .until(untilLength(length - 1))
        .read(std::string(kEditorText), joinedSections)
        // Enter splits them again: the text is as saved, and the edited mark goes.
        .then(key(GDK_KEY_Return))
        .until(untilLength(length) + " && document.getElementById('edited-mark').hidden")
        .read(std::string(kEditorText), splitAgain)
        // Delete at the end of a group's last line, then at the end of a block's last line.
        .read(caretIn(0, 1, "firstElementChild", 0), groupLine)
        .page(caretIn(0, 0, "lastElementChild", -1))
        .then(key(GDK_KEY_Delete))
        .until(untilLength(length - 1))
        .read(caretIn(0, 2, "children[1]", 0), blockLine)
        .page(caretIn(0, 2, "firstElementChild", -1))
        .then(key(GDK_KEY_Delete))
        .until(untilLength(length - 2))
        .read(std::string(kEditorText), joinedBlocks)
        // Undone by key and by the menu, redone by key.
        .then(key(GDK_KEY_z, GDK_CONTROL_MASK))
        .until(untilLength(length - 1))
        .then(key(GDK_KEY_z, GDK_CONTROL_MASK))
        .until(untilLength(length))
        .read(std::string(kEditorText), undone)
        .then(key(GDK_KEY_Z, GDK_CONTROL_MASK | GDK_SHIFT_MASK))
        .until(untilLength(length - 1))
        .read(std::string(kEditorText), redone)
        .then(activate("Undo"))
        .until(untilLength(length) + " && document.getElementById('edited-mark').hidden")
        .read(std::string(kEditorText), undoneByMenu)
        // Ctrl+End goes to the end, far down; a key typed there ends the text; Ctrl+Home goes back.
        .then(key(GDK_KEY_End, GDK_CONTROL_MASK))
        .until("document.getElementById('editor').scrollTop > 100000")
        .read("(e => String(e.scrollTop + e.clientHeight >= e.scrollHeight - 2))(document.getElementById('editor'))",
              scrolled)
        .then(key(GDK_KEY_x))
        .until(untilLength(length + 1) + " && " + shown("edited-mark"))
        .read(std::string(kEditorText), typedAtEnd)
        .then(key(GDK_KEY_Home, GDK_CONTROL_MASK))
        .until("document.getElementById('editor').scrollTop === 0")
        .read("String(getSelection().anchorOffset)", backHome)
        .then(key(GDK_KEY_s, GDK_CONTROL_MASK))
        .until(textOf("status-text") + ".startsWith('Saved')");
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(opened, original);
    EXPECT_EQ(structure, "2,32,8") << "sections, groups, blocks";
    auto joined = [&](std::string text, const std::string& line) {
        const std::size_t at = text.find("\n" + line + "\n");
        EXPECT_NE(at, std::string::npos) << line;
        if (at != std::string::npos) text.erase(at, 1);
        return text;
    };
    EXPECT_EQ(joinedSections, joined(original, sectionLine));
    EXPECT_EQ(splitAgain, original);
    const std::string bothJoined = joined(joined(original, groupLine), blockLine);
    EXPECT_EQ(joinedBlocks, bothJoined);
    EXPECT_EQ(undone, original);
    EXPECT_EQ(redone, joined(original, groupLine));
    EXPECT_EQ(undoneByMenu, original);
    EXPECT_EQ(scrolled, "true");
    EXPECT_EQ(typedAtEnd, original + "x");
    EXPECT_EQ(backHome, "0");
    EXPECT_EQ(contentsOf(path), original + "x");
}

// A page script that selects `from` to `to` in the first text of the editor.
std::string selectInFirstText(int from, int to) {
    return "(() => { const e = document.getElementById('editor'); e.focus();"
           " const t = document.createTreeWalker(e, NodeFilter.SHOW_TEXT).nextNode();"
           " getSelection().setBaseAndExtent(t, " +
           std::to_string(from) + ", t, " + std::to_string(to) + "); return 'selected'; })()";
}

// Select all, delete and type over it, paste plain text and HTML, cut and copy, all with real
// keys: the editor holds plain text only, reads back what it shows, shows its placeholder when
// empty, and keeps its role, label and spell checking; while a document loads it says it is busy.
// It uses the display's one clipboard, and so runs alone.
TEST(GtkSerialFrontEnd, SelectingPastingCuttingAndCopyingKeepPlainText) {
    testing::TempFolder place;
    const fs::path small = place.path("small.vrs");
    const fs::path large = place.path("large.vrs");
    const std::string text = "alpha\nbeta\ngamma\n";
    writeFile(small, text);
    writeFile(large, numberedLines(10000));

    std::string traits, emptied, placeholder, undone, typedOver, pasted, pastedHtml, copied, cut, cutText;
    std::string whileLoading, afterUndo, mended;
    auto key = [](guint keyval, guint state = 0) { return [=] { return pressKeys({{keyval, state}}); }; };
    // The clipboard's text once it is another than `before` (a copy reaches it a moment after
    // its key).
    auto clipboardInto = [](std::string& into, std::string before) {
        return [&into, before, asking = std::make_shared<bool>(false)]() mutable {
            if (!into.empty() && into != before) return true;
            if (!*asking) {
                *asking = true;
                into.clear();
                gtk_clipboard_request_text(
                    gtk_clipboard_get(GDK_SELECTION_CLIPBOARD),
                    [](GtkClipboard*, const gchar* got, gpointer data) {
                        auto* answer = static_cast<std::pair<std::string*, std::shared_ptr<bool>>*>(data);
                        *answer->first = got != nullptr ? got : "<none>";
                        *answer->second = false;
                        delete answer;
                    },
                    new std::pair<std::string*, std::shared_ptr<bool>>(&into, asking));
            }
            return false;
        };
    };
    const std::string read = std::string(kEditorText);
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(small))
        .until(textOf("status-text") + " === 'Opened small.vrs'")
        .then([] { return pressKeys({}); })
        .read(
            "(e => [e.getAttribute('role'), e.getAttribute('aria-multiline'), e.getAttribute('aria-label'),"
            " e.spellcheck, e.contentEditable, document.getElementById('placeholder').hidden].join())"
            "(document.getElementById('editor'))",
            traits)
        .page("document.getElementById('editor').focus(), 'focused'")
        .then(key(GDK_KEY_a, GDK_CONTROL_MASK))
        .then(key(GDK_KEY_BackSpace))
        .until(read + " === '' && !document.getElementById('placeholder').hidden")
        .read(read, emptied)
        .read("String(document.getElementById('placeholder').hidden)", placeholder)
        .then(key(GDK_KEY_z, GDK_CONTROL_MASK))
        .until(read + ".length === " + std::to_string(text.size()) +
               " && document.getElementById('edited-mark').hidden")
        .read(read, undone)
        .then(key(GDK_KEY_a, GDK_CONTROL_MASK))
        .then([] {
            return pressKeys({{GDK_KEY_n, 0}, {GDK_KEY_space, 0}, {GDK_KEY_w, 0}, {GDK_KEY_space, 0}});
        })
        .until(read + ".length === 4")
        .read(read, typedOver)
        .then(key(GDK_KEY_z, GDK_CONTROL_MASK))
        .until(read + ".length === " + std::to_string(text.size()))
        // Plain text of several lines pasted inside a line.
        .page(selectInFirstText(6, 6))
        .then([] {
            offerOnClipboard("p1\np2\n\np3");
            return pressKeys({{GDK_KEY_v, GDK_CONTROL_MASK}});
        })
        .until(read + ".length === " + std::to_string(text.size() + 9))
        .read(read, pasted)
        // A part of a page pasted is its plain text, without any of its elements.
        .page(selectInFirstText(0, 0))
        .then([] {
            offerOnClipboard("para one\ntwo", "<p>para <b>one</b></p><ul><li>two</li></ul>");
            return pressKeys({{GDK_KEY_v, GDK_CONTROL_MASK}});
        })
        .until(read + ".startsWith('para one')")
        .read(
            "[" + read + ", document.getElementById('editor').querySelectorAll(':not(div):not(br)').length].join('|')",
            pastedHtml)
        // Copy and cut of a selection.
        .page(selectInFirstText(0, 4))
        .then(key(GDK_KEY_c, GDK_CONTROL_MASK))
        .then(clipboardInto(copied, "para one\ntwo"))
        .page(selectInFirstText(0, 4))
        .then(key(GDK_KEY_x, GDK_CONTROL_MASK))
        .until("!" + read + ".startsWith('para')")
        .then(clipboardInto(cut, ""))
        .read(read, cutText)
        // Another program's text with a byte that is not UTF-8 and a NUL: pasted whole, the byte as
        // U+FFFD, and the status line says so.
        .page(selectInFirstText(0, 0))
        .then([] {
            offerOnClipboard("x\xffy\0z"s, "<p>x</p>");
            return pressKeys({{GDK_KEY_v, GDK_CONTROL_MASK}});
        })
        .until(read + ".startsWith('x')")
        .read("JSON.stringify(" + read + ".slice(0, 5)) + '|' + " + textOf("status-text"), mended)
        // A document that loads tells a screen reader it is busy until it is shown.
        .page(
            "(() => { const e = document.getElementById('editor'); window.loading = new Set();"
            " new MutationObserver(() => { if (/^(Opening|Showing)/.test(document.getElementById('status-text')"
            ".textContent)) loading.add(e.getAttribute('aria-busy')); "
            "}).observe(document.getElementById('status-text'),"
            " { childList: true, subtree: true, characterData: true }); return 'watching'; })()")
        .page(clickButton("new-button"))
        .until(shown("confirm-bar"))
        .page(clickButton("confirm-yes"))
        .until(read + " === ''")
        .page(dropFile(large))
        .until(textOf("status-text") + " === 'Opened large.vrs'")
        .read("[...loading].join() + '|' + document.getElementById('editor').getAttribute('aria-busy')", whileLoading)
        // Undo after opening leaves the opened document as it is.
        .then(key(GDK_KEY_z, GDK_CONTROL_MASK))
        .then([waited = 0]() mutable { return ++waited > 5; })
        .read("[" + read + ".length, document.getElementById('edited-mark').hidden].join()", afterUndo);
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(traits, "textbox,true,Document text,true,plaintext-only,true");
    EXPECT_EQ(emptied, "");
    EXPECT_EQ(placeholder, "false");
    EXPECT_EQ(undone, text);
    EXPECT_EQ(typedOver, "n w ");
    EXPECT_EQ(pasted, "alpha\np1\np2\n\np3beta\ngamma\n");
    EXPECT_EQ(pastedHtml.substr(0, pastedHtml.find("alpha")), "para one\ntwo") << pastedHtml;
    EXPECT_EQ(pastedHtml.substr(pastedHtml.find('|')), "|0") << pastedHtml;
    EXPECT_EQ(copied, "para");
    EXPECT_EQ(cut, "para");
    EXPECT_EQ(cutText.substr(0, 5), " one\n") << cutText;
    EXPECT_EQ(
        mended,
        "\"x\uFFFDy\\u0000z\"|Pasted with \u201C\uFFFD\u201D (U+FFFD) for 1 byte of the clipboard that was not UTF-8");
    EXPECT_EQ(whileLoading, "true|null");
    EXPECT_EQ(afterUndo, std::to_string(numberedLines(10000).size() - 10000) + ",true");
}

// A screen reader finds the editor as an editable, multi-line text named "Document text" and
// reads the document's text from it.
TEST(GtkFrontEnd, AScreenReaderReadsTheDocumentText) {
    testing::TempFolder place;
    const fs::path document = place.path("read.vrs");
    writeFile(document, "Read me aloud\nsecond line\n");
    const std::string out = place.path("document-text.txt");
    ScreenReader reader;
    UserSteps steps;
    steps.until(pageReady())
        .page(dropFile(document))
        .until(textOf("status-text") + " === 'Opened read.vrs'")
        .then([&] {
            reader.run("read_document_text.py", out);
            return true;
        })
        .then([&] { return reader.done; });
    ASSERT_EQ(steps.runProgram(), steps.size());

    EXPECT_EQ(reader.status, 0);
    EXPECT_EQ(contentsOf(out), "role=entry editable=True multi-line=True text='Read me alou'\n");
}

}  // namespace
}  // namespace kelvo
