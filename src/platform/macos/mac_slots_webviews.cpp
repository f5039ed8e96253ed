// Slots of web views: loading a window's page, bridge replies, page events and child web views.

#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

Status webViewFound(std::int32_t hostResult) {
    if (hostResult == 0) return fail(Error::WebViewNotFound);
    return {};
}

Status loadWindowWebView(void* services, std::uint64_t windowId, const WindowSource& source) {
    MacPlatform& mac = macOf(services);
    WindowAssets assets = source.assets.value_or(WindowAssets{});
    mac.appkit->load_window_webview(mac.host, windowId, source.text.data(), source.text.size(),
                                    static_cast<std::int32_t>(source.kind), assets.assetRoot.data(),
                                    assets.assetRoot.size(), assets.entry.data(), assets.entry.size(),
                                    assets.origin.data(), assets.origin.size(), assets.spaFallback ? 1 : 0);
    return {};
}

Status loadWebView(void* services, const WindowSource& source) { return loadWindowWebView(services, 1, source); }

Status completeBridge(void* services, std::string_view reply) {
    MacPlatform& mac = macOf(services);
    mac.appkit->bridge_respond(mac.host, reply.data(), reply.size());
    return {};
}

Status completeWindowBridge(void* services, std::uint64_t windowId, std::string_view reply) {
    MacPlatform& mac = macOf(services);
    mac.appkit->bridge_respond_window(mac.host, windowId, reply.data(), reply.size());
    return {};
}

Status completeWebViewBridge(void* services, std::uint64_t windowId, std::string_view label, std::string_view reply) {
    MacPlatform& mac = macOf(services);
    mac.appkit->bridge_respond_webview(mac.host, windowId, label.data(), label.size(), reply.data(), reply.size());
    return {};
}

Status emitWindowEvent(void* services, std::uint64_t windowId, std::string_view name, std::string_view detail) {
    MacPlatform& mac = macOf(services);
    mac.appkit->emit_window_event(mac.host, windowId, name.data(), name.size(), detail.data(), detail.size());
    return {};
}

Status createWebView(void* services, const WebViewOptions& options) {
    MacPlatform& mac = macOf(services);
    const RectF& f = options.frame;
    if (mac.appkit->create_webview(mac.host, options.windowId, options.label.data(), options.label.size(),
                                   options.url.data(), options.url.size(), f.x, f.y, f.width, f.height, options.layer,
                                   options.transparent ? 1 : 0, options.bridge ? 1 : 0) == 0) {
        return fail(Error::CreateFailed);
    }
    return {};
}

Status setWebViewFrame(void* services, std::uint64_t windowId, std::string_view label, RectF frame) {
    MacPlatform& mac = macOf(services);
    return webViewFound(mac.appkit->set_webview_frame(mac.host, windowId, label.data(), label.size(), frame.x, frame.y,
                                                      frame.width, frame.height));
}

Status navigateWebView(void* services, std::uint64_t windowId, std::string_view label, std::string_view url) {
    MacPlatform& mac = macOf(services);
    return webViewFound(
        mac.appkit->navigate_webview(mac.host, windowId, label.data(), label.size(), url.data(), url.size()));
}

Status setWebViewZoom(void* services, std::uint64_t windowId, std::string_view label, double zoom) {
    MacPlatform& mac = macOf(services);
    return webViewFound(mac.appkit->set_webview_zoom(mac.host, windowId, label.data(), label.size(), zoom));
}

Status setWebViewLayer(void* services, std::uint64_t windowId, std::string_view label, std::int32_t layer) {
    MacPlatform& mac = macOf(services);
    return webViewFound(mac.appkit->set_webview_layer(mac.host, windowId, label.data(), label.size(), layer));
}

Status closeWebView(void* services, std::uint64_t windowId, std::string_view label) {
    MacPlatform& mac = macOf(services);
    return webViewFound(mac.appkit->close_webview(mac.host, windowId, label.data(), label.size()));
}

}  // namespace

void fillWebViewSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.load_window_webview) {
        slots.loadWebView = loadWebView;
        slots.loadWindowWebView = loadWindowWebView;
    }
    if (appkit.bridge_respond) slots.completeBridge = completeBridge;
    if (appkit.bridge_respond_window) slots.completeWindowBridge = completeWindowBridge;
    if (appkit.bridge_respond_webview) slots.completeWebViewBridge = completeWebViewBridge;
    if (appkit.emit_window_event) slots.emitWindowEvent = emitWindowEvent;
    if (appkit.create_webview) slots.createWebView = createWebView;
    if (appkit.set_webview_frame) slots.setWebViewFrame = setWebViewFrame;
    if (appkit.navigate_webview) slots.navigateWebView = navigateWebView;
    if (appkit.set_webview_zoom) slots.setWebViewZoom = setWebViewZoom;
    if (appkit.set_webview_layer) slots.setWebViewLayer = setWebViewLayer;
    if (appkit.close_webview) slots.closeWebView = closeWebView;
}

}  // namespace kelvo
