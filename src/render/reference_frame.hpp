#pragma once

// A whole display list drawn by the reference renderer: the surface cleared to a colour, the list
// walked into render commands at a scale, and each command drawn in order.

#include <span>

#include "base/error.hpp"
#include "render/reference.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

inline constexpr std::size_t kReferenceFrameCommands = 2048;

// Sets every pixel of the surface to `colour` (straight alpha, as bytes).
void clearReferenceSurface(ReferenceRenderSurface& surface, const Color& colour);

// Draws `commands` with `scale` device pixels per point onto the surface as it is. The errors of
// the walk (RenderStackOverflow, RenderStackUnderflow, RenderListFull past 2,048 drawn commands) and
// of the first command that fails to draw.
Status renderDisplayList(ReferenceRenderSurface& surface, std::span<const CanvasCommand> commands, float scale);

}  // namespace kelvo
