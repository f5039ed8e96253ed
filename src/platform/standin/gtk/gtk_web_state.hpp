#pragma once

// Private to the GTK backend: web views (WebKitGTK 4.1) and what their services share.
//
// Found while checking WebKitGTK 4.1 under Xvfb: script messages carry no frame and no origin, and
// every frame of a page (sub-frames and sandboxed frames included) can post to a registered
// handler; decide-policy cannot tell a sub-frame's navigation from the main frame's; the user
// script runs once per document in the top frame before the page's scripts; a scheme request, a
// policy decision and a script message can all be answered after their signal returned, so each
// is handed to the host from a main-loop task.

#include <webkit2/webkit2.h>

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

struct GtkScriptHandler {
    std::string name;
    ScriptMessageSink sink{};
    gulong signal = 0;
};

// A script for the page that waits for keys handed before it (page_order.cpp): a reply handed to
// the page's function `script` as JSON text (`call`), or an event evaluated as it is.
struct GtkPageOutput {
    bool call = false;
    std::string script;
    std::string json;
    std::uint64_t afterKey = 0;  // the count of keys handed to the web view before it
};

struct GtkWebViewRecord : GtkPlacedView {
    GtkState* state = nullptr;
    std::uint64_t number = 0;
    std::uint64_t windowNumber = 0;
    GObjectPtr<WebKitUserContentManager> content;
    std::string scheme;
    WebViewEvents events{};
    std::vector<RectD> coveredRects;
    std::vector<GtkScriptHandler> handlers;
    bool dropPending = false;     // a drop's files were asked for
    bool wholeDrawAsked = false;  // a draw of the whole view was asked for after a partial one
    // The HTML text the view was last given to show, while it shows that text (no address of its
    // own): a reload shows it again.
    std::optional<std::string> html;
    // The documents the main frame committed so far, and whether the last was at "about:blank".
    std::uint64_t commits = 0;
    bool showsBlank = false;
    // The commit (by number) of an empty page that may have come by a reload of the text, held
    // back from the host until its document told how it came (0: none); and whether its load
    // finished meanwhile.
    std::uint64_t heldCommit = 0;
    bool finishedHeld = false;
    // The keys handed to the web view so far, and those its page confirmed having handled; what
    // waits for them (page_order.cpp).
    std::uint64_t keysHanded = 0;
    std::uint64_t keysConfirmed = 0;
    std::uint64_t confirming = 0;  // the count of keys the confirmation on its way confirms; 0: none
    guint confirmSource = 0;       // the turn of the loop that sends the next confirmation
    std::deque<GtkPageOutput> waitingOutputs;
    // The page asked to be told of the web view's next draw (webview_drawn.cpp), and the turn of the
    // loop that tells it.
    bool drawnAsked = false;
    guint drawnTeller = 0;
    gulong drawnAskedSignal = 0;
};

// Something to do once the pages have handled the keys handed to them by then: the count each web
// view (by number) had to confirm.
struct GtkKeyWaiter {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> keys;
    Task then;
};

struct GtkWebState {
    GObjectPtr<WebKitWebContext> context;
    std::vector<std::string> schemes;  // registered on the context
    std::map<std::uint64_t, std::unique_ptr<GtkWebViewRecord>> webViews;
    std::uint64_t nextWebView = 1;
    std::vector<GtkKeyWaiter> keyWaiters;
};

GtkWebState& gtkWebState(GtkState& state);
inline GtkWebViewRecord& webViewRecord(ViewRef ref) { return static_cast<GtkWebViewRecord&>(placedView(ref)); }
inline ViewRef webViewRef(GtkWebViewRecord& record) {
    return reinterpret_cast<ViewRef>(static_cast<GtkPlacedView*>(&record));
}
// The number of one of our web views (0 for another); the web view with that number, null once it
// is gone.
std::uint64_t webViewNumberOf(WebKitWebView* webView);
GtkWebViewRecord* findWebView(GtkState& state, std::uint64_t number);
// Makes the web view paint the whole of its last frame wherever part of it is drawn again
// (webview_paint.cpp).
void paintWholeOnPartialDraws(GtkWebViewRecord& record);
// Tells the page, when it asks, once the web view has been drawn after it asked; forgets that when
// the web view goes (webview_drawn.cpp).
void tellPageOfDraws(GtkWebViewRecord& record);
void forgetDraws(GtkWebViewRecord& record);
// Keys handed to a web view, and what goes to its page after them (page_order.cpp): counts the keys
// the web view's handler gets; sends a script to the page once the keys handed before it are
// handled; lets go of what waits when the web view goes (and wakes what waited for its keys).
void watchKeysHanded(GtkWebViewRecord& record);
void sendToPage(GtkWebViewRecord& record, GtkPageOutput output);
void forgetKeysHanded(GtkWebViewRecord& record);
void wakeKeyWaiters(GtkState& state);
// Serves the scheme's requests to the web views that name it (scheme.cpp).
void serveScheme(GtkState& state, std::string_view scheme);

}  // namespace kelvo::standin
