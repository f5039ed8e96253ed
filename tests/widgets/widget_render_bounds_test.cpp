// The repaint area of an interaction change holds everything the change redraws: for every kind,
// size and token set, each focus-visible, hover and press change is drawn before and after, the
// commands that differ (by id, as the refresh compares them) are found, and their bounds must lie
// inside the paint bounds the refresh would record for that change.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "widgets/equality.hpp"
#include "widgets/render_fixture.hpp"
#include "widgets/widget_invalidation.hpp"
#include "widgets/widget_render.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {
namespace {

constexpr std::uint64_t kWidget = 7;
constexpr std::uint64_t kInner = 8;

// A root holding one widget of `kind`, dressed so that every state-dependent part is drawn; an
// input group holds a text field (focus moves to it), a chart a series and its hover detail.
struct ControlTree {
    std::vector<WidgetLayoutNode> nodes;
    std::vector<float> values{2, 5, 3, 6};
    std::vector<ChartSeries> series;

    ControlTree(WidgetKind kind, std::uint8_t size) {
        WidgetLayoutNode root;
        root.kind = static_cast<std::uint8_t>(WidgetKind::column);
        root.id = 1;
        root.rect = root.frame = {0, 0, 400, 200};
        nodes.push_back(root);

        WidgetLayoutNode node;
        node.kind = static_cast<std::uint8_t>(kind);
        node.id = kWidget;
        node.depth = 1;
        node.has_parent = 1;
        node.rect = node.frame = {10.3f, 20.6f, 120.2f, 33.3f};
        node.size = size;
        node.value = 0.7f;
        node.text = "Label";
        node.selected = kind == WidgetKind::accordion;
        if (kind == WidgetKind::chart) {
            series.push_back({values, {}, "s", 0, 7, false});
            node.chart.series = series;
            node.chart.hover_detail = true;
            node.chart_interactive = 1;
        }
        nodes.push_back(node);
        if (kind == WidgetKind::input_group) {
            WidgetLayoutNode field = node;
            field.kind = static_cast<std::uint8_t>(WidgetKind::text_field);
            field.id = kInner;
            field.depth = 2;
            field.parent = 1;
            field.rect = field.frame = {12, 22, 110, 28};
            nodes.push_back(field);
        }
    }
};

// A list drawn from the tree; its commands point into its own pools.
std::unique_ptr<testing::RenderedList> render(const ControlTree& tree, const WidgetTokens& tokens,
                                              const WidgetRenderState& state) {
    auto list = std::make_unique<testing::RenderedList>();
    EXPECT_TRUE(emitWidgetTree(list->target, tree.nodes, tokens, state));
    return list;
}

const CanvasCommand* withId(std::span<const CanvasCommand> list, std::uint64_t id) {
    for (const CanvasCommand& command : list) {
        if (hasCommandIdentity(command) && canvasCommandId(command) == id) return &command;
    }
    return nullptr;
}

// The union of the bounds of the commands that were added, removed or changed.
std::optional<Rect> changedBounds(std::span<const CanvasCommand> before, std::span<const CanvasCommand> after,
                                  std::string& changes) {
    std::optional<Rect> bounds;
    const auto compare = [&](std::span<const CanvasCommand> from, std::span<const CanvasCommand> to) {
        for (const CanvasCommand& command : from) {
            if (!hasCommandIdentity(command)) continue;
            const CanvasCommand* other = withId(to, canvasCommandId(command));
            if (other != nullptr && commandsEqual(command, *other)) continue;
            bounds = unionOptionalBounds(bounds, canvasCommandBounds(command));
            changes += testing::commandText(command) + "\n";
        }
    };
    compare(before, after);
    compare(after, before);
    return bounds;
}

// What the refresh records for a change of the widget's state between two snapshots.
std::optional<Rect> recordedBounds(const ControlTree& tree, const WidgetTokens& tokens, const WidgetRenderState& before,
                                   const WidgetRenderState& after) {
    const WidgetLayoutTree nodes = tree.nodes;
    std::optional<Rect> area = renderStateSurroundingsPaintBounds(nodes, tokens, before, after);
    for (std::size_t index = 1; index < nodes.size(); ++index) {
        area = unionOptionalBounds(area, widgetStateChangePaintBounds(nodes, index, tokens, before, after));
    }
    return area;
}

bool contains(std::optional<Rect> outer, std::optional<Rect> inner) {
    if (!inner) return true;
    if (!outer) return false;
    constexpr float kSlack = 1e-3f;
    return outer->x <= inner->x + kSlack && outer->y <= inner->y + kSlack &&
           outer->x + outer->width >= inner->x + inner->width - kSlack &&
           outer->y + outer->height >= inner->y + inner->height - kSlack;
}

TEST(RenderedPaintBounds, HoldEveryCommandAStateChangeRedraws) {
    WidgetTokens wide;
    wide.focus_ring_width = 3;
    wide.focus_ring_offset = 1.5f;
    wide.density = 0;
    WidgetTokens snapped;
    snapped.snap_geometry = true;
    snapped.snap_text = true;
    snapped.pixel_scale = 3;
    snapped.density = 2;
    for (const WidgetTokens& tokens : {WidgetTokens{}, wide, snapped}) {
        for (unsigned code = 0; code < kWidgetKindCount; ++code) {
            const auto kind = static_cast<WidgetKind>(code);
            for (std::uint8_t size : {0, 1, 2}) {
                SCOPED_TRACE(std::string(widgetKindName(kind)) + " size " + std::to_string(size));
                const ControlTree tree(kind, size);
                const std::uint64_t target = kind == WidgetKind::input_group ? kInner : kWidget;
                const Point pointer{70, 30};
                const std::map<std::string, WidgetRenderState> changes = {
                    {"focus-visible", {target, target, {}, {}, {}, {}}},
                    {"hover", {{}, {}, kWidget, {}, {}, pointer}},
                    {"press", {{}, {}, kWidget, kWidget, {}, pointer}},
                };
                for (const auto& [name, after] : changes) {
                    WidgetRenderState before;
                    before.pointer = after.pointer;
                    if (name == "press") before.hovered = kWidget;
                    std::string changed;
                    const auto old = render(tree, tokens, before);
                    const auto now = render(tree, tokens, after);
                    const std::optional<Rect> redrawn = changedBounds(old->commands(), now->commands(), changed);
                    const std::optional<Rect> recorded = recordedBounds(tree, tokens, before, after);
                    EXPECT_TRUE(contains(recorded, redrawn))
                        << name << ": recorded " << (recorded ? testing::rectText(*recorded) : "none") << "\n"
                        << changed;
                }
            }
        }
    }
}

}  // namespace
}  // namespace kelvo
