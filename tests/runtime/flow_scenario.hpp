#pragma once

// A runtime on the scripted test platform for event-flow tests: an in-memory I/O interface with a
// fixed clock, a trace sink that keeps every record as its JSON line, and an application binding
// whose event handler writes down every runtime event it receives.

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "base/memory_io.hpp"
#include "debug/trace_format.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime_fixture.hpp"
#include "support/test_platform.hpp"
#include "trace_capture.hpp"

namespace kelvo {

class FlowScenario {
public:
    static constexpr std::int64_t kWallClockNs = 1'700'000'000'000'000'000;

    FlowScenario() {
        runtime_->platform = platform_.platform();
        runtime_->io = memoryIo(memory_);
        trace_.attach(*runtime_);
        runtime_->appConfig.appName = "Vostra Studio";
        runtime_->appConfig.windowTitle = "Vostra Studio";
        runtime_->appConfig.mainWindow = WindowConfig{1, "main", "Vostra Studio", RectF{0, 0, 1280, 820}};
        binding_.appContext = this;
        binding_.appId = "vostra-studio";
        binding_.defaultSource = WindowSource{
            "vexa://app", WindowAssets{"/bundle/frontend/dist", "index.html", "vexa://app"}, WindowSourceKind::assets};
        binding_.eventHandler = &FlowScenario::handleRuntimeEvent;
    }

    Runtime& runtime() { return *runtime_; }
    TestPlatform& platform() { return platform_; }
    const TestPlatform& platform() const { return platform_; }
    MemoryIo& memory() { return memory_; }
    AppBinding& binding() { return binding_; }

    // The platform record was copied into the runtime; slot changes made later must be copied again.
    void syncPlatform() { runtime_->platform = platform_.platform(); }

    Status dispatch(const PlatformEvent& event) { return dispatchPlatformEvent(*runtime_, binding_, event); }

    // Starts the application and forgets what the start wrote.
    void start() {
        ASSERT_TRUE(dispatch(AppStartEvent{}));
        clearRecords();
    }

    // Adds an open window record the way the platform reports one.
    void reportWindow(std::uint64_t id, std::string_view label, bool focused = false) {
        ASSERT_TRUE(dispatch(WindowFrameChangedEvent{id, label, "", RectF{0, 0, 800, 600}, 1.0f, true, focused}));
    }

    // Trace records as JSON lines without their line feeds.
    [[nodiscard]] const std::vector<std::string>& traces() const { return trace_.lines; }
    [[nodiscard]] std::vector<std::string> traceNames() const { return trace_.names(); }
    // The runtime events the application's handler received, by their trace names.
    [[nodiscard]] const std::vector<std::string>& events() const { return events_; }
    void clearRecords() {
        trace_.lines.clear();
        events_.clear();
        platform_.clearCalls();
    }

    void refuseTraces(bool refuse) { trace_.refuse = refuse; }
    void detachTraceSink() { runtime_->trace.present = false; }

    // Makes the application's handler fail for events of one kind (or every kind).
    void failHandlerFor(std::optional<RuntimeEventKind> kind, Error error = Error::Unexpected) {
        failKind_ = kind;
        failAll_ = !kind.has_value();
        handlerError_ = error;
    }
    // Runs for every runtime event the handler receives, before it answers.
    void onRuntimeEvent(std::function<void(const RuntimeEvent&)> hook) { hook_ = std::move(hook); }

    // The page events sent, as "window name detail".
    [[nodiscard]] std::vector<std::string> pageEvents() const {
        std::vector<std::string> sent;
        for (const TestPlatform::Call& call : platform_.callsTo(PlatformSlot::emitWindowEvent)) {
            std::string line = std::to_string(call.windowId);
            for (const std::string& text : call.texts) line += " " + text;
            sent.push_back(line);
        }
        return sent;
    }

private:
    static Status handleRuntimeEvent(void* context, Runtime&, const RuntimeEvent& event) {
        auto* self = static_cast<FlowScenario*>(context);
        self->events_.emplace_back(runtimeEventTraceName(event));
        if (self->hook_) self->hook_(event);
        if (self->failAll_ || (self->failKind_ && *self->failKind_ == runtimeEventKind(event))) {
            return fail(self->handlerError_);
        }
        return {};
    }

    TestPlatform platform_;
    MemoryIo memory_;
    AppBinding binding_{};
    testing::TraceCapture trace_;
    std::vector<std::string> events_;
    std::optional<RuntimeEventKind> failKind_;
    bool failAll_ = false;
    Error handlerError_ = Error::Unexpected;
    std::function<void(const RuntimeEvent&)> hook_;
    testing::RuntimePtr runtime_ = testing::makeRuntime();  // released first
};

}  // namespace kelvo
