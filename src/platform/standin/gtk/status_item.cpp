// The status item: kept as the host set it and shown where the desktop has a place for it, as a
// StatusNotifierItem or, without a watcher, as an XEmbed tray icon (status_item.hpp).

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

// The image scaled to fit `size` x `size`, its shape kept.
GObjectPtr<GdkPixbuf> fitted(GdkPixbuf* image, int size) {
    const int width = gdk_pixbuf_get_width(image);
    const int height = gdk_pixbuf_get_height(image);
    const double scale = static_cast<double>(size) / std::max(width, height);
    const int fitWidth = std::max(1, static_cast<int>(std::lround(width * scale)));
    const int fitHeight = std::max(1, static_cast<int>(std::lround(height * scale)));
    return GObjectPtr<GdkPixbuf>(gdk_pixbuf_scale_simple(image, fitWidth, fitHeight, GDK_INTERP_BILINEAR));
}

// The first character of `title` in white on a dark rounded badge, which shows on light and dark
// panels alike.
GObjectPtr<GdkPixbuf> letterIcon(std::string_view title, int size) {
    const char* end = title.empty() ? title.data() : g_utf8_find_next_char(title.data(), title.data() + title.size());
    std::string letter(title.data(), end != nullptr ? static_cast<std::size_t>(end - title.data()) : title.size());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    const double radius = size * 0.2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, size - radius, radius, radius, -G_PI / 2, 0);
    cairo_arc(cr, size - radius, size - radius, radius, 0, G_PI / 2);
    cairo_arc(cr, radius, size - radius, radius, G_PI / 2, G_PI);
    cairo_arc(cr, radius, radius, radius, G_PI, 3 * G_PI / 2);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.2, 0.2, 0.2, 0.9);
    cairo_fill(cr);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("Sans Bold");
    pango_font_description_set_absolute_size(font, size * 0.62 * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, letter.c_str(), -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, (size - width) / 2.0, (size - height) / 2.0);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
    GObjectPtr<GdkPixbuf> icon(gdk_pixbuf_get_from_surface(surface, 0, 0, size, size));
    cairo_surface_destroy(surface);
    return icon;
}

// The largest icon the item is asked for; larger image files are read at this size.
constexpr int kLargestIcon = 64;

GtkStatusItemRecord* shown(void* self) { return gtkState(self).statusItem.get(); }

void changed(GtkStatusItemRecord& item, GtkStatusChange change) {
    if (item.icon != nullptr) {
        gtkTrayIconChanged(item, change);
    } else {
        gtkNotifierChanged(item, change);
    }
}

void remove(void* self) {
    GtkState& state = gtkState(self);
    if (!state.statusItem) return;
    gtkNotifierStop(*state.statusItem);
    gtkTrayIconStop(*state.statusItem);
    state.statusItem.reset();
}

bool create(void* self, bool) {
    GtkState& state = gtkState(self);
    remove(self);
    auto item = std::make_unique<GtkStatusItemRecord>();
    item->state = &state;
    if (gtkNotifierCanShow() && gtkNotifierStart(*item)) {
        state.statusItem = std::move(item);
        return true;
    }
    if (!gtkTrayIconCanShow()) return false;
    gtkTrayIconStart(*item);
    state.statusItem = std::move(item);
    return true;
}

// Trays size their items themselves.
void setVariableLength(void*, bool) {}

bool setImageFromFile(void* self, std::string_view path) {
    GtkStatusItemRecord* item = shown(self);
    if (item == nullptr) return false;
    std::string file(path);
    GError* error = nullptr;
    GObjectPtr<GdkPixbuf> image(gdk_pixbuf_new_from_file_at_size(file.c_str(), kLargestIcon, kLargestIcon, &error));
    GErrorPtr failed(error);
    if (!image) return false;
    item->image = std::move(image);
    changed(*item, GtkStatusChange::icon);
    return true;
}

void setTitle(void* self, std::string_view title) {
    GtkStatusItemRecord* item = shown(self);
    if (item == nullptr) return;
    item->title = title;
    changed(*item, GtkStatusChange::title);
    if (!item->image) changed(*item, GtkStatusChange::icon);  // the icon shows the title's first character
}

void setTooltip(void* self, std::string_view tooltip) {
    GtkStatusItemRecord* item = shown(self);
    if (item == nullptr) return;
    item->tooltip = tooltip;
    changed(*item, GtkStatusChange::tooltip);
}

void setMenu(void* self, std::span<const MenuItem> items, MenuChoice chosen) {
    GtkStatusItemRecord* item = shown(self);
    if (item == nullptr) return;
    item->menu.clear();
    for (const MenuItem& entry : items) {
        item->menu.push_back({std::string(entry.title), entry.tag, entry.enabled, entry.separator});
    }
    item->chosen = std::move(chosen);
    changed(*item, GtkStatusChange::menu);
}

}  // namespace

GObjectPtr<GdkPixbuf> gtkStatusIconAt(const GtkStatusItemRecord& item, int size) {
    if (item.image) return fitted(item.image.get(), size);
    return letterIcon(item.title, size);
}

StatusItemService gtkStatusItem() {
    StatusItemService statusItem;
    KELVO_STANDIN_FILL(statusItem, KELVO_STANDIN_STATUS_ITEM_FUNCTIONS)
    return statusItem;
}

}  // namespace kelvo::standin
