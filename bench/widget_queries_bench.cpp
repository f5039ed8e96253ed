// The tree queries the canvas runtime makes on every pointer move, key press and refresh, on a
// 1,000-widget tree: a toolbar, a scrolled list, a data grid, a form and a floating menu.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "widgets/widget_layout.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace {

using namespace kelvo;

std::string rect(int x, int y, int width, int height) {
    return " rect=" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(width) + "," +
           std::to_string(height);
}

std::string thousandWidgetTree() {
    std::uint64_t id = 1;
    auto node = [&](int depth, const std::string& kind, const std::string& fields) {
        return std::string(2 * depth, ' ') + kind + " id=" + std::to_string(id++) + fields + "\n";
    };
    std::string text = node(0, "column", rect(0, 0, 1280, 2000));
    text += node(1, "row", rect(0, 0, 1280, 40));
    for (int i = 0; i < 20; ++i) text += node(2, "button", rect(i * 64, 4, 60, 32) + " text=\"Tool\"");
    text += node(1, "scroll_view", rect(0, 40, 600, 700) + " value=100");
    text += node(2, "column", rect(0, -60, 600, 8400));
    for (int i = 0; i < 300; ++i) text += node(3, "list_item", rect(0, -60 + 28 * i, 600, 28) + " text=\"Item\"");
    text += node(1, "data_grid", rect(600, 40, 680, 700));
    for (int row = 0; row < 60; ++row) {
        text += node(2, "data_row", rect(600, 40 + 20 * row, 680, 20));
        for (int cell = 0; cell < 8; ++cell) text += node(3, "data_cell", rect(600 + 85 * cell, 40 + 20 * row, 85, 20));
    }
    text += node(1, "column", rect(0, 760, 1280, 1200));
    for (int i = 0; i < 61; ++i) {
        text += node(2, "text", rect(0, 760 + 20 * i, 200, 20) + " text=\"Field\"");
        text += node(2, "text_field", rect(200, 760 + 20 * i, 400, 20) + " text=\"value\"");
    }
    text += node(1, "popover", rect(100, 100, 200, 300) + " out_of_flow=1");
    text += node(2, "menu", rect(100, 100, 200, 300));
    for (int i = 0; i < 10; ++i) text += node(3, "menu_item", rect(100, 100 + 32 * i, 200, 32) + " text=\"Action\"");
    return text;
}

struct Tree {
    std::unique_ptr<WidgetTreeStorage> built = std::make_unique<WidgetTreeStorage>();
    std::unique_ptr<WidgetTreeStorage> view = std::make_unique<WidgetTreeStorage>();

    Tree() {
        if (!parseWidgetTreeText(thousandWidgetTree(), *built) || built->node_count != 1000 ||
            !installWidgetTree(*view, built->tree(), built->tokens)) {
            std::abort();
        }
    }
};

const Tree& tree() {
    static const Tree instance;
    return instance;
}

// Points over a grid cell, a list item under the floating menu's edge, a menu item and empty space.
const Point kPoints[] = {{1100, 500}, {350, 420}, {150, 200}, {1200, 1990}};

void hitTest(benchmark::State& state) {
    const WidgetTreeStorage& view = *tree().view;
    std::size_t i = 0;
    for (auto _ : state) {
        WidgetHit hit = hitTestWidgetLayout(view.tree(), kPoints[i++ % std::size(kPoints)], view.tokens);
        benchmark::DoNotOptimize(hit);
    }
}
BENCHMARK(hitTest)->Unit(benchmark::kMicrosecond);

void hitTestAndHover(benchmark::State& state) {
    const WidgetTreeStorage& view = *tree().view;
    for (auto _ : state) {
        WidgetHit hover = hoverTargetForHit(view.tree(), hitTestWidgetLayout(view.tree(), kPoints[0], view.tokens));
        benchmark::DoNotOptimize(hover);
    }
}
BENCHMARK(hitTestAndHover)->Unit(benchmark::kMicrosecond);

void collectSemanticsOfTree(benchmark::State& state) {
    const WidgetTreeStorage& view = *tree().view;
    std::vector<WidgetSemanticsNode> nodes(kMaxWidgetSemanticsNodes);
    for (auto _ : state) {
        Result<std::size_t> count = collectSemantics(view.tree(), nodes);
        if (!count) state.SkipWithError("semantics failed");
        benchmark::DoNotOptimize(nodes.data());
    }
}
BENCHMARK(collectSemanticsOfTree)->Unit(benchmark::kMicrosecond);

void focusNextAndRight(benchmark::State& state) {
    const WidgetTreeStorage& view = *tree().view;
    const std::uint64_t focused = view.nodes[500].id;  // a data cell
    for (auto _ : state) {
        benchmark::DoNotOptimize(widgetLayoutFocusTarget(view.tree(), focused, WidgetFocusDirection::next));
        benchmark::DoNotOptimize(widgetLayoutFocusTarget(view.tree(), focused, WidgetFocusDirection::right));
    }
}
BENCHMARK(focusNextAndRight)->Unit(benchmark::kMicrosecond);

void intrinsicSizeOfRoot(benchmark::State& state) {
    const WidgetTreeStorage& view = *tree().view;
    for (auto _ : state) benchmark::DoNotOptimize(intrinsicWidgetSizeDepth(view.nodes[0], view.tokens, 0));
}
BENCHMARK(intrinsicSizeOfRoot)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
