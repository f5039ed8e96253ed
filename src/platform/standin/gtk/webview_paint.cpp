// What a web view paints when only a part of it is drawn again.
//
// Found while checking WebKitGTK 2.50 on X11 (a small GTK program with a menu bar over a web
// view, under Xvfb with and without a window manager): a draw of a web view that covers only part
// of it leaves that part unpainted, so the window's background shows there until the page sends
// its next frame (in practice until the pointer moves over it). Such draws come whenever the X
// server hands back an area that a menu, a dialog or another window covered, and whenever a part
// of the view is invalidated. A draw of the whole view paints the last frame. Turning WebKit's
// DMA-BUF renderer or its compositing off avoids it too, at a cost to every page, so instead a
// partial draw asks for a whole one, which follows in the next frame.

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    auto& record = *static_cast<GtkWebViewRecord*>(data);
    GdkRectangle clip{};
    const bool clipped = gdk_cairo_get_clip_rectangle(cr, &clip) != FALSE;
    const bool whole =
        !clipped || (clip.x <= 0 && clip.y <= 0 && clip.x + clip.width >= gtk_widget_get_allocated_width(widget) &&
                     clip.y + clip.height >= gtk_widget_get_allocated_height(widget));
    // The draw asked for may itself be partial (a view reaching past its window's edge): it asks
    // for nothing more, so that no draw follows another for ever.
    if (whole || record.wholeDrawAsked) {
        record.wholeDrawAsked = false;
        return FALSE;
    }
    record.wholeDrawAsked = true;
    gtk_widget_queue_draw(widget);
    return FALSE;
}

}  // namespace

void paintWholeOnPartialDraws(GtkWebViewRecord& record) {
    g_signal_connect(record.widget, "draw", G_CALLBACK(onDraw), &record);
}

}  // namespace kelvo::standin
