#include "widgets/widget_invalidation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "support/golden.hpp"
#include "widgets/commands.hpp"
#include "widgets/expect_rect.hpp"
#include "widgets/tree_fixture.hpp"
#include "widgets/widget_control_geometry.hpp"

namespace kelvo {
namespace {

using testing::expectRect;

WidgetDescription control(WidgetKind kind, Rect frame, bool focused = false) {
    WidgetDescription record;
    record.kind = static_cast<std::uint8_t>(kind);
    record.frame = frame;
    record.focused = focused;
    return record;
}

TEST(PaintBounds, FrameStrokeWidthsFollowTheTable) {
    WidgetTokens tokens;
    for (const std::string& line : testing::readLines("widgets/frame_strokes.txt")) {
        if (line.rfind("tokens ", 0) == 0) {
            std::istringstream assignments(line.substr(7));
            for (std::string assignment; assignments >> assignment;) {
                ASSERT_TRUE(applyWidgetTokenAssignment(assignment, tokens)) << assignment;
            }
            continue;
        }
        SCOPED_TRACE(line);
        std::istringstream cells(line);
        float unfocused = 0, focused = 0;
        cells >> unfocused >> focused;
        auto tree = testing::installedTree(line.substr(line.find('|') + 2));
        WidgetDescription record = tree->nodes[0];
        EXPECT_FLOAT_EQ(widgetFrameStrokeWidth(record, tokens), unfocused);
        record.focused = 1;
        EXPECT_FLOAT_EQ(widgetFrameStrokeWidth(record, tokens), focused);
    }
}

TEST(PaintBounds, FocusRingsAndStrokesAroundTheStateRectangle) {
    const WidgetTokens tokens;
    expectRect(widgetFocusPaintBounds(control(WidgetKind::button, {10, 10, 100, 30}, true), tokens), {7, 7, 106, 36});
    EXPECT_FALSE(widgetFocusPaintBounds(control(WidgetKind::button, {10, 10, 100, 30}), tokens));
    EXPECT_FALSE(widgetFocusPaintBounds(control(WidgetKind::tooltip, {10, 10, 100, 30}, true), tokens));
    WidgetTokens noRing;
    noRing.focus_ring_width = 0;
    EXPECT_FALSE(widgetFocusPaintBounds(control(WidgetKind::button, {10, 10, 100, 30}, true), noRing));
    // A negative offset draws the ring closer in; the bounds keep the outer edge of offset 0.
    WidgetTokens inward;
    inward.focus_ring_offset = -1;
    expectRect(widgetFocusPaintBounds(control(WidgetKind::button, {10, 10, 100, 30}, true), inward), {9, 9, 102, 32});

    WidgetDescription ghost = control(WidgetKind::button, {10, 10, -100, 30});  // folded: x from -90
    ghost.variant = 4;
    EXPECT_FLOAT_EQ(widgetFrameStrokeWidth(ghost, tokens), 0);
    EXPECT_FALSE(widgetFrameStrokeBounds(ghost, tokens));
    ghost.focused = 1;
    expectRect(widgetFrameStrokeBounds(ghost, tokens), {-91, 9, 102, 32});

    // A checkbox rings its indicator box, not its frame.
    expectRect(widgetFocusPaintBounds(control(WidgetKind::checkbox, {0, 0, 100, 40}, true), tokens), {-3, 7, 26, 26});
    // Rings of the accordion (at the offset) and the split divider (on the frame).
    expectRect(widgetFocusPaintBounds(control(WidgetKind::accordion, {0, 0, 100, 40}, true), tokens),
               {-3, -3, 106, 46});
    expectRect(widgetFocusPaintBounds(control(WidgetKind::split_divider, {50, 0, 9, 100}, true), tokens),
               {49, -1, 11, 102});
}

TEST(PaintBounds, StateRectanglesOfSelectionControls) {
    WidgetTokens tokens;
    expectRect(widgetInteractiveStatePaintBounds(control(WidgetKind::checkbox, {0, 0, 100, 40}), tokens),
               {0, 10, 20, 20});
    expectRect(widgetInteractiveStatePaintBounds(control(WidgetKind::radio, {0, 0, 100, 20}), tokens), {0, 2, 16, 16});
    expectRect(widgetInteractiveStatePaintBounds(control(WidgetKind::switch_, {0, 0, 100, 30}), tokens),
               {0, 3, 52.5f, 24});
    WidgetDescription slider = control(WidgetKind::slider, {0, 0, 200, 20});
    slider.value = 1;
    expectRect(widgetInteractiveStatePaintBounds(slider, tokens), {188, 4, 12, 12});
    slider.value = NAN;
    expectRect(widgetInteractiveStatePaintBounds(slider, tokens), {0, 4, 12, 12});
    slider.value = 0.5f;
    slider.size = 2;
    tokens.density = 2;  // knob 12 x 1.125 x 1.125
    expectRect(sliderWidgetKnobRect(slider, tokens), {100 - 7.59375f, 10 - 7.59375f, 15.1875f, 15.1875f});
    expectRect(widgetInteractiveStatePaintBounds(control(WidgetKind::text_field, {5, 5, -5, 5}), tokens), {0, 5, 5, 5});

    // Snapped: origin and far edge round to device pixels.
    tokens = WidgetTokens{};
    tokens.snap_geometry = true;
    tokens.pixel_scale = 2;
    expectRect(checkboxIndicatorRect(control(WidgetKind::checkbox, {0.3f, 0.3f, 100, 33}), tokens),
               {0.5f, 7.5f, 18, 18.5f});
}

TEST(PaintBounds, DirtyRectanglesAreClippedByAncestors) {
    auto tree = testing::installedTree(R"(
column id=1 rect=0,0,500,500
  scroll_view id=2 rect=0,0,100,100
    button id=3 rect=50,50,100,100
    column id=4 rect=0,0,300,300 clips=1
      popover id=5 rect=200,200,100,100 out_of_flow=1 clips=1
        button id=6 rect=250,250,100,100
  panel id=7 rect=0,0,10,10 hidden=1
    button id=8 rect=0,0,10,10
  input_group id=9 rect=0,300,200,100
    input_group id=10 rect=10,310,100,50
      text_field id=11 rect=20,320,50,20
  scroll_view id=12 rect=0,450,100,40
    input_group id=13 rect=0,440,100,30
      text_field id=14 rect=0,450,100,20
)");
    auto at = [&](std::uint64_t id) { return testing::nodeIndex(*tree, id); };
    auto frameOf = [&](std::uint64_t id) { return std::optional<Rect>(tree->nodes[at(id)].rect); };
    expectRect(widgetClippedDirtyBounds(tree->tree(), at(3), frameOf(3)), {50, 50, 50, 50});
    // The popover floats: its own clip applies, not the column's or the scroll view's.
    expectRect(widgetClippedDirtyBounds(tree->tree(), at(6), frameOf(6)), {250, 250, 50, 50});
    expectRect(widgetClippedDirtyBounds(tree->tree(), at(5), frameOf(5)), {200, 200, 100, 100});
    EXPECT_FALSE(widgetClippedDirtyBounds(tree->tree(), at(3), Rect{200, 0, 10, 10}));
    EXPECT_FALSE(widgetClippedDirtyBounds(tree->tree(), at(8), frameOf(8)));
    EXPECT_FALSE(widgetClippedDirtyBounds(tree->tree(), at(3), std::nullopt));
    EXPECT_FALSE(widgetClippedDirtyBounds(tree->tree(), tree->node_count, frameOf(3)));

    // Both groups around the field ring; the field's own ring is not counted.
    const WidgetTokens tokens;
    expectRect(inputGroupFocusWithinBounds(tree->tree(), 11, tokens), {-3, 297, 206, 106});
    expectRect(inputGroupFocusWithinBounds(tree->tree(), 10, tokens), {-3, 297, 206, 106});
    EXPECT_FALSE(inputGroupFocusWithinBounds(tree->tree(), 9, tokens));
    EXPECT_FALSE(inputGroupFocusWithinBounds(tree->tree(), 0, tokens));
    EXPECT_FALSE(inputGroupFocusWithinBounds(tree->tree(), std::nullopt, tokens));
    // A group's ring is clipped by the scroll view around it.
    expectRect(inputGroupFocusWithinBounds(tree->tree(), 14, tokens), {0, 450, 100, 23});
}

TEST(PaintBounds, MalformedParentsGiveNoDirtyRectangle) {
    std::vector<WidgetLayoutNode> nodes(2);
    nodes[1].has_parent = 1;
    nodes[1].parent = 1;
    nodes[0].kind = nodes[1].kind = static_cast<std::uint8_t>(WidgetKind::scroll_view);
    EXPECT_FALSE(widgetClippedDirtyBounds(nodes, 1, Rect{0, 0, 1, 1}));
    nodes[1].parent = 5;
    EXPECT_FALSE(widgetClippedDirtyBounds(nodes, 1, Rect{0, 0, 1, 1}));
}

bool contains(std::optional<Rect> outer, Rect inner) {
    if (!outer) return false;
    constexpr float kSlack = 1e-4f;
    return outer->x <= inner.x + kSlack && outer->y <= inner.y + kSlack &&
           outer->x + outer->width >= inner.x + inner.width - kSlack &&
           outer->y + outer->height >= inner.y + inner.height - kSlack;
}

// Until the renderers are checked command by command, the bounds of every interaction change must
// hold the state rectangle and the focus ring each kind's emitter draws.
TEST(PaintBounds, EveryStateChangeCoversWhatItRepaints) {
    std::map<std::string, std::string> rings;
    for (const auto& row : testing::readTable("widgets/focus_rings.txt")) rings[row[0]] = row[1];
    WidgetTokens wide;
    wide.focus_ring_width = 3;
    wide.focus_ring_offset = 1.5f;
    wide.density = 0;
    WidgetTokens snapped;
    snapped.snap_geometry = true;
    snapped.pixel_scale = 3;
    for (const WidgetTokens& tokens : {WidgetTokens{}, wide, snapped}) {
        for (unsigned code = 0; code < kWidgetKindCount; ++code) {
            const auto kind = static_cast<WidgetKind>(code);
            for (std::uint8_t size : {0, 1, 2}) {
                WidgetDescription before = control(kind, {10.3f, 20.6f, 120.2f, 33.3f});
                before.size = size;
                before.value = 0.7f;
                SCOPED_TRACE(std::string(widgetKindName(kind)) + " size " + std::to_string(size));
                for (std::uint8_t WidgetDescription::*flag :
                     {&WidgetDescription::focused, &WidgetDescription::hovered, &WidgetDescription::pressed}) {
                    WidgetDescription after = before;
                    after.*flag = 1;
                    std::optional<Rect> bounds = widgetInteractiveStatePaintBounds(before, tokens);
                    for (const WidgetDescription& state : {before, after}) {
                        bounds = unionOptionalBounds(bounds, widgetFrameStrokeBounds(state, tokens));
                        bounds = unionOptionalBounds(bounds, widgetFocusPaintBounds(state, tokens));
                    }
                    const Rect stateRect = widgetInteractiveStatePaintBounds(after, tokens);
                    EXPECT_TRUE(contains(bounds, stateRect));
                    auto ring = rings.find(std::string(widgetKindName(kind)));
                    if (flag != &WidgetDescription::focused || ring == rings.end()) continue;
                    const float half = tokens.focus_ring_width / 2;
                    const float out = ring->second == "offset" ? tokens.focus_ring_offset + half : half;
                    const Rect drawn{stateRect.x - out, stateRect.y - out, stateRect.width + 2 * out,
                                     stateRect.height + 2 * out};
                    EXPECT_TRUE(contains(bounds, drawn));
                }
            }
        }
    }
}

}  // namespace
}  // namespace kelvo
