// From one pointer input to the refreshed display list of a canvas view showing a 300-widget
// screen: routing, hover and press rules, the refresh batch, the widget tree drawn and diffed
// into the stored list, and the runtime events (delivered to no handler). The pointer moves
// across the sidebar's list items, so every input changes the hovered widget; a press and
// release on a checkbox flips it and commits the change. The platform offers no services, so the
// figures are the runtime's own. The allocations of the timed loop are counted (there must be none).

#include <benchmark/benchmark.h>

#include "allocation_counter.hpp"
#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/flow/app_binding.hpp"
#include "screen_runtime.hpp"
#include "screen_tree.hpp"

namespace {

using namespace kelvo;

GpuSurfaceInput pointerInput(GpuSurfaceInputKind kind, float x, float y, std::uint64_t timestamp) {
    GpuSurfaceInput input;
    input.windowId = 1;
    input.label = "canvas";
    input.kind = kind;
    input.x = x;
    input.y = y;
    input.timestampNs = timestamp;
    return input;
}

template <class Step>
void runInputs(benchmark::State& state, Step step) {
    bench::ScreenRuntime screen;
    // Input is routed only to views of an open window.
    screen.runtime->windows.items[screen.runtime->windows.count++] = RuntimeWindow{};
    if (!installCanvasWidgetTreeText(*screen.runtime, 0, bench::screenTree())) {
        state.SkipWithError("the screen tree does not install");
        return;
    }
    const AppBinding binding;
    std::uint64_t i = 0;
    const auto next = [&] {
        screen.runtime->dirtyRegions.clear();
        return step(*screen.runtime, binding, i++);
    };
    // Warm-up: per-thread scratch and text caches are taken here.
    for (int warm = 0; warm < 80; ++warm) {
        if (!next()) {
            state.SkipWithError("the input failed");
            return;
        }
    }
    const std::uint64_t revision = screen.view().canvas.revision;
    const std::uint64_t allocationsBefore = bench::allocationCount();
    for (auto _ : state) benchmark::DoNotOptimize(next());
    const std::uint64_t allocations = bench::allocationCount() - allocationsBefore;
    state.counters["refreshes"] = benchmark::Counter(static_cast<double>(screen.view().canvas.revision - revision),
                                                     benchmark::Counter::kAvgIterations);
    state.counters["allocations"] = static_cast<double>(allocations);
    if (allocations != 0) state.SkipWithError("the input allocated");
}

// The pointer moves from one sidebar item to the next (items are 30 points apart).
void BM_PointerMoveToRefresh(benchmark::State& state) {
    runInputs(state, [](Runtime& runtime, const AppBinding& binding, std::uint64_t i) {
        const float y = 20 + 30.0f * static_cast<float>(i % 40);
        return dispatchGpuSurfaceInput(runtime, binding,
                                       pointerInput(GpuSurfaceInputKind::pointer_move, 100, y, 1'000'000 * (i + 1)));
    });
}
BENCHMARK(BM_PointerMoveToRefresh)->Unit(benchmark::kMicrosecond);

// A press and a release on the same sidebar item, which selects it; one iteration is one input.
void BM_PressReleaseToRefresh(benchmark::State& state) {
    runInputs(state, [](Runtime& runtime, const AppBinding& binding, std::uint64_t i) {
        const float y = 20 + 30.0f * static_cast<float>((i / 2) % 40);
        const GpuSurfaceInputKind kind =
            i % 2 == 0 ? GpuSurfaceInputKind::pointer_down : GpuSurfaceInputKind::pointer_up;
        return dispatchGpuSurfaceInput(runtime, binding, pointerInput(kind, 100, y, 1'000'000'000 * (i + 1)));
    });
}
BENCHMARK(BM_PressReleaseToRefresh)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
