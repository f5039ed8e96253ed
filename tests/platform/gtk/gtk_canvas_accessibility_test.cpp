// A canvas view's accessibility elements read back over the accessibility bus by another process,
// as a screen reader sees them, and pressed from there (label "gtk").

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "gtk_harness.hpp"
#include "screen_reader.hpp"
#include "support/accessibility_node.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::accessibilityNode;

class GtkCanvasAccessibility : public GtkHost {};

TEST_F(GtkCanvasAccessibility, ElementsAreReadAndPressedOverTheAccessibilityBus) {
    const std::string out = std::string(g_get_tmp_dir()) + "/kelvo-canvas-elements-" + std::to_string(getpid());
    ScreenReader reader;
    after(100, [&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "gallery", 7, 12, nullptr, 0, 0, 1, 1, nullptr, 0, nullptr, 0,
                                           nullptr, 0, nullptr, 0, 20, 30, 400, 200),
                  1);
        KelvoWidgetAccessibilityNodeRecord nodes[] = {accessibilityNode(41, 4, "Save", 10, 2),
                                                      accessibilityNode(42, 16, "Wrap", 100, 1),
                                                      accessibilityNode(43, 18, "Volume", 200, 8 | 16)};
        nodes[2].hasRangeValue = nodes[2].hasRangeMin = nodes[2].hasRangeMax = 1;
        nodes[2].rangeValue = 15;
        nodes[2].rangeMin = 10;
        nodes[2].rangeMax = 30;
        ASSERT_EQ(kelvo_appkit_update_widget_accessibility(host, 1, "gallery", 7, nodes, 3), 1);
    });
    after(600, [&] { reader.start(out, true); });
    // The reader's press arrives as an event; then the run ends (or after 20 s at the latest).
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(HostEventKind::widget_accessibility_action)) {
            after(200, [&] { kelvo_appkit_stop(host); });
        }
    };
    after(20'000, [&] { kelvo_appkit_stop(host); });
    run();

    ASSERT_EQ(count(HostEventKind::widget_accessibility_action), 1u);
    for (const Seen& s : seen) {
        if (s.kind != HostEventKind::widget_accessibility_action) continue;
        EXPECT_EQ(s.event.targetId, 41u);
        EXPECT_EQ(s.event.action, 1);
    }
    ASSERT_TRUE(reader.done);
    EXPECT_EQ(reader.status, 0);
    gchar* text = nullptr;
    ASSERT_TRUE(g_file_get_contents(out.c_str(), &text, nullptr, nullptr));
    testing::expectGolden("platform/canvas_elements_over_the_bus.txt", text);
    g_free(text);
    std::remove(out.c_str());
}

}  // namespace
}  // namespace kelvo
