#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/types/gpu_surface_event.hpp"
#include "platform/types/platform_event.hpp"

namespace kelvo {

// How a backend turns the raw values of its host into event fields. Every backend applies the
// same rules, and the runtime relies on them.

// A host audio kind below 5 passes through; anything else is reported as failed.
AudioEventKind audioEventKindFromHost(std::int64_t hostKind);

// A host accessibility action 0..10 passes through; any other code drops the event (none).
std::optional<std::uint32_t> accessibilityActionFromHost(std::int64_t hostAction);

// The host's input kinds (pointer down, up, move, drag, wheel, key down, key up, text insert,
// composition update, commit, cancel, pointer leave) in the canvas order; unknown kinds count as
// pointer moves.
GpuSurfaceInputKind gpuSurfaceInputKindFromHost(std::int64_t hostKind);

// Splits the host's NUL-separated path buffer into `out`, skipping empty pieces; a last piece
// without a closing NUL still counts. Stops at kMaxDroppedPaths paths (or when `out` is full);
// returns the number written.
std::size_t splitDroppedPaths(std::string_view buffer, std::span<std::string_view> out);

}  // namespace kelvo
