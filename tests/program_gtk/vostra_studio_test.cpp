// The bundled program on the virtual display, as a user starts it: a fresh home folder, no
// settings. Its window, trace log and window-state file are looked at from outside.

#include <gtest/gtest.h>

#include <memory>

#include "program/program_run.hpp"

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

// The size of the shown top-level window with this title (_NET_WM_NAME), if there is one.
std::optional<WindowSize> shownWindowTitled(std::string_view title) {
    std::unique_ptr<Display, int (*)(Display*)> display(XOpenDisplay(nullptr), XCloseDisplay);
    if (!display) return std::nullopt;
    Window root = DefaultRootWindow(display.get());
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display.get(), root, &root, &parent, &children, &count) == 0) return std::nullopt;
    std::optional<WindowSize> found;
    const Atom name = XInternAtom(display.get(), "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display.get(), "UTF8_STRING", False);
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display.get(), children[i], &attributes) == 0) continue;
        if (attributes.map_state != IsViewable) continue;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* value = nullptr;
        if (XGetWindowProperty(display.get(), children[i], name, 0, 256, False, utf8, &type, &format, &items, &after,
                               &value) == Success &&
            value != nullptr) {
            if (std::string_view(reinterpret_cast<char*>(value), items) == title) {
                found = WindowSize{attributes.width, attributes.height};
            }
            XFree(value);
        }
    }
    if (children != nullptr) XFree(children);
    return found;
}

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(VostraStudio, OpensItsWindowTracesItsRunAndEndsCleanlyOnSigterm) {
    const std::string folder = testing::makeOutputFolder("vostra-studio");
    const std::string home = folder + "/home";
    std::filesystem::create_directories(home);
    const std::string log = home + "/Library/Logs/com.example.vostra-studio.app/kelvo.jsonl";
    const std::string state = home + "/Library/Application Support/com.example.vostra-studio.app/State/windows.zon";

    testing::ProgramRun run(
        testing::environmentWith({"HOME=" + home}, {"KELVO_LOG_DIR", "KELVO_LOG_FORMAT", "KELVO_FRONTEND_URL"}), folder,
        folder + "/stderr.txt");
    ASSERT_TRUE(run.started());
    // Until the page is loaded, or the program gave up.
    testing::waitUntil(60s, [&] { return contains(testing::readFile(log), R"("name":"app.start")") || run.wait(0ms); });
    ASSERT_TRUE(contains(testing::readFile(log), R"("name":"app.start")")) << testing::readFile(folder + "/stderr.txt");

    // The window holds the menu bar above its content, and the content is the frame it keeps.
    std::optional<WindowSize> window;
    EXPECT_TRUE(testing::waitUntil(10s, [&] {
        window = shownWindowTitled("Vostra Studio");
        return window && window->width == 1280 && window->height > 820 && window->height < 880;
    })) << (window ? std::to_string(window->width) + " x " + std::to_string(window->height) : "no window");
    EXPECT_TRUE(testing::waitUntil(10s, [&] { return contains(testing::readFile(state), R"(.label = "main")"); }))
        << testing::readFile(state);
    EXPECT_TRUE(contains(testing::readFile(state), ".width = 1280, .height = 820,")) << testing::readFile(state);

    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(30s), 0) << testing::readFile(folder + "/stderr.txt");
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

}  // namespace
}  // namespace kelvo
