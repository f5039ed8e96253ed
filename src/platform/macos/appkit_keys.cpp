// Keys: the global shortcuts and the monitor that sees every key press of the host's windows
// before the focused view does. A shortcut consumes its key, then a menu item's key equivalent
// does, except an editing item's; anything else goes on to the view, and a web view gives back
// what its page left. The monitor decides at once and sends the event on the next turn of the
// main queue, never from inside the backend's event handling.

#include <array>

#include "base/ascii.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// Digits and punctuation as typed with Shift on a US keyboard, and the key that types them.
constexpr std::string_view kShifted = "!@#$%^&*()_+{}|:\"<>?~";
constexpr std::string_view kUnshifted = "1234567890-=[]\\;',./`";

// Keys whose Shift form is another character: with Shift held these get the second pass.
constexpr std::string_view kShiftableKeys = "0123456789',-./;=[\\]`";

constexpr std::uint32_t kAllKeys =
    standin::kKeyCommand | standin::kKeyControl | standin::kKeyOption | standin::kKeyShift;

bool shortcutMatches(const HostShortcut& shortcut, std::string_view key, std::uint32_t held, bool shiftOptional) {
    if (shortcut.key != key) return false;
    std::uint32_t wanted = modifierKeysOfMask(shortcut.modifiers);
    std::uint32_t compared = kAllKeys;
    if (shiftOptional && (wanted & standin::kKeyShift) == 0) compared &= ~standin::kKeyShift;
    return (held & compared) == (wanted & compared);
}

const MenuBarItem* matchMenuKey(std::span<const MenuBarItem> items, std::string_view key, std::uint32_t held) {
    for (const MenuBarItem& item : items) {
        if (!item.key.empty() && item.key == key && (held & kAllKeys) == modifierKeysOfMask(item.modifiers)) {
            return &item;
        }
    }
    return nullptr;
}

void emitShortcut(KelvoAppKitHost& host, std::uint64_t windowId, const HostShortcut& shortcut) {
    KelvoHostEvent event = hostEventOfKind(HostEventKind::shortcut);
    event.windowId = windowId;
    event.shortcutId = hostString(shortcut.id);
    event.shortcutKey = hostString(shortcut.key);
    event.modifiers = shortcut.modifiers;
    emitEvent(host, event);
}

// A page edits with the keys of cut, copy, paste and select all itself, and sees the keys of undo
// and redo first too: an editor with an undo of its own cancels them. Those it leaves come back
// from the web view, which binds no key to them on Linux, and do the web view's own undo and redo
// (an Edit menu item chosen types its key, so they come back the same way).
bool pageLeavesKeyToMenu(KelvoAppKitHost& host, standin::WindowRef window, MenuAction action) {
    if (window == nullptr || (action != MenuAction::undo && action != MenuAction::redo)) return false;
    standin::StandIn& platform = *host.platform;
    standin::ViewRef focused = platform.menus.focusedView(platform.self, window);
    return focused != nullptr && webViewByRef(host, focused) != nullptr;
}

bool onKeyDown(void* context, const standin::KeyPress& press) {
    KelvoAppKitHost& host = *static_cast<KelvoAppKitHost*>(context);
    // Keys typed into an adopted foreign surface are its own.
    if (press.window != nullptr && focusInAdoptedSurface(host, press.window)) return false;
    std::string key = shortcutKeyName(press);
    if (key.empty()) return false;
    HostWindow* window = windowByRef(host, press.window);
    if (const HostShortcut* shortcut = matchShortcut(host.shortcuts, key, press.modifiers)) {
        if (window == nullptr) window = keyWindow(host);
        const std::uint64_t windowId = window != nullptr ? window->id : 1;
        postHostTask(host,
                     [windowId, fired = *shortcut](KelvoAppKitHost& alive) { emitShortcut(alive, windowId, fired); });
        return true;
    }
    const MenuBarItem* item = matchMenuKey(host.menuItems, key, press.modifiers);
    if (item == nullptr || !item->enabled) return false;
    // The editing items' keys belong to the focused view, which edits (a page's undo and redo
    // may come back, onKeyNotHandled).
    if (editActionOf(item->action)) return false;
    // The item acts for the window the key was pressed in, as a click acts for the window whose
    // menu was clicked; the window may have closed by the time the task runs.
    const std::uint64_t windowId = window != nullptr ? window->id : 0;
    postHostTask(host, [chosen = *item, windowId](KelvoAppKitHost& alive) {
        auto found = alive.windows.find(windowId);
        performMenuAction(alive, chosen, found != alive.windows.end() ? found->second.get() : nullptr);
    });
    return true;
}

bool onKeyNotHandled(void* context, const standin::KeyPress& press) {
    KelvoAppKitHost& host = *static_cast<KelvoAppKitHost*>(context);
    const MenuBarItem* item = matchMenuKey(host.menuItems, shortcutKeyName(press), press.modifiers);
    if (item == nullptr || !item->enabled || !pageLeavesKeyToMenu(host, press.window, item->action)) return false;
    HostWindow* window = windowByRef(host, press.window);
    if (window == nullptr) return false;
    // At once, before the web view takes the next key from its queue; undo and redo reach the web
    // view only, never the runtime, and as its own command: the item's key again would come back
    // again.
    standin::StandIn& platform = *host.platform;
    platform.menus.performEdit(platform.self, window->ref, *editActionOf(item->action));
    return true;
}

}  // namespace

std::uint32_t modifierKeysOfMask(std::uint32_t mask) {
    std::uint32_t keys = 0;
    if (mask & kMaskCommandKeys) keys |= standin::kKeyCommand;
    if (mask & kMaskControlKey) keys |= standin::kKeyControl;
    if (mask & kMaskOptionKey) keys |= standin::kKeyOption;
    if (mask & kMaskShiftKey) keys |= standin::kKeyShift;
    return keys;
}

std::string shortcutKeyName(const standin::KeyPress& press) {
    if (!press.namedKey.empty()) return std::string(press.namedKey);
    std::string key(press.characters);
    if (key.size() == 1) {
        std::size_t shifted = kShifted.find(key[0]);
        if (shifted != std::string_view::npos) key[0] = kUnshifted[shifted];
    }
    for (char& c : key) c = toLowerAscii(c);
    return key;
}

const HostShortcut* matchShortcut(std::span<const HostShortcut> shortcuts, std::string_view key,
                                  std::uint32_t heldKeys) {
    const bool twoPasses = (heldKeys & standin::kKeyShift) != 0 && key.size() == 1 &&
                           kShiftableKeys.find(key[0]) != std::string_view::npos;
    for (int pass = 0; pass < (twoPasses ? 2 : 1); ++pass) {
        for (const HostShortcut& shortcut : shortcuts) {
            if (shortcutMatches(shortcut, key, heldKeys, pass == 1)) return &shortcut;
        }
    }
    return nullptr;
}

// The menu bar's clicks come and go with the key monitor.
void startKeyMonitor(KelvoAppKitHost& host) {
    if (host.watchesKeys) return;
    host.watchesKeys = true;
    host.platform->menus.watchKeys(host.platform->self, standin::KeyMonitor{onKeyDown, onKeyNotHandled, &host});
    startMenuBarClicks(host);
}

void stopKeyMonitor(KelvoAppKitHost& host) {
    if (!host.watchesKeys) return;
    host.watchesKeys = false;
    host.platform->menus.unwatchKeys(host.platform->self);
    stopMenuBarClicks(host);
}

void kelvo_appkit_set_shortcuts(KelvoAppKitHost* host, const char* const* ids, const std::uint64_t* idLengths,
                                const char* const* keys, const std::uint64_t* keyLengths,
                                const std::uint32_t* modifiers, std::uint64_t count) {
    std::vector<HostShortcut> shortcuts;
    if (ids == nullptr || idLengths == nullptr || keys == nullptr || keyLengths == nullptr || modifiers == nullptr) {
        count = 0;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string_view id = hostText(ids[i], static_cast<std::size_t>(idLengths[i]));
        std::string_view key = hostText(keys[i], static_cast<std::size_t>(keyLengths[i]));
        if (id.empty() || key.empty()) continue;
        HostShortcut shortcut{std::string(id), std::string(key), modifiers[i]};
        for (char& c : shortcut.key) c = toLowerAscii(c);
        shortcuts.push_back(std::move(shortcut));
    }
    host->shortcuts = std::move(shortcuts);
}

}  // namespace kelvo
