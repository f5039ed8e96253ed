#pragma once

// Finding the widgets the host made on screen by the names it gave them (a view's label).

#include <gtk/gtk.h>

#include <string_view>

namespace kelvo {

// The first widget of a widget tree that `matches`, depth first.
template <typename Matches>
GtkWidget* findFirst(GtkWidget* root, const Matches& matches) {
    if (root == nullptr) return nullptr;
    if (matches(root)) return root;
    if (!GTK_IS_CONTAINER(root)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(root));
    GtkWidget* found = nullptr;
    for (GList* item = children; item != nullptr && found == nullptr; item = item->next) {
        found = findFirst(GTK_WIDGET(item->data), matches);
    }
    g_list_free(children);
    return found;
}

inline GtkWidget* findNamed(GtkWidget* root, std::string_view name) {
    return findFirst(root, [name](GtkWidget* widget) { return name == gtk_widget_get_name(widget); });
}

// The first widget of a type in a widget tree, depth first.
inline GtkWidget* findOfType(GtkWidget* root, GType type) {
    return findFirst(root, [type](GtkWidget* widget) { return G_TYPE_CHECK_INSTANCE_TYPE(widget, type); });
}

// The height of the menu bar across the top of a window, 0 when it has none.
inline int menuBarHeight(GtkWidget* toplevel) {
    GtkWidget* bar = findOfType(toplevel, GTK_TYPE_MENU_BAR);
    return bar != nullptr && gtk_widget_get_visible(bar) ? gtk_widget_get_allocated_height(bar) : 0;
}

// A pop-up menu on screen (the menu inside a shown pop-up window), the last one if several are.
inline GtkMenuShell* shownMenu() {
    GList* toplevels = gtk_window_list_toplevels();
    GtkMenuShell* found = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(item->data));
        if (child != nullptr && GTK_IS_MENU(child) && gtk_widget_get_visible(child)) found = GTK_MENU_SHELL(child);
    }
    g_list_free(toplevels);
    return found;
}

// The shown window with this title (the last one made, if several are).
inline GtkWidget* windowTitled(std::string_view title) {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        const gchar* text = gtk_window_get_title(GTK_WINDOW(item->data));
        if (text != nullptr && title == text && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            found = GTK_WIDGET(item->data);
        }
    }
    g_list_free(toplevels);
    return found;
}

// The item of a menu shell with this label.
inline GtkWidget* itemLabelled(GtkWidget* shell, std::string_view label) {
    if (shell == nullptr) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
    GtkWidget* found = nullptr;
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        const gchar* text =
            GTK_IS_MENU_ITEM(child->data) ? gtk_menu_item_get_label(GTK_MENU_ITEM(child->data)) : nullptr;
        if (text != nullptr && label == text) found = GTK_WIDGET(child->data);
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
