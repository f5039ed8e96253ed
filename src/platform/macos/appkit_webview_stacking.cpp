// Stacking a window's views by layer, and the covered rectangles: the parts of each web view that
// lie under a view stacked above it, where pointer input is refused both by the backend and by an
// overlay the page keeps.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

// The script that keeps a page's overlay: one transparent element over each covered rectangle
// that swallows every pointer and mouse event; none at all when nothing is covered. "%s" stands
// for the rectangles, a JSON array of {x, y, width, height} in the page's coordinates.
constexpr std::string_view kOverlayScriptHead =
    "(function(rects){var id='__kelvo_covered_mouse_rects__';var root=document.getElementById(id);"
    "if(rects.length===0){if(root)root.remove();return;}"
    "var parent=document.documentElement||document.body;if(!parent)return;"
    "if(!root){root=document.createElement('div');root.id=id;root.style.cssText='position:fixed;left:0;top:0;"
    "width:0;height:0;z-index:2147483647;pointer-events:none;';parent.appendChild(root);}"
    "root.textContent='';var types=['pointerover','pointerenter','pointermove','pointerout','pointerleave',"
    "'pointerdown','pointerup','pointercancel','mouseover','mouseenter','mousemove','mouseout','mouseleave',"
    "'mousedown','mouseup','click','contextmenu'];"
    "var swallow=function(event){event.preventDefault();event.stopPropagation();};"
    "rects.forEach(function(r){var block=document.createElement('div');block.style.cssText='position:fixed;left:'+"
    "r.x+'px;top:'+r.y+'px;width:'+r.width+'px;height:'+r.height+'px;background:transparent;"
    "z-index:2147483647;pointer-events:auto;';types.forEach(function(type){block.addEventListener(type,swallow,"
    "true);});root.appendChild(block);});})(";
constexpr std::string_view kOverlayScriptTail = ");";

// One view of a window's stack.
struct StackedView {
    standin::ViewRef ref = nullptr;
    standin::RectD frame{};  // in the window's content
    std::int64_t layer = 0;
    std::int64_t position = 0;
    bool hidden = false;
    HostWebView* web = nullptr;        // null for a view that only covers
    HostNativeView* native = nullptr;  // a native view in the window's content
};

standin::RectD frameOf(KelvoAppKitHost& host, const HostWebView& view) {
    if (!view.followsWindow) return view.frame;
    HostWindow* window = findWindow(host, view.windowId);
    if (window == nullptr) return {};
    standin::WindowGeometry geometry = host.platform->windows.geometry(host.platform->self, window->ref);
    return standin::RectD{0, 0, geometry.content.width, geometry.content.height};
}

// The window's views from bottom to top: by layer, equal layers in the order they were placed.
std::vector<StackedView> stackOf(KelvoAppKitHost& host, std::uint64_t windowId) {
    std::vector<StackedView> stack;
    auto add = [&](HostWebView& view) {
        stack.push_back(StackedView{view.ref, frameOf(host, view), view.layer, view.stackPosition, false, &view});
    };
    if (auto main = host.web.mains.find(windowId); main != host.web.mains.end()) add(*main->second);
    const std::string prefix = webViewKey(windowId, "");
    for (auto& [key, view] : host.web.children) {
        if (key.starts_with(prefix)) add(*view);
    }
    for (auto& [key, view] : host.nativeViews.views) {
        if (!key.starts_with(prefix) || !view->parentKey.empty()) continue;
        stack.push_back(
            StackedView{view->ref, view->frame, view->layer, view->stackPosition, view->hidden, nullptr, view.get()});
    }
    std::stable_sort(stack.begin(), stack.end(), [](const StackedView& a, const StackedView& b) {
        return a.layer != b.layer ? a.layer < b.layer : a.position < b.position;
    });
    return stack;
}

std::optional<standin::RectD> intersection(const standin::RectD& a, const standin::RectD& b) {
    double left = std::max(a.x, b.x);
    double top = std::max(a.y, b.y);
    double right = std::min(a.x + a.width, b.x + b.width);
    double bottom = std::min(a.y + a.height, b.y + b.height);
    if (!(right > left && bottom > top)) return std::nullopt;
    return standin::RectD{left, top, right - left, bottom - top};
}

// The page's overlay script for `rects`, each number written with three decimals.
std::string overlayScript(std::span<const standin::RectD> rects) {
    std::string script(kOverlayScriptHead);
    script += '[';
    for (std::size_t i = 0; i < rects.size(); ++i) {
        char rect[192];
        std::snprintf(rect, sizeof rect, "%s{\"x\":%.3f,\"y\":%.3f,\"width\":%.3f,\"height\":%.3f}", i > 0 ? "," : "",
                      rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        script += rect;
    }
    script += ']';
    script += kOverlayScriptTail;
    return script;
}

void applyCoveredRects(KelvoAppKitHost& host, const std::vector<StackedView>& stack) {
    standin::StandIn& platform = *host.platform;
    for (std::size_t i = 0; i < stack.size(); ++i) {
        const StackedView& below = stack[i];
        if (below.web == nullptr) continue;
        std::vector<standin::RectD> covered;
        for (std::size_t j = i + 1; j < stack.size(); ++j) {
            if (stack[j].hidden) continue;
            if (std::optional<standin::RectD> part = intersection(below.frame, stack[j].frame)) {
                // Into the covered web view's own coordinates.
                part->x -= below.frame.x;
                part->y -= below.frame.y;
                covered.push_back(*part);
            }
        }
        platform.webviews.setCoveredRects(platform.self, below.ref, covered);
        platform.scriptMessages.evaluate(platform.self, below.ref, overlayScript(covered));
    }
}

}  // namespace

void restackWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    HostWindow* window = findWindow(host, windowId);
    if (window == nullptr) return;
    std::vector<StackedView> stack = stackOf(host, windowId);
    std::vector<standin::ViewRef> order;
    for (const StackedView& view : stack) {
        order.push_back(view.ref);
        // The order now placed is the one equal layers keep from here on.
        if (view.web != nullptr) view.web->stackPosition = ++host.web.nextTopPosition;
        if (view.native != nullptr) view.native->stackPosition = ++host.web.nextTopPosition;
    }
    host.platform->webviews.restack(host.platform->self, window->ref, order);
    applyCoveredRects(host, stack);
}

void updateCoveredRects(KelvoAppKitHost& host, std::uint64_t windowId) {
    if (findWindow(host, windowId) == nullptr) return;
    applyCoveredRects(host, stackOf(host, windowId));
}

}  // namespace kelvo
