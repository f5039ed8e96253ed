// Slots of windows, timers, wake-ups and frame requests.

#include <cmath>

#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

void rememberTitle(MacPlatform& mac, std::uint64_t windowId, std::string_view title) {
    std::ptrdiff_t index =
        mac.createdTitles.findIndex([&](const CreatedWindowTitle& e) { return e.windowId == windowId; });
    CreatedWindowTitle* entry =
        index >= 0 ? &mac.createdTitles[static_cast<std::size_t>(index)] : mac.createdTitles.pushDefault();
    if (entry == nullptr) return;
    entry->windowId = windowId;
    if (!entry->title.assign(title)) entry->title.clear();
}

double minimumComponent(float value) { return std::isfinite(value) && value > 0 ? value : 0.0; }

Result<WindowInfo> createWindow(void* services, const WindowConfig& window) {
    MacPlatform& mac = macOf(services);
    const std::string_view title = window.title.empty() ? mac.app.appName : window.title;
    std::int32_t created = mac.appkit->create_window(
        mac.host, window.id, title.data(), title.size(), window.label.data(), window.label.size(),
        window.restoreFrame ? 1 : 0, window.resizable ? 1 : 0, static_cast<std::int32_t>(window.titlebarStyle),
        static_cast<std::int32_t>(window.showPolicy), window.frame.x, window.frame.y, window.frame.width,
        window.frame.height);
    if (created == 0) return fail(Error::CreateFailed);
    rememberTitle(mac, window.id, title);

    double minWidth = minimumComponent(window.minContentSize.width);
    double minHeight = minimumComponent(window.minContentSize.height);
    if ((minWidth > 0 || minHeight > 0) && mac.appkit->set_window_content_min_size != nullptr) {
        (void)mac.appkit->set_window_content_min_size(mac.host, window.id, minWidth, minHeight);
    }
    return WindowInfo{window.id, window.label, title, window.frame, 1.0f, true, false};
}

Status focusWindow(void* services, std::uint64_t windowId) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->focus_window(mac.host, windowId) == 0) return fail(Error::FocusFailed);
    return {};
}

Status closeWindow(void* services, std::uint64_t windowId) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->close_window(mac.host, windowId) == 0) return fail(Error::CloseFailed);
    return {};
}

Status minimizeWindow(void* services, std::uint64_t windowId) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->minimize_window(mac.host, windowId) == 0) return fail(Error::WindowNotFound);
    return {};
}

Status startWindowDrag(void* services, std::uint64_t windowId) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->start_window_drag(mac.host, windowId) == 0) return fail(Error::WindowNotFound);
    return {};
}

WindowChrome windowChrome(void* services, std::uint64_t windowId) {
    MacPlatform& mac = macOf(services);
    double v[8] = {};
    if (mac.appkit->window_chrome_insets(mac.host, windowId, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7]) ==
        0) {
        return WindowChrome{};
    }
    auto f = [](double value) { return static_cast<float>(value); };
    return WindowChrome{f(v[0]), f(v[1]), f(v[2]), f(v[3]), RectF{f(v[4]), f(v[5]), f(v[6]), f(v[7])}};
}

Status startTimer(void* services, std::uint64_t timerId, std::uint64_t intervalNs, bool repeats) {
    MacPlatform& mac = macOf(services);
    mac.appkit->start_timer(mac.host, timerId, intervalNs, repeats ? 1 : 0);
    return {};
}

Status cancelTimer(void* services, std::uint64_t timerId) {
    MacPlatform& mac = macOf(services);
    mac.appkit->cancel_timer(mac.host, timerId);
    return {};
}

Status wake(void* services) {
    MacPlatform& mac = macOf(services);
    mac.appkit->wake(mac.host);
    return {};
}

Status requestFrame(void* services) {
    MacPlatform& mac = macOf(services);
    mac.appkit->request_frame(mac.host);
    return {};
}

}  // namespace

void fillWindowSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.create_window) slots.createWindow = createWindow;
    if (appkit.focus_window) slots.focusWindow = focusWindow;
    if (appkit.close_window) slots.closeWindow = closeWindow;
    if (appkit.minimize_window) slots.minimizeWindow = minimizeWindow;
    if (appkit.start_window_drag) slots.startWindowDrag = startWindowDrag;
    if (appkit.window_chrome_insets) slots.windowChrome = windowChrome;
    if (appkit.start_timer) slots.startTimer = startTimer;
    if (appkit.cancel_timer) slots.cancelTimer = cancelTimer;
    if (appkit.wake) slots.wake = wake;
    if (appkit.request_frame) slots.requestFrame = requestFrame;
}

}  // namespace kelvo
