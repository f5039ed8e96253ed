// The watcher thread (run under ThreadSanitizer too: the suite names end in "Threads").

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "automation/command_watcher.hpp"
#include "base/memory_io.hpp"
#include "base/posix_io.hpp"
#include "runtime/runtime_fixture.hpp"
#include "runtime/trace_capture.hpp"
#include "support/temp_folder.hpp"
#include "support/test_platform.hpp"

namespace kelvo {
namespace {

using Clock = std::chrono::steady_clock;

struct WatcherRig {
    WatcherRig() { runtime->platform = platform.platform(); }

    TestPlatform platform;
    testing::RuntimePtr runtime = testing::makeRuntime();
    AutomationServer server;
};

TEST(AutomationWatcherThreads, AsksForFramesWhileACommandWaitsAndStopsWithinOnePoll) {
    testing::TempFolder temp;
    WatcherRig rig;
    ASSERT_TRUE(configureAutomationServer(rig.server, posixIo(), temp.path(), "x", 0));
    AutomationWatcher watcher;
    ASSERT_TRUE(startAutomationWatcher(*rig.runtime, rig.server, watcher));

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(rig.platform.pendingEvents(), 0u) << "an empty folder asks for nothing";
    std::ofstream(temp.path("command-1.txt")) << "wait\n";
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (rig.platform.pendingEvents() < 2 && Clock::now() < deadline) std::this_thread::yield();
    EXPECT_GE(rig.platform.pendingEvents(), 2u) << "it keeps asking while the command waits";

    const Clock::time_point stopped = Clock::now();
    stopAutomationWatcher(watcher);
    EXPECT_LT(Clock::now() - stopped, std::chrono::milliseconds(20));
    EXPECT_FALSE(watcher.running);
    EXPECT_TRUE(std::ifstream(temp.path("command-1.txt")).good()) << "the watcher never consumes a command";
}

TEST(AutomationWatcherThreads, WithoutACrossThreadFrameRequestNoThreadStarts) {
    WatcherRig rig;
    testing::TraceCapture traces;
    traces.attach(*rig.runtime);
    rig.platform.emptySlot(PlatformSlot::requestFrame);
    rig.runtime->platform = rig.platform.platform();
    ASSERT_TRUE(configureAutomationServer(rig.server, posixIo(), "/nowhere", "x", 0));
    AutomationWatcher watcher;
    EXPECT_FALSE(startAutomationWatcher(*rig.runtime, rig.server, watcher));
    EXPECT_EQ(traces.names(), std::vector<std::string>{"automation.watcher_unsupported"});
}

TEST(AutomationWatcherThreads, AThreadThatEndedOnItsOwnIsStillStoppedSafely) {
    MemoryIo memory;
    memory.failOn(IoOp::sleep, "", Error::Unexpected, 0, 0);
    WatcherRig rig;
    ASSERT_TRUE(configureAutomationServer(rig.server, memoryIo(memory), "/auto", "x", 0));
    AutomationWatcher watcher;
    ASSERT_TRUE(startAutomationWatcher(*rig.runtime, rig.server, watcher));
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    while (memory.callCount(IoOp::sleep) == 0 && Clock::now() < deadline) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stopAutomationWatcher(watcher);
    EXPECT_EQ(memory.callCount(IoOp::sleep), 1u) << "a failed sleep ends the loop";
}

}  // namespace
}  // namespace kelvo
