#pragma once

// The compositor: a frame's commands drawn into the canvas texture as screen-aligned quads on the
// GPU device, flat for whole-pixel opaque solid rectangles, textured from the raster cache or from
// a scratch texture the CPU draws the command into; a blur reads the target back, blurs it on the
// CPU and copies its rectangle back. With the diagnostics that check it against the CPU canvas.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/macos/canvas/canvas_presenter_state.hpp"

namespace kelvo {

struct CompositeFrame {
    std::span<const RetainedCommand> commands;
    std::span<const std::uint64_t> keys;  // parallel to commands; may be empty
    std::uint32_t pixelWidth = 0;
    std::uint32_t pixelHeight = 0;
    double scale = 1;
    double surfaceWidth = 0;
    double surfaceHeight = 0;
    std::array<std::uint8_t, 4> clear{};  // straight R, G, B, A
    std::string_view loadAction;          // for the trace line
    bool fullSurfacePass = true;
    bool hasScissor = false;
    PacketRect scissor;
    std::span<const PacketRect> dirtyRects;
    bool directRetainedDirtyUpdate = false;
};

// The pipelines and the flat texture; false (and presentation stays on the CPU) without a
// unified-memory device.
bool ensureCanvasCompositor(CanvasPresenterState& state);

// 1 presented, 0 not possible (an incremental pass without a complete composite of the right size,
// or a command it cannot take), -1 a texture or blur failed.
int presentCompositePacket(CanvasPresenterState& state, const CompositeFrame& frame);

// One pass into `target`; the same results. Waits for the GPU only when asked.
int compositePacketCommands(CanvasPresenterState& state, const CompositeFrame& frame, const gpu::GpuTextureRef& target,
                            bool waitUntilCompleted);

// The diagnostics: a full composite into a texture of its own compared with the canvas texture;
// the CPU drawing of the same list compared with it; a PNG of the canvas texture.
void verifyCompositeIncremental(CanvasPresenterState& state, const CompositeFrame& frame);
void compareCompositeAgainstCpu(CanvasPresenterState& state, const CompositeFrame& frame);
void dumpCompositeShot(CanvasPresenterState& state);

// Scratch textures of one pass: the byte bound of the pool.
inline constexpr std::uint64_t kScratchPoolMaxBytes = std::uint64_t{64} << 20;
inline constexpr std::size_t kScratchPoolMaxTextures = 64;

}  // namespace kelvo
