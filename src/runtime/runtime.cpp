#include "runtime/runtime.hpp"

#include <sys/mman.h>

#include <new>

namespace kelvo {

Result<Runtime*> allocateRuntime() {
    void* pages = mmap(nullptr, sizeof(Runtime), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) return fail(Error::OutOfMemory);
    // The pages arrive zero-filled; the record's own initializers give every field its start value.
    return ::new (pages) Runtime;
}

void releaseRuntime(Runtime* runtime) {
    if (runtime == nullptr) return;
    runtime->~Runtime();
    munmap(runtime, sizeof(Runtime));
}

void markDirtyRegion(Runtime& runtime, const RectF& frame) {
    runtime.stateDirty = true;
    (void)runtime.dirtyRegions.push(frame);
}

void noteWindowToPublish(Runtime& runtime, std::uint64_t windowId) {
    for (std::uint64_t listed : runtime.windowsToPublish) {
        if (listed == windowId) return;
    }
    (void)runtime.windowsToPublish.push(windowId);
}

std::int64_t runtimeWallClockNs(const Runtime& runtime) {
    if (!runtime.io.present()) return 0;
    std::int64_t now = ioWallClockNs(runtime.io);
    return now > 0 ? now : 0;
}

std::uint64_t runtimeMonotonicNs(const Runtime& runtime) {
    return runtime.io.present() ? ioMonotonicNs(runtime.io) : 0;
}

void recordSurfaceMetrics(Runtime& runtime, const SurfaceResizedEvent& metrics) {
    for (SurfaceResizedEvent& entry : runtime.surfaceMetrics) {
        if (entry.windowId == metrics.windowId) {
            entry = metrics;
            return;
        }
    }
    if (runtime.surfaceMetrics.full()) {
        // Make room by forgetting windows that no longer have a record, else the oldest entry.
        std::size_t victim = 0;
        for (std::size_t i = 0; i < runtime.surfaceMetrics.size(); ++i) {
            if (!findWindowIndexById(runtime, runtime.surfaceMetrics[i].windowId)) {
                victim = i;
                break;
            }
        }
        runtime.surfaceMetrics.removeAt(victim);
    }
    (void)runtime.surfaceMetrics.push(metrics);
}

const SurfaceResizedEvent* surfaceMetricsFor(const Runtime& runtime, std::uint64_t windowId) {
    for (const SurfaceResizedEvent& entry : runtime.surfaceMetrics) {
        if (entry.windowId == windowId) return &entry;
    }
    return nullptr;
}

}  // namespace kelvo
