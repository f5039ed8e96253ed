#include "automation/command_watcher.hpp"

#include <array>
#include <atomic>

#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

struct AutomationWatcherContext {
    AutomationServer server;
    Status (*requestFrame)(void* services) = nullptr;
    void* services = nullptr;
    std::atomic<std::uint8_t> stop{0};  // bit 0: stop
};

namespace {

void* watch(void* argument) {
    auto& context = *static_cast<AutomationWatcherContext*>(argument);
    std::array<char, kCommandFileNameBytes> name;
    for (;;) {
        if ((context.stop.load(std::memory_order_acquire) & 1u) != 0) break;
        if (queueHeadName(context.server, name)) (void)context.requestFrame(context.services);
        if (!ioSleepNs(context.server.io, kAutomationWatcherPollNs)) break;
    }
    return nullptr;
}

}  // namespace

AutomationWatcher::AutomationWatcher() = default;

AutomationWatcher::~AutomationWatcher() { stopAutomationWatcher(*this); }

bool startAutomationWatcher(Runtime& runtime, const AutomationServer& server, AutomationWatcher& watcher) {
    stopAutomationWatcher(watcher);
    if (runtime.platform.slots.requestFrame == nullptr) {
        runtimeTrace(runtime, "automation.watcher_unsupported",
                     "platform has no cross-thread frame request; automation commands drain on the next unrelated "
                     "frame",
                     {}, TraceLevel::warn);
        return false;
    }
    auto context = std::make_unique<AutomationWatcherContext>();
    context->server = server;
    context->requestFrame = runtime.platform.slots.requestFrame;
    context->services = runtime.platform.services;

    pthread_attr_t attributes;
    bool started = pthread_attr_init(&attributes) == 0;
    if (started) {
        started = pthread_attr_setstacksize(&attributes, kAutomationWatcherStackBytes) == 0 &&
                  pthread_attr_setguardsize(&attributes, kAutomationWatcherGuardBytes) == 0 &&
                  pthread_create(&watcher.thread, &attributes, &watch, context.get()) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        runtimeTrace(runtime, "automation.watcher_failed",
                     "automation command watcher thread did not start; commands drain on the next unrelated frame", {},
                     TraceLevel::warn);
        return false;
    }
    // The context stays with the handle: the thread may end on its own (a failed sleep), and the
    // stop flag must still be there when shutdown sets it.
    watcher.context = std::move(context);
    watcher.running = true;
    return true;
}

void stopAutomationWatcher(AutomationWatcher& watcher) {
    if (!watcher.running) return;
    watcher.context->stop.store(1, std::memory_order_release);
    pthread_join(watcher.thread, nullptr);
    watcher.running = false;
    watcher.context.reset();
}

}  // namespace kelvo
