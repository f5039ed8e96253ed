#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "base/posix_io.hpp"
#include "platform/macos/canvas/compositor.hpp"
#include "platform/macos/canvas/packet_images.hpp"
#include "raster/png.hpp"

namespace kelvo {

namespace {

void waitForLastComposite(CanvasPresenterState& state) {
    if (!state.lastCommandBuffer) return;
    gpu::waitUntilCompleted(*state.device, state.lastCommandBuffer);
    state.lastCommandBuffer.reset();
}

std::vector<std::uint8_t> readAll(const gpu::GpuTexture& texture) {
    std::vector<std::uint8_t> bytes(texture.bytes.size());
    gpu::readRegion(texture, gpu::GpuRegion{0, 0, texture.width, texture.height}, bytes.data(),
                    std::size_t{texture.width} * 4);
    return bytes;
}

CompositeFrame fullPassOf(const CompositeFrame& frame) {
    CompositeFrame full = frame;
    full.fullSurfacePass = true;
    full.hasScissor = false;
    full.scissor = PacketRect{};
    full.dirtyRects = {};
    full.directRetainedDirtyUpdate = false;
    return full;
}

// The counters of the presented frame stay what the draw-trace line reported.
struct KeptCounters {
    CanvasPresenterState& state;
    PacketTraceCounters trace = state.trace;
    std::uint64_t quads = state.traceQuads;
    std::uint64_t binds = state.traceBinds;
    ~KeptCounters() {
        state.trace = trace;
        state.traceQuads = quads;
        state.traceBinds = binds;
    }
};

std::uint8_t unpremultiply(std::uint8_t channel, std::uint8_t alpha) {
    if (alpha == 0) return 0;
    unsigned value = (channel * 255u + alpha / 2u) / alpha;
    return static_cast<std::uint8_t>(value > 255u ? 255u : value);
}

}  // namespace

void verifyCompositeIncremental(CanvasPresenterState& state, const CompositeFrame& frame) {
    if (!state.canvasTexture) return;
    waitForLastComposite(state);
    KeptCounters kept{state};
    gpu::GpuTextureRef& verify = state.verifyTexture;
    if (!verify || verify->width != frame.pixelWidth || verify->height != frame.pixelHeight) {
        verify = gpu::makeTexture(frame.pixelWidth, frame.pixelHeight, true);
        if (!verify) return;
    }
    if (compositePacketCommands(state, fullPassOf(frame), verify, true) != 1) return;
    const std::vector<std::uint8_t>& shown = state.canvasTexture->bytes;
    const std::vector<std::uint8_t>& expected = verify->bytes;
    ++state.gpuVerifyCheckCount;
    const char* label = state.surfaceLabel.c_str();
    for (std::size_t i = 0; i < shown.size() && i < expected.size(); ++i) {
        if (shown[i] == expected[i]) continue;
        ++state.gpuVerifyMismatchCount;
        std::size_t pixel = i / 4;
        std::fprintf(state.traceOut,
                     "kelvo: gpu incremental verify MISMATCH view=%s check=%" PRIu64
                     " pixel=(%lu,%lu) scissor=(%.2f,%.2f %.2fx%.2f)\n",
                     label, state.gpuVerifyCheckCount, static_cast<unsigned long>(pixel % frame.pixelWidth),
                     static_cast<unsigned long>(pixel / frame.pixelWidth), frame.scissor.x, frame.scissor.y,
                     frame.scissor.width, frame.scissor.height);
        break;
    }
    if (state.gpuVerifyCheckCount == 1 || state.gpuVerifyCheckCount % 30 == 0 || state.gpuVerifyMismatchCount != 0) {
        std::fprintf(state.traceOut,
                     "kelvo: gpu incremental verify view=%s checks=%" PRIu64 " mismatches=%" PRIu64 "\n", label,
                     state.gpuVerifyCheckCount, state.gpuVerifyMismatchCount);
    }
}

void compareCompositeAgainstCpu(CanvasPresenterState& state, const CompositeFrame& frame) {
    if (!state.canvasTexture) return;
    waitForLastComposite(state);
    KeptCounters kept{state};
    std::size_t byteCount = std::size_t{frame.pixelWidth} * frame.pixelHeight * 4;
    if (state.comparePixels.size() != byteCount) state.comparePixels.assign(byteCount, 0);
    PacketFrameDraw draw;
    draw.commands = frame.commands;
    draw.keys = frame.keys;
    draw.scale = frame.scale;
    draw.clear_color = {frame.clear[0] / 255.0, frame.clear[1] / 255.0, frame.clear[2] / 255.0, frame.clear[3] / 255.0};
    CanvasImageLookup images(state.imageCache);
    PacketDrawEnvironment environment;
    environment.cache = &state.rasterCache;
    environment.counters = &state.trace;
    environment.images = &images;
    environment.trace_out = state.traceOut;
    if (drawPacketCommands(draw, PacketPixels{state.comparePixels.data(), frame.pixelWidth, frame.pixelHeight},
                           environment) != 1) {
        return;
    }
    std::vector<std::uint8_t> shown = readAll(*state.canvasTexture);
    unsigned long differing = 0;
    unsigned long maxDelta = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i + 3 < byteCount && i + 3 < shown.size(); i += 4) {
        unsigned delta = 0;
        for (int c = 0; c < 4; ++c) {
            int d = static_cast<int>(shown[i + c]) - static_cast<int>(state.comparePixels[i + c]);
            delta = std::max(delta, static_cast<unsigned>(d < 0 ? -d : d));
        }
        if (delta == 0) continue;
        if (differing++ == 0) first = i / 4;
        maxDelta = std::max<unsigned long>(maxDelta, delta);
    }
    ++state.compareCheckCount;
    std::fprintf(state.traceOut,
                 "kelvo: gpu compare view=%s checks=%" PRIu64
                 " diff_pixels=%lu max_delta=%lu total_pixels=%lu "
                 "first=(%lu,%lu)\n",
                 state.surfaceLabel.c_str(), state.compareCheckCount, differing, maxDelta,
                 static_cast<unsigned long>(std::uint64_t{frame.pixelWidth} * frame.pixelHeight),
                 static_cast<unsigned long>(first % frame.pixelWidth),
                 static_cast<unsigned long>(first / frame.pixelWidth));
}

void dumpCompositeShot(CanvasPresenterState& state) {
    if (state.switches.shotDir.empty() || !state.canvasTexture) return;
    waitForLastComposite(state);
    const gpu::GpuTexture& texture = *state.canvasTexture;
    std::vector<std::uint8_t> pixels = readAll(texture);
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) {
        for (int c = 0; c < 3; ++c) pixels[i + c] = unpremultiply(pixels[i + c], pixels[i + 3]);
    }
    auto png = encodePng(texture.width, texture.height, pixels);
    if (!png) return;
    std::string path = state.switches.shotDir + "/" + (state.surfaceLabel.empty() ? "surface" : state.surfaceLabel) +
                       "-p" + std::to_string(state.compositePresentCount) + ".png";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(png->data.get(), 1, png->size, file);
        std::fclose(file);
    }
}

}  // namespace kelvo
