#pragma once

// Private to the compositor's files: repaint regions, records and scratch textures of one pass.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/macos/canvas/compositor.hpp"
#include "platform/macos/canvas/packet_geometry.hpp"

namespace kelvo::composite {

// The regions a pass repaints, snapped to whole pixels first and then merged while two overlap, so
// no pixel lies in two regions and none is blended twice.
std::vector<PixelGridRect> repaintRegions(const CompositeFrame& frame, bool partial);

enum class RecordKind : std::uint8_t { skip = 0, flat = 1, textured = 2, blur = 3 };

struct Record {
    RecordKind kind = RecordKind::skip;
    PacketRect bounds;  // standardised, points
    PixelGridRect pixels;
    std::array<float, 4> color{};  // premultiplied
    std::size_t index = 0;
    gpu::GpuTextureRef texture;
    std::optional<PacketRect> blurClip;
};

// A whole-pixel opaque solid rectangle, or nothing.
std::optional<PixelGridRect> flatQuadRect(const PacketCommand& command, double scale, std::uint32_t pixelWidth,
                                          std::uint32_t pixelHeight);

// The command drawn on the CPU into a scratch texture: its bounds (cut by `repaint` when given)
// plus one pixel each side. The texture is pooled under `poolKey` unless the key was already used
// in this pass (`usedKeys`); null when there is nothing to draw or the drawing fails.
gpu::GpuTextureRef scratchTexture(CanvasPresenterState& state, const PacketCommand& command,
                                  std::optional<std::uint64_t> poolKey, double scale, std::uint32_t pixelWidth,
                                  std::uint32_t pixelHeight, const std::optional<PacketRect>& repaint,
                                  std::vector<std::uint64_t>& usedKeys, PixelGridRect& outRegion);

std::array<float, 4> premultipliedClear(const std::array<std::uint8_t, 4>& clear);

}  // namespace kelvo::composite
