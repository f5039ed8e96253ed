// Web views: the main web view of each window, child web views with their limits and keys, and
// the function interface that loads, moves, navigates, zooms, layers and closes them.

#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/web/url_parts.hpp"

namespace kelvo {

namespace {

constexpr double kMinZoom = 0.25;
constexpr double kMaxZoom = 5.0;
constexpr std::string_view kDefaultAssetOrigin = "vexa://app";
constexpr std::string_view kDefaultEntry = "index.html";
constexpr std::string_view kAppBundleExecutableFolder = ".app/Contents/MacOS";

bool isChildFrame(double x, double y, double width, double height) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(width) && std::isfinite(height) && x >= 0 && y >= 0 &&
           width > 0 && height > 0;
}

standin::StandIn& backend(KelvoAppKitHost& host) { return *host.platform; }

// Makes the backend's web view of `view` in `window`, with the page bridge script and the message
// handler when it carries the bridge. False when the backend or the random source fails.
bool makeBackendWebView(KelvoAppKitHost& host, HostWindow& window, HostWebView& view, bool transparent) {
    standin::StandIn& platform = backend(host);
    if (view.bridge) {
        Result<PageToken> token = makePageToken(host.web.io);
        if (!token) return false;
        view.token = *token;
    }
    standin::WebViewDescription description;
    description.window = window.ref;
    description.frame = view.frame;
    description.followsWindow = view.followsWindow;
    description.transparent = transparent;
    description.scheme = view.assets ? kAssetScheme : std::string_view{};
    description.events = webViewEvents(view);
    view.ref = platform.webviews.create(platform.self, description);
    if (view.ref == nullptr) return false;
    if (view.bridge) {
        platform.scriptMessages.addUserScript(platform.self, view.ref, pageScriptText(view.token));
        platform.scriptMessages.addHandler(platform.self, view.ref, kBridgeHandlerName, bridgeMessageSink(view));
    }
    return true;
}

void destroyBackendWebView(KelvoAppKitHost& host, HostWebView& view) {
    standin::StandIn& platform = backend(host);
    if (view.bridge) platform.scriptMessages.removeHandler(platform.self, view.ref, kBridgeHandlerName);
    platform.webviews.destroy(platform.self, view.ref);
}

// The window's asset root, else the main window's; null when neither has one.
std::shared_ptr<KelvoAssetSchemeHandler> assetHandlerForWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    auto& handlers = host.web.assetHandlers;
    if (auto found = handlers.find(windowId); found != handlers.end()) return found->second;
    if (host.mainWindow == nullptr) return nullptr;
    auto main = handlers.find(host.mainWindow->id);
    return main == handlers.end() ? nullptr : main->second;
}

// The web view an operation names: "main" is the window's main web view (made when absent).
HostWebView* webViewNamed(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label) {
    if (label == kMainWebView) return ensureMainWebView(host, windowId);
    return findChildWebView(host, windowId, label);
}

// Where the process runs, for asset roots given relative to it.
struct ProcessPlace {
    std::string resources;
    std::string current;
    AssetRootPlace place;
};

void findProcessPlace(ProcessPlace& out) {
    std::string executable(4096, '\0');
    ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
    executable.resize(length > 0 && static_cast<std::size_t>(length) < executable.size() ? length : 0);
    std::string_view folder = std::string_view(executable).substr(0, executable.rfind('/') + 1);
    if (!folder.empty()) folder.remove_suffix(1);
    out.place.insideAppBundle = folder.ends_with(kAppBundleExecutableFolder);
    out.resources = out.place.insideAppBundle ? std::string(folder.substr(0, folder.size() - 5)) + "Resources"
                                              : std::string(folder);
    if (char* current = ::getcwd(nullptr, 0)) {
        out.current = current;
        std::free(current);
    }
    out.place.resourcesPath = out.resources;
    out.place.currentFolder = out.current;
}

std::string_view trimmedOrigin(std::string_view origin) {
    while (origin.ends_with('/')) origin.remove_suffix(1);
    return origin;
}

void loadSource(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view source, std::int32_t kind,
                std::string_view assetRoot, std::string_view entry, std::string_view origin, bool spaFallback) {
    HostWebView* view = ensureMainWebView(host, windowId);
    if (view == nullptr) return;
    standin::StandIn& platform = backend(host);
    if (kind == 2) {
        ProcessPlace place;
        findProcessPlace(place);
        // A root that does not fit a path serves nothing; the page then fails to load. The window's
        // child web views share the root.
        (void)configureAssetSchemeHandler(*view->assets, host.web.io, place.place, assetRoot, entry, spaFallback);
        std::string_view start = trimmedOrigin(origin.empty() ? kDefaultAssetOrigin : origin);
        if (entry.empty()) entry = kDefaultEntry;
        while (entry.starts_with('/')) entry.remove_prefix(1);
        std::string url(start);
        url += '/';
        url += entry;
        platform.webviews.loadUrl(platform.self, view->ref, url);
    } else if (kind == 1) {
        // Text that is no URL is refused when the web view asks whether it may go there.
        if (!source.empty()) platform.webviews.loadUrl(platform.self, view->ref, source);
    } else {
        platform.webviews.loadHtml(platform.self, view->ref, source);
    }
}

}  // namespace

std::string webViewKey(std::uint64_t windowId, std::string_view label) {
    std::string key = std::to_string(windowId);
    key += ':';
    key += label;
    return key;
}

HostWebView* ensureMainWebView(KelvoAppKitHost& host, std::uint64_t windowId) {
    if (auto found = host.web.mains.find(windowId); found != host.web.mains.end()) return found->second.get();
    HostWindow* window = findWindow(host, windowId);
    if (window == nullptr) return nullptr;
    if (auto found = host.web.mains.find(window->id); found != host.web.mains.end()) return found->second.get();

    auto view = std::make_unique<HostWebView>();
    view->host = &host;
    view->windowId = window->id;
    view->label = std::string(kMainWebView);
    view->isMain = true;
    view->followsWindow = true;
    view->bridge = true;
    view->stackPosition = --host.web.nextBottomPosition;
    standin::WindowGeometry geometry = backend(host).windows.geometry(backend(host).self, window->ref);
    view->frame = standin::RectD{0, 0, geometry.content.width, geometry.content.height};
    view->assets = std::make_shared<KelvoAssetSchemeHandler>(makeAssetSchemeHandler());
    // The page draws on the window's own background.
    if (!makeBackendWebView(host, *window, *view, true)) return nullptr;

    host.web.assetHandlers[window->id] = view->assets;
    HostWebView* made = view.get();
    host.web.mains[window->id] = std::move(view);
    restackWindow(host, window->id);
    keyboardToMainWebView(host, window->id);
    launchMark(host, "main_webview_ready");
    return made;
}

void keyboardToMainWebView(KelvoAppKitHost& host, std::uint64_t windowId) {
    standin::StandIn& platform = backend(host);
    HostWindow* window = findWindow(host, windowId);
    auto main = host.web.mains.find(windowId);
    if (window == nullptr || main == host.web.mains.end() || platform.nativeViews.focus == nullptr) return;
    if (platform.menus.focusedView != nullptr && platform.menus.focusedView(platform.self, window->ref) != nullptr) {
        return;
    }
    (void)platform.nativeViews.focus(platform.self, main->second->ref, nullptr);
}

HostWebView* webViewForWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    auto& mains = host.web.mains;
    if (auto found = mains.find(windowId); found != mains.end()) return found->second.get();
    if (host.mainWindow == nullptr) return nullptr;
    auto main = mains.find(host.mainWindow->id);
    return main == mains.end() ? nullptr : main->second.get();
}

HostWebView* findChildWebView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label) {
    auto found = host.web.children.find(webViewKey(windowId, label));
    return found == host.web.children.end() ? nullptr : found->second.get();
}

HostWebView* webViewByRef(KelvoAppKitHost& host, standin::ViewRef ref) {
    for (auto& [id, view] : host.web.mains) {
        if (view->ref == ref) return view.get();
    }
    for (auto& [key, view] : host.web.children) {
        if (view->ref == ref) return view.get();
    }
    return nullptr;
}

void destroyChildWebView(KelvoAppKitHost& host, const std::string& key) {
    auto found = host.web.children.find(key);
    if (found == host.web.children.end()) return;
    std::unique_ptr<HostWebView> view = std::move(found->second);
    host.web.children.erase(found);
    destroyBackendWebView(host, *view);
}

void closeWindowWebViews(KelvoAppKitHost& host, std::uint64_t windowId) {
    const std::string prefix = webViewKey(windowId, "");
    std::vector<std::string> keys;
    for (const auto& [key, view] : host.web.children) {
        if (key.starts_with(prefix)) keys.push_back(key);
    }
    for (const std::string& key : keys) destroyChildWebView(host, key);
    if (auto main = host.web.mains.find(windowId); main != host.web.mains.end()) {
        std::unique_ptr<HostWebView> view = std::move(main->second);
        host.web.mains.erase(main);
        destroyBackendWebView(host, *view);
    }
    host.web.assetHandlers.erase(windowId);
}

void closeAllWebViews(KelvoAppKitHost& host) {
    while (!host.web.children.empty()) destroyChildWebView(host, host.web.children.begin()->first);
    while (!host.web.mains.empty()) closeWindowWebViews(host, host.web.mains.begin()->first);
    host.web.assetHandlers.clear();
}

void kelvo_appkit_load_window_webview(KelvoAppKitHost* host, std::uint64_t windowId, const char* source,
                                      std::size_t sourceLength, std::int32_t kind, const char* assetRoot,
                                      std::size_t assetRootLength, const char* entry, std::size_t entryLength,
                                      const char* origin, std::size_t originLength, std::int32_t spaFallback) {
    loadSource(*host, windowId, hostText(source, sourceLength), kind, hostText(assetRoot, assetRootLength),
               hostText(entry, entryLength), hostText(origin, originLength), spaFallback != 0);
}

std::int32_t kelvo_appkit_create_webview(KelvoAppKitHost* host, std::uint64_t windowId, const char* labelBytes,
                                         std::size_t labelLength, const char* urlBytes, std::size_t urlLength, double x,
                                         double y, double width, double height, std::int32_t layer,
                                         std::int32_t transparent, std::int32_t bridge) {
    std::string_view label = hostText(labelBytes, labelLength);
    std::string_view url = hostText(urlBytes, urlLength);
    // A child labelled "main" could never be reached: "main" names the window's main web view.
    if (label.empty() || label == kMainWebView || url.empty()) return 0;
    if (!isChildFrame(x, y, width, height)) return 0;
    HostWindow* window = findWindow(*host, windowId);
    if (window == nullptr) return 0;
    if (!allowsNavigationUrl(host->web.policy, url)) return 0;
    if (host->web.children.size() >= kMaxChildWebViews) return 0;
    std::string key = webViewKey(windowId, label);
    if (host->web.children.contains(key)) return 0;

    auto view = std::make_unique<HostWebView>();
    view->host = host;
    view->windowId = windowId;
    view->label = std::string(label);
    view->frame = standin::RectD{x, y, width, height};
    view->layer = layer;
    view->stackPosition = ++host->web.nextTopPosition;
    view->bridge = bridge != 0;
    view->assets = assetHandlerForWindow(*host, windowId);
    if (!makeBackendWebView(*host, *window, *view, transparent != 0)) return 0;
    standin::StandIn& platform = backend(*host);
    platform.webviews.loadUrl(platform.self, view->ref, url);
    host->web.children[key] = std::move(view);
    restackWindow(*host, windowId);
    scheduleBridgeFrames(*host);
    return 1;
}

std::int32_t kelvo_appkit_set_webview_frame(KelvoAppKitHost* host, std::uint64_t windowId, const char* labelBytes,
                                            std::size_t labelLength, double x, double y, double width, double height) {
    std::string_view label = hostText(labelBytes, labelLength);
    if (label.empty() || !isChildFrame(x, y, width, height)) return 0;
    if (findWindow(*host, windowId) == nullptr) return 0;
    HostWebView* view = webViewNamed(*host, windowId, label);
    if (view == nullptr) return 0;
    // From now on a main web view keeps this frame instead of following the window.
    view->frame = standin::RectD{x, y, width, height};
    view->followsWindow = false;
    standin::StandIn& platform = backend(*host);
    platform.webviews.setFrame(platform.self, view->ref, view->frame, false);
    restackWindow(*host, view->windowId);
    scheduleBridgeFrames(*host);
    return 1;
}

std::int32_t kelvo_appkit_navigate_webview(KelvoAppKitHost* host, std::uint64_t windowId, const char* labelBytes,
                                           std::size_t labelLength, const char* urlBytes, std::size_t urlLength) {
    std::string_view label = hostText(labelBytes, labelLength);
    std::string_view url = hostText(urlBytes, urlLength);
    if (label.empty() || url.empty() || !parseUrl(url)) return 0;
    // "main" names the window's main web view, made here when it is missing, before the policy
    // has its say on the URL.
    HostWebView* view = webViewNamed(*host, windowId, label);
    if (view == nullptr || !allowsNavigationUrl(host->web.policy, url)) return 0;
    standin::StandIn& platform = backend(*host);
    platform.webviews.loadUrl(platform.self, view->ref, url);
    scheduleBridgeFrames(*host);
    return 1;
}

std::int32_t kelvo_appkit_set_webview_zoom(KelvoAppKitHost* host, std::uint64_t windowId, const char* labelBytes,
                                           std::size_t labelLength, double zoom) {
    std::string_view label = hostText(labelBytes, labelLength);
    // No clamping: a zoom out of range (or not a number) fails.
    if (label.empty() || !(zoom >= kMinZoom && zoom <= kMaxZoom)) return 0;
    HostWebView* view = webViewNamed(*host, windowId, label);
    if (view == nullptr) return 0;
    standin::StandIn& platform = backend(*host);
    platform.webviews.setZoom(platform.self, view->ref, zoom);
    return 1;
}

std::int32_t kelvo_appkit_set_webview_layer(KelvoAppKitHost* host, std::uint64_t windowId, const char* labelBytes,
                                            std::size_t labelLength, std::int32_t layer) {
    std::string_view label = hostText(labelBytes, labelLength);
    if (label.empty()) return 0;
    HostWebView* view = webViewNamed(*host, windowId, label);
    if (view == nullptr) return 0;
    view->layer = layer;
    restackWindow(*host, view->windowId);
    return 1;
}

std::int32_t kelvo_appkit_close_webview(KelvoAppKitHost* host, std::uint64_t windowId, const char* labelBytes,
                                        std::size_t labelLength) {
    std::string key = webViewKey(windowId, hostText(labelBytes, labelLength));
    if (!host->web.children.contains(key)) return 0;
    destroyChildWebView(*host, key);
    restackWindow(*host, windowId);
    scheduleBridgeFrames(*host);
    return 1;
}

}  // namespace kelvo
