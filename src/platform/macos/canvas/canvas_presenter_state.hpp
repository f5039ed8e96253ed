#pragma once

// The state a GPU canvas view keeps between packets: the retained command set that "patch"
// packets edit, the images "draw_image" commands draw, the CPU canvas, the canvas texture the view
// shows, the compositor's objects and the counters the traces print. Presentation, the CPU
// rasteriser, the raster cache and the compositor read and write it; the surface view owns one.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/macos/canvas/canvas_switches.hpp"
#include "platform/macos/canvas/image_store.hpp"
#include "platform/macos/canvas/packet_raster.hpp"
#include "platform/macos/canvas/raster_cache.hpp"
#include "platform/standin/gpu/gpu_device.hpp"
#include "render/packet/packet_model.hpp"

namespace kelvo {

// A command as a packet delivered it. Unchanged commands of a "patch" keep their object, so the
// raster cache recognises them by address.
using RetainedCommand = PacketCommandRef;

// The view's hooks into its frame loop; any may be null.
struct CanvasViewHooks {
    void* context = nullptr;
    bool (*available)(void* context) = nullptr;         // null: available
    void (*stopDisplayTimer)(void* context) = nullptr;  // before an immediate frame
    void (*renderFrame)(void* context) = nullptr;       // draws the canvas texture now
    std::uint64_t (*clockNs)(void* context) = nullptr;  // monotonic; null: the process's steady clock
};

struct CanvasPresenterState {
    // Retained state: meaningful only while hasRetainedState. Every key of the order is in the
    // map; the order may repeat a key after a patch.
    bool hasRetainedState = false;
    std::unordered_map<std::uint64_t, RetainedCommand> retainedCommands;
    std::vector<std::uint64_t> retainedOrder;
    std::uint64_t retainedGeneration = 0;

    CanvasImageMap imageCache;
    const CanvasImageMap* imageStore = nullptr;  // the host's uploaded images; read, never written

    // The CPU canvas: premultiplied RGBA8, rows of pixelWidth * 4 bytes, top row first.
    std::vector<std::uint8_t> pixels;
    std::uint32_t pixelWidth = 0;
    std::uint32_t pixelHeight = 0;
    bool pixelsValid = false;

    // The texture the view shows.
    gpu::GpuDevice* device = nullptr;
    gpu::GpuTextureRef canvasTexture;
    bool canvasTextureRenderable = false;
    bool hasCanvasTexture = false;
    bool compositeContentValid = false;
    bool presenterReady = false;

    // The compositor.
    bool compositorReady = false;
    std::unordered_map<std::uint64_t, gpu::GpuTextureRef> scratchPool;  // by command key
    std::uint64_t scratchPoolBytes = 0;
    gpu::GpuCommandBufferRef lastCommandBuffer;
    gpu::GpuTextureRef verifyTexture;
    std::uint64_t compositePresentCount = 0;
    std::uint64_t compareCheckCount = 0;
    std::uint64_t gpuVerifyCheckCount = 0;
    std::uint64_t gpuVerifyMismatchCount = 0;
    std::vector<std::uint8_t> comparePixels;   // the CPU redraw the compositor is compared with
    std::vector<std::uint8_t> readBackPixels;  // the target a blur reads back

    PacketTraceCounters trace;
    std::uint64_t traceQuads = 0;  // compositor: quads drawn and pipelines bound in the last pass
    std::uint64_t traceBinds = 0;
    RasterCache rasterCache;
    PacketVerifyState verify;  // the CPU incremental check

    std::uint64_t lastPacketDecodeNs = 0;
    std::uint64_t lastPacketDrawNs = 0;

    std::string surfaceLabel;
    CanvasViewHooks hooks;
    CanvasSwitches switches = canvasSwitches();
    std::FILE* traceOut = stderr;  // trace, verify and compare lines
};

}  // namespace kelvo
