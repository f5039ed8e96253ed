// Headless menus: the menu bar kept as set, key presses and clicks on the bar scripted by the test
// and offered to the host (a key the host types goes the same way), context menus answered with
// the scripted choices. The keyboard focus of a window is its focused native view, else its bottom
// web view (the page takes the keys).

#include <cstdio>
#include <utility>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

std::string windowName(HeadlessState& state, WindowRef ref) {
    for (auto& window : state.windows) {
        if (reinterpret_cast<WindowRef>(window.get()) == ref) return std::to_string(window->number);
    }
    return "none";
}

void setMenuBar(void* self, std::span<const Menu> menus) {
    HeadlessState& state = headlessState(self);
    std::string titles;
    for (const Menu& menu : menus) titles += (titles.empty() ? "" : "|") + menu.title;
    state.note("menu.bar " + titles);
    state.services.menuBar.assign(menus.begin(), menus.end());
}

void watchKeys(void* self, KeyMonitor monitor) {
    HeadlessState& state = headlessState(self);
    state.note("keys.watch");
    state.keyMonitor = monitor;
}

void unwatchKeys(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("keys.unwatch");
    state.keyMonitor.reset();
}

void popUpMenu(void* self, WindowRef window, double x, double y, std::span<const MenuItem> items, MenuChoice done) {
    HeadlessState& state = headlessState(self);
    char at[64];
    std::snprintf(at, sizeof at, " at=%g,%g", x, y);
    std::string line = "menu.popup n=" + windowName(state, window) + at + " items=";
    std::uint32_t choice = 0;
    std::uint32_t wanted = 0;
    if (!state.services.menuChoices.empty()) {
        wanted = state.services.menuChoices.front();
        state.services.menuChoices.pop_front();
    }
    for (const MenuItem& item : items) {
        if (item.separator) {
            line += "-,";
            continue;
        }
        line += std::to_string(item.tag) + ":" + std::string(item.title) + (item.enabled ? "," : ":off,");
        if (item.enabled && item.tag == wanted) choice = wanted;
    }
    state.note(line);
    // The user closes the menu on a later turn of the main loop.
    state.post([done = std::move(done), choice] { done(choice); });
}

void showAbout(void* self, const AboutPanel& panel) {
    headlessState(self).note("menu.about name=" + std::string(panel.name) + " version=" + std::string(panel.version) +
                             " credits=" + std::string(panel.credits));
}

void performWindowAction(void* self, WindowRef window, WindowAction action) {
    HeadlessState& state = headlessState(self);
    static constexpr const char* kNames[] = {"hide_app", "hide_others", "unhide_all", "toggle_full_screen",
                                             "arrange_in_front"};
    state.note(std::string("window.action ") + kNames[static_cast<int>(action)] + " n=" + windowName(state, window));
}

void watchMenuBar(void* self, MenuBarSink sink) { headlessState(self).menuBarSink = sink; }

ViewRef focusedView(void* self, WindowRef window) {
    HeadlessState& state = headlessState(self);
    const std::uint64_t number = reinterpret_cast<HeadlessStandIn::Window*>(window)->number;
    for (auto& view : state.nativeViews) {
        if (view->focused && !view->destroyed && view->window == number) return reinterpret_cast<ViewRef>(view.get());
    }
    auto stack = state.stacks.find(window);
    if (stack == state.stacks.end()) return nullptr;
    for (ViewRef ref : stack->second) {
        for (auto& webView : state.webViews) {
            if (headlessViewRef(*webView) == ref) return ref;
        }
    }
    return nullptr;
}

void holdKeys(void* self, WindowRef window, bool hold) {
    HeadlessState& state = headlessState(self);
    auto& held = *reinterpret_cast<HeadlessStandIn::Window*>(window);
    held.keysHeld = hold;
    state.note(std::string(hold ? "keys.hold" : "keys.release") + " n=" + windowName(state, window));
    if (hold) return;
    std::vector<std::function<void()>> keys = std::move(held.heldKeys);
    held.heldKeys.clear();
    for (auto& key : keys) key();
}

// The key as a log names it: "cmd+shift+Z".
std::string keyName(const KeyPress& press) {
    std::string name;
    static constexpr std::pair<std::uint32_t, const char*> kModifiers[] = {
        {kKeyCommand, "cmd+"}, {kKeyControl, "ctrl+"}, {kKeyOption, "opt+"}, {kKeyShift, "shift+"}};
    for (auto [key, prefix] : kModifiers) {
        if (press.modifiers & key) name += prefix;
    }
    return name + std::string(press.namedKey.empty() ? press.characters : press.namedKey);
}

// A key typed at a window reaches it on a later turn (below).
void queueKey(HeadlessState* state, const KeyPress& press);

// A key the program types goes where the user's own go.
void typeKey(void* self, const KeyPress& press) {
    HeadlessState& state = headlessState(self);
    state.note("key.typed " + keyName(press) + " n=" + windowName(state, press.window));
    queueKey(&state, press);
}

void performEdit(void* self, WindowRef window, EditAction action) {
    HeadlessState& state = headlessState(self);
    static constexpr const char* kNames[] = {"undo", "redo", "cut", "copy", "paste", "select_all"};
    ViewRef focused = focusedView(self, window);
    state.note(std::string("edit.") + kNames[static_cast<int>(action)] + " n=" + windowName(state, window) +
               " view=" + (focused != nullptr ? headlessViewName(state, focused) : std::string("none")));
}

}  // namespace

MenuService headlessMenus() {
    MenuService menus;
    KELVO_STANDIN_FILL(menus, KELVO_STANDIN_MENU_FUNCTIONS)
    return menus;
}

namespace {

// A key typed at a window as the monitor and the focused view take it.
void deliverKey(HeadlessState* state, KeyPress copy, std::string named, std::string characters) {
    copy.namedKey = named;
    copy.characters = characters;
    bool consumed = state->keyMonitor && state->keyMonitor->keyDown(state->keyMonitor->context, copy);
    // What the monitor leaves goes on to the focused view.
    const std::string shown = named.empty() ? characters : named;
    state->note(std::string(consumed ? "key.consumed " : "key.passed ") + shown);
    if (consumed || copy.window == nullptr) return;
    ViewRef focused = focusedView(state, copy.window);
    HeadlessStandIn::WebView* page = nullptr;
    for (auto& webView : state->webViews) {
        if (headlessViewRef(*webView) == focused) page = webView.get();
    }
    if (page == nullptr) return;
    // A focused page sees the key; one that did not cancel it gives it back on a later turn,
    // as WebKit answers once the page has.
    if (page->cancelsKeys) {
        state->note("page.key " + shown + " cancelled");
        return;
    }
    state->post([state, copy, named = std::move(named), characters = std::move(characters), shown]() mutable {
        copy.namedKey = named;
        copy.characters = characters;
        const bool taken = state->keyMonitor && state->keyMonitor->keyNotHandled != nullptr &&
                           state->keyMonitor->keyNotHandled(state->keyMonitor->context, copy);
        state->note("page.key " + shown + (taken ? " given back, consumed" : " given back"));
    });
}

void queueKey(HeadlessState* state, const KeyPress& press) {
    std::string named(press.namedKey);
    std::string characters(press.characters);
    state->post([state, copy = press, named = std::move(named), characters = std::move(characters)]() mutable {
        auto* window = reinterpret_cast<HeadlessStandIn::Window*>(copy.window);
        if (window != nullptr && window->keysHeld && !window->destroyed) {
            state->note("key.held " + (named.empty() ? characters : named));
            window->heldKeys.push_back([state, copy, named = std::move(named), characters = std::move(characters)] {
                deliverKey(state, copy, named, characters);
            });
            return;
        }
        deliverKey(state, copy, std::move(named), std::move(characters));
    });
}

}  // namespace

void HeadlessStandIn::userKeyDown(const KeyPress& press) { queueKey(state_.get(), press); }

}  // namespace kelvo::standin

namespace kelvo::standin {

bool HeadlessStandIn::userClickMenuBar(WindowRef window, std::string_view menu, std::string_view item) {
    HeadlessState* state = state_.get();
    for (const Menu& shown : state->services.menuBar) {
        if (shown.title != menu) continue;
        for (const MenuEntry& entry : shown.items) {
            if (entry.separator || entry.title != item) continue;
            if (!entry.enabled) return false;
            state->post([state, window, tag = entry.tag] {
                if (reinterpret_cast<HeadlessStandIn::Window*>(window)->destroyed) return;
                if (state->menuBarSink.chosen != nullptr)
                    state->menuBarSink.chosen(state->menuBarSink.context, window, tag);
            });
            return true;
        }
    }
    return false;
}

}  // namespace kelvo::standin
