#pragma once

// What a user does to and sees of a real window on the virtual display: real clicks (XTEST,
// through xdotool), key presses and the pixels of a window.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "platform/standin/gtk/gtk.hpp"

namespace kelvo {

// Where a widget's point lies on the screen.
inline bool onScreen(GtkWidget* widget, int x, int y, int& screenX, int& screenY) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    GdkWindow* window = gtk_widget_get_window(toplevel);
    if (window == nullptr || !gtk_widget_translate_coordinates(widget, toplevel, x, y, &screenX, &screenY)) {
        return false;
    }
    int originX = 0;
    int originY = 0;
    gdk_window_get_origin(window, &originX, &originY);
    screenX += originX;
    screenY += originY;
    return true;
}

inline GdkDevice* screenPointer() {
    return gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
}

// `xdotool mousemove --sync` waits for the pointer to leave where it was; told to go where it
// already is, it waits some fifteen seconds for nothing. So a test starts with the pointer in the
// screen's far corner, where no test points, and a click where the pointer already is only clicks.
inline void parkPointer() {
    GdkScreen* screen = gdk_screen_get_default();
    GdkRectangle area{};
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &area);
    gdk_device_warp(screenPointer(), screen, area.x + area.width - 1, area.y + area.height - 1);
    gdk_display_sync(gdk_display_get_default());
}

// A real click in the middle of a widget on screen.
inline void click(GtkWidget* widget) {
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(gtk_widget_get_mapped(widget));
    int x = 0;
    int y = 0;
    ASSERT_TRUE(onScreen(widget, gtk_widget_get_allocated_width(widget) / 2,
                         gtk_widget_get_allocated_height(widget) / 2, x, y));
    int pointerX = 0;
    int pointerY = 0;
    gdk_device_get_position(screenPointer(), nullptr, &pointerX, &pointerY);
    char command[128];
    if (pointerX == x && pointerY == y) {
        std::snprintf(command, sizeof command, "xdotool click 1");
    } else {
        std::snprintf(command, sizeof command, "xdotool mousemove --sync %d %d click 1", x, y);
    }
    ASSERT_EQ(std::system(command), 0) << command;
}

// The pointer moved onto the middle of a widget on screen, without a click.
inline void hover(GtkWidget* widget) {
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(gtk_widget_get_mapped(widget));
    int x = 0;
    int y = 0;
    ASSERT_TRUE(onScreen(widget, gtk_widget_get_allocated_width(widget) / 2,
                         gtk_widget_get_allocated_height(widget) / 2, x, y));
    char command[128];
    std::snprintf(command, sizeof command, "xdotool mousemove --sync %d %d", x, y);
    ASSERT_EQ(std::system(command), 0) << command;
}

// Runs `xdotool` with the arguments on another thread, so that this program's loop goes on while
// the pointer moves; `then` runs on the main loop after.
inline void pointerLater(std::thread& worker, std::string arguments, std::function<void()> then) {
    worker = std::thread([&worker, arguments = std::move(arguments), then = std::move(then)] {
        const std::string command = "xdotool " + arguments;
        const int status = std::system(command.c_str());
        standin::gtkStandIn().loop.post(standin::gtkStandIn().self, [&worker, status, command, then] {
            EXPECT_EQ(status, 0) << command;
            worker.join();
            then();
        });
    });
}

// Puts a key press into GDK's queue, as the X server would deliver it to the window.
inline void putKeyPress(GtkWidget* window, guint keyval, guint state) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.keyval = keyval;
    event->key.state = state;
    event->key.time = GDK_CURRENT_TIME;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    gdk_event_put(event);
    gdk_event_free(event);
}

inline bool isMagenta(const guchar* pixel) { return pixel[0] > 240 && pixel[1] < 16 && pixel[2] > 240; }

// How many pixels of a row of a widget are a page's magenta; -1 when the row cannot be read.
inline int magentaInRow(GtkWidget* widget, int row) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    GdkWindow* gdk = gtk_widget_get_window(toplevel);
    int left = 0;
    int top = 0;
    if (gdk == nullptr || !gtk_widget_translate_coordinates(widget, toplevel, 0, row, &left, &top)) return -1;
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk, left, top, gtk_widget_get_allocated_width(widget), 1);
    if (shot == nullptr) return -1;
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const guchar* pixels = gdk_pixbuf_get_pixels(shot);
    int count = 0;
    for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) count += isMagenta(pixels + x * channels) ? 1 : 0;
    g_object_unref(shot);
    return count;
}

// The same as the window draws it (into an image of its own, whatever covers it on the screen):
// for tests that share the screen with others' windows.
inline int drawnMagentaInRow(GtkWidget* widget, int row) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    int left = 0;
    int top = 0;
    if (!gtk_widget_get_realized(toplevel) ||
        !gtk_widget_translate_coordinates(widget, toplevel, 0, row, &left, &top)) {
        return -1;
    }
    const int width = gtk_widget_get_allocated_width(toplevel);
    const int height = gtk_widget_get_allocated_height(toplevel);
    if (top < 0 || top >= height) return -1;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(toplevel, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* line = cairo_image_surface_get_data(surface) + top * cairo_image_surface_get_stride(surface);
    int count = 0;
    for (int x = left; x < left + gtk_widget_get_allocated_width(widget) && x < width; ++x) {
        // Cairo's RGB24 is a native-endian 32-bit word: B, G, R, unused in memory here.
        const unsigned char* pixel = line + x * 4;
        const guchar rgb[3] = {pixel[2], pixel[1], pixel[0]};
        count += isMagenta(rgb) ? 1 : 0;
    }
    cairo_surface_destroy(surface);
    return count;
}

}  // namespace kelvo
