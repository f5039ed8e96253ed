#include "runtime/canvas/canvas_stage_timer.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

std::optional<std::uint64_t> startCanvasStage(const Runtime& runtime) {
    if (!runtime.frameProfile.enabled) return std::nullopt;
    return runtimeMonotonicNs(runtime);
}

void finishCanvasStage(Runtime& runtime, FrameProfileStage stage, std::optional<std::uint64_t> start) {
    if (!start) return;
    const std::uint64_t now = runtimeMonotonicNs(runtime);
    runtime.frameProfile.recordNs(static_cast<std::uint32_t>(stage), now > *start ? now - *start : 0);
}

}  // namespace kelvo
