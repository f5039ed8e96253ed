#include <gtest/gtest.h>

#include <cstdlib>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/mac_platform.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using testing::SeenEvent;
using Kind = HostEventKind;

TEST(HostLifecycle, RunReportsStartThenTheWindowThenActivation) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(1, [&] { kelvo_appkit_stop(h.host); });
    h.run();
    std::vector<Kind> kinds;
    for (const auto& seen : h.events) kinds.push_back(seen.kind);
    const std::vector<Kind> expected = {
        Kind::app_start,
        Kind::appearance_changed,
        Kind::surface_resized,
        Kind::window_frame_changed,
        // window 1 became key: its frame and size, the application's activation, then the
        // deferred frame and size
        Kind::window_frame_changed,
        Kind::surface_resized,
        Kind::app_activated,
        Kind::window_frame_changed,
        Kind::surface_resized,
        Kind::app_shutdown,
    };
    EXPECT_EQ(kinds, expected);
    const SeenEvent& frame = h.events[3];
    EXPECT_EQ(frame.label, "main");
    EXPECT_EQ(frame.event.open, 1);
    EXPECT_EQ(frame.event.windowId, 1u);
    EXPECT_EQ(h.platform.windows()[0]->title, "Vostra Studio");
    EXPECT_TRUE(h.platform.windows()[0]->visible);
}

TEST(HostLifecycle, SigtermEndsTheLoopWithOneShutdown) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(3'000'000'000, [&] {
        h.platform.raiseTerminate();
        h.platform.raiseTerminate();
    });
    h.run();
    EXPECT_EQ(h.count(Kind::app_shutdown), 1u);
    EXPECT_EQ(h.events.back().kind, Kind::app_shutdown);
    EXPECT_EQ(h.platform.logCount("loop.quit"), 1u);
    EXPECT_EQ(h.platform.logCount("signal.unwatch SIGTERM"), 1u);
    // Quitting later finds the shutdown done.
    kelvo_appkit_stop(h.host);
    EXPECT_EQ(h.count(Kind::app_shutdown), 1u);
}

TEST(HostLifecycle, StopDuringAppStartRunsNoLoop) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(Kind::app_start)) kelvo_appkit_stop(h.host);
    };
    h.run();
    ASSERT_EQ(h.events.size(), 2u);
    EXPECT_EQ(h.events[1].kind, Kind::app_shutdown);
    EXPECT_EQ(h.deepest, 1);  // the shutdown waited for app start's handling to end
    EXPECT_EQ(h.platform.logCount("loop.run"), 0u);
    EXPECT_EQ(h.platform.activeTimers(), 0u);
}

TEST(HostLifecycle, HandlerFailingAtStartEndsRunWithCallbackFailed) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    MacPlatform mac;
    mac.host = h.host;
    mac.app.appName = "Vostra Studio";
    Platform platform;
    fillMacPlatform(platform, mac);
    std::vector<PlatformEventKind> seen;
    auto handler = [](void* context, const PlatformEvent& event) -> Status {
        static_cast<std::vector<PlatformEventKind>*>(context)->push_back(platformEventKind(event));
        if (platformEventKind(event) == PlatformEventKind::app_start) return fail(Error::WindowNotFound);
        return {};
    };
    ScopedStderrCapture captured;
    Status ran = platform.run(platform.context, handler, &seen);
    ASSERT_FALSE(ran);
    EXPECT_EQ(ran.error(), Error::CallbackFailed);
    EXPECT_EQ(captured.text(), "platform callback failed: WindowNotFound (event app_start)\n");
    EXPECT_EQ(seen, (std::vector{PlatformEventKind::app_start, PlatformEventKind::app_shutdown}));
    EXPECT_EQ(h.platform.logCount("loop.run"), 0u);
}

TEST(HostLifecycle, ClosingTheLastWindowEndsTheRunOnce) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(0, [&] {
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Tools", 5, "tools", 5, 1, 1, 0, 0, 10, 10, 300, 200), 1);
    });
    h.platform.at(1'000'000'000, [&] { h.platform.userClose(h.platform.ref(*h.platform.windows()[0])); });
    h.platform.at(2'000'000'000, [&] {
        EXPECT_EQ(h.count(Kind::app_shutdown), 0u);
        // After the main window closed, window 1 no longer reaches it.
        EXPECT_EQ(kelvo_appkit_focus_window(h.host, 1), 0);
        h.platform.userClose(h.platform.ref(*h.platform.windows()[1]));
        h.platform.userClose(h.platform.ref(*h.platform.windows()[1]));
    });
    h.run();
    auto frames = h.all(Kind::window_frame_changed);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[frames.size() - 2]->event.open, 0);
    EXPECT_EQ(frames.back()->event.windowId, 2u);
    EXPECT_EQ(frames.back()->event.open, 0);
    EXPECT_EQ(frames.back()->label, "tools");
    EXPECT_EQ(h.count(Kind::app_shutdown), 1u);
    EXPECT_EQ(h.events.back().kind, Kind::app_shutdown);
    EXPECT_EQ(h.platform.logCount("loop.quit"), 1u);
    EXPECT_TRUE(h.platform.windows()[0]->destroyed);
}

// A window the runtime closes while it handles an event reports its closing once that handling
// is over; frame requests that wait meanwhile are merged.
TEST(HostLifecycle, EventsDuringAHandlerWaitInOrder) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Tools", 5, "tools", 5, 1, 1, 0, 0, 10, 10, 300, 200), 1);
    std::vector<std::string> messages;
    kelvo_appkit_set_bridge_callback(
        h.host,
        [](void* context, std::uint64_t, const char*, std::uint64_t, const char* message, std::uint64_t length,
           const char*,
           std::uint64_t) { static_cast<std::vector<std::string>*>(context)->emplace_back(message, length); },
        &messages);
    std::size_t handledAt = 0;
    h.onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(Kind::appearance_changed)) return;
        handledAt = h.events.size();
        emitEvent(*h.host, hostEventOfKind(Kind::frame_requested));
        std::string request = R"({"id":"1"})";
        emitBridgeMessage(*h.host, 1, "main", request, "vexa://app");
        request.assign("overwritten");  // the waiting message keeps its own copy
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(kelvo_appkit_close_window(h.host, 2), 1);
        emitEvent(*h.host, hostEventOfKind(Kind::frame_requested));
        kelvo_appkit_stop(h.host);
        EXPECT_EQ(h.events.size(), handledAt);
    };
    h.run();
    EXPECT_EQ(h.deepest, 1);
    ASSERT_EQ(h.events.size(), handledAt + 3);
    EXPECT_EQ(h.events[handledAt].kind, Kind::frame_requested);
    EXPECT_EQ(h.events[handledAt + 1].kind, Kind::window_frame_changed);
    EXPECT_EQ(h.events[handledAt + 1].label, "tools");
    EXPECT_EQ(h.events[handledAt + 2].kind, Kind::app_shutdown);
    EXPECT_EQ(messages, (std::vector<std::string>{R"({"id":"1"})"}));
}

TEST(HostLifecycle, LaunchMarksInOrder) {
    ::setenv("KELVO_WINDOW_TIMING", "", 1);
    ScopedStderrCapture captured;
    {
        HostHarness h;
        h.platform.setWallClockStartNs(42);
        ASSERT_NE(h.create(), nullptr);
    }
    ::unsetenv("KELVO_WINDOW_TIMING");
    EXPECT_EQ(captured.text(),
              "kelvo: launch host_init wall_ns=42\n"
              "kelvo: launch nsapp_ready wall_ns=42\n"
              "kelvo: launch fonts_registered wall_ns=42\n"
              "kelvo: launch menu_built wall_ns=42\n"
              "kelvo: launch app_configured wall_ns=42\n"
              "kelvo: launch window_chrome_ready wall_ns=42\n");
}

TEST(HostLifecycle, CreationDefaultsAndFailures) {
    HostHarness h;
    h.platform.answers().iconFilesReadable = false;
    KelvoAppKitHost* host = kelvo_appkit_create(nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, 1, nullptr, 0, nullptr,
                                                0, "icon.png", 8, nullptr, 0, 0, 0, 800, 600, 0, 1, 0, 0);
    ASSERT_NE(host, nullptr);
    h.host = host;
    EXPECT_EQ(h.platform.log()[0], "loop.open name=kelvo display=kelvo");
    EXPECT_EQ(h.platform.windows()[0]->title, "kelvo");
    EXPECT_EQ(host->windowLabel, "main");
    EXPECT_FALSE(h.platform.appIconSize().has_value());

    // Invalid UTF-8 counts as no text.
    const std::string_view origins = " vexa://app \n\n\t https://a.example/*\r\n";
    kelvo_appkit_set_security_policy(host, origins.data(), origins.size(), "\xff", 1, 1);
    EXPECT_EQ(host->web.policy.allowedNavigationOrigins,
              (std::vector<std::string>{"vexa://app", "https://a.example/*"}));
    EXPECT_TRUE(host->web.policy.allowedExternalUrls.empty());
    kelvo_appkit_set_security_policy(host, " \n \n", 4, nullptr, 0, 0);
    EXPECT_EQ(host->web.policy.allowedNavigationOrigins, (std::vector<std::string>{"vexa://app", "vexa://inline"}));

    HostHarness noDisplay;
    noDisplay.platform.answers().canOpen = false;
    EXPECT_EQ(noDisplay.create(), nullptr);
}

}  // namespace
}  // namespace kelvo
