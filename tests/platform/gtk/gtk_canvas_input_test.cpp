// A canvas view in a real window takes real pointer clicks and typed keys (XTEST, through
// xdotool) and reports them as canvas-input events (label "gtk").

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gtk_harness.hpp"

// After the test framework: the X headers define names (None, Bool) it uses.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

struct Input {
    std::int32_t kind;
    double x;
    double y;
    std::int32_t button;
    std::string key;
    std::string text;
};

GtkWidget* canvasArea() {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    auto visit = [&found](auto& self, GtkWidget* widget) -> void {
        if (found != nullptr) return;
        if (GTK_IS_DRAWING_AREA(widget)) found = widget;
        if (GTK_IS_CONTAINER(widget)) {
            GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
            for (GList* item = children; item != nullptr; item = item->next) self(self, GTK_WIDGET(item->data));
            g_list_free(children);
        }
    };
    for (GList* item = toplevels; item != nullptr; item = item->next) visit(visit, GTK_WIDGET(item->data));
    g_list_free(toplevels);
    return found;
}

// It moves the display's one pointer and types into the focused window: it runs alone.
class GtkSerialCanvasInput : public GtkHost {};

TEST_F(GtkSerialCanvasInput, ClicksAndTypedKeysReachTheRuntime) {
    std::vector<Input> inputs;
    onEvent = [&inputs](const KelvoHostEvent& e) {
        if (e.kind != static_cast<std::uint32_t>(HostEventKind::gpu_surface_input)) return;
        inputs.push_back(
            {e.inputKind, e.x, e.y, e.button, std::string(e.keyText.view()), std::string(e.inputText.view())});
    };
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "pad", 3, 12, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 40, 50,
                                           300, 200),
                  1);
        when(
            "the canvas view on the screen",
            [&] { return count(HostEventKind::gpu_surface_resized) >= 1 && laidOut(canvasArea()); },
            [&] {
                GtkWidget* area = canvasArea();
                GtkWidget* toplevel = gtk_widget_get_toplevel(area);
                int x = 0;
                int y = 0;
                ASSERT_TRUE(gtk_widget_translate_coordinates(area, toplevel, 60, 70, &x, &y));
                const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
                char command[256];
                std::snprintf(command, sizeof command,
                              "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d click 1 "
                              "type --delay 20 'a!' && xdotool key Return",
                              window, window, x, y);
                ASSERT_EQ(std::system(command), 0) << command;
                // Return is the last key typed.
                when(
                    "the click and the keys to reach the runtime",
                    [&] {
                        for (const Input& input : inputs) {
                            if (input.kind == 5 && input.key == "enter") return true;
                        }
                        return false;
                    },
                    [&] { kelvo_appkit_stop(host); });
            });
    });
    run();

    std::vector<Input> buttons;
    std::string keys;
    for (const Input& input : inputs) {
        if (input.kind == 0 || input.kind == 1) buttons.push_back(input);
        if (input.kind == 5) keys += "down:" + input.key + " ";
        if (input.kind == 7) keys += "insert:" + input.text + " ";
    }
    ASSERT_EQ(buttons.size(), 2u);
    for (const Input& button : buttons) {
        EXPECT_EQ(button.x, 60);
        EXPECT_EQ(button.y, 70);
        EXPECT_EQ(button.button, 0);
    }
    EXPECT_EQ(buttons[0].kind, 0);
    EXPECT_EQ(buttons[1].kind, 1);
    // The exclamation mark is typed with Shift and named by its key; Shift alone is no key press.
    EXPECT_EQ(keys, "down:a insert:a down:1 insert:! down:enter ");
}

}  // namespace
}  // namespace kelvo
