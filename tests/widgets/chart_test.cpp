#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/number_text.hpp"
#include "support/golden.hpp"
#include "widgets/chart.hpp"
#include "widgets/render_fixture.hpp"
#include "widgets/widget_render_chart.hpp"

namespace kelvo {
namespace {

ChartData chartOf(std::span<const ChartSeries> series) {
    ChartData chart;
    chart.series = series;
    return chart;
}

float number(const std::string& text) {
    if (text == "nan") return std::numeric_limits<float>::quiet_NaN();
    if (text == "inf") return std::numeric_limits<float>::infinity();
    if (text == "-inf") return -std::numeric_limits<float>::infinity();
    return *parseF32(text);
}

TEST(ChartNumbers, LatticesAndValueTextsFollowTheTable) {
    for (const auto& row : testing::readTable("widgets/chart_numbers.txt")) {
        SCOPED_TRACE(row[0] + " " + row[1] + " " + row[2]);
        if (row[0] == "lattice") {
            const ChartTickLattice lattice = chartTickLattice(number(row[1]), number(row[2]), std::stoull(row[3]));
            EXPECT_EQ(lattice.count, std::stoull(row[4]));
            EXPECT_NEAR(lattice.start, number(row[5]), 1e-6);
            EXPECT_FLOAT_EQ(lattice.step, number(row[6]));
            EXPECT_EQ(lattice.format_mode, std::stoi(row[7]));
        } else {
            std::array<char, kChartValueTextCapacity> buffer;
            EXPECT_EQ(formatChartValue(number(row[1]), buffer, static_cast<std::uint8_t>(std::stoi(row[2]))), row[3]);
        }
    }
}

TEST(ChartDomain, WidensDegenerateRangesAndHonoursFiniteBounds) {
    const std::vector<float> fives{5, 5, 5};
    const std::vector<float> bars{3, 7};
    const std::vector<float> none{std::nanf(""), std::numeric_limits<float>::infinity()};
    const ChartSeries flat[] = {{fives, {}, "", 0, 7, false}};
    const ChartSeries bar[] = {{bars, {}, "", 1, 7, false}};
    const ChartSeries empty[] = {{none, {}, "", 0, 7, false}};

    EXPECT_EQ(chartDomain(chartOf(flat)).min, 4.5f);
    EXPECT_EQ(chartDomain(chartOf(flat)).max, 5.5f);
    EXPECT_EQ(chartDomain(chartOf(bar)).min, 0.0f);
    EXPECT_EQ(chartDomain(chartOf(bar)).max, 7.0f);
    EXPECT_EQ(chartDomain(chartOf(empty)).min, 0.0f);
    EXPECT_EQ(chartDomain(chartOf(empty)).max, 1.0f);

    ChartData explicitBounds = chartOf(bar);
    explicitBounds.minimum = std::nanf("");
    explicitBounds.maximum = 10;
    EXPECT_EQ(chartDomain(explicitBounds).min, 0.0f);
    EXPECT_EQ(chartDomain(explicitBounds).max, 10.0f);
    explicitBounds.minimum = 20;  // above the maximum: a range around the minimum
    EXPECT_EQ(chartDomain(explicitBounds).min, 19.5f);
    EXPECT_EQ(chartDomain(explicitBounds).max, 20.5f);
}

// At 2^24 and above half a unit is lost to rounding; the range must still be a range, and the
// series drawn at a finite height in the middle.
TEST(ChartDomain, EqualLargeValuesKeepAFiniteRange) {
    for (float big : {16777216.0f, -16777216.0f, 3e38f, std::numeric_limits<float>::max()}) {
        const std::vector<float> values(4, big);
        const ChartSeries series[] = {{values, {}, "", 0, 7, false}};
        const ChartDomain domain = chartDomain(chartOf(series));
        EXPECT_LT(domain.min, domain.max) << big;
        EXPECT_TRUE(std::isfinite(domain.min) && std::isfinite(domain.max)) << big;
        for (Point p : chartPolylinePoints(values, domain, {0, 0, 100, 50}, 0)) {
            EXPECT_TRUE(p.y >= 0 && p.y <= 50) << big;
            // The largest float cannot be centred: the range ends there.
            if (big != std::numeric_limits<float>::max()) {
                EXPECT_NEAR(p.y, 25, 1) << big;
            }
        }
    }
}

// A long series keeps its first and last value at the plot's ends and its extremes, at the x of
// their own index among all values.
TEST(ChartPolyline, ALongLineSpansThePlotAndKeepsItsExtremes) {
    std::vector<float> values(1000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(static_cast<float>(i) * 0.05f);
    values[333] = 5;
    values[777] = -5;
    const ChartDomain domain{-5, 5};
    const Rect plot{10, 20, 400, 100};
    const std::span<const Point> points = chartPolylinePoints(values, domain, plot, 1);
    ASSERT_LE(points.size(), kChartPolylineCapacity);
    ASSERT_GT(points.size(), 64u);
    EXPECT_FLOAT_EQ(points.front().x, 11);
    EXPECT_FLOAT_EQ(points.back().x, 409);
    bool top = false;
    bool bottom = false;
    for (Point p : points) {
        if (p.y == 21) {
            top = true;
            EXPECT_NEAR(p.x, 11 + 398.0f * 333 / 999, 1e-3);
        }
        if (p.y == 119) {
            bottom = true;
            EXPECT_NEAR(p.x, 11 + 398.0f * 777 / 999, 1e-3);
        }
    }
    EXPECT_TRUE(top && bottom);
    for (std::size_t i = 1; i < points.size(); ++i) EXPECT_LT(points[i - 1].x, points[i].x);
}

TEST(ChartPolyline, SkipsValuesThatAreNotNumbers) {
    const std::vector<float> values{1, std::nanf(""), 3, std::numeric_limits<float>::infinity(), 5};
    const std::span<const Point> points = chartPolylinePoints(values, {0, 10}, {0, 0, 100, 100}, 0);
    ASSERT_EQ(points.size(), 2u + 1u);
    EXPECT_FLOAT_EQ(points[1].x, 50);
    EXPECT_TRUE(chartPolylinePoints({}, {0, 1}, {0, 0, 100, 100}, 0).empty());
}

// Charts drawn whole: a single finite value among NaNs is a dot, an empty series draws nothing,
// and no series at all still draws the grid over 0..1.
TEST(ChartEmission, DotsEmptySeriesAndBareGrids) {
    const std::vector<float> lonely{std::nanf(""), 4, std::nanf("")};
    const std::vector<float> none;
    const ChartSeries series[] = {
        {lonely, {}, "", 0, 7, false}, {none, {}, "", 0, 7, true}, {none, {}, "", 1, 7, false}};
    WidgetDescription widget;
    widget.kind = static_cast<std::uint8_t>(WidgetKind::chart);
    widget.id = 3;
    widget.frame = {0, 0, 200, 100};
    widget.chart.series = series;
    widget.chart.grid_count = 3;
    testing::RenderedList list;
    ASSERT_TRUE(emitChartWidget(list.target, widget, {}));
    std::string dump = testing::dumpCommands(list.commands());
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 4) << dump;  // three grid lines, one dot
    EXPECT_NE(dump.find(" r=1.5 #171717ff"), std::string::npos) << dump;

    widget.chart.series = {};
    list.clear();
    ASSERT_TRUE(emitChartWidget(list.target, widget, {}));
    EXPECT_EQ(list.commands().size(), 3u);
}

// A chart on a plot too wide to count (an unchecked tree's infinite width) still draws its
// category labels, one per category.
TEST(ChartEmission, CategoryLabelsOnAnInfinitelyWidePlot) {
    const std::vector<float> values{1, 2};
    const ChartSeries series[] = {{values, {}, "", 0, 7, false}};
    const std::string_view labels[] = {"Jan", "Feb"};
    WidgetDescription widget;
    widget.kind = static_cast<std::uint8_t>(WidgetKind::chart);
    widget.id = 3;
    widget.frame = {0, 0, std::numeric_limits<float>::infinity(), 100};
    widget.chart.series = series;
    widget.chart.labels = labels;
    testing::RenderedList list;
    ASSERT_TRUE(emitChartWidget(list.target, widget, {}));
    const std::string dump = testing::dumpCommands(list.commands());
    EXPECT_NE(dump.find("Jan"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Feb"), std::string::npos) << dump;
}

TEST(ChartHover, PicksTheNearestPointOrTheSlotAndPlacesTheTooltip) {
    const std::vector<float> five{1, 2, 3, 4, 5};
    const ChartSeries line[] = {{five, {}, "", 0, 7, false}};
    const ChartSeries bars[] = {{five, {}, "", 1, 7, false}};
    WidgetDescription widget;
    widget.kind = static_cast<std::uint8_t>(WidgetKind::chart);
    widget.chart_interactive = 1;
    widget.frame = {0, 0, 100, 100};
    const Rect viewport{0, 0, 1000, 500};

    widget.chart.series = line;
    ChartHoverDetail detail = chartWidgetHoverDetail(widget, {}, viewport, 60);
    ASSERT_TRUE(detail.valid);
    EXPECT_EQ(detail.point_index, 2u);
    EXPECT_FLOAT_EQ(detail.anchor_x, 50);
    EXPECT_FLOAT_EQ(detail.tooltip.x, 62);

    widget.chart.series = bars;
    detail = chartWidgetHoverDetail(widget, {}, viewport, 60);
    EXPECT_EQ(detail.point_index, 3u);
    EXPECT_FLOAT_EQ(detail.anchor_x, 70);

    // No room to the right: the tooltip goes left of the anchor.
    widget.frame.x = 200;
    detail = chartWidgetHoverDetail(widget, {}, {0, 0, 320, 500}, 260);
    EXPECT_FLOAT_EQ(detail.tooltip.x + detail.tooltip.width, 270 - 12);

    widget.chart_interactive = 0;
    EXPECT_FALSE(chartWidgetHoverDetail(widget, {}, viewport, 60).valid);
}

}  // namespace
}  // namespace kelvo
