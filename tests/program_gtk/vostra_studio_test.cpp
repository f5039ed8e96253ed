// The bundled program on the virtual display, as a user starts it: a fresh home folder, no
// settings. Its window, trace log and window-state file are looked at from outside.

#include <gtest/gtest.h>

#include <spawn.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "program/program_run.hpp"
#include "support/silent_clipboard_owner.hpp"

// After every other header: Xlib defines macros (None, Status, ...) that clash with their names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kelvo {
namespace {

using namespace std::chrono_literals;

struct WindowSize {
    int width = 0;
    int height = 0;
};

// Hands `use` a window property's value and its item count while it is read; nothing when the
// window has no such property.
template <typename Use>
void withProperty(Display* display, Window window, Atom atom, Atom type, long longs, Use&& use) {
    Atom actualType = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* value = nullptr;
    if (XGetWindowProperty(display, window, atom, 0, longs, False, type, &actualType, &format, &items, &after,
                           &value) == Success &&
        value != nullptr) {
        use(value, items);
        XFree(value);
    }
}

// Calls `use` with each shown top-level window of the process `pid` (_NET_WM_PID) titled `title`
// (_NET_WM_NAME; any title when it is empty) until it answers true. Other tests' windows on the
// display may bear the title.
template <typename Use>
void forShownWindowsOf(pid_t pid, std::string_view title, Use&& use) {
    // A window may go between the listing and the questions about it, while the program starts:
    // the error that answers then must not end the test (Xlib's own handler would exit).
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) return;
    Window root = DefaultRootWindow(display.get());
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display.get(), root, &root, &parent, &children, &count) == 0) return;
    const Atom name = XInternAtom(display.get(), "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display.get(), "UTF8_STRING", False);
    const Atom netWmPid = XInternAtom(display.get(), "_NET_WM_PID", False);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display.get(), children[i], &attributes) == 0) continue;
        if (attributes.map_state != IsViewable) continue;
        bool ours = false;
        withProperty(display.get(), children[i], netWmPid, XA_CARDINAL, 1, [&](unsigned char* value, unsigned long) {
            ours = static_cast<pid_t>(*reinterpret_cast<const unsigned long*>(value)) == pid;
        });
        bool titled = title.empty();
        if (!titled)
            withProperty(display.get(), children[i], name, utf8, 256, [&](unsigned char* value, unsigned long items) {
                titled = std::string_view(reinterpret_cast<char*>(value), items) == title;
            });
        if (ours && titled && use(display.get(), children[i], attributes)) break;
    }
    if (children != nullptr) XFree(children);
}

// The size of the process's shown top-level window with this title, if there is one.
std::optional<WindowSize> shownWindowOf(pid_t pid, std::string_view title) {
    std::optional<WindowSize> found;
    forShownWindowsOf(pid, title, [&](Display*, Window, const XWindowAttributes& attributes) {
        found = WindowSize{attributes.width, attributes.height};
        return true;
    });
    return found;
}

// The _NET_WM_ICON property of the process's shown top-level window with this title: entries of
// width, height and width x height ARGB pixels, one 32-bit item each (Xlib hands each back as a
// long).
std::vector<unsigned long> iconOfWindowOf(pid_t pid, std::string_view title) {
    std::vector<unsigned long> icon;
    forShownWindowsOf(pid, title, [&](Display* display, Window window, const XWindowAttributes&) {
        const Atom netWmIcon = XInternAtom(display, "_NET_WM_ICON", False);
        withProperty(display, window, netWmIcon, XA_CARDINAL, 1 << 20, [&](unsigned char* value, unsigned long items) {
            const auto* words = reinterpret_cast<const unsigned long*>(value);
            icon.assign(words, words + items);
        });
        return !icon.empty();
    });
    return icon;
}

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

// How many top-level windows the process `pid` shows: its main window, and a dialog over it.
int shownWindowCount(pid_t pid) {
    int count = 0;
    forShownWindowsOf(pid, {}, [&](Display*, Window, const XWindowAttributes&) {
        ++count;
        return false;
    });
    return count;
}

// Whether the display server gives the keyboard to a shown window of the process `pid` (or a window
// inside one): the moment a user's typing reaches it, which the window manager, or without one
// the toolkit, brings about just after the window is mapped.
bool hasKeyboard(pid_t pid) {
    bool focused = false;
    forShownWindowsOf(pid, {}, [&](Display* display, Window window, const XWindowAttributes&) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        for (Window at = focus; at > PointerRoot && !focused;) {
            focused = at == window;
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned int count = 0;
            if (XQueryTree(display, at, &root, &parent, &children, &count) == 0) break;
            if (children != nullptr) XFree(children);
            at = parent == root ? 0 : parent;
        }
        return focused;
    });
    return focused;
}

// Keys as a user types them, through the display server to the window that has the keyboard.
// That may be another test's window: the tests that type are in the suite that runs alone.
bool typeKeys(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

// A fresh home, the program started in it, and its trace log.
struct StartedProgram {
    explicit StartedProgram(std::string_view name)
        : folder(testing::makeOutputFolder(name)),
          home(folder + "/home"),
          log(home + "/Library/Logs/com.example.vostra-studio.app/kelvo.jsonl") {
        std::filesystem::create_directories(home);
        run.emplace(testing::firstStartEnvironment(home), folder, folder + "/stderr.txt");
    }

    // Whether the page takes keys typed at the window, without a click: Ctrl+S, pressed again
    // every second and a half while the page may still be loading, opens the Save dialog, which
    // Escape closes again.
    bool takesKeys() {
        const bool opened = testing::waitUntil(60s, [&] {
            if (shownWindowCount(run->pid()) >= 2) return true;
            typeKeys("key ctrl+s");
            return testing::waitUntil(1500ms, [&] { return shownWindowCount(run->pid()) >= 2; }) || run->wait(0ms);
        });
        return opened && typeKeys("key Escape") &&
               testing::waitUntil(10s, [&] { return shownWindowCount(run->pid()) == 1; });
    }

    // Saves the document under `path` through the Save dialog, typing the path into its name.
    bool saveAs(const std::string& path, std::chrono::milliseconds dialogWithin = 10s) {
        return typeKeys("key ctrl+s") &&
               testing::waitUntil(dialogWithin, [&] { return shownWindowCount(run->pid()) >= 2; }) &&
               typeKeys("key ctrl+a") && typeKeys("type '" + path + "'") && typeKeys("key Return") &&
               testing::waitUntil(10s, [&] { return std::filesystem::exists(path); });
    }

    std::string lastTrace() const {
        std::istringstream lines(testing::readFile(log));
        std::string last;
        for (std::string line; std::getline(lines, line);) last = line;
        return last;
    }

    std::string folder;
    std::string home;
    std::string log;
    std::optional<testing::ProgramRun> run;
};

TEST(VostraStudio, OpensItsWindowTracesItsRunAndEndsCleanlyOnSigterm) {
    const std::string folder = testing::makeOutputFolder("vostra-studio");
    const std::string home = folder + "/home";
    std::filesystem::create_directories(home);
    const std::string log = home + "/Library/Logs/com.example.vostra-studio.app/kelvo.jsonl";
    const std::string state = home + "/Library/Application Support/com.example.vostra-studio.app/State/windows.zon";

    testing::ProgramRun run(testing::firstStartEnvironment(home), folder, folder + "/stderr.txt");
    ASSERT_TRUE(run.started());
    // Until the page is loaded, or the program gave up.
    testing::waitUntil(60s, [&] { return contains(testing::readFile(log), R"("name":"app.start")") || run.wait(0ms); });
    ASSERT_TRUE(contains(testing::readFile(log), R"("name":"app.start")")) << testing::readFile(folder + "/stderr.txt");

    // The window holds the menu bar above its content, and the content is the frame it keeps.
    std::optional<WindowSize> window;
    EXPECT_TRUE(testing::waitUntil(10s, [&] {
        window = shownWindowOf(run.pid(), "Vostra Studio");
        return window && window->width == 1280 && window->height > 820 && window->height < 880;
    })) << (window ? std::to_string(window->width) + " x " + std::to_string(window->height) : "no window");
    EXPECT_TRUE(testing::waitUntil(10s, [&] { return contains(testing::readFile(state), R"(.label = "main")"); }))
        << testing::readFile(state);
    EXPECT_TRUE(contains(testing::readFile(state), ".width = 1280, .height = 820,")) << testing::readFile(state);

    run.signal(SIGTERM);
    EXPECT_TRUE(run.endsWith(0, 30s));
    std::istringstream lines(testing::readFile(log));
    std::string first;
    std::string last;
    for (std::string line; std::getline(lines, line);) {
        if (first.empty()) first = line;
        last = line;
    }
    EXPECT_TRUE(contains(first, R"("name":"runtime.init")")) << first;
    EXPECT_TRUE(contains(first, R"("platform":"macos")")) << first;
    EXPECT_TRUE(contains(last, R"("name":"runtime.done")")) << last;
    std::filesystem::remove_all(folder);
}

// A SIGTERM that comes while the program is still starting waits for the loop, then ends the run
// as any other does: one shutdown, the closing trace record, a clean exit.
TEST(VostraStudio, ASigtermDuringStartUpEndsTheRunCleanlyOnceTheLoopRuns) {
    const std::string folder = testing::makeOutputFolder("vostra-studio-early-term");
    const std::string home = folder + "/home";
    std::filesystem::create_directories(home);
    const std::string log = home + "/Library/Logs/com.example.vostra-studio.app/kelvo.jsonl";

    testing::ProgramRun run(testing::firstStartEnvironment(home), folder, folder + "/stderr.txt",
                            /*holdTerminate=*/true);
    ASSERT_TRUE(run.started());
    run.signal(SIGTERM);
    EXPECT_TRUE(run.endsWith(0, 60s));
    const std::string trace = testing::readFile(log);
    EXPECT_TRUE(contains(trace, R"("name":"app.start")")) << trace;
    EXPECT_TRUE(contains(trace, R"("name":"runtime.done")")) << trace;
    std::filesystem::remove_all(folder);
}

// Whether the process `pid` has a handler of its own for SIGTERM (its SigCgt mask in /proc).
bool catchesSigterm(pid_t pid) {
    std::istringstream status(testing::readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:")) return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

// Polls `reached` every millisecond, so that the moment is met closely, for at most a minute.
template <class Reached>
bool reachedSoon(Reached reached) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (!reached()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Sent at any moment of an ordinary start (no signal held back), from the program's first line
// on, SIGTERM ends the run cleanly once its loop runs, whichever of its threads takes the signal.
TEST(VostraStudio, ASigtermAtAnyMomentOfStartUpEndsTheRunCleanly) {
    std::ifstream table(std::string(KELVO_TEST_DATA_DIR) + "/program/sigterm_moments.txt");
    ASSERT_TRUE(table.is_open());
    int rows = 0;
    for (std::string moment; std::getline(table, moment);) {
        if (moment.empty() || moment.starts_with('#') || moment.starts_with("paste")) continue;
        SCOPED_TRACE(moment);
        ++rows;
        StartedProgram program("vostra-studio-term-" + std::to_string(rows));
        ASSERT_TRUE(program.run->started());
        const pid_t pid = program.run->pid();
        bool reached = false;
        if (moment == "handler") {
            reached = reachedSoon([&] { return catchesSigterm(pid); });
        } else if (moment == "trace") {
            reached = reachedSoon([&] { return !testing::readFile(program.log).empty(); });
        } else if (moment == "window") {
            reached = reachedSoon([&] { return shownWindowCount(pid) >= 1; });
        } else if (moment.ends_with(" ms")) {
            // Counted from the first line: before it, the process is still being loaded.
            reached = reachedSoon([&] { return catchesSigterm(pid); });
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(moment)));
        }
        ASSERT_TRUE(reached) << "never reached; " << testing::readFile(program.folder + "/stderr.txt");
        program.run->signal(SIGTERM);
        EXPECT_EQ(program.run->wait(60s), 0) << testing::readFile(program.folder + "/stderr.txt");
        EXPECT_TRUE(contains(program.lastTrace(), R"("name":"runtime.done")")) << program.lastTrace();
        if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
    }
    EXPECT_GE(rows, 5);
}

// Started from its bundle, the program gives its window the icon the bundle carries: the window
// manager reads it from _NET_WM_ICON, in sizes of at most 256 pixels.
TEST(VostraStudio, TheBundledProgramsWindowCarriesTheBundlesIcon) {
    const std::string folder = testing::makeOutputFolder("vostra-studio-icon");
    const std::string home = folder + "/home";
    std::filesystem::create_directories(home);
    const std::filesystem::path bundleIcon =
        std::filesystem::path(KELVO_PROGRAM).parent_path().parent_path() / "Resources" / "icon.png";
    ASSERT_TRUE(std::filesystem::is_regular_file(bundleIcon)) << bundleIcon;

    // The working folder holds no "assets/icon.png": the icon can only come from the bundle.
    testing::ProgramRun run(testing::firstStartEnvironment(home), folder, folder + "/stderr.txt");
    ASSERT_TRUE(run.started());
    std::vector<unsigned long> icon;
    EXPECT_TRUE(testing::waitUntil(60s, [&] {
        icon = iconOfWindowOf(run.pid(), "Vostra Studio");
        return !icon.empty() || run.wait(0ms);
    })) << testing::readFile(folder + "/stderr.txt");
    ASSERT_GE(icon.size(), 2u) << testing::readFile(folder + "/stderr.txt");
    const unsigned long side = icon[0];
    EXPECT_EQ(side, 256u);
    ASSERT_EQ(icon[1], side);
    ASSERT_GE(icon.size(), 2 + side * side);
    auto argb = [&](unsigned long x, unsigned long y) { return icon[2 + y * side + x] & 0xFFFFFFFFu; };
    auto alpha = [&](unsigned long x, unsigned long y) { return argb(x, y) >> 24; };
    auto red = [&](unsigned long x, unsigned long y) { return (argb(x, y) >> 16) & 0xFF; };
    auto blue = [&](unsigned long x, unsigned long y) { return argb(x, y) & 0xFF; };
    // The shaped icon: transparent margin and corners, the navy square, the amber dot of the mark.
    EXPECT_EQ(alpha(2, 2), 0u);
    EXPECT_EQ(alpha(side - 3, side - 3), 0u);
    EXPECT_EQ(alpha(side / 2, side / 6), 255u);
    EXPECT_GT(blue(side / 2, side / 6), red(side / 2, side / 6));
    EXPECT_EQ(alpha(side / 2, side * 91 / 256), 255u);
    EXPECT_GT(red(side / 2, side * 91 / 256), blue(side / 2, side * 91 / 256));
    // The smaller sizes follow, each behind its own width and height.
    std::vector<unsigned long> sides;
    for (std::size_t at = 0; at + 2 <= icon.size(); at += 2 + icon[at] * icon[at + 1]) sides.push_back(icon[at]);
    EXPECT_EQ(sides, (std::vector<unsigned long>{256, 128, 64, 48, 32, 16}));

    // Ended once it runs: the host handles SIGTERM only after the window's first events, which end
    // before the window-state file is written.
    const std::string state = home + "/Library/Application Support/com.example.vostra-studio.app/State/windows.zon";
    EXPECT_TRUE(testing::waitUntil(60s, [&] { return contains(testing::readFile(state), R"(.label = "main")"); }));
    run.signal(SIGTERM);
    EXPECT_TRUE(run.endsWith(0, 30s));
    std::filesystem::remove_all(folder);
}

// Started as a user starts it, the program takes the keys typed at its window at once, through the
// display server, without a click in it: they reach the document, and Ctrl+S saves it.
TEST(GtkSerialVostraStudio, KeysTypedAfterStartReachTheDocumentWithoutAClick) {
    StartedProgram program("vostra-studio-keys");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
    ASSERT_TRUE(typeKeys("type Hello"));
    const std::string document = program.folder + "/typed.vrs";
    ASSERT_TRUE(program.saveAs(document));
    EXPECT_TRUE(testing::waitUntil(5s, [&] { return testing::readFile(document) == "Hello"; }))
        << testing::readFile(document);
    program.run->signal(SIGTERM);
    EXPECT_TRUE(program.run->endsWith(0, 30s));
    std::filesystem::remove_all(program.folder);
}

// Keys typed the moment the window shows and has the keyboard, before its page is there, reach the
// document once it is, in order: a user who starts the program and types at once loses nothing,
// Ctrl+S included, whose Save dialog then writes every key typed before it. Ctrl+O typed at once
// opens the Open dialog.
TEST(GtkSerialVostraStudio, KeysTypedTheMomentTheWindowShowsReachTheDocumentInOrder) {
    StartedProgram program("vostra-studio-keys-at-once");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(reachedSoon([&] { return hasKeyboard(program.run->pid()); }))
        << testing::readFile(program.folder + "/stderr.txt");
    ASSERT_TRUE(typeKeys("type --delay 40 0123456789abcdefghij"));
    const std::string document = program.folder + "/typed.vrs";
    ASSERT_TRUE(program.saveAs(document, 60s)) << testing::readFile(program.folder + "/stderr.txt");
    EXPECT_TRUE(testing::waitUntil(5s, [&] { return testing::readFile(document) == "0123456789abcdefghij"; }))
        << testing::readFile(document);
    program.run->signal(SIGTERM);
    EXPECT_EQ(program.run->wait(30s), 0) << testing::readFile(program.folder + "/stderr.txt");
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);

    StartedProgram opening("vostra-studio-open-at-once");
    ASSERT_TRUE(opening.run->started());
    ASSERT_TRUE(reachedSoon([&] { return hasKeyboard(opening.run->pid()); }));
    ASSERT_TRUE(typeKeys("key ctrl+o"));
    EXPECT_TRUE(testing::waitUntil(60s, [&] { return shownWindowCount(opening.run->pid()) >= 2; }))
        << testing::readFile(opening.folder + "/stderr.txt");
    opening.run->signal(SIGTERM);
    EXPECT_EQ(opening.run->wait(30s), 0) << testing::readFile(opening.folder + "/stderr.txt");
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(opening.folder);
}

// A program holds the clipboard and never answers. Ctrl+V leaves the window answering: the keys
// typed after it, a save among them, take effect once the paste is refused; and SIGTERM, twice,
// during another such paste ends the program at once, cleanly.
TEST(GtkSerialVostraStudio, APasteFromAProgramThatDoesNotAnswerHoldsNothingBackAndSigtermEndsIt) {
    StartedProgram program("vostra-studio-silent-paste");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
    testing::SilentClipboardOwner silent;
    ASSERT_TRUE(silent.owns());

    ASSERT_TRUE(typeKeys("type ab") && typeKeys("key ctrl+v") && typeKeys("type cd"));
    const std::string document = program.folder + "/pasted.vrs";
    ASSERT_TRUE(program.saveAs(document, 20s));
    EXPECT_TRUE(testing::waitUntil(5s, [&] { return testing::readFile(document) == "abcd"; }))
        << testing::readFile(document);

    ASSERT_TRUE(typeKeys("key ctrl+v"));
    std::this_thread::sleep_for(1s);
    const auto start = std::chrono::steady_clock::now();
    program.run->signal(SIGTERM);
    std::this_thread::sleep_for(20ms);
    program.run->signal(SIGTERM);
    // Its window goes at once; the process gives the program it asked 2 s to answer.
    EXPECT_TRUE(program.run->endsWith(0, 10s));
    std::printf("ended %.2f s after SIGTERM\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    EXPECT_TRUE(contains(program.lastTrace(), R"("name":"runtime.done")")) << program.lastTrace();
    std::filesystem::remove_all(program.folder);
}

// xclip holding the text of the file `path` on the clipboard, for as long as the record lives.
class XclipHolding {
public:
    explicit XclipHolding(const std::string& path) {
        std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
        const Atom clipboard = XInternAtom(display.get(), "CLIPBOARD", False);
        XSetSelectionOwner(display.get(), clipboard, 0, CurrentTime);
        XSync(display.get(), False);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"xclip", "-quiet", "-selection", "clipboard", "-i", path.c_str(), nullptr};
        if (posix_spawnp(&pid_, "xclip", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        owns_ = pid_ > 0 && testing::waitUntil(30s, [&] { return XGetSelectionOwner(display.get(), clipboard) != 0; });
    }
    ~XclipHolding() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    XclipHolding(const XclipHolding&) = delete;
    XclipHolding& operator=(const XclipHolding&) = delete;

    [[nodiscard]] bool owns() const { return owns_; }

private:
    pid_t pid_ = -1;
    bool owns_ = false;
};

// Ended while a paste's transfer runs (the rows "paste" of the SIGTERM moments), the program ends
// as ever, and the program that held the clipboard goes on serving: another program then reads its
// whole text. A text over what a paste takes is refused as soon as its size is told, and the
// program lets the holder send it on unread; a shorter one is being pasted.
TEST(GtkSerialVostraStudio, EndedDuringAPastesTransferTheProgramLetsTheHolderOfTheClipboardServeOthers) {
    std::ifstream table(std::string(KELVO_TEST_DATA_DIR) + "/program/sigterm_moments.txt");
    ASSERT_TRUE(table.is_open());
    int rows = 0;
    for (std::string moment; std::getline(table, moment);) {
        if (!moment.starts_with("paste ")) continue;
        SCOPED_TRACE(moment);
        ++rows;
        StartedProgram program("vostra-studio-paste-end-" + std::to_string(rows));
        ASSERT_TRUE(program.run->started());
        const std::string text = program.folder + "/text.txt";
        std::ofstream(text) << std::string(static_cast<std::size_t>(std::stoi(moment.substr(6))) << 20, 'x') << "end";
        XclipHolding holder(text);
        ASSERT_TRUE(holder.owns());
        ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
        const auto keys = moment.substr(moment.find(", ") + 2);
        const auto start = std::chrono::steady_clock::now();
        if (keys.starts_with("SIGTERM")) {
            ASSERT_TRUE(typeKeys("key ctrl+v"));
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(keys.substr(8))));
            program.run->signal(SIGTERM);
        } else {
            ASSERT_TRUE(typeKeys("key ctrl+v " + keys));
        }
        EXPECT_TRUE(program.run->endsWith(0, 30s));
        std::printf("%s: ended %.2f s after Ctrl+V\n", moment.c_str(),
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        EXPECT_TRUE(contains(program.lastTrace(), R"("name":"runtime.done")")) << program.lastTrace();
        const std::string read = program.folder + "/read.txt";
        std::system(("timeout 20 xclip -selection clipboard -o > '" + read + "'").c_str());
        EXPECT_TRUE(testing::readFile(read) == testing::readFile(text))
            << "another program read " << testing::readFile(read).size() << " bytes";
        if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
    }
    EXPECT_GE(rows, 5);
}

}  // namespace
}  // namespace kelvo
