// Frame publication: a frame request publishes a frame only when something visible changed since
// the last one.

#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/kind_handlers.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

Status handleFrameRequested(Runtime& runtime, const AppBinding& binding) {
    const std::uint64_t workStart = runtimeMonotonicNs(runtime);
    if (runtime.automation.drainCommands != nullptr) {
        TRY(runtime.automation.drainCommands(runtime.automation.context, runtime, binding));
    }
    if (!runtime.stateDirty) return {};
    // A publication that fails (a full disk, a folder taken away) does not end the run: it is
    // recorded, the frame goes on, and the state stays dirty so the next frame writes it again.
    bool publicationFailed = false;
    if (runtime.automation.writeSnapshots != nullptr) {
        if (Status written = runtime.automation.writeSnapshots(runtime.automation.context, runtime); !written) {
            recordDispatchErrorDetail(runtime, "automation.publish_failed", written.error());
            publicationFailed = true;
        }
    }

    const std::uint64_t workEnd = runtimeMonotonicNs(runtime);
    ++runtime.frameCounter;
    runtime.lastFrame = LastFrameRecord{runtime.frameCounter, runtime.changeCounter, runtime.dirtyRegions.size(),
                                        workEnd > workStart ? workEnd - workStart : 0};
    runtime.changeCounter = 0;
    runtime.dirtyRegions.clear();
    runtime.stateDirty = publicationFailed;
    runtimeTrace(
        runtime, "runtime.frame", "frame published",
        {traceU64("frame", runtime.frameCounter), traceU64("dirty_regions", runtime.lastFrame.dirtyRegionCount)});

    // The frame hook goes straight to the application's handler: no trace, no modules.
    if (binding.eventHandler == nullptr) return {};
    Status handled =
        binding.eventHandler(binding.appContext, runtime, RuntimeEvent(LifecycleEvent{LifecycleStep::frame}));
    return recordUnlessStopping(runtime, "lifecycle", handled);
}

}  // namespace kelvo
