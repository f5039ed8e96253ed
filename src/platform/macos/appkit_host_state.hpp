#pragma once

// Private to src/platform/macos: the host object's state and the operations its files share.
// The host areas still to come (web views, native views, menus, status item, audio, canvas
// views) add their state here and their steps where the run, stop, close and tear-down
// sequences name them.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/macos/appkit_audio.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/macos/appkit_native_views.hpp"
#include "platform/macos/appkit_webviews.hpp"
#include "platform/macos/canvas/image_store.hpp"
#include "platform/macos/host_event.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

inline constexpr std::uint64_t kFrameIntervalNs = 16'666'667;  // 1/60 s
inline constexpr std::int32_t kBridgeKeepaliveFrames = 600;
inline constexpr std::uint64_t kDeferredShowDeadlineNs = 1'000'000'000;
// How long keys typed at the main window wait at most for its page (appkit_held_keys.cpp).
inline constexpr std::uint64_t kHeldKeysDeadlineNs = 30'000'000'000;
inline constexpr std::uint64_t kMinTimerIntervalNs =
    100'000;  // a timer never fires more often than 10,000 times a second

// Bits of the style masks of the titlebar styles.
inline constexpr std::uint32_t kMaskTitled = 1;
inline constexpr std::uint32_t kMaskClosable = 2;
inline constexpr std::uint32_t kMaskMiniaturizable = 4;
inline constexpr std::uint32_t kMaskResizable = 8;
inline constexpr std::uint32_t kMaskFullSizeContent = 1u << 15;

// A main-queue task's hold on the host: it does nothing once the host is gone.
struct HostLife {
    KelvoAppKitHost* host = nullptr;
};

// The context a backend window reports its events with.
struct HostWindowEvents {
    KelvoAppKitHost* host = nullptr;
    std::uint64_t windowId = 0;
};

struct DeferredShow {
    std::uint64_t createdWallNs = 0;
    std::uint64_t generation = 0;  // tells this show from an earlier window's under the same id
};

struct HostWindow {
    std::uint64_t id = 0;
    standin::WindowRef ref = nullptr;
    std::string label;
    std::uint32_t styleMask = 0;
    std::int32_t titlebarStyle = 0;
    bool observesContentLayout = false;
    std::optional<DeferredShow> deferredShow;
    bool keysHeld = false;               // keys typed at it wait for its page (appkit_held_keys.cpp)
    std::uint32_t doubleClickPress = 0;  // the press of the last double click it acted on
    standin::TimerId heldKeysDeadline = 0;
    std::optional<std::uint32_t> clearColor;
    double minWidth = 0;
    double minHeight = 0;
    std::unique_ptr<HostWindowEvents> events;
};

struct AppTimer {
    standin::TimerId timer = 0;
    bool repeats = false;
    std::uint64_t generation = 0;
};

// One event waiting for the runtime to finish what it is handling: a host event, a bridge
// message or a status-item action, with copies of its texts.
struct QueuedHostEvent {
    KelvoHostEvent event;
    std::string texts;  // the bytes of every string field, end to end
};
struct QueuedBridgeMessage {
    std::uint64_t windowId = 0;
    std::string label;
    std::string message;
    std::string origin;
};
struct QueuedTrayAction {
    std::uint32_t itemId = 0;
};
using QueuedDelivery = std::variant<QueuedHostEvent, QueuedBridgeMessage, QueuedTrayAction>;

struct Delivery {
    std::uint32_t depth = 0;  // callbacks into the runtime in progress
    std::deque<QueuedDelivery> queue;
};

// Bits of the modifier masks of shortcuts and menu items: 1 and 2 both mean Command.
inline constexpr std::uint32_t kMaskCommandKeys = 1u | 2u;
inline constexpr std::uint32_t kMaskControlKey = 4;
inline constexpr std::uint32_t kMaskOptionKey = 8;
inline constexpr std::uint32_t kMaskShiftKey = 16;

// A global shortcut: its id, its key lower-cased and its modifier mask.
struct HostShortcut {
    std::string id;
    std::string key;
    std::uint32_t modifiers = 0;
};

// What a menu item does when its key equivalent is pressed.
enum class MenuAction : std::uint8_t {
    command,  // an application-defined item: a menu_command event
    about,
    hide,
    hide_others,
    unhide_all,
    quit,
    close_window,
    undo,
    redo,
    cut,
    copy,
    paste,
    select_all,
    reload,
    web_inspector,
    full_screen,
    minimize,
    zoom,
    bring_all_to_front,
};

// An item of the installed menu bar: what it does, its key equivalent (lower-cased, Shift in the
// mask when the item's key was an upper-case letter; empty: none) and whether it is enabled. Its
// tag on the bar is its place in the host's list plus one.
struct MenuBarItem {
    MenuAction action = MenuAction::command;
    std::string command;
    std::string key;
    std::uint32_t modifiers = 0;
    bool enabled = true;
};

struct HostStatusItem {
    bool hasImage = false;
    std::string title;  // what the item shows now, the fallback letter included
};

struct KelvoAppKitHost {
    standin::StandIn* platform = nullptr;
    std::shared_ptr<HostLife> life;

    // identity
    std::string appName;
    std::string displayName;
    std::string appVersion;
    std::string aboutDescription;
    bool hasWebContent = true;
    std::string bundleIdentifier;
    std::string iconPath;
    std::string windowLabel;
    bool launchTiming = false;

    // callbacks
    KelvoEventCallback callback = nullptr;
    void* context = nullptr;
    KelvoBridgeCallback bridgeCallback = nullptr;
    void* bridgeContext = nullptr;
    KelvoTrayCallback trayCallback = nullptr;
    void* trayContext = nullptr;
    Delivery delivery;

    // windows; the main window only while it is open
    std::map<std::uint64_t, std::unique_ptr<HostWindow>> windows;
    HostWindow* mainWindow = nullptr;
    std::uint64_t deferredShowGeneration = 0;

    // frames and timers
    standin::TimerId frameTimer = 0;
    std::atomic<bool> crossThreadFramePending{false};
    std::int32_t bridgeFrameKeepalive = 0;
    std::map<std::uint64_t, AppTimer> appTimers;
    std::uint64_t appTimerGeneration = 0;

    // lifecycle
    bool didShutdown = false;
    bool stopped = false;
    bool loopRunning = false;
    bool observesApplicationActivation = false;
    bool observesAppearanceChanges = false;
    bool watchesTerminate = false;
    bool applicationActive = false;
    bool activationCheckPending = false;

    // web views, with the navigation policy they follow
    HostWebViews web;

    // audio
    HostAudio audio;

    // native views
    HostNativeViews nativeViews;
    // the images uploaded for every canvas view of the host to draw
    CanvasImageMap canvasImageStore;
    // menus, shortcuts, status item
    std::vector<HostShortcut> shortcuts;
    std::vector<MenuBarItem> menuItems;
    bool watchesKeys = false;
    std::optional<HostStatusItem> statusItem;
};

// A text argument of the function interface: null or invalid UTF-8 count as empty.
std::string_view hostText(const char* bytes, std::size_t length);

// A path argument of the function interface, in the file system's bytes (which need not be
// UTF-8): null counts as empty.
std::string_view hostPath(const char* bytes, std::size_t length);

// Once per process: the fonts under the bundle's resource folder, else the working folder
// (appkit_canvas_resources.cpp).
void registerApplicationFontsOnce(KelvoAppKitHost& host);

// Delivery to the runtime (appkit_host_delivery.cpp). While the runtime handles an event,
// everything else that would reach it waits in order and is delivered when it returns; frame
// requests that wait are merged into one.
void emitEvent(KelvoAppKitHost& host, const KelvoHostEvent& event);
void emitBridgeMessage(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label, std::string_view message,
                       std::string_view origin);
void emitTrayAction(KelvoAppKitHost& host, std::uint32_t itemId);
void deliverQueued(KelvoAppKitHost& host);

// Host core (appkit_host.cpp).
void emitShutdown(KelvoAppKitHost& host);
void stopHost(KelvoAppKitHost& host);
std::uint64_t wallClockNs(const KelvoAppKitHost& host);
// Runs `task` on the main queue unless the host is gone by then.
void postToHost(KelvoAppKitHost& host, void (*task)(KelvoAppKitHost& host, std::uint64_t value), std::uint64_t value);
void launchMark(const KelvoAppKitHost& host, std::string_view mark);

// Runs `task` on the main queue unless the host is gone by then.
void postHostTask(KelvoAppKitHost& host, std::function<void(KelvoAppKitHost& host)> task);
// The same after `delayNs` (a one-shot timer; 0: a posted task). The task checks itself whether
// what it acts on is still there.
void runOnMainQueueAfter(KelvoAppKitHost& host, std::uint64_t delayNs, std::function<void()> task);

// A modal dialog runs the main loop inside a host call: what would reach the runtime meanwhile
// waits and is delivered in order once the dialog closed and the runtime is free.
void beginModal(KelvoAppKitHost& host);
void endModal(KelvoAppKitHost& host);

// Menus and keys (appkit_menus.cpp, appkit_keys.cpp).
void buildMenuBar(KelvoAppKitHost& host);
// Does what the item does, for `window` (the window whose menu or key chose it; null: the window
// taking keyboard input).
void performMenuAction(KelvoAppKitHost& host, const MenuBarItem& item, HostWindow* window);
// The Edit menu action an editing item stands for; none for any other item.
std::optional<standin::EditAction> editActionOf(MenuAction action);
// Clicks on the menu bar reach performMenuAction from here (appkit_menus.cpp).
void startMenuBarClicks(KelvoAppKitHost& host);
void stopMenuBarClicks(KelvoAppKitHost& host);
// The window a menu command is for: the window taking keyboard input, else the main window; 1
// when there is neither.
std::uint64_t activeCommandWindowId(KelvoAppKitHost& host);
HostWindow* keyWindow(KelvoAppKitHost& host);
HostWindow* windowByRef(KelvoAppKitHost& host, standin::WindowRef ref);
// The modifier keys (standin::kKey...) a modifier mask names.
std::uint32_t modifierKeysOfMask(std::uint32_t mask);
void startKeyMonitor(KelvoAppKitHost& host);
void stopKeyMonitor(KelvoAppKitHost& host);
// The name a key press is matched by: a named key, else the characters lower-cased, a shifted
// US digit or punctuation mark given back as its unshifted key ("+" is "=").
std::string shortcutKeyName(const standin::KeyPress& press);
// The shortcut a key press fires: with Shift held on a digit or punctuation key a second pass
// lets shortcuts that do not name Shift match, after every shortcut that does had its chance.
const HostShortcut* matchShortcut(std::span<const HostShortcut> shortcuts, std::string_view key,
                                  std::uint32_t heldKeys);

// The extensions of a ";"-separated list, trimmed of spaces and tabs, empty ones dropped; none
// means every file (appkit_dialogs.cpp).
std::vector<std::string> parseExtensions(std::string_view list);

// Status item (appkit_status_item.cpp).
void removeStatusItem(KelvoAppKitHost& host);

// Frames (appkit_host_frames.cpp).
void scheduleFrame(KelvoAppKitHost& host);
void scheduleBridgeFrames(KelvoAppKitHost& host);
void cancelFrameTimer(KelvoAppKitHost& host);

// Timers (appkit_host_timers.cpp).
void invalidateAppTimers(KelvoAppKitHost& host);

// Activation and appearance (appkit_host_observers.cpp).
void startActivationObservers(KelvoAppKitHost& host);
void stopActivationObservers(KelvoAppKitHost& host);
void noteKeyWindowChanged(KelvoAppKitHost& host);
void startAppearanceObservers(KelvoAppKitHost& host);
void stopAppearanceObservers(KelvoAppKitHost& host);
void emitAppearanceChanged(KelvoAppKitHost& host);

// Windows (appkit_windows.cpp, appkit_window_events.cpp).
struct WindowRequest {
    std::uint64_t id = 0;
    std::string_view title{};
    std::string_view label{};
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool restoreFrame = false;
    bool resizable = true;
    std::int32_t titlebarStyle = 0;
    std::int32_t showPolicy = 0;
    bool makeMain = false;
};
bool createWindow(KelvoAppKitHost& host, const WindowRequest& request);
// The window stored under the id; for window 1 the main window while it is open.
HostWindow* findWindow(KelvoAppKitHost& host, std::uint64_t id);
void orderWindowFront(KelvoAppKitHost& host, HostWindow& window);
void showDeferredWindowIfPending(KelvoAppKitHost& host, std::uint64_t id, std::string_view reason);
// Keys typed at a window from the moment it shows wait until its page can take them: until its
// main web view finished loading or was refused its page, at most kHeldKeysDeadlineNs. Only a
// window whose content is a page holds them.
void holdKeysForPage(KelvoAppKitHost& host, HostWindow& window);
// Hands the keys the window holds on, in order, as if typed now; nothing when it holds none.
void releaseHeldKeys(KelvoAppKitHost& host, std::uint64_t windowId);
// The same when the window has no main web view: start-up asked for no page for it.
void releaseHeldKeysWithoutPage(KelvoAppKitHost& host, std::uint64_t windowId);
// Every window's, as the host stops.
void releaseAllHeldKeys(KelvoAppKitHost& host);
// Forgets that any window holds keys, before the windows go (their keys go with them).
void dropHeldKeys(KelvoAppKitHost& host);
void applyWindowClearColor(KelvoAppKitHost& host, std::uint64_t id, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue, std::uint8_t alpha);
void emitResizeForWindow(KelvoAppKitHost& host, std::uint64_t id);
void emitWindowFrameForWindow(KelvoAppKitHost& host, std::uint64_t id, bool open);
bool emitDroppedPaths(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view nulSeparatedPaths);
void closeWindow(KelvoAppKitHost& host, HostWindow& window);
void destroyAllWindows(KelvoAppKitHost& host);
void deliverWindowEvent(void* context, standin::WindowRef ref, const standin::WindowEvent& event);

}  // namespace kelvo
