#pragma once

// The retained command set of a canvas view: what a "clear" packet leaves for later "patch"
// packets, and the patch steps that edit it.

#include <span>
#include <vector>

#include "platform/macos/canvas/canvas_presenter_state.hpp"

namespace kelvo {

inline constexpr std::size_t kRetainedCommandLimit = 2048;

// The state stops being used; the set, order and generation stay as they were.
void dropRetainedState(CanvasPresenterState& state);

// Applies a "patch" packet to the retained set: evicts, then upserts, then the new order. On
// success `commands` holds the commands to draw, in the new order. False rejects the packet: a
// patch that does not fit the state (none, another generation, missing lists) leaves it as it is;
// one with a bad entry or a count that does not add up drops it.
bool applyRetainedPatch(CanvasPresenterState& state, const CanvasPacket& packet,
                        std::vector<RetainedCommand>& commands);

// After a packet was presented: a "clear" with a generation and one unique key per command (at
// most 2048) becomes the retained state; any other "clear" or "load" drops it and wipes the raster
// cache. A "patch" has already updated the state.
void recordRetainedState(CanvasPresenterState& state, const CanvasPacket& packet,
                         std::span<const RetainedCommand> commands);

}  // namespace kelvo
