// The bundled program on the virtual display, as a user starts it: a fresh home folder, no
// settings. Its window, trace log and window-state file are looked at from outside.

#include <gtest/gtest.h>

#include <spawn.h>

#include <algorithm>
#include <cstdio>
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

// A shown window's own size, and the widest it can be on the screen: a window manager puts a frame
// of its own around it and fits the frame to the screen (_NET_FRAME_EXTENTS tells how wide the
// frame's sides are).
struct WindowSize {
    int width = 0;
    int height = 0;
    int widest = 0;
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

// The top-level windows of every client on the display, however they are parented: those the
// window manager lists (_NET_CLIENT_LIST) when one runs, which has put each in a frame of its own;
// without one, the windows of the tree that carry a process id (_NET_WM_PID), found from the root
// down (the root's own children, then).
std::vector<Window> clientWindows(Display* display) {
    const Window root = DefaultRootWindow(display);
    std::vector<Window> windows;
    bool listed = false;
    withProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), XA_WINDOW, 1 << 16,
                 [&](unsigned char* value, unsigned long items) {
                     // Xlib hands each 32-bit item back as a long.
                     const auto* listedWindows = reinterpret_cast<const unsigned long*>(value);
                     windows.assign(listedWindows, listedWindows + items);
                     listed = true;
                 });
    if (listed) return windows;
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    std::vector<Window> pending{root};
    while (!pending.empty()) {
        Window at = pending.back();
        pending.pop_back();
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        Window treeRoot = 0;
        if (XQueryTree(display, at, &treeRoot, &parent, &children, &count) == 0) continue;
        for (unsigned int i = 0; i < count; ++i) {
            bool client = false;
            withProperty(display, children[i], netWmPid, XA_CARDINAL, 1,
                         [&](unsigned char*, unsigned long items) { client = items == 1; });
            (client ? windows : pending).push_back(children[i]);
        }
        if (children != nullptr) XFree(children);
    }
    return windows;
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
    const Atom name = XInternAtom(display.get(), "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display.get(), "UTF8_STRING", False);
    const Atom netWmPid = XInternAtom(display.get(), "_NET_WM_PID", False);
    for (Window window : clientWindows(display.get())) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display.get(), window, &attributes) == 0) continue;
        // The toolkit's own windows (pop-ups, input-only windows) may carry the process id too,
        // but are no window a user sees.
        if (attributes.map_state != IsViewable || attributes.override_redirect || attributes.c_class != InputOutput)
            continue;
        bool ours = false;
        withProperty(display.get(), window, netWmPid, XA_CARDINAL, 1, [&](unsigned char* value, unsigned long) {
            ours = static_cast<pid_t>(*reinterpret_cast<const unsigned long*>(value)) == pid;
        });
        bool titled = title.empty();
        if (!titled)
            withProperty(display.get(), window, name, utf8, 256, [&](unsigned char* value, unsigned long items) {
                titled = std::string_view(reinterpret_cast<char*>(value), items) == title;
            });
        if (ours && titled && use(display.get(), window, attributes)) break;
    }
}

// The size of the process's shown top-level window with this title, if there is one.
std::optional<WindowSize> shownWindowOf(pid_t pid, std::string_view title) {
    std::optional<WindowSize> found;
    forShownWindowsOf(pid, title, [&](Display* display, Window window, const XWindowAttributes& attributes) {
        found = WindowSize{attributes.width, attributes.height, WidthOfScreen(attributes.screen)};
        const Atom extents = XInternAtom(display, "_NET_FRAME_EXTENTS", False);
        withProperty(display, window, extents, XA_CARDINAL, 4, [&](unsigned char* value, unsigned long items) {
            const auto* sides = reinterpret_cast<const unsigned long*>(value);
            if (items == 4) found->widest -= static_cast<int>(sides[0] + sides[1]);
        });
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

// How long a window, a dialog or a file the program writes may take to come on a busy machine;
// spent in full only when it never comes.
constexpr std::chrono::seconds kShowing{60};

// Keys as a user types them, through the display server to the window that has the keyboard.
// That may be another test's window: the tests that type are in the suite that runs alone.
bool typeKeys(const std::string& arguments) { return std::system(("xdotool " + arguments).c_str()) == 0; }

// What another program (xclip) reads from the clipboard; nothing from an owner that does not
// answer within 10 s.
std::string clipboardText() {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen("timeout 10 xclip -selection clipboard -o 2>/dev/null", "r"),
                                               pclose);
    std::string text;
    char buffer[65536];
    for (std::size_t got; pipe && (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        text.append(buffer, got);
    return text;
}

// Another program (xclip) that copies the text of `file` the moment it starts, and serves it until
// another copy takes the clipboard from it.
struct OtherProgramsCopy {
    explicit OtherProgramsCopy(const std::string& file) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, file.c_str(), O_RDONLY, 0);
        char* argv[] = {const_cast<char*>("xclip"),     const_cast<char*>("-quiet"), const_cast<char*>("-selection"),
                        const_cast<char*>("clipboard"), const_cast<char*>("-i"),     nullptr};
        if (posix_spawnp(&pid, "xclip", &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~OtherProgramsCopy() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    OtherProgramsCopy(const OtherProgramsCopy&) = delete;
    OtherProgramsCopy& operator=(const OtherProgramsCopy&) = delete;

    pid_t pid = -1;
};

// Another program (xclip) that reads the clipboard into `file` from the moment it starts.
struct ClipboardReader {
    explicit ClipboardReader(const std::string& file) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        char* argv[] = {const_cast<char*>("xclip"), const_cast<char*>("-selection"), const_cast<char*>("clipboard"),
                        const_cast<char*>("-o"), nullptr};
        if (posix_spawnp(&pid, "xclip", &actions, nullptr, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ClipboardReader() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ClipboardReader(const ClipboardReader&) = delete;
    ClipboardReader& operator=(const ClipboardReader&) = delete;

    // Whether it ended within `limit`.
    bool endsWithin(std::chrono::seconds limit) {
        return testing::waitUntil(limit, [&] {
            if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == pid) pid = -1;
            return pid <= 0;
        });
    }

    pid_t pid = -1;
};

// The window of the program that holds the clipboard (0: none); with `release`, none holds it
// any more (as where the program that held it ended).
Window clipboardOwner(bool release = false) {
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) return 0;
    const Atom clipboard = XInternAtom(display.get(), "CLIPBOARD", False);
    if (release) {
        XSetSelectionOwner(display.get(), clipboard, 0, CurrentTime);
        XSync(display.get(), False);
    }
    return XGetSelectionOwner(display.get(), clipboard);
}
bool clipboardOwned(bool release = false) { return clipboardOwner(release) != 0; }

// A fresh home, the program started in it, and its trace log. As on every desktop, another
// program holds the clipboard when it starts: xclip, with "OLD", until something else copies.
struct StartedProgram {
    explicit StartedProgram(std::string_view name)
        : folder(testing::makeOutputFolder(name)),
          home(folder + "/home"),
          log(home + "/Library/Logs/com.example.vostra-studio.app/kelvo.jsonl") {
        std::filesystem::create_directories(home);
        std::ofstream(folder + "/old.txt", std::ios::binary) << "OLD";
        heldBefore.emplace(folder + "/old.txt");
        EXPECT_TRUE(testing::waitUntil(10s, [] { return clipboardText() == "OLD"; })) << "xclip holds no clipboard";
        run.emplace(testing::firstStartEnvironment(home), folder, folder + "/stderr.txt");
    }

    // Whether the page takes keys typed at the window, without a click: Ctrl+S, typed once the
    // window has the keyboard (keys typed before the page is there wait for it), opens the Save
    // dialog, and Escape closes it again; the window has the keyboard again after it.
    ::testing::AssertionResult takesKeys() {
        const pid_t pid = run->pid();
        if (!testing::waitUntil(kShowing, [&] { return hasKeyboard(pid) || run->wait(0ms); }) || !hasKeyboard(pid))
            return failure("the window never had the keyboard");
        if (!typeKeys("key ctrl+s")) return failure("xdotool failed");
        if (!testing::waitUntil(kShowing, [&] { return shownWindowCount(pid) >= 2 || run->wait(0ms); }) ||
            shownWindowCount(pid) < 2)
            return failure("Ctrl+S opened no Save dialog");
        if (!typeKeys("key Escape")) return failure("xdotool failed");
        if (!testing::waitUntil(kShowing, [&] { return shownWindowCount(pid) == 1 && hasKeyboard(pid); }))
            return failure("Escape left the Save dialog, or the window without the keyboard");
        return ::testing::AssertionSuccess();
    }

    // Saves the document under `path` through the Save dialog, typing the path into its name. The
    // program writes the file whole before it gives it its name: once the name is there, so is
    // the text saved.
    ::testing::AssertionResult saveAs(const std::string& path) {
        const pid_t pid = run->pid();
        if (!typeKeys("key ctrl+s")) return failure("xdotool failed");
        if (!testing::waitUntil(kShowing, [&] { return shownWindowCount(pid) >= 2 || run->wait(0ms); }) ||
            shownWindowCount(pid) < 2)
            return failure("Ctrl+S opened no Save dialog");
        if (!typeKeys("key ctrl+a") || !typeKeys("type '" + path + "'") || !typeKeys("key Return"))
            return failure("xdotool failed");
        if (!testing::waitUntil(kShowing, [&] { return std::filesystem::exists(path) || run->wait(0ms); }) ||
            !std::filesystem::exists(path))
            return failure("the Save dialog wrote no " + path);
        return ::testing::AssertionSuccess();
    }

    // Ends the program and starts it again in the same home, as a user does.
    ::testing::AssertionResult restart() {
        run->signal(SIGTERM);
        if (!run->endsWith(0, 30s)) return failure("the program did not end on SIGTERM");
        run.emplace(testing::firstStartEnvironment(home), folder, folder + "/stderr.txt");
        if (!run->started()) return failure("the program did not start again");
        return ::testing::AssertionSuccess();
    }

    // A failure of a step, with what the program wrote on its standard error.
    ::testing::AssertionResult failure(const std::string& what) const {
        return ::testing::AssertionFailure() << what << " within " << kShowing.count() << " s; its standard error:\n"
                                             << run->written();
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
    std::optional<OtherProgramsCopy> heldBefore;
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

    // The window holds the menu bar above its content, and the content is the frame it keeps: 1280
    // wide, or as wide as a window manager's frame leaves on the screen.
    std::optional<WindowSize> window;
    EXPECT_TRUE(testing::waitUntil(10s, [&] {
        window = shownWindowOf(run.pid(), "Vostra Studio");
        return window && window->width == std::min(1280, window->widest) && window->height > 820 &&
               window->height < 880;
    })) << (window ? std::to_string(window->width) + " x " + std::to_string(window->height) : "no window");
    const std::string kept = ".width = " + std::to_string(window ? window->width : 1280) + ", .height = 820,";
    EXPECT_TRUE(testing::waitUntil(10s, [&] { return contains(testing::readFile(state), kept); }))
        << testing::readFile(state);

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
        if (moment.empty() || moment.starts_with('#') || moment.starts_with("paste") || moment.starts_with("copy"))
            continue;
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
    ASSERT_TRUE(program.takesKeys());
    ASSERT_TRUE(typeKeys("type Hello"));
    const std::string document = program.folder + "/typed.vrs";
    ASSERT_TRUE(program.saveAs(document));
    EXPECT_EQ(testing::readFile(document), "Hello");
    program.run->signal(SIGTERM);
    EXPECT_TRUE(program.run->endsWith(0, 30s));
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
}

bool clickMenuItem(pid_t pid, const std::string& menu, const std::string& item);
std::optional<std::string> shownCentre(pid_t pid, const std::string& kind, const std::string& name);

// xdotool's names of keys, each "@NAME" among them the keys that type the path of NAME in `folder`.
std::string keysOfPaths(const std::string& keys, const std::string& folder) {
    std::istringstream words(keys);
    std::string named;
    const auto add = [&](const std::string& key) { named += (named.empty() ? "" : " ") + key; };
    for (std::string word; words >> word;) {
        if (!word.starts_with('@')) {
            add(word);
            continue;
        }
        for (const char c : folder + "/" + word.substr(1)) {
            add(c == '/'   ? "slash"
                : c == '.' ? "period"
                : c == '-' ? "minus"
                : c == '_' ? "underscore"
                           : std::string(1, c));
        }
    }
    return named;
}

// Keys typed at once after the key that answers a dialog reach the document, all of them, however
// soon the window under the dialog takes the keyboard back: after the Escape that closes the Save
// dialog, a few times, as a loss is not certain each time; then after the Return that answers the
// Save and Open dialogs (which answer what they had at the Return) or GTK's question whether to
// replace a file, a double-click on a file in the Open dialog, and the Escape that closes the About
// panel; a question shown after the Return takes none typed before it showed; a Return the dialog
// ignores leaves the keys after it to the dialog; keys typed at the start after the key that opens
// a dialog go to that dialog (keys_after_dialogs.txt).
TEST(GtkSerialVostraStudio, KeysTypedRightAfterADialogIsAnsweredReachTheDocument) {
    StartedProgram program("vostra-studio-keys-after-escape");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(program.takesKeys());
    const std::string typed = "abcdefghijklmnopqrstuvwx";
    for (std::size_t at = 0; at < typed.size(); at += 4) {
        ASSERT_TRUE(typeKeys("key ctrl+s"));
        ASSERT_TRUE(testing::waitUntil(kShowing, [&] { return shownWindowCount(program.run->pid()) >= 2; }));
        std::string keys = "key --delay 0 Escape";
        for (char letter : typed.substr(at, 4)) (keys += ' ') += letter;
        ASSERT_TRUE(typeKeys(keys));
        ASSERT_TRUE(testing::waitUntil(
            kShowing, [&] { return shownWindowCount(program.run->pid()) == 1 && hasKeyboard(program.run->pid()); }));
    }
    std::ofstream(program.folder + "/b.vrs") << "opened";
    std::ofstream(program.folder + "/c.vrs") << "other";
    std::ofstream(program.folder + "/g.vrs") << "gee";

    std::ifstream table(std::string(KELVO_TEST_DATA_DIR) + "/program/keys_after_dialogs.txt");
    ASSERT_TRUE(table.is_open());
    for (std::string row; std::getline(table, row);) {
        if (row.empty() || row.starts_with('#')) continue;
        SCOPED_TRACE(row);
        const pid_t pid = program.run->pid();
        // A panel that holds no other window modally takes the keyboard only from a window manager.
        if (row.starts_with("(window manager) ")) {
            bool managed = false;
            forShownWindowsOf(pid, {}, [&](Display* display, Window, const XWindowAttributes&) {
                withProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_CLIENT_LIST", False),
                             XA_WINDOW, 1, [&](unsigned char*, unsigned long) { managed = true; });
                return true;
            });
            if (!managed) continue;
            row.erase(0, row.find(')') + 2);
        }
        const std::size_t arrow = row.find(" => ");
        ASSERT_NE(arrow, std::string::npos);
        std::istringstream steps(row.substr(0, arrow) + " ; ");
        std::string located;
        for (std::string step; std::getline(steps >> std::ws, step, ';');) {
            step.erase(step.find_last_not_of(' ') + 1);
            const std::string rest = step.substr(step.find(' ') + 1);
            if (step.starts_with("shows ")) {
                ASSERT_TRUE(testing::waitUntil(kShowing, [&] { return shownWindowCount(pid) >= std::stoi(rest); }));
            } else if (step.starts_with("windows ")) {
                ASSERT_TRUE(testing::waitUntil(kShowing, [&] { return shownWindowCount(pid) == std::stoi(rest); }));
            } else if (step.starts_with("menu ")) {
                ASSERT_TRUE(clickMenuItem(pid, rest.substr(0, rest.find('/')), rest.substr(rest.find('/') + 1)));
            } else if (step.starts_with("point ")) {
                // Keys go where the pointer is when no window manager gives a window the keyboard.
                ASSERT_TRUE(typeKeys("search --sync --name '^" + rest + "$' mousemove --window %1 20 20"));
            } else if (step.starts_with("asked ")) {
                // The editor's question shows (its button, over the accessibility bus).
                ASSERT_TRUE(shownCentre(pid, "control", rest)) << rest << " does not show";
            } else if (step.starts_with("click ")) {
                const std::optional<std::string> centre = shownCentre(pid, "button", rest);
                ASSERT_TRUE(centre && typeKeys("mousemove " + *centre + " click 1")) << rest << " does not show";
            } else if (step.starts_with("locate ")) {
                const std::optional<std::string> centre = shownCentre(pid, "cell", rest);
                ASSERT_TRUE(centre) << rest << " does not show";
                located = *centre;
            } else if (step == "doubleclick" || step.starts_with("doubleclick ")) {
                // Keys typed after it come at once, as from a user's other hand.
                ASSERT_FALSE(located.empty());
                const std::string keys = step == "doubleclick" ? "" : " key --delay 0 " + rest;
                ASSERT_TRUE(typeKeys("mousemove " + located + " click --repeat 2 --delay 80 1" + keys));
            } else if (step == "restart") {
                // Keys typed from the moment its window has the keyboard, before its page is there.
                ASSERT_TRUE(program.restart());
                ASSERT_TRUE(reachedSoon([&] { return hasKeyboard(program.run->pid()); }));
            } else {
                const std::string keys = step.starts_with("path ") ? "type '" + program.folder + "/" + rest + "'"
                                         : step.starts_with("burst ")
                                             ? "key --delay 0 " + keysOfPaths(rest, program.folder)
                                             : step;
                ASSERT_TRUE(typeKeys(keys));
            }
        }
        ASSERT_TRUE(testing::waitUntil(
            kShowing, [&] { return shownWindowCount(program.run->pid()) == 1 && hasKeyboard(program.run->pid()); }));
        ASSERT_TRUE(typeKeys("key ctrl+s"));
        const std::string file = program.folder + "/" + row.substr(arrow + 4, row.find(' ', arrow + 4) - arrow - 4);
        const std::string text = row.substr(row.find(' ', arrow + 4) + 1);
        testing::waitUntil(kShowing, [&] { return testing::readFile(file) == text; });
        EXPECT_EQ(testing::readFile(file), text);
    }
    // The dialogs wrote no file under a name with keys typed after their answer in it.
    std::vector<std::string> documents;
    for (const auto& entry : std::filesystem::directory_iterator(program.folder)) {
        if (entry.path().extension() == ".vrs") documents.push_back(entry.path().filename());
    }
    std::ranges::sort(documents);
    EXPECT_EQ(documents, (std::vector<std::string>{"a.vrs", "b.vrs", "c.vrs", "d.vrs", "e.vrs", "f.vrs", "g.vrs"}));
    program.run->signal(SIGTERM);
    EXPECT_TRUE(program.run->endsWith(0, 30s));
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
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
    ASSERT_TRUE(program.saveAs(document));
    EXPECT_EQ(testing::readFile(document), "0123456789abcdefghij");
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
    ASSERT_TRUE(program.takesKeys());
    testing::SilentClipboardOwner silent;
    ASSERT_TRUE(silent.owns());

    ASSERT_TRUE(typeKeys("type ab") && typeKeys("key ctrl+v") && typeKeys("type cd"));
    const std::string document = program.folder + "/pasted.vrs";
    ASSERT_TRUE(program.saveAs(document));
    EXPECT_EQ(testing::readFile(document), "abcd");

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
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
}

// Where a menu or menu item ("menu"), a button ("button") or a cell of a list ("cell") of the
// process `pid` shows on the screen, as a screen reader finds it once it shows: its centre, as
// xdotool's "X Y".
std::optional<std::string> shownCentre(pid_t pid, const std::string& kind, const std::string& name) {
    int x = 0;
    int y = 0;
    const std::string command = "/usr/bin/python3 '" + std::string(KELVO_TEST_DATA_DIR) + "/program/shown_centre.py' " +
                                std::to_string(pid) + " " + kind + " '" + name + "'";
    const bool shown = testing::waitUntil(10s, [&] {
        std::unique_ptr<FILE, int (*)(FILE*)> found(popen(command.c_str(), "r"), pclose);
        return found && std::fscanf(found.get(), "%d %d", &x, &y) == 2;
    });
    if (!shown) return std::nullopt;
    return std::to_string(x) + " " + std::to_string(y);
}

// Clicks the item of a menu of the program's menu bar with the pointer, each where a screen reader
// finds it on the screen once it shows.
bool clickMenuItem(pid_t pid, const std::string& menu, const std::string& item) {
    auto clickShown = [pid](const std::string& name) {
        const std::optional<std::string> centre = shownCentre(pid, "menu", name);
        return centre && typeKeys("mousemove " + *centre + " click 1");
    };
    return clickShown(menu) && clickShown(item);
}

// A user clicks and types at the window the moment it shows, opens a document through the Open
// dialog typing its path (Ctrl+L), pastes another program's text at its end and clicks Edit, Undo
// with the pointer: the saved file has the paste taken back, and the program said no GTK warning
// on the way.
TEST(GtkSerialVostraStudio, EditUndoClickedTakesAPasteBackAndEarlyInputWarnsOfNothing) {
    StartedProgram program("vostra-studio-menu-undo");
    ASSERT_TRUE(program.run->started());
    const pid_t pid = program.run->pid();
    // Asked every 20 ms: a display server asked more often may have no room left for the program's
    // own connection on a busy machine.
    ASSERT_TRUE(testing::waitUntil(60s, [&] { return hasKeyboard(pid); }))
        << testing::readFile(program.folder + "/stderr.txt");
    ASSERT_TRUE(typeKeys("getwindowfocus mousemove --window %1 400 300 click 1") && typeKeys("key End Home End"));
    const std::string document = program.folder + "/doc.vrs";
    const std::string text = "line one\nline two\nlast xyz";
    std::ofstream(document, std::ios::binary) << text;
    ASSERT_TRUE(typeKeys("key ctrl+o"));
    ASSERT_TRUE(testing::waitUntil(60s, [&] { return shownWindowCount(pid) >= 2; }));
    // The user looks at the dialog for a moment, then types the path into its location field.
    std::this_thread::sleep_for(3s);
    ASSERT_TRUE(typeKeys("key --delay 0 ctrl+l") && typeKeys("type '" + document + "'"));
    // A completion offered in the field takes the first Return.
    ASSERT_TRUE(testing::waitUntil(20s, [&] {
        return shownWindowCount(pid) == 1 ||
               (typeKeys("key Return") && testing::waitUntil(5s, [&] { return shownWindowCount(pid) == 1; }));
    })) << testing::readFile(program.folder + "/stderr.txt");

    const std::string pasted = program.folder + "/pasted.txt";
    std::ofstream(pasted) << "PASTE1";
    OtherProgramsCopy offered(pasted);
    ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == "PASTE1"; }));
    ASSERT_TRUE(typeKeys("key ctrl+End ctrl+v ctrl+s"));
    EXPECT_TRUE(testing::waitUntil(10s, [&] { return testing::readFile(document) == text + "PASTE1"; }))
        << testing::readFile(document);
    ASSERT_TRUE(clickMenuItem(pid, "Edit", "Undo"));
    ASSERT_TRUE(typeKeys("key ctrl+s"));
    EXPECT_TRUE(testing::waitUntil(10s, [&] { return testing::readFile(document) == text; }))
        << testing::readFile(document);

    program.run->signal(SIGTERM);
    EXPECT_EQ(program.run->wait(30s), 0);
    const std::string said = testing::readFile(program.folder + "/stderr.txt");
    EXPECT_FALSE(contains(said, "Gtk-CRITICAL") || contains(said, "Gtk-WARNING")) << said;
}

// Another program held the clipboard before the start (as on every desktop): Copy, Edit > Copy
// after that program copied again, and Cut reach the clipboard all the same, and a cut pasted
// elsewhere moves the text.
TEST(GtkSerialVostraStudio, CopiesAndCutsReachTheClipboardThatAnotherProgramHeldBefore) {
    StartedProgram program("vostra-studio-copies");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
    const pid_t pid = program.run->pid();
    ASSERT_TRUE(typeKeys("type 'hello world'"));
    ASSERT_TRUE(typeKeys("key ctrl+a ctrl+c"));
    EXPECT_TRUE(testing::waitUntil(10s, [] { return clipboardText() == "hello world"; })) << clipboardText();
    std::ofstream(program.folder + "/again.txt", std::ios::binary) << "AGAIN";
    {
        OtherProgramsCopy again(program.folder + "/again.txt");
        ASSERT_TRUE(testing::waitUntil(10s, [] { return clipboardText() == "AGAIN"; }));
        ASSERT_TRUE(clickMenuItem(pid, "Edit", "Copy"));
        EXPECT_TRUE(testing::waitUntil(10s, [] { return clipboardText() == "hello world"; })) << clipboardText();
    }
    {
        // A program that copies twice with one window before the key (it answers no read).
        std::unique_ptr<Display, int (*)(Display*)> other(XOpenDisplay(nullptr), XCloseDisplay);
        ASSERT_TRUE(other);
        const Atom clipboard = XInternAtom(other.get(), "CLIPBOARD", False);
        const Window window = XCreateSimpleWindow(other.get(), DefaultRootWindow(other.get()), 0, 0, 1, 1, 0, 0, 0);
        for (int copies = 0; copies < 2; ++copies) {
            std::this_thread::sleep_for(50ms);
            XSetSelectionOwner(other.get(), clipboard, window, CurrentTime);
            XSync(other.get(), False);
        }
        ASSERT_EQ(clipboardOwner(), window);
        ASSERT_TRUE(typeKeys("key ctrl+a ctrl+c"));
        EXPECT_TRUE(testing::waitUntil(10s, [&] { return clipboardOwner() != window; }));
        EXPECT_EQ(clipboardText(), "hello world");
    }
    ASSERT_TRUE(typeKeys("key ctrl+a BackSpace"));
    ASSERT_TRUE(typeKeys("type alpha") && typeKeys("key Return") && typeKeys("type beta") && typeKeys("key Return") &&
                typeKeys("type gamma") && typeKeys("key Return"));
    ASSERT_TRUE(typeKeys("key ctrl+Home Down shift+End ctrl+x"));
    EXPECT_TRUE(testing::waitUntil(10s, [] { return clipboardText() == "beta"; })) << clipboardText();
    ASSERT_TRUE(typeKeys("key ctrl+End ctrl+v"));
    const std::string document = program.folder + "/moved.vrs";
    ASSERT_TRUE(program.saveAs(document));
    EXPECT_TRUE(testing::waitUntil(10s, [&] { return testing::readFile(document) == "alpha\n\ngamma\nbeta"; }))
        << testing::readFile(document);
    program.run->signal(SIGTERM);
    EXPECT_TRUE(program.run->endsWith(0, 30s));
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
}

// A copy of a long text is still on its way to the clipboard when another program copies: the
// clipboard keeps the other program's text, for every program and for the next paste, also long
// after the editor's copy would have landed; so also where the copy's keys waited behind a paste
// when the other program copied. The same copy left alone lands whole, no-break spaces kept. One
// too large to make leaves the clipboard and the text as they were.
TEST(GtkSerialVostraStudio, ALongCopyThatAnotherProgramsCopyOvertakesNeverLandsOverIt) {
    StartedProgram program("vostra-studio-overtaken-copy");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
    std::string text;
    char line[64];
    for (int i = 0; text.size() < 10 * 1024 * 1024; ++i) {
        std::snprintf(line, sizeof line, "line %07d some text%s here\n", i, i % 7 == 0 ? "\u00a0nb" : "");
        text += line;
    }
    const std::string long_ = program.folder + "/long.txt";
    const std::string other = program.folder + "/other.txt";
    std::ofstream(long_, std::ios::binary) << text;
    std::ofstream(other, std::ios::binary) << "OTHER";

    // Another program's long text pasted, a letter typed before it, and all of it copied (the keys
    // typed after the paste take effect once it is done).
    std::optional<OtherProgramsCopy> pasted(std::in_place, long_);
    ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == text; }));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(typeKeys("key ctrl+v ctrl+Home Z ctrl+a ctrl+c"));
    ASSERT_TRUE(testing::waitUntil(120s, [&] { return clipboardText() == "Z" + text; }));
    const auto landed = std::chrono::steady_clock::now() - start;
    std::printf("pasted, copied and landed in %.2f s\n", std::chrono::duration<double>(landed).count());
    pasted.reset();

    ASSERT_TRUE(typeKeys("key ctrl+a ctrl+c"));
    OtherProgramsCopy copied(other);
    ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == "OTHER"; }));
    ASSERT_TRUE(typeKeys("key ctrl+End ctrl+v"));
    const std::string document = program.folder + "/pasted.vrs";
    ASSERT_TRUE(program.saveAs(document));
    EXPECT_TRUE(testing::waitUntil(60s, [&] { return testing::readFile(document).size() > text.size(); }));
    EXPECT_TRUE(testing::readFile(document) == "Z" + text + "OTHER")
        << "the paste did not give the other program's text";
    // The copy never lands: the clipboard keeps the other program's text.
    const auto keeps = [&](const std::string& expected, std::chrono::steady_clock::duration watched) {
        for (const auto from = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - from < watched;) {
            const std::string held = clipboardText();
            if (held != expected)
                return ::testing::AssertionFailure() << "the clipboard holds " << held.size() << " bytes";
        }
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(keeps("OTHER", 2 * landed + 2s));

    // A copy asked for behind a paste that waits for a program that does not answer counts from
    // its key: another program's copy made while it waits is the newer, also when the user typed
    // more after that copy and before the copy is played.
    testing::SilentClipboardOwner silent;
    ASSERT_TRUE(silent.owns());
    const Window silentWindow = clipboardOwner();
    ASSERT_TRUE(typeKeys("key ctrl+v ctrl+a ctrl+c"));
    std::ofstream(other, std::ios::binary) << "OTHER2";
    OtherProgramsCopy later(other);
    // Read once the other program holds the clipboard: the silent owner would answer no read.
    ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardOwner() != silentWindow; }));
    ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == "OTHER2"; }));
    ASSERT_TRUE(typeKeys("key Right"));
    // The paste is refused 5 s after it asked (the README's answer wait); the copy comes then.
    EXPECT_TRUE(keeps("OTHER2", 5s + 2 * landed + 2s));
    ASSERT_TRUE(typeKeys("key ctrl+End ctrl+v ctrl+s"));
    const std::size_t saved = text.size() + 6;
    EXPECT_TRUE(testing::waitUntil(60s, [&] { return testing::readFile(document).size() > saved; }));
    EXPECT_TRUE(testing::readFile(document) == "Z" + text + "OTHER" + "OTHER2") << "the paste did not give OTHER2";

    // Copy and Cut of more than 48 MiB (the long text pasted four times more) leave the clipboard
    // and the document as they were: undoing the four pastes gives the document back.
    OtherProgramsCopy again(long_);
    ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == text; }));
    ASSERT_TRUE(
        typeKeys("key ctrl+v ctrl+v ctrl+v ctrl+v ctrl+a ctrl+c ctrl+x ctrl+z ctrl+z ctrl+z ctrl+z ctrl+End Y ctrl+s"));
    EXPECT_TRUE(testing::waitUntil(120s, [&] { return testing::readFile(document) == "Z" + text + "OTHEROTHER2Y"; }));
    EXPECT_TRUE(clipboardText() == text) << "the clipboard lost the other program's text";

    // The page reloaded while a copy of the whole document is on its way: the copy's claim ends, so
    // a program that reads the clipboard then is answered at once, and the clipboard is nobody's
    // (the next paste in the program is answered at once too). Where the copy landed before the
    // reload, the reader gets it whole and the clipboard keeps it.
    const Window before = clipboardOwner();
    ASSERT_TRUE(typeKeys("key ctrl+a ctrl+c"));
    ASSERT_TRUE(testing::waitUntil(30s, [&] { return clipboardOwner() != before; }));
    const std::string read = program.folder + "/read.txt";
    ClipboardReader reader(read);
    ASSERT_TRUE(typeKeys("key ctrl+r"));
    const auto reloaded = std::chrono::steady_clock::now();
    EXPECT_TRUE(reader.endsWithin(30s));
    const auto answered = std::chrono::steady_clock::now() - reloaded;
    if (testing::readFile(read).empty()) {
        EXPECT_LT(answered, 5s) << "a program that read the reloaded page's copy waited for it";
        EXPECT_TRUE(testing::waitUntil(10s, [] { return clipboardOwner() == 0; }))
            << "the reloaded page's copy kept the clipboard";
    } else {
        EXPECT_TRUE(testing::readFile(read) == testing::readFile(document)) << "another program read another text";
        std::printf("the copy landed before the reload\n");
    }
    program.run->signal(SIGTERM);
    EXPECT_TRUE(program.run->endsWith(0, 30s));
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
}

// A copy followed at once by a key that opens a dialog (Open, Save As) goes on as it would without
// the dialog: it takes the clipboard from the program that held it, and a program that reads the
// clipboard while the dialog shows gets the whole text, the dialog still up. A dialog left up
// longer than a copy's text may take to come (65 s) leaves the copy on the clipboard.
TEST(GtkSerialVostraStudio, ACopyFollowedAtOnceByADialogReachesOtherProgramsWhileTheDialogShows) {
    StartedProgram program("vostra-studio-copy-then-dialog");
    ASSERT_TRUE(program.run->started());
    ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
    const pid_t pid = program.run->pid();
    std::string text;
    char line[64];
    for (int i = 0; text.size() < 8 * 1024 * 1024; ++i) {
        std::snprintf(line, sizeof line, "line %07d of a long copy\n", i);
        text += line;
    }
    const std::string long_ = program.folder + "/long.txt";
    const std::string before = program.folder + "/before.txt";
    std::ofstream(long_, std::ios::binary) << text;
    std::ofstream(before, std::ios::binary) << "BEFORE";
    {
        OtherProgramsCopy pasted(long_);
        ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == text; }));
        ASSERT_TRUE(typeKeys("key ctrl+v ctrl+a ctrl+c"));
        ASSERT_TRUE(testing::waitUntil(60s, [&] { return clipboardOwner() != 0 && clipboardText() == text; }));
    }
    const std::string read = program.folder + "/read.txt";
    for (const std::string dialogKey : {"ctrl+o", "ctrl+shift+s"}) {
        SCOPED_TRACE(dialogKey);
        OtherProgramsCopy held(before);
        ASSERT_TRUE(testing::waitUntil(10s, [&] { return clipboardText() == "BEFORE"; }));
        ASSERT_TRUE(typeKeys("key --delay 0 ctrl+a ctrl+c " + dialogKey));
        std::this_thread::sleep_for(300ms);
        ClipboardReader reader(read);
        EXPECT_TRUE(reader.endsWithin(20s));
        EXPECT_TRUE(testing::readFile(read) == text)
            << "a program that read the copy got " << testing::readFile(read).size() << " bytes";
        EXPECT_GE(shownWindowCount(pid), 2) << "the dialog did not show, or closed";
        if (dialogKey == "ctrl+o") {
            std::this_thread::sleep_for(65s);
            ASSERT_GE(shownWindowCount(pid), 2);
            EXPECT_TRUE(clipboardText() == text) << "the copy left the clipboard while the dialog showed";
        }
        ASSERT_TRUE(typeKeys("key Escape"));
        ASSERT_TRUE(testing::waitUntil(kShowing, [&] { return shownWindowCount(pid) == 1 && hasKeyboard(pid); }));
        EXPECT_TRUE(clipboardText() == text) << "the copy left the clipboard once the dialog closed";
    }
    program.run->signal(SIGTERM);
    EXPECT_TRUE(program.run->endsWith(0, 30s));
    if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
}

// Ended while a paste's transfer runs (the rows "paste" of the SIGTERM moments), the program ends
// as ever, and the program that held the clipboard goes on serving: another program then reads its
// whole text. A text over what a paste takes is refused as soon as its size is told, and the
// program lets the holder send it on unread; a shorter one is being pasted. Ended while a copy's
// text is on its way to the clipboard (the rows "copy"), with another program waiting for that
// text, the program ends as ever, and the waiting program is answered (with nothing, or with the
// whole text where it landed first) as it ends.
TEST(GtkSerialVostraStudio, EndedDuringAPasteOrACopyTheProgramLeavesNoOtherProgramWaiting) {
    std::ifstream table(std::string(KELVO_TEST_DATA_DIR) + "/program/sigterm_moments.txt");
    ASSERT_TRUE(table.is_open());
    int rows = 0;
    for (std::string moment; std::getline(table, moment);) {
        const bool copies = moment.starts_with("copy ");
        if (!moment.starts_with("paste ") && !copies) continue;
        SCOPED_TRACE(moment);
        ++rows;
        StartedProgram program("vostra-studio-paste-end-" + std::to_string(rows));
        ASSERT_TRUE(program.run->started());
        const std::string text = program.folder + "/text.txt";
        const auto size = static_cast<std::size_t>(std::stoi(moment.substr(moment.find(' ') + 1)));
        // A copy's text in lines, as a document's is.
        std::string lines;
        for (int i = 0; copies && lines.size() < size << 20; ++i)
            lines += "line " + std::to_string(i) + " of the text\n";
        std::ofstream(text) << (copies ? lines : std::string(size << 20, 'x')) << "end";
        clipboardOwned(true);
        OtherProgramsCopy holder(text);
        ASSERT_TRUE(testing::waitUntil(30s, [] { return clipboardOwned(); }));
        const Window held = clipboardOwner();
        ASSERT_TRUE(program.takesKeys()) << testing::readFile(program.folder + "/stderr.txt");
        const auto keys = moment.substr(moment.find(", ") + 2);
        const std::string read = program.folder + "/read.txt";
        std::optional<ClipboardReader> reader;
        if (copies) {
            // The text pasted, all of it copied; the copy's claim taken, the text still on its way.
            ASSERT_TRUE(typeKeys("key ctrl+v ctrl+a ctrl+c"));
            ASSERT_TRUE(testing::waitUntil(60s, [&] { return clipboardOwner() != held; }));
            reader.emplace(read);
        }
        const auto start = std::chrono::steady_clock::now();
        if (keys.starts_with("SIGTERM")) {
            if (!copies) {
                ASSERT_TRUE(typeKeys("key ctrl+v"));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(keys.substr(8))));
            program.run->signal(SIGTERM);
        } else {
            ASSERT_TRUE(typeKeys(copies ? "key " + keys : "key ctrl+v " + keys));
        }
        EXPECT_TRUE(program.run->endsWith(0, 30s));
        std::printf("%s: ended %.2f s after %s\n", moment.c_str(),
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                    copies ? "the copy's claim" : "Ctrl+V");
        EXPECT_TRUE(contains(program.lastTrace(), R"("name":"runtime.done")")) << program.lastTrace();
        if (copies) {
            EXPECT_TRUE(reader->endsWithin(10s)) << "the program that read the copy was left waiting";
            const std::string got = testing::readFile(read);
            EXPECT_TRUE(got.empty() || got == testing::readFile(text)) << "it read " << got.size() << " bytes";
            std::printf("%s: the program that read the copy got %s\n", moment.c_str(),
                        got.empty() ? "nothing" : "the whole text");
        } else {
            std::system(("timeout 20 xclip -selection clipboard -o > '" + read + "'").c_str());
            EXPECT_TRUE(testing::readFile(read) == testing::readFile(text))
                << "another program read " << testing::readFile(read).size() << " bytes";
        }
        if (!::testing::Test::HasFailure()) std::filesystem::remove_all(program.folder);
    }
    EXPECT_GE(rows, 7);
}

}  // namespace
}  // namespace kelvo
