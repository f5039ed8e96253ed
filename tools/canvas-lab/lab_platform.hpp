#pragma once

// The lab's platform: nothing is shown on screen. It accepts the canvas views the runtime makes,
// and its run loop turns frame requests (which may come from any thread, such as the automation
// watcher) into frame events, one at a time on the calling thread, until no frame has been asked
// for during the idle time, or until `stopLabPlatforms` (safe in a signal handler). It then
// delivers one app_shutdown and returns.

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/types/platform.hpp"

namespace kelvo {

class LabPlatform {
public:
    explicit LabPlatform(std::chrono::milliseconds idle);
    LabPlatform(const LabPlatform&) = delete;
    LabPlatform& operator=(const LabPlatform&) = delete;

    [[nodiscard]] const Platform& platform() const { return platform_; }

private:
    static Status run(void* context, PlatformEventHandler handler, void* handlerContext);
    static Status requestFrame(void* services);
    // Takes the pending frame request; waits a little for one when none is pending.
    bool takeFrameRequest();

    Platform platform_;
    std::chrono::milliseconds idle_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool framePending_ = true;  // the first frame publishes what the lab starts with
};

// Ends the run loop of every lab platform at its next wait. Async-signal-safe.
void stopLabPlatforms();

}  // namespace kelvo
