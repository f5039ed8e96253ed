#include "runtime/views/view_focus.hpp"

#include <array>

#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_checks.hpp"
#include "runtime/views/view_list.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {
namespace {

// Gives the focus of a window to `label` (or to nothing). Every flag is set before any error is
// reported, so at most one flag of the window is ever set; the first failed canvas invalidation
// is returned after the rest have run.
Status setWindowFocusFlags(Runtime& runtime, std::uint64_t windowId, std::optional<std::string_view> label) {
    if (std::optional<std::size_t> window = findWindowIndexById(runtime, windowId)) {
        runtime.windows[*window].mainWebViewFocused = label == kMainWebViewLabel;
    }
    Status first;
    for (std::size_t i = 0; i < runtime.views.size(); ++i) {
        RuntimeView& view = runtime.views[i];
        if (view.windowId != windowId) continue;
        const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, view);
        view.focused = label && view.label.view() == *label;
        const CanvasWidgetRenderState after = canvasWidgetRenderState(runtime, view);
        if (sameCanvasWidgetRenderState(before, after)) continue;
        Status invalidated = invalidateForCanvasWidgetRenderStateChange(runtime, i, before, after);
        if (!invalidated && first) first = invalidated;
    }
    for (RuntimeWebView& webView : runtime.webViews) {
        if (webView.windowId == windowId) webView.focused = label && webView.label.view() == *label;
    }
    return first;
}

bool isCandidate(const ViewInfo& entry) { return entry.open && entry.visible && entry.enabled; }

}  // namespace

Status focusView(Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    if (findOpenWindow(runtime, windowId) == nullptr) return fail(Error::WindowNotFound);
    TRY(checkViewLabel(label));
    if (!windowHasViewLabel(runtime, windowId, label)) return fail(Error::ViewNotFound);
    const PlatformSlots& slots = platformSlots(runtime);
    if (slots.focusView == nullptr) return fail(Error::UnsupportedViewFocus);
    TRY(slots.focusView(platformServices(runtime), windowId, label));
    Status flags = setWindowFocusFlags(runtime, windowId, label);
    markStateDirty(runtime);
    return flags;
}

Result<std::optional<ViewInfo>> focusAdjacentView(Runtime& runtime, std::uint64_t windowId, bool backwards) {
    if (findOpenWindow(runtime, windowId) == nullptr) return fail(Error::WindowNotFound);
    std::array<ViewInfo, kViewListCapacity> entries;
    std::span<ViewInfo> list = listViews(runtime, windowId, entries);
    std::array<std::size_t, kViewListCapacity> candidates{};
    std::size_t count = 0;
    std::optional<std::size_t> focused;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!isCandidate(list[i])) continue;
        if (list[i].focused) focused = count;
        candidates[count++] = i;
    }
    if (count == 0) return std::optional<ViewInfo>();
    std::size_t next = 0;
    if (!backwards) {
        next = focused ? (*focused + 1) % count : 0;
    } else {
        next = (focused && *focused > 0) ? *focused - 1 : count - 1;
    }
    ViewInfo chosen = list[candidates[next]];
    TRY(focusView(runtime, windowId, chosen.label));
    chosen.focused = true;
    return std::optional<ViewInfo>(chosen);
}

void ensureFocusableViewFocused(Runtime& runtime, std::uint64_t windowId) {
    std::array<ViewInfo, kViewListCapacity> entries;
    std::optional<std::string_view> firstCandidate;
    for (const ViewInfo& entry : listViews(runtime, windowId, entries)) {
        if (!isCandidate(entry)) continue;
        if (entry.focused) return;
        if (!firstCandidate) firstCandidate = entry.label;
    }
    if (firstCandidate && focusView(runtime, windowId, *firstCandidate)) return;
    clearFocusedView(runtime, windowId);
}

Status setFocusedView(Runtime& runtime, std::uint64_t windowId, std::string_view label) {
    return setWindowFocusFlags(runtime, windowId, label);
}

void clearFocusedView(Runtime& runtime, std::uint64_t windowId) {
    (void)setWindowFocusFlags(runtime, windowId, std::nullopt);
}

}  // namespace kelvo
