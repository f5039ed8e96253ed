// Deferred application commands: the 64 responder slots, completing a responder, and handlers
// that fail.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "bridge_scenario.hpp"
#include "runtime/bridge/deferred_replies.hpp"

namespace kelvo {
namespace {

using testing::cat;
using testing::errorReply;
using testing::okReply;
using testing::request;
using Strings = std::vector<std::string>;

// Deferred commands whose behaviour is in their names; "app.later" keeps its responders.
struct Deferred {
    std::vector<AsyncBridgeResponder> held;
    std::vector<std::string> ids;
    std::vector<std::string_view> origins;  // the invocation's origin, as handed over

    static Status later(void* context, const BridgeInvocation& invocation, AsyncBridgeResponder responder) {
        auto* self = static_cast<Deferred*>(context);
        self->held.push_back(responder);
        self->ids.emplace_back(invocation.id);
        self->origins.push_back(invocation.origin);
        return {};
    }
    static Status now(void*, const BridgeInvocation& invocation, AsyncBridgeResponder responder) {
        std::array<char, 256> buffer;
        return responder.complete(writeSuccessResponse(buffer, invocation.id, "\"now\""));
    }
    static Status failsOpen(void*, const BridgeInvocation&, AsyncBridgeResponder) { return fail(Error::AccessDenied); }
    static Status failsAfterAnswering(void* context, const BridgeInvocation& invocation,
                                      AsyncBridgeResponder responder) {
        TRY(now(context, invocation, responder));
        return fail(Error::WriteFailed);
    }

    // Completes the held responder `index` with a success reply for its request.
    Status complete(std::size_t index, std::string_view result = "true") {
        std::array<char, 256> buffer;
        return held[index].complete(writeSuccessResponse(buffer, ids[index], result));
    }
};

class DeferredReplies : public ::testing::Test {
protected:
    void SetUp() override { scenario.runtime->bridgeConfig = BridgeConfig{Policy{{}, rules, true}, {}, handlers}; }

    std::size_t activeSlots() const {
        std::size_t count = 0;
        for (const BridgeResponderSlot& slot : scenario.runtime->bridgeRouter.responders) count += slot.active;
        return count;
    }

    const BridgeCommandRule rules[4] = {
        {"app.later", {}, {}}, {"app.now", {}, {}}, {"app.failsOpen", {}, {}}, {"app.failsAfterAnswering", {}, {}}};
    Deferred deferred;
    const AsyncBridgeCommandHandler handlers[5] = {
        {"app.later", &deferred, &Deferred::later},
        {"app.now", &deferred, &Deferred::now},
        {"app.failsOpen", &deferred, &Deferred::failsOpen},
        {"app.failsAfterAnswering", &deferred, &Deferred::failsAfterAnswering},
        {"app.unlisted", &deferred, &Deferred::later},
    };
    testing::BridgeScenario scenario;
};

TEST_F(DeferredReplies, SixtyFourRequestsAreHeldAndTheNextIsRefusedUntilOneCompletes) {
    for (int i = 1; i <= 64; ++i) {
        scenario.runtime->stateDirty = false;
        ASSERT_TRUE(scenario.send(request(cat("r", i), "app.later", "{}"), "vexa://app", 2, cat("view", i)));
        EXPECT_TRUE(scenario.runtime->stateDirty);
    }
    EXPECT_TRUE(scenario.replies().empty());
    ASSERT_TRUE(scenario.send(request("r65", "app.later")));
    EXPECT_EQ(scenario.lastReply(), errorReply("r65", "internal_error", "AsyncBridgeResponseLimitReached"));
    EXPECT_EQ(deferred.held.size(), 64u);

    ASSERT_TRUE(deferred.complete(9, "[9]"));
    TestPlatform::Call delivered = *scenario.test.lastCall(PlatformSlot::completeWebViewBridge);
    EXPECT_EQ(cat(delivered.windowId, " ", delivered.label, " ", delivered.text()),
              cat("2 view10 ", okReply("r10", "[9]")));

    ASSERT_TRUE(scenario.send(request("r66", "app.later")));
    EXPECT_EQ(deferred.held.size(), 65u);
    EXPECT_EQ(scenario.replies().size(), 2u);
    EXPECT_TRUE(scenario.traces.lines.empty());  // the deferred route writes no dispatch trace
}

TEST_F(DeferredReplies, AResponderCompletesOnceAndNeverAnotherRequestsSlot) {
    ASSERT_TRUE(scenario.send(request("a", "app.later")));
    ASSERT_TRUE(deferred.complete(0));
    EXPECT_EQ(deferred.complete(0, "false").error(), Error::AsyncBridgeResponseAlreadyCompleted);
    EXPECT_EQ(scenario.replies(), Strings({okReply("a", "true")}));

    // The next request takes the same slot; the old responder still cannot complete it.
    ASSERT_TRUE(scenario.send(request("b", "app.later")));
    EXPECT_EQ(deferred.held[1].slot, deferred.held[0].slot);
    EXPECT_EQ(deferred.complete(0, "false").error(), Error::AsyncBridgeResponseAlreadyCompleted);
    ASSERT_TRUE(deferred.complete(1));
    EXPECT_EQ(scenario.replies(), Strings({okReply("a", "true"), okReply("b", "true")}));

    // A delivery that fails is the completer's error, and the slot is free again.
    ASSERT_TRUE(scenario.send(request("c", "app.later")));
    scenario.test.failSlot(PlatformSlot::completeWebViewBridge, Error::WebViewNotFound, 1);
    EXPECT_EQ(deferred.complete(2).error(), Error::WebViewNotFound);
    EXPECT_EQ(activeSlots(), 0u);
}

TEST_F(DeferredReplies, TheOriginAndLabelMustFitTheSlot) {
    std::string origin512(512, 'o');
    ASSERT_TRUE(scenario.send(request("1", "app.later"), origin512));
    ASSERT_TRUE(scenario.send(request("2", "app.later"), ""));
    ASSERT_TRUE(scenario.send(request("3", "app.later"), "vexa://app", 1, std::string(64, 'l')));
    ASSERT_EQ(deferred.held.size(), 3u);
    origin512.assign(512, 'x');  // the handler holds the slot's copy, not the message's text
    EXPECT_EQ(deferred.origins[0], std::string(512, 'o'));
    EXPECT_EQ(deferred.held[2].label, std::string(64, 'l'));

    ASSERT_TRUE(scenario.send(request("4", "app.later"), std::string(513, 'o')));
    ASSERT_TRUE(scenario.send(request("5", "app.later"), "vexa://app", 1, std::string(65, 'l')));
    EXPECT_EQ(scenario.replies(), Strings({errorReply("4", "internal_error", "BridgeOriginTooLarge"),
                                           errorReply("5", "internal_error", "WebViewLabelTooLarge")}));
    EXPECT_EQ(activeSlots(), 3u);
}

TEST_F(DeferredReplies, AFailingHandlerIsAnsweredOnceAndTheRunGoesOn) {
    ASSERT_TRUE(scenario.send(request("1", "app.failsOpen")));
    ASSERT_TRUE(scenario.send(request("2", "app.failsAfterAnswering")));
    ASSERT_TRUE(scenario.send(request("3", "app.now")));
    EXPECT_EQ(scenario.replies(), Strings({errorReply("1", "handler_failed", "AccessDenied"), okReply("2", "\"now\""),
                                           okReply("3", "\"now\"")}));
    EXPECT_EQ(activeSlots(), 0u);
    EXPECT_EQ(scenario.traces.names(), Strings({"bridge.deferred_failed"}));
    EXPECT_NE(scenario.traces.lines[0].find(R"("message":"WriteFailed")"), std::string::npos);
}

TEST_F(DeferredReplies, ACommandThePolicyRefusesTakesNoSlot) {
    ASSERT_TRUE(scenario.send(request("1", "app.unlisted")));
    EXPECT_EQ(scenario.lastReply(), errorReply("1", "permission_denied", "Bridge command is not permitted"));
    EXPECT_TRUE(deferred.held.empty());
    EXPECT_EQ(activeSlots(), 0u);
    EXPECT_TRUE(scenario.traces.lines.empty());
}

}  // namespace
}  // namespace kelvo
