#pragma once

// Private to src/platform/macos: the host's web views. Each window can hold a main web view,
// which fills its content and is labelled "main"; up to 16 child web views, over all windows,
// sit at given frames and layers. A window's views are stacked by layer; the parts of a web view
// under views stacked above it take no pointer input.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/io.hpp"
#include "platform/macos/web/asset_scheme.hpp"
#include "platform/macos/web/navigation_policy.hpp"
#include "platform/macos/web/page_script.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

struct KelvoAppKitHost;

inline constexpr std::size_t kMaxChildWebViews = 16;
inline constexpr std::string_view kMainWebView = "main";
inline constexpr std::string_view kBridgeHandlerName = "kelvoBridge";
inline constexpr std::string_view kAssetScheme = "vexa";

struct HostWebView {
    KelvoAppKitHost* host = nullptr;
    std::uint64_t windowId = 0;
    std::string label;  // "main" for a window's main web view
    bool isMain = false;
    standin::ViewRef ref = nullptr;
    standin::RectD frame{};  // in the window's content; unused while it follows the window
    bool followsWindow = false;
    std::int64_t layer = 0;
    std::int64_t stackPosition = 0;  // the present order of views with equal layers, lowest first
    bool bridge = false;
    PageToken token{};
    std::shared_ptr<KelvoAssetSchemeHandler> assets;  // the asset root it serves; null for none
    std::string committedUri;                         // the address of the document it shows, empty before the first
};

struct HostWebViews {
    std::map<std::uint64_t, std::unique_ptr<HostWebView>> mains;   // by window id
    std::map<std::string, std::unique_ptr<HostWebView>> children;  // by key "<window id>:<label>"
    // Each window's asset root, made with its main web view and shared by its children.
    std::map<std::uint64_t, std::shared_ptr<KelvoAssetSchemeHandler>> assetHandlers;
    NavigationPolicy policy;
    Io io;
    std::int64_t nextTopPosition = 0;
    std::int64_t nextBottomPosition = 0;
    std::vector<char> script;  // the scripts evaluated in pages, grown to the largest
    std::vector<char> detail;  // event details the host writes itself
};

// "<window id>:<label>".
std::string webViewKey(std::uint64_t windowId, std::string_view label);

// The window's main web view, made when it has none; null without the window.
HostWebView* ensureMainWebView(KelvoAppKitHost& host, std::uint64_t windowId);
// Gives the keyboard to the window's main web view when nothing in the window holds it, as a
// window that is shown or becomes key makes its content view first responder.
void keyboardToMainWebView(KelvoAppKitHost& host, std::uint64_t windowId);
// The window's main web view, else the main window's; null when neither exists.
HostWebView* webViewForWindow(KelvoAppKitHost& host, std::uint64_t windowId);
HostWebView* findChildWebView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label);
// The main or child web view the backend knows by `ref`; null for any other view.
HostWebView* webViewByRef(KelvoAppKitHost& host, standin::ViewRef ref);

// Orders the window's views by layer (equal layers keep their order) above its other views, then
// recomputes the covered rectangles of its web views and writes them into their pages.
void restackWindow(KelvoAppKitHost& host, std::uint64_t windowId);
void updateCoveredRects(KelvoAppKitHost& host, std::uint64_t windowId);

// Removes a child web view (its message handler first); the caller restacks.
void destroyChildWebView(KelvoAppKitHost& host, const std::string& key);
// Every web view of a closing window, its main web view and asset root included.
void closeWindowWebViews(KelvoAppKitHost& host, std::uint64_t windowId);
// Every web view of the host, as it is torn down.
void closeAllWebViews(KelvoAppKitHost& host);

// What the web views' backends report (appkit_webview_events.cpp).
standin::WebViewEvents webViewEvents(HostWebView& view);

// The bridge channel (appkit_bridge_channel.cpp): a page's message to the runtime, a named event
// raised in a window's main web view, and a child's navigation raised as "webview:navigate".
standin::ScriptMessageSink bridgeMessageSink(HostWebView& view);
void emitPageEvent(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view name, std::string_view detail);
void emitNavigation(KelvoAppKitHost& host, const HostWebView& child, std::string_view url);

}  // namespace kelvo
