// The status item as an XEmbed tray icon (GtkStatusIcon), for X11 desktops whose tray takes such
// icons and that run no StatusNotifierWatcher. A tray icon is square and shows no text: its image
// is the item's icon at 18 pixels, the title is its accessible title. Either button opens the menu.
//
// Found while checking GTK under Xvfb: a GtkStatusIcon made where no tray runs reports no error and
// never shows; the tray is there exactly when the display's "_NET_SYSTEM_TRAY_S<screen>" selection
// has an owner, which GDK does not tell for windows of other programs, so Xlib is asked.

#include <cstdio>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

// GtkStatusIcon is deprecated in GTK 3 but is the tray icon GTK itself has.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace kelvo::standin {

namespace {

constexpr int kIconSize = 18;

void showMenu(GtkStatusItemRecord& item) {
    if (item.iconMenu == nullptr) return;
    gtk_menu_popup_at_pointer(GTK_MENU(item.iconMenu), nullptr);
}

void onActivate(GtkStatusIcon*, gpointer data) { showMenu(*static_cast<GtkStatusItemRecord*>(data)); }

void onPopUpMenu(GtkStatusIcon*, guint, guint, gpointer data) { showMenu(*static_cast<GtkStatusItemRecord*>(data)); }

void onItem(GtkMenuItem* entry, gpointer data) {
    auto& item = *static_cast<GtkStatusItemRecord*>(data);
    const std::uint32_t tag = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(entry), "kelvo-tag"));
    MenuChoice chosen = item.chosen;
    if (chosen) item.state->post([chosen, tag] { chosen(tag); });
}

void dropMenu(GtkStatusItemRecord& item) {
    if (item.iconMenu == nullptr) return;
    gtk_widget_destroy(item.iconMenu);
    g_object_unref(item.iconMenu);
    item.iconMenu = nullptr;
}

}  // namespace

bool gtkTrayIconCanShow() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return false;
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    char selection[48];
    std::snprintf(selection, sizeof selection, "_NET_SYSTEM_TRAY_S%d", XDefaultScreen(x));
    return XGetSelectionOwner(x, gdk_x11_get_xatom_by_name_for_display(display, selection)) != None;
}

void gtkTrayIconStart(GtkStatusItemRecord& item) {
    item.icon = gtk_status_icon_new();
    g_signal_connect(item.icon, "activate", G_CALLBACK(onActivate), &item);
    g_signal_connect(item.icon, "popup-menu", G_CALLBACK(onPopUpMenu), &item);
    gtkTrayIconChanged(item, GtkStatusChange::icon);
    gtk_status_icon_set_visible(item.icon, TRUE);
}

void gtkTrayIconStop(GtkStatusItemRecord& item) {
    dropMenu(item);
    if (item.icon == nullptr) return;
    g_signal_handlers_disconnect_by_data(item.icon, &item);
    gtk_status_icon_set_visible(item.icon, FALSE);
    g_object_unref(item.icon);
    item.icon = nullptr;
}

void gtkTrayIconChanged(GtkStatusItemRecord& item, GtkStatusChange change) {
    if (item.icon == nullptr) return;
    switch (change) {
        case GtkStatusChange::title:
            gtk_status_icon_set_title(item.icon, item.title.c_str());
            break;
        case GtkStatusChange::icon: {
            GObjectPtr<GdkPixbuf> icon = gtkStatusIconAt(item, kIconSize);
            if (icon) gtk_status_icon_set_from_pixbuf(item.icon, icon.get());
            break;
        }
        case GtkStatusChange::tooltip:
            gtk_status_icon_set_tooltip_text(item.icon, item.tooltip.c_str());
            break;
        case GtkStatusChange::menu: {
            dropMenu(item);
            item.iconMenu = gtk_menu_new();
            g_object_ref_sink(item.iconMenu);
            std::vector<MenuItem> entries;
            for (const GtkStatusEntry& entry : item.menu) {
                entries.push_back({entry.title, entry.tag, entry.enabled, entry.separator});
            }
            gtkFillMenu(GTK_MENU_SHELL(item.iconMenu), entries, G_CALLBACK(onItem), &item);
            break;
        }
    }
}

}  // namespace kelvo::standin

G_GNUC_END_IGNORE_DEPRECATIONS
