// The frame-to-frame cost of a 300-widget canvas view at 60 frames per second, through the whole
// path: the surface's frame event reaches the runtime through the host and the adapter, the
// runtime plans the frame and writes its packet, the host decodes and draws it, and the surface
// shows its drawable. A spinner keeps the screen changing, so a frame is due every interval.
// The host runs on the headless backend, whose clock is virtual: the time measured is the CPU
// the frames took, reported per frame, with the plan's time per frame (median and largest).

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "base/posix_io.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/macos/mac_platform.hpp"
#include "platform/standin/headless/headless.hpp"
#include "runtime/canvas/canvas_images.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_create.hpp"
#include "screen_tree.hpp"

namespace kelvo {
namespace {

constexpr std::uint64_t kSecondNs = 1'000'000'000;

std::uint64_t processCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * kSecondNs + static_cast<std::uint64_t>(now.tv_nsec);
}

struct FrameCount {
    std::uint64_t frames = 0;
};

// Runs the frames of a 1280 x 800 canvas view showing `tree` for `seconds` after a settling second,
// and reports the CPU per frame and the plan's time (the frame profile's plan stage).
// `prepare` runs on the runtime before the view is made.
template <class Prepare>
void runFrameLoop(benchmark::State& state, std::uint64_t seconds, const std::string& tree, Prepare&& prepare) {
    for (auto _ : state) {
        standin::HeadlessStandIn platform;
        standin::installStandIn(&platform.record());
        KelvoAppKitHost* host = kelvo_appkit_create("Bench", 5, nullptr, 0, nullptr, 0, nullptr, 0, 0, "Bench", 5,
                                                    nullptr, 0, nullptr, 0, "main", 4, 0, 0, 1280, 800, 0, 1, 0, 0);
        Runtime* runtime = *allocateRuntime();
        // The program's I/O: the frame profile times its stages by this clock.
        runtime->io = posixIo();
        MacPlatform mac;
        mac.host = host;
        mac.app.appName = "Bench";
        mac.app.mainWindow.id = 1;
        mac.app.mainWindow.label = "main";
        mac.app.mainWindow.frame = RectF{0, 0, 1280, 800};
        runtime->appConfig = mac.app;
        fillMacPlatform(runtime->platform, mac);
        FrameCount counted;
        RunContext context{runtime, {}};
        context.binding.appContext = &counted;
        context.binding.eventHandler = [](void* count, Runtime&, const RuntimeEvent& event) -> Status {
            if (std::holds_alternative<GpuSurfaceFrame>(event)) ++static_cast<FrameCount*>(count)->frames;
            return {};
        };
        platform.at(1'000'000, [&] {
            if (!prepare(*runtime)) state.SkipWithError("the runtime could not be prepared");
            ViewOptions canvas{
                .windowId = 1, .label = "screen", .frame = {0, 0, 1280, 800}, .kind = ViewKind::gpu_surface};
            canvas.gpu = GpuSurfaceOptions{GpuBackend::software, GpuPixelFormat::bgra8_unorm, GpuPresentMode::timer,
                                           GpuAlphaMode::opaque, GpuColorSpace::srgb,         true};
            if (!createView(*runtime, canvas) ||
                !installCanvasWidgetTreeText(*runtime, runtime->views.size() - 1, tree)) {
                state.SkipWithError("the canvas view could not be made");
            }
        });
        // The first second settles the view (first frame, full draw); the frames after it count.
        std::uint64_t cpuStart = 0;
        std::uint64_t framesBefore = 0;
        platform.at(kSecondNs, [&] {
            cpuStart = processCpuNs();
            framesBefore = counted.frames;
            runtime->frameProfile.clearSamples();
            runtime->frameProfile.enabled = true;
        });
        platform.at((1 + seconds) * kSecondNs, [&] { kelvo_appkit_stop(host); });
        (void)runtime->platform.run(runtime->platform.context, handlePlatformEvent, &context);
        const std::uint64_t cpu = processCpuNs() - cpuStart;
        const std::uint64_t frames = counted.frames - framesBefore;
        state.SetIterationTime(static_cast<double>(cpu) / kSecondNs);
        if (frames > 0) {
            const FrameProfileStats plan =
                runtime->frameProfile.stats(static_cast<std::uint32_t>(FrameProfileStage::plan));
            state.counters["frames"] = static_cast<double>(frames);
            state.counters["cpu_us_per_frame"] = static_cast<double>(cpu) / 1000.0 / static_cast<double>(frames);
            state.counters["cpu_share_at_60fps"] = static_cast<double>(cpu) / 1000.0 / frames / 16'666.7;
            state.counters["plan_us_p50"] = static_cast<double>(plan.p50);
            state.counters["plan_us_max"] = static_cast<double>(plan.max);
        }
        releaseRuntime(runtime);
        kelvo_appkit_destroy(host);
        standin::installStandIn(nullptr);
    }
}

void BM_CanvasFrameLoop300Widgets(benchmark::State& state) {
    std::string tree = bench::screenTree();
    tree += "  spinner id=900 rect=1240,776,16,16 value=0.25\n";
    runFrameLoop(state, static_cast<std::uint64_t>(state.range(0)), tree, [](Runtime&) { return true; });
}
BENCHMARK(BM_CanvasFrameLoop300Widgets)->Arg(2)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// A registered image on show beside a spinner: 16 x 16 pixels, or the 32 MiB the runtime's image
// store holds (4,096 x 2,048). Every frame plans the image; what that costs should not grow with
// its pixels.
void BM_CanvasFrameLoopImage(benchmark::State& state) {
    const auto width = static_cast<std::uint32_t>(state.range(0));
    const auto height = static_cast<std::uint32_t>(state.range(1));
    const std::string tree =
        "column id=1 rect=0,0,1280,800\n"
        "  image id=2 rect=0,0,640,320 image_id=7 image_fit=1\n"
        "  spinner id=3 rect=1240,776,16,16 value=0.25\n";
    const std::vector<std::uint8_t> pixels(std::size_t{width} * height * 4, 0x80);
    runFrameLoop(state, 2, tree,
                 [&](Runtime& runtime) { return registerCanvasImage(runtime, 7, width, height, pixels).has_value(); });
}
BENCHMARK(BM_CanvasFrameLoopImage)
    ->Args({16, 16})
    ->Args({4096, 2048})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
