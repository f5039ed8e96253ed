#pragma once

// Everything a canvas view's widget tree owns: the layout nodes, the nested child descriptions
// that intrinsic sizing walks, the text store every widget text lives in, the chart,
// context-menu and rich-text span records, and the design tokens. Installed trees point only into this record.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxWidgetNodes = 1024;
inline constexpr std::size_t kWidgetTextStoreBytes = 65536;
inline constexpr std::size_t kMaxWidgetChartSeries = 128;
inline constexpr std::size_t kMaxWidgetChartValues = 16384;
inline constexpr std::size_t kMaxWidgetChartLabels = 1024;
inline constexpr std::size_t kMaxWidgetContextMenuItems = 256;
inline constexpr std::size_t kMaxWidgetTextSpans = 1024;

struct WidgetTreeStorage {
    std::array<WidgetLayoutNode, kMaxWidgetNodes> nodes{};
    std::array<WidgetDescription, kMaxWidgetNodes> child_descriptions{};
    std::array<char, kWidgetTextStoreBytes> text{};
    std::array<ChartSeries, kMaxWidgetChartSeries> chart_series{};
    std::array<float, kMaxWidgetChartValues> chart_values{};
    std::array<std::string_view, kMaxWidgetChartLabels> chart_labels{};
    std::array<WidgetContextMenuItem, kMaxWidgetContextMenuItems> context_menu_items{};
    std::array<TextSpan, kMaxWidgetTextSpans> text_spans{};
    std::uint32_t node_count = 0;
    std::uint32_t text_length = 0;
    std::uint32_t chart_series_count = 0;
    std::uint32_t chart_value_count = 0;
    std::uint32_t chart_label_count = 0;
    std::uint32_t context_menu_item_count = 0;
    std::uint32_t text_span_count = 0;
    WidgetTokens tokens;
    // Grows by one with every installed tree.
    std::uint64_t revision = 0;

    [[nodiscard]] WidgetLayoutTree tree() const { return {nodes.data(), node_count}; }
};

}  // namespace kelvo
