// Without a display the GTK backend cannot start, and the host is not created: start-up then
// ends with CreateFailed instead of running without windows.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/gtk/wayland_socket.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/gtk/gtk.hpp"

namespace kelvo {
namespace {

TEST(GtkWithoutDisplay, HostIsNotCreated) {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    standin::installStandIn(&standin::gtkStandIn());
    KelvoAppKitHost* host = kelvo_appkit_create("Vostra Studio", 13, nullptr, 0, nullptr, 0, nullptr, 0, 1, nullptr, 0,
                                                nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, 1280, 820, 0, 1, 0, 0);
    EXPECT_EQ(host, nullptr);
    kelvo_appkit_destroy(host);
    standin::installStandIn(nullptr);
}

// A Wayland display alone is not used: without an X display the host fails as above, and GTK never
// connects to the Wayland one.
TEST(GtkWithoutDisplay, WaylandDisplayAloneIsNotUsed) {
    ::unsetenv("DISPLAY");
    testing::WaylandSocket wayland;
    ASSERT_TRUE(wayland.listening());
    standin::installStandIn(&standin::gtkStandIn());
    KelvoAppKitHost* host = kelvo_appkit_create("Vostra Studio", 13, nullptr, 0, nullptr, 0, nullptr, 0, 1, nullptr, 0,
                                                nullptr, 0, nullptr, 0, nullptr, 0, 0, 0, 1280, 820, 0, 1, 0, 0);
    EXPECT_EQ(host, nullptr);
    EXPECT_EQ(wayland.fromThisProcess.load(), 0);
    kelvo_appkit_destroy(host);
    standin::installStandIn(nullptr);
}

}  // namespace
}  // namespace kelvo
