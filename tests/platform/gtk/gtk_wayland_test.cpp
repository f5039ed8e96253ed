// On a Wayland session (WAYLAND_DISPLAY and DISPLAY both set, as with XWayland) the host's windows
// are X11 windows, which are placed where asked and report where they are (label "gtk"). GTK is
// set up once per process, and each test of this program runs in a process of its own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/gtk/gtk_harness.hpp"
#include "platform/gtk/wayland_socket.hpp"

// After the names its macros (None, Status, KeyPress, ...) would replace.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

class GtkOnWayland : public GtkHost {
protected:
    void SetUp() override {
        ASSERT_TRUE(wayland.listening());
        // A user's choice of GDK backend would win over the host's: it is set against it here.
        ::setenv("GDK_BACKEND", "wayland", 1);
        GtkHost::SetUp();
    }
    testing::WaylandSocket wayland;
};

TEST_F(GtkOnWayland, WindowsAreX11WindowsWherePlaced) {
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_window(host, 2, "Second", 6, "second", 6, 1, 1, 0, 0, 120, 90, 400, 300), 1);
        when(
            "the second window on the screen and its frame",
            [&] {
                for (const Seen& s : seen) {
                    if (s.kind == HostEventKind::window_frame_changed && s.event.windowId == 2 && s.event.open != 0) {
                        return shownOnScreen(windowTitled("Second"));
                    }
                }
                return false;
            },
            [&] { kelvo_appkit_stop(host); });
    });
    run();

    GdkDisplay* display = gdk_display_get_default();
    ASSERT_NE(display, nullptr);
    EXPECT_TRUE(GDK_IS_X11_DISPLAY(display));
    EXPECT_EQ(wayland.fromThisProcess.load(), 0);  // GDK never tried the Wayland display
    const KelvoHostEvent* placed = nullptr;
    for (const Seen& s : seen) {
        if (s.kind == HostEventKind::window_frame_changed && s.event.windowId == 2 && s.event.open != 0) {
            placed = &s.event;
        }
    }
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->x, 120);
    EXPECT_EQ(placed->y, 90);
    EXPECT_EQ(placed->width, 400);
    EXPECT_EQ(placed->height, 300);
}

}  // namespace
}  // namespace kelvo
