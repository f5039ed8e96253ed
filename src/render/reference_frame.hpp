#pragma once

// A whole display list drawn by the reference renderer: the surface cleared to a colour, the list
// walked into render commands at a scale, and each command drawn in order.

#include <span>

#include "base/error.hpp"
#include "raster/png.hpp"
#include "render/reference.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

inline constexpr std::size_t kReferenceFrameCommands = 2048;
// The widest and tallest frame drawn whole, in pixels (a screenshot's limit).
inline constexpr std::uint64_t kReferenceFrameMaxSide = 16384;

// Sets every pixel of the surface to `colour` (straight alpha, as bytes).
void clearReferenceSurface(ReferenceRenderSurface& surface, const Color& colour);

// Draws `commands` with `scale` device pixels per point onto the surface as it is. The errors of
// the walk (RenderStackOverflow, RenderStackUnderflow, RenderListFull past 2,048 drawn commands) and
// of the first command that fails to draw.
Status renderDisplayList(ReferenceRenderSurface& surface, std::span<const CanvasCommand> commands, float scale);

struct ReferenceFrameRequest {
    std::span<const CanvasCommand> commands;
    float width = 0;   // points
    float height = 0;  // points
    float scale = 1;   // device pixels per point
    Color clear;
    std::span<const ReferenceImage> images;
    std::span<const ReferenceFont> fonts;
};

// Draws the list onto a surface of ceil(width x scale) by ceil(height x scale) pixels cleared to
// `clear`, and encodes it as PNG. InvalidPngDimensions for a side that is not 1 to 16,384 pixels,
// OutOfMemory when the pixels cannot be had, and the errors of renderDisplayList.
Result<PngBytes> renderDisplayListPng(const ReferenceFrameRequest& request);

}  // namespace kelvo
