// Native views among the window's web views: stacking and focus.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

void restackNativeViews(KelvoAppKitHost& host, std::uint64_t windowId) {
    std::int64_t position = 0;
    for (HostNativeView* view : topLevelNativeViews(host, windowId)) view->stackPosition = ++position;
}

std::optional<standin::ViewRef> focusableWebView(KelvoAppKitHost&, std::uint64_t, std::string_view) {
    return std::nullopt;
}

}  // namespace kelvo
