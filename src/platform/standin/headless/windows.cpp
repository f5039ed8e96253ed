// Headless windows: records of what the host made of each window, and the user's acts on them
// delivered through the main queue, as a window system would.

#include <cstdio>
#include <string>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

using HeadlessWindow = HeadlessStandIn::Window;

HeadlessWindow& windowOf(WindowRef ref) { return *reinterpret_cast<HeadlessWindow*>(ref); }
WindowRef refOf(HeadlessWindow& window) { return reinterpret_cast<WindowRef>(&window); }

std::string describe(const HeadlessWindow& window) { return "n=" + std::to_string(window.number); }

std::string rectText(const RectD& r) {
    char text[128];
    std::snprintf(text, sizeof text, "%g,%g %gx%g", r.x, r.y, r.width, r.height);
    return text;
}

// Hands an event to the window's sink from the main queue, unless the window is gone by then.
void deliverLater(HeadlessState& state, HeadlessWindow& window, WindowEventKind kind, std::string paths = {}) {
    HeadlessWindow* target = &window;
    state.post([target, kind, paths = std::move(paths)] {
        if (target->destroyed || target->events.deliver == nullptr) return;
        target->events.deliver(target->events.context, refOf(*target), WindowEvent{kind, paths});
    });
}

void makeKey(HeadlessState& state, HeadlessWindow& window) {
    if (window.key) return;
    for (auto& other : state.windows) {
        if (other->key) {
            other->key = false;
            deliverLater(state, *other, WindowEventKind::resigned_key);
        }
    }
    window.key = true;
    deliverLater(state, window, WindowEventKind::became_key);
}

WindowRef create(void* self, const WindowDescription& description) {
    HeadlessState& state = headlessState(self);
    auto window = std::make_unique<HeadlessWindow>();
    window->number = state.windows.size() + 1;
    window->title = std::string(description.title);
    window->content = description.content;
    if (description.centre && state.answers.screen) {
        const RectD& screen = *state.answers.screen;
        window->content.x = screen.x + (screen.width - description.content.width) / 2;
        window->content.y = screen.y + (screen.height - description.content.height) / 2;
    }
    window->style = description.style;
    window->transparentTitlebar = description.transparentTitlebar;
    window->tallToolbar = description.tallToolbar;
    window->centred = description.centre;
    window->menuBar = description.menuBar;
    window->chrome.bounds = RectD{0, 0, window->content.width, window->content.height};
    window->chrome.layout = window->chrome.bounds;
    window->events = description.events;
    state.note("window.create " + describe(*window) + " title=" + window->title +
               " content=" + rectText(window->content) + " style=" + std::to_string(description.style) +
               (description.centre ? " centre" : "") + (description.transparentTitlebar ? " transparent" : "") +
               (description.tallToolbar ? " toolbar" : "") + (description.menuBar ? " menubar" : ""));
    state.windows.push_back(std::move(window));
    return refOf(*state.windows.back());
}

void destroy(void* self, WindowRef ref) {
    HeadlessWindow& window = windowOf(ref);
    headlessState(self).note("window.destroy " + describe(window));
    window.destroyed = true;
    window.heldKeys.clear();
    window.visible = false;
    window.key = false;
}

void orderFront(void* self, WindowRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessWindow& window = windowOf(ref);
    state.note("window.front " + describe(window));
    window.visible = true;
    window.miniaturized = false;
    makeKey(state, window);
}

void activateApp(void* self) { headlessState(self).note("app.activate"); }

void miniaturize(void* self, WindowRef ref) {
    HeadlessWindow& window = windowOf(ref);
    headlessState(self).note("window.miniaturize " + describe(window));
    window.miniaturized = true;
}

void zoom(void* self, WindowRef ref) {
    HeadlessWindow& window = windowOf(ref);
    headlessState(self).note("window.zoom " + describe(window));
    window.zoomed = !window.zoomed;
}

void setTitle(void* self, WindowRef ref, std::string_view title) {
    HeadlessWindow& window = windowOf(ref);
    window.title = std::string(title);
    headlessState(self).note("window.title " + describe(window) + " title=" + window.title);
}

void setContentMinSize(void* self, WindowRef ref, double width, double height) {
    HeadlessWindow& window = windowOf(ref);
    window.minWidth = width;
    window.minHeight = height;
    char line[96];
    std::snprintf(line, sizeof line, " %gx%g", width, height);
    headlessState(self).note("window.min_size " + describe(window) + line);
}

void setBackground(void* self, WindowRef ref, std::uint32_t rgba) {
    HeadlessWindow& window = windowOf(ref);
    window.background = rgba;
    char line[32];
    std::snprintf(line, sizeof line, " %08x", rgba);
    headlessState(self).note("window.background " + describe(window) + line);
}

void setToolbarVisible(void* self, WindowRef ref, bool visible) {
    HeadlessWindow& window = windowOf(ref);
    window.toolbarVisible = visible;
    headlessState(self).note("window.toolbar " + describe(window) + (visible ? " shown" : " hidden"));
}

WindowGeometry geometry(void* self, WindowRef ref) {
    HeadlessWindow& window = windowOf(ref);
    WindowGeometry geometry{window.content, headlessState(self).answers.scale, window.key, window.visible};
    geometry.onScreen = window.visible && !window.miniaturized && !window.covered;
    return geometry;
}

ChromeLayout chrome(void*, WindowRef ref) { return windowOf(ref).chrome; }

std::optional<RectD> screenVisibleFrame(void* self) { return headlessState(self).answers.screen; }

PointerEvent currentPointerEvent(void* self) { return headlessState(self).answers.pointer; }

bool leftButtonDown(void* self) { return headlessState(self).answers.leftButtonDown; }

TitlebarDoubleClick titlebarDoubleClick(void* self) { return headlessState(self).answers.doubleClick; }

// The window manager takes the press over: it is no longer the event being handled.
void beginMoveDrag(void* self, WindowRef ref) {
    HeadlessState& state = headlessState(self);
    state.note("window.drag " + describe(windowOf(ref)));
    state.answers.pointer = {};
}

void setAppIcon(void* self, const RgbaImage& image) {
    HeadlessState& state = headlessState(self);
    state.appIconSize = std::pair(image.width, image.height);
    state.note("app.icon " + std::to_string(image.width) + "x" + std::to_string(image.height));
}

bool setAppIconFromFile(void* self, std::string_view path) {
    HeadlessState& state = headlessState(self);
    state.note("app.icon_file " + std::string(path));
    if (!state.answers.iconFilesReadable) return false;
    state.appIconSize = std::pair(1u, 1u);
    return true;
}

}  // namespace

WindowService headlessWindows() {
    WindowService windows;
    KELVO_STANDIN_FILL(windows, KELVO_STANDIN_WINDOW_FUNCTIONS)
    return windows;
}

std::vector<HeadlessStandIn::Window*> HeadlessStandIn::windows() {
    std::vector<Window*> all;
    for (auto& window : state_->windows) all.push_back(window.get());
    return all;
}

HeadlessStandIn::Window& HeadlessStandIn::window(WindowRef ref) { return windowOf(ref); }
WindowRef HeadlessStandIn::ref(const HeadlessWindow& window) { return refOf(const_cast<Window&>(window)); }

std::optional<std::pair<std::uint32_t, std::uint32_t>> HeadlessStandIn::appIconSize() const {
    return state_->appIconSize;
}

void HeadlessStandIn::userResize(WindowRef ref, double width, double height) {
    HeadlessWindow& window = windowOf(ref);
    window.content.width = width;
    window.content.height = height;
    window.chrome.bounds.width = width;
    window.chrome.bounds.height = height;
    window.chrome.layout.width = width;
    window.chrome.layout.height = height - window.chrome.layout.y;
    deliverLater(*state_, window, WindowEventKind::resized);
}

void HeadlessStandIn::userMove(WindowRef ref, double x, double y) {
    HeadlessWindow& window = windowOf(ref);
    window.content.x = x;
    window.content.y = y;
    deliverLater(*state_, window, WindowEventKind::moved);
}

void HeadlessStandIn::userFocus(WindowRef ref) { makeKey(*state_, windowOf(ref)); }

void HeadlessStandIn::userClose(WindowRef ref) {
    deliverLater(*state_, windowOf(ref), WindowEventKind::close_requested);
}

void HeadlessStandIn::userDropFiles(WindowRef ref, std::string_view nulSeparatedPaths) {
    deliverLater(*state_, windowOf(ref), WindowEventKind::files_dropped, std::string(nulSeparatedPaths));
}

void HeadlessStandIn::sendWindowEvent(WindowRef ref, WindowEventKind kind) {
    deliverLater(*state_, windowOf(ref), kind);
}

}  // namespace kelvo::standin
