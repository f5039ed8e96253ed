#include "widgets/widget_render_chart.hpp"

#include <array>

#include "text/text_metrics.hpp"
#include "text/text_spans.hpp"
#include "widgets/widget_render_content.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr std::size_t kThinningRuns = 64;
constexpr float kLabelGap = 6;
constexpr float kDefaultLineWidth = 1.5f;
constexpr float kAreaAlpha = 0.18f;
constexpr float kBandAlpha = 0.25f;
constexpr std::uint64_t kBaselineFamily = 1;

enum SeriesKind : std::uint8_t { kLineSeries = 0, kBarSeries = 1, kBandSeries = 2 };

std::uint8_t seriesKind(const ChartSeries& series) { return series.kind & 3u; }

using ValueText = std::array<char, kChartValueTextCapacity>;

float textWidth(const WidgetTokens& tokens, std::string_view text, float size) {
    return measureTextWidthForFont(tokens.text_measurer, tokens.default_font, text, size);
}

bool onlyBarsOrEmpty(const ChartData& chart) {
    for (const ChartSeries& series : chart.series) {
        if (!series.values.empty() && seriesKind(series) != kBarSeries) return false;
    }
    return true;
}

std::size_t longestSeries(const ChartData& chart) {
    std::size_t n = 0;
    for (const ChartSeries& series : chart.series) n = std::max(n, series.values.size());
    return n;
}

// The y of a value in the plot (no inset).
float valueY(const ChartDomain& domain, Rect plot, float value) {
    return plot.y + plot.height - plot.height * static_cast<float>(chartDomainFraction(domain, value));
}

float baselineValue(const ChartDomain& domain) { return std::clamp(0.0f, domain.min, domain.max); }

// The lines across the plot: y positions of grid lines, each a tick of the lattice (axis labels)
// or an even division.
struct ChartAxis {
    ChartDomain domain;
    ChartTickLattice lattice;
};

ChartAxis chartAxis(const WidgetDescription& widget) {
    const ChartDomain domain = chartDomain(widget.chart);
    return {domain, chartTickLattice(domain.min, domain.max, static_cast<std::uint64_t>(widget.chart.grid_count) + 1)};
}

float tickValue(const ChartTickLattice& lattice, std::uint64_t k) {
    return static_cast<float>(static_cast<double>(lattice.start) + static_cast<double>(k) * lattice.step);
}

Status emitRule(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens, Rect plot,
                float y, std::uint64_t family, std::uint64_t index) {
    const float t = tokens.surface_border_width;
    return appendFillRect(out, widgetHashedCommandId(chart_keys::kGridLine, {widget.id, family, index}),
                          snapWidgetRect({plot.x, y - t / 2, plot.width, t}, tokens),
                          palette(tokens, PaletteColor::border));
}

Status emitGrid(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens, Rect plot,
                const ChartAxis& axis) {
    const ChartData& chart = widget.chart;
    if (!chart.axis_labels) {
        const unsigned g = chart.grid_count;
        for (unsigned k = 0; k < g; ++k) {
            const float y = plot.y + plot.height * static_cast<float>(k + 1) / static_cast<float>(g + 1);
            TRY(emitRule(out, widget, tokens, plot, y, 0, k));
        }
    } else {
        for (std::uint64_t k = 0; k < axis.lattice.count; ++k) {
            const float tick = tickValue(axis.lattice, k);
            if (!(tick > axis.domain.min && tick < axis.domain.max)) continue;
            TRY(emitRule(out, widget, tokens, plot, valueY(axis.domain, plot, tick), 0, k));
        }
    }
    if (!chart.baseline) return {};
    return emitRule(out, widget, tokens, plot, valueY(axis.domain, plot, baselineValue(axis.domain)), kBaselineFamily,
                    0);
}

Status emitAxisLabels(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens, Rect plot,
                      const ChartAxis& axis) {
    const float size = chartLabelFontSize(tokens);
    for (std::uint64_t k = 0; k < axis.lattice.count; ++k) {
        const float tick = tickValue(axis.lattice, k);
        ValueText buffer;
        const std::string_view text = formatChartValue(tick, buffer, axis.lattice.format_mode);
        const Point origin{plot.x - kLabelGap - textWidth(tokens, text, size),
                           valueY(axis.domain, plot, tick) + widgetLineHeight(size) / 2};
        TRY(appendText(out, widgetHashedCommandId(chart_keys::kAxisLabel, {widget.id, 0, k}), tokens.default_font, text,
                       size, origin, palette(tokens, PaletteColor::text_muted), std::nullopt, tokens));
    }
    return {};
}

// A path over the polyline: the points, then optionally back to the baseline and closed.
Result<std::span<PathElement>> polylinePath(std::span<const Point> points, std::size_t extra) {
    std::span<PathElement> path = TRY(takeWidgetPathElements(points.size() + extra));
    for (std::size_t i = 0; i < points.size(); ++i) {
        path[i] = i == 0 ? PathElement::moveTo(points[i]) : PathElement::lineTo(points[i]);
    }
    return path;
}

Status emitLineSeries(WidgetRenderTarget& out, const WidgetDescription& widget, Rect plot, const ChartDomain& domain,
                      const ChartSeries& series, std::uint64_t index, Color color) {
    const float width = widget.stroke_override && std::isfinite(*widget.stroke_override) && *widget.stroke_override > 0
                            ? *widget.stroke_override
                            : kDefaultLineWidth;
    const std::span<const Point> points = chartPolylinePoints(series.values, domain, plot, width / 2);
    const std::uint64_t key = widgetHashedCommandId(chart_keys::kLine, {widget.id, index, 0});
    if (points.empty()) return {};
    if (points.size() == 1) {
        const float side = std::max(2 * width, 2.0f);
        return appendFillRoundedRect(out, key, {points[0].x - side / 2, points[0].y - side / 2, side, side},
                                     uniformRadii(side / 2), color);
    }
    if (series.area) {
        const float by = valueY(domain, plot, baselineValue(domain));
        std::span<PathElement> area = TRY(polylinePath(points, 3));
        area[points.size()] = PathElement::lineTo({points.back().x, by});
        area[points.size() + 1] = PathElement::lineTo({points.front().x, by});
        area[points.size() + 2] = PathElement::close();
        TRY(out.append(CanvasCommand::fillPath({widgetHashedCommandId(chart_keys::kArea, {widget.id, index, 0}), area,
                                                Paint::solid(withAlpha(color, kAreaAlpha))})));
    }
    const std::span<PathElement> line = TRY(polylinePath(points, 0));
    return out.append(CanvasCommand::strokePath({key, line, Stroke{Paint::solid(color), width}, LineCap::round}));
}

Status emitBandSeries(WidgetRenderTarget& out, const WidgetDescription& widget, Rect plot, const ChartDomain& domain,
                      const ChartSeries& series, std::uint64_t index, Color color) {
    const std::span<const Point> lower = chartPolylinePoints(series.values, domain, plot, 0);
    if (lower.empty()) return {};
    const WidgetRenderScratch& scratch = widgetRenderScratch();
    const float b = baselineValue(domain);
    const bool closesToBaseline = series.upper.size() < 2;
    const std::size_t back = closesToBaseline ? 2 : lower.size();
    std::span<PathElement> band = TRY(polylinePath(lower, back + 1));
    for (std::size_t i = 0; i < back; ++i) {
        Point p;
        if (closesToBaseline) {
            p = {(i == 0 ? lower.back() : lower.front()).x, valueY(domain, plot, b)};
        } else {
            const std::size_t k = lower.size() - 1 - i;
            const std::uint32_t valueIndex = scratch.polyline_index[k];
            const float upper = valueIndex < series.upper.size() && std::isfinite(series.upper[valueIndex])
                                    ? series.upper[valueIndex]
                                    : b;
            p = {lower[k].x, valueY(domain, plot, upper)};
        }
        band[lower.size() + i] = PathElement::lineTo(p);
    }
    band[lower.size() + back] = PathElement::close();
    return out.append(CanvasCommand::fillPath({widgetHashedCommandId(chart_keys::kBand, {widget.id, index, 0}), band,
                                               Paint::solid(withAlpha(color, kBandAlpha))}));
}

Status emitBarSeries(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens, Rect plot,
                     const ChartDomain& domain, const ChartSeries& series, std::uint64_t index, Color color) {
    const std::size_t n = series.values.size();
    if (n == 0) return {};
    const float slot = plot.width / static_cast<float>(n);
    const float gap = n == 1 ? 0.0f : std::clamp(slot * 0.25f, 0.5f, 4.0f);
    const float barWidth = std::max(slot - gap, 1.0f);
    const CornerRadii radii = uniformRadii(std::min(barWidth / 2, 1.0f));
    const float b = baselineValue(domain);
    const float by = valueY(domain, plot, b);
    for (std::size_t i = 0; i < n; ++i) {
        const float v = series.values[i];
        if (!std::isfinite(v) || v == b) continue;
        const float vy = valueY(domain, plot, v);
        const Rect bar{plot.x + slot * static_cast<float>(i) + (slot - barWidth) / 2, std::min(vy, by), barWidth,
                       std::max(std::fabs(by - vy), 1.0f)};
        TRY(appendFillRoundedRect(out, widgetHashedCommandId(chart_keys::kBar, {widget.id, index, i}),
                                  snapWidgetRect(bar, tokens), radii, color));
    }
    return {};
}

Status emitCategoryLabels(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens,
                          Rect plot) {
    const std::span<const std::string_view> labels = widget.chart.labels;
    if (labels.empty()) return {};
    const float size = chartLabelFontSize(tokens);
    const std::size_t m = std::max(longestSeries(widget.chart), labels.size());
    float widest = 0;
    for (std::string_view label : labels) widest = std::max(widest, textWidth(tokens, label, size));
    const float slot = std::max(widest + 12, 1.0f);
    // How many labels fit side by side: at least one, and all of them on a plot too wide to count.
    const float fit = plot.width / slot;
    const std::size_t fitting = !(fit >= 1)                                ? 1
                                : fit >= static_cast<float>(labels.size()) ? labels.size()
                                                                           : static_cast<std::size_t>(fit);
    const std::size_t every = std::max<std::size_t>((labels.size() + fitting - 1) / fitting, 1);
    const bool slots = onlyBarsOrEmpty(widget.chart);
    const Rect content = widgetContentBox(widget);
    const float baseline = std::min(plot.y + plot.height + kLabelGap + size, content.y + content.height);
    for (std::size_t i = 0; i < labels.size(); i += every) {
        float centre = plot.x + plot.width / 2;
        if (slots) {
            centre = plot.x + plot.width / static_cast<float>(m) * (static_cast<float>(i) + 0.5f);
        } else if (m > 1) {
            centre = plot.x + plot.width * static_cast<float>(i) / static_cast<float>(m - 1);
        }
        TRY(appendText(out, widgetHashedCommandId(chart_keys::kCategoryLabel, {widget.id, 0, i}), tokens.default_font,
                       labels[i], size, {centre - textWidth(tokens, labels[i], size) / 2, baseline},
                       palette(tokens, PaletteColor::text_muted), std::nullopt, tokens));
    }
    return {};
}

// The first node with the render state's hovered id when it is an interactive chart, prepared as
// the renderer draws it (frame = its snapped rectangle).
std::optional<WidgetDescription> hoveredChart(WidgetLayoutTree tree, const WidgetTokens& tokens,
                                              const WidgetRenderState& state) {
    if (!state.hovered || *state.hovered == 0) return std::nullopt;
    for (const WidgetLayoutNode& node : tree) {
        if (node.id != *state.hovered) continue;
        if (node.widgetKind() != WidgetKind::chart || !isSet(node.chart_interactive)) return std::nullopt;
        WidgetDescription record = node;
        record.frame = snapWidgetRect(node.rect, tokens);
        return record;
    }
    return std::nullopt;
}

Rect rootViewport(WidgetLayoutTree tree) {
    std::optional<Rect> viewport;
    for (const WidgetLayoutNode& node : tree) {
        const Rect rect = normalizeRect(node.rect);
        if (node.has_parent || !(rect.width > 0) || !(rect.height > 0)) continue;
        viewport = unionOptionalBounds(viewport, rect);
    }
    return viewport.value_or(Rect{});
}

std::string_view seriesName(const ChartSeries& series) {
    if (!series.name.empty()) return series.name;
    switch (seriesKind(series)) {
        case kBarSeries:
            return "bar";
        case kBandSeries:
            return "band";
        default:
            return "line";
    }
}

std::uint8_t hoverFormatMode(const ChartDomain& domain) {
    return chartFormatModeForStep((static_cast<double>(domain.max) - domain.min) / 100);
}

float hoverTextSize(const WidgetTokens& tokens) { return std::max(tokens.font_size_caption - 1, 10.0f); }

// The hover title: the category label at the index, else the index.
std::string_view hoverTitle(const ChartData& chart, std::uint64_t index, ValueText& buffer) {
    if (index < chart.labels.size() && !chart.labels[index].empty()) return chart.labels[index];
    return formatChartValue(static_cast<float>(index), buffer, 0);
}

}  // namespace

float chartLabelFontSize(const WidgetTokens& tokens) { return std::max(tokens.font_size_caption - 2, 9.0f); }

Rect chartWidgetPlotRect(const WidgetDescription& widget, const WidgetTokens& tokens) {
    Rect plot = widgetContentBox(widget);
    const float size = chartLabelFontSize(tokens);
    if (!widget.chart.labels.empty()) plot.height = std::max(plot.height - (widgetLineHeight(size) + 6), 0.0f);
    if (widget.chart.axis_labels) {
        const ChartAxis axis = chartAxis(widget);
        float widest = 0;
        for (std::uint64_t k = 0; k < axis.lattice.count; ++k) {
            ValueText buffer;
            const std::string_view text =
                formatChartValue(tickValue(axis.lattice, k), buffer, axis.lattice.format_mode);
            widest = std::max(widest, std::ceil(textWidth(tokens, text, size)));
        }
        const float column = widest + kLabelGap;
        plot.x += column;
        plot.width = std::max(plot.width - column, 0.0f);
    }
    return plot;
}

std::span<const Point> chartPolylinePoints(std::span<const float> values, const ChartDomain& domain, Rect plot,
                                           float inset) {
    WidgetRenderScratch& scratch = widgetRenderScratch();
    const std::size_t n = values.size();
    if (n == 0) return {};
    const float usableWidth = std::max(plot.width - 2 * inset, 0.0f);
    const float usableHeight = std::max(plot.height - 2 * inset, 0.0f);
    std::size_t count = 0;
    const auto place = [&](std::size_t k) {
        const float v = values[k];
        if (!std::isfinite(v)) return;
        const float x = n == 1
                            ? plot.x + inset + usableWidth / 2
                            : plot.x + inset +
                                  usableWidth * static_cast<float>(static_cast<double>(k) / static_cast<double>(n - 1));
        const float y =
            plot.y + plot.height - inset - static_cast<float>(chartDomainFraction(domain, v)) * usableHeight;
        scratch.polyline[count] = {x, y};
        scratch.polyline_index[count] = static_cast<std::uint32_t>(k);
        ++count;
    };
    if (n <= kChartPolylineCapacity) {
        for (std::size_t k = 0; k < n; ++k) place(k);
        return {scratch.polyline.data(), count};
    }
    // Each run keeps its first, lowest, highest and last finite value, in index order.
    for (std::size_t run = 0; run < kThinningRuns; ++run) {
        const std::size_t begin = run * n / kThinningRuns;
        const std::size_t end = (run + 1) * n / kThinningRuns;
        std::optional<std::size_t> first, last, low, high;
        for (std::size_t k = begin; k < end; ++k) {
            if (!std::isfinite(values[k])) continue;
            if (!first) first = k;
            last = k;
            if (!low || values[k] < values[*low]) low = k;
            if (!high || values[k] > values[*high]) high = k;
        }
        if (!first) continue;
        std::array<std::size_t, 4> picks{*first, *low, *high, *last};
        std::sort(picks.begin(), picks.end());
        for (std::size_t i = 0; i < picks.size(); ++i) {
            if (i == 0 || picks[i] != picks[i - 1]) place(picks[i]);
        }
    }
    return {scratch.polyline.data(), count};
}

Status emitChartWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect plot = chartWidgetPlotRect(widget, tokens);
    if (!(plot.width > 0) || !(plot.height > 0)) return {};
    const ChartAxis axis = chartAxis(widget);
    TRY(emitGrid(out, widget, tokens, plot, axis));
    if (widget.chart.axis_labels) TRY(emitAxisLabels(out, widget, tokens, plot, axis));
    for (std::size_t i = 0; i < widget.chart.series.size(); ++i) {
        const ChartSeries& series = widget.chart.series[i];
        const Color color = textSpanColorValue(tokens.palette, series.color_token);
        switch (seriesKind(series)) {
            case kBarSeries:
                TRY(emitBarSeries(out, widget, tokens, plot, axis.domain, series, i, color));
                break;
            case kBandSeries:
                TRY(emitBandSeries(out, widget, plot, axis.domain, series, i, color));
                break;
            default:
                TRY(emitLineSeries(out, widget, plot, axis.domain, series, i, color));
                break;
        }
    }
    return emitCategoryLabels(out, widget, tokens, plot);
}

std::optional<std::uint64_t> chartHoverPointIndex(const WidgetDescription& widget, const WidgetTokens& tokens,
                                                  float pointerX) {
    const ChartData& chart = widget.chart;
    if (widget.widgetKind() != WidgetKind::chart || !isSet(widget.chart_interactive) || chart.series.empty()) {
        return std::nullopt;
    }
    const Rect plot = chartWidgetPlotRect(widget, tokens);
    if (!(plot.width > 0) || !(plot.height > 0)) return std::nullopt;
    const std::size_t n = longestSeries(chart);
    const float t = (pointerX - plot.x) / plot.width;
    if (n == 0 || !std::isfinite(t)) return std::nullopt;
    if (n == 1) return 0;
    const double clamped = std::clamp(static_cast<double>(t), 0.0, 1.0);
    const std::uint64_t index = onlyBarsOrEmpty(chart)
                                    ? static_cast<std::uint64_t>(clamped * static_cast<double>(n))
                                    : static_cast<std::uint64_t>(std::round(clamped * static_cast<double>(n - 1)));
    return std::min<std::uint64_t>(index, n - 1);
}

ChartHoverDetail chartWidgetHoverDetail(const WidgetDescription& widget, const WidgetTokens& tokens, Rect viewport,
                                        float pointerX) {
    ChartHoverDetail detail;
    const std::optional<std::uint64_t> hovered = chartHoverPointIndex(widget, tokens, pointerX);
    if (!hovered) return detail;
    const ChartData& chart = widget.chart;
    const Rect plot = chartWidgetPlotRect(widget, tokens);
    const std::size_t n = longestSeries(chart);
    const bool slots = onlyBarsOrEmpty(chart);
    const std::uint64_t index = *hovered;

    const ChartDomain domain = chartDomain(chart);
    const std::uint8_t mode = hoverFormatMode(domain);
    const float size = hoverTextSize(tokens);
    ValueText titleBuffer;
    float widest = textWidth(tokens, hoverTitle(chart, index, titleBuffer), size);
    std::size_t rows = 0;
    for (const ChartSeries& series : chart.series) {
        if (series.values.size() <= index) continue;
        ValueText buffer;
        const std::string_view value = formatChartValue(series.values[index], buffer, mode);
        widest =
            std::max(widest, textWidth(tokens, seriesName(series), size) + 14 + 16 + textWidth(tokens, value, size));
        ++rows;
    }
    if (rows == 0) return detail;
    const float width = std::ceil(widest) + 20;
    const float height = 2 * static_cast<float>(rows) + widgetLineHeight(size) * static_cast<float>(rows + 1) + 16;
    float anchor = plot.x + plot.width / 2;
    if (slots) {
        anchor = plot.x + plot.width / static_cast<float>(n) * (static_cast<float>(index) + 0.5f);
    } else if (n > 1) {
        anchor = plot.x + std::max(plot.width, 0.0f) * static_cast<float>(index) / static_cast<float>(n - 1);
    }
    viewport = normalizeRect(viewport);
    const float right = viewport.x + viewport.width;
    float x = anchor + 12 + width <= right - 4 ? anchor + 12 : anchor - 12 - width;
    x = std::clamp(x, viewport.x + 4, std::max(viewport.x + 4, right - width - 4));
    float y = plot.y + (plot.height - height) / 2;
    y = std::clamp(y, viewport.y + 4, std::max(viewport.y + 4, viewport.y + viewport.height - height - 4));

    detail.point_index = index;
    detail.plot = plot;
    detail.anchor_x = anchor;
    detail.tooltip = {x, y, width, height};
    detail.valid = true;
    return detail;
}

std::optional<Rect> chartHoverDetailDirtyBounds(WidgetLayoutTree tree, const WidgetTokens& tokens,
                                                const WidgetRenderState& state) {
    if (!state.pointer) return std::nullopt;
    const std::optional<WidgetDescription> chart = hoveredChart(tree, tokens, state);
    if (!chart) return std::nullopt;
    const ChartHoverDetail detail = chartWidgetHoverDetail(*chart, tokens, rootViewport(tree), state.pointer->x);
    if (!detail.valid) return std::nullopt;
    std::optional<Rect> bounds;
    for (Rect part : {detail.plot, detail.tooltip}) {
        if (!rectIsEmpty(part)) bounds = unionOptionalBounds(bounds, part);
    }
    return bounds;
}

Status emitChartHoverDetail(WidgetRenderTarget& out, WidgetLayoutTree tree, const WidgetTokens& tokens,
                            const WidgetRenderState& state) {
    if (!state.pointer) return {};
    const std::optional<WidgetDescription> chart = hoveredChart(tree, tokens, state);
    if (!chart || !chart->chart.hover_detail) return {};
    const ChartHoverDetail detail = chartWidgetHoverDetail(*chart, tokens, rootViewport(tree), state.pointer->x);
    if (!detail.valid) return {};

    const std::uint64_t id = chart->id;
    std::uint64_t element = 0;
    const auto key = [&] { return widgetHashedCommandId(chart_keys::kHoverDetail, {id, 0, element++}); };
    const Rect plot = detail.plot;
    const Rect box = detail.tooltip;
    const float size = hoverTextSize(tokens);
    const float line = widgetLineHeight(size);
    const Color& text = palette(tokens, PaletteColor::text);
    TRY(appendDrawLine(out, key(), {detail.anchor_x, plot.y}, {detail.anchor_x, plot.y + plot.height},
                       palette(tokens, PaletteColor::border), tokens.surface_border_width));
    TRY(appendFillRoundedRect(out, key(), box, uniformRadii(tokens.radius_small),
                              palette(tokens, PaletteColor::background)));
    // The border stays inside the box, so the box is all a moving hover repaints.
    const float border = std::max(tokens.surface_border_width, 0.0f);
    const Rect inner{box.x + border / 2, box.y + border / 2, std::max(box.width - border, 0.0f),
                     std::max(box.height - border, 0.0f)};
    TRY(appendStrokeRect(out, key(), inner, uniformRadii(std::max(tokens.radius_small - border / 2, 0.0f)),
                         palette(tokens, PaletteColor::border), border, tokens));
    ValueText titleBuffer;
    TRY(appendText(out, key(), tokens.default_font, hoverTitle(chart->chart, detail.point_index, titleBuffer), size,
                   {box.x + 10, box.y + 8 + size}, text, std::nullopt, tokens));
    const std::uint8_t mode = hoverFormatMode(chartDomain(chart->chart));
    float rowTop = box.y + 8 + line;
    for (const ChartSeries& series : chart->chart.series) {
        if (series.values.size() <= detail.point_index) continue;
        rowTop += 2;
        const Color color = textSpanColorValue(tokens.palette, series.color_token);
        TRY(appendFillRoundedRect(out, key(), {box.x + 10, rowTop + (line - 8) / 2, 8, 8}, uniformRadii(2), color));
        TRY(appendText(out, key(), tokens.default_font, seriesName(series), size, {box.x + 24, rowTop + size},
                       palette(tokens, PaletteColor::text_muted), std::nullopt, tokens));
        ValueText buffer;
        const std::string_view value = formatChartValue(series.values[detail.point_index], buffer, mode);
        TRY(appendText(out, key(), tokens.default_font, value, size,
                       {box.x + box.width - 10 - textWidth(tokens, value, size), rowTop + size}, text, std::nullopt,
                       tokens));
        rowTop += line;
    }
    return {};
}

}  // namespace kelvo
