#pragma once

// Times a stage of canvas work for the frame profile, on the monotonic clock. Private to
// runtime/canvas.

#include <cstdint>
#include <optional>

namespace kelvo {

struct Runtime;

enum class CanvasProfileStage : std::uint32_t { emit = 3, a11y = 4 };

// The start of a timed stage: now, while the frame profile records; else none.
std::optional<std::uint64_t> startCanvasStage(const Runtime& runtime);

// Records the time since `start` under the stage; nothing without a start.
void finishCanvasStage(Runtime& runtime, CanvasProfileStage stage, std::optional<std::uint64_t> start);

}  // namespace kelvo
