// Keys typed at the main window before its page can take them. The window shows before its main
// web view exists, and the page takes the keyboard at the end of its script: keys typed meanwhile
// would go nowhere, command keys too. So they wait at the backend, presses and releases in order,
// and go on once the page has loaded, through the same path as keys typed then (the menu keys,
// then the page's own handling). A page that never comes lets them go at a deadline.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

void holdKeysForPage(KelvoAppKitHost& host, HostWindow& window) {
    standin::StandIn& platform = *host.platform;
    if (!host.hasWebContent || window.keysHeld || platform.menus.holdKeys == nullptr) return;
    window.keysHeld = true;
    platform.menus.holdKeys(platform.self, window.ref, true);
    std::weak_ptr<HostLife> life = host.life;
    const std::uint64_t id = window.id;
    window.heldKeysDeadline = platform.loop.startTimer(platform.self, kHeldKeysDeadlineNs, false, [life, id] {
        if (std::shared_ptr<HostLife> alive = life.lock()) releaseHeldKeys(*alive->host, id);
    });
}

void releaseHeldKeys(KelvoAppKitHost& host, std::uint64_t windowId) {
    auto entry = host.windows.find(windowId);
    if (entry == host.windows.end() || !entry->second->keysHeld) return;
    HostWindow& window = *entry->second;
    window.keysHeld = false;
    standin::StandIn& platform = *host.platform;
    platform.loop.cancelTimer(platform.self, window.heldKeysDeadline);
    window.heldKeysDeadline = 0;
    platform.menus.holdKeys(platform.self, window.ref, false);
}

void releaseHeldKeysWithoutPage(KelvoAppKitHost& host, std::uint64_t windowId) {
    if (!host.web.mains.contains(windowId)) releaseHeldKeys(host, windowId);
}

void releaseAllHeldKeys(KelvoAppKitHost& host) {
    std::vector<std::uint64_t> holding;
    for (const auto& [id, window] : host.windows) {
        if (window->keysHeld) holding.push_back(id);
    }
    for (std::uint64_t id : holding) releaseHeldKeys(host, id);
}

void dropHeldKeys(KelvoAppKitHost& host) {
    standin::StandIn& platform = *host.platform;
    for (auto& [id, window] : host.windows) {
        if (!window->keysHeld) continue;
        window->keysHeld = false;
        platform.loop.cancelTimer(platform.self, window->heldKeysDeadline);
        window->heldKeysDeadline = 0;
    }
}

}  // namespace kelvo
