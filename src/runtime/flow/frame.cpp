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
    if (runtime.automation.writeSnapshots != nullptr) {
        TRY(runtime.automation.writeSnapshots(runtime.automation.context, runtime));
    }

    const std::uint64_t workEnd = runtimeMonotonicNs(runtime);
    ++runtime.frameCounter;
    runtime.lastFrame = LastFrameRecord{runtime.frameCounter, runtime.changeCounter, runtime.dirtyRegions.size(),
                                        workEnd > workStart ? workEnd - workStart : 0};
    runtime.changeCounter = 0;
    runtime.dirtyRegions.clear();
    runtime.stateDirty = false;
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
