// Presenting a canvas frame of 2,048 commands at 1280 x 800 points, scale 2: a full "clear" frame
// and a "patch" that changes four commands inside their dirty rects, on the CPU path and on the
// compositor.

#include <benchmark/benchmark.h>

#include <random>

#include "platform/macos/canvas/packet_present.hpp"

namespace kelvo {
namespace {

constexpr double kWidth = 1280;
constexpr double kHeight = 800;
constexpr std::size_t kCommands = 2048;

PacketCommand command(std::mt19937& rng, std::size_t index) {
    std::uniform_real_distribution<double> unit(0, 1);
    PacketRect rect{unit(rng) * (kWidth - 80), unit(rng) * (kHeight - 40), 8 + unit(rng) * 72, 6 + unit(rng) * 34};
    PacketCommand c;
    c.bounds = rect;
    c.opacity = 1;
    c.shape = PacketShape{};
    c.shape->rect = rect;
    c.paint = PacketPaint{};
    c.paint->color = {unit(rng), unit(rng), unit(rng), index % 3 == 0 ? 0.7 : 1.0};
    switch (index % 4) {
        case 0:
            c.kind = 0;  // fill_rect_solid
            break;
        case 1:
            c.kind = 2;  // fill_rounded_rect_solid
            c.shape->kind = PacketShapeKind::rounded_rect;
            c.shape->radius = {4, 4, 4, 4};
            break;
        case 2:
            c.kind = 4;  // stroke_rect_solid
            c.shape->kind = PacketShapeKind::stroke_rect;
            c.shape->width = 1.5;
            c.stroke_width = 1.5;
            c.bounds = PacketRect{rect.x - 1, rect.y - 1, rect.width + 2, rect.height + 2};
            break;
        default:
            c.kind = 6;  // draw_line_solid
            c.shape->kind = PacketShapeKind::line;
            c.shape->from = {rect.x + 1, rect.y + 1};
            c.shape->to = {rect.x + rect.width - 1, rect.y + rect.height - 1};
            c.shape->width = 2;
            c.stroke_width = 2;
            break;
    }
    return c;
}

CanvasPacket fullFrame() {
    std::mt19937 rng(7);
    CanvasPacket packet;
    packet.load_action = PacketLoadAction::clear;
    packet.generation = 1;
    packet.commands.emplace();
    packet.command_keys.emplace();
    for (std::size_t i = 0; i < kCommands; ++i) {
        packet.commands->push_back(command(rng, i));
        packet.command_keys->push_back(i + 1);
    }
    return packet;
}

CanvasPacket patchFrame(const CanvasPacket& full, std::uint32_t round) {
    std::mt19937 rng(round);
    CanvasPacket patch;
    patch.load_action = PacketLoadAction::patch;
    patch.generation = 1;
    patch.patch_evicts.emplace();
    patch.patch_upserts.emplace();
    patch.patch_order = full.command_keys;
    patch.dirty_rects.emplace();
    for (std::size_t n = 0; n < 4; ++n) {
        std::size_t index = (round * 37 + n * 511) % kCommands;
        PacketCommand changed = command(rng, index);
        patch.dirty_rects->push_back((*full.commands)[index].bounds);
        patch.dirty_rects->push_back(changed.bounds);
        patch.patch_upserts->push_back({index + 1, changed});
    }
    PacketRect bound = patch.dirty_rects->front();
    for (const PacketRect& r : *patch.dirty_rects) {
        double x1 = std::max(bound.x + bound.width, r.x + r.width);
        double y1 = std::max(bound.y + bound.height, r.y + r.height);
        bound.x = std::min(bound.x, r.x);
        bound.y = std::min(bound.y, r.y);
        bound.width = x1 - bound.x;
        bound.height = y1 - bound.y;
    }
    patch.scissor = bound;
    return patch;
}

struct View {
    gpu::GpuDevice device;
    CanvasPresenterState state;
    explicit View(bool composite) {
        state.device = &device;
        state.switches = CanvasSwitches{};
        state.switches.composite = composite;
    }
};

PacketPresentArgs args() {
    PacketPresentArgs a;
    a.surfaceWidth = kWidth;
    a.surfaceHeight = kHeight;
    a.scale = 2;
    a.clear = {255, 255, 255, 255};
    return a;
}

void presentFull(benchmark::State& bench) {
    View view(bench.range(0) != 0);
    CanvasPacket full = fullFrame();
    for (auto _ : bench) {
        if (presentCanvasPacket(view.state, full, args()) != 1) bench.SkipWithError("not presented");
        gpu::flush(view.device);
    }
}

void presentPatch(benchmark::State& bench) {
    View view(bench.range(0) != 0);
    CanvasPacket full = fullFrame();
    if (presentCanvasPacket(view.state, full, args()) != 1) bench.SkipWithError("not presented");
    std::vector<CanvasPacket> patches;
    for (std::uint32_t round = 1; round <= 64; ++round) patches.push_back(patchFrame(full, round));
    std::size_t next = 0;
    for (auto _ : bench) {
        if (presentCanvasPacket(view.state, patches[next++ % patches.size()], args()) != 1) {
            bench.SkipWithError("not presented");
        }
        gpu::flush(view.device);
    }
}

BENCHMARK(presentFull)->ArgName("composite")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(presentPatch)->ArgName("composite")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
