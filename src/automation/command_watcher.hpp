#pragma once

// The command watcher: a thread that looks into the automation folder every 5 ms and, while a
// command waits there, asks the platform for a frame (the platform's `requestFrame` may be called
// from any thread). It never reads, deletes or runs a command: the drain does that on the main
// thread at the frame request. It touches nothing but its own copy of the server and its stop flag.

#include <pthread.h>

#include <memory>

#include "automation/automation_server.hpp"

namespace kelvo {

struct Runtime;
struct AutomationWatcherContext;

inline constexpr std::uint64_t kAutomationWatcherPollNs = 5'000'000;
inline constexpr std::size_t kAutomationWatcherStackBytes = std::size_t{16} << 20;
inline constexpr std::size_t kAutomationWatcherGuardBytes = std::size_t{16} << 10;

struct AutomationWatcher {
    AutomationWatcher();
    ~AutomationWatcher();  // stops the thread when it still runs
    AutomationWatcher(const AutomationWatcher&) = delete;
    AutomationWatcher& operator=(const AutomationWatcher&) = delete;

    std::unique_ptr<AutomationWatcherContext> context;
    pthread_t thread{};
    bool running = false;
};

// Starts the watcher over a copy of `server` and the runtime's platform. Without a cross-thread
// frame request on the platform, or when the thread cannot be created, no thread runs and the
// trace "automation.watcher_unsupported" or "automation.watcher_failed" says so; commands then
// still run on frames requested for other reasons. Returns whether the thread runs.
bool startAutomationWatcher(Runtime& runtime, const AutomationServer& server, AutomationWatcher& watcher);

// Sets the stop flag and joins the thread (it ends within about one poll); nothing when it does
// not run.
void stopAutomationWatcher(AutomationWatcher& watcher);

}  // namespace kelvo
