#pragma once

// Private to src/platform/macos: the host's native views. Each lives under the key
// "<window id>:<label>", inside its window's content or inside another native view; at most 32
// exist over all windows. A control with a command reports the user's operating it as a
// native-command event. A foreign view (an adopted surface) can be mounted over a native view.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/macos/appkit_webviews.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

struct KelvoAppKitHost;
struct HostCanvasView;

inline constexpr std::size_t kMaxNativeViews = 32;

struct HostNativeView {
    std::uint64_t windowId = 0;
    std::string label;
    std::string key;
    std::string parentKey;  // empty inside the window's content
    standin::ViewRef ref = nullptr;
    standin::NativeControl control = standin::NativeControl::container;
    standin::RectD frame{};  // as given: top-left based, in the parent
    std::int64_t layer = 0;
    std::int64_t stackPosition = 0;  // the present order of views with equal layers (with the web views')
    bool hidden = false;
    bool enabled = true;
    std::string command;        // empty: operating it sends nothing
    bool explicitText = false;  // its text was last given as a non-empty string
    void* adoptedSurface = nullptr;
    std::shared_ptr<HostCanvasView> canvas;  // views of the canvas kind
};

struct HostNativeViews {
    std::map<std::string, std::unique_ptr<HostNativeView>> views;  // by key
    bool clickMonitorInstalled = false;
};

// "<window id>:<label>", as for child web views.
inline std::string nativeViewKey(std::uint64_t windowId, std::string_view label) { return webViewKey(windowId, label); }
HostNativeView* findNativeView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label);
// The native view the backend knows by `ref`; null when none is.
HostNativeView* nativeViewByRef(KelvoAppKitHost& host, standin::ViewRef ref);

// Whether the window's keyboard focus lies inside an adopted surface (the shortcut monitor lets
// such keys through).
bool focusInAdoptedSurface(KelvoAppKitHost& host, standin::WindowRef window);

// Every native view of a closing window, with its adopted surface.
void closeNativeViewsInWindow(KelvoAppKitHost& host, std::uint64_t windowId);

// The web view a focus request names ("main": the window's main web view; else the child web
// view with the label), when it exists and is shown.
std::optional<standin::ViewRef> focusableWebView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label);

}  // namespace kelvo
