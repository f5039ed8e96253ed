#pragma once

// Private to the GTK backend: the one status item and the two ways it shows. Where the desktop runs
// a StatusNotifierWatcher (the panels of today's desktops, on X11 and Wayland alike), the item is a
// StatusNotifierItem on the session bus with its menu as a com.canonical.dbusmenu
// (status_notifier.cpp); elsewhere, where an X11 tray takes XEmbed icons, it is a tray icon
// (tray_icon.cpp). Where neither is there, no item is made.

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/standin/gtk/gobject_ptr.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct GtkState;

struct GtkStatusEntry {
    std::string title;
    std::uint32_t tag = 0;
    bool enabled = true;
    bool separator = false;
};

// What changed in an item that shows.
enum class GtkStatusChange : std::uint8_t { title, icon, tooltip, menu };

// The item as the host set it, and where it shows.
struct GtkStatusItemRecord {
    GtkState* state = nullptr;
    std::string title;
    std::string tooltip;
    GObjectPtr<GdkPixbuf> image;  // from the icon file; none: the title's first character shows
    std::vector<GtkStatusEntry> menu;
    MenuChoice chosen;

    // As a StatusNotifierItem (the bus is the process's, borrowed).
    GDBusConnection* bus = nullptr;
    std::string busName;  // the name the item owns on the bus
    guint itemObject = 0;
    guint menuObject = 0;
    guint watcherWatch = 0;
    std::string watcherOwner;  // the unique name of the watcher the item is registered with
    std::uint32_t menuRevision = 1;

    // As a tray icon.
    GtkStatusIcon* icon = nullptr;  // owned
    GtkWidget* iconMenu = nullptr;  // owned through a reference taken with g_object_ref_sink
};

// The icon at `size` pixels: the image fitted in, or the title's first character drawn on a badge.
GObjectPtr<GdkPixbuf> gtkStatusIconAt(const GtkStatusItemRecord& item, int size);

// As a StatusNotifierItem: whether a watcher runs whose host shows items; registering with it
// (false: it refused, and nothing is left on the bus); leaving the bus; telling the host of a change.
bool gtkNotifierCanShow();
bool gtkNotifierStart(GtkStatusItemRecord& item);
void gtkNotifierStop(GtkStatusItemRecord& item);
void gtkNotifierChanged(GtkStatusItemRecord& item, GtkStatusChange change);

// As a tray icon: whether an XEmbed tray runs on the display; showing the icon; taking it away.
bool gtkTrayIconCanShow();
void gtkTrayIconStart(GtkStatusItemRecord& item);
void gtkTrayIconStop(GtkStatusItemRecord& item);
void gtkTrayIconChanged(GtkStatusItemRecord& item, GtkStatusChange change);

}  // namespace kelvo::standin
