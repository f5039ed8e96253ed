#include "support/test_platform.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kelvo {
namespace {

// A handler that hands every delivered event to `also`.
struct Recorder {
    std::function<void(const PlatformEvent&)> also;
};

Status recordEvent(void* context, const PlatformEvent& event) {
    static_cast<Recorder*>(context)->also(event);
    return {};
}

// Backends take frame requests and wakes from any thread (the dock-icon thread, automation) while
// their run loop delivers on the main thread; the platform the runtime tests use keeps that promise.
// requestFrame and wake from several threads while run delivers the script on this one.
TEST(TestPlatformThreads, FrameRequestsFromOtherThreadsWhileRunDelivers) {
    constexpr int kThreads = 4;
    constexpr int kRequestsPerThread = 200;
    constexpr int kTimers = 100;

    TestPlatform test;
    test.keepRunningWhenIdle(true);
    for (int i = 0; i < kTimers; ++i) test.script(TimerEvent{static_cast<std::uint64_t>(i), 0});

    int frames = 0;
    int wakes = 0;
    std::vector<std::uint64_t> timers;
    Recorder recorder;
    recorder.also = [&](const PlatformEvent& event) {
        if (std::holds_alternative<FrameRequestedEvent>(event)) ++frames;
        if (std::holds_alternative<WakeEvent>(event)) ++wakes;
        if (const auto* timer = std::get_if<TimerEvent>(&event)) timers.push_back(timer->timerId);
        if (frames == kThreads * kRequestsPerThread && wakes == kThreads && timers.size() == kTimers) test.quit();
    };

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    const Platform& platform = test.platform();
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&platform, &failures] {
            for (int i = 0; i < kRequestsPerThread; ++i) {
                if (!callNeeded<&PlatformSlots::requestFrame>(platform)) ++failures;
            }
            if (!callNeeded<&PlatformSlots::wake>(platform)) ++failures;
        });
    }
    Status status = test.run(&recordEvent, &recorder);
    for (auto& thread : threads) thread.join();

    ASSERT_TRUE(status);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(frames, kThreads * kRequestsPerThread);
    EXPECT_EQ(wakes, kThreads);
    ASSERT_EQ(timers.size(), static_cast<std::size_t>(kTimers));
    for (int i = 0; i < kTimers; ++i) EXPECT_EQ(timers[static_cast<std::size_t>(i)], static_cast<std::uint64_t>(i));
    EXPECT_EQ(test.callCount(PlatformSlot::requestFrame), static_cast<std::size_t>(kThreads * kRequestsPerThread));
    EXPECT_EQ(test.pendingEvents(), 0u);
}

}  // namespace
}  // namespace kelvo
