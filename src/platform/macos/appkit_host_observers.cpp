// Activation and appearance. The application counts as active while one of its windows takes
// keyboard input; the check waits one main-queue turn, so that focus moving from one of its
// windows to another is not reported as leaving and coming back.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

bool anyWindowKey(KelvoAppKitHost& host) {
    for (auto& [id, window] : host.windows) {
        if (host.platform->windows.geometry(host.platform->self, window->ref).key) return true;
    }
    return false;
}

void checkActivation(KelvoAppKitHost& host, std::uint64_t) {
    host.activationCheckPending = false;
    if (!host.observesApplicationActivation) return;
    bool active = anyWindowKey(host);
    if (active == host.applicationActive) return;
    host.applicationActive = active;
    emitEvent(host, hostEventOfKind(active ? HostEventKind::app_activated : HostEventKind::app_deactivated));
}

}  // namespace

void startActivationObservers(KelvoAppKitHost& host) {
    if (host.observesApplicationActivation) return;
    host.observesApplicationActivation = true;
    noteKeyWindowChanged(host);
}

void stopActivationObservers(KelvoAppKitHost& host) { host.observesApplicationActivation = false; }

void noteKeyWindowChanged(KelvoAppKitHost& host) {
    if (!host.observesApplicationActivation || host.activationCheckPending) return;
    host.activationCheckPending = true;
    postToHost(host, checkActivation, 0);
}

void startAppearanceObservers(KelvoAppKitHost& host) {
    if (host.observesAppearanceChanges) return;
    host.observesAppearanceChanges = true;
    std::weak_ptr<HostLife> life = host.life;
    host.platform->workspace.watchAppearance(host.platform->self, [life] {
        if (std::shared_ptr<HostLife> alive = life.lock()) emitAppearanceChanged(*alive->host);
    });
}

void stopAppearanceObservers(KelvoAppKitHost& host) {
    if (!host.observesAppearanceChanges) return;
    host.observesAppearanceChanges = false;
    host.platform->workspace.unwatchAppearance(host.platform->self);
}

void emitAppearanceChanged(KelvoAppKitHost& host) {
    standin::Appearance appearance = host.platform->workspace.appearance(host.platform->self);
    KelvoHostEvent event = hostEventOfKind(HostEventKind::appearance_changed);
    event.darkAppearance = appearance.dark ? 1 : 0;
    event.reduceMotion = appearance.reduceMotion ? 1 : 0;
    event.increaseContrast = appearance.increaseContrast ? 1 : 0;
    emitEvent(host, event);
}

}  // namespace kelvo
