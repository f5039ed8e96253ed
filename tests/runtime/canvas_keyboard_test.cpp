// Keys on a canvas view's widgets: focus moves in groups, trees and across the view, menus and
// their dismissal, scroll intents, slider and split divider values.

#include <gtest/gtest.h>

#include "canvas_display_scenario.hpp"
#include "runtime/canvas/canvas_widget_keys.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_focus.hpp"
#include "support/golden.hpp"
#include "widgets/widget_surfaces.hpp"

namespace kelvo {
namespace {

GpuSurfaceInput key(std::string_view name, std::string_view modifier = "-") {
    GpuSurfaceInput input;
    input.windowId = 1;
    input.label = "canvas";
    input.kind = GpuSurfaceInputKind::key_down;
    input.key = name;
    input.modifiers.shift = modifier == "shift";
    input.modifiers.control = modifier == "control";
    return input;
}

class CanvasKeyboard : public testing::CanvasDisplayScenario {
protected:
    void focus(std::uint64_t id) {
        canvas().focused = true;
        interaction().focusedWidget = interaction().focusVisibleWidget = id;
    }
    // The ids of the nodes that pass `test`, joined by commas; "-" for none.
    template <class Test>
    std::string idsWhere(Test&& test) {
        std::string ids;
        for (std::size_t i = 0; i < slot().tree.node_count; ++i) {
            const WidgetLayoutNode& node = slot().tree.nodes[i];
            if (!test(node)) continue;
            if (!ids.empty()) ids += ",";
            ids += std::to_string(node.id);
        }
        return ids.empty() ? "-" : ids;
    }
    std::string openSurfaces() {
        return idsWhere([](const WidgetLayoutNode& node) { return isOpenWidgetSurface(node); });
    }
};

TEST_F(CanvasKeyboard, KeysMoveTheFocusAsTheTableSays) {
    const std::string tree = testing::readData("runtime/keyboard_focus_tree.txt");
    for (const std::vector<std::string>& row : testing::readTable("runtime/keyboard_focus_moves.txt")) {
        install(tree);
        focus(std::stoull(row[0]));
        ASSERT_TRUE(applyCanvasWidgetKeyboardNavigation(*runtime, kCanvas, key(row[1], row[2])))
            << row[0] << " " << row[1];
        EXPECT_EQ(interaction().focusedWidget, std::stoull(row[4])) << row[0] << " " << row[1];
        EXPECT_EQ(openSurfaces(), row[5]) << row[0] << " " << row[1];
    }
}

TEST_F(CanvasKeyboard, WidgetKeysSelectOpenAndCloseTreeRowsFlipAndDismissAsTheTableSays) {
    const std::string tree = testing::readData("runtime/keyboard_widget_key_tree.txt");
    for (const std::vector<std::string>& row : testing::readTable("runtime/keyboard_widget_keys.txt")) {
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2]);
        install(tree);
        focus(std::stoull(row[0]));
        ASSERT_TRUE(applyCanvasWidgetKeyboardNavigation(*runtime, kCanvas, key(row[1], row[2])));
        EXPECT_EQ(interaction().focusedWidget, std::stoull(row[4]));
        EXPECT_EQ(idsWhere([](const WidgetLayoutNode& node) { return (node.selected & 1u) != 0; }), row[5]);
        EXPECT_EQ(idsWhere([](const WidgetLayoutNode& node) { return node.expanded.value_or(false); }), row[6]);
        EXPECT_EQ(openSurfaces(), row[7]);
    }
}

TEST_F(CanvasKeyboard, FocusFromTheKeyboardPutsTheCaretAtTheEndOfAnEmptySelection) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  text_field id=2 rect=0,0,200,30 text=\"hello\"\n"
        "  text_field id=3 rect=0,40,200,30 text=\"world\" selection=1,2\n");
    focus(0);
    const CanvasWidgetRenderState before = canvasWidgetRenderState(*runtime, canvas());
    const std::uint64_t semantics = canvas().canvas.semanticsRevision;
    EXPECT_EQ(setCanvasWidgetFocusFromKeyboardMoved(*runtime, kCanvas, before, 2), true);
    ASSERT_TRUE(slot().tree.nodes[1].selection);
    EXPECT_EQ(slot().tree.nodes[1].selection->start, 5u);
    EXPECT_EQ(slot().tree.nodes[1].selection->end, 5u);
    EXPECT_EQ(canvas().canvas.semanticsRevision, semantics + 1);
    EXPECT_EQ(setCanvasWidgetFocusFromKeyboardMoved(*runtime, kCanvas, before, 2), false);
    EXPECT_EQ(setCanvasWidgetFocusFromKeyboardMoved(*runtime, kCanvas, before, 3), true);
    EXPECT_EQ(slot().tree.nodes[2].selection->start, 1u);
    // Focus that only becomes visible is no change of focus.
    interaction().focusVisibleWidget = 0;
    EXPECT_EQ(setCanvasWidgetFocusFromKeyboardMoved(*runtime, kCanvas, before, 3), false);
    EXPECT_EQ(interaction().focusVisibleWidget, 3u);
}

TEST_F(CanvasKeyboard, ScrollIntentsFollowTheViewport) {
    for (const std::vector<std::string>& row : testing::readTable("runtime/scroll_intents.txt")) {
        WidgetDescription view;
        view.kind = static_cast<std::uint8_t>(WidgetKind::scroll_view);
        view.frame = {0, 0, 100, std::stof(row[0])};
        view.insets.top = std::stof(row[1]);
        view.insets.bottom = std::stof(row[2]);
        const WidgetScrollIntent intent = widgetScrollKeyboardIntent(view, key(row[3], row[4]));
        const std::string context = row[0] + " " + row[3];
        if (row[6] == "none") {
            EXPECT_FALSE(intent.present) << context;
            continue;
        }
        ASSERT_TRUE(intent.present) << context;
        const WidgetScrollIntentKind kind = row[6] == "by"      ? WidgetScrollIntentKind::by
                                            : row[6] == "start" ? WidgetScrollIntentKind::to_start
                                                                : WidgetScrollIntentKind::to_end;
        EXPECT_EQ(intent.kind, kind) << context;
        EXPECT_FLOAT_EQ(intent.distance, std::stof(row[7])) << context;
        EXPECT_EQ(intent.forward, kind == WidgetScrollIntentKind::to_end || intent.distance > 0) << context;
        EXPECT_EQ(intent.backward, kind == WidgetScrollIntentKind::to_start || intent.distance < 0) << context;
    }
}

TEST_F(CanvasKeyboard, SliderAndDividerKeysStepAndTheControlsClamp) {
    EXPECT_TRUE(isWidgetActivationKey("ENTER"));
    EXPECT_TRUE(isWidgetActivationKey("Space"));
    EXPECT_FALSE(isWidgetActivationKey("Return"));
    EXPECT_FLOAT_EQ(*widgetSliderKeyboardValue(key("arrowright", "shift"), 0.5f), 0.6f);
    EXPECT_FLOAT_EQ(*widgetSliderKeyboardValue(key("arrowdown"), 0.5f), 0.45f);
    EXPECT_FALSE(widgetSliderKeyboardValue(key("arrowright", "control"), 0.5f));
    EXPECT_EQ(*widgetSplitDividerKeyboardValue(key("end"), 0.3f), 1.0f);
    EXPECT_FALSE(widgetSplitDividerKeyboardValue(key("arrowup"), 0.3f));

    install(
        "column id=1 rect=0,0,320,240\n"
        "  slider id=2 rect=0,0,200,20 value=0.98\n"
        "  scroll_view id=3 rect=0,40,200,100\n"
        "    button id=4 rect=0,40,200,40 text=\"a\"\n"
        "    button id=5 rect=0,400,200,40 text=\"b\"\n");
    focus(2);
    ASSERT_TRUE(applyCanvasWidgetKeyboardNavigation(*runtime, kCanvas, key("arrowright")));
    EXPECT_EQ(slot().tree.nodes[1].value, 1.0f);
    EXPECT_EQ(slot().queues.change.size(), 1u);
    focus(3);
    ASSERT_TRUE(applyCanvasWidgetKeyboardNavigation(*runtime, kCanvas, key("pagedown")));
    EXPECT_EQ(slot().tree.nodes[2].value, 85);
    ASSERT_TRUE(applyCanvasWidgetKeyboardNavigation(*runtime, kCanvas, key("end")));
    EXPECT_EQ(slot().tree.nodes[2].value, 300);
}

}  // namespace
}  // namespace kelvo
