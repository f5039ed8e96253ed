#include "widgets/widget_tree_install.hpp"

#include <algorithm>
#include <cstring>

#include "widgets/thread_scratch.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

// What the texts and records of a tree take from the storage's pools.
struct PoolNeeds {
    std::size_t text = 0;
    std::size_t series = 0;
    std::size_t values = 0;
    std::size_t labels = 0;
    std::size_t menu_items = 0;
    std::size_t spans = 0;
};

template <class Visit>
void forEachText(const WidgetDescription& widget, Visit&& visit) {
    for (std::string_view text : {widget.label, widget.text, widget.placeholder, widget.icon, widget.action}) {
        visit(text);
    }
    for (const ChartSeries& series : widget.chart.series) visit(series.name);
    for (std::string_view label : widget.chart.labels) visit(label);
    for (const WidgetContextMenuItem& item : widget.context_menu) visit(item.label);
    for (const TextSpan& span : widget.textSpans()) visit(span.text);
}

Status addNeeds(PoolNeeds& needs, const WidgetDescription& widget) {
    forEachText(widget, [&](std::string_view text) { needs.text += text.size(); });
    if (needs.text > kWidgetTextStoreBytes) return fail(Error::WidgetTextTooLarge);
    needs.series += widget.chart.series.size();
    for (const ChartSeries& series : widget.chart.series) needs.values += series.values.size() + series.upper.size();
    needs.labels += widget.chart.labels.size();
    needs.menu_items += widget.context_menu.size();
    needs.spans += widget.textSpans().size();
    if (needs.series > kMaxWidgetChartSeries || needs.values > kMaxWidgetChartValues ||
        needs.labels > kMaxWidgetChartLabels || needs.menu_items > kMaxWidgetContextMenuItems ||
        needs.spans > kMaxWidgetTextSpans) {
        return fail(Error::WidgetDataListFull);
    }
    return {};
}

Status checkIdsUnique(WidgetLayoutTree nodes) {
    std::array<std::uint64_t, kMaxWidgetNodes> ids;
    std::size_t count = 0;
    for (const WidgetLayoutNode& node : nodes) {
        if (node.id != 0) ids[count++] = node.id;
    }
    std::sort(ids.begin(), ids.begin() + count);
    if (std::adjacent_find(ids.begin(), ids.begin() + count) != ids.begin() + count) {
        return fail(Error::DuplicateWidgetId);
    }
    return {};
}

// Appends to the storage's pools; the capacities were checked before.
struct PoolWriter {
    WidgetTreeStorage& target;

    std::string_view text(std::string_view text) {
        char* at = target.text.data() + target.text_length;
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        target.text_length += static_cast<std::uint32_t>(text.size());
        return {at, text.size()};
    }

    std::span<const float> values(std::span<const float> values) {
        float* at = target.chart_values.data() + target.chart_value_count;
        if (!values.empty()) std::memcpy(at, values.data(), values.size_bytes());
        target.chart_value_count += static_cast<std::uint32_t>(values.size());
        return {at, values.size()};
    }

    void repoint(WidgetDescription& widget) {
        widget.label = text(widget.label);
        widget.text = text(widget.text);
        widget.placeholder = text(widget.placeholder);
        widget.icon = text(widget.icon);
        widget.action = text(widget.action);

        ChartSeries* series = target.chart_series.data() + target.chart_series_count;
        for (std::size_t i = 0; i < widget.chart.series.size(); ++i) {
            ChartSeries copy = widget.chart.series[i];
            copy.values = values(copy.values);
            copy.upper = values(copy.upper);
            copy.name = text(copy.name);
            series[i] = copy;
        }
        target.chart_series_count += static_cast<std::uint32_t>(widget.chart.series.size());
        widget.chart.series = {series, widget.chart.series.size()};

        std::string_view* labels = target.chart_labels.data() + target.chart_label_count;
        for (std::size_t i = 0; i < widget.chart.labels.size(); ++i) labels[i] = text(widget.chart.labels[i]);
        target.chart_label_count += static_cast<std::uint32_t>(widget.chart.labels.size());
        widget.chart.labels = {labels, widget.chart.labels.size()};

        WidgetContextMenuItem* items = target.context_menu_items.data() + target.context_menu_item_count;
        for (std::size_t i = 0; i < widget.context_menu.size(); ++i) {
            items[i] = widget.context_menu[i];
            items[i].label = text(items[i].label);
        }
        target.context_menu_item_count += static_cast<std::uint32_t>(widget.context_menu.size());
        widget.context_menu = {items, widget.context_menu.size()};

        std::span<const TextSpan> spans = widget.textSpans();
        TextSpan* copies = target.text_spans.data() + target.text_span_count;
        for (std::size_t i = 0; i < spans.size(); ++i) {
            copies[i] = spans[i];
            copies[i].text = text(spans[i].text);
        }
        target.text_span_count += static_cast<std::uint32_t>(spans.size());
        widget.spans = spans.empty() ? nullptr : copies;
        widget.span_count = spans.size();
    }
};

// Replaces the tree of `target` by a copy of `nodes`, which passed validation and does not point
// into `target`.
void commitTree(WidgetTreeStorage& target, WidgetLayoutTree nodes, const WidgetTokens& tokens) {
    const std::size_t count = nodes.size();
    // Each node's children take one contiguous block of the nested descriptions, blocks laid out
    // in node order; a child's slot is its parent's block start plus its rank among the siblings.
    std::array<std::uint16_t, kMaxWidgetNodes> childCount{};
    std::array<std::uint16_t, kMaxWidgetNodes> blockStart{};
    std::array<std::uint16_t, kMaxWidgetNodes> slot{};
    for (std::size_t i = 0; i < count; ++i) {
        if (nodes[i].has_parent & 1u) slot[i] = childCount[nodes[i].parent]++;
    }
    std::uint16_t next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        blockStart[i] = next;
        next = static_cast<std::uint16_t>(next + childCount[i]);
    }

    target.text_length = target.chart_series_count = target.chart_value_count = 0;
    target.chart_label_count = target.context_menu_item_count = target.text_span_count = 0;
    PoolWriter pools{target};
    for (std::size_t i = 0; i < count; ++i) {
        WidgetLayoutNode& node = target.nodes[i];
        node = nodes[i];
        node.has_parent &= 1u;
        if (!node.has_parent) node.parent = 0;
        pools.repoint(node);
        node.children = target.child_descriptions.data() + blockStart[i];
        node.child_count = childCount[i];
    }
    for (std::size_t i = 0; i < count; ++i) {
        const WidgetLayoutNode& node = target.nodes[i];
        if (node.has_parent) target.child_descriptions[blockStart[node.parent] + slot[i]] = node;
    }
    target.node_count = static_cast<std::uint32_t>(count);
    target.tokens = tokens;
    ++target.revision;
}

bool pointsInto(const WidgetTreeStorage& target, const void* data, std::size_t bytes) {
    return bytesOverlap(data, bytes, &target, sizeof(WidgetTreeStorage));
}

bool sourceAliasesStorage(const WidgetTreeStorage& target, WidgetLayoutTree nodes) {
    if (pointsInto(target, nodes.data(), nodes.size_bytes())) return true;
    for (const WidgetLayoutNode& node : nodes) {
        bool aliased = pointsInto(target, node.chart.series.data(), node.chart.series.size_bytes()) ||
                       pointsInto(target, node.chart.labels.data(), node.chart.labels.size_bytes()) ||
                       pointsInto(target, node.context_menu.data(), node.context_menu.size_bytes()) ||
                       pointsInto(target, node.textSpans().data(), node.textSpans().size_bytes());
        forEachText(node,
                    [&](std::string_view text) { aliased = aliased || pointsInto(target, text.data(), text.size()); });
        for (const ChartSeries& series : node.chart.series) {
            aliased = aliased || pointsInto(target, series.values.data(), series.values.size_bytes()) ||
                      pointsInto(target, series.upper.data(), series.upper.size_bytes());
        }
        if (aliased) return true;
    }
    return false;
}

}  // namespace

Status validateWidgetTree(WidgetLayoutTree nodes, const WidgetTokens& tokens) {
    if (nodes.size() > kMaxWidgetNodes) return fail(Error::WidgetNodeLimitReached);
    if (!densityDefined(tokens.density)) return fail(Error::InvalidWidgetDensity);
    // lastAtDepth[d]: the latest node at depth d, the parent every following node at d + 1 must name.
    std::array<std::uint16_t, kMaxWidgetDepth + 1> lastAtDepth{};
    PoolNeeds needs;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const WidgetLayoutNode& node = nodes[i];
        if (!widgetKindDefined(node.widgetKind())) return fail(Error::InvalidWidgetKind);
        if (!controlSizeDefined(node.size)) return fail(Error::InvalidWidgetControlSize);
        const std::uint64_t deepestAllowed = i == 0 ? 0 : nodes[i - 1].depth + 1;
        if (node.depth > deepestAllowed) return fail(Error::InvalidWidgetDepth);
        if (node.depth > kMaxWidgetDepth) return fail(Error::WidgetDepthExceeded);
        if (node.depth == 0) {
            if (node.has_parent & 1u) return fail(Error::InvalidWidgetParent);
        } else if ((node.has_parent & 1u) == 0 || node.parent != lastAtDepth[node.depth - 1]) {
            return fail(Error::InvalidWidgetParent);
        }
        lastAtDepth[node.depth] = static_cast<std::uint16_t>(i);
        TRY(addNeeds(needs, node));
    }
    return checkIdsUnique(nodes);
}

Status installWidgetTree(WidgetTreeStorage& target, WidgetLayoutTree nodes, const WidgetTokens& tokens) {
    TRY(validateWidgetTree(nodes, tokens));
    if (sourceAliasesStorage(target, nodes) || pointsInto(target, &tokens, sizeof(tokens))) {
        // Installing overwrites the pools the source still points into: copy out first.
        WidgetTreeStorage& staging = perThreadCanvasScratch<WidgetTreeStorage>();
        commitTree(staging, nodes, tokens);
        std::uint64_t revision = target.revision;
        commitTree(target, staging.tree(), staging.tokens);
        target.revision = revision + 1;
        return {};
    }
    commitTree(target, nodes, tokens);
    return {};
}

}  // namespace kelvo
