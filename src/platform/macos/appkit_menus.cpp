// The menu bar: the standard bar built at launch, or the application's own menus behind the
// application menu. The backend shows it and reports clicks on its items by their tags; its key
// equivalents are matched here, after the global shortcuts, so that they work the same in every
// window, whether it shows the bar or not. Editing items (undo, redo, cut, copy, paste, select
// all) leave their keys to the focused view, which edits (a web view gives back the undo and redo
// its page did not cancel, for the view's own, appkit_keys.cpp); clicked, they act on that view,
// a web view through their keys.

#include "base/ascii.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/appkit_webviews.hpp"
#include "platform/macos/canvas/canvas_input.hpp"

namespace kelvo {

namespace {

constexpr std::uint32_t kCmd = 1;
constexpr std::uint32_t kCtrl = kMaskControlKey;
constexpr std::uint32_t kOpt = kMaskOptionKey;

// A bar being built: the menus shown and what each item does, by tag.
struct BarBuilder {
    KelvoAppKitHost& host;
    std::vector<standin::Menu> menus;
    std::vector<MenuBarItem> items;

    standin::Menu& menu(std::string title) {
        menus.push_back(standin::Menu{std::move(title), {}});
        return menus.back();
    }

    void separator() { menus.back().items.push_back(standin::MenuEntry{{}, {}, 0, true, false, true}); }

    // A key equivalent that is an upper-case letter asks for Shift with the letter.
    void item(std::string title, MenuAction action, std::string_view key, std::uint32_t mask, bool enabled = true,
              bool checked = false, std::string_view command = {}) {
        std::string lowered(key);
        if (lowered.size() == 1 && isAsciiLetter(lowered[0]) && lowered[0] != toLowerAscii(lowered[0])) {
            mask |= kMaskShiftKey;
        }
        for (char& c : lowered) c = toLowerAscii(c);
        if (lowered.empty()) mask = 0;
        items.push_back(MenuBarItem{action, std::string(command), lowered, mask, enabled});
        const auto tag = static_cast<std::uint32_t>(items.size());
        menus.back().items.push_back(standin::MenuEntry{std::move(title), std::move(lowered), modifierKeysOfMask(mask),
                                                        enabled, checked, false, tag});
    }

    void applicationMenu() {
        const std::string& name = host.displayName;
        menu(name);
        item("About " + name, MenuAction::about, {}, 0);
        separator();
        item("Hide " + name, MenuAction::hide, "h", kCmd);
        // No application may hide the others' windows here: the item is shown, insensitive.
        item("Hide Others", MenuAction::hide_others, "h", kCmd | kOpt, false);
        item("Show All", MenuAction::unhide_all, {}, 0);
        separator();
        item("Quit " + name, MenuAction::quit, "q", kCmd);
    }

    void install() {
        host.platform->menus.setMenuBar(host.platform->self, menus);
        host.menuItems = std::move(items);
    }
};

std::optional<CanvasEditCommand> canvasCommandOf(standin::EditAction action) {
    switch (action) {
        case standin::EditAction::cut:
            return CanvasEditCommand::cut;
        case standin::EditAction::copy:
            return CanvasEditCommand::copy;
        case standin::EditAction::paste:
            return CanvasEditCommand::paste;
        case standin::EditAction::select_all:
            return CanvasEditCommand::selectAll;
        default:
            return std::nullopt;  // a canvas view keeps no undo history of its own
    }
}

// An Edit menu item chosen with the pointer acts on what holds the window's keyboard: a canvas
// view gets the same editing keys its own key presses would give; a page gets the item's key, typed
// at the window, so that the item does what its key does there, in its turn among the keys typed
// (a page that holds its keys while it is busy holds it too; an undo or redo the page leaves comes
// back, onKeyNotHandled); text fields do their own editing.
void editFocused(KelvoAppKitHost& host, HostWindow& window, const MenuBarItem& item) {
    standin::StandIn& platform = *host.platform;
    const standin::EditAction action = *editActionOf(item.action);
    standin::ViewRef focused = platform.menus.focusedView(platform.self, window.ref);
    HostNativeView* view = focused != nullptr ? nativeViewByRef(host, focused) : nullptr;
    if (view != nullptr && view->canvas) {
        const std::optional<CanvasEditCommand> command = canvasCommandOf(action);
        if (command) performCanvasEdit(*view->canvas, *command);
        return;
    }
    if (focused != nullptr && webViewByRef(host, focused) != nullptr && !item.key.empty()) {
        standin::KeyPress press;
        press.window = window.ref;
        press.modifiers = modifierKeysOfMask(item.modifiers);
        // The characters a key types with Shift held: "Z" for Shift and "z".
        std::string typed = item.key;
        if ((press.modifiers & standin::kKeyShift) != 0 && typed.size() == 1 && typed[0] >= 'a' && typed[0] <= 'z') {
            typed[0] = static_cast<char>(typed[0] - 'a' + 'A');
        }
        press.characters = typed;
        platform.menus.typeKey(platform.self, press);
        return;
    }
    platform.menus.performEdit(platform.self, window.ref, action);
}

void onMenuBarClick(void* context, standin::WindowRef ref, std::uint32_t tag) {
    KelvoAppKitHost& host = *static_cast<KelvoAppKitHost*>(context);
    if (tag == 0 || tag > host.menuItems.size()) return;
    const MenuBarItem item = host.menuItems[tag - 1];  // the action may rebuild the bar
    if (!item.enabled) return;
    performMenuAction(host, item, windowByRef(host, ref));
}

}  // namespace

void buildMenuBar(KelvoAppKitHost& host) {
    BarBuilder bar{host, {}, {}};
    bar.applicationMenu();
    bar.menu("File");
    bar.item("Close Window", MenuAction::close_window, "w", kCmd);
    bar.menu("Edit");
    if (host.hasWebContent) {
        bar.item("Undo", MenuAction::undo, "z", kCmd);
        bar.item("Redo", MenuAction::redo, "Z", kCmd);
        bar.separator();
    }
    bar.item("Cut", MenuAction::cut, "x", kCmd);
    bar.item("Copy", MenuAction::copy, "c", kCmd);
    bar.item("Paste", MenuAction::paste, "v", kCmd);
    bar.item("Select All", MenuAction::select_all, "a", kCmd);
    bar.menu("View");
    if (host.hasWebContent) {
        bar.item("Reload", MenuAction::reload, "r", kCmd);
        bar.item("Toggle Web Inspector", MenuAction::web_inspector, "i", kCmd | kOpt);
        bar.separator();
    }
    bar.item("Enter Full Screen", MenuAction::full_screen, "f", kCmd | kCtrl);
    bar.menu("Window");
    bar.item("Minimize", MenuAction::minimize, "m", kCmd);
    bar.item("Zoom", MenuAction::zoom, {}, 0);
    bar.separator();
    bar.item("Bring All to Front", MenuAction::bring_all_to_front, {}, 0);
    bar.install();
}

HostWindow* windowByRef(KelvoAppKitHost& host, standin::WindowRef ref) {
    for (auto& [id, window] : host.windows) {
        if (window->ref == ref) return window.get();
    }
    return nullptr;
}

HostWindow* keyWindow(KelvoAppKitHost& host) {
    for (auto& [id, window] : host.windows) {
        if (host.platform->windows.geometry(host.platform->self, window->ref).key) return window.get();
    }
    return nullptr;
}

std::uint64_t activeCommandWindowId(KelvoAppKitHost& host) {
    if (HostWindow* key = keyWindow(host)) return key->id;
    if (host.mainWindow != nullptr) return host.mainWindow->id;
    return 1;
}

std::optional<standin::EditAction> editActionOf(MenuAction action) {
    switch (action) {
        case MenuAction::undo:
            return standin::EditAction::undo;
        case MenuAction::redo:
            return standin::EditAction::redo;
        case MenuAction::cut:
            return standin::EditAction::cut;
        case MenuAction::copy:
            return standin::EditAction::copy;
        case MenuAction::paste:
            return standin::EditAction::paste;
        case MenuAction::select_all:
            return standin::EditAction::select_all;
        default:
            return std::nullopt;
    }
}

void performMenuAction(KelvoAppKitHost& host, const MenuBarItem& item, HostWindow* window) {
    standin::StandIn& platform = *host.platform;
    HostWindow* key = window != nullptr ? window : keyWindow(host);
    standin::WindowRef keyRef = key != nullptr ? key->ref : nullptr;
    switch (item.action) {
        case MenuAction::command: {
            if (item.command.empty()) return;
            KelvoHostEvent event = hostEventOfKind(HostEventKind::menu_command);
            event.windowId = key != nullptr ? key->id : activeCommandWindowId(host);
            event.command = hostString(item.command);
            emitEvent(host, event);
            return;
        }
        case MenuAction::about:
            platform.menus.showAbout(platform.self,
                                     standin::AboutPanel{host.displayName, host.appVersion, host.aboutDescription});
            return;
        case MenuAction::hide:
            platform.menus.performWindowAction(platform.self, keyRef, standin::WindowAction::hide_app);
            return;
        case MenuAction::hide_others:
            platform.menus.performWindowAction(platform.self, keyRef, standin::WindowAction::hide_others);
            return;
        case MenuAction::unhide_all:
            platform.menus.performWindowAction(platform.self, keyRef, standin::WindowAction::unhide_all);
            return;
        case MenuAction::full_screen:
            if (keyRef != nullptr) {
                platform.menus.performWindowAction(platform.self, keyRef, standin::WindowAction::toggle_full_screen);
            }
            return;
        case MenuAction::bring_all_to_front:
            platform.menus.performWindowAction(platform.self, keyRef, standin::WindowAction::arrange_in_front);
            return;
        case MenuAction::quit:
            // The same road as SIGTERM: one app_shutdown, then the loop ends.
            emitShutdown(host);
            stopHost(host);
            return;
        case MenuAction::close_window:
            if (key != nullptr) closeWindow(host, *key);
            return;
        case MenuAction::minimize:
            if (key != nullptr) platform.windows.miniaturize(platform.self, key->ref);
            return;
        case MenuAction::zoom:
            if (key != nullptr) platform.windows.zoom(platform.self, key->ref);
            return;
        case MenuAction::reload: {
            // The key window's main web view loads the document it shows again.
            if (key == nullptr) return;
            auto main = host.web.mains.find(key->id);
            if (main == host.web.mains.end()) return;
            platform.webviews.reload(platform.self, main->second->ref);
            scheduleFrame(host);
            return;
        }
        case MenuAction::web_inspector: {
            // The key window's main web view opens its inspector; the item never closes it.
            if (key == nullptr) return;
            auto main = host.web.mains.find(key->id);
            if (main == host.web.mains.end()) return;
            platform.webviews.showInspector(platform.self, main->second->ref);
            return;
        }
        case MenuAction::undo:
        case MenuAction::redo:
        case MenuAction::cut:
        case MenuAction::copy:
        case MenuAction::paste:
        case MenuAction::select_all:
            if (key != nullptr) editFocused(host, *key, item);
            return;
    }
}

void startMenuBarClicks(KelvoAppKitHost& host) {
    host.platform->menus.watchMenuBar(host.platform->self, standin::MenuBarSink{onMenuBarClick, &host});
}

void stopMenuBarClicks(KelvoAppKitHost& host) { host.platform->menus.watchMenuBar(host.platform->self, {}); }

void kelvo_appkit_set_menus(KelvoAppKitHost* host, const char* const* titles, const std::uint64_t* titleLengths,
                            std::uint64_t menuCount, const std::uint32_t* itemMenus, const char* const* labels,
                            const std::uint64_t* labelLengths, const char* const* commands,
                            const std::uint64_t* commandLengths, const char* const* keys,
                            const std::uint64_t* keyLengths, const std::uint32_t* modifiers,
                            const std::int32_t* separators, const std::int32_t* enabled, const std::int32_t* checked,
                            std::uint64_t itemCount) {
    if (menuCount == 0 || titles == nullptr || titleLengths == nullptr) {
        buildMenuBar(*host);
        return;
    }
    const bool itemsGiven = itemMenus != nullptr && labels != nullptr && labelLengths != nullptr &&
                            commands != nullptr && commandLengths != nullptr && keys != nullptr &&
                            keyLengths != nullptr && modifiers != nullptr && separators != nullptr &&
                            enabled != nullptr && checked != nullptr;
    if (!itemsGiven) itemCount = 0;
    auto text = [](const char* bytes, std::uint64_t length) {
        return hostText(bytes, static_cast<std::size_t>(length));
    };
    BarBuilder bar{*host, {}, {}};
    bar.applicationMenu();
    for (std::uint64_t m = 0; m < menuCount; ++m) {
        bar.menu(std::string(text(titles[m], titleLengths[m])));
        for (std::uint64_t i = 0; i < itemCount; ++i) {
            if (itemMenus[i] != m) continue;
            if (separators[i] != 0) {
                bar.separator();
                continue;
            }
            bar.item(std::string(text(labels[i], labelLengths[i])), MenuAction::command, text(keys[i], keyLengths[i]),
                     modifiers[i], enabled[i] != 0, checked[i] != 0, text(commands[i], commandLengths[i]));
        }
    }
    bar.install();
}

}  // namespace kelvo
