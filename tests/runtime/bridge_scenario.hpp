#pragma once

// A runtime on the scripted test platform for bridge tests: messages go through
// `handleBridgeMessage`, every delivered reply is read back from the platform's completion calls,
// and traces are captured.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/reply.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/runtime.hpp"
#include "runtime_fixture.hpp"
#include "support/test_platform.hpp"
#include "trace_capture.hpp"

namespace kelvo::testing {

inline std::string okReply(std::string_view id, std::string_view result) {
    return cat(R"({"id":")", id, R"(","ok":true,"result":)", result, "}");
}

inline std::string errorReply(std::string_view id, std::string_view code, std::string_view message) {
    return cat(R"({"id":")", id, R"(","ok":false,"error":{"code":")", code, R"(","message":")", message, R"("}})");
}

// A request text; an empty payload leaves the member out.
inline std::string request(std::string_view id, std::string_view command, std::string_view payload = "") {
    std::string text = cat(R"({"id":")", id, R"(","command":")", command, R"(")");
    if (!payload.empty()) text.append(R"(,"payload":)").append(payload);
    return text + "}";
}

class BridgeScenario {
public:
    BridgeScenario() {
        syncPlatform();
        runtime->securityPolicy.origins = kTrustedOrigins;
        traces.attach(*runtime);
    }

    // The platform record was copied into the runtime; slot changes made later must be copied again.
    void syncPlatform() { runtime->platform = test.platform(); }

    Status send(std::string_view text, std::string_view origin = "vexa://app", std::uint64_t windowId = 1,
                std::string_view label = "main") {
        return handleBridgeMessage(*runtime, binding, BridgeMessage{text, origin, windowId, label});
    }

    // The reply texts the platform was handed, in order.
    [[nodiscard]] std::vector<std::string> replies() const {
        std::vector<std::string> out;
        for (const TestPlatform::Call& call : test.calls()) {
            if (isCompletion(call.slot)) out.emplace_back(call.texts.empty() ? "" : call.texts.back());
        }
        return out;
    }
    [[nodiscard]] std::string lastReply() const {
        std::vector<std::string> all = replies();
        return all.empty() ? std::string("(no reply)") : all.back();
    }

    // The service calls other than reply deliveries, as "slot args".
    [[nodiscard]] std::vector<std::string> serviceCalls() const {
        std::vector<std::string> out;
        for (const TestPlatform::Call& call : test.calls()) {
            if (!isCompletion(call.slot)) {
                out.push_back(cat(platformSlotName(call.slot), call.args.empty() ? "" : " ", call.args));
            }
        }
        return out;
    }

    static bool isCompletion(PlatformSlot slot) {
        return slot == PlatformSlot::completeBridge || slot == PlatformSlot::completeWindowBridge ||
               slot == PlatformSlot::completeWebViewBridge;
    }

    TestPlatform test;
    RuntimePtr runtime = makeRuntime();
    TraceCapture traces;
    AppBinding binding{};
};

}  // namespace kelvo::testing
