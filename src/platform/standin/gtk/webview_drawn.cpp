// When what a page changed is on the screen: a page that asks (a message to the handler
// "kelvoDrawn") is told, by the event "kelvo:drawn" on its window, once the web view has been drawn
// into its window after the message came.
//
// Found while checking WebKitGTK 2.50 under Xvfb: the web view draws a frame well after the page's
// animation frames have run for it, since the frame is rendered and handed to the web view apart
// from the page (a message bar shown by a key was drawn 60-75 ms after the key, 8 ms after the
// page's second animation frame since, on an idle machine; later still on a busy one). A page
// that asks from the animation frame that paints a change is told once the web view drew next,
// which is the frame that shows the change unless an older frame was still on its way; the
// display server has the drawing by then.

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kDrawnHandler = "kelvoDrawn";
constexpr const char* kDrawnEvent = "window.dispatchEvent(new Event('kelvo:drawn'))";

void onDrawnAsked(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer data) {
    static_cast<GtkWebViewRecord*>(data)->drawnAsked = true;
}

// Runs once the frame clock's paint, whose drawing the window has by then, is over.
gboolean tellDrawn(gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    record.drawnTeller = 0;
    gdk_display_flush(gtk_widget_get_display(record.widget));
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(record.widget), kDrawnEvent, -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
    return G_SOURCE_REMOVE;
}

gboolean onDrawn(GtkWidget*, cairo_t*, gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    if (!record.drawnAsked || record.drawnTeller != 0) return FALSE;
    record.drawnAsked = false;
    record.drawnTeller = g_idle_add_full(G_PRIORITY_DEFAULT, tellDrawn, &record, nullptr);
    return FALSE;
}

}  // namespace

void tellPageOfDraws(GtkWebViewRecord& record) {
    record.drawnAskedSignal = g_signal_connect(record.content.get(), "script-message-received::kelvoDrawn",
                                               G_CALLBACK(onDrawnAsked), &record);
    webkit_user_content_manager_register_script_message_handler(record.content.get(), kDrawnHandler);
    g_signal_connect_after(record.widget, "draw", G_CALLBACK(onDrawn), &record);
}

void forgetDraws(GtkWebViewRecord& record) {
    if (record.drawnAskedSignal != 0) {
        g_signal_handler_disconnect(record.content.get(), record.drawnAskedSignal);
        webkit_user_content_manager_unregister_script_message_handler(record.content.get(), kDrawnHandler);
        record.drawnAskedSignal = 0;
    }
    if (record.drawnTeller != 0) g_source_remove(record.drawnTeller);
    record.drawnTeller = 0;
}

}  // namespace kelvo::standin
