// What the web views report: navigation decisions (the host's navigation policy, with refused
// links handed to the desktop when allowed), committed documents, finished loads, requests of the
// asset scheme and dropped files.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

HostWebView& viewOf(void* context) { return *static_cast<HostWebView*>(context); }

// WebKit on Linux cannot tell a sub-frame's navigation from the main frame's, so every navigation
// is held to the main frame's rules. A request for a new window never opens one; when refused, it
// is a link like any other.
bool decideNavigation(void* context, standin::ViewRef, const standin::NavigationAction& action) {
    KelvoAppKitHost& host = *viewOf(context).host;
    if (allowsNavigationUrl(host.web.policy, action.url)) return action.kind == standin::NavigationKind::navigate;
    // A main web view refused its page stays empty: the keys its window holds for it go on.
    if (viewOf(context).isMain) releaseHeldKeys(host, viewOf(context).windowId);
    if (shouldOpenExternalUrl(host.web.policy, action.url)) {
        // Without a handler on the desktop the link simply does not open.
        (void)host.platform->workspace.openUrl(host.platform->self, action.url);
    }
    return false;
}

// A child's navigation is raised once its new document is in place.
void committed(void* context, standin::ViewRef, std::string_view uri) {
    HostWebView& view = viewOf(context);
    view.committedUri = std::string(uri);
    if (!view.isMain) emitNavigation(*view.host, view, uri);
}

// A fresh document has no overlay yet. A main web view's page has run its scripts (and taken the
// keyboard where it takes it): the keys its window holds go on to it.
void finished(void* context, standin::ViewRef) {
    HostWebView& view = viewOf(context);
    updateCoveredRects(*view.host, view.windowId);
    if (view.isMain) releaseHeldKeys(*view.host, view.windowId);
}

void schemeRequest(void* context, standin::ViewRef, standin::SchemeTaskRef task, std::string_view url) {
    HostWebView& view = viewOf(context);
    KelvoAppKitHost& host = *view.host;
    standin::StandIn& platform = *host.platform;
    if (!view.assets) {
        platform.scheme.fail(platform.self, task, static_cast<std::int32_t>(AssetFailure::bad_url));
        return;
    }
    tl::expected<AssetResponse, AssetFailure> response =
        serveAssetRequest(*view.assets, host.web.io, posixRealPath, url);
    if (!response) {
        platform.scheme.fail(platform.self, task, static_cast<std::int32_t>(response.error()));
        return;
    }
    platform.scheme.respond(platform.self, task, response->mimeType, response->bytes);
}

void filesDropped(void* context, standin::ViewRef, std::string_view paths) {
    HostWebView& view = viewOf(context);
    (void)emitDroppedPaths(*view.host, view.windowId, paths);
}

}  // namespace

standin::WebViewEvents webViewEvents(HostWebView& view) {
    standin::WebViewEvents events;
    events.context = &view;
    events.decideNavigation = decideNavigation;
    events.committed = committed;
    events.finished = finished;
    events.schemeRequest = schemeRequest;
    events.filesDropped = filesDropped;
    return events;
}

}  // namespace kelvo
