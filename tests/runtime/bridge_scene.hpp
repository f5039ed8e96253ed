#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bridge/request.hpp"
#include "runtime/bridge/builtin_errors.hpp"
#include "runtime/bridge/builtin_families.hpp"
#include "runtime/bridge/routing.hpp"
#include "view_scenario.hpp"

namespace kelvo::testing {

// A runtime on the test platform with window 1 ("main", 800 x 600, showing the application's
// assets) whose pages send bridge requests to the window, command, view and web view families.
class BridgeScene : public ViewScenario {
protected:
    void SetUp() override {
        ViewScenario::SetUp();
        runtime->securityChecks = false;
        ASSERT_TRUE(
            storeWindowSource(runtime->appSource, WindowSource{"vexa://app", std::nullopt, WindowSourceKind::url}));
        runtime->appSourcePresent = true;
        binding.appContext = this;
        binding.eventHandler = [](void* context, Runtime&, const RuntimeEvent& event) -> Status {
            auto* scene = static_cast<BridgeScene*>(context);
            if (const auto* command = std::get_if<CommandEvent>(&event)) {
                scene->commands.push_back(cat(command->name, " window=", command->windowId, " view=",
                                              command->sourceLabel, " source=", static_cast<int>(command->source)));
            }
            return scene->handlerError ? Status(fail(*scene->handlerError)) : Status{};
        };
    }

    // Sends one request from the page of `label` in window `windowId` through the router, which
    // lets every origin call every built-in family, and answers the reply it delivered.
    std::string send(std::string_view command, std::string_view payload = "{}", std::uint64_t windowId = 1,
                     std::string_view label = "main") {
        const std::string message = requestText(command, payload);
        const std::size_t before = test.callCount(PlatformSlot::completeWebViewBridge);
        EXPECT_TRUE(handleBridgeMessage(*runtime, binding, BridgeMessage{message, "vexa://app", windowId, label}));
        std::vector<TestPlatform::Call> replies = test.callsTo(PlatformSlot::completeWebViewBridge);
        EXPECT_EQ(replies.size(), before + 1) << message;
        return checked(replies.empty() ? std::string() : replies.back().texts.back());
    }

    // Sends one request straight to its family with the scene's buffers (which a test may shrink).
    std::string sendToFamily(std::string_view command, std::string_view payload = "{}") {
        const std::string message = requestText(command, payload);
        BridgeRequest request = parseRequest(message);
        BridgeFamilyCall call{request, binding, 1, "main"};
        BridgeFamilyBuffers buffers{output, scratch, reply};
        return checked(std::string(findBuiltinBridgeFamily(command)->dispatch(*runtime, call, buffers)));
    }

    // The result of a request that must succeed.
    std::string result(std::string_view command, std::string_view payload = "{}", std::uint64_t windowId = 1,
                       std::string_view label = "main") {
        std::string answer = send(command, payload, windowId, label);
        const std::string head = R"({"id":"1","ok":true,"result":)";
        EXPECT_EQ(answer.substr(0, head.size()), head) << command << " " << payload;
        if (answer.size() < head.size() + 1) return {};
        return answer.substr(head.size(), answer.size() - head.size() - 1);
    }

    // The reply of a built-in command that failed with `error`.
    static std::string errorReply(Error error) {
        std::array<char, 512> buffer;
        return std::string(writeBuiltinErrorResponse(buffer, "1", error));
    }
    static std::string messageReply(std::string_view code, std::string_view message) {
        return cat(R"({"id":"1","ok":false,"error":{"code":")", code, R"(","message":")", message, R"("}})");
    }

    // Every record of the window, view and web view tables, one line each.
    std::string tables() const {
        std::string out;
        auto num = [](double value) {
            std::ostringstream text;
            text << value;
            return text.str();
        };
        auto rect = [&](const RectF& r) { return cat(num(r.x), ",", num(r.y), ",", num(r.width), ",", num(r.height)); };
        for (const RuntimeWindow& w : runtime->windows) {
            out += cat("window ", w.id, " ", w.label.view(), " open=", w.open, " focused=", w.focused,
                       " main=", rect(w.effectiveMainWebViewFrame()), " zoom=", num(w.mainWebViewZoom),
                       " layer=", w.mainWebViewLayer, " mainFocused=", w.mainWebViewFocused, "\n");
        }
        for (const RuntimeView& v : runtime->views) {
            out += cat("view ", v.id, " ", v.windowId, " ", v.label.view(), " ", viewKindName(v.kind),
                       " parent=", v.parent.get().value_or("-"), " frame=", rect(v.frame), " layer=", v.layer,
                       " visible=", v.visible, " focused=", v.focused, " text=", v.text.view(), "\n");
        }
        for (const RuntimeWebView& w : runtime->webViews) {
            out += cat("webview ", w.id, " ", w.windowId, " ", w.label.view(), " parent=", w.parent.get().value_or("-"),
                       " url=", w.url.view(), " frame=", rect(w.frame), " local=", rect(w.localFrame),
                       " zoom=", num(w.zoom), " layer=", w.layer, " focused=", w.focused, "\n");
        }
        return out;
    }

    // Platform calls since the last clear but the replies' deliveries: slot name and arguments, one
    // line each.
    std::string platformCalls() const {
        std::string out;
        for (const TestPlatform::Call& call : test.calls()) {
            if (call.slot == PlatformSlot::completeWebViewBridge) continue;
            out += cat(platformSlotName(call.slot), " ", call.args, "\n");
        }
        return out;
    }

    AppBinding binding;
    std::vector<std::string> commands;  // the command events the application received
    std::optional<Error> handlerError;
    std::vector<char> output = std::vector<char>(kBridgeReplyBytes);
    std::vector<char> scratch = std::vector<char>(kBridgeReplyBytes);
    std::vector<char> reply = std::vector<char>(kBridgeReplyBytes);

private:
    static std::string requestText(std::string_view command, std::string_view payload) {
        return cat(R"({"id":"1","command":")", command, R"(","payload":)", payload, "}");
    }
    // No reply ever carries a non-finite number.
    static std::string checked(std::string reply) {
        for (std::string_view word : {"nan", "inf"}) {
            for (std::size_t at = reply.find(word); at != std::string::npos; at = reply.find(word, at + 1)) {
                std::size_t before = at > 0 && reply[at - 1] == '-' ? at - 1 : at;
                EXPECT_FALSE(before > 0 && std::string_view(":,[").find(reply[before - 1]) != std::string_view::npos)
                    << reply;
            }
        }
        return reply;
    }
};

}  // namespace kelvo::testing
