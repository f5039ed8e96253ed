#include "runtime/windows/shell_layout.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

// Descriptions are written with designated initializers that name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kelvo {
namespace {

using K = ViewKind;
using E = ShellEdge;

// "label x,y,w,h" of every placed view in placing order, or the error's name.
std::string frames(const std::vector<ShellViewDescription>& descriptions, RectF content) {
    ShellLayout layout;
    Status status = runShellLayout(layout, descriptions, content);
    if (!status) return std::string(errorName(status.error()));
    std::ostringstream out;
    for (const ShellPlacedView& v : layout.placed) {
        out << (out.tellp() > 0 ? "; " : "") << v.label << " " << v.frame.x << "," << v.frame.y << "," << v.frame.width
            << "," << v.frame.height;
    }
    return out.str();
}

TEST(ShellLayout, PlacesEachKindOfLayoutAtItsExactFrames) {
    const struct {
        const char* name;
        std::vector<ShellViewDescription> descriptions;
        RectF content;
        std::string expected;
    } cases[] = {
        {"two top toolbars stack and the content starts below them",
         {{.label = "a", .kind = K::toolbar, .dock = E::top},
          {.label = "b", .kind = K::toolbar, .dock = E::top},
          {.label = "content", .kind = K::stack, .fill = true}},
         {10, 20, 800, 600},
         "a 10,20,800,48; b 10,68,800,48; content 10,116,800,504"},
        {"a top dock taller than the window leaves no content height",
         {{.label = "bar", .kind = K::toolbar, .height = 500, .dock = E::top},
          {.label = "content", .kind = K::stack, .fill = true}},
         {0, 0, 400, 300},
         "bar 0,0,400,500; content 0,500,400,0"},
        {"horizontal stack children flow from 8 and are centred",
         {{.label = "bar", .kind = K::toolbar, .dock = E::top},
          {.label = "b1", .parent = "bar", .kind = K::button},
          {.label = "b2", .parent = "bar", .kind = K::icon_button},
          {.label = "gap", .parent = "bar", .kind = K::spacer},
          {.label = "t", .parent = "bar", .kind = K::label}},
         {0, 0, 1000, 700},
         "bar 0,0,1000,48; b1 8,8,96,32; b2 112,8,32,32; gap 152,0,12,48; t 172,12,160,24"},
        {"a spacer in a horizontal stack is 12 wide and as tall as the stack",
         {{.label = "row", .kind = K::stack, .width = 300, .height = 40},
          {.label = "gap", .parent = "row", .kind = K::spacer}},
         {0, 0, 500, 500},
         "row 0,0,300,40; gap 8,0,12,40"},
        {"vertical stack children start at 8 and are 8 apart; a given y takes no room",
         {{.label = "side", .kind = K::sidebar, .dock = E::left, .vertical = true},
          {.label = "one", .parent = "side", .kind = K::list_item},
          {.label = "two", .parent = "side", .kind = K::text_field},
          {.label = "pinned", .parent = "side", .kind = K::label, .x = 30},
          {.label = "fixed", .parent = "side", .kind = K::button, .y = 400},
          {.label = "three", .parent = "side", .kind = K::checkbox}},
         {0, 0, 1000, 700},
         "side 0,0,240,700; one 8,8,220,32; two 8,48,220,28; pinned 30,84,160,24; fixed 8,400,96,32; "
         "three 8,116,96,32"},
        {"split children are placed edge to edge",
         {{.label = "split", .kind = K::split, .fill = true},
          {.label = "left", .parent = "split", .kind = K::stack, .width = 200},
          {.label = "mid", .parent = "split", .kind = K::button, .y = 10},
          {.label = "rest", .parent = "split", .kind = K::stack, .fill = true}},
         {0, 0, 900, 600},
         "split 0,0,900,600; left 0,0,200,600; mid 200,10,96,590; rest 296,0,604,600"},
        {"vertical split children stack down and take the full width",
         {{.label = "split", .kind = K::split, .width = 500, .height = 400, .vertical = true},
          {.label = "top", .parent = "split", .kind = K::toolbar},
          {.label = "body", .parent = "split", .kind = K::stack, .fill = true},
          {.label = "gap", .parent = "split", .kind = K::spacer}},
         {0, 0, 900, 600},
         "split 0,0,500,400; top 0,0,500,48; body 0,48,500,352; gap 0,400,500,400"},
        {"free root views take their defaults and fill views the content area",
         {{.label = "free", .kind = K::segmented_control, .x = 40},
          {.label = "fill", .kind = K::gpu_surface, .y = 5, .fill = true},
          {.label = "side", .kind = K::sidebar, .dock = E::left}},
         {0, 0, 1000, 700},
         "free 40,0,168,32; fill 240,5,760,700; side 0,0,240,700"},
        {"children wait for parents declared later",
         {{.label = "button", .parent = "bar", .kind = K::button},
          {.label = "bar", .kind = K::toolbar, .dock = E::top}},
         {0, 0, 800, 600},
         "bar 0,0,800,48; button 8,8,96,32"},
        {"a parent that never comes",
         {{.label = "a", .parent = "nowhere", .kind = K::button}},
         {},
         "InvalidViewOptions"},
        {"a parent cycle",
         {{.label = "a", .parent = "b", .kind = K::stack}, {.label = "b", .parent = "a", .kind = K::stack}},
         {},
         "InvalidViewOptions"},
        {"too many views",
         std::vector<ShellViewDescription>(kMaxShellViews + 1, {.label = "x"}),
         {},
         "ViewLimitReached"},
    };
    for (const auto& c : cases) EXPECT_EQ(frames(c.descriptions, c.content), c.expected) << c.name;
}

TEST(ShellLayout, DockedFramesAtEachEdge) {
    const struct {
        const char* name;
        ViewKind kind;
        ShellEdge edge;
        RectF remaining;
        RectF expected;
    } cases[] = {
        {"left sidebar: default width, full height", K::sidebar, E::left, {5, 6, 800, 500}, {5, 6, 240, 500}},
        {"right sidebar at the right edge", K::sidebar, E::right, {5, 6, 800, 500}, {565, 6, 240, 500}},
        {"right sidebar wider than the rest", K::sidebar, E::right, {5, 6, 200, 500}, {5, 6, 240, 500}},
        {"status bar at the bottom", K::statusbar, E::bottom, {0, 10, 640, 400}, {0, 382, 640, 28}},
        {"bottom bar taller than the rest", K::toolbar, E::bottom, {0, 10, 640, 20}, {0, 10, 640, 48}},
        {"titlebar accessory", K::titlebar_accessory, E::top, {0, 0, 300, 300}, {0, 0, 300, 36}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dockedShellFrame(c.remaining, {.label = "v", .kind = c.kind}, c.edge), c.expected) << c.name;
    }
}

TEST(ShellLayout, ClampAppliesTheMinimumThenTheMaximumAndIgnoresNaN) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(clampShellSize(100, 300.0f, 200.0f), 200);
    EXPECT_EQ(clampShellSize(10, 50.0f, std::nullopt), 50);
    EXPECT_EQ(clampShellSize(nan, 50.0f, std::nullopt), 50);
    EXPECT_EQ(clampShellSize(100, nan, 80.0f), 80);
    EXPECT_TRUE(std::isnan(clampShellSize(nan, std::nullopt, std::nullopt)));
    ShellViewDescription side{.label = "side", .kind = K::sidebar, .minWidth = 300, .maxWidth = 200};
    EXPECT_EQ(dockedShellFrame({0, 0, 800, 600}, side, E::left).width, 200);
}

}  // namespace
}  // namespace kelvo
