// Refreshing the display list of a canvas view showing a 300-widget screen after one state change:
// the hovered list item moves, and the view is invalidated for the change (dirty rectangles,
// accessibility, render, diff, copy, animations, frame request) or only refreshed. The platform
// offers no services, so the figures are the runtime's own. The allocations of the timed loop are
// counted (there must be none).

#include <benchmark/benchmark.h>

#include "allocation_counter.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "screen_runtime.hpp"
#include "screen_tree.hpp"

namespace {

using namespace kelvo;

// List items 3 to 42 of the screen's sidebar take turns under the pointer.
template <class Change>
void runHoverChanges(benchmark::State& state, Change change) {
    bench::ScreenRuntime screen;
    if (!installCanvasWidgetTreeText(*screen.runtime, 0, bench::screenTree())) {
        state.SkipWithError("the screen tree does not install");
        return;
    }
    std::uint64_t hovered = 3;
    const auto next = [&] {
        screen.runtime->dirtyRegions.clear();
        hovered = hovered == 42 ? 3 : hovered + 1;
        return change(*screen.runtime, hovered);
    };
    // Warm-up: per-thread scratch and text caches are taken here.
    for (int i = 0; i < 50; ++i) {
        if (!next()) {
            state.SkipWithError("the refresh failed");
            return;
        }
    }
    const std::uint64_t allocationsBefore = bench::allocationCount();
    for (auto _ : state) benchmark::DoNotOptimize(next());
    const std::uint64_t allocations = bench::allocationCount() - allocationsBefore;
    state.counters["commands"] = static_cast<double>(screen.view().canvas.commandCount);
    state.counters["allocations"] = static_cast<double>(allocations);
    if (allocations != 0) state.SkipWithError("the refresh allocated");
}

void BM_InvalidateHoverChange(benchmark::State& state) {
    runHoverChanges(state, [](Runtime& runtime, std::uint64_t hovered) {
        RuntimeView& view = runtime.views[0];
        const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, view);
        view.canvas.interaction.hoveredWidget = hovered;
        return invalidateForCanvasWidgetRenderStateChange(runtime, 0, before, canvasWidgetRenderState(runtime, view));
    });
}
BENCHMARK(BM_InvalidateHoverChange)->Unit(benchmark::kMicrosecond);

void BM_RefreshAfterHoverChange(benchmark::State& state) {
    runHoverChanges(state, [](Runtime& runtime, std::uint64_t hovered) {
        runtime.views[0].canvas.interaction.hoveredWidget = hovered;
        return refreshCanvasWidgetDisplayList(runtime, 0);
    });
}
BENCHMARK(BM_RefreshAfterHoverChange)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
