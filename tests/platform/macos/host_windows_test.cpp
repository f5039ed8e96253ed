#include <gtest/gtest.h>

#include <cstdlib>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using testing::SeenEvent;
using Kind = HostEventKind;

TEST(HostWindows, PlacementRestoresInsideTheScreenOrCentres) {
    for (const auto& row : testing::readTable("platform/window_placement.txt")) {
        ASSERT_EQ(row.size(), 13u);
        HostHarness h;
        h.platform.answers().screen =
            standin::RectD{std::stod(row[0]), std::stod(row[1]), std::stod(row[2]), std::stod(row[3])};
        testing::HostOptions options;
        options.restoreFrame = row[4] == "1";
        options.x = std::stod(row[5]);
        options.y = std::stod(row[6]);
        options.width = std::stod(row[7]);
        options.height = std::stod(row[8]);
        ASSERT_NE(h.create(options), nullptr);
        const standin::RectD expected{std::stod(row[9]), std::stod(row[10]), std::stod(row[11]), std::stod(row[12])};
        EXPECT_EQ(h.platform.windows()[0]->content, expected)
            << "visible " << row[0] << "," << row[1] << " frame " << row[5] << " " << row[6] << " " << row[7];
    }
    // Without a screen the frame stays as given.
    HostHarness h;
    h.platform.answers().screen.reset();
    testing::HostOptions options;
    options.restoreFrame = true;
    options.width = 4000;
    ASSERT_NE(h.create(options), nullptr);
    EXPECT_EQ(h.platform.windows()[0]->content, (standin::RectD{0, 0, 4000, 820}));
}

// The frame a window reports is the frame it is created from, so a window saved and restored
// comes back where it was and as large, launch after launch.
TEST(HostWindows, ReportedFrameRestoresTheSameWindow) {
    HostHarness first;
    ASSERT_NE(first.create(), nullptr);
    first.platform.at(0, [&] {
        first.platform.userMove(first.platform.ref(*first.platform.windows()[0]), 120, 64);
        first.platform.userResize(first.platform.ref(*first.platform.windows()[0]), 1000, 700);
    });
    first.platform.at(1, [&] { kelvo_appkit_stop(first.host); });
    first.run();
    const KelvoHostEvent saved = first.all(Kind::window_frame_changed).back()->event;

    HostHarness second;
    testing::HostOptions options;
    options.restoreFrame = true;
    options.x = saved.x;
    options.y = saved.y;
    options.width = saved.width;
    options.height = saved.height;
    ASSERT_NE(second.create(options), nullptr);
    EXPECT_EQ(second.platform.windows()[0]->content, (standin::RectD{120, 64, 1000, 700}));
}

TEST(HostWindows, DeferredWindowShowsAtFirstPresentOrDeadline) {
    ::setenv("KELVO_WINDOW_TIMING", "1", 1);
    ScopedStderrCapture captured;
    HostHarness h;
    h.platform.setWallClockStartNs(0);
    ASSERT_NE(h.create(), nullptr);
    captured.clear();
    h.platform.at(0, [&] {
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "A", 1, "a", 1, 1, 1, 0, 1, 0, 0, 300, 200), 1);
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 3, "B", 1, "b", 1, 1, 1, 0, 1, 0, 0, 300, 200), 1);
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 4, "C", 1, "c", 1, 1, 1, 0, 1, 0, 0, 300, 200), 1);
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 5, "D", 1, "d", 1, 1, 1, 0, 1, 0, 0, 300, 200), 1);
        EXPECT_FALSE(h.platform.windows()[1]->visible);
    });
    // A window closed and made again under the same id keeps a deadline of its own.
    h.platform.at(100'000'000, [&] { EXPECT_EQ(kelvo_appkit_close_window(h.host, 5), 1); });
    h.platform.at(500'000'000, [&] {
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 5, "D", 1, "d", 1, 1, 1, 0, 1, 0, 0, 300, 200), 1);
    });
    h.platform.at(200'000'000, [&] {
        showDeferredWindowIfPending(*h.host, 2, "first-present");
        EXPECT_EQ(kelvo_appkit_focus_window(h.host, 4), 1);
    });
    h.platform.at(2'000'000'000, [&] { kelvo_appkit_stop(h.host); });
    h.run();
    ::unsetenv("KELVO_WINDOW_TIMING");

    EXPECT_EQ(captured.text(),
              "kelvo: launch window_created wall_ns=0\n"
              "kelvo: launch window_created wall_ns=0\n"
              "kelvo: launch window_created wall_ns=0\n"
              "kelvo: launch window_created wall_ns=0\n"
              "kelvo: window 2 shown (first-present) 200.0 ms after create wall_ns=200000000\n"
              "kelvo: launch window_created wall_ns=500000000\n"
              "kelvo: window 3 shown (fallback-deadline) 1000.0 ms after create wall_ns=1000000000\n"
              "kelvo: window 5 shown (fallback-deadline) 1000.0 ms after create wall_ns=1500000000\n");
    for (std::size_t i = 1; i < 4; ++i) EXPECT_TRUE(h.platform.windows()[i]->visible) << i;
    EXPECT_TRUE(h.platform.windows()[5]->visible);
    EXPECT_EQ(h.platform.logCount("window.front n=2"), 1u);
    EXPECT_EQ(h.platform.logCount("window.front n=4"), 1u);
}

TEST(HostWindows, ChromeInsetsOfFullSizeContentWindows) {
    HostHarness h;
    testing::HostOptions options;
    options.titlebarStyle = 1;
    ASSERT_NE(h.create(options), nullptr);
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "plain", 5, "plain", 5, 1, 1, 0, 0, 0, 0, 800, 600), 1);
    standin::ChromeLayout& chrome = h.platform.windows()[0]->chrome;
    chrome.bounds = {0, 0, 800, 600};
    chrome.layout = {0, 28, 800, 572};
    chrome.buttons = {standin::RectD{7, 6, 14, 16}, standin::RectD{27, 6, 14, 16}, std::nullopt};

    double v[8];
    auto insets = [&](std::uint64_t id) {
        std::fill(std::begin(v), std::end(v), -1.0);
        return kelvo_appkit_window_chrome_insets(h.host, id, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]);
    };
    ASSERT_EQ(insets(1), 1);
    EXPECT_EQ(std::vector<double>(v, v + 8), (std::vector<double>{28, 7 + 41, 0, 0, 7, 6, 34, 16}));

    chrome.buttons = {standin::RectD{740, 6, 14, 16}, standin::RectD{760, 6, 14, 16}, standin::RectD{780, 6, 14, 16}};
    ASSERT_EQ(insets(1), 1);
    EXPECT_EQ(v[3], (800 - 740) + (800 - 794));
    EXPECT_EQ(v[1], 0);

    chrome.layout = {0, 0.5, 800, 599.5};
    ASSERT_EQ(insets(1), 1);
    EXPECT_EQ(std::vector<double>(v, v + 8), std::vector<double>(8, 0.0));

    ASSERT_EQ(insets(2), 1);  // a window whose title bar is not over its content
    EXPECT_EQ(std::vector<double>(v, v + 8), std::vector<double>(8, 0.0));
    EXPECT_EQ(insets(9), 0);
}

TEST(HostWindows, EachTitlebarStyleAsksForItsChrome) {
    for (const auto& row : testing::readTable("platform/titlebar_styles.txt")) {
        ASSERT_EQ(row.size(), 6u);
        HostHarness h;
        ASSERT_NE(h.create(), nullptr);
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "W", 1, "w", 1, 1, std::stoi(row[1]), std::stoi(row[0]), 0, 0,
                                             0, 400, 300),
                  1);
        const standin::HeadlessStandIn::Window& window = *h.platform.windows()[1];
        SCOPED_TRACE("style " + row[0] + " resizable " + row[1]);
        EXPECT_EQ(window.style, static_cast<std::uint32_t>(std::stoul(row[2])));
        EXPECT_EQ(window.transparentTitlebar, row[3] == "1");
        EXPECT_EQ(window.tallToolbar, row[4] == "1");
        EXPECT_EQ(window.menuBar, row[5] == "1");
    }
}

// Only the tall toolbar hides in full screen, and only its window follows the part of the content
// the title bar leaves free: the page hears the new size and reads the new insets.
TEST(HostWindows, TheTallToolbarHidesInFullScreenAndItsTitleBarsChangesReachThePage) {
    HostHarness h;
    testing::HostOptions options;
    options.titlebarStyle = 1;
    ASSERT_NE(h.create(options), nullptr);
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Tall", 4, "tall", 4, 1, 1, 2, 0, 0, 0, 800, 600), 1);
    standin::HeadlessStandIn::Window& one = *h.platform.windows()[0];
    standin::HeadlessStandIn::Window& tall = *h.platform.windows()[1];
    one.chrome.layout = {0, 28, 1280, 792};
    tall.chrome.layout = {0, 80, 800, 520};
    std::size_t tallResizes = 0;
    std::size_t oneResizes = 0;
    auto resizes = [&](std::uint64_t id) {
        std::size_t n = 0;
        for (const SeenEvent* seen : h.all(Kind::surface_resized)) n += seen->event.windowId == id ? 1 : 0;
        return n;
    };
    double top = -1;
    auto insetTop = [&](std::uint64_t id) {
        double v[8];
        EXPECT_EQ(kelvo_appkit_window_chrome_insets(h.host, id, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]),
                  1);
        return v[0];
    };
    h.platform.clearLog();
    h.platform.at(0, [&] {
        for (auto* window : {&one, &tall}) {
            h.platform.sendWindowEvent(h.platform.ref(*window), standin::WindowEventKind::will_enter_full_screen);
            h.platform.sendWindowEvent(h.platform.ref(*window), standin::WindowEventKind::did_enter_full_screen);
        }
    });
    h.platform.at(1, [&] {
        EXPECT_FALSE(tall.toolbarVisible);
        EXPECT_TRUE(one.toolbarVisible);
        // The toolbar is gone: the title bar covers less of the content.
        oneResizes = resizes(1);
        tallResizes = resizes(2);
        one.chrome.layout = {0, 0, 1280, 820};
        tall.chrome.layout = {0, 28, 800, 572};
        h.platform.sendWindowEvent(h.platform.ref(one), standin::WindowEventKind::content_layout_changed);
        h.platform.sendWindowEvent(h.platform.ref(tall), standin::WindowEventKind::content_layout_changed);
    });
    h.platform.at(2, [&] {
        EXPECT_EQ(resizes(1), oneResizes);
        EXPECT_EQ(resizes(2), tallResizes + 1);
        top = insetTop(2);
        for (auto* window : {&one, &tall}) {
            h.platform.sendWindowEvent(h.platform.ref(*window), standin::WindowEventKind::will_exit_full_screen);
            h.platform.sendWindowEvent(h.platform.ref(*window), standin::WindowEventKind::did_exit_full_screen);
        }
    });
    h.platform.at(3, [&] { kelvo_appkit_stop(h.host); });
    h.run();
    EXPECT_EQ(top, 28);
    EXPECT_TRUE(tall.toolbarVisible);
    EXPECT_EQ(h.platform.logCount("window.toolbar n=1"), 0u);
    EXPECT_EQ(h.platform.logCount("window.toolbar n=2 hidden"), 2u);
    EXPECT_EQ(h.platform.logCount("window.toolbar n=2 shown"), 2u);
}

TEST(HostWindows, DragFollowsThePointerAndTheDoubleClickSetting) {
    for (const auto& row : testing::readTable("platform/window_drag.txt")) {
        const std::string shown = row[0] + " " + row[1] + " " + row[2] + " " + row[3];
        HostHarness h;
        ASSERT_NE(h.create(), nullptr);
        auto& answers = h.platform.answers();
        answers.pointer.phase = row[0] == "left_down"      ? standin::PointerPhase::left_down
                                : row[0] == "left_dragged" ? standin::PointerPhase::left_dragged
                                                           : standin::PointerPhase::none;
        answers.pointer.clickCount = std::stoi(row[1]);
        answers.leftButtonDown = row[2] == "down";
        answers.doubleClick = row[3] == "minimize" ? standin::TitlebarDoubleClick::minimize
                              : row[3] == "none"   ? standin::TitlebarDoubleClick::none
                                                   : standin::TitlebarDoubleClick::zoom;
        h.platform.clearLog();
        EXPECT_EQ(kelvo_appkit_start_window_drag(h.host, 1), 1);
        std::vector<std::string> log = h.platform.log();
        if (row[4] == "none") {
            EXPECT_TRUE(log.empty()) << shown;
            continue;
        }
        ASSERT_EQ(log.size(), 1u) << shown;
        EXPECT_EQ(log[0], row[4] + " n=1") << shown;
    }
}

// A page may ask twice for one double click (its requests for both presses come after the second):
// the window acts on each press once, and again on the next double click.
TEST(HostWindows, ADoubleClickActsOncePerPress) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    auto& answers = h.platform.answers();
    answers.leftButtonDown = true;
    h.platform.clearLog();
    for (const std::uint32_t press : {700u, 700u, 900u, 900u, 0u, 0u}) {
        answers.pointer = {standin::PointerPhase::left_down, 2, press};
        EXPECT_EQ(kelvo_appkit_start_window_drag(h.host, 1), 1);
    }
    EXPECT_EQ(h.platform.log(), std::vector<std::string>(4, "window.zoom n=1"));
}

TEST(HostWindows, OperationsOnMissingWindowsAnswerZero) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    EXPECT_EQ(kelvo_appkit_create_window(h.host, 1, "again", 5, "", 0, 1, 1, 0, 0, 0, 0, 10, 10), 0);
    EXPECT_EQ(kelvo_appkit_focus_window(h.host, 7), 0);
    EXPECT_EQ(kelvo_appkit_close_window(h.host, 7), 0);
    EXPECT_EQ(kelvo_appkit_minimize_window(h.host, 7), 0);
    EXPECT_EQ(kelvo_appkit_start_window_drag(h.host, 7), 0);
    EXPECT_EQ(kelvo_appkit_set_window_content_min_size(h.host, 7, 10, 10), 0);
    EXPECT_EQ(h.platform.windows().size(), 1u);
}

TEST(HostWindows, ContentMinimumKeepsTheComponentsNotGiven) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    EXPECT_EQ(kelvo_appkit_set_window_content_min_size(h.host, 1, 300, 0), 1);
    EXPECT_EQ(kelvo_appkit_set_window_content_min_size(h.host, 1, -1, 200), 1);
    EXPECT_EQ(h.platform.windows()[0]->minWidth, 300);
    EXPECT_EQ(h.platform.windows()[0]->minHeight, 200);
}

TEST(HostWindows, DroppedPathsSkipEmptyPiecesAndPathsThatAreNotUtf8) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(0, [&] {
        auto window = h.platform.ref(*h.platform.windows()[0]);
        h.platform.userDropFiles(window, std::string_view("a\0\0b\0/\xff\0", 8));
        h.platform.userDropFiles(window, std::string_view("\0\xc3\0", 3));
    });
    h.platform.at(1, [&] { kelvo_appkit_stop(h.host); });
    h.run();
    auto drops = h.all(Kind::files_dropped);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0]->paths, std::string("a\0b", 3));
    EXPECT_EQ(drops[0]->event.windowId, 1u);
}

TEST(HostWindows, AppTimersFireByTheirIds) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(0, [&] {
        kelvo_appkit_start_timer(h.host, 7, 100'000'000, 0);
        kelvo_appkit_start_timer(h.host, 8, 300'000'000, 1);
        kelvo_appkit_start_timer(h.host, 9, 100'000'000, 0);
    });
    h.platform.at(50'000'000, [&] { kelvo_appkit_start_timer(h.host, 9, 500'000'000, 0); });
    h.platform.at(1'000'000'000, [&] {
        kelvo_appkit_cancel_timer(h.host, 8);
        EXPECT_TRUE(h.host->appTimers.empty());
    });
    h.run();
    std::vector<std::pair<std::uint64_t, std::uint64_t>> fired;
    for (const SeenEvent* timer : h.all(Kind::timer)) fired.emplace_back(timer->event.timerId, timer->atNs / 1'000'000);
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {
        {7, 100}, {8, 300}, {9, 550}, {8, 600}, {8, 900}};
    EXPECT_EQ(fired, expected);
}

}  // namespace
}  // namespace kelvo
