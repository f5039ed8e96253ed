#pragma once

// Chart geometry and drawing: the plot rectangle, the polyline of a series, the chart's commands
// (grid, baseline, axis labels, line, area, band and bar series, category labels) and the hover
// detail: which point the pointer is over, where its tooltip goes, what a moving hover repaints,
// and the tooltip itself, drawn over the whole tree.

#include <cstdint>
#include <optional>
#include <span>

#include "widgets/chart.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// Hash seeds of the chart's command families (keys over widget id, family or series, element).
namespace chart_keys {
inline constexpr std::uint64_t kGridLine = 0x43475244;
inline constexpr std::uint64_t kAxisLabel = 0x4341584c;
inline constexpr std::uint64_t kLine = 0x434c494e;
inline constexpr std::uint64_t kArea = 0x43415245;
inline constexpr std::uint64_t kBand = 0x4342414e;
inline constexpr std::uint64_t kBar = 0x43424152;
inline constexpr std::uint64_t kCategoryLabel = 0x4343544c;
inline constexpr std::uint64_t kHoverDetail = 0x43484f56;
}  // namespace chart_keys

// The size of axis and category labels: the caption size less 2, at least 9.
float chartLabelFontSize(const WidgetTokens& tokens);

// The content box less the category label band below it and the axis label column left of it.
Rect chartWidgetPlotRect(const WidgetDescription& widget, const WidgetTokens& tokens);

// The points of a series inside `plot` less `inset` on every side, in the calling thread's polyline
// buffer (valid until the next call). Points are placed across the whole width from the series'
// full count; values that are not finite leave a gap. A series of more than 256 values is thinned
// to the first, lowest, highest and last finite value of each of 64 runs, so its extremes survive.
std::span<const Point> chartPolylinePoints(std::span<const float> values, const ChartDomain& domain, Rect plot,
                                           float inset);

// The point index under the pointer's x of an interactive chart: across the plot, a slot per
// point when every series is a bar series, else the nearest point (halves away from 0); none for
// other widgets, an empty chart, a plot without area or a position that is not finite.
std::optional<std::uint64_t> chartHoverPointIndex(const WidgetDescription& widget, const WidgetTokens& tokens,
                                                  float pointerX);

struct ChartHoverDetail {
    std::uint64_t point_index = 0;
    Rect plot;
    float anchor_x = 0;
    Rect tooltip;
    bool valid = false;
};

// The point under the pointer's x and the tooltip placed beside it within `viewport`.
ChartHoverDetail chartWidgetHoverDetail(const WidgetDescription& widget, const WidgetTokens& tokens, Rect viewport,
                                        float pointerX);

// The area a hover detail covers under the render state's pointer (plot and tooltip), for the
// hovered interactive chart; none otherwise.
std::optional<Rect> chartHoverDetailDirtyBounds(WidgetLayoutTree tree, const WidgetTokens& tokens,
                                                const WidgetRenderState& state);

Status emitChartWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);

// The hovered chart's tooltip (guide line, box, title, one row per series), when the hovered
// widget is an interactive chart with hover details on.
Status emitChartHoverDetail(WidgetRenderTarget& out, WidgetLayoutTree tree, const WidgetTokens& tokens,
                            const WidgetRenderState& state);

}  // namespace kelvo
