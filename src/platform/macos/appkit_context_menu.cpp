// Context menus over a native view or a window. The request is answered at once; the menu pops
// up on the next turn of the main queue, and once it closed one context_menu_action event
// follows, with the chosen item's id or 0 when the menu was dismissed. The point is given in the
// view's own coordinates, top-left based; the menu opens there, wherever the view lies.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

struct ContextMenuRequest {
    std::uint64_t windowId = 0;
    std::string label;
    std::uint64_t token = 0;
    double x = 0;
    double y = 0;
    std::vector<std::string> titles;
    std::vector<standin::MenuItem> items;  // titles point into `titles`
};

void emitContextMenuAction(KelvoAppKitHost& host, const ContextMenuRequest& request, std::uint32_t itemId) {
    KelvoHostEvent event = hostEventOfKind(HostEventKind::context_menu_action);
    event.windowId = request.windowId;
    event.viewLabel = hostString(request.label);
    event.timestampNs = wallClockNs(host);
    event.targetId = request.token;
    event.menuItemId = itemId;
    emitEvent(host, event);
}

void popUp(KelvoAppKitHost& host, const std::shared_ptr<const ContextMenuRequest>& request) {
    auto window = host.windows.find(request->windowId);
    if (window == host.windows.end()) {
        // The window closed before its menu could show: the menu counts as dismissed.
        postHostTask(host, [request](KelvoAppKitHost& alive) { emitContextMenuAction(alive, *request, 0); });
        return;
    }
    std::weak_ptr<HostLife> life = host.life;
    host.platform->menus.popUpMenu(host.platform->self, window->second->ref, request->x, request->y, request->items,
                                   [life, request](std::uint32_t chosen) {
                                       if (std::shared_ptr<HostLife> alive = life.lock()) {
                                           emitContextMenuAction(*alive->host, *request, chosen);
                                       }
                                   });
}

// A point of the view named by `label` in the window's content: a native view's frame is kept
// top-left based in its parent, so its origin in the content is the sum of its and its
// containers' origins. An empty label, or one that names no native view, means the content.
void pointInContent(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label, double& x, double& y) {
    if (label.empty()) return;
    const HostNativeView* view = findNativeView(host, windowId, label);
    for (std::size_t depth = 0; view != nullptr && depth <= kMaxNativeViews; ++depth) {
        x += view->frame.x;
        y += view->frame.y;
        if (view->parentKey.empty()) return;
        auto parent = host.nativeViews.views.find(view->parentKey);
        view = parent != host.nativeViews.views.end() ? parent->second.get() : nullptr;
    }
}

}  // namespace

std::int32_t kelvo_appkit_show_context_menu(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                            std::size_t labelLength, double x, double y, std::uint64_t token,
                                            const KelvoContextMenuItemRecord* items, std::uint64_t count) {
    if (count == 0 || items == nullptr) return 0;
    // Only a window that is open counts (the main window is no fallback here).
    if (!host->windows.contains(windowId)) return 0;
    auto request = std::make_shared<ContextMenuRequest>();
    request->windowId = windowId;
    request->label = std::string(hostText(label, labelLength));
    request->token = token;
    request->x = x;
    request->y = y;
    pointInContent(*host, windowId, request->label, request->x, request->y);
    request->titles.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        const KelvoContextMenuItemRecord& record = items[i];
        const bool separator = record.separator != 0;
        request->titles.emplace_back(separator ? std::string_view{}
                                               : hostText(record.label, static_cast<std::size_t>(record.labelLength)));
        request->items.push_back(standin::MenuItem{request->titles.back(), record.id, record.enabled != 0, separator});
    }
    postHostTask(*host, [request = std::shared_ptr<const ContextMenuRequest>(request)](KelvoAppKitHost& alive) {
        popUp(alive, request);
    });
    return 1;
}

}  // namespace kelvo
