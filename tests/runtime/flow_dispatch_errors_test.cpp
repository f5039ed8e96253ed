#include <gtest/gtest.h>

#include <string>

#include "flow_scenario.hpp"
#include "runtime/flow/dispatch_errors.hpp"

namespace kelvo {
namespace {

TEST(DispatchErrorLog, TheSeventeenthErrorDropsTheOldest) {
    DispatchErrorLog log;
    for (int i = 1; i <= 17; ++i) {
        appendDispatchError(log, "timer", Error::Unexpected, std::string("e").append(std::to_string(i)),
                            i == 17 ? -5 : 1000 + i);
    }
    EXPECT_EQ(log.total, 17u);
    ASSERT_EQ(log.recent.size(), 16u);
    EXPECT_EQ(log.recent[0].detailText(), "e2");
    EXPECT_EQ(log.recent[15].detailText(), "e17");
    EXPECT_EQ(log.recent[0].timeNs, 1002u);
    EXPECT_EQ(log.recent[15].timeNs, 0u);  // a clock before 1970 reads as 0
}

TEST(DispatchErrorLog, DetailKeepsAtMost48BytesAndNeverSplitsACharacter) {
    const std::string ascii(100, 'd');
    const std::string straddling = std::string(47, 'a') + "\xC3\xA9" + "tail";
    const std::string exact = std::string(46, 'a') + "\xC3\xA9";
    const std::pair<std::string, std::string> cases[] = {
        {ascii, ascii.substr(0, 48)}, {straddling, std::string(47, 'a')}, {exact, exact}};
    for (const auto& [detail, kept] : cases) {
        DispatchErrorLog log;
        appendDispatchError(log, "command", Error::InvalidCommand, detail, 5);
        EXPECT_EQ(log.recent[0].detailText(), kept);
    }
}

TEST(RecordDispatchError, ARefusedOrMissingSinkLosesOnlyTheTrace) {
    FlowScenario scenario;
    scenario.refuseTraces(true);
    recordDispatchErrorDetail(scenario.runtime(), "timer", Error::Unexpected);
    recordDispatchErrorDetail(scenario.runtime(), "timer", Error::Unexpected);
    EXPECT_EQ(scenario.runtime().trace.droppedRecords, 2u);
    scenario.detachTraceSink();
    scenario.runtime().stateDirty = false;
    recordDispatchErrorDetail(scenario.runtime(), "gpu_surface_input", Error::ViewNotFound, "detail");
    EXPECT_EQ(scenario.runtime().trace.droppedRecords, 2u);
    EXPECT_EQ(scenario.runtime().dispatchErrors.total, 3u);
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent[2].scope, "gpu_surface_input");
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent[2].errorName(), "ViewNotFound");
    EXPECT_TRUE(scenario.runtime().stateDirty);
}

}  // namespace
}  // namespace kelvo
