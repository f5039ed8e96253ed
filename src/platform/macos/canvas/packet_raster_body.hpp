#pragma once

// Private to platform/macos/canvas: the drawing of one packet command on a canvas, shared by the
// frame draw and the raster cache's entry builder.

#include <optional>
#include <string_view>

#include "platform/macos/canvas/canvas_2d.hpp"
#include "platform/macos/canvas/packet_raster.hpp"

namespace kelvo {

// Text sizes are capped: glyph outlines at larger sizes only cost time and memory.
inline constexpr double kPacketTextMaxSize = 16384;

// The command's opacity clamped to 0..1 (a non-finite value counts as 1).
double packetEffectiveOpacity(const PacketCommand& command);

// A colour at an opacity as premultiplied floats.
std::array<float, 4> packetPremultipliedColour(const PacketColor& colour, double opacity);

// Draws a command's body on the canvas (transform and clips already set); `clip` is the clip rect in
// surface points that a blur is cut by. False when the command fails.
bool drawPacketCommandBody(Canvas2d& canvas, const PacketCommand& command, double opacity, double scale,
                           const std::optional<PacketRect>& clip, const PacketImageSource* images);

// Clips, transforms and draws one command (without the raster cache).
bool drawPacketCommandOnCanvas(Canvas2d canvas, const PacketCommand& command, std::optional<PacketRect> clip,
                               double scale, const PacketImageSource* images);

// The box blur with its writes limited to the pixels `repaint` shows (null: no limit). In a partial
// pass the pixels outside the dirty rects already hold the blurred frame; blurring them again would
// smear them further with every frame.
bool applyPacketBlurInside(const PacketEffect& effect, const std::optional<PacketTransform>& transform,
                           const std::optional<PacketRect>& clip, double opacity, double scale, PacketPixels target,
                           const Canvas2d* repaint);

bool drawPacketText(const Canvas2d& canvas, const PacketText& text, double opacity);
bool drawPacketImage(const Canvas2d& canvas, const PacketImageDraw& image, const PacketImageSource* images,
                     double opacity);
bool drawPacketShadow(const Canvas2d& canvas, const PacketEffect& effect, double opacity);

}  // namespace kelvo
