#include "runtime/shell_layout.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace kelvo {
namespace {

ShellViewSpec spec(std::string_view label, ViewKind kind) {
    ShellViewSpec s;
    s.label = label;
    s.kind = kind;
    return s;
}

ShellViewSpec docked(std::string_view label, ViewKind kind, ShellEdge edge) {
    ShellViewSpec s = spec(label, kind);
    s.dock = edge;
    return s;
}

ShellViewSpec child(std::string_view label, ViewKind kind, std::string_view parent) {
    ShellViewSpec s = spec(label, kind);
    s.parent = parent;
    return s;
}

RectF frameOf(const ShellLayout& layout, std::string_view label) {
    const ShellPlacedView* view = shellFindView(layout, label);
    EXPECT_NE(view, nullptr) << label;
    return view != nullptr ? view->frame : RectF{-1, -1, -1, -1};
}

RectF layOut(ShellLayout& layout, const std::vector<ShellViewSpec>& specs, RectF content, std::string_view label) {
    EXPECT_TRUE(runShellLayout(layout, specs, content).has_value());
    return frameOf(layout, label);
}

TEST(ShellLayout, TwoTopToolbarsStackAndTheContentAreaStartsBelowThem) {
    ShellLayout layout;
    ShellViewSpec content = spec("content", ViewKind::stack);
    content.fill = true;
    std::vector<ShellViewSpec> specs = {docked("a", ViewKind::toolbar, ShellEdge::top),
                                        docked("b", ViewKind::toolbar, ShellEdge::top), content};
    const RectF r0{10, 20, 800, 600};
    ASSERT_TRUE(runShellLayout(layout, specs, r0));
    EXPECT_EQ(frameOf(layout, "a"), (RectF{10, 20, 800, 48}));
    EXPECT_EQ(frameOf(layout, "b"), (RectF{10, 68, 800, 48}));
    EXPECT_EQ(frameOf(layout, "content"), (RectF{10, 116, 800, 504}));
}

TEST(ShellLayout, DockedFramesAtEachEdge) {
    struct Case {
        const char* name;
        ViewKind kind;
        ShellEdge edge;
        RectF remaining;
        RectF expected;
    };
    const Case cases[] = {
        {"left sidebar takes its default width and the full height",
         ViewKind::sidebar,
         ShellEdge::left,
         {5, 6, 800, 500},
         {5, 6, 240, 500}},
        {"right sidebar sits at the right edge",
         ViewKind::sidebar,
         ShellEdge::right,
         {5, 6, 800, 500},
         {565, 6, 240, 500}},
        {"right sidebar wider than the rest sits at the left",
         ViewKind::sidebar,
         ShellEdge::right,
         {5, 6, 200, 500},
         {5, 6, 240, 500}},
        {"bottom status bar sits at the bottom",
         ViewKind::statusbar,
         ShellEdge::bottom,
         {0, 10, 640, 400},
         {0, 382, 640, 28}},
        {"bottom bar taller than the rest sits at the top",
         ViewKind::toolbar,
         ShellEdge::bottom,
         {0, 10, 640, 20},
         {0, 10, 640, 48}},
        {"titlebar accessory", ViewKind::titlebar_accessory, ShellEdge::top, {0, 0, 300, 300}, {0, 0, 300, 36}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dockedShellFrame(c.remaining, spec("v", c.kind), c.edge), c.expected) << c.name;
    }
}

TEST(ShellLayout, ATopDockTallerThanTheWindowLeavesNoContentHeight) {
    ShellLayout layout;
    ShellViewSpec bar = docked("bar", ViewKind::toolbar, ShellEdge::top);
    bar.height = 500;
    ShellViewSpec content = spec("content", ViewKind::stack);
    content.fill = true;
    RectF frame = layOut(layout, {bar, content}, {0, 0, 400, 300}, "content");
    EXPECT_EQ(frame, (RectF{0, 500, 400, 0}));
}

TEST(ShellLayout, ClampAppliesTheMinimumThenTheMaximumAndIgnoresNaN) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(clampShellSize(100, 300.0f, 200.0f), 200);
    EXPECT_EQ(clampShellSize(100, 50.0f, std::nullopt), 100);
    EXPECT_EQ(clampShellSize(10, 50.0f, std::nullopt), 50);
    EXPECT_EQ(clampShellSize(nan, 50.0f, std::nullopt), 50);
    EXPECT_EQ(clampShellSize(100, nan, 80.0f), 80);
    EXPECT_TRUE(std::isnan(clampShellSize(nan, std::nullopt, std::nullopt)));

    ShellViewSpec s = docked("side", ViewKind::sidebar, ShellEdge::left);
    s.minWidth = 300;
    s.maxWidth = 200;
    EXPECT_EQ(dockedShellFrame({0, 0, 800, 600}, s, ShellEdge::left).width, 200);
}

TEST(ShellLayout, HorizontalStackChildrenFlowFromEightAndAreCentred) {
    ShellLayout layout;
    ShellViewSpec bar = docked("bar", ViewKind::toolbar, ShellEdge::top);
    std::vector<ShellViewSpec> specs = {bar, child("b1", ViewKind::button, "bar"),
                                        child("b2", ViewKind::icon_button, "bar"),
                                        child("gap", ViewKind::spacer, "bar"), child("t", ViewKind::label, "bar")};
    ASSERT_TRUE(runShellLayout(layout, specs, {0, 0, 1000, 700}));
    EXPECT_EQ(frameOf(layout, "b1"), (RectF{8, 8, 96, 32}));
    EXPECT_EQ(frameOf(layout, "b2"), (RectF{112, 8, 32, 32}));
    EXPECT_EQ(frameOf(layout, "gap"), (RectF{152, 0, 12, 48}));
    EXPECT_EQ(frameOf(layout, "t"), (RectF{172, 12, 160, 24}));
    const ShellPlacedView* b2 = shellFindView(layout, "b2");
    ASSERT_NE(b2, nullptr);
    EXPECT_EQ(b2->absoluteX, 112);
    EXPECT_EQ(b2->absoluteY, 8);
}

TEST(ShellLayout, SpacerInAHorizontalStackIsTwelveWideAndAsTallAsTheStack) {
    ShellLayout layout;
    ShellViewSpec stack = spec("row", ViewKind::stack);
    stack.height = 40;
    stack.width = 300;
    RectF frame = layOut(layout, {stack, child("gap", ViewKind::spacer, "row")}, {0, 0, 500, 500}, "gap");
    EXPECT_EQ(frame, (RectF{8, 0, 12, 40}));
}

TEST(ShellLayout, VerticalStackChildrenStartAtEightAndAreEightApart) {
    ShellLayout layout;
    ShellViewSpec side = docked("side", ViewKind::sidebar, ShellEdge::left);
    side.vertical = true;
    ShellViewSpec pinned = child("pinned", ViewKind::label, "side");
    pinned.x = 30;
    ShellViewSpec placedY = child("fixed", ViewKind::button, "side");
    placedY.y = 400;
    std::vector<ShellViewSpec> specs = {
        side,    child("one", ViewKind::list_item, "side"), child("two", ViewKind::text_field, "side"), pinned,
        placedY, child("three", ViewKind::checkbox, "side")};
    ASSERT_TRUE(runShellLayout(layout, specs, {0, 0, 1000, 700}));
    EXPECT_EQ(frameOf(layout, "one"), (RectF{8, 8, 220, 32}));
    EXPECT_EQ(frameOf(layout, "two"), (RectF{8, 48, 220, 28}));
    EXPECT_EQ(frameOf(layout, "pinned"), (RectF{30, 84, 160, 24}));
    // A given y takes no room from the flow.
    EXPECT_EQ(frameOf(layout, "fixed"), (RectF{8, 400, 96, 32}));
    EXPECT_EQ(frameOf(layout, "three"), (RectF{8, 116, 96, 32}));
}

TEST(ShellLayout, SplitChildrenArePlacedEdgeToEdge) {
    ShellLayout layout;
    ShellViewSpec split = spec("split", ViewKind::split);
    split.fill = true;
    ShellViewSpec left = child("left", ViewKind::stack, "split");
    left.width = 200;
    ShellViewSpec mid = child("mid", ViewKind::button, "split");
    mid.y = 10;
    ShellViewSpec rest = child("rest", ViewKind::stack, "split");
    rest.fill = true;
    std::vector<ShellViewSpec> specs = {split, left, mid, rest};
    ASSERT_TRUE(runShellLayout(layout, specs, {0, 0, 900, 600}));
    EXPECT_EQ(frameOf(layout, "left"), (RectF{0, 0, 200, 600}));
    EXPECT_EQ(frameOf(layout, "mid"), (RectF{200, 10, 96, 590}));
    EXPECT_EQ(frameOf(layout, "rest"), (RectF{296, 0, 604, 600}));
}

TEST(ShellLayout, VerticalSplitChildrenStackDownAndTakeTheFullWidth) {
    ShellLayout layout;
    ShellViewSpec split = spec("split", ViewKind::split);
    split.width = 500;
    split.height = 400;
    split.vertical = true;
    ShellViewSpec top = child("top", ViewKind::toolbar, "split");
    ShellViewSpec body = child("body", ViewKind::stack, "split");
    body.fill = true;
    std::vector<ShellViewSpec> specs = {split, top, body, child("gap", ViewKind::spacer, "split")};
    ASSERT_TRUE(runShellLayout(layout, specs, {0, 0, 900, 600}));
    EXPECT_EQ(frameOf(layout, "top"), (RectF{0, 0, 500, 48}));
    EXPECT_EQ(frameOf(layout, "body"), (RectF{0, 48, 500, 352}));
    EXPECT_EQ(frameOf(layout, "gap"), (RectF{0, 400, 500, 400}));
}

TEST(ShellLayout, FreeRootViewsUseTheirDefaultsAndFillViewsTheContentArea) {
    ShellLayout layout;
    ShellViewSpec free = spec("free", ViewKind::segmented_control);
    free.x = 40;
    ShellViewSpec fill = spec("fill", ViewKind::gpu_surface);
    fill.fill = true;
    fill.y = 5;
    ShellViewSpec side = docked("side", ViewKind::sidebar, ShellEdge::left);
    std::vector<ShellViewSpec> specs = {free, fill, side};
    ASSERT_TRUE(runShellLayout(layout, specs, {0, 0, 1000, 700}));
    EXPECT_EQ(frameOf(layout, "free"), (RectF{40, 0, 168, 32}));
    EXPECT_EQ(frameOf(layout, "fill"), (RectF{240, 5, 760, 700}));
    EXPECT_EQ(frameOf(layout, "side"), (RectF{0, 0, 240, 700}));
}

TEST(ShellLayout, ChildrenWaitForParentsDeclaredLaterAndArePlacedAfterThem) {
    ShellLayout layout;
    std::vector<ShellViewSpec> specs = {child("button", ViewKind::button, "bar"),
                                        docked("bar", ViewKind::toolbar, ShellEdge::top)};
    ASSERT_TRUE(runShellLayout(layout, specs, {0, 0, 800, 600}));
    ASSERT_EQ(layout.placed.size(), 2u);
    EXPECT_EQ(layout.placed[0].label, "bar");
    EXPECT_EQ(layout.placed[1].label, "button");
    EXPECT_EQ(layout.placed[1].specIndex, 0u);
}

TEST(ShellLayout, UnplaceableParentsFailTheRun) {
    ShellLayout layout;
    std::vector<ShellViewSpec> orphan = {child("a", ViewKind::button, "nowhere")};
    EXPECT_EQ(runShellLayout(layout, orphan, {0, 0, 10, 10}).error(), Error::InvalidViewOptions);
    std::vector<ShellViewSpec> cycle = {child("a", ViewKind::stack, "b"), child("b", ViewKind::stack, "a")};
    EXPECT_EQ(runShellLayout(layout, cycle, {0, 0, 10, 10}).error(), Error::InvalidViewOptions);
    std::vector<ShellViewSpec> tooMany(kMaxShellViews + 1, spec("x", ViewKind::button));
    EXPECT_EQ(runShellLayout(layout, tooMany, {0, 0, 10, 10}).error(), Error::ViewLimitReached);
}

}  // namespace
}  // namespace kelvo
