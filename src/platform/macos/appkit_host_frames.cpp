// Frame requests: the one-shot frame timer with its keep-alive, cross-thread requests that
// coalesce through one atomic flag, and wake-ups.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

void emitFrame(KelvoAppKitHost& host, std::uint64_t) {
    host.frameTimer = 0;
    emitEvent(host, hostEventOfKind(HostEventKind::frame_requested));
    if (host.bridgeFrameKeepalive >= 1) {
        host.bridgeFrameKeepalive -= 1;
        scheduleFrame(host);
    }
}

void deliverCrossThreadFrame(KelvoAppKitHost& host, std::uint64_t) {
    host.crossThreadFramePending.store(false, std::memory_order_release);
    if (!host.didShutdown) emitEvent(host, hostEventOfKind(HostEventKind::frame_requested));
}

void deliverWake(KelvoAppKitHost& host, std::uint64_t) {
    if (host.didShutdown) return;
    KelvoHostEvent event = hostEventOfKind(HostEventKind::wake);
    event.timestampNs = wallClockNs(host);
    emitEvent(host, event);
}

}  // namespace

void scheduleFrame(KelvoAppKitHost& host) {
    if (host.frameTimer != 0) return;
    std::weak_ptr<HostLife> life = host.life;
    host.frameTimer = host.platform->loop.startTimer(host.platform->self, kFrameIntervalNs, false, [life] {
        if (std::shared_ptr<HostLife> alive = life.lock()) emitFrame(*alive->host, 0);
    });
}

void scheduleBridgeFrames(KelvoAppKitHost& host) {
    host.bridgeFrameKeepalive = kBridgeKeepaliveFrames;
    scheduleFrame(host);
}

void cancelFrameTimer(KelvoAppKitHost& host) {
    if (host.frameTimer == 0) return;
    host.platform->loop.cancelTimer(host.platform->self, host.frameTimer);
    host.frameTimer = 0;
}

// Any thread. While one delivery is on its way, further requests are dropped: the runtime gets
// one frame for all of them. An occasional second frame (a request right after the flag was
// cleared) is harmless.
void kelvo_appkit_request_frame(KelvoAppKitHost* host) {
    if (host->crossThreadFramePending.exchange(true, std::memory_order_acq_rel)) return;
    postToHost(*host, deliverCrossThreadFrame, 0);
}

// Any thread; wake-ups do not coalesce.
void kelvo_appkit_wake(KelvoAppKitHost* host) { postToHost(*host, deliverWake, 0); }

}  // namespace kelvo
