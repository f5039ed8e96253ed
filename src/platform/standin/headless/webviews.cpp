// Headless web views: records of what the host asked of each web view, and scripted pages. A
// page here runs no script: the test posts its messages, makes its requests and follows its links,
// and what the host evaluates in it is recorded.

#include <algorithm>
#include <cstdio>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

using HeadlessWebView = HeadlessStandIn::WebView;

std::string describe(const HeadlessWebView& view) { return joinText({"n=", std::to_string(view.number)}); }

std::string rectText(const RectD& r) {
    char text[128];
    std::snprintf(text, sizeof text, "%g,%g %gx%g", r.x, r.y, r.width, r.height);
    return text;
}

// Runs `act` on the web view from the main queue, unless it is gone by then.
template <class Act>
void postToView(HeadlessState& state, HeadlessWebView& view, Act act) {
    HeadlessWebView* target = &view;
    state.post([target, act = std::move(act)]() mutable {
        if (!target->destroyed) act(*target);
    });
}

// A navigation as a web view goes through it: decided by the host, then committed and finished.
void navigate(HeadlessState& state, HeadlessWebView& view, std::string url, NavigationKind kind) {
    postToView(state, view, [&state, url = std::move(url), kind](HeadlessWebView& target) {
        const WebViewEvents& events = target.events;
        ViewRef ref = headlessViewRef(target);
        bool allowed = events.decideNavigation == nullptr ||
                       events.decideNavigation(events.context, ref, NavigationAction{url, kind});
        state.note(std::string("webview.decide ") + describe(target) + (allowed ? " allow " : " cancel ") + url);
        if (!allowed || kind == NavigationKind::new_window || target.destroyed) return;
        target.uri = url;
        if (url != "about:blank") target.html.reset();
        if (events.committed != nullptr) events.committed(events.context, ref, url);
        if (target.destroyed) return;
        if (events.finished != nullptr) events.finished(events.context, ref);
    });
}

ViewRef create(void* self, const WebViewDescription& description) {
    HeadlessState& state = headlessState(self);
    auto view = std::make_unique<HeadlessWebView>();
    view->number = state.webViews.size() + 1;
    view->window = description.window;
    view->frame = description.frame;
    view->followsWindow = description.followsWindow;
    view->transparent = description.transparent;
    view->scheme = std::string(description.scheme);
    view->events = description.events;
    state.note(joinText({"webview.create ", describe(*view), " frame=", rectText(description.frame),
                         description.followsWindow ? " follows" : "", description.transparent ? " transparent" : "",
                         description.scheme.empty() ? "" : " scheme=", view->scheme}));
    ViewRef ref = headlessViewRef(*view);
    state.stacks[description.window].push_back(ref);
    state.webViews.push_back(std::move(view));
    return ref;
}

void destroy(void* self, ViewRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessWebView& view = headlessWebView(ref);
    state.note(joinText({"webview.destroy ", describe(view)}));
    view.destroyed = true;
    view.sinks.clear();
    view.handlers.clear();
    std::erase(state.stacks[view.window], ref);
}

void setFrame(void* self, ViewRef ref, RectD frame, bool followsWindow) {
    HeadlessWebView& view = headlessWebView(ref);
    view.frame = frame;
    view.followsWindow = followsWindow;
    headlessState(self).note(
        joinText({"webview.frame ", describe(view), " frame=", rectText(frame), followsWindow ? " follows" : ""}));
}

void loadUrl(void* self, ViewRef ref, std::string_view url) {
    HeadlessState& state = headlessState(self);
    HeadlessWebView& view = headlessWebView(ref);
    view.loads.push_back(joinText({"url ", url}));
    view.html.reset();
    state.note(joinText({"webview.load ", describe(view), " url=", url}));
    navigate(state, view, std::string(url), NavigationKind::navigate);
}

void loadHtml(void* self, ViewRef ref, std::string_view html) {
    HeadlessState& state = headlessState(self);
    HeadlessWebView& view = headlessWebView(ref);
    view.loads.push_back(joinText({"html ", html}));
    view.html = std::string(html);
    state.note(joinText({"webview.load ", describe(view), " html"}));
    navigate(state, view, "about:blank", NavigationKind::navigate);
}

// The document shown comes again: a page shown from a given HTML text shows that text.
void reload(void* self, ViewRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessWebView& view = headlessWebView(ref);
    const bool givenHtml = view.html && view.uri == "about:blank";
    view.loads.push_back(givenHtml ? joinText({"reload html ", *view.html}) : joinText({"reload ", view.uri}));
    state.note(joinText({"webview.reload ", describe(view)}));
    navigate(state, view, view.uri, NavigationKind::navigate);
}

void setZoom(void* self, ViewRef ref, double zoom) {
    HeadlessWebView& view = headlessWebView(ref);
    view.zoom = zoom;
    char line[64];
    std::snprintf(line, sizeof line, " zoom=%g", zoom);
    headlessState(self).note(joinText({"webview.zoom ", describe(view), line}));
}

void restack(void* self, WindowRef window, std::span<const ViewRef> bottomToTop) {
    HeadlessState& state = headlessState(self);
    std::vector<ViewRef>& stack = state.stacks[window];
    std::string line = "webview.restack";
    for (ViewRef ref : bottomToTop) {
        std::erase(stack, ref);
        stack.push_back(ref);
        line.append(" ").append(headlessViewName(state, ref));
    }
    state.note(line);
}

void setCoveredRects(void*, ViewRef ref, std::span<const RectD> rects) {
    headlessWebView(ref).coveredRects.assign(rects.begin(), rects.end());
}

void showInspector(void* self, ViewRef ref) {
    HeadlessWebView& view = headlessWebView(ref);
    view.inspectorShown = true;
    headlessState(self).note(joinText({"webview.inspector ", describe(view)}));
}

}  // namespace

WebViewService headlessWebViews() {
    WebViewService webviews;
    KELVO_STANDIN_FILL(webviews, KELVO_STANDIN_WEBVIEW_FUNCTIONS)
    return webviews;
}

std::vector<HeadlessStandIn::WebView*> HeadlessStandIn::webViews() {
    std::vector<WebView*> all;
    for (auto& view : state_->webViews) all.push_back(view.get());
    return all;
}

HeadlessStandIn::WebView& HeadlessStandIn::webView(ViewRef ref) { return headlessWebView(ref); }
ViewRef HeadlessStandIn::ref(const WebView& view) { return headlessViewRef(const_cast<WebView&>(view)); }

std::vector<ViewRef> HeadlessStandIn::stack(WindowRef window) const {
    auto found = state_->stacks.find(window);
    return found == state_->stacks.end() ? std::vector<ViewRef>{} : found->second;
}

void HeadlessStandIn::pageNavigate(ViewRef ref, std::string_view url, NavigationKind kind) {
    navigate(*state_, headlessWebView(ref), std::string(url), kind);
}

void HeadlessStandIn::userDropFilesOnWebView(ViewRef ref, std::string_view nulSeparatedPaths) {
    postToView(*state_, headlessWebView(ref), [paths = std::string(nulSeparatedPaths)](HeadlessWebView& target) {
        if (target.events.filesDropped != nullptr) {
            target.events.filesDropped(target.events.context, headlessViewRef(target), paths);
        }
    });
}

}  // namespace kelvo::standin
