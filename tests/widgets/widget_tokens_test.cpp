#include "widgets/widget_tokens.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>

#include "support/golden.hpp"
#include "widgets/widget_render_style.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {
namespace {

std::string tokenLines(const WidgetTokens& tokens, bool everyField) {
    std::string buffer(1 << 16, '\0');
    BoundedWriter out(buffer);
    writeWidgetTokenLines(out, tokens, everyField);
    EXPECT_FALSE(out.overflowed());
    return std::string(out.text());
}

TEST(WidgetTokens, DefaultsMatchTheTokenTable) {
    // Apply the table to a record that starts from zero: it must then write exactly as the default
    // record, field for field, and name every field the writer knows.
    auto tokens = std::make_unique<WidgetTokens>();
    std::memset(static_cast<void*>(tokens.get()), 0, sizeof(WidgetTokens));
    std::size_t assignments = 0;
    std::vector<std::string> blocks;
    for (const auto& row : testing::readTable("widgets/default_tokens.txt")) {
        if (row[0] == "block") {
            blocks.push_back(row[1]);
            continue;
        }
        for (std::size_t i = 1; i < row.size(); ++i, ++assignments) {
            ASSERT_TRUE(applyWidgetTokenAssignment(row[i], *tokens)) << row[i];
        }
    }
    const std::string expected = tokenLines(defaultWidgetTokens(), true);
    EXPECT_EQ(tokenLines(*tokens, true), expected);
    EXPECT_EQ(static_cast<std::size_t>(std::count(expected.begin(), expected.end(), '\n')), assignments);

    // The default record differs from itself nowhere: every block is empty.
    EXPECT_EQ(tokenLines(defaultWidgetTokens(), false), "");
    ASSERT_EQ(blocks.size(), kControlBlockCount);
    for (unsigned i = 0; i < kControlBlockCount; ++i) {
        auto marked = std::make_unique<WidgetTokens>();
        marked->blocks[i].border_width = 3;
        EXPECT_EQ(tokenLines(*marked, false), "tokens block." + blocks[i] + ".border_width=3\n");
    }
}

TEST(WidgetTokens, UndefinedDensityAndSizeCodesScaleByOne) {
    const float density[4] = {0.875f, 1.0f, 1.125f, 1.0f};
    const float thumb[4] = {15.75f, 18, 20.25f, 18};
    const float indicatorMin[4] = {14, 16, 18, 16};
    const float indicatorMax[4] = {17.5f, 20, 22.5f, 20};
    for (std::uint8_t code = 0; code < 4; ++code) {
        EXPECT_EQ(densityScale(code), density[code]) << int(code);
        EXPECT_EQ(densityScrollbarMinThumb(code), thumb[code]);
        EXPECT_EQ(densityIndicatorMin(code), indicatorMin[code]);
        EXPECT_EQ(densityIndicatorMax(code), indicatorMax[code]);
        EXPECT_EQ(densityScale(code | 4), density[code]);  // only the low 2 bits count
    }
    const float size[8] = {1.0f, 0.875f, 1.125f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    for (std::uint8_t code = 0; code < 16; ++code) EXPECT_EQ(controlSizeScale(code), size[code & 7]) << int(code);
}

TEST(WidgetRenderStyle, HairlinesLandOnDevicePixelsInsideTheFrame) {
    for (const auto& row : testing::readTable("widgets/hairline.txt")) {
        SCOPED_TRACE(row[1] + " " + row[2] + " " + row[3]);
        std::vector<float> v;
        for (std::size_t i = 0; i < 8; ++i) v.push_back(row[i] == "nan" ? NAN : std::stof(row[i]));
        StrokeRectCommand payload{
            7, {Paint::solid({0, 0, 0, 1}), v[2]}, {v[3], v[4], v[5], v[6]}, {v[7], v[7], v[7], v[7]}};
        StrokeRectCommand snapped = snapHairlineStrokeRect(payload, v[0] != 0, v[1]);
        EXPECT_EQ(snapped.id, 7u);
        const bool same = row[9] == "same";
        const float width = same ? v[2] : std::stof(row[9]);
        const Rect rect =
            same ? payload.rect : Rect{std::stof(row[10]), std::stof(row[11]), std::stof(row[12]), std::stof(row[13])};
        const float radius = same ? v[7] : std::stof(row[14]);
        EXPECT_FLOAT_EQ(snapped.stroke.width, width);
        EXPECT_FLOAT_EQ(snapped.rect.x, rect.x);
        EXPECT_FLOAT_EQ(snapped.rect.y, rect.y);
        EXPECT_FLOAT_EQ(snapped.rect.width, rect.width);
        EXPECT_FLOAT_EQ(snapped.rect.height, rect.height);
        EXPECT_FLOAT_EQ(snapped.radii.top_left, radius);
        EXPECT_FLOAT_EQ(snapped.radii.bottom_left, radius);
    }
}

TEST(WidgetRenderStyle, ColourRulesPerVariantAndState) {
    auto built = std::make_unique<WidgetTreeStorage>();
    for (const std::string& line : testing::readLines("widgets/style_rules.txt")) {
        SCOPED_TRACE(line);
        std::istringstream cells(line.substr(0, line.find('|')));
        std::string function, expected, assignment, tokens = "tokens";
        cells >> function >> expected;
        while (cells >> assignment) tokens += " " + assignment;
        std::uint32_t errorLine = 0;
        ASSERT_TRUE(parseWidgetTreeText(tokens + "\n" + line.substr(line.find('|') + 2), *built, &errorLine));
        const WidgetLayoutNode& node = built->nodes[0];
        const WidgetTokens& t = built->tokens;
        if (function == "stroke") {
            EXPECT_FLOAT_EQ(buttonStrokeWidth(node, t), std::stof(expected));
            continue;
        }
        WidgetTokens reader;
        ASSERT_TRUE(applyWidgetTokenAssignment("palette.background=" + expected, reader));
        const Color want = reader.palette[0];
        Color got;
        if (function == "fill") {
            got = buttonFillColor(node, t);
        } else if (function == "text") {
            got = buttonTextColorForWidget(node, t);
        } else if (function == "ink") {
            got = textEditingInkColor(node, t);
        } else {
            ASSERT_EQ(function, "list");
            got = listItemFillColor(node.widgetKind(), t,
                                    {node.hovered != 0, node.pressed != 0, node.selected != 0, node.no_hover != 0});
        }
        EXPECT_NEAR(got.r, want.r, 1e-6);
        EXPECT_NEAR(got.g, want.g, 1e-6);
        EXPECT_NEAR(got.b, want.b, 1e-6);
        EXPECT_NEAR(got.a, want.a, 1e-6);
    }
}

TEST(WidgetRenderStyle, FallbackMergeTakesThePrimaryAndDropsTheActiveForeground) {
    ControlVisualTokens primary, fallback;
    primary.fill = Color{1, 0, 0, 1};
    primary.active_foreground = Color{0, 1, 0, 1};
    fallback.fill = Color{0, 0, 1, 1};
    fallback.border_width = 2;
    fallback.active_foreground = Color{0, 0, 1, 1};
    ControlVisualTokens merged = controlVisualTokensWithFallback(primary, fallback);
    EXPECT_EQ(merged.fill->r, 1);
    EXPECT_EQ(merged.border_width, 2);
    EXPECT_FALSE(merged.active_foreground);
    EXPECT_FALSE(merged.hover_fill);

    WidgetTokens tokens;
    tokens.block(ControlBlock::surface).corner_radius = 9;
    tokens.block(ControlBlock::overlay).corner_radius = 11;
    tokens.block(ControlBlock::card).corner_radius = 5;
    EXPECT_EQ(surfaceControlVisualTokens(WidgetKind::card, tokens).corner_radius, 5);
    EXPECT_EQ(surfaceControlVisualTokens(WidgetKind::alert, tokens).corner_radius, 9);
    EXPECT_EQ(surfaceControlVisualTokens(WidgetKind::sheet, tokens).corner_radius, 11);
    EXPECT_FALSE(surfaceControlVisualTokens(WidgetKind::button, tokens).corner_radius);
}

}  // namespace
}  // namespace kelvo
