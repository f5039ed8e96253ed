// Dispatches 100,000 platform events (frame requests and bridge messages, alternating) through the
// runtime's event flow, with a trace sink attached, and counts heap allocations while it runs.
// Reports events per second and allocations per event (which must stay 0).

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "allocation_counter.hpp"
#include "base/posix_io.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr int kEventsPerRun = 100'000;

// A sink that takes every record and keeps nothing, as a log behind a buffered writer would.
Status acceptTrace(void* context, const TraceRecord& record) {
    *static_cast<std::uint64_t*>(context) += record.name.size();
    return {};
}

// A web view that takes every bridge reply.
Status takeReply(void*, std::string_view) { return {}; }

void BM_DispatchFramesAndBridgeMessages(benchmark::State& state) {
    Result<Runtime*> allocated = allocateRuntime();
    if (!allocated) {
        state.SkipWithError("runtime record not allocated");
        return;
    }
    Runtime& runtime = **allocated;
    std::uint64_t traced = 0;
    runtime.io = posixIo();
    runtime.trace.sink = TraceSink{&traced, acceptTrace};
    runtime.trace.present = true;
    runtime.platform.slots.completeBridge = takeReply;
    AppBinding binding;
    binding.appId = "vostra-studio";

    const PlatformEvent frame = FrameRequestedEvent{};
    const PlatformEvent message = BridgeMessage{
        R"({"id":"7","command":"vostra.file.read.chunk","payload":{"offset":0}})", "vexa://app", 1, "main"};

    std::uint64_t allocations = 0;
    std::uint64_t events = 0;
    for (auto _ : state) {
        const std::uint64_t before = bench::allocationCount();
        for (int i = 0; i < kEventsPerRun; ++i) {
            Status status = dispatchPlatformEvent(runtime, binding, (i % 2 == 0) ? message : frame);
            benchmark::DoNotOptimize(status);
        }
        allocations += bench::allocationCount() - before;
        events += kEventsPerRun;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(events));
    state.counters["allocations_per_event"] =
        benchmark::Counter(events == 0 ? 0.0 : static_cast<double>(allocations) / static_cast<double>(events));
    state.counters["frames_published"] = static_cast<double>(runtime.frameCounter);
    if (allocations != 0) state.SkipWithError("the event flow allocated on the heap");
    releaseRuntime(&runtime);
}
BENCHMARK(BM_DispatchFramesAndBridgeMessages)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
