#include "runtime/flow/launch_timing.hpp"

#include <gtest/gtest.h>

#include <string>

#include "base/env.hpp"
#include "base/memory_io.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

// Each test starts with the switch unread, a fixed clock and standard error captured.
class LaunchTiming : public ::testing::Test {
protected:
    void SetUp() override {
        clock_.setWallClockNs(1'700'000'000'123'456'789);
        resetLaunchTimingForTests(memoryIo(clock_));
    }
    void TearDown() override {
        setProcessEnv(nullptr);
        resetLaunchTimingForTests();
    }
    void useEnv(EnvMap env) {
        env_ = std::move(env);
        setProcessEnv(&env_);
    }

    MemoryIo clock_;
    EnvMap env_;
    ScopedStderrCapture captured_;
};

TEST_F(LaunchTiming, AnEmptyValueTurnsTimingOnAndOnceMarksWriteOnce) {
    useEnv(EnvMap::fromList({{"KELVO_WINDOW_TIMING", ""}}));
    for (int i = 0; i < 3; ++i) lapOnce(LaunchMark::first_display_list_emitted);
    lapLaunch(LaunchMark::app_start);
    clock_.advanceClocks(1);
    lapLaunch(LaunchMark::app_start);
    lapOnce(LaunchMark::first_present_recorded);
    EXPECT_EQ(captured_.text(),
              "kelvo: launch first_display_list_emitted wall_ns=1700000000123456789\n"
              "kelvo: launch app_start wall_ns=1700000000123456789\n"
              "kelvo: launch app_start wall_ns=1700000000123456790\n"
              "kelvo: launch first_present_recorded wall_ns=1700000000123456790\n");
}

TEST_F(LaunchTiming, TheVariableIsReadOnlyOnce) {
    useEnv(EnvMap::fromList({{"HOME", "/home/me"}}));
    lapOnce(LaunchMark::first_plan_done);
    lapLaunch(LaunchMark::scene_loaded);
    useEnv(EnvMap::fromList({{"KELVO_WINDOW_TIMING", "1"}}));
    lapOnce(LaunchMark::first_plan_done);
    lapLaunch(LaunchMark::scene_loaded);
    EXPECT_FALSE(launchTimingOn());
    EXPECT_EQ(captured_.text(), "");

    resetLaunchTimingForTests(memoryIo(clock_));
    EXPECT_TRUE(launchTimingOn());
    useEnv(EnvMap());
    lapOnce(LaunchMark::first_plan_begin);
    EXPECT_EQ(captured_.text(), "kelvo: launch first_plan_begin wall_ns=1700000000123456789\n");
}

}  // namespace
}  // namespace kelvo
