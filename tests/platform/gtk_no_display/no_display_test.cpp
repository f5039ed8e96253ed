// Without a display the GTK backend cannot start, and the host is not created: start-up then
// ends with CreateFailed instead of running without windows.

#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace kelvo
