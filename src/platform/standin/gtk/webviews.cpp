// GTK web views: a WebKitWebView per web view, placed in the window's overlay at its frame (or over
// the whole content while it follows the window), all sharing one web context of the process.
// Navigation decisions, committed and finished loads and dropped files reach the host from
// main-loop tasks; a decision stays open until the host answered it, and a web view gone by then
// has its navigation cancelled.

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/standin/gtk/gtk_web_state.hpp"
#include "platform/standin/gtk/selection_owner.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kNumberKey = "kelvo-web-view";
// The address of a page shown from an HTML text.
constexpr std::string_view kBlankPage = "about:blank";

// Runs `act` on the web view from the main queue, unless it is gone by then.
template <class Act>
void postToWebView(GtkWebViewRecord& record, Act act) {
    GtkState* state = record.state;
    std::uint64_t number = record.number;
    state->post([state, number, act = std::move(act)]() mutable {
        if (GtkWebViewRecord* target = findWebView(*state, number)) act(*target);
    });
}

bool isBlank(const gchar* uri) { return uri != nullptr && std::string_view(uri) == kBlankPage; }

void reportCommitted(GtkWebViewRecord& record, std::string uri) {
    postToWebView(record, [uri = std::move(uri)](GtkWebViewRecord& target) {
        if (target.events.committed != nullptr) target.events.committed(target.events.context, webViewRef(target), uri);
    });
}

void reportFinished(GtkWebViewRecord& record) {
    postToWebView(record, [](GtkWebViewRecord& target) {
        if (target.events.finished != nullptr) target.events.finished(target.events.context, webViewRef(target));
    });
}

// Found while checking WebKitGTK 2.50: a page shown from an HTML text has the address
// "about:blank", and WebKit reloads it as an empty page; the text is shown again instead. A
// navigation decision does not say which frame it is for (the action's frame name is null for
// every frame: it names only a new window's target), so the page's reload and a reload or load of
// one of its own blank frames look the same there, and a frame may load between the page's
// decision and the page's commit. Only the main frame's loads are reported, though, and its
// document knows how it came. So a document the main frame committed at "about:blank" over one at
// "about:blank", while the view has a text to show, is asked (in a script world of our own, which
// the page cannot reach) whether it came by a reload. If so, the text is loaded again and the
// empty page is never reported; if not, its commit, and its finished load if that came meanwhile,
// are reported then. A newer commit before the answer reports the held one at once.
constexpr const char* kReloadCheckWorld = "kelvo-reload-check";
constexpr const char* kReloadCheck = "performance.navigation.type === performance.navigation.TYPE_RELOAD";

struct HeldCommitCheck {
    GtkState* state;
    std::uint64_t number;  // the web view's
    std::uint64_t commit;
};

void releaseHeldCommit(GtkWebViewRecord& record) {
    record.heldCommit = 0;
    reportCommitted(record, std::string(kBlankPage));
    if (record.finishedHeld) reportFinished(record);
    record.finishedHeld = false;
}

void onHeldCommitChecked(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<HeldCommitCheck> check(static_cast<HeldCommitCheck*>(data));
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
    const bool reloaded = value != nullptr && jsc_value_is_boolean(value) && jsc_value_to_boolean(value);
    if (value != nullptr) g_object_unref(value);
    GtkWebViewRecord* record = findWebView(*check->state, check->number);
    if (record == nullptr || record->heldCommit != check->commit) return;
    if (reloaded && record->html) {
        record->heldCommit = 0;
        record->finishedHeld = false;
        webkit_web_view_load_html(WEBKIT_WEB_VIEW(record->widget), record->html->c_str(), nullptr);
        return;
    }
    releaseHeldCommit(*record);
}

gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        // A response the web view cannot show would otherwise become a download.
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        if (!webkit_response_policy_decision_is_mime_type_supported(response)) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        return FALSE;
    }
    auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(navigation);
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    NavigationKind kind =
        type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION ? NavigationKind::new_window : NavigationKind::navigate;
    // The task holds the decision: a web view gone before its turn never navigates.
    g_object_ref(decision);
    auto pending = std::make_shared<GObjectPtr<WebKitPolicyDecision>>(decision);
    GtkState* state = record.state;
    std::uint64_t number = record.number;
    state->post([state, number, pending, kind, url = std::string(uri != nullptr ? uri : "")] {
        GtkWebViewRecord* target = findWebView(*state, number);
        bool allowed = false;
        if (target != nullptr && target->events.decideNavigation != nullptr) {
            allowed = target->events.decideNavigation(target->events.context, webViewRef(*target),
                                                      NavigationAction{url, kind});
        }
        if (allowed && kind == NavigationKind::navigate) {
            webkit_policy_decision_use(pending->get());
        } else {
            webkit_policy_decision_ignore(pending->get());
        }
    });
    return TRUE;
}

void onLoadChanged(WebKitWebView* webView, WebKitLoadEvent event, gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    if (event == WEBKIT_LOAD_COMMITTED) {
        // The page before is gone, and with it what it had begun.
        gtkDropTextOfPage(*record.state, record.number);
        const gchar* uri = webkit_web_view_get_uri(webView);
        const bool overBlank = record.showsBlank;
        record.showsBlank = isBlank(uri);
        record.commits += 1;
        if (record.heldCommit != 0) releaseHeldCommit(record);
        // A page that went to an address of its own no longer shows the text it was given.
        if (!isBlank(uri)) record.html.reset();
        if (record.html && overBlank) {
            record.heldCommit = record.commits;
            webkit_web_view_evaluate_javascript(webView, kReloadCheck, -1, kReloadCheckWorld, nullptr, nullptr,
                                                onHeldCommitChecked,
                                                new HeldCommitCheck{record.state, record.number, record.commits});
            return;
        }
        reportCommitted(record, uri != nullptr ? uri : "");
    } else if (event == WEBKIT_LOAD_FINISHED) {
        if (record.heldCommit != 0) {
            record.finishedHeld = true;
            return;
        }
        reportFinished(record);
    }
}

void onWebProcessGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    gtkDropTextOfPage(*record.state, record.number);
}

bool isCovered(const GtkWebViewRecord& record, double x, double y) {
    return std::any_of(record.coveredRects.begin(), record.coveredRects.end(),
                       [&](const RectD& r) { return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height; });
}

// Pointer events arrive in the web view's own coordinates, as the covered rectangles are; a
// handler that answers TRUE keeps the event from the page.
gboolean onButton(GtkWidget*, GdkEventButton* event, gpointer data) {
    return isCovered(*static_cast<GtkWebViewRecord*>(data), event->x, event->y) ? TRUE : FALSE;
}
gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    return isCovered(*static_cast<GtkWebViewRecord*>(data), event->x, event->y) ? TRUE : FALSE;
}
gboolean onCrossing(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    return isCovered(*static_cast<GtkWebViewRecord*>(data), event->x, event->y) ? TRUE : FALSE;
}

// Found while checking WebKitGTK 2.50 (GTK 3): the web view's own key handler takes every press
// and answers "handled" at once, before the page has seen it; the page answers later. A press the
// page did not cancel and WebKit did nothing with comes back through gtk_main_do_event (past GDK's
// event handler, so the key monitor does not see it twice) to the window and on to this view,
// whose own handler now lets it through to the handlers connected after it: here. A cancelled
// press never comes back; nor does one WebKit acted on (copy, paste, typed text).
gboolean onKeyNotHandled(GtkWidget*, GdkEventKey* event, gpointer data) {
    return gtkOfferKeyNotHandled(*static_cast<GtkWebViewRecord*>(data)->state, *event) ? TRUE : FALSE;
}

// Files dragged in from outside the program go to the host instead of being opened by the web
// view; drags that start in the program (within the page) stay the web view's. These handlers run
// before the web view's own, which answering TRUE (or stopping the emission) skips.
bool isFileDropFromOutside(GdkDragContext* context) {
    if (gtk_drag_get_source_widget(context) != nullptr) return false;
    GdkAtom uriList = gdk_atom_intern_static_string("text/uri-list");
    return g_list_find(gdk_drag_context_list_targets(context), GDK_ATOM_TO_POINTER(uriList)) != nullptr;
}

gboolean onDragMotion(GtkWidget*, GdkDragContext* context, gint, gint, guint time, gpointer) {
    if (!isFileDropFromOutside(context)) return FALSE;
    gdk_drag_status(context, GDK_ACTION_COPY, time);
    return TRUE;
}

gboolean onDragDrop(GtkWidget* widget, GdkDragContext* context, gint, gint, guint time, gpointer data) {
    if (!isFileDropFromOutside(context)) return FALSE;
    static_cast<GtkWebViewRecord*>(data)->dropPending = true;
    gtk_drag_get_data(widget, context, gdk_atom_intern_static_string("text/uri-list"), time);
    return TRUE;
}

void onDragData(GtkWidget* widget, GdkDragContext* context, gint, gint, GtkSelectionData* selection, guint, guint time,
                gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    if (!record.dropPending) return;
    record.dropPending = false;
    g_signal_stop_emission_by_name(widget, "drag-data-received");
    std::string paths = droppedPaths(selection);
    gtk_drag_finish(context, !paths.empty(), FALSE, time);
    if (paths.empty()) return;
    postToWebView(record, [paths](GtkWebViewRecord& target) {
        if (target.events.filesDropped != nullptr) {
            target.events.filesDropped(target.events.context, webViewRef(target), paths);
        }
    });
}

ViewRef create(void* self, const WebViewDescription& description) {
    GtkState& state = gtkState(self);
    GtkWebState& web = gtkWebState(state);
    auto* window = reinterpret_cast<GtkWindowRecord*>(description.window);
    if (!state.opened || window == nullptr) return nullptr;
    if (!web.context) web.context.reset(webkit_web_context_new());
    if (!description.scheme.empty()) serveScheme(state, description.scheme);

    auto record = std::make_unique<GtkWebViewRecord>();
    record->state = &state;
    record->number = web.nextWebView++;
    record->windowNumber = window->number;
    record->frame = description.frame;
    record->followsWindow = description.followsWindow;
    record->scheme = std::string(description.scheme);
    record->events = description.events;
    record->content.reset(webkit_user_content_manager_new());
    record->widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", web.context.get(),
                                             "user-content-manager", record->content.get(), nullptr));
    WebKitWebView* webView = WEBKIT_WEB_VIEW(record->widget);
    webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(webView), TRUE);
    if (description.transparent) {
        GdkRGBA clear{0, 0, 0, 0};
        webkit_web_view_set_background_color(webView, &clear);
    }
    GtkWebViewRecord* data = record.get();
    markPlaced(record->widget, data);
    g_object_set_data(G_OBJECT(record->widget), kNumberKey, reinterpret_cast<gpointer>(record->number));
    g_signal_connect(record->widget, "decide-policy", G_CALLBACK(onDecidePolicy), data);
    g_signal_connect(record->widget, "load-changed", G_CALLBACK(onLoadChanged), data);
    g_signal_connect(record->widget, "web-process-terminated", G_CALLBACK(onWebProcessGone), data);
    for (const char* signal : {"button-press-event", "button-release-event"}) {
        g_signal_connect(record->widget, signal, G_CALLBACK(onButton), data);
    }
    g_signal_connect(record->widget, "motion-notify-event", G_CALLBACK(onMotion), data);
    for (const char* signal : {"enter-notify-event", "leave-notify-event"}) {
        g_signal_connect(record->widget, signal, G_CALLBACK(onCrossing), data);
    }
    g_signal_connect_after(record->widget, "key-press-event", G_CALLBACK(onKeyNotHandled), data);
    watchKeysHanded(*data);
    g_signal_connect(record->widget, "drag-motion", G_CALLBACK(onDragMotion), data);
    g_signal_connect(record->widget, "drag-drop", G_CALLBACK(onDragDrop), data);
    g_signal_connect(record->widget, "drag-data-received", G_CALLBACK(onDragData), data);
    paintWholeOnPartialDraws(*data);
    tellPageOfDraws(*data);

    placeViewsIn(window->content);
    gtk_overlay_add_overlay(GTK_OVERLAY(window->content), record->widget);
    gtk_widget_show(record->widget);
    auto [entry, added] = web.webViews.emplace(record->number, std::move(record));
    return webViewRef(*entry->second);
}

void destroy(void* self, ViewRef ref) {
    GtkWebState& web = gtkWebState(gtkState(self));
    GtkWebViewRecord& record = webViewRecord(ref);
    gtkDropTextOfPage(gtkState(self), record.number);
    g_signal_handlers_disconnect_by_data(record.widget, &record);
    for (const GtkScriptHandler& handler : record.handlers) {
        g_signal_handler_disconnect(record.content.get(), handler.signal);
        webkit_user_content_manager_unregister_script_message_handler(record.content.get(), handler.name.c_str());
    }
    markPlaced(record.widget, nullptr);
    forgetKeysHanded(record);
    forgetDraws(record);
    gtk_widget_destroy(record.widget);
    web.webViews.erase(record.number);
    // What waited for keys this page was to handle goes on.
    wakeKeyWaiters(gtkState(self));
}

void setFrame(void*, ViewRef ref, RectD frame, bool followsWindow) {
    GtkWebViewRecord& record = webViewRecord(ref);
    record.frame = frame;
    record.followsWindow = followsWindow;
    gtk_widget_queue_resize(record.widget);
}

void loadUrl(void*, ViewRef ref, std::string_view url) {
    GtkWebViewRecord& record = webViewRecord(ref);
    record.html.reset();
    std::string text(url);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(record.widget), text.c_str());
}

void loadHtml(void*, ViewRef ref, std::string_view html) {
    GtkWebViewRecord& record = webViewRecord(ref);
    record.html = std::string(html);
    webkit_web_view_load_html(WEBKIT_WEB_VIEW(record.widget), record.html->c_str(), nullptr);
}

// WebKit's own reload, so that it goes the way the page's reload goes (and asks where that asks).
void reload(void*, ViewRef ref) { webkit_web_view_reload(WEBKIT_WEB_VIEW(webViewRecord(ref).widget)); }

void setZoom(void*, ViewRef ref, double zoom) {
    webkit_web_view_set_zoom_level(WEBKIT_WEB_VIEW(webViewRecord(ref).widget), zoom);
}

// GtkOverlay draws its overlay children in list order, the last on top.
void restack(void*, WindowRef window, std::span<const ViewRef> bottomToTop) {
    GtkWidget* overlay = reinterpret_cast<GtkWindowRecord*>(window)->content;
    for (ViewRef ref : bottomToTop) {
        gtk_overlay_reorder_overlay(GTK_OVERLAY(overlay), placedView(ref).widget, -1);
    }
}

void setCoveredRects(void*, ViewRef ref, std::span<const RectD> rects) {
    webViewRecord(ref).coveredRects.assign(rects.begin(), rects.end());
}

// WebKit docks the inspector into a web view large enough to hold it. Opened from the menu, it
// comes in a window of its own instead, so that the page keeps the size the runtime laid out:
// docked by WebKit first, it is moved out on the next turn. The user may dock it later.
constexpr const char* kOpenDetachedKey = "kelvo-inspector-opens-detached";
constexpr const char* kWatchedKey = "kelvo-inspector-watched";

gboolean detachInspector(gpointer inspector) {
    if (webkit_web_inspector_is_attached(WEBKIT_WEB_INSPECTOR(inspector))) {
        webkit_web_inspector_detach(WEBKIT_WEB_INSPECTOR(inspector));
    }
    return G_SOURCE_REMOVE;
}

gboolean onInspectorAttach(WebKitWebInspector* inspector, gpointer) {
    if (g_object_get_data(G_OBJECT(inspector), kOpenDetachedKey) == nullptr) return FALSE;
    g_object_set_data(G_OBJECT(inspector), kOpenDetachedKey, nullptr);
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, detachInspector, g_object_ref(inspector), g_object_unref);
    return FALSE;
}

// Developer extras are on for every web view.
void showInspector(void*, ViewRef ref) {
    WebKitWebInspector* inspector = webkit_web_view_get_inspector(WEBKIT_WEB_VIEW(webViewRecord(ref).widget));
    if (g_object_get_data(G_OBJECT(inspector), kWatchedKey) == nullptr) {
        g_object_set_data(G_OBJECT(inspector), kWatchedKey, GINT_TO_POINTER(1));
        g_signal_connect(inspector, "attach", G_CALLBACK(onInspectorAttach), nullptr);
    }
    if (webkit_web_inspector_get_web_view(inspector) == nullptr) {
        g_object_set_data(G_OBJECT(inspector), kOpenDetachedKey, GINT_TO_POINTER(1));
    }
    webkit_web_inspector_show(inspector);
}

}  // namespace

GtkWebState& gtkWebState(GtkState&) {
    // Like GTK itself, web views are set up once per process and never torn down.
    static GtkWebState* web = new GtkWebState();
    return *web;
}

std::uint64_t webViewNumberOf(WebKitWebView* webView) {
    if (webView == nullptr) return 0;
    return static_cast<std::uint64_t>(
        reinterpret_cast<std::uintptr_t>(g_object_get_data(G_OBJECT(webView), kNumberKey)));
}

GtkWebViewRecord* findWebView(GtkState& state, std::uint64_t number) {
    auto& views = gtkWebState(state).webViews;
    auto found = views.find(number);
    return found == views.end() ? nullptr : found->second.get();
}

WebViewService gtkWebViews() {
    WebViewService webviews;
    KELVO_STANDIN_FILL(webviews, KELVO_STANDIN_WEBVIEW_FUNCTIONS)
    return webviews;
}

}  // namespace kelvo::standin
