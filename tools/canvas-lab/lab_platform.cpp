#include "lab_platform.hpp"

#include <atomic>
#include <cstdio>

namespace kelvo {

namespace {

constexpr std::chrono::milliseconds kPollInterval{10};

// A lock-free flag, so a signal handler may set it.
std::atomic<bool> gStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

Status acceptView(void*, const ViewOptions&) { return {}; }
// The lab has one window and nothing to move the focus between: any view may take it.
Status acceptFocus(void*, std::uint64_t, std::string_view) { return {}; }

}  // namespace

void stopLabPlatforms() { gStopRequested.store(true, std::memory_order_relaxed); }

LabPlatform::LabPlatform(std::chrono::milliseconds idle) : idle_(idle) {
    platform_.context = this;
    platform_.services = this;
    platform_.name = "lab";
    platform_.run = &LabPlatform::run;
    platform_.slots.createView = &acceptView;
    platform_.slots.requestFrame = &LabPlatform::requestFrame;
    platform_.slots.focusView = &acceptFocus;
}

Status LabPlatform::requestFrame(void* services) {
    auto& lab = *static_cast<LabPlatform*>(services);
    {
        std::lock_guard guard(lab.mutex_);
        lab.framePending_ = true;
    }
    lab.wake_.notify_one();
    return {};
}

bool LabPlatform::takeFrameRequest() {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, kPollInterval, [this] { return framePending_; });
    const bool pending = framePending_;
    framePending_ = false;
    return pending;
}

Status LabPlatform::run(void* context, PlatformEventHandler handler, void* handlerContext) {
    auto& lab = *static_cast<LabPlatform*>(context);
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastFrame = Clock::now();
    auto deliver = [&](const PlatformEvent& event) -> Status {
        if (Status handled = handler(handlerContext, event); !handled) {
            const std::string_view error = errorName(handled.error());
            const std::string_view kind = platformEventName(event);
            std::fprintf(stderr, "platform callback failed: %.*s (event %.*s)\n", static_cast<int>(error.size()),
                         error.data(), static_cast<int>(kind.size()), kind.data());
            return fail(Error::CallbackFailed);
        }
        return {};
    };
    while (!gStopRequested.load(std::memory_order_relaxed)) {
        if (lab.takeFrameRequest()) {
            TRY(deliver(FrameRequestedEvent{}));
            lastFrame = Clock::now();
        } else if (Clock::now() - lastFrame >= lab.idle_) {
            break;
        }
    }
    return deliver(AppShutdownEvent{});
}

}  // namespace kelvo
