#include "platform/macos/canvas/packet_present.hpp"

#include <chrono>
#include <cinttypes>
#include <cstring>
#include <vector>

#include "platform/macos/canvas/compositor.hpp"
#include "platform/macos/canvas/packet_geometry.hpp"
#include "platform/macos/canvas/packet_images.hpp"
#include "platform/macos/canvas/retained_state.hpp"

namespace kelvo {

namespace {

// What the packet asks beyond its commands, resolved against the pixel grid.
struct PassGeometry {
    bool hasScissor = false;
    PacketRect scissor;
    std::vector<PacketRect> dirtyRects;
};

PassGeometry passGeometry(const CanvasPacket& packet, CanvasPixelSize size, double scale) {
    PassGeometry g;
    if (!packet.scissor) return g;
    g.hasScissor = true;
    g.scissor = alignRectToPixels(size.width, size.height, *packet.scissor, scale);
    if (!packet.dirty_rects || packet.dirty_rects->empty() || packet.dirty_rects->size() > kPacketMaxDirtyRects) {
        return g;
    }
    for (const PacketRect& rect : *packet.dirty_rects) {
        PacketRect aligned = alignRectToPixels(size.width, size.height, rect, scale);
        PacketRect cut = intersectRects(aligned, g.scissor);
        if (!rectIsEmpty(cut)) g.dirtyRects.push_back(cut);
    }
    return g;
}

std::vector<RetainedCommand> packetCommands(const CanvasPacket& packet) {
    std::vector<RetainedCommand> commands;
    commands.reserve(packet.commands->size());
    for (const PacketCommand& command : *packet.commands)
        commands.push_back(std::make_shared<const PacketCommand>(command));
    return commands;
}

void writeDrawTrace(const CanvasPresenterState& state, const CanvasPacket& packet, const PassGeometry& g,
                    std::uint64_t drawNs, std::uint64_t presentNs) {
    const PacketTraceCounters& t = state.trace;
    std::string_view action = packetLoadActionName(packet.load_action);
    std::fprintf(state.traceOut,
                 "kelvo: gpu draw-trace action=%.*s scissor=%d rect=%.0fx%.0f rects=%lu draw_us=%" PRIu64
                 " present_us=%" PRIu64 " drawn=%lu hit=%lu/%" PRIu64 "us fill=%lu/%" PRIu64 "us direct=%lu/%" PRIu64
                 "us\n",
                 static_cast<int>(action.size()), action.data(), g.hasScissor ? 1 : 0, g.scissor.width,
                 g.scissor.height, static_cast<unsigned long>(g.dirtyRects.size()), drawNs / 1000, presentNs / 1000,
                 static_cast<unsigned long>(t.drawn), static_cast<unsigned long>(t.cache_hits), t.cache_hit_ns / 1000,
                 static_cast<unsigned long>(t.cache_fills), t.cache_fill_ns / 1000,
                 static_cast<unsigned long>(t.direct), t.direct_ns / 1000);
}

// The CPU path: draw into the view's pixel buffer, then upload it.
int presentOnCpu(CanvasPresenterState& state, const CanvasPacket& packet, const PacketFrameDraw& draw,
                 CanvasPixelSize size, const PassGeometry& g, bool direct) {
    bool patch = packet.load_action == PacketLoadAction::patch;
    std::size_t byteCount = std::size_t{size.width} * size.height * 4;
    bool sameBuffer =
        state.pixelWidth == size.width && state.pixelHeight == size.height && state.pixels.size() == byteCount;
    if (!draw.full_surface_pass) {
        if (!state.pixelsValid || !sameBuffer) {
            if (patch) dropRetainedState(state);
            return 0;
        }
    } else if (!sameBuffer) {
        state.pixels.assign(byteCount, 0);
        state.pixelWidth = size.width;
        state.pixelHeight = size.height;
    }
    state.pixelsValid = false;

    CanvasImageLookup images(state.imageCache);
    PacketDrawEnvironment environment;
    environment.cache = &state.rasterCache;
    environment.counters = &state.trace;
    environment.images = &images;
    environment.draw_trace = state.switches.drawTrace;
    environment.draw_trace_kinds = state.switches.drawTraceKinds;
    environment.trace_out = state.traceOut;
    std::uint64_t drawStart = canvasClockNs(state);
    int drawn = drawPacketCommands(draw, PacketPixels{state.pixels.data(), size.width, size.height}, environment);
    std::uint64_t drawNs = canvasClockNs(state) - drawStart;
    if (drawn < 0) return -1;
    if (drawn == 0) {
        if (patch) dropRetainedState(state);
        return 0;
    }
    state.pixelsValid = true;
    if (direct && state.switches.verifyIncremental) {
        verifyIncrementalBacking(state.verify, state.pixels, draw, size.width, size.height, state.surfaceLabel,
                                 environment);
    }

    RawPixelFrame upload;
    upload.width = size.width;
    upload.height = size.height;
    upload.scale = draw.scale;
    upload.hasDirtyRect = direct;
    upload.dirtyRect = g.scissor;
    if (direct && !g.dirtyRects.empty()) upload.dirtyRects = std::span<const PacketRect>(g.dirtyRects);
    upload.rgba8 = state.pixels.data();
    upload.byteLength = byteCount;
    std::uint64_t presentStart = canvasClockNs(state);
    bool ok = presentPixels(state, upload);
    std::uint64_t presentNs = canvasClockNs(state) - presentStart;
    if (state.switches.drawTracePresent) writeDrawTrace(state, packet, g, drawNs, presentNs);
    if (!ok) {
        if (patch) dropRetainedState(state);
        return -1;
    }
    return 1;
}

bool viewAvailable(const CanvasPresenterState& state) {
    if (state.device == nullptr) return false;
    return state.hooks.available == nullptr || state.hooks.available(state.hooks.context);
}

}  // namespace

std::uint64_t canvasClockNs(const CanvasPresenterState& state) {
    if (state.hooks.clockNs != nullptr) return state.hooks.clockNs(state.hooks.context);
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

int presentCanvasPacket(CanvasPresenterState& state, const CanvasPacket& packet, const PacketPresentArgs& args) {
    double scale = effectiveScale(args.scale);
    std::optional<CanvasPixelSize> size = canvasPixelSize(args.surfaceWidth, args.surfaceHeight, scale);
    if (!size) return 0;
    PacketLoadAction action = packet.load_action;
    bool patch = action == PacketLoadAction::patch;
    if (action != PacketLoadAction::load && action != PacketLoadAction::clear && !patch) return 0;

    std::vector<RetainedCommand> commands;
    if (patch) {
        if (!applyRetainedPatch(state, packet, commands)) return 0;
    } else {
        if (!packet.commands) return 0;
        commands = packetCommands(packet);
    }
    if (args.commandCount != 0 && commands.size() != args.commandCount) {
        if (patch) dropRetainedState(state);
        return 0;
    }
    if (!applyImageActions(state, packet)) {
        if (patch) dropRetainedState(state);
        return 0;
    }
    PassGeometry g = passGeometry(packet, *size, scale);
    PassFlags flags = passFlagsFor(action, g.hasScissor);
    if (rasterCacheEnsure(state.rasterCache, scale, size->width, size->height)) {
        state.scratchPool.clear();
        state.scratchPoolBytes = 0;
    }

    std::span<const std::uint64_t> keys;
    if (patch) {
        keys = state.retainedOrder;
    } else if (packet.command_keys && packet.command_keys->size() == commands.size()) {
        keys = *packet.command_keys;
    }
    PacketColor clear{args.clear[0] / 255.0, args.clear[1] / 255.0, args.clear[2] / 255.0, args.clear[3] / 255.0};

    int result = 0;
    if (state.switches.composite && ensureCanvasCompositor(state)) {
        CompositeFrame frame;
        frame.commands = commands;
        frame.keys = keys;
        frame.pixelWidth = size->width;
        frame.pixelHeight = size->height;
        frame.scale = scale;
        frame.surfaceWidth = args.surfaceWidth;
        frame.surfaceHeight = args.surfaceHeight;
        frame.clear = args.clear;
        frame.loadAction = packetLoadActionName(action);
        frame.fullSurfacePass = flags.fullSurfacePass;
        frame.hasScissor = g.hasScissor;
        frame.scissor = g.scissor;
        frame.dirtyRects = g.dirtyRects;
        frame.directRetainedDirtyUpdate = flags.directRetainedDirtyUpdate;
        result = presentCompositePacket(state, frame);
        if (result != 1 && patch) dropRetainedState(state);
    } else {
        PacketFrameDraw draw;
        draw.commands = commands;
        draw.keys = keys;
        draw.scale = scale;
        draw.clear_color = clear;
        draw.full_surface_pass = flags.fullSurfacePass;
        draw.has_scissor = g.hasScissor;
        draw.scissor = g.scissor;
        draw.dirty_rects = g.dirtyRects;
        result = presentOnCpu(state, packet, draw, *size, g, flags.directRetainedDirtyUpdate);
    }
    if (result == 1) recordRetainedState(state, packet, commands);
    return result;
}

bool presentPixels(CanvasPresenterState& state, const RawPixelFrame& frame) {
    if (frame.width == 0 || frame.height == 0 || frame.rgba8 == nullptr || !viewAvailable(state)) return false;
    // Both sides limited first, so width * 4 * height cannot wrap.
    if (frame.width > kCanvasMaxPixelSide || frame.height > kCanvasMaxPixelSide) return false;
    std::uint64_t byteCount = frame.width * 4 * frame.height;
    if (frame.byteLength != byteCount) return false;
    state.presenterReady = true;
    auto width = static_cast<std::uint32_t>(frame.width);
    auto height = static_cast<std::uint32_t>(frame.height);

    // A composite still drawing into the texture finishes before the CPU writes to it.
    if (state.lastCommandBuffer) {
        gpu::waitUntilCompleted(*state.device, state.lastCommandBuffer);
        state.lastCommandBuffer.reset();
    }
    gpu::GpuTexture* texture = state.canvasTexture.get();
    bool sameSize = texture != nullptr && texture->width == width && texture->height == height;
    if (!sameSize) {
        bool renderable = state.switches.composite && state.device->unifiedMemory;
        gpu::GpuTextureRef made = gpu::makeTexture(width, height, renderable);
        if (!made) return false;
        state.canvasTexture = std::move(made);
        state.canvasTextureRenderable = renderable;
        texture = state.canvasTexture.get();
    }
    state.compositeContentValid = false;

    PacketRect d = frame.dirtyRect;
    bool fullUpload = !(d.height > 0) || !(d.width > 0) || !(frame.scale > 0);
    if (!fullUpload) fullUpload = !(frame.hasDirtyRect && sameSize);

    bool mirrorMatches = state.pixelWidth == width && state.pixelHeight == height && state.pixels.size() == byteCount;
    if (!mirrorMatches) {
        state.pixels.assign(byteCount, 0);
        state.pixelWidth = width;
        state.pixelHeight = height;
        state.pixelsValid = false;
    }
    bool mirrorIsSource = state.pixels.data() == frame.rgba8;
    std::size_t stride = std::size_t{width} * 4;

    if (fullUpload) {
        gpu::replaceRegion(*texture, gpu::GpuRegion{0, 0, width, height}, frame.rgba8, stride);
        if (!mirrorIsSource) std::memcpy(state.pixels.data(), frame.rgba8, byteCount);
        state.pixelsValid = true;
    } else {
        std::span<const PacketRect> rects = frame.dirtyRects ? *frame.dirtyRects : std::span<const PacketRect>(&d, 1);
        for (const PacketRect& rect : rects) {
            PixelGridRect p = snapRectToPixels(rect, frame.scale, width, height);
            if (p.empty()) {
                if (frame.dirtyRects) continue;
                return true;
            }
            std::size_t offset = (std::size_t{p.y0} * width + p.x0) * 4;
            gpu::replaceRegion(*texture, gpu::GpuRegion{p.x0, p.y0, p.width(), p.height()}, frame.rgba8 + offset,
                               stride);
            if (mirrorIsSource) continue;
            for (std::uint32_t y = p.y0; y < p.y1; ++y) {
                std::size_t at = (std::size_t{y} * width + p.x0) * 4;
                std::memcpy(state.pixels.data() + at, frame.rgba8 + at, std::size_t{p.width()} * 4);
            }
        }
    }
    state.hasCanvasTexture = true;
    if (state.hooks.stopDisplayTimer != nullptr) state.hooks.stopDisplayTimer(state.hooks.context);
    if (state.hooks.renderFrame != nullptr) state.hooks.renderFrame(state.hooks.context);
    return true;
}

PacketPresenter canvasPacketPresenter(CanvasPresenterState& state) {
    PacketPresenter presenter;
    presenter.context = &state;
    presenter.available = [](void* context) { return viewAvailable(*static_cast<CanvasPresenterState*>(context)); };
    presenter.present = [](void* context, const CanvasPacket& packet, const PacketEntryArgs& args) {
        PacketPresentArgs present;
        present.surfaceWidth = args.width;
        present.surfaceHeight = args.height;
        present.scale = args.scale;
        std::memcpy(present.clear.data(), args.clear, 4);
        present.commandCount = args.commandCount;
        int result = presentCanvasPacket(*static_cast<CanvasPresenterState*>(context), packet, present);
        return result > 0 ? PacketEntryResult::presented
                          : (result < 0 ? PacketEntryResult::unavailable : PacketEntryResult::refused);
    };
    presenter.clockNs = [](void* context) { return canvasClockNs(*static_cast<CanvasPresenterState*>(context)); };
    return presenter;
}

}  // namespace kelvo
