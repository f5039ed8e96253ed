// The status item as a tray icon (GtkStatusIcon, shown by an XEmbed tray when the desktop has
// one). A tray icon is square and shows no text: without an image it shows the first character
// of its title, drawn in; the title itself is the icon's accessible title. Either button opens
// the menu.

#include <pango/pangocairo.h>

#include "platform/standin/gtk/gtk_state.hpp"

// GtkStatusIcon is deprecated in GTK 3 but is the tray icon GTK itself has.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace kelvo::standin {

namespace {

constexpr int kIconSize = 18;

// A square icon showing the first character of `title`, drawn in the theme's text colour.
GdkPixbuf* letterIcon(std::string_view title) {
    const char* end = g_utf8_find_next_char(title.data(), title.data() + title.size());
    std::string letter(title.data(), end != nullptr ? static_cast<std::size_t>(end - title.data()) : title.size());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kIconSize, kIconSize);
    cairo_t* cr = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("Sans Bold 11");
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, letter.c_str(), -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
    cairo_move_to(cr, (kIconSize - width) / 2.0, (kIconSize - height) / 2.0);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
    GdkPixbuf* icon = gdk_pixbuf_get_from_surface(surface, 0, 0, kIconSize, kIconSize);
    cairo_surface_destroy(surface);
    return icon;
}

void showMenu(GtkState& state) {
    if (state.statusMenu == nullptr) return;
    gtk_menu_popup_at_pointer(GTK_MENU(state.statusMenu), nullptr);
}

void onActivate(GtkStatusIcon*, gpointer data) { showMenu(*static_cast<GtkState*>(data)); }

void onPopUpMenu(GtkStatusIcon*, guint, guint, gpointer data) { showMenu(*static_cast<GtkState*>(data)); }

void onItem(GtkMenuItem* item, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    const std::uint32_t tag = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "kelvo-tag"));
    MenuChoice chosen = state.statusMenuChosen;
    if (chosen) state.post([chosen, tag] { chosen(tag); });
}

void dropMenu(GtkState& state) {
    if (state.statusMenu == nullptr) return;
    gtk_widget_destroy(state.statusMenu);
    g_object_unref(state.statusMenu);
    state.statusMenu = nullptr;
    state.statusMenuChosen = nullptr;
}

void remove(void* self) {
    GtkState& state = gtkState(self);
    dropMenu(state);
    if (state.statusIcon == nullptr) return;
    g_signal_handlers_disconnect_by_data(state.statusIcon, &state);
    gtk_status_icon_set_visible(state.statusIcon, FALSE);
    g_object_unref(state.statusIcon);
    state.statusIcon = nullptr;
}

void create(void* self, bool) {
    GtkState& state = gtkState(self);
    remove(self);
    state.statusIcon = gtk_status_icon_new();
    state.statusIconHasImage = false;
    g_signal_connect(state.statusIcon, "activate", G_CALLBACK(onActivate), &state);
    g_signal_connect(state.statusIcon, "popup-menu", G_CALLBACK(onPopUpMenu), &state);
    gtk_status_icon_set_visible(state.statusIcon, TRUE);
}

// A tray icon has one size whatever its title.
void setVariableLength(void*, bool) {}

bool setImageFromFile(void* self, std::string_view path) {
    GtkState& state = gtkState(self);
    if (state.statusIcon == nullptr) return false;
    std::string file(path);
    GError* error = nullptr;
    GObjectPtr<GdkPixbuf> image(gdk_pixbuf_new_from_file_at_size(file.c_str(), kIconSize, kIconSize, &error));
    GErrorPtr failed(error);
    if (!image) return false;
    gtk_status_icon_set_from_pixbuf(state.statusIcon, image.get());
    state.statusIconHasImage = true;
    return true;
}

void setTitle(void* self, std::string_view title) {
    GtkState& state = gtkState(self);
    if (state.statusIcon == nullptr) return;
    std::string text(title);
    gtk_status_icon_set_title(state.statusIcon, text.c_str());
    if (!state.statusIconHasImage && !title.empty()) {
        GObjectPtr<GdkPixbuf> icon(letterIcon(title));
        gtk_status_icon_set_from_pixbuf(state.statusIcon, icon.get());
    }
}

void setTooltip(void* self, std::string_view tooltip) {
    GtkState& state = gtkState(self);
    if (state.statusIcon == nullptr) return;
    std::string text(tooltip);
    gtk_status_icon_set_tooltip_text(state.statusIcon, text.c_str());
}

void setMenu(void* self, std::span<const MenuItem> items, MenuChoice chosen) {
    GtkState& state = gtkState(self);
    dropMenu(state);
    state.statusMenu = gtk_menu_new();
    g_object_ref_sink(state.statusMenu);
    gtkFillMenu(GTK_MENU_SHELL(state.statusMenu), items, G_CALLBACK(onItem), &state);
    state.statusMenuChosen = std::move(chosen);
}

}  // namespace

StatusItemService gtkStatusItem() {
    StatusItemService statusItem;
    KELVO_STANDIN_FILL(statusItem, KELVO_STANDIN_STATUS_ITEM_FUNCTIONS)
    return statusItem;
}

}  // namespace kelvo::standin

G_GNUC_END_IGNORE_DEPRECATIONS
