// A canvas view's accessibility elements read back over the accessibility bus by another process,
// as a screen reader sees them, and pressed from there (label "gtk").

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "screen_reader.hpp"
#include "support/accessibility_node.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::accessibilityNode;

class GtkCanvasAccessibility : public GtkHost {};

// The element of `widgetId` among the accessible children of the canvas view `label`.
AtkObject* elementOf(const char* label, std::uint64_t widgetId) {
    GtkWidget* view = named(label);
    if (view == nullptr) return nullptr;
    AtkObject* area = gtk_widget_get_accessible(view);
    const std::string id = "kelvo-widget-" + std::to_string(widgetId);
    for (gint i = 0; i < atk_object_get_n_accessible_children(area); ++i) {
        AtkObject* child = atk_object_ref_accessible_child(area, i);
        const gchar* childId = atk_object_get_accessible_id(child);
        if (childId != nullptr && id == childId) return child;
        g_object_unref(child);
    }
    return nullptr;
}

// Whether the canvas view `label` published the element of `widgetId`.
bool published(const char* label, std::uint64_t widgetId) {
    AtkObject* element = elementOf(label, widgetId);
    if (element != nullptr) g_object_unref(element);
    return element != nullptr;
}

TEST_F(GtkCanvasAccessibility, ElementsAreReadAndPressedOverTheAccessibilityBus) {
    const std::string out = std::string(g_get_tmp_dir()) + "/kelvo-canvas-elements-" + std::to_string(getpid());
    ScreenReader reader;
    whenShown([&] {
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
    // The reader's press arrives as an event, and the reader ends; anything else it sent is queued
    // by then, and the stop after it.
    inTurn({{"the elements published", [] { return published("gallery", 41) && published("gallery", 43); },
             [&] { reader.start(out, true); }},
            {"the reader's press and its end",
             [&] { return reader.done && count(HostEventKind::widget_accessibility_action) >= 1; },
             [&] { gtk().loop.post(gtk().self, [&] { kelvo_appkit_stop(host); }); }}},
           std::chrono::seconds(20));
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

// A text field offers insertion: the text goes to the view as a set-text action, and the position
// ends past the inserted text where that went in. An insertion it refuses leaves the position
// where it was and sends nothing; a read-only or disabled field offers no insertion at all.
TEST_F(GtkCanvasAccessibility, AnInsertionMovesThePositionPastItsTextAndARefusedOneLeavesIt) {
    struct Insertion {
        const char* name;
        std::uint64_t widgetId;
        const char* text;
        gint at;
        gint after;        // the position the call leaves
        const char* sent;  // the text set, or nullptr for none
    };
    const Insertion insertions[] = {
        {"inside", 41, "XY", 2, 4, "abXYcd"},          {"at the end", 41, "é", 4, 5, "abcdé"},
        {"past the end", 41, "Z", 100, 5, "abcdZ"},    {"at the largest offset", 41, "Z", G_MAXINT, 5, "abcdZ"},
        {"before the start", 41, "Z", -1, 1, "Zabcd"}, {"not UTF-8", 41, "\xff", 2, 2, nullptr},
        {"read-only", 42, "Z", 2, 2, nullptr},         {"disabled", 43, "Z", 2, 2, nullptr},
    };
    std::vector<std::string> sent;
    std::vector<std::string> results;
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "fields", 6, 12, nullptr, 0, 0, 1, 1, nullptr, 0, nullptr, 0,
                                           nullptr, 0, nullptr, 0, 20, 30, 400, 200),
                  1);
        // Focusable, value and selection settable; the second is read only (its value is not
        // settable), the third disabled.
        KelvoWidgetAccessibilityNodeRecord nodes[] = {accessibilityNode(41, 5, "Editable", 10, 1 | 32 | 64),
                                                      accessibilityNode(42, 5, "Read only", 100, 1 | 64),
                                                      accessibilityNode(43, 5, "Disabled", 200, 1 | 32 | 64)};
        for (KelvoWidgetAccessibilityNodeRecord& node : nodes) {
            node.value = "abcd";
            node.valueLength = 4;
        }
        nodes[1].stateFlags = 1 | 128;
        nodes[2].stateFlags = 0;
        ASSERT_EQ(kelvo_appkit_update_widget_accessibility(host, 1, "fields", 6, nodes, 3), 1);
    });
    when(
        "the fields' elements", [] { return published("fields", 41) && published("fields", 43); },
        [&] {
            for (const Insertion& insertion : insertions) {
                AtkObject* element = elementOf("fields", insertion.widgetId);
                std::string result = std::string(insertion.name) + ": ";
                if (element == nullptr) {
                    result += "no element";
                } else if (!ATK_IS_EDITABLE_TEXT(element)) {
                    result += "offers no insertion";
                } else {
                    gint position = insertion.at;
                    atk_editable_text_insert_text(ATK_EDITABLE_TEXT(element), insertion.text, -1, &position);
                    result += "position " + std::to_string(position);
                }
                if (element != nullptr) g_object_unref(element);
                results.push_back(result);
            }
            // The views hear of insertions in tasks of the main loop: the stop is queued after them.
            gtk().loop.post(gtk().self, [&] { kelvo_appkit_stop(host); });
        });
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(HostEventKind::widget_accessibility_action)) {
            sent.push_back(std::to_string(event.targetId) + " " + std::to_string(event.action) + " " +
                           std::string(event.actionText.view()));
        }
    };
    run();

    std::vector<std::string> expected;
    std::vector<std::string> expectedSent;
    for (const Insertion& insertion : insertions) {
        const bool offered = insertion.widgetId == 41;
        expected.push_back(std::string(insertion.name) + ": " +
                           (offered ? "position " + std::to_string(insertion.after) : "offers no insertion"));
        if (insertion.sent != nullptr) expectedSent.push_back("41 5 " + std::string(insertion.sent));
    }
    EXPECT_EQ(results, expected);
    EXPECT_EQ(sent, expectedSent);
}

}  // namespace
}  // namespace kelvo
