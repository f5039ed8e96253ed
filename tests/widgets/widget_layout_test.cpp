#include "widgets/widget_layout.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden.hpp"
#include "text/fixed_measurer.hpp"
#include "widgets/tree_fixture.hpp"
#include "widgets/widget_metrics.hpp"

namespace kelvo {
namespace {

std::string sizeText(WidgetSize size) {
    char text[64];
    std::snprintf(text, sizeof text, "%gx%g", size.width, size.height);
    return text;
}

// A tree (its first node is measured) and the line after it that gives the expected sizes.
struct SizeCase {
    std::string tree;
    std::string expected;
};

std::vector<SizeCase> readSizeCases(std::string_view name) {
    std::vector<SizeCase> cases;
    std::string tree;
    for (const std::string& line : testing::readLines(name)) {
        if (line.rfind("=>", 0) == 0) {
            cases.push_back({tree, line.substr(2)});
            tree.clear();
        } else {
            tree += line + "\n";
        }
    }
    return cases;
}

// Every character is one em wide, so widths can be worked out by hand.
const TextMeasurer kEmMeasurer = testing::widthOnlyMeasurer();

// Each case gives either one size under the tree's tokens ("depth=N" measures as if that deep,
// "estimate" without a measurer: by the built-in per-face estimate), or nine: densities compact,
// regular and large, each at control sizes default, small and large of the measured node.
TEST(IntrinsicSizes, FollowTheSizeTables) {
    for (const char* file : {"widgets/intrinsic_sizes.txt", "widgets/intrinsic_cases.txt"}) {
        for (const SizeCase& c : readSizeCases(file)) {
            SCOPED_TRACE(c.tree);
            auto tree = testing::installedTree(c.tree);
            ASSERT_GT(tree->node_count, 0u);
            WidgetTokens tokens = tree->tokens;
            tokens.text_measurer = &kEmMeasurer;
            std::istringstream cells(c.expected);
            std::vector<std::string> expected;
            for (std::string cell; cells >> cell;) expected.push_back(cell);

            std::uint64_t depth = 0;
            if (!expected.empty() && expected[0].rfind("depth=", 0) == 0) {
                depth = std::stoull(expected[0].substr(6));
                expected.erase(expected.begin());
            }
            if (!expected.empty() && expected[0] == "estimate") {
                tokens.text_measurer = nullptr;
                expected.erase(expected.begin());
            }
            std::string actual;
            if (expected.size() == 1) {
                actual = sizeText(intrinsicWidgetSizeDepth(tree->nodes[0], tokens, depth));
            } else {
                WidgetDescription widget = tree->nodes[0];
                for (std::uint8_t density = 0; density < 3; ++density) {
                    for (std::uint8_t size = 0; size < 3; ++size) {
                        tokens.density = density;
                        widget.size = size;
                        if (!actual.empty()) actual += ' ';
                        actual += sizeText(intrinsicWidgetSizeDepth(widget, tokens, 0));
                    }
                }
            }
            std::string want;
            for (const std::string& cell : expected) {
                if (!want.empty()) want += ' ';
                want += cell;
            }
            EXPECT_EQ(actual, want);
        }
    }
}

TEST(WidgetMetrics, SnapsLengthsUpAndRectanglesToTheNearestPixel) {
    WidgetTokens tokens;
    EXPECT_FLOAT_EQ(snapWidgetLength(10.2f, tokens), 10.2f);  // snapping off
    tokens.snap_geometry = true;
    tokens.pixel_scale = 2;
    EXPECT_FLOAT_EQ(snapWidgetLength(10.2f, tokens), 10.5f);
    EXPECT_FLOAT_EQ(snapWidgetLength(10.5f, tokens), 10.5f);
    Rect snapped = snapWidgetRect({10.3f, 4.2f, -5.1f, 0.1f}, tokens);  // folded first: x 5.2, width 5.1
    EXPECT_FLOAT_EQ(snapped.x, 5.0f);
    EXPECT_FLOAT_EQ(snapped.width, 5.5f);
    EXPECT_FLOAT_EQ(snapped.y, 4.0f);
    EXPECT_FLOAT_EQ(snapped.height, 0.5f);
    for (float scale : {0.0f, -2.0f, NAN, INFINITY}) {
        tokens.pixel_scale = scale;
        EXPECT_FLOAT_EQ(snapWidgetLength(10.2f, tokens), 10.2f) << scale;
    }
}

}  // namespace
}  // namespace kelvo
