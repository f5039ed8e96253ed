// The bridge router: which policy decides, the application's command table, replies for bad
// requests, the delivery of replies, traces, re-entry and the automation reply file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/memory_io.hpp"
#include "bridge_scenario.hpp"
#include "runtime/flow/dispatch.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::BridgeScenario;
using testing::cat;
using testing::errorReply;
using testing::okReply;
using testing::request;
using Strings = std::vector<std::string>;

std::vector<std::string_view> words(const std::string& cell) {
    std::vector<std::string_view> out;
    if (cell == "-") return out;
    for (std::size_t start = 0; start <= cell.size();) {
        std::size_t end = std::min(cell.find(',', start), cell.size());
        out.push_back(std::string_view(cell).substr(start, end - start));
        start = end + 1;
    }
    return out;
}

TEST(BuiltinRoute, ThePolicyInForceDecidesWhoMayCallEachFamily) {
    constexpr std::string_view kAppOnly[] = {"vexa://app"};
    constexpr std::string_view kWindowWord[] = {"window"};
    const BridgeCommandRule rules[] = {{"kelvo.dialog.openFile", {}, kAppOnly}, {"kelvo.window.list", kWindowWord, {}}};
    auto rows = testing::readTable("bridge/builtin_permissions.txt");
    ASSERT_GT(rows.size(), 30u);
    for (const auto& row : rows) {
        BridgeScenario scenario;
        if (row[0] == "rules") scenario.runtime->builtinPolicy = Policy{{}, rules, true};
        scenario.runtime->securityChecks = row[1] == "on";
        std::vector<std::string_view> granted = words(row[2]);
        scenario.runtime->securityPolicy.granted = granted;
        std::string origin = row[4] == "-" ? "" : row[4];
        std::string line = cat(row[0], " ", row[1], " ", row[2], " ", row[3], " ", row[4]);

        ASSERT_TRUE(scenario.send(request("7", row[3], "{}"), origin)) << line;
        std::string reply = scenario.lastReply();
        if (row[5] == "permitted") {
            EXPECT_EQ(reply.find("permission_denied"), std::string::npos) << line << "\n" << reply;
        } else {
            std::string message = row[6];
            for (std::size_t i = 7; i < row.size(); ++i) message += " " + row[i];
            EXPECT_EQ(reply, errorReply("7", "permission_denied", message)) << line;
            EXPECT_TRUE(scenario.serviceCalls().empty()) << line;
        }
        EXPECT_TRUE(scenario.runtime->stateDirty) << line;
        EXPECT_TRUE(scenario.traces.lines.empty()) << line;  // the built-in route is never traced
    }
}

// Application commands for the router tests: each handler's behaviour is in its name.
struct AppCommands {
    std::vector<BridgeInvocation> seen;
    std::string bigResult;
    BridgeScenario* scenario = nullptr;
    std::string innerReply;

    static Result<std::string_view> echo(void* context, const BridgeInvocation& invocation, std::span<char> output) {
        static_cast<AppCommands*>(context)->seen.push_back(invocation);
        std::copy(invocation.payload.begin(), invocation.payload.end(), output.begin());
        return std::string_view(output.data(), invocation.payload.size());
    }
    static Result<std::string_view> fails(void*, const BridgeInvocation&, std::span<char>) {
        return fail(Error::InvalidExternalUrl);
    }
    static Result<std::string_view> badJson(void*, const BridgeInvocation&, std::span<char>) {
        return std::string_view("[1, 2");
    }
    static Result<std::string_view> nothing(void*, const BridgeInvocation&, std::span<char>) {
        return std::string_view();
    }
    static Result<std::string_view> big(void* context, const BridgeInvocation&, std::span<char> output) {
        const std::string& text = static_cast<AppCommands*>(context)->bigResult;
        std::copy(text.begin(), text.end(), output.begin());
        return std::string_view(output.data(), text.size());
    }
    // Sends a message of its own while its own is being handled.
    static Result<std::string_view> reenters(void* context, const BridgeInvocation&, std::span<char>) {
        auto* self = static_cast<AppCommands*>(context);
        if (!self->scenario->send(request("inner", "app.echo", "1"), "vexa://app", 1, "side"))
            return fail(Error::Unexpected);
        return std::string_view("\"outer\"");
    }
};

class ApplicationRoute : public ::testing::Test {
protected:
    void SetUp() override {
        commands.scenario = &scenario;
        scenario.runtime->bridgeConfig = BridgeConfig{Policy{{}, rules, true}, handlers, {}};
    }

    static constexpr std::string_view kAppOrigin[] = {"vexa://app"};
    static constexpr std::string_view kFilesWord[] = {"files"};
    const BridgeCommandRule rules[7] = {
        {"app.echo", {}, kAppOrigin},    {"app.ruleOnly", {}, {}}, {"app.fails", {}, {}},    {"app.badJson", {}, {}},
        {"app.nothing", kFilesWord, {}}, {"app.big", {}, {}},      {"app.reenters", {}, {}},
    };
    AppCommands commands;
    const BridgeCommandHandler handlers[7] = {
        {"app.echo", &commands, &AppCommands::echo},         {"app.handlerOnly", &commands, &AppCommands::echo},
        {"app.fails", &commands, &AppCommands::fails},       {"app.badJson", &commands, &AppCommands::badJson},
        {"app.nothing", &commands, &AppCommands::nothing},   {"app.big", &commands, &AppCommands::big},
        {"app.reenters", &commands, &AppCommands::reenters},
    };
    BridgeScenario scenario;
};

TEST_F(ApplicationRoute, ThePolicyComesFirstThenTheHandlerAnswers) {
    const std::pair<std::string, std::string> cases[] = {
        {request("1", "app.echo", R"( {"a":[1,"x"]} )"), okReply("1", R"({"a":[1,"x"]})")},
        {request("2", "app.ruleOnly"), errorReply("2", "unknown_command", "Bridge command is not registered")},
        {request("3", "app.handlerOnly"), errorReply("3", "permission_denied", "Bridge command is not permitted")},
        {request("4", "app.unknown"), errorReply("4", "permission_denied", "Bridge command is not permitted")},
        {request("5", "app.fails"), errorReply("5", "handler_failed", "InvalidExternalUrl")},
        {request("6", "app.badJson"), errorReply("6", "handler_failed", "Bridge command returned invalid JSON")},
        {request("7", "app.nothing"), errorReply("7", "permission_denied", "Bridge command is not permitted")},
    };
    for (const auto& [message, reply] : cases) {
        ASSERT_TRUE(scenario.send(message));
        EXPECT_EQ(scenario.lastReply(), reply) << message;
    }
    ASSERT_TRUE(scenario.send(request("8", "app.echo"), "vexa://inline"));
    EXPECT_EQ(scenario.lastReply(), errorReply("8", "permission_denied", "Bridge command is not permitted"));

    // A word the application's policy does not grant is granted by the security policy's list.
    constexpr std::string_view granted[] = {"files"};
    scenario.runtime->securityPolicy.granted = granted;
    ASSERT_TRUE(scenario.send(request("9", "app.nothing", "{}")));
    EXPECT_EQ(scenario.lastReply(), okReply("9", "null"));

    ASSERT_EQ(commands.seen.size(), 1u);
    const BridgeInvocation& seen = commands.seen[0];
    EXPECT_EQ(Strings({std::string(seen.id), std::string(seen.command), std::string(seen.payload),
                       std::string(seen.origin), std::string(seen.label)}),
              Strings({"1", "app.echo", R"({"a":[1,"x"]})", "vexa://app", "main"}));
    EXPECT_EQ(seen.windowId, 1u);
}

TEST_F(ApplicationRoute, AResultTooLargeForItsReplyBecomesAnErrorForTheSameId) {
    commands.bigResult = cat("\"", std::string(kBridgeHandlerOutputBytes - 2, 'x'), "\"");
    ASSERT_TRUE(scenario.send(request("big-1", "app.big")));
    std::string reply = errorReply("big-1", "internal_error", "Native response buffer is too small");
    EXPECT_EQ(scenario.lastReply(), reply);
    EXPECT_NE(scenario.traces.lines.back().find(cat(R"("response_bytes":)", reply.size(), "}")), std::string::npos)
        << scenario.traces.lines.back();
}

TEST_F(ApplicationRoute, BadRequestsAreAnsweredWithAnEmptyIdAndTraced) {
    std::string malformed = R"({"id":"1","command":"app.echo","payload":{},})";
    std::string oversized = request("2", "app.echo", "1") + std::string(kMaxBridgeRequestBytes, ' ');
    oversized.resize(kMaxBridgeRequestBytes + 1, ' ');
    std::string largest = request("3", "app.echo", "1");
    largest.resize(kMaxBridgeRequestBytes, ' ');

    ASSERT_TRUE(scenario.send(malformed));
    ASSERT_TRUE(scenario.send(oversized));
    ASSERT_TRUE(scenario.send(largest));
    std::string invalid = errorReply("", "invalid_request", "Bridge request is malformed");
    std::string tooLarge = errorReply("", "payload_too_large", "Bridge request is too large");
    EXPECT_EQ(scenario.replies(), Strings({invalid, tooLarge, okReply("3", "1")}));
    ASSERT_EQ(scenario.traces.lines.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        std::size_t request = (i == 0 ? malformed : i == 1 ? oversized : largest).size();
        std::size_t response = scenario.replies()[i].size();
        EXPECT_NE(scenario.traces.lines[i].find(cat(R"("name":"bridge.dispatch","message":"bridge request handled",)",
                                                    R"("fields":{"request_bytes":)", request, R"(,"response_bytes":)",
                                                    response, "}")),
                  std::string::npos)
            << scenario.traces.lines[i];
    }
    EXPECT_EQ(scenario.runtime->changeCounter, 3u);

    scenario.traces.refuse = true;
    ASSERT_TRUE(scenario.send(malformed));
    EXPECT_EQ(scenario.runtime->trace.droppedRecords, 1u);
}

TEST_F(ApplicationRoute, AMessageArrivingWhileOneIsHandledIsRefusedAndTheFirstGoesOn) {
    ASSERT_TRUE(scenario.send(request("outer", "app.reenters")));
    EXPECT_EQ(scenario.replies(),
              Strings({errorReply("inner", "internal_error", "BridgeReentered"), okReply("outer", "\"outer\"")}));
    EXPECT_EQ(scenario.test.callsTo(PlatformSlot::completeWebViewBridge)[0].label, "side");
    EXPECT_EQ(scenario.traces.names(), Strings({"bridge.reentry_refused", "bridge.dispatch"}));
    EXPECT_TRUE(commands.seen.empty());

    // The guard is down again afterwards.
    ASSERT_TRUE(scenario.send(request("after", "app.echo", "2")));
    EXPECT_EQ(scenario.lastReply(), okReply("after", "2"));
}

TEST(ReplyDelivery, TheFirstCompletionThePlatformHasCarriesTheReply) {
    using S = PlatformSlot;
    struct Case {
        std::vector<S> empty;
        std::uint64_t windowId;
        std::string label;
        std::optional<S> used;  // none: UnsupportedService
    };
    const Case cases[] = {
        {{}, 3, "panel", S::completeWebViewBridge},
        {{S::completeWebViewBridge}, 3, "main", S::completeWindowBridge},
        {{S::completeWebViewBridge}, 3, "panel", std::nullopt},
        {{S::completeWebViewBridge, S::completeWindowBridge}, 1, "main", S::completeBridge},
        {{S::completeWebViewBridge, S::completeWindowBridge}, 3, "main", std::nullopt},
        {{S::completeWebViewBridge, S::completeWindowBridge}, 1, "panel", std::nullopt},
        {{S::completeWebViewBridge, S::completeWindowBridge, S::completeBridge}, 1, "main", std::nullopt},
    };
    for (const Case& c : cases) {
        BridgeScenario scenario;
        for (S slot : c.empty) scenario.test.emptySlot(slot);
        scenario.syncPlatform();
        scenario.runtime->stateDirty = false;
        Status sent = scenario.send(request("1", "app.any"), "vexa://app", c.windowId, c.label);
        std::string where = cat(c.windowId, " ", c.label);
        EXPECT_EQ(scenario.runtime->changeCounter, 1u) << where;
        if (!c.used) {
            EXPECT_EQ(sent.error(), Error::UnsupportedService) << where;
            EXPECT_FALSE(scenario.runtime->stateDirty) << where;
            continue;
        }
        ASSERT_TRUE(sent) << where;
        EXPECT_TRUE(scenario.runtime->stateDirty) << where;
        ASSERT_EQ(scenario.test.callCount(*c.used), 1u) << where;
        TestPlatform::Call call = *scenario.test.lastCall(*c.used);
        EXPECT_EQ(call.windowId, c.windowId) << where;
        EXPECT_EQ(call.text(), errorReply("1", "permission_denied", "Bridge command is not permitted")) << where;
    }

    BridgeScenario failing;
    failing.test.failSlot(S::completeWebViewBridge, Error::WebViewNotFound);
    failing.runtime->stateDirty = false;
    EXPECT_EQ(failing.send(request("1", "app.any")).error(), Error::WebViewNotFound);
    EXPECT_FALSE(failing.runtime->stateDirty);
    EXPECT_TRUE(failing.traces.lines.empty());
}

TEST(ReplyDelivery, AReplyThatCannotBeDeliveredIsRecordedAndTheRunGoesOn) {
    BridgeScenario scenario;
    scenario.test.emptySlot(PlatformSlot::completeWebViewBridge);
    scenario.syncPlatform();
    ASSERT_TRUE(dispatchPlatformEvent(*scenario.runtime, scenario.binding,
                                      BridgeMessage{request("1", "app.any"), "vexa://app", 1, "panel"}));
    const DispatchErrorLog& errors = scenario.runtime->dispatchErrors;
    ASSERT_EQ(errors.total, 1u);
    EXPECT_EQ(errors.recent[0].scope, "bridge_message");
    EXPECT_EQ(errors.recent[0].error, Error::UnsupportedService);
}

TEST(ReplyDelivery, EveryDeliveredReplyIsAlsoWrittenForAutomation) {
    BridgeScenario scenario;
    MemoryIo memory;
    scenario.runtime->io = memoryIo(memory);
    scenario.runtime->automation.bridgeResponseDirectory = "/auto/out";
    ASSERT_TRUE(scenario.send(request("1", "app.any")));
    ASSERT_TRUE(scenario.send("{"));
    EXPECT_EQ(memory.fileText("/auto/out/bridge-response.txt"), scenario.lastReply());

    // A path that does not fit its buffer is not written at all; the reply still counts as delivered.
    scenario.traces.lines.clear();
    // With "/bridge-response.txt.tmp": 1,023 bytes, the longest path the I/O interface takes.
    const std::string deep = "/" + std::string(998, 'd');
    const std::string deeper = deep + "d";
    scenario.runtime->automation.bridgeResponseDirectory = deep;
    ASSERT_TRUE(scenario.send(request("2", "app.any")));
    EXPECT_TRUE(memory.exists(deep + "/bridge-response.txt"));
    scenario.runtime->automation.bridgeResponseDirectory = deeper;
    ASSERT_TRUE(scenario.send(request("3", "app.any")));
    EXPECT_FALSE(memory.exists(deeper));

    memory.failOn(IoOp::make_path, "/locked", Error::AccessDenied);
    scenario.runtime->automation.bridgeResponseDirectory = "/locked";
    ASSERT_TRUE(scenario.send(request("4", "app.any")));
    EXPECT_EQ(scenario.replies().size(), 5u);
    Strings failures;
    for (const std::string& line : scenario.traces.lines) {
        if (line.find("automation.bridge_response_failed") != std::string::npos) {
            failures.push_back(line.substr(line.find(R"("message":)")));
        }
    }
    EXPECT_EQ(failures,
              Strings({R"("message":"NameTooLong","fields":{}})", R"("message":"AccessDenied","fields":{}})"}));
}

}  // namespace
}  // namespace kelvo
