#include "support/test_platform.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using Kind = PlatformEventKind;

// A handler that records what it saw and can be told to fail at one kind.
struct Recorder {
    std::vector<std::string> seen;
    std::optional<Kind> failAt;
    Error failWith = Error::InvalidCommand;
    std::function<void(const PlatformEvent&)> also;
};

Status recordEvent(void* context, const PlatformEvent& event) {
    auto* recorder = static_cast<Recorder*>(context);
    std::string line(platformEventName(event));
    if (const auto* message = std::get_if<BridgeMessage>(&event)) line.append(" ").append(message->message);
    if (const auto* drop = std::get_if<FilesDroppedEvent>(&event)) {
        for (std::string_view path : drop->paths) line.append(" ").append(path);
    }
    recorder->seen.push_back(line);
    if (recorder->also) recorder->also(event);
    if (recorder->failAt == platformEventKind(event)) return fail(recorder->failWith);
    return {};
}

Status run(TestPlatform& test, Recorder& recorder) { return test.run(&recordEvent, &recorder); }

TEST(TestPlatform, DeliversTheScriptInOrderWithItsOwnCopies) {
    TestPlatform test;
    std::string message = R"({"id":"1"})";
    std::string path = "/tmp/a.vrs";
    std::vector<std::string_view> paths = {path};
    test.script({AppStartEvent{}, BridgeMessage{message, "vexa://app", 1, "main"}});
    test.script(FilesDroppedEvent{1, "", paths, 0, 0, false});
    message.assign("overwritten");
    path.assign("overwritten");

    Recorder recorder;
    ASSERT_TRUE(run(test, recorder));
    EXPECT_EQ(recorder.seen,
              (std::vector<std::string>{"app_start", R"(bridge_message {"id":"1"})", "files_dropped /tmp/a.vrs"}));
    EXPECT_EQ(test.deliveredKinds(), (std::vector<Kind>{Kind::app_start, Kind::bridge_message, Kind::files_dropped}));
    EXPECT_EQ(test.pendingEvents(), 0u);
    // Nothing left: a second run returns at once.
    EXPECT_TRUE(run(test, recorder));
    EXPECT_EQ(recorder.seen.size(), 3u);
}

TEST(TestPlatform, HandlerErrorStopsTheRunWithTheStandardErrorLine) {
    TestPlatform test;
    test.script({AppStartEvent{}, TimerEvent{7, 1}, WakeEvent{}});
    Recorder recorder;
    recorder.failAt = Kind::timer;
    ScopedStderrCapture capture;
    Status status = run(test, recorder);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), Error::CallbackFailed);
    EXPECT_EQ(capture.text(), "platform callback failed: InvalidCommand (event timer)\n");
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{"app_start", "timer"}));
    EXPECT_EQ(test.pendingEvents(), 1u);
}

TEST(TestPlatform, ShutdownEndsTheRunAndEventsCausedByAHandlerFollowIt) {
    TestPlatform test;
    test.script({AppStartEvent{}, TimerEvent{1, 1}, AppShutdownEvent{}, WakeEvent{}});
    Recorder recorder;
    const Platform& platform = test.platform();
    recorder.also = [&](const PlatformEvent& event) {
        if (std::holds_alternative<AppStartEvent>(event)) {
            ASSERT_TRUE(callNeeded<&PlatformSlots::requestFrame>(platform));
            ASSERT_TRUE(callNeeded<&PlatformSlots::wake>(platform));
        }
    };
    EXPECT_TRUE(run(test, recorder));
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{"app_start", "timer", "app_shutdown"}));
    EXPECT_EQ(test.pendingEvents(), 3u);

    test.stopAfterShutdown(false);
    test.script({AppShutdownEvent{}, TimerEvent{2, 2}});
    EXPECT_TRUE(run(test, recorder));
    EXPECT_EQ(recorder.seen, (std::vector<std::string>{"app_start", "timer", "app_shutdown", "wake", "frame_requested",
                                                       "wake", "app_shutdown", "timer"}));
}

// Text measuring answers by bytes; canvas tests rely on it.
TEST(TestPlatform, MeasuresTextByBytesAndFailsAsTold) {
    TestPlatform test;
    const Platform& platform = test.platform();
    float advances[4] = {9, 9, 9, 9};
    ASSERT_TRUE(platform.slots.measureTextAdvances(platform.services, 1, 10, "a\xc3\xa9", std::span(advances)));
    EXPECT_EQ(std::vector<float>(advances, advances + 3), (std::vector<float>{5, 10, 0}));
    test.failSlot(PlatformSlot::measureText, Error::Unexpected);
    EXPECT_EQ(platform.slots.measureText(platform.services, 1, 10, "a"), -1.0f);
    EXPECT_EQ(test.lastCall(PlatformSlot::measureText)->args, "fontId=1 size=10 text=a");
}

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
    Status status = run(test, recorder);
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
