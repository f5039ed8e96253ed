#include "runtime/views/view_table.hpp"

#include "runtime/canvas/view_canvas.hpp"

namespace kelvo {

ViewInfo viewInfo(const RuntimeView& view) {
    ViewInfo info;
    info.id = view.id;
    info.label = view.label.view();
    info.windowId = view.windowId;
    info.kind = view.kind;
    info.parent = view.parent.get();
    info.role = view.role.view();
    info.accessibilityLabel = view.accessibilityLabel.view();
    info.text = view.text.view();
    info.command = view.command.view();
    info.frame = view.frame;
    info.layer = view.layer;
    info.visible = view.visible;
    info.enabled = view.enabled;
    info.transparent = view.transparent;
    info.bridge = view.bridge;
    info.gpu = view.gpu;
    info.gpuStatus = view.gpuStatus;
    info.gpuWidth = view.gpuWidth;
    info.gpuHeight = view.gpuHeight;
    info.gpuScale = view.gpuScale;
    info.canvas = canvasViewInfo(view);
    info.focused = view.focused;
    info.open = view.open;
    return info;
}

ViewInfo webViewListInfo(const RuntimeWebView& webView) {
    ViewInfo info;
    info.id = webView.id;
    info.label = webView.label.view();
    info.windowId = webView.windowId;
    info.kind = ViewKind::webview;
    info.parent = webView.parent.get();
    info.role = kWebViewRole;
    info.url = webView.url.view();
    info.frame = webView.frame;
    info.layer = webView.layer;
    info.transparent = webView.transparent;
    info.bridge = webView.bridge;
    info.focused = webView.focused;
    info.visible = true;
    info.enabled = true;
    info.open = true;
    return info;
}

WebViewInfo webViewInfo(const RuntimeWebView& webView) {
    WebViewInfo info;
    info.id = webView.id;
    info.windowId = webView.windowId;
    info.label = webView.label.view();
    info.parent = webView.parent.get();
    info.url = webView.url.view();
    info.zoom = webView.zoom;
    info.frame = webView.frame;
    info.localFrame = webView.localFrame;
    info.layer = webView.layer;
    info.transparent = webView.transparent;
    info.bridge = webView.bridge;
    info.focused = webView.focused;
    info.open = webView.open;
    return info;
}

}  // namespace kelvo
