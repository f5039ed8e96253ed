#pragma once

// A canvas view on the software GPU for the presentation and compositor tests, and builders of
// packets and commands.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/macos/canvas/canvas_presenter_state.hpp"
#include "platform/macos/canvas/packet_present.hpp"

namespace kelvo::testing {

struct TestCanvasView {
    gpu::GpuDevice device;
    CanvasPresenterState state;
    int renders = 0;
    std::FILE* trace = std::tmpfile();

    explicit TestCanvasView(bool composite = false) {
        state.device = &device;
        state.switches = CanvasSwitches{};
        state.switches.composite = composite;
        state.traceOut = trace;
        state.hooks.context = this;
        state.hooks.renderFrame = [](void* self) { ++static_cast<TestCanvasView*>(self)->renders; };
    }
    ~TestCanvasView() { std::fclose(trace); }
    TestCanvasView(const TestCanvasView&) = delete;
    TestCanvasView& operator=(const TestCanvasView&) = delete;

    // Everything written to the trace so far.
    std::string traceText() const {
        std::fflush(trace);
        std::string text;
        std::rewind(trace);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, trace)) > 0;) text.append(buffer, n);
        return text;
    }
    // What the view shows: the canvas texture after the GPU finished.
    std::vector<std::uint8_t> shown() {
        gpu::flush(device);
        return state.canvasTexture ? state.canvasTexture->bytes : std::vector<std::uint8_t>{};
    }
};

inline PacketCommand solidRect(PacketRect rect, PacketColor color, double opacity = 1) {
    PacketCommand c;
    c.kind = 0;  // fill_rect_solid
    c.bounds = rect;
    c.opacity = opacity;
    c.shape = PacketShape{};
    c.shape->kind = PacketShapeKind::rect;
    c.shape->rect = rect;
    c.paint = PacketPaint{};
    c.paint->color = color;
    return c;
}

inline PacketCommand roundedRect(PacketRect rect, double radius, PacketColor color) {
    PacketCommand c = solidRect(rect, color);
    c.kind = 2;  // fill_rounded_rect_solid
    c.shape->kind = PacketShapeKind::rounded_rect;
    c.shape->radius = {radius, radius, radius, radius};
    return c;
}

inline PacketCommand line(PacketPoint from, PacketPoint to, double width, PacketColor color) {
    PacketCommand c;
    c.kind = 6;  // draw_line_solid
    double h = width / 2 + 1;
    c.bounds = PacketRect{std::min(from.x, to.x) - h, std::min(from.y, to.y) - h, std::abs(to.x - from.x) + 2 * h,
                          std::abs(to.y - from.y) + 2 * h};
    c.opacity = 1;
    c.stroke_width = width;
    c.shape = PacketShape{};
    c.shape->kind = PacketShapeKind::line;
    c.shape->from = from;
    c.shape->to = to;
    c.shape->width = width;
    c.paint = PacketPaint{};
    c.paint->color = color;
    return c;
}

inline PacketCommand blur(PacketRect rect, double radius) {
    PacketCommand c;
    c.kind = 13;
    c.bounds = rect;
    c.opacity = 1;
    c.effect = PacketEffect{};
    c.effect->kind = PacketEffectKind::blur;
    c.effect->rect = rect;
    c.effect->radius = radius;
    return c;
}

inline CanvasPacket clearPacket(std::uint64_t generation, std::vector<PacketCommand> commands,
                                std::vector<std::uint64_t> keys) {
    CanvasPacket p;
    p.load_action = PacketLoadAction::clear;
    p.generation = generation;
    p.commands = std::move(commands);
    p.command_keys = std::move(keys);
    return p;
}

inline CanvasPacket patchPacket(std::uint64_t generation, std::vector<std::uint64_t> evicts,
                                std::vector<PacketUpsert> upserts, std::vector<std::uint64_t> order) {
    CanvasPacket p;
    p.load_action = PacketLoadAction::patch;
    p.generation = generation;
    p.patch_evicts = std::move(evicts);
    p.patch_upserts = std::move(upserts);
    p.patch_order = std::move(order);
    return p;
}

inline PacketPresentArgs surface(double width, double height, double scale,
                                 std::array<std::uint8_t, 4> clear = {255, 255, 255, 255}) {
    PacketPresentArgs args;
    args.surfaceWidth = width;
    args.surfaceHeight = height;
    args.scale = scale;
    args.clear = clear;
    return args;
}

}  // namespace kelvo::testing
