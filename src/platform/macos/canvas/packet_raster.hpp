#pragma once

// The CPU drawing of canvas packet commands: a frame's command list into the view's premultiplied
// RGBA8 pixel buffer, one command into a buffer of its own (the compositor's scratch textures),
// and the box blur over pixels already drawn. Reads only its arguments; the raster cache, the
// trace counters and the image lookup are handed in by the presenter.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "render/packet/packet_model.hpp"

namespace kelvo {

struct RasterCache;

// Commands are shared so that "the same command object" can be told apart from an equal copy:
// the raster cache keeps the command it drew and hits only for that very object.
using PacketCommandRef = std::shared_ptr<const PacketCommand>;

// A premultiplied RGBA8 buffer (bytes R, G, B, A), rows of exactly width × 4 bytes, row 0 on top.
// The caller owns the memory.
struct PacketPixels {
    std::uint8_t* data = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// A decoded image as the presenter's image cache holds it: premultiplied RGBA8, rows of width × 4.
struct PacketImagePixels {
    const std::uint8_t* rgba = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Where a "draw_image" command finds its pixels. Builds of the raster cache call `find` from worker
// threads while the presenter waits for them, so it must not change anything.
class PacketImageSource {
public:
    virtual ~PacketImageSource() = default;
    // Null when no image has that id (the command then draws nothing and succeeds).
    [[nodiscard]] virtual const PacketImagePixels* find(std::uint64_t image_id) const = 0;
};

// The per-frame counters of the draw-trace line. Reset at the start of every frame draw; the
// nanosecond sums grow only while draw tracing is on, except the pre-fill time, always added.
struct PacketTraceCounters {
    std::uint64_t drawn = 0;
    std::uint64_t cache_hits = 0;
    std::uint64_t cache_fills = 0;
    std::uint64_t direct = 0;
    std::uint64_t cache_hit_ns = 0;
    std::uint64_t cache_fill_ns = 0;
    std::uint64_t direct_ns = 0;
    friend bool operator==(const PacketTraceCounters&, const PacketTraceCounters&) = default;
};

// What the drawing uses of the view: its raster cache (null: none yet, nothing cached), its trace
// counters, its images, and the trace switches (read once by the presenter).
struct PacketDrawEnvironment {
    RasterCache* cache = nullptr;
    PacketTraceCounters* counters = nullptr;    // required
    const PacketImageSource* images = nullptr;  // null: no image is found
    bool draw_trace = false;                    // KELVO_GPU_DRAW_TRACE exists
    bool draw_trace_kinds = false;              // KELVO_GPU_DRAW_TRACE_KINDS exists
    std::FILE* trace_out = stderr;              // where cmd-trace and verify lines go
};

// One frame's drawing. Coordinates are points; one point is `scale` pixels.
struct PacketFrameDraw {
    std::span<const PacketCommandRef> commands;
    std::span<const std::uint64_t> keys;  // parallel to `commands`; a command past its end has no key
    double scale = 1;
    PacketColor clear_color{};
    bool full_surface_pass = true;
    bool has_scissor = false;
    PacketRect scissor;
    std::span<const PacketRect> dirty_rects;  // count only with the scissor flag in a partial pass
};

// Draws a frame into `target`: 1 every command drawn or skipped, 0 a command failed (the buffer
// keeps what was drawn before it), -1 the target is unusable (null or a zero side).
int drawPacketCommands(const PacketFrameDraw& frame, PacketPixels target, PacketDrawEnvironment& environment);

// Draws one command alone into `target`, whose top-left pixel is canvas pixel (origin_x, origin_y),
// without an outer clip and without the raster cache (the compositor's scratch textures). The
// target is not cleared. False when the command fails.
bool drawPacketCommandInto(const PacketCommand& command, PacketPixels target, double scale, std::int64_t origin_x,
                           std::int64_t origin_y, const PacketImageSource* images);

// The box blur of a "blur" effect over the pixels in `target` (canvas pixel grid, origin 0, 0):
// the effect's rect through `transform`, cut by `clip` when given. With `repaint` rects (points) it
// writes only inside them (a partial pass: the pixels outside already hold the blurred frame).
// False only when the working buffers cannot be had; every degenerate blur is a no-op.
bool applyPacketBlur(const PacketEffect& effect, const std::optional<PacketTransform>& transform,
                     const std::optional<PacketRect>& clip, double opacity, double scale, PacketPixels target,
                     std::span<const PacketRect> repaint = {});

// The bounding box of the transformed corners of the standardised rect; the rect unchanged
// without a transform.
PacketRect packetTransformRect(const std::optional<PacketTransform>& transform, PacketRect rect);
// max(|(a, b)|, |(c, d)|), at least 0.0001; 1 without a transform.
double packetTransformScale(const std::optional<PacketTransform>& transform);

// The incremental check: after an incremental CPU draw, redraws the whole list into a buffer of its
// own as a full-surface pass and compares it with the view's pixels byte for byte, printing the
// verify lines. The trace counters of the checked frame are kept.
struct PacketVerifyState {
    std::vector<std::uint8_t> pixels;
    std::uint64_t check_count = 0;
    std::uint64_t mismatch_count = 0;
};
void verifyIncrementalBacking(PacketVerifyState& state, std::span<const std::uint8_t> packet_pixels,
                              const PacketFrameDraw& frame, std::uint32_t pixel_width, std::uint32_t pixel_height,
                              std::string_view surface_label, PacketDrawEnvironment& environment);

}  // namespace kelvo
