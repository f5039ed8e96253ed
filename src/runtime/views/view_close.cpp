#include "runtime/views/view_close.hpp"

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/views/view_focus.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {
namespace {

// A parent chain can be no longer than the number of records; a longer walk would mean a cycle.
constexpr unsigned kMaxRemovalDepth = kMaxViews + kMaxWebViews;

using ClosedWebViews = FixedVec<LabelBytes, kMaxWebViews>;

Status closeDescendantWebViews(Runtime& runtime, std::uint64_t windowId, std::string_view parent, unsigned depth,
                               ClosedWebViews* closed) {
    if (depth >= kMaxViewDepth) return {};
    // Records stay in the tables during the walk, so the labels below stay where they are.
    for (std::size_t i = 0; i < runtime.views.size(); ++i) {
        const RuntimeView& view = runtime.views[i];
        if (view.windowId != windowId || !view.parent.equals(parent)) continue;
        TRY(closeDescendantWebViews(runtime, windowId, view.label.view(), depth + 1, closed));
    }
    for (std::size_t i = 0; i < runtime.webViews.size(); ++i) {
        const RuntimeWebView& webView = runtime.webViews[i];
        if (webView.windowId != windowId || !webView.parent.equals(parent)) continue;
        TRY(closeDescendantWebViews(runtime, windowId, webView.label.view(), depth + 1, closed));
        Status status = callNeeded<&PlatformSlots::closeWebView>(runtime.platform, windowId, webView.label.view());
        // A web view the platform no longer knows is closed already (for example by an earlier,
        // interrupted close of the same tree).
        if (!status && status.error() != Error::WebViewNotFound) return status;
        if (closed != nullptr) (void)closed->push(webView.label);
    }
    return {};
}

// Removes the records nested below `parentLabel`, views and web views alike, each child after
// everything nested in it. No platform call.
void removeDescendants(Runtime& runtime, std::uint64_t windowId, std::string_view parentLabel, unsigned depth) {
    LabelBytes parent;
    if (depth > kMaxRemovalDepth || !parent.assign(parentLabel)) return;
    for (;;) {
        std::optional<std::size_t> view = findChildViewIndex(runtime, windowId, parent.view());
        std::optional<std::size_t> webView;
        if (!view) webView = findChildWebViewIndex(runtime, windowId, parent.view());
        if (!view && !webView) return;
        // Removals move records, so the child is found again by a copy of its label.
        const LabelBytes label = view ? runtime.views[*view].label : runtime.webViews[*webView].label;
        removeDescendants(runtime, windowId, label.view(), depth + 1);
        if (view) {
            view = findViewIndex(runtime, windowId, label.view());
            if (!view) return;
            removeViewAt(runtime, *view);
        } else {
            webView = findWebViewIndex(runtime, windowId, label.view());
            if (!webView) return;
            removeWebViewAt(runtime, *webView);
        }
    }
}

// Removes the records of web views the platform has closed (with what is nested in them) after a
// later step of a close failed, so the tables do not list what is gone.
void dropClosedWebViews(Runtime& runtime, std::uint64_t windowId, const ClosedWebViews& closed, bool focusInside) {
    if (closed.empty()) return;
    for (const LabelBytes& label : closed) {
        removeDescendants(runtime, windowId, label.view(), 0);
        if (std::optional<std::size_t> index = findWebViewIndex(runtime, windowId, label.view())) {
            removeWebViewAt(runtime, *index);
        }
    }
    markStateDirty(runtime);
    if (focusInside) ensureFocusableViewFocused(runtime, windowId);
}

// Whether the object labelled `label` or anything nested in it holds the focus.
bool viewTreeHasFocus(const Runtime& runtime, std::uint64_t windowId, std::string_view label, unsigned depth) {
    if (depth >= kMaxViewDepth) return false;
    if (std::optional<std::size_t> index = findViewIndex(runtime, windowId, label)) {
        if (runtime.views[*index].focused) return true;
    }
    if (std::optional<std::size_t> index = findWebViewIndex(runtime, windowId, label)) {
        if (runtime.webViews[*index].focused) return true;
    }
    for (const RuntimeView& view : runtime.views) {
        if (view.windowId != windowId || !view.parent.equals(label)) continue;
        if (viewTreeHasFocus(runtime, windowId, view.label.view(), depth + 1)) return true;
    }
    for (const RuntimeWebView& webView : runtime.webViews) {
        if (webView.windowId != windowId || !webView.parent.equals(label)) continue;
        if (viewTreeHasFocus(runtime, windowId, webView.label.view(), depth + 1)) return true;
    }
    return false;
}

}  // namespace

void removeViewAt(Runtime& runtime, std::size_t index) {
    auto& table = runtime.views;
    if (index >= table.size()) return;
    releaseCanvasSlot(runtime.canvasSlots, table.items[index]);
    for (std::size_t i = index + 1; i < table.size(); ++i) {
        table.items[i - 1] = table.items[i];
        rebindMovedCanvasView(runtime, i - 1);
    }
    --table.count;
    resetRecord(table.items[table.count]);
}

void removeWebViewAt(Runtime& runtime, std::size_t index) { runtime.webViews.removeAt(index); }

Status closeView(Runtime& runtime, std::uint64_t windowId, std::string_view labelArgument) {
    if (findOpenWindow(runtime, windowId) == nullptr) return fail(Error::WindowNotFound);
    TRY(checkViewLabel(labelArgument));
    if (labelArgument == kMainWebViewLabel) return fail(Error::InvalidViewOptions);
    LabelBytes labelCopy;
    (void)labelCopy.assign(labelArgument);
    const std::string_view label = labelCopy.view();

    const bool isWebView = findWebViewIndex(runtime, windowId, label).has_value();
    if (!isWebView && !findViewIndex(runtime, windowId, label)) return fail(Error::ViewNotFound);
    const PlatformSlots& slots = platformSlots(runtime);
    if (isWebView ? slots.closeWebView == nullptr : (slots.closeView == nullptr && slots.closeWebView == nullptr)) {
        return fail(Error::UnsupportedService);
    }

    // A web view closes like a view: everything nested in it goes with it.
    const bool focusInside = viewTreeHasFocus(runtime, windowId, label, 0);
    ClosedWebViews closed;
    if (Status status = closeDescendantWebViews(runtime, windowId, label, 0, &closed); !status) {
        dropClosedWebViews(runtime, windowId, closed, focusInside);
        return status;
    }
    Status own = (isWebView || slots.closeView == nullptr)
                     ? slots.closeWebView(platformServices(runtime), windowId, label)
                     : slots.closeView(platformServices(runtime), windowId, label);
    if (!own) {
        dropClosedWebViews(runtime, windowId, closed, focusInside);
        return own;
    }

    removeDescendants(runtime, windowId, label, 0);
    if (isWebView) {
        if (std::optional<std::size_t> index = findWebViewIndex(runtime, windowId, label))
            removeWebViewAt(runtime, *index);
    } else {
        if (std::optional<std::size_t> index = findViewIndex(runtime, windowId, label)) removeViewAt(runtime, *index);
    }
    if (focusInside) ensureFocusableViewFocused(runtime, windowId);
    markStateDirty(runtime);
    return {};
}

}  // namespace kelvo
