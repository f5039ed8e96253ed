// The application's timers, by the runtime's timer id.

#include <algorithm>

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

void appTimerFired(KelvoAppKitHost& host, std::uint64_t timerId, std::uint64_t generation) {
    auto entry = host.appTimers.find(timerId);
    if (entry != host.appTimers.end() && !entry->second.repeats && entry->second.generation == generation) {
        host.appTimers.erase(entry);
    }
    KelvoHostEvent event = hostEventOfKind(HostEventKind::timer);
    event.timerId = timerId;
    event.timestampNs = wallClockNs(host);
    emitEvent(host, event);
}

}  // namespace

void kelvo_appkit_start_timer(KelvoAppKitHost* host, std::uint64_t timerId, std::uint64_t intervalNs,
                              std::int32_t repeats) {
    kelvo_appkit_cancel_timer(host, timerId);
    std::uint64_t generation = ++host->appTimerGeneration;
    std::weak_ptr<HostLife> life = host->life;
    standin::TimerId timer = host->platform->loop.startTimer(
        host->platform->self, std::max(intervalNs, kMinTimerIntervalNs), repeats != 0, [life, timerId, generation] {
            if (std::shared_ptr<HostLife> alive = life.lock()) appTimerFired(*alive->host, timerId, generation);
        });
    host->appTimers[timerId] = AppTimer{timer, repeats != 0, generation};
}

void kelvo_appkit_cancel_timer(KelvoAppKitHost* host, std::uint64_t timerId) {
    auto entry = host->appTimers.find(timerId);
    if (entry == host->appTimers.end()) return;
    host->platform->loop.cancelTimer(host->platform->self, entry->second.timer);
    host->appTimers.erase(entry);
}

void invalidateAppTimers(KelvoAppKitHost& host) {
    for (auto& [id, timer] : host.appTimers) host.platform->loop.cancelTimer(host.platform->self, timer.timer);
    host.appTimers.clear();
}

}  // namespace kelvo
