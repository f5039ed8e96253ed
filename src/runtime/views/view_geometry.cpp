#include "runtime/views/view_geometry.hpp"

#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"
#include "security/policy.hpp"

namespace kelvo {
namespace {

constexpr std::size_t kMaxUrlOrigin = 512;
constexpr std::string_view kAboutOrigin = "about://local";

}  // namespace

Result<RectF> absoluteViewFrame(const Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                unsigned depth) {
    if (depth > kMaxViewDepth) return fail(Error::InvalidViewOptions);
    if (label == kMainWebViewLabel) {
        std::optional<std::size_t> window = findWindowIndexById(runtime, windowId);
        if (!window) return fail(Error::WindowNotFound);
        return runtime.windows[*window].effectiveMainWebViewFrame();
    }
    if (std::optional<std::size_t> index = findViewIndex(runtime, windowId, label)) {
        const RuntimeView& view = runtime.views[*index];
        RectF frame = view.frame;
        if (std::optional<std::string_view> parent = view.parent.get()) {
            RectF origin = TRY(absoluteViewFrame(runtime, windowId, *parent, depth + 1));
            frame.x += origin.x;
            frame.y += origin.y;
        }
        return frame;
    }
    if (std::optional<std::size_t> index = findWebViewIndex(runtime, windowId, label)) {
        return runtime.webViews[*index].frame;
    }
    return fail(Error::ViewNotFound);
}

Result<RectF> platformFrameForView(const Runtime& runtime, std::uint64_t windowId,
                                   std::optional<std::string_view> parent, const RectF& frame) {
    if (!parent) return frame;
    RectF origin = TRY(absoluteViewFrame(runtime, windowId, *parent, 0));
    return RectF{origin.x + frame.x, origin.y + frame.y, frame.width, frame.height};
}

Status relayoutDescendantWebViewBackendsDepth(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                              unsigned depth) {
    if (depth >= kMaxViewDepth) return {};
    // Native views keep their place inside their parents on the platform; only web views, which
    // the platform places in window coordinates, need moving. Nothing is removed during the walk,
    // so the labels below stay where they are.
    for (std::size_t i = 0; i < runtime.views.size(); ++i) {
        const RuntimeView& view = runtime.views[i];
        if (view.windowId != windowId || !view.parent.equals(label)) continue;
        TRY(relayoutDescendantWebViewBackendsDepth(runtime, windowId, view.label.view(), depth + 1));
    }
    for (std::size_t i = 0; i < runtime.webViews.size(); ++i) {
        RuntimeWebView& webView = runtime.webViews[i];
        if (webView.windowId != windowId || !webView.parent.equals(label)) continue;
        RectF origin = TRY(absoluteViewFrame(runtime, windowId, label, 0));
        RectF frame{origin.x + webView.localFrame.x, origin.y + webView.localFrame.y, webView.localFrame.width,
                    webView.localFrame.height};
        TRY(callNeeded<&PlatformSlots::setWebViewFrame>(runtime.platform, windowId, webView.label.view(), frame));
        webView.frame = frame;
        TRY(relayoutDescendantWebViewBackendsDepth(runtime, windowId, webView.label.view(), depth + 1));
    }
    return {};
}

Result<std::string_view> webViewUrlOrigin(std::string_view url) {
    if (url.starts_with("about:")) return kAboutOrigin;
    std::size_t separator = url.find("://");
    if (separator == url.npos || separator + 3 == url.size()) return fail(Error::InvalidWebViewOptions);
    std::size_t hostStart = separator + 3;
    std::size_t hostEnd = url.find_first_of("/?#", hostStart);
    if (hostEnd == url.npos) hostEnd = url.size();
    if (hostEnd == hostStart) return fail(Error::InvalidWebViewOptions);
    std::string_view origin = url.substr(0, hostEnd);
    if (origin.size() > kMaxUrlOrigin) return fail(Error::InvalidWebViewOptions);
    return origin;
}

Status validateWebViewUrl(const Runtime& runtime, std::string_view url) {
    if (url.empty()) return fail(Error::MissingWebViewUrl);
    if (url.size() > kMaxWebViewUrl) return fail(Error::WebViewUrlTooLarge);
    // An address goes to the platform and into page script: control bytes have no place in it.
    for (unsigned char byte : url) {
        if (byte < 0x20 || byte == 0x7F) return fail(Error::InvalidWebViewOptions);
    }
    std::string_view origin = TRY(webViewUrlOrigin(url));
    if (!allowsOrigin(runtime.securityPolicy.origins, origin)) return fail(Error::NavigationDenied);
    return {};
}

}  // namespace kelvo
