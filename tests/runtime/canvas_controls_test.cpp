// Controls and scrolling of a canvas view on the scripted platform: scroll views and their
// queue, toggles with their thumb travel, selection peers, split fractions, resizable panels,
// sliders, and the undo of a change whose semantics fail.

#include <gtest/gtest.h>

#include <cmath>

#include "canvas_display_scenario.hpp"
#include "runtime/canvas/view_widget_control.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::rectText;

class CanvasControls : public testing::CanvasDisplayScenario {
protected:
    const WidgetLayoutNode& node(std::size_t index) { return slot().tree.nodes[index]; }
    std::vector<std::uint64_t> queued(const FixedVec<std::uint64_t, 8>& q) { return {q.begin(), q.end()}; }
    std::vector<std::uint64_t> queued(const FixedVec<std::uint64_t, 4>& q) { return {q.begin(), q.end()}; }
};

constexpr const char* kScroll =
    "column id=1 rect=0,0,320,240\n"
    "  scroll_view id=2 rect=0,0,200,100\n"
    "    button id=3 rect=0,0,200,40 text=\"a\"\n"
    "    button id=4 rect=0,260,200,40 text=\"b\"\n";

TEST_F(CanvasControls, ScrollingMovesTheContentClampsAtTheEndAndQueuesOneEvent) {
    install(kScroll);
    // Content reaches 300: at most 200.
    const CanvasWidgetDirty moved = applyCanvasWidgetScroll(*runtime, kCanvas, 1, 150, false, false);
    ASSERT_TRUE(moved && *moved);
    EXPECT_EQ(rectText(**moved), "0,0,200,100");
    EXPECT_EQ(node(1).value, 150);
    EXPECT_EQ(rectText(node(3).rect), "0,110,200,40");
    EXPECT_EQ(rectText(node(3).frame), "0,110,200,40");
    ASSERT_TRUE(applyCanvasWidgetScroll(*runtime, kCanvas, 1, 500, false, false));
    EXPECT_EQ(node(1).value, 200);
    EXPECT_EQ(rectText(node(3).rect), "0,60,200,40");
    EXPECT_EQ(queued(slot().queues.scroll), (std::vector<std::uint64_t>{2}));

    // A jump to the end already there changes nothing, but the state rests there.
    slot().scroll[1].velocity = 900;
    const CanvasWidgetDirty same = applyCanvasWidgetScrollKeyboardTarget(*runtime, kCanvas, 1, true);
    ASSERT_TRUE(same);
    EXPECT_FALSE(*same);
    EXPECT_EQ(slot().scroll[1], (ScrollState{200, 0, 100, 300}));
    ASSERT_TRUE(applyCanvasWidgetScrollKeyboardTarget(*runtime, kCanvas, 1, false));
    EXPECT_EQ(node(1).value, 0);
    EXPECT_EQ(rectText(node(3).rect), "0,260,200,40");

    // Not a scroll container, or past the tree: nothing.
    EXPECT_FALSE(*applyCanvasWidgetScroll(*runtime, kCanvas, 2, 10, false, false));
    EXPECT_FALSE(*applyCanvasWidgetScroll(*runtime, kCanvas, 9, 10, false, false));
}

TEST_F(CanvasControls, TheWheelIsElasticOnlyWhereAllowedAndTheNinthScrollViewGetsNoEvent) {
    std::string tree = "column id=1 rect=0,0,320,240\ntokens elastic_scroll=1\n";
    for (int i = 0; i < 9; ++i) {
        const int y = i * 20;
        tree += "  scroll_view id=" + std::to_string(10 + i) + " rect=0," + std::to_string(y) + ",100,10\n";
        tree += "    text rect=0," + std::to_string(y) + ",100,50 text=\"t\"\n";
    }
    install(tree);
    // Elastic at the top: pulled by 0.38 of the step, limited to 35% of the 10-point viewport.
    ASSERT_TRUE(applyCanvasWidgetScroll(*runtime, kCanvas, 1, -5, true, true));
    EXPECT_FLOAT_EQ(node(1).value, -1.9f);
    ASSERT_TRUE(applyCanvasWidgetScroll(*runtime, kCanvas, 1, -50, true, true));
    EXPECT_FLOAT_EQ(node(1).value, -3.5f);
    // Without the caller's leave it clamps and drops the velocity.
    ASSERT_TRUE(applyCanvasWidgetScroll(*runtime, kCanvas, 3, -5, true, false));
    EXPECT_EQ(node(3).value, 0);
    for (std::size_t i = 3; i <= 17; i += 2) ASSERT_TRUE(applyCanvasWidgetScroll(*runtime, kCanvas, i, 5, true, true));
    EXPECT_EQ(slot().queues.scroll.size(), 8u);
    EXPECT_EQ(std::count(slot().queues.scroll.begin(), slot().queues.scroll.end(), 18u), 0);
    EXPECT_NE(node(17).value, 0);
}

TEST_F(CanvasControls, AfterScrollingHoverFollowsThePointerAndLostFocusIsDropped) {
    install(kScroll);
    CanvasInteraction& ids = interaction();
    ids.focusedWidget = ids.focusVisibleWidget = 3;
    ids.hoveredWidget = ids.pressedWidget = 3;
    ASSERT_TRUE(applyCanvasWidgetScroll(*runtime, kCanvas, 1, 200, false, false));
    reconcileCanvasWidgetRenderStateAfterScroll(*runtime, kCanvas, 10, 70, true);
    EXPECT_EQ(ids.focusedWidget, 0u);
    EXPECT_EQ(ids.focusVisibleWidget, 0u);
    EXPECT_EQ(ids.hoveredWidget, 4u);
    EXPECT_EQ(ids.pressedWidget, 0u);
    reconcileCanvasWidgetRenderStateAfterScroll(*runtime, kCanvas, 0, 0, false);
    EXPECT_EQ(ids.hoveredWidget, 4u);
}

TEST_F(CanvasControls, ToggleTravelFollowsDensitySizeAndPixelSnapping) {
    for (const std::vector<std::string>& row : testing::readTable("runtime/toggle_travel.txt")) {
        std::string tree = "column id=1 rect=0,0,320,240\ntokens density=" + row[0];
        if (row[4] != "-") tree += " snap_geometry=1 pixel_scale=" + row[4];
        tree += "\n  switch id=2 rect=0,0," + row[2] + "," + row[3] + " size=" + row[1] + "\n";
        install(tree);
        const ToggleAnimationRequest request = canvasWidgetToggleAnimation(*runtime, kCanvas, 2);
        if (row[6] == "none") {
            EXPECT_FALSE(request.valid) << tree;
            continue;
        }
        ASSERT_TRUE(request.valid) << tree;
        EXPECT_NEAR(request.travel, std::stof(row[6]), 0.001) << tree;
    }
}

TEST_F(CanvasControls, AToggleFlipsAndItsThumbSlidesFromWhereItWas) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  switch id=2 rect=0,0,44,24\n"
        "  accordion id=3 rect=0,40,100,30\n"
        "  checkbox id=4 rect=0,80,100,30 disabled=1\n");
    interaction().lastInputNs = 5000;
    const ToggleAnimationRequest request = canvasWidgetToggleAnimation(*runtime, kCanvas, 2);
    ASSERT_TRUE(request.valid);
    EXPECT_FALSE(request.wasOn);
    ASSERT_TRUE(toggleCanvasWidgetBooleanControl(*runtime, kCanvas, 2));
    EXPECT_EQ(node(1).selected, 1);
    EXPECT_EQ(node(1).value, 1);
    scheduleCanvasWidgetToggleAnimation(*runtime, kCanvas, request);
    const WidgetAnimation* thumb = slot().animations.find(widgetAnimationKey(2, kToggleThumbAnimationPart));
    ASSERT_NE(thumb, nullptr);
    EXPECT_EQ(thumb->start_ns, 5000u);
    EXPECT_EQ(thumb->from_transform->tx, -20);
    EXPECT_EQ(thumb->to_transform->tx, 0);
    // A frame after the input: the thumb starts from the frame.
    canvas().canvas.tick.frameTimeNs = 7000;
    scheduleCanvasWidgetToggleAnimation(*runtime, kCanvas, request);
    EXPECT_EQ(slot().animations.find(widgetAnimationKey(2, kToggleThumbAnimationPart))->start_ns, 7000u);
    // No animation time: the entry and its repaint area go.
    slot().tree.tokens.duration_short = 0;
    scheduleCanvasWidgetToggleAnimation(*runtime, kCanvas, request);
    EXPECT_EQ(slot().animations.find(widgetAnimationKey(2, kToggleThumbAnimationPart)), nullptr);
    EXPECT_TRUE(slot().animations.dirty.empty());

    ASSERT_TRUE(toggleCanvasWidgetBooleanControl(*runtime, kCanvas, 3));
    ASSERT_TRUE(toggleCanvasWidgetBooleanControl(*runtime, kCanvas, 3));
    EXPECT_EQ(node(2).selected, 0);
    EXPECT_EQ(queued(slot().queues.disclosure), (std::vector<std::uint64_t>{3}));
    EXPECT_FALSE(*toggleCanvasWidgetBooleanControl(*runtime, kCanvas, 4));
    EXPECT_FALSE(canvasWidgetToggleAnimation(*runtime, kCanvas, 3).valid);
}

TEST_F(CanvasControls, AChangeWhoseSemanticsFailLeavesTheToggleAsItWas) {
    install("column id=1 rect=0,0,320,240\n  checkbox id=2 rect=0,0,100,30\n  text id=3 rect=0,40,10,10\n");
    const std::uint64_t revision = canvas().canvas.widgetRevision;
    slot().tree.nodes[2].depth = 40;
    const CanvasWidgetDirty toggled = toggleCanvasWidgetBooleanControl(*runtime, kCanvas, 2);
    ASSERT_FALSE(toggled);
    EXPECT_EQ(toggled.error(), Error::WidgetDepthExceeded);
    EXPECT_EQ(node(1).selected, 0);
    EXPECT_EQ(node(1).value, 0);
    EXPECT_EQ(canvas().canvas.widgetRevision, revision);
    EXPECT_TRUE(dirtyRects().empty());
}

TEST_F(CanvasControls, SelectingDeselectsPeersOfTheSameGroupOnly) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  row_c id=2 rect=0,0,300,30\n"
        "    radio id=3 rect=0,0,90,30 selected=1 value=1\n"
        "    radio id=4 rect=100,0,90,30\n"
        "  row_c id=5 rect=0,40,300,30\n"
        "    radio id=6 rect=0,40,90,30 selected=1 value=1\n"
        "  menu id=7 rect=0,80,100,60\n"
        "    menu_item id=8 rect=0,80,100,30\n"
        "    menu_item id=9 rect=0,110,100,30\n"
        "  tree id=10 rect=200,80,100,90\n"
        "    text id=11 rect=200,80,100,30 role=24 selected=1 value=1\n"
        "      text id=12 rect=200,110,100,30 role=24\n");
    const CanvasWidgetDirty selected = setCanvasWidgetSelected(*runtime, kCanvas, 4);
    ASSERT_TRUE(selected && *selected);
    EXPECT_EQ(rectText(**selected), "0,0,190,30");
    EXPECT_EQ(node(2).selected, 0);
    EXPECT_EQ(node(3).value, 1);
    EXPECT_EQ(node(5).selected, 1);
    // Already selected with no peer to clear: nothing.
    EXPECT_FALSE(*setCanvasWidgetSelected(*runtime, kCanvas, 4));
    // A menu whose items have no selection takes none.
    EXPECT_FALSE(*setCanvasWidgetSelected(*runtime, kCanvas, 8));
    EXPECT_EQ(node(7).selected, 0);
    // Tree rows are peers across levels of the same tree.
    ASSERT_TRUE(setCanvasWidgetSelected(*runtime, kCanvas, 12));
    EXPECT_EQ(node(10).selected, 0);
    EXPECT_EQ(node(11).selected, 1);
}

TEST_F(CanvasControls, SplitFractionsStayBetweenThePanesMinimumWidths) {
    for (const std::vector<std::string>& row : testing::readTable("runtime/split_fractions.txt")) {
        install(
            "column id=1 rect=0,0,400,240\n"
            "  split_view id=50 rect=0,0,400,100\n"
            "    column id=51 rect=0,0,198,100 min_size=" +
            row[0] +
            ",0\n"
            "      button id=52 rect=10,10,50,30 text=\"x\"\n"
            "    split_divider id=53 rect=198,0,4,100 value=0.5\n"
            "    column id=54 rect=202,0,198,100 min_size=" +
            row[1] +
            ",0\n"
            "      button id=55 rect=212,10,50,30 text=\"y\"\n");
        const float fraction = row[2] == "nan" ? NAN : std::stof(row[2]);
        const CanvasWidgetDirty moved = applyCanvasWidgetSplitFractionMoved(*runtime, kCanvas, 1, fraction, true);
        ASSERT_TRUE(moved);
        const std::string context = row[0] + " " + row[1] + " " + row[2];
        if (row[4] == "none") {
            EXPECT_FALSE(*moved) << context;
            EXPECT_TRUE(slot().queues.resize.empty());
            continue;
        }
        ASSERT_TRUE(*moved) << context;
        EXPECT_NEAR(node(1).value, std::stof(row[4]), 0.0001) << context;
        EXPECT_NEAR(node(4).value, std::stof(row[4]), 0.0001) << context;
        EXPECT_NEAR(node(4).rect.x, std::stof(row[5]), 0.01) << context;
        EXPECT_NEAR(node(2).rect.width, std::stof(row[6]), 0.01) << context;
        EXPECT_NEAR(node(5).rect.x, std::stof(row[7]), 0.01) << context;
        EXPECT_NEAR(node(5).rect.width, std::stof(row[8]), 0.01) << context;
        EXPECT_NEAR(node(6).rect.x, std::stof(row[5]) + 14, 0.01) << context;
        EXPECT_EQ(node(3).rect.x, 10) << context;
        EXPECT_EQ(queued(slot().queues.resize), (std::vector<std::uint64_t>{50}));
        slot().queues.resize.clear();
    }
}

TEST_F(CanvasControls, SlidersPanelsTakeTheirValuesAndQueueChangesOnce) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  slider id=2 rect=100,0,200,20\n"
        "  resizable_panel id=3 rect=0,40,100,60\n");
    for (const auto& [x, value] : {std::pair{150.0f, 0.25f}, {50.0f, 0.0f}, {400.0f, 1.0f}}) {
        ASSERT_TRUE(applyCanvasWidgetSliderValue(*runtime, kCanvas, 2, x));
        EXPECT_EQ(node(1).value, value);
    }
    EXPECT_FALSE(*applyCanvasWidgetSliderValue(*runtime, kCanvas, 2, 500));
    EXPECT_FALSE(*applyCanvasWidgetSliderValue(*runtime, kCanvas, 2, NAN));
    EXPECT_EQ(queued(slot().queues.change), (std::vector<std::uint64_t>{2}));

    const CanvasWidgetDirty wider = applyCanvasWidgetResizableDelta(*runtime, kCanvas, 3, 40);
    ASSERT_TRUE(wider && *wider);
    EXPECT_EQ(rectText(**wider), "0,40,140,60");
    EXPECT_EQ(node(2).frame.width, 140);
    // Never narrower than max(frame height, 48).
    ASSERT_TRUE(applyCanvasWidgetResizableDelta(*runtime, kCanvas, 3, -500));
    EXPECT_EQ(node(2).rect.width, 60);
    EXPECT_FALSE(*applyCanvasWidgetResizableDelta(*runtime, kCanvas, 3, INFINITY));
}

}  // namespace
}  // namespace kelvo
