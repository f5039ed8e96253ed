#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;

TEST(HostFrames, RequestsWithinOneIntervalGiveOneFrame) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(5'000'000, [&] {
        scheduleFrame(*h.host);
        scheduleFrame(*h.host);
    });
    h.run();
    // The run's own request and the two later ones share the one pending timer.
    auto frames = h.all(HostEventKind::frame_requested);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0]->atNs, kFrameIntervalNs);
}

TEST(HostFrames, KeepaliveGivesSixHundredFramesAfterTheScheduledOne) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.at(0, [&] { scheduleBridgeFrames(*h.host); });
    h.run();
    auto frames = h.all(HostEventKind::frame_requested);
    ASSERT_EQ(frames.size(), 601u);
    EXPECT_EQ(frames.back()->atNs, 601 * kFrameIntervalNs);
    EXPECT_EQ(h.platform.activeTimers(), 0u);
}

TEST(HostFrames, AnotherKeepaliveRestartsTheCount) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    std::size_t framesBeforeRestart = 0;
    h.platform.at(0, [&] { scheduleBridgeFrames(*h.host); });
    h.platform.at(5'000'000'000, [&] {
        framesBeforeRestart = h.count(HostEventKind::frame_requested);
        scheduleBridgeFrames(*h.host);
    });
    h.run();
    EXPECT_EQ(h.count(HostEventKind::frame_requested), framesBeforeRestart + 601);
}

TEST(HostFrames, WakeCarriesTheWallClockAndStopsAfterShutdown) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.setWallClockStartNs(1'000);
    h.platform.at(2'000'000'000, [&] {
        kelvo_appkit_wake(h.host);
        kelvo_appkit_wake(h.host);
    });
    h.run();
    auto wakes = h.all(HostEventKind::wake);
    ASSERT_EQ(wakes.size(), 2u);  // wake-ups do not coalesce
    EXPECT_EQ(wakes[0]->event.timestampNs, 2'000'001'000u);

    // Deliveries that reach the main queue after shutdown are dropped.
    kelvo_appkit_stop(h.host);
    kelvo_appkit_wake(h.host);
    kelvo_appkit_request_frame(h.host);
    std::size_t frames = h.count(HostEventKind::frame_requested);
    h.platform.record().loop.run(h.platform.record().self);
    EXPECT_EQ(h.count(HostEventKind::wake), 2u);
    EXPECT_EQ(h.count(HostEventKind::frame_requested), frames);
}

// Eight threads ask for frames while the main thread is busy: one delivery for all of them.
TEST(HostFrameThreads, RequestsWhileTheMainThreadIsBusyCoalesce) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    std::size_t framesAtStart = 0;
    h.platform.at(0, [&] {
        framesAtStart = h.count(HostEventKind::frame_requested);
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 1000; ++i) kelvo_appkit_request_frame(h.host);
            });
        }
        for (std::thread& thread : threads) thread.join();
    });
    h.platform.at(1, [&] { EXPECT_EQ(h.count(HostEventKind::frame_requested), framesAtStart + 1); });
    h.run();
}

// The same while the main thread delivers: every request is answered by a frame that follows it,
// never more frames than requests, and one app_shutdown at the end.
TEST(HostFrameThreads, RequestsWhileTheLoopRunsStayBounded) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    h.platform.waitForPostsWhenIdle(true);
    std::thread driver;
    h.platform.at(0, [&] {
        driver = std::thread([&] {
            std::vector<std::thread> threads;
            for (int t = 0; t < 8; ++t) {
                threads.emplace_back([&] {
                    for (int i = 0; i < 1000; ++i) kelvo_appkit_request_frame(h.host);
                });
            }
            for (std::thread& thread : threads) thread.join();
            // A frame after the last request: every request has been answered once it arrives.
            kelvo_appkit_request_frame(h.host);
            h.platform.record().loop.post(h.platform.record().self, [&] { kelvo_appkit_stop(h.host); });
        });
    });
    h.run();
    driver.join();
    std::size_t frames = h.count(HostEventKind::frame_requested);
    EXPECT_GE(frames, 1u);
    EXPECT_LE(frames, 8002u);
    EXPECT_EQ(h.count(HostEventKind::app_shutdown), 1u);
    EXPECT_FALSE(h.host->crossThreadFramePending.load());
}

}  // namespace
}  // namespace kelvo
