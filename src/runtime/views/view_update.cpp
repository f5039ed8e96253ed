#include "runtime/views/view_update.hpp"

#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/views/view_focus.hpp"
#include "runtime/views/view_geometry.hpp"
#include "runtime/views/view_list.hpp"
#include "runtime/views/view_lookup.hpp"
#include "security/command_name.hpp"

namespace kelvo {
namespace {

Status checkUpdate(const Runtime& runtime, std::uint64_t windowId, std::string_view label, const ViewUpdate& update) {
    if (findOpenWindow(runtime, windowId) == nullptr) return fail(Error::WindowNotFound);
    TRY(checkViewLabel(label));
    if (update.frame && hasNegative(*update.frame)) return fail(Error::InvalidViewOptions);
    TRY(checkViewTexts(update.role.value_or(""), update.accessibilityLabel.value_or(""), update.text.value_or("")));
    if (update.command && !update.command->empty()) TRY(validateCommandName(*update.command));
    if (update.url && label != kMainWebViewLabel && !findWebViewIndex(runtime, windowId, label)) {
        return fail(Error::InvalidViewOptions);
    }
    return {};
}

// Updates a child web view: frame, then layer, then address, each on the platform first. A later
// step's failure leaves the earlier steps done.
Result<ViewInfo> updateChildWebView(Runtime& runtime, std::uint64_t windowId, std::size_t index,
                                    const ViewUpdate& update) {
    RuntimeWebView& webView = runtime.webViews[index];
    const std::string_view label = webView.label.view();
    if (update.frame) {
        const RectF placed = TRY(platformFrameForView(runtime, windowId, webView.parent.get(), *update.frame));
        TRY(callNeeded<&PlatformSlots::setWebViewFrame>(runtime.platform, windowId, label, placed));
        webView.localFrame = *update.frame;
        webView.frame = placed;
        markDirtyRegion(runtime, *update.frame);
        TRY(relayoutDescendantWebViewBackendsDepth(runtime, windowId, label, 0));
    }
    if (update.layer) {
        TRY(callNeeded<&PlatformSlots::setWebViewLayer>(runtime.platform, windowId, label, *update.layer));
        webView.layer = *update.layer;
        markStateDirty(runtime);
    }
    if (update.url) {
        TRY(validateWebViewUrl(runtime, *update.url));
        TRY(callNeeded<&PlatformSlots::navigateWebView>(runtime.platform, windowId, label, *update.url));
        if (!webView.url.assign(*update.url)) return fail(Error::NoSpaceLeft);
        markStateDirty(runtime);
    }
    markStateDirty(runtime);
    return webViewListInfo(webView);
}

// Updates the main web view. A window without a source has no page yet: its frame and layer are
// only stored, for when it gets one.
Result<ViewInfo> updateMainWebView(Runtime& runtime, std::uint64_t windowId, const ViewUpdate& update) {
    const std::size_t windowIndex = *findWindowIndexById(runtime, windowId);
    RuntimeWindow& window = runtime.windows[windowIndex];
    if (update.frame) {
        if (window.hasSource) {
            TRY(callNeeded<&PlatformSlots::setWebViewFrame>(runtime.platform, windowId, kMainWebViewLabel,
                                                            *update.frame));
        }
        window.mainWebViewFrame = *update.frame;
        window.mainWebViewFrameSet = true;
        markDirtyRegion(runtime, *update.frame);
        TRY(relayoutDescendantWebViewBackendsDepth(runtime, windowId, kMainWebViewLabel, 0));
    }
    if (update.layer) {
        if (window.hasSource) {
            TRY(callNeeded<&PlatformSlots::setWebViewLayer>(runtime.platform, windowId, kMainWebViewLabel,
                                                            *update.layer));
        }
        window.mainWebViewLayer = *update.layer;
    }
    markStateDirty(runtime);
    return mainWebViewListInfo(runtime, windowIndex);
}

// Updates "main" (no index) or a child web view.
Result<ViewInfo> updateWebViewTarget(Runtime& runtime, std::uint64_t windowId, std::optional<std::size_t> webViewIndex,
                                     const ViewUpdate& update) {
    if (update.visible || update.enabled || update.role || update.accessibilityLabel || update.text || update.command) {
        return fail(Error::InvalidViewOptions);
    }
    if (!webViewIndex && update.url) return fail(Error::InvalidViewOptions);
    if (update.frame && !isUsableWebViewFrame(*update.frame)) return fail(Error::InvalidWebViewOptions);
    if (webViewIndex) return updateChildWebView(runtime, windowId, *webViewIndex, update);
    return updateMainWebView(runtime, windowId, update);
}

Result<ViewInfo> updateNativeView(Runtime& runtime, std::uint64_t windowId, std::size_t index,
                                  const ViewUpdate& update) {
    if (update.frame && !isFinite(*update.frame)) return fail(Error::InvalidViewOptions);
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.updateView == nullptr) return fail(Error::UnsupportedViewKind);
    RuntimeView& view = runtime.views[index];
    TRY(slots.updateView(platformServices(runtime), windowId, view.label.view(), update));

    if (update.frame) view.frame = *update.frame;
    if (update.layer) view.layer = *update.layer;
    if (update.visible) view.visible = *update.visible;
    if (update.enabled) view.enabled = *update.enabled;
    bool fits = true;
    if (update.role) fits = view.role.assign(*update.role) && fits;
    if (update.accessibilityLabel) fits = view.accessibilityLabel.assign(*update.accessibilityLabel) && fits;
    if (update.text) fits = view.text.assign(*update.text) && fits;
    if (update.command) fits = view.command.assign(*update.command) && fits;
    if (update.frame) {
        markDirtyRegion(runtime, *update.frame);
    } else {
        markStateDirty(runtime);
    }
    if (!fits) return fail(Error::NoSpaceLeft);
    if (update.frame) TRY(relayoutDescendantWebViewBackendsDepth(runtime, windowId, view.label.view(), 0));

    if (view.focused && (!view.open || !view.visible || !view.enabled)) {
        ensureFocusableViewFocused(runtime, windowId);
    }
    return viewInfo(runtime.views[index]);
}

}  // namespace

Result<ViewInfo> updateView(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                            const ViewUpdate& update) {
    TRY(checkUpdate(runtime, windowId, label, update));
    if (label == kMainWebViewLabel) return updateWebViewTarget(runtime, windowId, std::nullopt, update);
    if (std::optional<std::size_t> index = findWebViewIndex(runtime, windowId, label)) {
        return updateWebViewTarget(runtime, windowId, index, update);
    }
    if (std::optional<std::size_t> index = findViewIndex(runtime, windowId, label)) {
        return updateNativeView(runtime, windowId, *index, update);
    }
    return fail(Error::ViewNotFound);
}

}  // namespace kelvo
