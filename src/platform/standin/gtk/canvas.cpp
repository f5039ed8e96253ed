// GTK canvas views: a drawing area that paints the picture it was last handed, one device pixel
// per picture pixel, from its top-left corner. The picture is kept as cairo wants it (premultiplied,
// the 32-bit pixel A << 24 | R << 16 | G << 8 | B in native order), converted once when handed over.

#include <cstring>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

GtkNativeViewRecord& recordOf(ViewRef ref) { return static_cast<GtkNativeViewRecord&>(placedView(ref)); }

std::uint32_t premultiplied(const std::uint8_t* rgba) {
    const std::uint32_t a = rgba[3];
    auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | scale(rgba[0]) << 16 | scale(rgba[1]) << 8 | scale(rgba[2]);
}

gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    GtkCanvasPicture& picture = static_cast<GtkNativeViewRecord*>(data)->picture;
    if (picture.width == 0 || picture.height == 0) return FALSE;
    const int stride = static_cast<int>(picture.width * 4);
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(picture.pixels.data()), CAIRO_FORMAT_ARGB32, static_cast<int>(picture.width),
        static_cast<int>(picture.height), stride);
    const double scale = gtk_widget_get_scale_factor(widget);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_surface_destroy(surface);
    return TRUE;
}

void show(void*, ViewRef ref, const RgbaImage& image) {
    GtkNativeViewRecord& record = recordOf(ref);
    GtkCanvasPicture& picture = record.picture;
    if (image.pixels == nullptr) {
        picture = {};
    } else {
        picture.width = image.width;
        picture.height = image.height;
        picture.pixels.resize(std::size_t{image.width} * image.height);
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) picture.pixels[i] = premultiplied(image.pixels + i * 4);
    }
    gtk_widget_queue_draw(record.widget);
}

GdkMonitor* monitorOf(WindowRef window) {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) return nullptr;
    if (window != nullptr) {
        GtkWidget* widget = reinterpret_cast<GtkWindowRecord*>(window)->window;
        if (GdkWindow* gdk = gtk_widget_get_window(widget)) {
            if (GdkMonitor* monitor = gdk_display_get_monitor_at_window(display, gdk)) return monitor;
        }
    }
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor != nullptr ? monitor : gdk_display_get_monitor(display, 0);
}

// GDK gives millihertz, and 0 when the screen does not say.
double refreshRate(void*, WindowRef window) {
    GdkMonitor* monitor = monitorOf(window);
    return monitor != nullptr ? gdk_monitor_get_refresh_rate(monitor) / 1000.0 : 0.0;
}

double screenScale(void*) {
    GdkMonitor* monitor = monitorOf(nullptr);
    return monitor != nullptr ? gdk_monitor_get_scale_factor(monitor) : 0.0;
}

}  // namespace

GtkWidget* makeCanvasArea(GtkNativeViewRecord& record) {
    GtkWidget* area = newCanvasDrawingArea();
    gtk_widget_set_can_focus(area, TRUE);
    g_signal_connect(area, "draw", G_CALLBACK(onDraw), &record);
    listenForCanvasInput(record, area);
    return area;
}

CanvasService gtkCanvas() {
    CanvasService service;
    const auto setInputSink = setCanvasInputSink;
    const auto setCursor = setCanvasCursor;
    const auto setCaretRect = setCanvasCaretRect;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_CANVAS_FUNCTIONS)
    return service;
}

}  // namespace kelvo::standin
