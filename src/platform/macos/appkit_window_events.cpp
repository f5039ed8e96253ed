// What happens to a window, reported to the runtime: frames, surface sizes, focus, drops and
// closing. A window's frame is its content area on the screen, the same rectangle a window is
// created from, so a saved frame restores the window where and as large as it was.

#include "base/utf8.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// The window an emitter speaks of: the one under the id, else the main window while it is open.
HostWindow* reportedWindow(KelvoAppKitHost& host, std::uint64_t id) {
    HostWindow* window = findWindow(host, id);
    return window != nullptr ? window : host.mainWindow;
}

KelvoHostEvent windowFrameEvent(KelvoAppKitHost& host, const HostWindow& window, std::uint64_t id, bool open) {
    standin::WindowGeometry geometry = host.platform->windows.geometry(host.platform->self, window.ref);
    KelvoHostEvent event = hostEventOfKind(HostEventKind::window_frame_changed);
    event.windowId = id;
    event.x = geometry.content.x;
    event.y = geometry.content.y;
    event.width = geometry.content.width;
    event.height = geometry.content.height;
    event.scale = geometry.scale;
    event.open = open ? 1 : 0;
    event.focused = geometry.key ? 1 : 0;
    event.windowLabel = hostString(window.label);
    return event;
}

void emitDeferredResize(KelvoAppKitHost& host, std::uint64_t id) {
    postToHost(
        host,
        [](KelvoAppKitHost& host, std::uint64_t id) {
            if (findWindow(host, id) == nullptr) return;
            emitWindowFrameForWindow(host, id, true);
            emitResizeForWindow(host, id);
            scheduleFrame(host);
        },
        id);
}

void setToolbarVisible(KelvoAppKitHost& host, HostWindow& window, bool visible) {
    if (window.titlebarStyle != 2) return;
    host.platform->windows.setToolbarVisible(host.platform->self, window.ref, visible);
}

}  // namespace

void emitResizeForWindow(KelvoAppKitHost& host, std::uint64_t id) {
    HostWindow* window = reportedWindow(host, id);
    if (window == nullptr) return;
    standin::WindowGeometry geometry = host.platform->windows.geometry(host.platform->self, window->ref);
    KelvoHostEvent event = hostEventOfKind(HostEventKind::surface_resized);
    event.windowId = id;
    event.width = geometry.content.width;
    event.height = geometry.content.height;
    event.scale = geometry.scale;
    emitEvent(host, event);
}

void emitWindowFrameForWindow(KelvoAppKitHost& host, std::uint64_t id, bool open) {
    HostWindow* window = reportedWindow(host, id);
    if (window == nullptr) return;
    emitEvent(host, windowFrameEvent(host, *window, id, open));
}

bool emitDroppedPaths(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view nulSeparatedPaths) {
    std::string joined;
    std::size_t start = 0;
    while (start <= nulSeparatedPaths.size()) {
        std::size_t end = nulSeparatedPaths.find('\0', start);
        if (end == std::string_view::npos) end = nulSeparatedPaths.size();
        std::string_view path = nulSeparatedPaths.substr(start, end - start);
        // A path the runtime could not hand on as text is left out, as a chosen one would be.
        if (!path.empty() && isValidUtf8(path)) {
            if (!joined.empty()) joined.push_back('\0');
            joined.append(path);
        }
        start = end + 1;
    }
    if (joined.empty()) return false;
    KelvoHostEvent event = hostEventOfKind(HostEventKind::files_dropped);
    event.windowId = windowId;
    event.paths = hostString(joined);
    emitEvent(host, event);
    return true;
}

void closeWindow(KelvoAppKitHost& host, HostWindow& window) {
    // The window leaves the tables before the runtime hears of it, so that nothing the runtime
    // does in answer reaches the closing window.
    const std::uint64_t id = window.id;
    std::unique_ptr<HostWindow> closing = std::move(host.windows[id]);
    host.windows.erase(id);
    if (host.mainWindow == closing.get()) host.mainWindow = nullptr;
    closing->observesContentLayout = false;
    // The keys it held go with it.
    if (closing->keysHeld) host.platform->loop.cancelTimer(host.platform->self, closing->heldKeysDeadline);
    KelvoHostEvent closed = windowFrameEvent(host, *closing, id, false);
    closeNativeViewsInWindow(host, id);
    closeWindowWebViews(host, id);
    host.platform->windows.destroy(host.platform->self, closing->ref);
    emitEvent(host, closed);
    noteKeyWindowChanged(host);
    if (host.windows.empty()) {
        // Closing the last window ends the application.
        emitShutdown(host);
        stopHost(host);
    }
}

void destroyAllWindows(KelvoAppKitHost& host) {
    for (auto& [id, window] : host.windows) closeNativeViewsInWindow(host, id);
    for (auto& [id, window] : host.windows) host.platform->windows.destroy(host.platform->self, window->ref);
    host.windows.clear();
    host.mainWindow = nullptr;
}

void deliverWindowEvent(void* context, standin::WindowRef ref, const standin::WindowEvent& event) {
    auto& events = *static_cast<HostWindowEvents*>(context);
    KelvoAppKitHost& host = *events.host;
    auto entry = host.windows.find(events.windowId);
    if (entry == host.windows.end() || entry->second->ref != ref) return;
    HostWindow& window = *entry->second;
    const std::uint64_t id = window.id;
    using Kind = standin::WindowEventKind;
    switch (event.kind) {
        case Kind::became_key:
            noteKeyWindowChanged(host);
            keyboardToMainWebView(host, id);
            [[fallthrough]];
        case Kind::resized:
            emitWindowFrameForWindow(host, id, true);
            emitResizeForWindow(host, id);
            if (event.kind == Kind::resized) emitCanvasResizesForWindow(host, id);
            emitDeferredResize(host, id);
            scheduleFrame(host);
            break;
        case Kind::moved:
            emitWindowFrameForWindow(host, id, true);
            scheduleFrame(host);
            break;
        case Kind::resigned_key:
            noteKeyWindowChanged(host);
            break;
        case Kind::close_requested:
            closeWindow(host, window);
            break;
        case Kind::files_dropped:
            (void)emitDroppedPaths(host, id, event.paths);
            break;
        case Kind::will_enter_full_screen:
        case Kind::did_enter_full_screen:
            setToolbarVisible(host, window, false);
            break;
        case Kind::will_exit_full_screen:
        case Kind::did_exit_full_screen:
            setToolbarVisible(host, window, true);
            break;
        case Kind::content_layout_changed:
            if (!window.observesContentLayout) break;
            emitResizeForWindow(host, id);
            // The canvas views in the window tell their sizes again, for the runtime to lay them
            // out against the new title bar.
            emitCanvasResizesForWindow(host, id);
            scheduleFrame(host);
            break;
        case Kind::occlusion_changed:
            noteCanvasOcclusionForWindow(host, id);
            break;
    }
}

}  // namespace kelvo
