// Windows: creation with the restore and centring rules and the titlebar styles, deferred
// showing, and the runtime's window operations.

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/stderr.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// The style mask of a titlebar style (any other style number counts as 0).
std::uint32_t styleMask(std::int32_t titlebarStyle, bool resizable) {
    std::uint32_t mask = 0;
    switch (titlebarStyle) {
        case 1:
        case 2:
            mask = kMaskTitled | kMaskClosable | kMaskMiniaturizable | kMaskFullSizeContent;
            break;
        case 3:
            mask = kMaskClosable | kMaskMiniaturizable;
            break;
        default:
            mask = kMaskTitled | kMaskClosable | kMaskMiniaturizable;
            break;
    }
    return resizable ? mask | kMaskResizable : mask;
}

std::uint32_t standInStyle(std::uint32_t mask) {
    std::uint32_t style = 0;
    if (mask & kMaskTitled) style |= standin::kStyleTitled;
    if (mask & kMaskClosable) style |= standin::kStyleClosable;
    if (mask & kMaskMiniaturizable) style |= standin::kStyleMiniaturizable;
    if (mask & kMaskResizable) style |= standin::kStyleResizable;
    if (mask & kMaskFullSizeContent) style |= standin::kStyleFullSizeContent;
    return style;
}

// A restored frame is pulled inside the screen's visible part, shrinking it when it is larger.
standin::RectD fitIntoScreen(standin::RectD frame, const standin::RectD& visible) {
    frame.width = std::min(frame.width, visible.width);
    frame.height = std::min(frame.height, visible.height);
    frame.x = std::max(frame.x, visible.x);
    frame.y = std::max(frame.y, visible.y);
    if (frame.x + frame.width > visible.x + visible.width) frame.x = visible.x + visible.width - frame.width;
    if (frame.y + frame.height > visible.y + visible.height) frame.y = visible.y + visible.height - frame.height;
    return frame;
}

void showDeferred(KelvoAppKitHost& host, std::uint64_t id, std::string_view reason,
                  std::optional<std::uint64_t> generation) {
    auto entry = host.windows.find(id);
    if (entry == host.windows.end() || !entry->second->deferredShow) return;
    HostWindow& window = *entry->second;
    if (generation && window.deferredShow->generation != *generation) return;
    DeferredShow pending = *window.deferredShow;
    window.deferredShow.reset();
    if (host.launchTiming) {
        std::uint64_t now = wallClockNs(host);
        double elapsedMs = static_cast<double>(now - std::min(now, pending.createdWallNs)) / 1e6;
        char line[200];
        int length =
            std::snprintf(line, sizeof line, "kelvo: window %llu shown (%.*s) %.1f ms after create wall_ns=%llu\n",
                          static_cast<unsigned long long>(id), static_cast<int>(reason.size()), reason.data(),
                          elapsedMs, static_cast<unsigned long long>(now));
        if (length > 0) writeStderr(std::string_view(line, static_cast<std::size_t>(length)));
    }
    orderWindowFront(host, window);
    host.platform->windows.activateApp(host.platform->self);
    emitWindowFrameForWindow(host, id, true);
    scheduleFrame(host);
}

void armDeferredShowDeadline(KelvoAppKitHost& host, std::uint64_t id, std::uint64_t generation) {
    std::weak_ptr<HostLife> life = host.life;
    host.platform->loop.startTimer(host.platform->self, kDeferredShowDeadlineNs, false, [life, id, generation] {
        if (std::shared_ptr<HostLife> alive = life.lock())
            showDeferred(*alive->host, id, "fallback-deadline", generation);
    });
}

}  // namespace

HostWindow* findWindow(KelvoAppKitHost& host, std::uint64_t id) {
    auto entry = host.windows.find(id);
    if (entry != host.windows.end()) return entry->second.get();
    if (id == 1) return host.mainWindow;
    return nullptr;
}

void orderWindowFront(KelvoAppKitHost& host, HostWindow& window) {
    host.platform->windows.orderFront(host.platform->self, window.ref);
}

bool createWindow(KelvoAppKitHost& host, const WindowRequest& request) {
    if (host.windows.contains(request.id)) return false;
    standin::StandIn& platform = *host.platform;

    standin::RectD frame{request.x, request.y, request.width, request.height};
    if (request.restoreFrame) {
        if (std::optional<standin::RectD> visible = platform.windows.screenVisibleFrame(platform.self)) {
            frame = fitIntoScreen(frame, *visible);
        }
    } else {
        frame.x = 0;
        frame.y = 0;
    }

    auto window = std::make_unique<HostWindow>();
    window->id = request.id;
    window->label = std::string(request.label.empty() ? std::string_view("main") : request.label);
    window->titlebarStyle = request.titlebarStyle;
    window->styleMask = styleMask(request.titlebarStyle, request.resizable);
    window->events = std::make_unique<HostWindowEvents>(HostWindowEvents{&host, request.id});

    standin::WindowDescription description;
    description.title = request.title.empty() ? std::string_view(host.appName) : request.title;
    description.content = frame;
    description.style = standInStyle(window->styleMask);
    description.transparentTitlebar = request.titlebarStyle == 1 || request.titlebarStyle == 2;
    description.tallToolbar = request.titlebarStyle == 2;
    description.centre = !request.restoreFrame;
    // The plain titled style carries the menu bar above its content; styles 1 and 2 put the title
    // bar over the content and style 3 has none.
    description.menuBar = request.titlebarStyle < 1 || request.titlebarStyle > 3;
    description.events = standin::WindowEventSink{deliverWindowEvent, window->events.get()};
    window->ref = platform.windows.create(platform.self, description);
    if (window->ref == nullptr) return false;
    if (request.makeMain) launchMark(host, "window_chrome_ready");
    window->observesContentLayout = request.titlebarStyle == 2;

    HostWindow& stored = *window;
    host.windows.emplace(request.id, std::move(window));

    if (request.showPolicy == 1) {
        std::uint64_t generation = ++host.deferredShowGeneration;
        stored.deferredShow = DeferredShow{wallClockNs(host), generation};
        launchMark(host, "window_created");
        armDeferredShowDeadline(host, request.id, generation);
    } else if (!request.makeMain) {
        // The main window is shown by the run sequence.
        orderWindowFront(host, stored);
        platform.windows.activateApp(platform.self);
    }
    if (request.makeMain) host.mainWindow = &stored;
    return true;
}

void showDeferredWindowIfPending(KelvoAppKitHost& host, std::uint64_t id, std::string_view reason) {
    showDeferred(host, id, reason, std::nullopt);
}

void applyWindowClearColor(KelvoAppKitHost& host, std::uint64_t id, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue, std::uint8_t alpha) {
    std::uint32_t packed =
        (std::uint32_t{red} << 24) | (std::uint32_t{green} << 16) | (std::uint32_t{blue} << 8) | alpha;
    HostWindow* window = findWindow(host, id);
    if (window == nullptr || window->clearColor == packed) return;
    window->clearColor = packed;
    host.platform->windows.setBackground(host.platform->self, window->ref, packed);
}

std::int32_t kelvo_appkit_create_window(KelvoAppKitHost* host, std::uint64_t windowId, const char* title,
                                        std::size_t titleLength, const char* label, std::size_t labelLength,
                                        std::int32_t restoreFrame, std::int32_t resizable, std::int32_t titlebarStyle,
                                        std::int32_t showPolicy, double x, double y, double width, double height) {
    WindowRequest request;
    request.id = windowId;
    request.title = hostText(title, titleLength);
    request.label = hostText(label, labelLength);
    request.restoreFrame = restoreFrame != 0;
    request.resizable = resizable != 0;
    request.titlebarStyle = titlebarStyle;
    request.showPolicy = showPolicy;
    request.x = x;
    request.y = y;
    request.width = width;
    request.height = height;
    return createWindow(*host, request) ? 1 : 0;
}

std::int32_t kelvo_appkit_set_window_content_min_size(KelvoAppKitHost* host, std::uint64_t windowId, double width,
                                                      double height) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    if (width > 0) window->minWidth = width;
    if (height > 0) window->minHeight = height;
    host->platform->windows.setContentMinSize(host->platform->self, window->ref, window->minWidth, window->minHeight);
    return 1;
}

std::int32_t kelvo_appkit_focus_window(KelvoAppKitHost* host, std::uint64_t windowId) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    window->deferredShow.reset();
    orderWindowFront(*host, *window);
    host->platform->windows.activateApp(host->platform->self);
    emitWindowFrameForWindow(*host, windowId, true);
    scheduleFrame(*host);
    return 1;
}

std::int32_t kelvo_appkit_close_window(KelvoAppKitHost* host, std::uint64_t windowId) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    closeWindow(*host, *window);
    return 1;
}

std::int32_t kelvo_appkit_minimize_window(KelvoAppKitHost* host, std::uint64_t windowId) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    host->platform->windows.miniaturize(host->platform->self, window->ref);
    return 1;
}

std::int32_t kelvo_appkit_start_window_drag(KelvoAppKitHost* host, std::uint64_t windowId) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    standin::StandIn& platform = *host->platform;
    standin::PointerEvent pointer = platform.windows.currentPointerEvent(platform.self);
    if (pointer.phase == standin::PointerPhase::none) return 1;
    if (pointer.phase == standin::PointerPhase::left_down && pointer.clickCount >= 2) {
        // A double click in the title bar does what the user chose for it, once: a page whose
        // request for the first click comes after the second press finds the double click then,
        // and its request for the second finds the same press again.
        if (pointer.press != 0 && pointer.press == window->doubleClickPress) return 1;
        window->doubleClickPress = pointer.press;
        switch (platform.windows.titlebarDoubleClick(platform.self)) {
            case standin::TitlebarDoubleClick::minimize:
                platform.windows.miniaturize(platform.self, window->ref);
                break;
            case standin::TitlebarDoubleClick::none:
                break;
            case standin::TitlebarDoubleClick::zoom:
                platform.windows.zoom(platform.self, window->ref);
                break;
        }
        return 1;
    }
    // A page asks from a script message, after the press it answers was handled: by then the
    // button may be up, or its release gone to the window manager with an earlier move. A move
    // begun without the button held would follow the pointer until the next click.
    if (!platform.windows.leftButtonDown(platform.self)) return 1;
    platform.windows.beginMoveDrag(platform.self, window->ref);
    return 1;
}

// The part of a full-size-content window that the title bar and its buttons cover, in points
// from the content's top left.
std::int32_t kelvo_appkit_window_chrome_insets(KelvoAppKitHost* host, std::uint64_t windowId, double* top, double* left,
                                               double* bottom, double* right, double* buttonsX, double* buttonsY,
                                               double* buttonsWidth, double* buttonsHeight) {
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    for (double* out : {top, left, bottom, right, buttonsX, buttonsY, buttonsWidth, buttonsHeight}) *out = 0;
    if ((window->styleMask & kMaskFullSizeContent) == 0) return 1;

    standin::ChromeLayout chrome = host->platform->windows.chrome(host->platform->self, window->ref);
    const standin::RectD& bounds = chrome.bounds;
    double covered = chrome.layout.y - bounds.y;
    if (covered <= 0.5) return 1;
    *top = covered;

    // The window's buttons, and beside them the button that opens the menu, make one area.
    std::array<std::optional<standin::RectD>, 4> shown{chrome.buttons[0], chrome.buttons[1], chrome.buttons[2],
                                                       chrome.menuButton};
    std::optional<standin::RectD> buttons;
    for (const std::optional<standin::RectD>& button : shown) {
        if (!button) continue;
        if (!buttons) {
            buttons = *button;
            continue;
        }
        double x0 = std::min(buttons->x, button->x);
        double y0 = std::min(buttons->y, button->y);
        double x1 = std::max(buttons->x + buttons->width, button->x + button->width);
        double y1 = std::max(buttons->y + buttons->height, button->y + button->height);
        buttons = standin::RectD{x0, y0, x1 - x0, y1 - y0};
    }
    if (!buttons) return 1;
    *buttonsX = buttons->x;
    *buttonsY = buttons->y - bounds.y;
    *buttonsWidth = buttons->width;
    *buttonsHeight = buttons->height;
    double boundsMaxX = bounds.x + bounds.width;
    double buttonsMaxX = buttons->x + buttons->width;
    if (buttons->x >= bounds.x + bounds.width * 0.5) {
        *right = (boundsMaxX - buttons->x) + (boundsMaxX - buttonsMaxX);
    } else {
        *left = (buttons->x - bounds.x) + buttonsMaxX;
    }
    return 1;
}

}  // namespace kelvo
