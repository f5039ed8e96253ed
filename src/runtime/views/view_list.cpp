#include "runtime/views/view_list.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

std::string_view mainWebViewUrl(const RuntimeWindow& window) {
    if (!window.hasSource) return {};
    if (window.source.kind == WindowSourceKind::html) return "vexa://inline";
    return window.source.text.view();
}

}  // namespace

ViewInfo mainWebViewListInfo(const Runtime& runtime, std::size_t windowIndex) {
    const RuntimeWindow& window = runtime.windows[windowIndex];
    ViewInfo info;
    info.id = window.mainWebViewId;
    info.label = kMainWebViewLabel;
    info.windowId = window.id;
    info.kind = ViewKind::webview;
    info.parent = window.mainWebViewParent.get();
    info.role = kWebViewRole;
    info.url = mainWebViewUrl(window);
    info.frame = window.effectiveMainWebViewFrame();
    info.layer = window.mainWebViewLayer;
    info.open = window.open;
    info.visible = window.open;
    info.enabled = true;
    info.bridge = true;
    info.transparent = false;
    info.focused = window.mainWebViewFocused;
    return info;
}

WebViewInfo mainWebViewInfo(const Runtime& runtime, std::size_t windowIndex) {
    const RuntimeWindow& window = runtime.windows[windowIndex];
    WebViewInfo info;
    info.id = window.mainWebViewId;
    info.windowId = window.id;
    info.label = kMainWebViewLabel;
    info.parent = window.mainWebViewParent.get();
    info.url = mainWebViewUrl(window);
    info.zoom = window.mainWebViewZoom;
    info.frame = window.effectiveMainWebViewFrame();
    info.localFrame = RectF{};
    info.layer = window.mainWebViewLayer;
    info.transparent = false;
    info.bridge = true;
    info.focused = window.mainWebViewFocused;
    info.open = window.open;
    return info;
}

std::span<ViewInfo> listViews(const Runtime& runtime, std::uint64_t windowId, std::span<ViewInfo> out) {
    std::optional<std::size_t> windowIndex = findWindowIndexById(runtime, windowId);
    if (!windowIndex || !runtime.windows[*windowIndex].open || out.empty()) return out.first(0);
    std::size_t count = 0;
    if (runtime.windows[*windowIndex].hasSource) out[count++] = mainWebViewListInfo(runtime, *windowIndex);
    for (const RuntimeView& view : runtime.views) {
        if (view.windowId != windowId || !view.open) continue;
        if (count == out.size()) return out.first(count);
        out[count++] = viewInfo(view);
    }
    for (const RuntimeWebView& webView : runtime.webViews) {
        if (count == out.size()) break;
        if (webView.windowId != windowId || !webView.open) continue;
        out[count++] = webViewListInfo(webView);
    }
    return out.first(count);
}

}  // namespace kelvo
