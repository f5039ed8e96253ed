// Gathers the automation snapshot of a window with a canvas view of 1,000 widgets and prints its
// snapshot and accessibility texts into a hashing sink, as every publication and every session
// checkpoint does. Reports widget rows per second and heap allocations per snapshot (which must
// stay 0).

#include <benchmark/benchmark.h>

#include <string>

#include "allocation_counter.hpp"
#include "automation/snapshot_model.hpp"
#include "automation/snapshot_text.hpp"
#include "base/wyhash.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/windows/window_table.hpp"

namespace kelvo {
namespace {

constexpr int kWidgets = 1000;

Status acceptView(void*, const ViewOptions&) { return {}; }

std::string treeText() {
    std::string text = "virtual_list id=1 rect=0,0,400,600 scrollable=1 virtual_count=5000 item_extent=20 value=40\n";
    for (int i = 2; i <= kWidgets; ++i) {
        text += "  list_item id=" + std::to_string(i) + " rect=0," + std::to_string(20 * (i - 2)) +
                ",400,20 text=\"Row " + std::to_string(i) + "\"\n";
    }
    return text;
}

void BM_GatherAndPrintSnapshot(benchmark::State& state) {
    Result<Runtime*> allocated = allocateRuntime();
    if (!allocated) {
        state.SkipWithError("runtime record not allocated");
        return;
    }
    Runtime& runtime = **allocated;
    runtime.platform.slots.createView = acceptView;
    (void)reserveWindow(runtime, 1, "main", "Bench", std::nullopt, false);
    ViewOptions canvas{.windowId = 1, .label = "list", .frame = {0, 0, 400, 600}, .kind = ViewKind::gpu_surface};
    canvas.gpu = GpuSurfaceOptions{GpuBackend::software, GpuPixelFormat::bgra8_unorm, GpuPresentMode::timer,
                                   GpuAlphaMode::opaque, GpuColorSpace::srgb,         true};
    if (!createView(runtime, canvas) || !installCanvasWidgetTreeText(runtime, 0, treeText())) {
        state.SkipWithError("canvas view not set up");
        return;
    }
    Wyhash hasher(0);
    const SnapshotTextSink sink{&hasher, [](void* context, std::string_view text) -> Status {
                                    static_cast<Wyhash*>(context)->update(text);
                                    return {};
                                }};
    (void)writeSnapshotText(automationSnapshot(runtime, "Bench"), sink);  // takes the per-thread tables
    const std::uint64_t before = bench::allocationCount();
    for (auto _ : state) {
        const AutomationSnapshotModel model = automationSnapshot(runtime, "Bench");
        benchmark::DoNotOptimize(writeSnapshotText(model, sink));
        benchmark::DoNotOptimize(writeAccessibilityText(model, sink));
    }
    benchmark::DoNotOptimize(hasher.digest());
    state.SetItemsProcessed(state.iterations() * kWidgets);
    state.counters["allocations_per_snapshot"] =
        static_cast<double>(bench::allocationCount() - before) / static_cast<double>(state.iterations());
    releaseRuntime(&runtime);
}
BENCHMARK(BM_GatherAndPrintSnapshot)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
