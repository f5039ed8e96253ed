#include "runtime/canvas/canvas_frame_present.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "render/frame_history.hpp"
#include "render/packet/packet_from_frame.hpp"
#include "render/packet/packet_writers.hpp"
#include "render/reference_frame.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/runtime.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

struct PresentScratch {
    std::array<std::uint8_t, kCanvasPacketBinaryCapacity> binary;
    std::array<char, kCanvasPacketJsonCapacity> json;
    std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
};

// The largest side of the pixels sent when packets cannot be.
constexpr double kMaxPixelSide = 8192;

enum class Sent : std::uint8_t { presented, refused, overflow };

struct FrameKeys {
    std::span<const KeyedGpuCommand> list;
    bool patchable = false;
};

FrameKeys keyedCommands(const CanvasFrame& frame, PresentScratch& scratch) {
    if (frame.packet_keys) {
        return {*frame.packet_keys, frame.packet_patchable && canvasPacketKeysUnique(*frame.packet_keys)};
    }
    const std::optional<std::size_t> count =
        gatherCanvasPacketCurrentCommandsFromPlan(frame.render_commands, frame.width, frame.height,
                                                  frame.content_bounds, scratch.keyed, frame.command_fingerprints);
    const std::span<const KeyedGpuCommand> list =
        std::span<const KeyedGpuCommand>(scratch.keyed).first(count.value_or(0));
    return {list, count.has_value() && canvasPacketKeysUnique(list)};
}

std::uint8_t byteOf(float channel) {
    const float c = std::isfinite(channel) ? std::clamp(channel, 0.0f, 1.0f) : 0.0f;
    return static_cast<std::uint8_t>(std::lround(c * 255.0f));
}

Sent overflowed(CanvasPresentInfo& report, CanvasPresentFallback fallback, std::size_t needed, std::size_t limit) {
    report.fallback = fallback;
    report.fallbackNeeded = needed;
    report.fallbackLimit = limit;
    return Sent::overflow;
}

Sent sendPacket(const Runtime& runtime, const RuntimeView& view, const CanvasPacket& packet,
                const GpuSurfacePacketInfo& info, PresentScratch& scratch, CanvasPresentInfo& report,
                std::size_t& bytes) {
    const Platform& platform = runtime.platform;
    Status status;
    if (hasSlot<&PlatformSlots::presentGpuSurfacePacketBinary>(platform)) {
        const PacketWriteResult written = writeBinaryCanvasPacket(packet, scratch.binary);
        bytes = written.size;
        if (!written.fits)
            return overflowed(report, CanvasPresentFallback::binary_overflow, written.size, scratch.binary.size());
        status = callNeeded<&PlatformSlots::presentGpuSurfacePacketBinary>(
            platform, view.windowId, view.label.view(), info,
            std::span<const std::uint8_t>(scratch.binary.data(), bytes));
    } else {
        const PacketWriteResult written = writeJsonCanvasPacket(packet, scratch.json);
        bytes = written.size;
        if (!written.fits)
            return overflowed(report, CanvasPresentFallback::json_overflow, written.size, scratch.json.size());
        status = callNeeded<&PlatformSlots::presentGpuSurfacePacket>(platform, view.windowId, view.label.view(), info,
                                                                     std::string_view(scratch.json.data(), bytes));
    }
    return status ? Sent::presented : Sent::refused;
}

// The frame drawn by the reference renderer from the view's display list, premultiplied.
Status presentPixels(Runtime& runtime, std::size_t viewIndex, const CanvasFrame& frame) {
    RuntimeView& view = runtime.views[viewIndex];
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    const double scale = std::isfinite(frame.scale) && frame.scale > 0 ? frame.scale : 1.0;
    const double w = std::ceil(static_cast<double>(frame.width) * scale);
    const double h = std::ceil(static_cast<double>(frame.height) * scale);
    if (slot == nullptr || !(w >= 1 && w <= kMaxPixelSide && h >= 1 && h <= kMaxPixelSide)) {
        return fail(Error::InvalidPngDimensions);
    }
    thread_local std::vector<std::uint8_t> pixels;
    thread_local std::vector<std::uint8_t> scratch;
    const auto width = static_cast<std::uint64_t>(w);
    const auto height = static_cast<std::uint64_t>(h);
    pixels.resize(width * height * 4);
    scratch.resize(pixels.size());
    ReferenceRenderSurface surface;
    surface.width = width;
    surface.height = height;
    surface.pixels = pixels;
    surface.scratch = scratch;
    surface.images = frame.image_resources;
    surface.fonts = frame.font_resources;
    clearReferenceSurface(surface, canvasClearColor(runtime, view));
    TRY(renderDisplayList(surface, slot->displayList.commands(), static_cast<float>(scale)));
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned a = pixels[i + 3];
        for (std::size_t c = 0; c < 3; ++c) pixels[i + c] = static_cast<std::uint8_t>((pixels[i + c] * a + 127) / 255);
    }
    GpuSurfacePixels out;
    out.image = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), pixels};
    out.scale = static_cast<float>(scale);
    if (!frame.full_repaint && frame.dirty)
        out.dirty = RectF{frame.dirty->x, frame.dirty->y, frame.dirty->width, frame.dirty->height};
    TRY(callNeeded<&PlatformSlots::presentGpuSurfacePixels>(runtime.platform, view.windowId, view.label.view(), out));
    CanvasPresentInfo& report = view.canvas.present.info;
    report.path = CanvasPresentPath::pixels;
    report.mode = CanvasPresentMode::full;
    ++report.fallbackFrames;
    view.canvas.present.retained = false;
    return {};
}

}  // namespace

Status presentCanvasFrame(Runtime& runtime, std::size_t viewIndex, const CanvasFrame& frame) {
    RuntimeView& view = runtime.views[viewIndex];
    CanvasPresentState& state = view.canvas.present;
    if (!frame.full_repaint && !frame.dirty) return {};
    const Platform& platform = runtime.platform;
    if (!hasSlot<&PlatformSlots::presentGpuSurfacePacketBinary>(platform) &&
        !hasSlot<&PlatformSlots::presentGpuSurfacePacket>(platform)) {
        state.info.fallback = CanvasPresentFallback::missing_service;
        return presentPixels(runtime, viewIndex, frame);
    }
    PresentScratch& scratch = perThreadCanvasScratch<PresentScratch>();
    const FrameKeys keys = keyedCommands(frame, scratch);
    const CanvasFrameHistory& history = canvasSlotOf(runtime.canvasSlots, view)->frames.history;

    GpuSurfacePacketInfo info;
    info.width = frame.width;
    info.height = frame.height;
    info.scale = frame.scale;
    const Color clear = canvasClearColor(runtime, view);
    info.clearColor[0] = byteOf(clear.r);
    info.clearColor[1] = byteOf(clear.g);
    info.clearColor[2] = byteOf(clear.b);
    info.clearColor[3] = byteOf(clear.a);
    info.requiresRender = true;
    info.commandCount = static_cast<std::uint32_t>(keys.list.size());
    info.representable = true;

    thread_local CanvasPacket packet;
    CanvasPacketPlan plan;
    plan.frame = &frame;
    plan.current = keys.list;
    plan.previous = history.keyedCommands();
    const bool sizeChanged = state.sizeGeneration != view.canvas.sizeGeneration;
    plan.action = view.canvas.fullFrameDue || sizeChanged || !state.retained || !history.has_previous_packet
                      ? PacketLoadAction::clear
                      : PacketLoadAction::patch;
    CanvasPresentFallback fallback = CanvasPresentFallback::none;
    for (;;) {
        // A patch edits what the last "clear" left on the surface and names that packet's
        // generation; the surface refuses a patch that names another.
        if (plan.action != PacketLoadAction::patch) ++state.generation;
        plan.generation = state.generation;
        const CanvasPacketCounts counts = buildCanvasPacket(plan, packet);
        std::size_t bytes = 0;
        const Sent sent = sendPacket(runtime, view, packet, info, scratch, state.info, bytes);
        if (sent == Sent::presented) {
            CanvasPresentInfo& report = state.info;
            report.path = CanvasPresentPath::packet;
            report.fallback = fallback;
            if (fallback != CanvasPresentFallback::none) ++report.fallbackFrames;
            const bool patch = plan.action == PacketLoadAction::patch;
            report.mode = patch ? CanvasPresentMode::patch : CanvasPresentMode::full;
            report.patchBytes = patch ? bytes : 0;
            report.patchUpserts = counts.upserts;
            report.patchEvicts = counts.evicts;
            report.retainedCommands = keys.patchable ? counts.commands : 0;
            state.retained = keys.patchable;
            state.sizeGeneration = view.canvas.sizeGeneration;
            return {};
        }
        // A refused patch means the surface lost what it retained: it gets the whole frame once.
        if (sent == Sent::refused && plan.action == PacketLoadAction::patch) {
            fallback = CanvasPresentFallback::patch_refused;
            plan.action = PacketLoadAction::clear;
            continue;
        }
        if (sent == Sent::refused) state.info.fallback = CanvasPresentFallback::patch_refused;
        state.retained = false;
        return presentPixels(runtime, viewIndex, frame);
    }
}

void notePresentedCanvasPacket(Runtime& runtime, std::size_t viewIndex) {
    RuntimeView& view = runtime.views[viewIndex];
    if (CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view)) {
        slot->frames.history.has_previous_packet =
            slot->frames.history.has_previous_packet && view.canvas.present.retained;
    }
}

}  // namespace kelvo
