// Vostra Studio, started as the program starts, saves a document from its front-end through the
// real save dialog and opens it again through the real open dialog; the test answers both dialogs
// as a user would (label "gtk").

#include <filesystem>
#include <fstream>
#include <string>

#include <signal.h>

#include "gtk_harness.hpp"
#include "startup/startup.hpp"
#include "support/temp_folder.hpp"
#include "web_page.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

std::string contentsOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Answers the dialog on screen once the chooser had time to show where it is.
void acceptLater(GtkDialog* dialog) {
    g_object_ref(dialog);
    g_timeout_add(
        600,
        [](gpointer data) {
            gtk_dialog_response(GTK_DIALOG(data), GTK_RESPONSE_ACCEPT);
            g_object_unref(data);
            return G_SOURCE_REMOVE;
        },
        dialog);
}

// Scripts asked of the main page one at a time: `waiting` holds while an answer is on its way.
struct PageQuestions {
    bool waiting = false;

    void ask(const std::string& script, std::function<void(const std::string&)> then) {
        waiting = true;
        evaluate(mainWebView(), script.c_str(), [this, then](std::string answer) {
            waiting = false;
            then(answer);
        });
    }
};

// The program's system, as if it ran from the bundle the build laid out: its front-end is there.
StartupSystem bundledSystem() {
    StartupSystem system = processStartupSystem(standin::gtkStandIn());
    system.executablePath = KELVO_BUNDLE_DIR "/Contents/MacOS/vostra-studio";
    return system;
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
                             page.ask(
                                 "(() => { const e = document.getElementById('editor');"
                                 " e.value = 'Notes from the dialogs\\nsecond line \\u00e9';"
                                 " e.dispatchEvent(new Event('input'));"
                                 " document.getElementById('save-as-button').click(); return 'asked'; })()",
                                 [](const std::string&) {});
                         });
                break;
            case Stage::saving:
                if (GtkDialog* dialog = shownFileChooser()) {
                    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
                    acceptLater(dialog);
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
                page.ask("document.getElementById('editor').value", [&](const std::string& value) {
                    if (!value.empty()) return;
                    stage = Stage::opening;
                    page.ask("document.getElementById('open-button').click(), 'asked'", [](const std::string&) {});
                });
                break;
            case Stage::opening:
                if (GtkDialog* dialog = shownFileChooser()) {
                    gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(dialog), saved.c_str());
                    acceptLater(dialog);
                    stage = Stage::reopened;
                }
                break;
            case Stage::reopened:
                page.ask("document.getElementById('editor').value", [&](const std::string& value) {
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
                page.ask("document.getElementById('editor').value", [&](const std::string& value) {
                    if (value != "from the drop") return;
                    stage = Stage::editing;
                    page.ask(
                        "(() => { const e = document.getElementById('editor'); e.value = 'saved again';"
                        " e.dispatchEvent(new Event('input')); document.getElementById('save-button').click();"
                        " return 'asked'; })()",
                        [&](const std::string&) { stage = Stage::saving; });
                });
                break;
            case Stage::saving:
                if (GtkDialog* dialog = shownFileChooser()) {
                    gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
                    offeredName = name != nullptr ? name : "";
                    g_free(name);
                    gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), place.path().c_str());
                    acceptLater(dialog);
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

}  // namespace
}  // namespace kelvo
