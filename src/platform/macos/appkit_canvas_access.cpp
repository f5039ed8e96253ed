// The host functions that install a canvas view's scroll drivers and publish its accessibility
// elements, and the way element actions and wheel input reach them. Each finds the view by window
// and label; a label that is not valid UTF-8 matches none.

#include "platform/macos/appkit_canvas_access.hpp"

#include <algorithm>

#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/appkit_native_views.hpp"
#include "platform/macos/canvas/surface_view.hpp"

namespace kelvo {

namespace {

void postFlush(void* context, std::uint64_t delayNs) {
    CanvasAccess& access = *static_cast<CanvasAccess*>(context);
    runOnMainQueueAfter(*access.host, delayNs, [weak = access.owner] {
        if (std::shared_ptr<HostCanvasView> alive = weak.lock()) {
            flushScrollDriverEvent(canvasAccessOf(*alive).drivers, surfaceOf(*alive));
        }
    });
}

// The backend delivers from a main-loop task while the view exists; the host finds it by its ref.
void deliverElementAction(void* context, standin::ViewRef ref, std::uint64_t widgetId,
                          const standin::ElementAction& action) {
    KelvoAppKitHost& host = *static_cast<KelvoAppKitHost*>(context);
    for (auto& [key, native] : host.nativeViews.views) {
        if (!native->canvas || native->ref != ref) continue;
        std::shared_ptr<HostCanvasView> canvas = native->canvas;  // the runtime may close it meanwhile
        performWidgetAccessibilityAction(canvasAccessOf(*canvas).accessibility, surfaceOf(*canvas), widgetId, action);
        return;
    }
}

}  // namespace

void attachCanvasAccess(CanvasAccess& access, KelvoAppKitHost& host, const std::shared_ptr<HostCanvasView>& owner,
                        standin::ViewRef ref) {
    access.host = &host;
    access.ref = ref;
    access.owner = owner;
    access.drivers.postFlush = postFlush;
    access.drivers.postContext = &access;
}

bool routeCanvasWheel(HostCanvasView& view, double x, double y, double deltaX, double deltaY, ScrollPhase phase,
                      ScrollPhase momentumPhase) {
    return routeScrollDriverWheel(canvasAccessOf(view).drivers, surfaceOf(view), x, y, deltaX, deltaY, phase,
                                  momentumPhase);
}

std::int32_t kelvo_appkit_set_gpu_surface_scroll_drivers(KelvoAppKitHost* host, std::uint64_t windowId,
                                                         const char* label, std::size_t labelLength,
                                                         const KelvoScrollDriverRecord* drivers, std::uint64_t count) {
    HostCanvasView* view = findCanvasView(*host, windowId, hostText(label, labelLength));
    if (view == nullptr) return 0;
    if (drivers == nullptr) count = 0;
    const auto records =
        std::span(drivers, static_cast<std::size_t>(std::min<std::uint64_t>(count, kMaxScrollDrivers)));
    setScrollDrivers(canvasAccessOf(*view).drivers, surfaceOf(*view), records);
    return 1;
}

std::int32_t kelvo_appkit_update_widget_accessibility(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                                      std::size_t labelLength,
                                                      const KelvoWidgetAccessibilityNodeRecord* nodes,
                                                      std::uint64_t count) {
    HostCanvasView* view = findCanvasView(*host, windowId, hostText(label, labelLength));
    if (view == nullptr) return 0;
    if (nodes == nullptr) count = 0;
    CanvasAccess& access = canvasAccessOf(*view);
    const auto records =
        std::span(nodes, static_cast<std::size_t>(std::min<std::uint64_t>(count, kMaxAccessibilityElements)));
    buildWidgetAccessibility(access.accessibility, records);
    standin::StandIn& platform = *host->platform;
    if (platform.accessibility.setElements && access.ref != nullptr) {
        const std::size_t n = accessibleElements(access.accessibility, access.published);
        platform.accessibility.setElements(platform.self, access.ref, std::span(access.published).first(n),
                                           standin::ElementActionSink{deliverElementAction, host});
    }
    return 1;
}

}  // namespace kelvo
