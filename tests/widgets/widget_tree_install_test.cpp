#include "widgets/widget_tree_install.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "widgets/widget_tree.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

std::string written(const WidgetTreeStorage& storage) {
    std::string buffer(1 << 20, '\0');
    BoundedWriter out(buffer);
    EXPECT_TRUE(writeWidgetTreeText(out, storage.tree(), storage.tokens));
    return std::string(out.text());
}

class WidgetTreeInstall : public ::testing::Test {
protected:
    void SetUp() override {
        std::uint32_t line = 0;
        ASSERT_TRUE(parseWidgetTreeText(testing::readData("widgets/sample_tree.txt"), *built, &line)) << line;
        ASSERT_TRUE(installWidgetTree(*view, built->tree(), built->tokens));
        installed = written(*view);
        nodes.assign(view->nodes.begin(), view->nodes.begin() + view->node_count);
    }

    // Installs `nodes` and expects the refusal `error` with the view left exactly as it was.
    void expectRefused(Error error, const WidgetTokens& tokens) {
        EXPECT_EQ(installWidgetTree(*view, nodes, tokens).error(), error);
        EXPECT_EQ(view->revision, 1u);
        EXPECT_EQ(written(*view), installed);
    }
    void expectRefused(Error error) { expectRefused(error, view->tokens); }

    std::unique_ptr<WidgetTreeStorage> built = std::make_unique<WidgetTreeStorage>();
    std::unique_ptr<WidgetTreeStorage> view = std::make_unique<WidgetTreeStorage>();
    std::string installed;
    std::vector<WidgetLayoutNode> nodes;
};

TEST_F(WidgetTreeInstall, TreeFilesWriteBackAsTheyWereRead) {
    // The sample is written in the writer's own form, so reading and writing give it back whole.
    testing::expectGolden("widgets/sample_tree.txt", installed);
    ASSERT_TRUE(parseWidgetTreeText(installed, *built));
    EXPECT_EQ(written(*built), installed);
}

TEST_F(WidgetTreeInstall, InstalledTreesOwnTheirDataAndNestTheirChildren) {
    // Everything points into the view: the builder can be reused at once.
    ASSERT_TRUE(parseWidgetTreeText("stack id=99\n", *built));
    EXPECT_EQ(written(*view), installed);

    for (std::size_t i = 0; i < view->node_count; ++i) {
        const WidgetLayoutNode& node = view->nodes[i];
        std::size_t children = 0;
        for (std::size_t j = i + 1; j < view->node_count && view->nodes[j].depth > node.depth; ++j) {
            if (view->nodes[j].depth != node.depth + 1) continue;
            ASSERT_LT(children, node.child_count);
            const WidgetDescription& nested = node.childDescriptions()[children++];
            EXPECT_EQ(nested.id, view->nodes[j].id);
            EXPECT_EQ(nested.child_count, view->nodes[j].child_count);
            EXPECT_EQ(nested.children, view->nodes[j].children);
        }
        EXPECT_EQ(children, node.child_count) << i;
    }

    // Re-installing the view's own tree goes through a copy and changes nothing but the revision.
    ASSERT_TRUE(installWidgetTree(*view, view->tree(), view->tokens));
    EXPECT_EQ(view->revision, 2u);
    EXPECT_EQ(written(*view), installed);

    // Its own nodes with the last child of the root moved first: texts that come later in the
    // view's store are copied before the ones they would overwrite.
    std::vector<WidgetLayoutNode> moved = {nodes[0]};
    std::size_t last = nodes.size() - 1;
    while (nodes[last].depth != 1) --last;
    moved.insert(moved.end(), nodes.begin() + last, nodes.end());
    moved.insert(moved.end(), nodes.begin() + 1, nodes.begin() + last);
    std::size_t lastAtDepth[8] = {};
    for (std::size_t i = 0; i < moved.size(); ++i) {
        if (moved[i].depth > 0) moved[i].parent = lastAtDepth[moved[i].depth - 1];
        lastAtDepth[moved[i].depth] = i;
    }
    std::string buffer(1 << 16, '\0');
    BoundedWriter expected(buffer);
    ASSERT_TRUE(writeWidgetTreeText(expected, moved, view->tokens));
    ASSERT_TRUE(installWidgetTree(*view, moved, view->tokens));
    EXPECT_EQ(written(*view), expected.text());
}

TEST_F(WidgetTreeInstall, MalformedTreesAreRefusedWithoutChange) {
    const std::size_t leaf = nodes.size() - 1;
    ASSERT_GT(nodes[leaf].depth, 1u);
    auto reset = [&] { nodes.assign(view->nodes.begin(), view->nodes.begin() + view->node_count); };

    nodes[leaf].parent = leaf;
    expectRefused(Error::InvalidWidgetParent);  // a self-parent
    reset();
    nodes[1].parent = leaf;
    expectRefused(Error::InvalidWidgetParent);  // a cycle through a later node
    reset();
    nodes[leaf].parent = 0;
    expectRefused(Error::InvalidWidgetParent);  // a parent that is not the nearest one level up
    reset();
    nodes[0].has_parent = 1;
    expectRefused(Error::InvalidWidgetParent);
    reset();
    nodes[1].depth += 1;
    expectRefused(Error::InvalidWidgetDepth);
    reset();
    nodes[0].depth = 1;
    expectRefused(Error::InvalidWidgetDepth);
    reset();
    nodes[leaf].id = nodes[1].id;
    expectRefused(Error::DuplicateWidgetId);
    reset();
    nodes[leaf].kind = 61;
    expectRefused(Error::InvalidWidgetKind);
    reset();
    nodes[leaf].size = 6;
    expectRefused(Error::InvalidWidgetControlSize);
    reset();
    WidgetTokens tokens;
    tokens.density = 3;
    expectRefused(Error::InvalidWidgetDensity, tokens);

    std::string big(kWidgetTextStoreBytes, 'x');
    nodes.assign(2, WidgetLayoutNode{});
    nodes[1].depth = nodes[1].has_parent = 1;
    nodes[0].text = std::string_view(big).substr(0, kWidgetTextStoreBytes - 1);
    nodes[1].label = "ab";
    expectRefused(Error::WidgetTextTooLarge);
    nodes[1].label = "a";
    ASSERT_TRUE(installWidgetTree(*built, nodes, tokens = WidgetTokens{}));

    std::vector<float> values(kMaxWidgetChartValues + 1);
    ChartSeries series{values, {}, "", 0, 0, false};
    nodes.assign(1, WidgetLayoutNode{});
    nodes[0].chart.series = {&series, 1};
    expectRefused(Error::WidgetDataListFull);
    std::vector<TextSpan> spans(kMaxWidgetTextSpans + 1);
    nodes[0].chart.series = {};
    nodes[0].spans = spans.data();
    nodes[0].span_count = spans.size();
    expectRefused(Error::WidgetDataListFull);
    nodes[0].span_count = kMaxWidgetTextSpans;
    ASSERT_TRUE(installWidgetTree(*built, nodes, tokens));
}

TEST_F(WidgetTreeInstall, NodeCountAndDepthAreBounded) {
    std::vector<WidgetLayoutNode> chain(kMaxWidgetDepth + 2);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        chain[i].depth = i;
        chain[i].has_parent = 1;
        chain[i].parent = i - 1;
    }
    nodes = chain;
    expectRefused(Error::WidgetDepthExceeded);
    chain.pop_back();
    ASSERT_TRUE(installWidgetTree(*built, chain, WidgetTokens{}));

    nodes.assign(kMaxWidgetNodes + 1, WidgetLayoutNode{});
    expectRefused(Error::WidgetNodeLimitReached);
    nodes.pop_back();
    ASSERT_TRUE(installWidgetTree(*built, nodes, WidgetTokens{}));
}

TEST(WidgetTreeText, SkipsCommentsAndBlankLinesAndTakesCarriageReturns) {
    auto built = std::make_unique<WidgetTreeStorage>();
    ASSERT_TRUE(parseWidgetTreeText(
        "# a comment\r\n\ncolumn id=1\r\n   \n  # indented comment\n  text id=2 text=\"a # b\"\r\n", *built));
    ASSERT_EQ(built->node_count, 2u);
    EXPECT_EQ(built->nodes[1].text, "a # b");
    EXPECT_EQ(built->nodes[1].parent, 0u);
    ASSERT_TRUE(parseWidgetTreeText("", *built));
    EXPECT_EQ(built->node_count, 0u);
}

TEST(WidgetTreeText, RefusesWhatDoesNotFollowTheFormat) {
    auto built = std::make_unique<WidgetTreeStorage>();
    for (const std::string& line : testing::readLines("widgets/bad_trees.txt")) {
        std::size_t first = line.find(' '), second = line.find(' ', first + 1);
        std::string text = line.substr(second + 1);
        for (char& c : text) c = c == '|' ? '\n' : c;
        std::uint32_t errorLine = 0;
        Status status = parseWidgetTreeText(text, *built, &errorLine);
        ASSERT_FALSE(status) << line;
        EXPECT_EQ(errorName(status.error()), line.substr(0, first)) << line;
        EXPECT_EQ(errorLine, std::stoul(line.substr(first + 1, second - first - 1))) << line;
        EXPECT_EQ(built->node_count, 0u);
    }
}

}  // namespace
}  // namespace kelvo
