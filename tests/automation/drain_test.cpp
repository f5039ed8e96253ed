// The command queue and the drain: which files are commands, their order, the buffer limits,
// incomplete files, deletion, and what running a command records.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "automation/automation.hpp"
#include "automation_scenario.hpp"
#include "base/posix_io.hpp"
#include "runtime/bridge/router_state.hpp"
#include "support/golden.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using testing::AutomationScenario;
using testing::kAgeLimitNs;
using Strings = std::vector<std::string>;

using testing::joined;

TEST(CommandQueue, NamesStandForTheirNumbers) {
    for (const auto& row : testing::readTable("automation/command_names.txt")) {
        std::optional<std::uint64_t> number = commandFileNumber(row[0]);
        EXPECT_EQ(number ? std::to_string(*number) : "-", row[1]) << row[0];
    }
}

TEST(CommandQueue, TheSmallestNumberLeadsAndFoldersAndLinksAreNoCommands) {
    testing::TempFolder temp;
    AutomationServer server;
    ASSERT_TRUE(configureAutomationServer(server, posixIo(), temp.path(), "x", 0));
    std::array<char, kCommandFileNameBytes> name;
    EXPECT_FALSE(queueHeadName(server, name));

    std::filesystem::create_directory(temp.path("command-1.txt"));
    std::ofstream(temp.path("target")) << "wait\n";
    std::filesystem::create_symlink(temp.path("target"), temp.path("command-2.txt"));
    std::ofstream(temp.path("command-18446744073709551616.txt")) << "wait\n";
    std::ofstream(temp.path("Command-3.txt")) << "wait\n";
    EXPECT_FALSE(queueHeadName(server, name));

    std::ofstream(temp.path("command-10.txt")) << "wait\n";
    EXPECT_EQ(queueHeadName(server, name), "command-10.txt");
    std::ofstream(temp.path("command-9.txt")) << "wait\n";
    EXPECT_EQ(queueHeadName(server, name), "command-9.txt");

    ASSERT_TRUE(configureAutomationServer(server, posixIo(), temp.path("missing"), "x", 0));
    EXPECT_FALSE(queueHeadName(server, name));
}

TEST(CommandDrain, OneCommandRunsPerFrameInNumberOrderThenListingOrder) {
    AutomationScenario scenario;
    Strings ran;
    scenario.flow.onRuntimeEvent([&](const RuntimeEvent& event) {
        if (const auto* command = std::get_if<CommandEvent>(&event)) ran.emplace_back(command->name);
    });
    scenario.command("command-10.txt", "menu-command ten\n");
    scenario.command("command-2.txt", "menu-command two\n");
    scenario.command("command-1_000.txt", "menu-command thousand\n");
    scenario.command("command-7.txt", "menu-command seven\n");
    scenario.command("command-07.txt", "menu-command oh.seven\n");  // listed first
    scenario.command("command-.txt", "menu-command never\n");
    for (int frame = 0; frame < 7; ++frame) ASSERT_TRUE(scenario.frame());
    EXPECT_EQ(ran, (Strings{"two", "oh.seven", "seven", "ten", "thousand"}));
    EXPECT_TRUE(scenario.exists("command-.txt"));
    EXPECT_EQ(scenario.errors(), Strings{});
}

TEST(CommandDrain, ACommandMustBeShorterThanItsBuffer) {
    AutomationScenario scenario;
    const std::string longest = "wait" + std::string(kCommandBufferBytes - 1 - 5, ' ') + "\n";
    ASSERT_EQ(longest.size(), 16447u);
    scenario.command("command-1.txt", longest);
    ASSERT_TRUE(scenario.frame());
    EXPECT_FALSE(scenario.exists("command-1.txt"));
    EXPECT_EQ(scenario.errors(), Strings{});

    scenario.command("command-2.txt", longest + "\n");
    ASSERT_TRUE(scenario.frame());
    EXPECT_FALSE(scenario.exists("command-2.txt"));
    EXPECT_EQ(scenario.errors(), Strings{"automation.command CommandTooLarge"});
}

TEST(CommandDrain, IncompleteFilesWaitUntilTheyAgeOutOnEitherSideOfTheClock) {
    AutomationScenario scenario;
    MemoryIo& memory = scenario.flow.memory();
    const std::int64_t start = memory.wallClockNs();
    Strings ran;
    scenario.flow.onRuntimeEvent([&](const RuntimeEvent& event) {
        if (const auto* command = std::get_if<CommandEvent>(&event)) ran.emplace_back(command->name);
    });

    // Completed in time: it runs, and it held back the later command until then.
    scenario.command("command-1.txt", "menu-command first");
    scenario.command("command-2.txt", "menu-command second\n");
    memory.advanceClocks(kAgeLimitNs - 1);
    ASSERT_TRUE(scenario.frame());
    EXPECT_TRUE(ran.empty());
    scenario.command("command-1.txt", "menu-command first\n");
    ASSERT_TRUE(scenario.frame());
    ASSERT_TRUE(scenario.frame());
    EXPECT_EQ(ran, (Strings{"first", "second"}));

    // Never completed: gone once the limit is reached, without a record.
    scenario.command("command-3.txt", "");
    memory.advanceClocks(kAgeLimitNs - 1);
    ASSERT_TRUE(scenario.frame());
    EXPECT_TRUE(scenario.exists("command-3.txt"));
    memory.advanceClocks(1);
    ASSERT_TRUE(scenario.frame());
    EXPECT_FALSE(scenario.exists("command-3.txt"));

    // Stamped in the future (a clock set back): it ages out the same way.
    memory.setWallClockNs(start + 10 * kAgeLimitNs);
    scenario.command("command-4.txt", "wait");
    memory.setWallClockNs(start + 9 * kAgeLimitNs + 1);
    ASSERT_TRUE(scenario.frame());
    EXPECT_TRUE(scenario.exists("command-4.txt"));
    memory.setWallClockNs(start + 9 * kAgeLimitNs);
    ASSERT_TRUE(scenario.frame());
    EXPECT_FALSE(scenario.exists("command-4.txt"));
    EXPECT_EQ(scenario.errors(), Strings{});
}

TEST(CommandDrain, EachCommandRecordsWhatTheTableSays) {
    for (const std::string& line : testing::readLines("automation/command_outcomes.txt")) {
        const std::size_t arrow = line.find(" => ");
        ASSERT_NE(arrow, std::string::npos) << line;
        AutomationScenario scenario;
        scenario.command("command-1.txt", testing::unescapeCase(line.substr(0, arrow)));
        ASSERT_TRUE(scenario.frame()) << line;
        EXPECT_FALSE(scenario.exists("command-1.txt")) << line;
        EXPECT_EQ(joined(scenario.errors()), line.substr(arrow + 4)) << line;
    }
}

TEST(CommandDrain, CommandsBecomeTheEventsTheyName) {
    AutomationScenario scenario;
    Strings commands;
    scenario.flow.onRuntimeEvent([&](const RuntimeEvent& event) {
        if (const auto* command = std::get_if<CommandEvent>(&event)) {
            commands.push_back(testing::cat(command->name, " ", command->windowId, " ", command->sourceLabel, " ",
                                            static_cast<int>(command->source)));
        }
    });
    scenario.command("command-1.txt", "resize 640 480 2\n");
    scenario.command("command-2.txt", "native-command save {\"to\": \"a b\"}\n");
    scenario.command("command-3.txt", "shortcut copy now\n");
    for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(scenario.frame());
    const RuntimeWindow& window = scenario.flow.runtime().windows[0];
    EXPECT_EQ(window.frame.width, 640.0f);
    EXPECT_EQ(window.scale, 2.0f);
    EXPECT_TRUE(scenario.flow.pageEvents().front().starts_with(R"(1 resize {"width":640,"height":480,"scale":2,)"));
    EXPECT_EQ(commands, (Strings{"save 1 {\"to\": \"a b\"} 5", "copy 1  2"}));
}

TEST(CommandDrain, ProfileOnStartsFreshStatisticsOnlyWhenItWasOff) {
    AutomationScenario scenario;
    FrameProfile& profile = scenario.flow.runtime().frameProfile;
    auto run = [&](std::string_view text) {
        scenario.command("command-1.txt", text);
        ASSERT_TRUE(scenario.frame());
    };
    run("profile on\n");
    profile.recordNs(3, 5000);
    run("profile on\n");
    EXPECT_EQ(profile.stats(3).total, 1u);
    run("profile off\n");
    profile.recordNs(3, 5000);
    EXPECT_EQ(profile.stats(3).total, 1u) << "nothing is recorded while off";
    run("profile on\n");
    EXPECT_TRUE(profile.enabled);
    EXPECT_EQ(profile.stats(3).total, 0u);
    EXPECT_EQ(scenario.flow.runtime().lastFrame.dirtyRegionCount, 1u);
}

TEST(CommandDrain, ACommandIsDeletedBeforeItRunsAndAnUnopenableOneIsRecordedOnce) {
    AutomationScenario scenario;
    MemoryIo& memory = scenario.flow.memory();
    Strings ran;
    scenario.flow.onRuntimeEvent([&](const RuntimeEvent& event) {
        if (const auto* command = std::get_if<CommandEvent>(&event)) ran.emplace_back(command->name);
    });
    memory.failOn(IoOp::delete_file, "/auto/command-1.txt", Error::AccessDenied);
    scenario.command("command-1.txt", "menu-command once\n");
    ASSERT_TRUE(scenario.frame());
    EXPECT_TRUE(ran.empty()) << "a command that could not be deleted does not run";
    ASSERT_TRUE(scenario.frame());
    EXPECT_EQ(ran, Strings{"once"});

    memory.failOn(IoOp::open_file, "/auto/command-2.txt", Error::AccessDenied, 0, 0);
    memory.failOn(IoOp::delete_file, "/auto/command-2.txt", Error::AccessDenied, 0, 1);
    scenario.command("command-2.txt", "menu-command never\n");
    scenario.command("command-3.txt", "menu-command after\n");
    for (int frame = 0; frame < 3; ++frame) ASSERT_TRUE(scenario.frame());
    EXPECT_FALSE(scenario.exists("command-2.txt"));
    EXPECT_EQ(ran, (Strings{"once", "after"}));
    EXPECT_EQ(scenario.errors(),
              (Strings{"automation.command AccessDenied", "automation.command AccessDenied command-2.txt"}));
}

TEST(CommandDrain, BridgeRepliesGoOnlyToTheReplyFileAlsoWhenDeferred) {
    AutomationScenario scenario;
    Runtime& runtime = scenario.flow.runtime();
    std::optional<AsyncBridgeResponder> held;
    auto later = [](void* context, const BridgeInvocation&, AsyncBridgeResponder responder) -> Status {
        *static_cast<std::optional<AsyncBridgeResponder>*>(context) = responder;
        return {};
    };
    const BridgeCommandRule rules[] = {{"app.later", {}, {}}};
    const AsyncBridgeCommandHandler handlers[] = {{"app.later", &held, later}};
    runtime.bridgeConfig = BridgeConfig{Policy{{}, rules, true}, {}, handlers};

    scenario.command("command-1.txt", "bridge {\"id\":\"1\",\"command\":\"kelvo.unknown\"}\n");
    scenario.command("command-2.txt", "bridge {\"id\":\"2\",\"command\":\"app.later\"}\n");
    ASSERT_TRUE(scenario.frame());
    EXPECT_EQ(scenario.file("bridge-response.txt").substr(0, 20), R"({"id":"1","ok":false)");
    ASSERT_TRUE(scenario.frame());
    ASSERT_TRUE(held);
    ASSERT_TRUE(held->complete(R"({"id":"2","ok":true,"result":7})"));
    EXPECT_EQ(scenario.file("bridge-response.txt"), R"({"id":"2","ok":true,"result":7})");
    EXPECT_EQ(scenario.flow.platform().callCount(PlatformSlot::completeWebViewBridge), 0u);
    EXPECT_EQ(ioPathStat(runtime.io, "/auto/bridge-response.txt")->mode, kAutomationFileMode);

    // A page's own request is still answered in the page.
    ASSERT_TRUE(scenario.flow.dispatch(BridgeMessage{R"({"id":"3","command":"x"})", "vexa://app", 1, "main"}));
    EXPECT_EQ(scenario.flow.platform().callCount(PlatformSlot::completeWebViewBridge), 1u);
}

TEST(CommandDrain, SnapshotsAreWrittenPrivatelyAndWholeAndOnlyAfterAChange) {
    AutomationScenario scenario;
    MemoryIo& memory = scenario.flow.memory();
    ASSERT_TRUE(scenario.frame());  // the start left the state dirty
    const Io& io = scenario.flow.runtime().io;
    EXPECT_EQ(ioPathStat(io, "/auto/snapshot.txt")->mode, kAutomationFileMode);
    EXPECT_EQ(memory.callCount(IoOp::rename, "/auto/windows.txt"), 1u);
    EXPECT_FALSE(memory.exists("/auto/windows.txt.tmp"));
    EXPECT_EQ(scenario.file("windows.txt"), "window @w1 \"Vostra Studio\" focused=true\n");

    // A stale temporary file (or a link planted under its name) is replaced, never written through.
    memory.putFile("/auto/snapshot.txt.tmp", "stale");
    scenario.command("command-1.txt", "reload\n");
    ASSERT_TRUE(scenario.frame());
    EXPECT_EQ(memory.callCount(IoOp::rename, "/auto/windows.txt"), 2u);
    EXPECT_EQ(scenario.file("snapshot.txt").substr(0, 11), "ready=true ");

    scenario.command("command-2.txt", "wait\n");
    ASSERT_TRUE(scenario.frame());
    EXPECT_EQ(memory.callCount(IoOp::rename, "/auto/windows.txt"), 2u) << "nothing changed, nothing written";
}

TEST(CommandDrain, TheFolderIsCreatedForTheUserAlone) {
    testing::TempFolder temp;
    FlowScenario flow;
    flow.runtime().io = posixIo();
    auto automation = std::make_unique<Automation>();
    const std::string folder = temp.path("deep/auto");
    ASSERT_TRUE(configureAutomationServer(automation->server, posixIo(), folder, "Studio", 1));
    attachAutomation(flow.runtime(), *automation);
    flow.start();
    markStateDirty(flow.runtime());
    ASSERT_TRUE(flow.dispatch(FrameRequestedEvent{}));
    EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::status(folder + "/accessibility.txt").permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace kelvo
