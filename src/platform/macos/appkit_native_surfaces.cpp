// Adopted surfaces: a view made by the embedding code, mounted over a native view. The host only
// detaches it again (on release, a new adoption under the same key, or the native view's close);
// it never destroys it.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

std::int32_t kelvo_appkit_adopt_view_surface(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                             std::size_t labelLength, void* surface) {
    if (surface == nullptr) return 0;
    const std::string_view name = hostText(label, labelLength);
    standin::StandIn& platform = *host->platform;
    standin::NativeViewService& views = platform.nativeViews;
    HostNativeView* view = name.empty() ? nullptr : findNativeView(*host, windowId, name);
    if (view == nullptr || !views.canAdopt(platform.self, view->ref, surface)) return 0;
    if (view->adoptedSurface != nullptr) views.detach(platform.self, view->adoptedSurface);
    views.adopt(platform.self, view->ref, surface);
    view->adoptedSurface = surface;
    if (!host->nativeViews.clickMonitorInstalled) {
        views.focusAdoptedOnClick(platform.self);
        host->nativeViews.clickMonitorInstalled = true;
    }
    scheduleFrame(*host);
    return 1;
}

std::int32_t kelvo_appkit_release_view_surface(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                               std::size_t labelLength) {
    HostNativeView* view = findNativeView(*host, windowId, hostText(label, labelLength));
    if (view == nullptr || view->adoptedSurface == nullptr) return 0;
    host->platform->nativeViews.detach(host->platform->self, view->adoptedSurface);
    view->adoptedSurface = nullptr;
    scheduleFrame(*host);
    return 1;
}

bool focusInAdoptedSurface(KelvoAppKitHost& host, standin::WindowRef window) {
    return host.platform->nativeViews.focusInAdopted(host.platform->self, window);
}

}  // namespace kelvo
