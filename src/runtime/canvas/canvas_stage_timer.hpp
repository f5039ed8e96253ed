#pragma once

// Times a stage of canvas work for the frame profile, on the monotonic clock. Private to
// runtime/canvas.

#include <cstdint>
#include <optional>

#include "runtime/flow/frame_profile.hpp"

namespace kelvo {

struct Runtime;

// The start of a timed stage: now, while the frame profile records; else none.
std::optional<std::uint64_t> startCanvasStage(const Runtime& runtime);

// Records the time since `start` under the stage; nothing without a start.
void finishCanvasStage(Runtime& runtime, FrameProfileStage stage, std::optional<std::uint64_t> start);

}  // namespace kelvo
