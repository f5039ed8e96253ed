#include "runtime/canvas/canvas_stage_timer.hpp"

#include "runtime/runtime.hpp"

namespace kelvo {

// FRAME PROFILE SEAM: the runtime has no frame profile yet. Once it has one, a start is taken
// while the profile is enabled and the finish records the elapsed time under the stage.
std::optional<std::uint64_t> startCanvasStage(const Runtime&) { return std::nullopt; }

void finishCanvasStage(Runtime& runtime, CanvasProfileStage, std::optional<std::uint64_t> start) {
    if (!start) return;
    const std::uint64_t now = runtimeMonotonicNs(runtime);
    (void)(now > *start ? now - *start : 0);
}

}  // namespace kelvo
