#pragma once

// Finding the widgets the host made on screen by the names it gave them (a view's label).

#include <gtk/gtk.h>

#include <string_view>

namespace kelvo {

inline GtkWidget* findNamed(GtkWidget* root, std::string_view name) {
    if (root == nullptr) return nullptr;
    if (name == gtk_widget_get_name(root)) return root;
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* item = children; item != nullptr && found == nullptr; item = item->next) {
        found = findNamed(GTK_WIDGET(item->data), name);
    }
    g_list_free(children);
    return found;
}

inline GtkWidget* named(std::string_view name) {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = toplevels; item != nullptr && found == nullptr; item = item->next) {
        found = findNamed(GTK_WIDGET(item->data), name);
    }
    g_list_free(toplevels);
    return found;
}

}  // namespace kelvo
