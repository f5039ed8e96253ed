#pragma once

// A runtime record with one GPU canvas view "canvas" (1280 x 800, index 0) holding a canvas slot,
// and no platform services, so benchmarks time the runtime's own work.

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/runtime.hpp"

namespace kelvo::bench {

struct ScreenRuntime {
    Runtime* runtime = nullptr;

    ScreenRuntime() {
        runtime = *allocateRuntime();
        RuntimeView& view = runtime->views.items[runtime->views.count++];
        view.windowId = 1;
        view.kind = ViewKind::gpu_surface;
        (void)view.label.assign("canvas");
        view.frame = {0, 0, 1280, 800};
        (void)claimCanvasSlot(runtime->canvasSlots, view);
    }
    ~ScreenRuntime() { releaseRuntime(runtime); }
    ScreenRuntime(const ScreenRuntime&) = delete;
    ScreenRuntime& operator=(const ScreenRuntime&) = delete;

    RuntimeView& view() { return runtime->views[0]; }
};

}  // namespace kelvo::bench
