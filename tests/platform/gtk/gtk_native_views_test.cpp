// Native views as real GTK controls in a window's overlay (label "gtk").

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "gtk_host_fixture.hpp"
#include "gtk_waits.hpp"
#include "gtk_widgets.hpp"

namespace kelvo {
namespace {

std::int32_t create(KelvoAppKitHost* host, std::string_view label, std::int32_t kind, std::string_view parent,
                    std::string_view text, std::string_view command, double x, double y, double width, double height) {
    return kelvo_appkit_create_view(host, 1, label.data(), label.size(), kind, parent.data(), parent.size(), 0, 1, 1,
                                    "", 0, "", 0, text.data(), text.size(), command.data(), command.size(), x, y, width,
                                    height);
}

TEST(GtkNativeViews, ControlsSitInTheOverlayAndSendTheirCommands) {
    standin::installStandIn(&standin::gtkStandIn());
    KelvoAppKitHost* host =
        kelvo_appkit_create("Vostra Studio", 13, nullptr, 0, nullptr, 0, nullptr, 0, 1, "Native views", 12, nullptr, 0,
                            nullptr, 0, "main", 4, 0, 0, 640, 480, 0, 1, 0, 0);
    ASSERT_NE(host, nullptr) << "no display: run the gtk tests under xvfb-run";
    GtkWidget* surface = g_object_ref_sink(gtk_label_new("adopted"));
    std::vector<std::string> commands;
    auto laidOutControls = [&] {
        GtkWidget* save = named("save");
        ASSERT_TRUE(GTK_IS_BUTTON(save));
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(save)), "save");
        // Each overlay child has a window of its own: where it lies shows against the toplevel,
        // whose content starts below the menu bar.
        int x = -1;
        int y = -1;
        gtk_widget_translate_coordinates(save, gtk_widget_get_toplevel(save), 0, 0, &x, &y);
        EXPECT_EQ(x, 10);
        EXPECT_EQ(y, 5 + menuBarHeight(gtk_widget_get_toplevel(save)));
        EXPECT_EQ(gtk_widget_get_allocated_width(save), 80);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(named("status"))), "Ready");
        EXPECT_STREQ(gtk_entry_get_placeholder_text(GTK_ENTRY(named("query"))), "Search");
        gtk_button_clicked(GTK_BUTTON(save));
        GList* segments = gtk_container_get_children(GTK_CONTAINER(named("mode")));
        ASSERT_EQ(g_list_length(segments), 2u);
        EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(segments->data)));
        gtk_button_clicked(GTK_BUTTON(segments->next->data));
        g_list_free(segments);

        EXPECT_EQ(kelvo_appkit_set_view_visible(host, 1, "save", 4, 0), 1);
        EXPECT_FALSE(gtk_widget_get_visible(save));
        EXPECT_EQ(kelvo_appkit_adopt_view_surface(host, 1, "toolbar", 7, surface), 1);
        EXPECT_NE(gtk_widget_get_parent(surface), nullptr);
        EXPECT_EQ(kelvo_appkit_adopt_view_surface(host, 1, "save", 4, surface), 0);  // not a container
    };
    auto commandsCame = [&] {
        EXPECT_EQ(kelvo_appkit_release_view_surface(host, 1, "toolbar", 7), 1);
        EXPECT_EQ(gtk_widget_get_parent(surface), nullptr);
        EXPECT_EQ(kelvo_appkit_close_view(host, 1, "toolbar", 7), 1);
        EXPECT_EQ(named("save"), nullptr);
        EXPECT_NE(named("status"), nullptr);
        kelvo_appkit_stop(host);
    };
    when(
        host, "the window on the screen", [] { return shownOnScreen(windowTitled("Native views")); },
        [&] {
            ASSERT_EQ(create(host, "toolbar", 1, "", "", "", 0, 0, 640, 40), 1);
            ASSERT_EQ(create(host, "save", 7, "toolbar", "", "file.save", 10, 5, 80, 30), 1);
            ASSERT_EQ(create(host, "mode", 16, "toolbar", "Edit|View", "mode.pick", 100, 5, 120, 30), 1);
            ASSERT_EQ(create(host, "status", 10, "", "Ready", "", 0, 440, 640, 40), 1);
            ASSERT_EQ(create(host, "query", 8, "", "Search", "", 300, 100, 200, 30), 1);
            when(
                host, "the controls laid out", [] { return laidOut(named("save")) && laidOut(named("query")); },
                [&] {
                    laidOutControls();
                    when(
                        host, "the two clicks' commands", [&] { return commands.size() >= 2; }, commandsCame);
                });
        });
    kelvo_appkit_run(
        host,
        [](void* context, const KelvoHostEvent* event) {
            if (event->kind != static_cast<std::uint32_t>(HostEventKind::native_command)) return;
            static_cast<std::vector<std::string>*>(context)->push_back(std::string(event->command.view()) + " " +
                                                                       std::string(event->viewLabel.view()));
        },
        &commands);
    EXPECT_EQ(commands, (std::vector<std::string>{"file.save save", "mode.pick mode"}));
    EXPECT_TRUE(GTK_IS_LABEL(surface));  // the host never frees an adopted view
    g_object_unref(surface);
}

}  // namespace
}  // namespace kelvo
