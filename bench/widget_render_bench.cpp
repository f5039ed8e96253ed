// The display list of a 300-widget screen, as a refresh emits it: a sidebar list with icons, a
// toolbar of buttons and fields, a form of selection controls and labelled fields, a table of data
// rows and a status bar. Emitted once per iteration into a staging list with the built-in text
// estimate; the allocations of the timed loop are counted (there must be none).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "allocation_counter.hpp"
#include "screen_tree.hpp"
#include "widgets/display_list.hpp"
#include "widgets/widget_render.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace {

using namespace kelvo;

void BM_EmitScreen(benchmark::State& state) {
    auto built = std::make_unique<WidgetTreeStorage>();
    auto tree = std::make_unique<WidgetTreeStorage>();
    if (!parseWidgetTreeText(bench::screenTree(), *built) || !installWidgetTree(*tree, built->tree(), built->tokens)) {
        state.SkipWithError("the screen tree does not install");
        return;
    }
    std::vector<CanvasCommand> items(kMaxCanvasCommands);
    auto pools = std::make_unique<CanvasDisplayListScratch>();
    CanvasCommandArray array{items.data(), items.size(), 0};
    WidgetRenderTarget target{array, *pools};
    WidgetRenderState render;
    const std::uint64_t hovered = 12;
    render.hovered = hovered;

    // Warm-up: the per-thread scratch and text caches are taken here.
    if (!emitWidgetTree(target, tree->tree(), tree->tokens, render)) {
        state.SkipWithError("the screen does not fit a display list");
        return;
    }
    const std::uint64_t allocationsBefore = bench::allocationCount();
    for (auto _ : state) {
        array.count = 0;
        pools->reset();
        benchmark::DoNotOptimize(emitWidgetTree(target, tree->tree(), tree->tokens, render));
    }
    state.counters["widgets"] = static_cast<double>(tree->node_count);
    state.counters["commands"] = static_cast<double>(array.count);
    state.counters["allocations"] = static_cast<double>(bench::allocationCount() - allocationsBefore);
}
BENCHMARK(BM_EmitScreen)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
