// Vostra Studio ends at once on SIGTERM while it asks the user something: the Open dialog, the
// Save dialog, the question the Save dialog asks before it replaces a file, or the page's own
// question bar. Its run ends cleanly, its trace's last record "runtime.done"; a SIGTERM that comes
// while it ends changes nothing (label "gtk").

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "base/terminate_record.hpp"
#include "startup/process_preparation.hpp"
#include "support/temp_folder.hpp"
#include "vostra_studio.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How long the program may take to end after SIGTERM: far more than it takes, far less than
// the steps wait before they end it themselves.
constexpr auto kPatience = std::chrono::seconds(15);

// While it lives, the program writes its trace log into a folder of the test's own.
class TraceLogAside {
public:
    TraceLogAside() { setenv("KELVO_LOG_DIR", folder_.path().c_str(), 1); }
    TraceLogAside(const TraceLogAside&) = delete;
    TraceLogAside& operator=(const TraceLogAside&) = delete;
    ~TraceLogAside() { unsetenv("KELVO_LOG_DIR"); }

    [[nodiscard]] std::string lastRecord() const {
        std::istringstream lines(contentsOf(fs::path(folder_.path()) / "kelvo.jsonl"));
        std::string last;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty()) last = line;
        }
        return last;
    }

private:
    testing::TempFolder folder_;
};

// The program's file chooser, once it is on the screen.
bool fileChooserShown() { return laidOut(GTK_WIDGET(shownFileChooser())); }

// A question GTK shows over the program's file chooser, once it is on the screen.
GtkWidget* questionOverFileChooser() {
    GtkDialog* chooser = shownFileChooser();
    if (chooser == nullptr) return nullptr;
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (GTK_IS_MESSAGE_DIALOG(item->data) &&
            gtk_window_get_transient_for(GTK_WINDOW(item->data)) == GTK_WINDOW(chooser) &&
            laidOut(GTK_WIDGET(item->data))) {
            found = GTK_WIDGET(item->data);
        }
    }
    g_list_free(toplevels);
    return found;
}

// Runs the program through `steps`, then sends it SIGTERM once `asking` holds: it must end within
// kPatience, cleanly, the trace's last record "runtime.done". A program still running then has
// its question closed by the steps, which end it so.
void expectEndsOnSigtermWhile(UserSteps& steps, const std::function<bool()>& asking) {
    TraceLogAside traceLog;
    std::optional<Clock::time_point> signalled;
    bool outlasted = false;
    steps
        .then([&] {
            if (!asking()) return false;
            signalled = Clock::now();
            kill(getpid(), SIGTERM);
            return true;
        })
        .then([&] {
            outlasted = Clock::now() - *signalled > kPatience;
            return outlasted;
        })
        .within(90);
    steps.runProgram();
    ASSERT_TRUE(signalled) << "the program never asked";
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - *signalled);
    EXPECT_FALSE(outlasted) << "the program was still running " << kPatience.count() << " s after SIGTERM";
    EXPECT_LT(took, kPatience);
    const std::string last = traceLog.lastRecord();
    EXPECT_NE(last.find(R"("name":"runtime.done")"), std::string::npos) << last;
}

TEST(GtkSigterm, EndsTheProgramWhileTheOpenDialogShows) {
    UserSteps steps;
    steps.until(pageReady()).then([] { return pressKeys({{GDK_KEY_o, GDK_CONTROL_MASK}}); });
    expectEndsOnSigtermWhile(steps, fileChooserShown);
}

TEST(GtkSigterm, EndsTheProgramWhileTheSaveDialogShows) {
    UserSteps steps;
    steps.until(pageReady()).then([] { return pressKeys({{GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK}}); });
    expectEndsOnSigtermWhile(steps, fileChooserShown);
}

// Saved over a document that exists, the Save dialog asks whether to replace it.
TEST(GtkSigterm, EndsTheProgramWhileTheSaveDialogAsksBeforeItReplacesAFile) {
    testing::TempFolder place;
    const fs::path folder = place.path("documents");
    fs::create_directories(folder);
    writeFile(folder / "kept.vrs", "kept as it was");
    UserSteps steps;
    steps.until(pageReady())
        .then([] {
            return pressKeys({{GDK_KEY_S, GDK_CONTROL_MASK | GDK_SHIFT_MASK}});
        })
        .then(answerSaveDialog(folder, "kept.vrs"));
    expectEndsOnSigtermWhile(steps, [] { return questionOverFileChooser() != nullptr; });
    EXPECT_EQ(contentsOf(folder / "kept.vrs"), "kept as it was");
}

// New over an edited document asks in the page whether to discard the changes.
TEST(GtkSigterm, EndsTheProgramWhileThePageAsksWhetherToDiscardChanges) {
    std::string question;
    UserSteps steps;
    steps.until(pageReady())
        .page(typeText("'changed text'"))
        .then([] {
            return pressKeys({{GDK_KEY_n, GDK_CONTROL_MASK}});
        })
        .until(shown("confirm-bar"))
        .read(textOf("confirm-text"), question);
    expectEndsOnSigtermWhile(steps, [] { return true; });
    EXPECT_NE(question.find("Discard them"), std::string::npos) << question;
}

// A second SIGTERM may come once the first ended the loop, while the run is being taken down, and
// to any of the process's threads, also once the run gave back what it changed in the process: it
// changes nothing, and a later watch, of this run or of the next run in the process, still hears
// SIGTERM.
TEST(GtkSigterm, ASigtermWhileTheRunEndsChangesNothing) {
    standin::StandIn& standIn = standin::gtkStandIn();
    const auto heardOnce = [&] {
        bool heard = false;
        standIn.loop.watchTerminate(standIn.self, [&heard] { heard = true; });
        for (const auto until = Clock::now() + std::chrono::seconds(5); !heard && Clock::now() < until;) {
            g_main_context_iteration(nullptr, FALSE);
        }
        standIn.loop.unwatchTerminate(standIn.self);
        return heard;
    };
    for (int run = 1; run <= 2; ++run) {
        ProcessPreparation process;
        prepareProcess(process);
        standIn.loop.watchTerminate(standIn.self, [] {});
        EXPECT_FALSE(recordsTerminateSignals()) << "run " << run;
        standIn.loop.unwatchTerminate(standIn.self);
        std::thread([] { kill(getpid(), SIGTERM); }).join();
        raise(SIGTERM);
        EXPECT_TRUE(heardOnce()) << "run " << run;
        restoreProcess(process);
        std::thread([] { kill(getpid(), SIGTERM); }).join();
        raise(SIGTERM);
    }
}

// Each run of the program in one process (as the tests run it) hears SIGTERM once its loop
// watches it, the second as the first.
TEST(GtkSigterm, EveryRunInTheProcessHearsSigterm) {
    standin::StandIn& standIn = standin::gtkStandIn();
    for (int run = 1; run <= 2; ++run) {
        ProcessPreparation process;
        prepareProcess(process);
        bool heard = false;
        standIn.loop.watchTerminate(standIn.self, [&heard] { heard = true; });
        kill(getpid(), SIGTERM);
        for (const auto until = Clock::now() + std::chrono::seconds(5); !heard && Clock::now() < until;) {
            g_main_context_iteration(nullptr, FALSE);
        }
        standIn.loop.unwatchTerminate(standIn.self);
        restoreProcess(process);
        EXPECT_TRUE(heard) << "run " << run;
    }
}

}  // namespace
}  // namespace kelvo
