#include "widgets/widget_tree.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "support/golden.hpp"
#include "widgets/tree_fixture.hpp"
#include "widgets/virtual_list.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

float number(const std::string& cell) {
    if (cell == "nan") return NAN;
    if (cell == "inf") return INFINITY;
    return std::stof(cell);
}

TEST(WidgetKinds, NamesAndSetsFollowTheKindTable) {
    for (const auto& row : testing::readTable("widgets/kinds.txt")) {
        auto kind = static_cast<WidgetKind>(std::stoi(row[0]));
        SCOPED_TRACE(row[0]);
        EXPECT_EQ(widgetKindName(kind), row[1] == "-" ? "" : row[1]);
        if (row[1] != "-") {
            EXPECT_EQ(widgetKindFromName(row[1]), kind);
        }
        const std::string sets = row[2];
        EXPECT_EQ(isKeyboardFocusKind(kind), sets.find('F') != std::string::npos);
        EXPECT_EQ(isPointerTargetKind(kind), sets.find('P') != std::string::npos);
        EXPECT_EQ(isHoverTargetKind(kind), sets.find('H') != std::string::npos);
        EXPECT_EQ(drawsFocusRing(kind), sets.find('R') != std::string::npos);
    }
    EXPECT_EQ(widgetKindFromBits(0x40 | 31), WidgetKind::button);
}

TEST(VirtualListRange, FollowsTheRangeTable) {
    for (const auto& row : testing::readTable("widgets/virtual_list.txt")) {
        SCOPED_TRACE(row[0] + " " + row[2] + " " + row[5]);
        VirtualListInput input{std::stoull(row[0]), std::stoull(row[1]), number(row[2]),
                               number(row[3]),      number(row[4]),      number(row[5])};
        VirtualListRange range = virtualListRange(input);
        EXPECT_EQ(range.start, std::stoull(row[7]));
        EXPECT_EQ(range.stop, std::stoull(row[8]));
        EXPECT_EQ(range.first_visible, std::stoull(row[9]));
        EXPECT_EQ(range.last_visible, std::stoull(row[10]));
        EXPECT_FLOAT_EQ(range.content, number(row[11]));
        EXPECT_FLOAT_EQ(range.clamped_offset, number(row[12]));
        EXPECT_FLOAT_EQ(range.overscroll_offset, number(row[13]));
        EXPECT_FLOAT_EQ(range.leading_spacer, number(row[14]));
        EXPECT_FLOAT_EQ(range.trailing_spacer, number(row[15]));
    }
}

WidgetDescription childOfHeight(float height) {
    WidgetDescription child;
    child.frame.height = height;
    return child;
}

TEST(VirtualContentExtent, CountsItemsAndMeasuresTheFirstRow) {
    const WidgetTokens& tokens = defaultWidgetTokens();
    std::vector<WidgetDescription> children(7, childOfHeight(20));

    WidgetDescription list;
    list.kind = static_cast<std::uint8_t>(WidgetKind::virtual_list);
    list.children = children.data();
    list.child_count = 5;
    list.virtual_count = 10;
    list.virtual_first = 8;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(list, tokens, 100), 13 * 20);
    list.content_extent = 500;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(list, tokens, 100), 500);

    WidgetDescription grid;
    grid.kind = static_cast<std::uint8_t>(WidgetKind::virtual_grid);
    children[1].frame.height = 30;
    children[3].frame.height = 90;  // second row: not measured
    grid.children = children.data();
    grid.child_count = 7;
    grid.columns = 3;
    grid.gap = 2;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(grid, tokens, 100), 3 * 30 + 2 * 2);
    grid.columns = 7;  // not below the child count: one row of all children
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(grid, tokens, 100), 90);

    WidgetDescription rows;
    rows.row_count = 4;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(rows, tokens, 100), 0);  // nothing to measure
    rows.item_extent = 25;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(rows, tokens, 100), 100);
    rows.row_count.reset();
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(rows, tokens, 100), 0);

    // Children without a frame height count with their intrinsic height, then are limited and raised.
    WidgetDescription measured = childOfHeight(0);
    measured.kind = static_cast<std::uint8_t>(WidgetKind::icon);
    WidgetDescription column;
    column.children = &measured;
    column.child_count = 1;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(column, tokens, 100), 18);
    measured.min_size.height = 22;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(column, tokens, 100), 22);
    measured.frame.height = 50;
    measured.max_size.height = 30;
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(column, tokens, 100), 30);
}

TEST(VirtualContentExtent, ScrollContainersInATreeReachTheirLowestDescendant) {
    auto tree = testing::installedTree(R"(
column id=1 rect=0,0,300,400
  scroll_view id=2 rect=0,10,300,100 insets=4,0,6,0 value=25
    column id=3 rect=0,-11,300,150
      accordion id=4 rect=0,139,300,40
        text id=5 rect=0,179,300,400
  scroll_view id=6 rect=0,200,300,100 insets=4,0,6,0
    icon id=7 rect=0,204,18,18
  scroll_view id=8 rect=0,300,300,100 scrollable=1 virtual_count=50 item_extent=10
)");
    const WidgetTokens& tokens = tree->tokens;
    // Content top 14, viewport 90; lowest bottom 25 + 179 + 400.
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(tree->tree(), tokens, 1), 604 - 14);
    EXPECT_FLOAT_EQ(widgetDescendantContentExtent(tree->tree(), 1, 90, true), 25 + 179 - 14);
    // Content that fits is as long as the viewport.
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(tree->tree(), tokens, testing::nodeIndex(*tree, 6)), 90);
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(tree->tree(), tokens, testing::nodeIndex(*tree, 8)),
                    500);
    EXPECT_FLOAT_EQ(virtualWidgetScrollContentExtentWithTokens(tree->tree(), tokens, tree->node_count), 0);
}

class Disclosure : public ::testing::Test {
protected:
    void SetUp() override {
        std::uint32_t line = 0;
        ASSERT_TRUE(parseWidgetTreeText(testing::readData("widgets/disclosure_tree.txt"), *built, &line)) << line;
        ASSERT_TRUE(installWidgetTree(*tree, built->tree(), built->tokens));
    }

    // The index of the node with the given id.
    std::size_t at(std::uint64_t id) const {
        for (std::size_t i = 0; i < tree->node_count; ++i) {
            if (tree->nodes[i].id == id) return i;
        }
        ADD_FAILURE() << "no node " << id;
        return 0;
    }

    std::unique_ptr<WidgetTreeStorage> built = std::make_unique<WidgetTreeStorage>();
    std::unique_ptr<WidgetTreeStorage> tree = std::make_unique<WidgetTreeStorage>();
};

TEST_F(Disclosure, ClosedOrClosingAccordionsConcealTheirContent) {
    const struct {
        std::uint64_t id;
        bool concealed;
    } cases[] = {
        {3, true},    // closed, value 0.3
        {5, false},   // value 0.5, content inside
        {7, true},    // value 0.5, content more than 0.5 below: still closing
        {10, false},  // value 0.5, only an out-of-flow descendant reaches below
        {13, true},   // value NaN
        {15, false},  // open, content inside
        {17, true},   // nested under a closed accordion two levels up
        {1, false},   // a root
    };
    for (const auto& c : cases) EXPECT_EQ(isWidgetConcealedByDisclosure(tree->tree(), at(c.id)), c.concealed) << c.id;
    EXPECT_FALSE(isWidgetConcealedByDisclosure(tree->tree(), tree->node_count));
}

TEST(WidgetTreeWalks, MalformedParentsEndTheWalk) {
    std::vector<WidgetLayoutNode> nodes(40);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].kind = static_cast<std::uint8_t>(WidgetKind::accordion);
        nodes[i].selected = 1;
        nodes[i].depth = i;
        nodes[i].has_parent = i > 0;
        nodes[i].parent = i > 0 ? i - 1 : 0;
    }
    nodes[0].selected = 0;  // only the root conceals: 39 levels up, past the walk's bound
    EXPECT_FALSE(isWidgetConcealedByDisclosure(nodes, 39));
    EXPECT_TRUE(isWidgetConcealedByDisclosure(nodes, 31));

    nodes[5].parent = 5;  // a self-parent ends the walk
    nodes[6].parent = 9;  // as does a parent after the node
    EXPECT_FALSE(isWidgetConcealedByDisclosure(nodes, 5));
    EXPECT_FALSE(isWidgetConcealedByDisclosure(nodes, 6));
    std::size_t steps = 0;
    forEachWidgetAncestor(nodes, 39, [&](std::size_t) { return ++steps, true; });
    EXPECT_EQ(steps, kMaxWidgetAncestorSteps);
}

}  // namespace
}  // namespace kelvo
