#pragma once

// The GPU the canvas presenter draws with, in software: RGBA8 textures the CPU reads and writes
// directly (every texture is shared memory), render passes that clear or load their target, two
// pipelines (copy: the source replaces the target; blend: premultiplied source-over), scissor
// rectangles, flat and textured screen-aligned quads, command buffers that run when they are
// waited on, and a drawable the view's texture is shown in 1:1. Headless and GTK both draw with
// it, so both give the same pixels.
//
// Command buffers are recorded, committed, and run in commit order when one of them is waited
// for (or the device is flushed): until then a committed buffer is "in flight" and a texture it
// draws into must not be touched by the CPU.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

namespace kelvo::gpu {

inline constexpr std::uint32_t kGpuMaxTextureSide = 8192;

struct GpuTexture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool renderTarget = false;
    std::vector<std::uint8_t> bytes;  // R, G, B, A per pixel, rows of width * 4 bytes, top row first
};
using GpuTextureRef = std::shared_ptr<GpuTexture>;

// A pixel rectangle; x + width and y + height never pass the texture it is used with.
struct GpuRegion {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

enum class GpuPipeline : std::uint8_t { none = 0, copy = 1, blend = 2 };
enum class GpuLoadAction : std::uint8_t { load = 0, clear = 1 };

// What one quad draw hands the shaders: the rect in target pixels, where its texels start, a
// premultiplied colour for an untextured quad.
struct GpuQuad {
    std::array<float, 2> rectOrigin{};
    std::array<float, 2> rectSize{};
    std::array<float, 2> texOrigin{};
    std::array<float, 4> color{};  // premultiplied, 0..1
    bool textured = false;
};

// One recorded step of a command buffer.
struct GpuBeginPass {
    GpuTextureRef target;
    GpuLoadAction load;
    std::array<float, 4> clear;
};
struct GpuSetPipeline {
    GpuPipeline pipeline;
};
struct GpuSetScissor {
    GpuRegion region;
};
struct GpuDrawQuad {
    GpuQuad quad;
    GpuTextureRef texture;
};
struct GpuEndPass {};

struct GpuOp {
    std::variant<GpuBeginPass, GpuSetPipeline, GpuSetScissor, GpuDrawQuad, GpuEndPass> op;
};

struct GpuCommandBuffer {
    std::vector<GpuOp> ops;
    bool committed = false;
    bool completed = false;
    bool passOpen = false;
};
using GpuCommandBufferRef = std::shared_ptr<GpuCommandBuffer>;

struct GpuDevice {
    bool unifiedMemory = true;
    std::vector<GpuCommandBufferRef> inFlight;  // committed, not yet run, in commit order
    std::uint64_t buffersRun = 0;
};

// Sides 1..8192; nullptr otherwise. The texture starts with every byte 0.
GpuTextureRef makeTexture(std::uint32_t width, std::uint32_t height, bool renderTarget);

// Copies a region in or out; rows of `bytesPerRow` bytes in `bytes`. False when the region does not
// lie inside the texture or a row is shorter than region.width * 4.
bool replaceRegion(GpuTexture& texture, GpuRegion region, const std::uint8_t* bytes, std::size_t bytesPerRow);
bool readRegion(const GpuTexture& texture, GpuRegion region, std::uint8_t* bytes, std::size_t bytesPerRow);

// Recording. A pass starts with its target cleared to `clear` (premultiplied, 0..1) or loaded; the
// scissor starts as the whole target; no pipeline is bound at the start of a pass.
GpuCommandBufferRef makeCommandBuffer();
void beginPass(GpuCommandBuffer& buffer, GpuTextureRef target, GpuLoadAction load, std::array<float, 4> clear);
void setPipeline(GpuCommandBuffer& buffer, GpuPipeline pipeline);
void setScissor(GpuCommandBuffer& buffer, GpuRegion region);  // clamped to the target when it runs
void drawQuad(GpuCommandBuffer& buffer, const GpuQuad& quad, GpuTextureRef texture);
void endPass(GpuCommandBuffer& buffer);

void commit(GpuDevice& device, GpuCommandBufferRef buffer);
// Runs every buffer committed up to and including this one.
void waitUntilCompleted(GpuDevice& device, const GpuCommandBufferRef& buffer);
// Runs everything in flight.
void flush(GpuDevice& device);

// The drawable a frame is shown in: the canvas texture drawn over it 1:1 (nearest sampling, row 0
// at the top), stretched when the sizes differ.
struct GpuDrawable {
    GpuTexture texture;
    std::uint64_t presentCount = 0;
};
bool presentCanvas(GpuDevice& device, GpuDrawable& drawable, const GpuTexture& canvas, std::uint32_t width,
                   std::uint32_t height);
// R, G, B, A of the drawable's centre pixel (width / 2, height / 2); 0 when it is empty.
std::array<std::uint8_t, 4> probeCentrePixel(const GpuDrawable& drawable);

// Premultiplied source-over of one 8-bit channel, as the blend pipeline computes it:
// source + target * (255 - source alpha) / 255, the product rounded half down.
inline std::uint8_t blendChannel(std::uint32_t source, std::uint32_t target, std::uint32_t sourceAlpha) {
    std::uint32_t value = source + (target * (255u - sourceAlpha) + 127u) / 255u;
    return static_cast<std::uint8_t>(value > 255u ? 255u : value);
}

}  // namespace kelvo::gpu
