// Placing views in an overlay: each child marked with its view record sits at the record's
// frame, or fills the overlay. An overlay asks "get-child-position" for every child on each
// allocation, and the first handler that answers wins, so one handler serves every kind of view.

#include <algorithm>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kPlacedKey = "kelvo-placed-view";
constexpr const char* kPlacingKey = "kelvo-places-views";

gboolean placeChild(GtkOverlay* overlay, GtkWidget* widget, GdkRectangle* place, gpointer) {
    auto* view = static_cast<GtkPlacedView*>(g_object_get_data(G_OBJECT(widget), kPlacedKey));
    if (view == nullptr) return FALSE;
    if (view->followsWindow) {
        GtkAllocation all{};
        gtk_widget_get_allocation(GTK_WIDGET(overlay), &all);
        *place = GdkRectangle{0, 0, all.width, all.height};
    } else {
        *place = GdkRectangle{static_cast<int>(view->frame.x), static_cast<int>(view->frame.y),
                              std::max(static_cast<int>(view->frame.width), 1),
                              std::max(static_cast<int>(view->frame.height), 1)};
    }
    return TRUE;
}

}  // namespace

void placeViewsIn(GtkWidget* overlay) {
    if (g_object_get_data(G_OBJECT(overlay), kPlacingKey) != nullptr) return;
    g_object_set_data(G_OBJECT(overlay), kPlacingKey, GINT_TO_POINTER(1));
    g_signal_connect(overlay, "get-child-position", G_CALLBACK(placeChild), nullptr);
}

void markPlaced(GtkWidget* widget, GtkPlacedView* view) { g_object_set_data(G_OBJECT(widget), kPlacedKey, view); }

GtkPlacedView* gtkPlacedViewOf(GtkWidget* widget) {
    for (GtkWidget* at = widget; at != nullptr; at = gtk_widget_get_parent(at)) {
        auto* view = static_cast<GtkPlacedView*>(g_object_get_data(G_OBJECT(at), kPlacedKey));
        if (view == nullptr) continue;
        if (view->widget == nullptr) return nullptr;  // an adopted widget
        return view;
    }
    return nullptr;
}

}  // namespace kelvo::standin
