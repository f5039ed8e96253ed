#include "widgets/widget_routing.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/golden.hpp"
#include "widgets/tree_fixture.hpp"

namespace kelvo {
namespace {

std::string idOf(bool found, std::uint64_t id) { return found ? std::to_string(id) : "-"; }

TEST(HitTesting, FollowsTheHitTable) {
    auto tree = testing::installedTree(testing::readData("widgets/hit_tree.txt"));
    for (const auto& row : testing::readTable("widgets/hit_cases.txt")) {
        ASSERT_EQ(row.size(), 5u);
        SCOPED_TRACE(row[0] + " " + row[1]);
        const WidgetHit hit = hitTestWidgetLayout(tree->tree(), {std::stof(row[0]), std::stof(row[1])}, tree->tokens);
        EXPECT_EQ(idOf(hit.found, hit.id), row[3]);
        const WidgetHit hover = hoverTargetForHit(tree->tree(), hit);
        EXPECT_EQ(idOf(hover.found, hover.id), row[4]);
    }
}

TEST(HitTesting, LayersComeFromTheTokensAndResultsCarryTheNode) {
    auto tree = testing::installedTree(R"(
stack id=1 rect=0,0,100,100
  button id=2 rect=0,0,50,50 selected=1 expanded=0 role=3 size=1
  popover id=3 rect=0,0,50,50
)");
    WidgetTokens tokens = tree->tokens;
    EXPECT_EQ(hitTestWidgetLayout(tree->tree(), {10, 10}, tokens).id, 3u);
    tokens.z_overlay = tokens.z_base - 1;  // overlays now lie below ordinary nodes
    const WidgetHit hit = hitTestWidgetLayout(tree->tree(), {10, 10}, tokens);
    EXPECT_EQ(hit.id, 2u);
    EXPECT_EQ(hit.index, 1u);
    EXPECT_EQ(hit.depth, 1u);
    EXPECT_EQ(hit.kind, static_cast<std::uint8_t>(WidgetKind::button));
    EXPECT_EQ(hit.role, 3u);
    EXPECT_EQ(hit.state.selected, 1u);
    EXPECT_EQ(hit.state.expanded_present, 1u);
    EXPECT_EQ(hit.rect.width, 50);
    EXPECT_FALSE(hitTestWidgetLayoutNode(tree->tree(), tree->node_count, {10, 10}).found);
    EXPECT_FALSE(hoverTargetForHit(tree->tree(), WidgetHit{}).found);
}

TEST(HitTesting, ManySiblingsKeepTheirStackingOrder) {
    // More siblings than the cursor sorts in its buffer: the same order by scanning.
    for (std::size_t siblings : {8u, 70u}) {
        std::vector<WidgetLayoutNode> nodes(siblings + 1);
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            nodes[i].id = i;
            nodes[i].kind = static_cast<std::uint8_t>(WidgetKind::button);
            nodes[i].rect = {0, 0, 10, 10};
            nodes[i].depth = nodes[i].has_parent = 1;
        }
        EXPECT_EQ(hitTestWidgetLayout(nodes, {5, 5}).id, siblings) << siblings;
        nodes[3].z_index = 2;
        nodes[5].z_index = 2;
        nodes[6].z_index = 1;
        EXPECT_EQ(hitTestWidgetLayout(nodes, {5, 5}).id, 5u) << siblings;
        nodes[5].disabled = 1;
        EXPECT_EQ(hitTestWidgetLayout(nodes, {5, 5}).id, 3u) << siblings;
        nodes[3].disabled = 1;
        EXPECT_EQ(hitTestWidgetLayout(nodes, {5, 5}).id, 6u) << siblings;
    }
}

TEST(HitTesting, MalformedParentsEndTheSearch) {
    std::vector<WidgetLayoutNode> nodes(3);
    for (WidgetLayoutNode& node : nodes) {
        node.kind = static_cast<std::uint8_t>(WidgetKind::button);
        node.rect = {0, 0, 10, 10};
    }
    nodes[0].id = 1;
    nodes[1].id = 2;
    nodes[1].has_parent = 1;
    nodes[1].parent = 1;  // its own parent: neither a root nor anyone's child
    nodes[2].id = 3;
    nodes[2].has_parent = 1;
    nodes[2].parent = 7;  // out of range
    EXPECT_EQ(hitTestWidgetLayout(nodes, {5, 5}).id, 1u);
    WidgetHit orphan{};
    orphan.found = true;
    orphan.index = 1;
    EXPECT_EQ(hoverTargetForHit(nodes, orphan).id, 2u);
}

// A chain of nested columns whose last node stands at `depth`.
std::vector<WidgetLayoutNode> chain(std::size_t depth) {
    std::vector<WidgetLayoutNode> nodes(depth + 1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].id = 100 + i;
        nodes[i].depth = i;
        nodes[i].has_parent = i > 0;
        nodes[i].parent = i > 0 ? i - 1 : 0;
    }
    return nodes;
}

TEST(EventRoutes, CaptureDownTargetThenBubbleUp) {
    std::vector<WidgetRouteEntry> entries(64);
    const std::vector<WidgetLayoutNode> nodes = chain(31);
    Result<std::span<WidgetRouteEntry>> route = routeWidgetEventPath(nodes, 31, entries);
    ASSERT_TRUE(route);
    ASSERT_EQ(route->size(), 63u);
    EXPECT_EQ((*route)[0].index, 0u);
    EXPECT_EQ((*route)[0].phase, WidgetRoutePhase::capture);
    EXPECT_EQ((*route)[30].index, 30u);
    EXPECT_EQ((*route)[31].index, 31u);
    EXPECT_EQ((*route)[31].id, 131u);
    EXPECT_EQ((*route)[31].phase, WidgetRoutePhase::target);
    EXPECT_EQ((*route)[32].index, 30u);
    EXPECT_EQ((*route)[32].phase, WidgetRoutePhase::bubble);
    EXPECT_EQ((*route)[62].index, 0u);

    EXPECT_EQ(routeWidgetEventPath(chain(32), 32, entries).error(), Error::WidgetDepthExceeded);
    EXPECT_EQ(routeWidgetEventPath(nodes, 31, std::span(entries).first(62)).error(), Error::WidgetEventRouteListFull);
    EXPECT_EQ(routeWidgetEventPath(nodes, 0, std::span(entries).first(1))->size(), 1u);
    EXPECT_TRUE(routeWidgetEventPath(nodes, nodes.size(), entries)->empty());
}

TEST(FocusMovement, FollowsTheFocusTable) {
    auto tree = testing::installedTree(testing::readData("widgets/focus_tree.txt"));
    const std::pair<std::string, WidgetFocusDirection> directions[] = {
        {"next", WidgetFocusDirection::next}, {"previous", WidgetFocusDirection::previous},
        {"left", WidgetFocusDirection::left}, {"right", WidgetFocusDirection::right},
        {"up", WidgetFocusDirection::up},     {"down", WidgetFocusDirection::down},
        {"6", WidgetFocusDirection{6}},       {"7", WidgetFocusDirection{7}},
    };
    for (const auto& row : testing::readTable("widgets/focus_cases.txt")) {
        ASSERT_EQ(row.size(), 4u);
        SCOPED_TRACE(row[0] + " " + row[1]);
        std::optional<WidgetFocusDirection> direction;
        for (const auto& [name, value] : directions) {
            if (name == row[1]) direction = value;
        }
        ASSERT_TRUE(direction);
        const WidgetFocusTarget target = widgetLayoutFocusTarget(tree->tree(), std::stoull(row[0]), *direction);
        EXPECT_EQ(idOf(target.found, target.id), row[3]);
    }
    EXPECT_FALSE(widgetLayoutFocusTarget({}, std::nullopt, WidgetFocusDirection::next).found);
}

TEST(FocusTargets, NeedAVisibleFrameInsideClippingAncestors) {
    auto tree = testing::installedTree(R"(
column id=1 rect=0,0,400,400
  scroll_view id=2 rect=0,0,200,100
    button id=3 rect=0,100,100,40
    button id=4 rect=0,99,100,40
    popover id=5 rect=300,300,50,50 out_of_flow=1 clips=1
      button id=6 rect=300,300,10,10
      button id=7 rect=340,340,20,20
      button id=8 rect=400,400,20,20
  button id=9 rect=0,150,0,40
)");
    auto at = [&](std::uint64_t id) { return testing::nodeIndex(*tree, id); };
    const struct {
        std::uint64_t id;
        bool visible;
    } cases[] = {
        {3, false},                        // touches the scroll view's bottom edge only
        {4, true},  {5, true}, {6, true},  // outside the scroll view, but its clips end at the out-of-flow popover
        {7, true},                         // overlaps the popover
        {8, false},                        // outside the popover's own clip
        {9, false},                        // no width
    };
    for (const auto& c : cases) {
        EXPECT_EQ(canvasWidgetLayoutNodeFrameVisible(tree->tree(), at(c.id)), c.visible) << c.id;
        EXPECT_EQ(focusTargetFromLayoutNode(tree->tree(), at(c.id)).found, c.visible && c.id != 5) << c.id;
    }
    EXPECT_FALSE(canvasWidgetLayoutNodeFrameVisible(tree->tree(), tree->node_count));
    const WidgetFocusTarget target = focusTargetFromLayoutNode(tree->tree(), at(4));
    EXPECT_EQ(target.id, 4u);
    EXPECT_EQ(target.index, at(4));
    EXPECT_EQ(target.kind, static_cast<std::uint8_t>(WidgetKind::button));
}

}  // namespace
}  // namespace kelvo
