#include "platform/macos/canvas/compositor.hpp"

#include <algorithm>
#include <cinttypes>
#include <cmath>

#include "platform/macos/canvas/compositor_private.hpp"
#include "platform/macos/canvas/packet_images.hpp"
#include "platform/macos/canvas/packet_present.hpp"

namespace kelvo {

using composite::Record;
using composite::RecordKind;

namespace {

gpu::GpuQuad quadOver(const PixelGridRect& p) {
    gpu::GpuQuad quad;
    quad.rectOrigin = {static_cast<float>(p.x0), static_cast<float>(p.y0)};
    quad.rectSize = {static_cast<float>(p.width()), static_cast<float>(p.height())};
    return quad;
}

gpu::GpuRegion regionOf(const PixelGridRect& p) { return gpu::GpuRegion{p.x0, p.y0, p.width(), p.height()}; }

struct PassContext {
    PassContext(CanvasPresenterState& s, const CompositeFrame& f) : state(s), frame(f) {}
    CanvasPresenterState& state;
    const CompositeFrame& frame;
    bool partial = false;
    std::vector<PixelGridRect> regions;
    std::vector<PacketRect> regionPoints;
    PacketRect repaintBound;
    std::vector<std::uint64_t> usedScratchKeys;
};

std::uint64_t elapsedSince(const CanvasPresenterState& state, std::uint64_t start) {
    return canvasClockNs(state) - start;
}

// The blur record of a "blur" command, or a skip.
void classifyBlur(PassContext& pass, const PacketCommand& command, Record& record) {
    const CompositeFrame& f = pass.frame;
    if (!command.effect) return;
    double opacity = std::clamp(command.opacity, 0.0, 1.0);
    if (!(opacity > 0)) return;
    std::optional<PacketRect> clip = command.clip;
    if (f.hasScissor) clip = clip ? intersectRects(*clip, f.scissor) : f.scissor;
    PacketRect area = standardizeRect(packetTransformRect(command.transform, command.effect->rect));
    if (clip) area = intersectRects(area, *clip);
    if (rectIsEmpty(area)) return;
    double radius = std::round(command.effect->radius * f.scale * packetTransformScale(command.transform));
    if (!(radius >= 1)) return;
    record.pixels = snapRectToPixels(area, f.scale, f.pixelWidth, f.pixelHeight);
    if (record.pixels.empty()) return;
    record.kind = RecordKind::blur;
    record.blurClip = clip;
}

// A raster-cache entry's texture for a cacheable keyed command, or null.
gpu::GpuTextureRef cachedTexture(PassContext& pass, const RetainedCommand& command, std::uint64_t key, Record& record) {
    CanvasPresenterState& state = pass.state;
    const CompositeFrame& f = pass.frame;
    RasterCache& cache = state.rasterCache;
    if (!cache.exists || !packetCommandRasterCacheable(*command)) return nullptr;
    RasterCacheEntry* entry = rasterCacheFind(cache, key, command.get());
    bool hit = entry != nullptr;
    if (!hit) {
        std::uint64_t start = canvasClockNs(state);
        rasterCacheRemove(cache, key);
        CanvasImageLookup images(state.imageCache);
        entry = rasterCacheFill(cache, command, key, f.scale, f.pixelWidth, f.pixelHeight, &images);
        state.trace.cache_fill_ns += elapsedSince(state, start);
    }
    if (entry == nullptr || entry->pixel_width == 0 || entry->pixel_height == 0) return nullptr;
    if (!entry->texture) {
        gpu::GpuTextureRef texture = gpu::makeTexture(static_cast<std::uint32_t>(entry->pixel_width),
                                                      static_cast<std::uint32_t>(entry->pixel_height), false);
        if (!texture) return nullptr;
        gpu::replaceRegion(*texture, gpu::GpuRegion{0, 0, texture->width, texture->height}, entry->pixels.data(),
                           std::size_t{texture->width} * 4);
        entry->texture = texture;
    }
    hit ? ++state.trace.cache_hits : ++state.trace.cache_fills;
    entry->last_use_tick = ++cache.tick;
    record.pixels =
        PixelGridRect{static_cast<std::uint32_t>(entry->pixel_x), static_cast<std::uint32_t>(entry->pixel_y),
                      static_cast<std::uint32_t>(entry->pixel_x + entry->pixel_width),
                      static_cast<std::uint32_t>(entry->pixel_y + entry->pixel_height)};
    return std::static_pointer_cast<gpu::GpuTexture>(entry->texture);
}

// False: the pass cannot take this command.
bool classify(PassContext& pass, std::size_t index, Record& record) {
    CanvasPresenterState& state = pass.state;
    const CompositeFrame& f = pass.frame;
    const RetainedCommand& command = f.commands[index];
    if (!command || command->kind >= kPacketCommandKindCount) return false;
    record.index = index;
    record.bounds = standardizeRect(command->bounds);
    if (pass.partial) {
        bool touches = std::any_of(pass.regionPoints.begin(), pass.regionPoints.end(),
                                   [&](const PacketRect& r) { return packetRectsIntersect(record.bounds, r); });
        if (!touches) return true;
    }
    ++state.trace.drawn;
    if (command->kind == 13) {
        classifyBlur(pass, *command, record);
        return true;
    }
    if (std::optional<PixelGridRect> flat = composite::flatQuadRect(*command, f.scale, f.pixelWidth, f.pixelHeight)) {
        record.kind = RecordKind::flat;
        record.pixels = *flat;
        const PacketColor& c = *command->paint->color;
        record.color = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]), 1.0f};
        return true;
    }
    std::optional<std::uint64_t> key;
    if (index < f.keys.size()) key = f.keys[index];
    if (key) {
        if (gpu::GpuTextureRef texture = cachedTexture(pass, command, *key, record)) {
            record.kind = RecordKind::textured;
            record.texture = std::move(texture);
            return true;
        }
    }
    std::uint64_t start = canvasClockNs(state);
    std::optional<PacketRect> repaint;
    if (pass.partial) repaint = pass.repaintBound;
    record.texture = composite::scratchTexture(state, *command, key, f.scale, f.pixelWidth, f.pixelHeight, repaint,
                                               pass.usedScratchKeys, record.pixels);
    if (!record.texture) return false;
    record.kind = RecordKind::textured;
    ++state.trace.direct;
    state.trace.direct_ns += elapsedSince(state, start);
    return true;
}

struct Encoder {
    Encoder(CanvasPresenterState& s, gpu::GpuTextureRef t) : state(s), target(std::move(t)) {}
    CanvasPresenterState& state;
    gpu::GpuTextureRef target;
    gpu::GpuCommandBufferRef buffer = gpu::makeCommandBuffer();
    gpu::GpuPipeline bound = gpu::GpuPipeline::none;

    void bind(gpu::GpuPipeline pipeline) {
        if (pipeline == bound) return;
        gpu::setPipeline(*buffer, pipeline);
        bound = pipeline;
        ++state.traceBinds;
    }
    void quad(const gpu::GpuQuad& q, gpu::GpuTextureRef texture) {
        gpu::drawQuad(*buffer, q, std::move(texture));
        ++state.traceQuads;
    }
};

// The blur: everything drawn so far finishes, the target is read back and blurred on the CPU, and
// the blurred rectangle goes back in, only inside the repainted regions.
bool runBlur(PassContext& pass, Encoder& encoder, const Record& record) {
    CanvasPresenterState& state = pass.state;
    const CompositeFrame& f = pass.frame;
    const PacketCommand& command = *f.commands[record.index];
    std::uint64_t start = canvasClockNs(state);
    gpu::commit(*state.device, encoder.buffer);
    gpu::waitUntilCompleted(*state.device, encoder.buffer);
    std::vector<std::uint8_t>& pixels = state.readBackPixels;
    pixels.resize(std::size_t{f.pixelWidth} * f.pixelHeight * 4);
    gpu::readRegion(*encoder.target, gpu::GpuRegion{0, 0, f.pixelWidth, f.pixelHeight}, pixels.data(),
                    std::size_t{f.pixelWidth} * 4);
    if (!applyPacketBlur(*command.effect, command.transform, record.blurClip, std::clamp(command.opacity, 0.0, 1.0),
                         f.scale, PacketPixels{pixels.data(), f.pixelWidth, f.pixelHeight})) {
        return false;
    }
    state.trace.direct_ns += elapsedSince(state, start);
    const PixelGridRect& p = record.pixels;
    gpu::GpuTextureRef blurred = gpu::makeTexture(p.width(), p.height(), false);
    if (!blurred) return false;
    std::size_t offset = (std::size_t{p.y0} * f.pixelWidth + p.x0) * 4;
    gpu::replaceRegion(*blurred, regionOf(PixelGridRect{0, 0, p.width(), p.height()}), pixels.data() + offset,
                       std::size_t{f.pixelWidth} * 4);

    encoder.buffer = gpu::makeCommandBuffer();
    gpu::beginPass(*encoder.buffer, encoder.target, gpu::GpuLoadAction::load, {});
    encoder.bound = gpu::GpuPipeline::none;
    encoder.bind(gpu::GpuPipeline::copy);
    gpu::GpuQuad quad = quadOver(p);
    quad.textured = true;
    for (const PixelGridRect& region : pass.regions) {
        gpu::setScissor(*encoder.buffer, regionOf(region));
        encoder.quad(quad, blurred);
    }
    return true;
}

}  // namespace

bool ensureCanvasCompositor(CanvasPresenterState& state) {
    if (state.compositorReady) return true;
    if (state.device == nullptr || !state.device->unifiedMemory) return false;
    state.compositorReady = true;
    return true;
}

int compositePacketCommands(CanvasPresenterState& state, const CompositeFrame& frame, const gpu::GpuTextureRef& target,
                            bool waitUntilCompleted) {
    if (!target || state.device == nullptr) return -1;
    PassContext pass(state, frame);
    pass.partial = frame.hasScissor && !frame.fullSurfacePass;
    if (state.lastCommandBuffer) {
        gpu::waitUntilCompleted(*state.device, state.lastCommandBuffer);
        state.lastCommandBuffer.reset();
    }
    state.trace = PacketTraceCounters{};
    state.traceQuads = 0;
    state.traceBinds = 0;

    pass.regions = composite::repaintRegions(frame, pass.partial);
    for (const PixelGridRect& region : pass.regions) {
        PacketRect points = pixelRectToPoints(region, frame.scale);
        pass.regionPoints.push_back(points);
        pass.repaintBound = pass.regionPoints.size() == 1 ? points : unionRects(pass.repaintBound, points);
    }
    if (rasterCacheEnsure(state.rasterCache, frame.scale, frame.pixelWidth, frame.pixelHeight)) {
        state.scratchPool.clear();
        state.scratchPoolBytes = 0;
    }
    std::vector<Record> records(std::max<std::size_t>(frame.commands.size(), 1));
    for (std::size_t i = 0; i < frame.commands.size(); ++i) {
        if (!classify(pass, i, records[i])) return 0;
    }

    std::array<float, 4> clear = composite::premultipliedClear(frame.clear);
    Encoder encoder(state, target);
    bool full = !pass.partial && frame.fullSurfacePass;
    gpu::beginPass(*encoder.buffer, target, full ? gpu::GpuLoadAction::clear : gpu::GpuLoadAction::load, clear);
    if (pass.partial) {
        encoder.bind(gpu::GpuPipeline::copy);
        for (const PixelGridRect& region : pass.regions) {
            gpu::setScissor(*encoder.buffer, regionOf(region));
            gpu::GpuQuad quad = quadOver(region);
            quad.color = clear;
            encoder.quad(quad, nullptr);
        }
    }
    for (std::size_t i = 0; i < frame.commands.size(); ++i) {
        const Record& record = records[i];
        if (record.kind == RecordKind::skip) continue;
        if (record.kind == RecordKind::blur) {
            if (!runBlur(pass, encoder, record)) {
                state.compositeContentValid = false;
                return -1;
            }
            continue;
        }
        encoder.bind(record.kind == RecordKind::flat ? gpu::GpuPipeline::copy : gpu::GpuPipeline::blend);
        gpu::GpuQuad quad = quadOver(record.pixels);
        quad.color = record.color;
        quad.textured = record.kind == RecordKind::textured;
        for (std::size_t r = 0; r < pass.regions.size(); ++r) {
            if (pass.partial && !packetRectsIntersect(record.bounds, pass.regionPoints[r])) continue;
            gpu::setScissor(*encoder.buffer, regionOf(pass.regions[r]));
            encoder.quad(quad, record.texture);
        }
    }
    gpu::commit(*state.device, encoder.buffer);
    state.lastCommandBuffer = encoder.buffer;
    if (waitUntilCompleted) {
        gpu::waitUntilCompleted(*state.device, encoder.buffer);
        state.lastCommandBuffer.reset();
    }
    return 1;
}

int presentCompositePacket(CanvasPresenterState& state, const CompositeFrame& frame) {
    const gpu::GpuTexture* current = state.canvasTexture.get();
    bool replace = current == nullptr || !state.canvasTextureRenderable || current->width != frame.pixelWidth ||
                   current->height != frame.pixelHeight;
    // An incremental pass builds on a complete composite of this very size, or does nothing.
    if (!frame.fullSurfacePass && (replace || !state.compositeContentValid)) return 0;
    if (replace) {
        if (state.lastCommandBuffer) {
            gpu::waitUntilCompleted(*state.device, state.lastCommandBuffer);
            state.lastCommandBuffer.reset();
        }
        gpu::GpuTextureRef made = gpu::makeTexture(frame.pixelWidth, frame.pixelHeight, true);
        if (!made) return -1;
        state.canvasTexture = std::move(made);
        state.canvasTextureRenderable = true;
        state.compositeContentValid = false;
        state.verifyTexture.reset();
    }
    std::uint64_t start = canvasClockNs(state);
    int result = compositePacketCommands(state, frame, state.canvasTexture, false);
    std::uint64_t drawNs = canvasClockNs(state) - start;
    if (result != 1) return result;

    start = canvasClockNs(state);
    if (frame.fullSurfacePass) state.compositeContentValid = true;
    state.pixelsValid = false;
    state.hasCanvasTexture = true;
    state.presenterReady = true;
    ++state.compositePresentCount;
    if (state.hooks.stopDisplayTimer != nullptr) state.hooks.stopDisplayTimer(state.hooks.context);
    if (state.hooks.renderFrame != nullptr) state.hooks.renderFrame(state.hooks.context);
    std::uint64_t presentNs = canvasClockNs(state) - start;

    if (state.switches.drawTrace) {
        const PacketTraceCounters& t = state.trace;
        std::fprintf(state.traceOut,
                     "kelvo: gpu draw-trace action=%.*s mode=gpu scissor=%d rect=%.0fx%.0f rects=%lu draw_us=%" PRIu64
                     " present_us=%" PRIu64 " drawn=%lu hit=%lu fill=%lu/%" PRIu64 "us direct=%lu/%" PRIu64
                     "us quads=%lu binds=%lu\n",
                     static_cast<int>(frame.loadAction.size()), frame.loadAction.data(), frame.hasScissor ? 1 : 0,
                     frame.scissor.width, frame.scissor.height, static_cast<unsigned long>(frame.dirtyRects.size()),
                     drawNs / 1000, presentNs / 1000, static_cast<unsigned long>(t.drawn),
                     static_cast<unsigned long>(t.cache_hits), static_cast<unsigned long>(t.cache_fills),
                     t.cache_fill_ns / 1000, static_cast<unsigned long>(t.direct), t.direct_ns / 1000,
                     static_cast<unsigned long>(state.traceQuads), static_cast<unsigned long>(state.traceBinds));
    }
    if (frame.directRetainedDirtyUpdate && state.switches.verifyIncremental) verifyCompositeIncremental(state, frame);
    if (state.switches.compare) compareCompositeAgainstCpu(state, frame);
    if (!state.switches.shotDir.empty() &&
        (state.compositePresentCount == 1 || state.compositePresentCount % 30 == 0)) {
        dumpCompositeShot(state);
    }
    return 1;
}

}  // namespace kelvo
