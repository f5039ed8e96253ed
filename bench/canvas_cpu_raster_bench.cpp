// The canvas CPU drawing of a 2,048-command frame at 1280 x 800 points, scale 2: a full pass drawn
// directly, a full pass of raster-cache hits, and a partial pass repainting one dirty rectangle.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/macos/canvas/packet_raster.hpp"
#include "platform/macos/canvas/raster_cache.hpp"

namespace {

constexpr std::uint32_t kWidth = 2560;
constexpr std::uint32_t kHeight = 1600;

struct Frame {
    std::vector<kelvo::PacketCommandRef> commands;
    std::vector<std::uint64_t> keys;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(std::size_t{kWidth} * kHeight * 4);
    kelvo::RasterCache cache;
    kelvo::PacketTraceCounters counters;

    Frame() {
        for (std::uint64_t i = 0; i < 2048; ++i) {
            kelvo::PacketCommand command;
            double x = static_cast<double>(i % 64) * 20, y = static_cast<double>(i / 64) * 25;
            command.bounds = {x, y, 18, 22};
            command.opacity = 1;
            double c = static_cast<double>(i % 7) / 7;
            command.paint =
                kelvo::PacketPaint{kelvo::PacketPaintKind::color, kelvo::PacketColor{c, 0.4, 1 - c, 1}, {}, {}, {}};
            if (i % 4 == 3) {
                command.kind = 11;  // draw_text
                command.text = kelvo::PacketText{1,     11,           {x, y + 14}, kelvo::PacketColor{0, 0, 0, 1},
                                                 "Ab1", std::nullopt, std::nullopt};
            } else {
                command.kind = i % 2 == 0 ? 2 : 0;  // rounded or plain rect
                command.shape =
                    kelvo::PacketShape{i % 2 == 0 ? kelvo::PacketShapeKind::rounded_rect : kelvo::PacketShapeKind::rect,
                                       {x, y, 18, 22},
                                       {4, 4, 4, 4},
                                       0,
                                       {},
                                       {},
                                       {}};
            }
            commands.push_back(std::make_shared<const kelvo::PacketCommand>(command));
            keys.push_back(i + 1);
        }
        kelvo::rasterCacheEnsure(cache, 2, kWidth, kHeight);
    }

    int draw(bool cached, bool partial) {
        kelvo::PacketDrawEnvironment environment{cached ? &cache : nullptr, &counters, nullptr};
        kelvo::PacketFrameDraw frame;
        frame.commands = commands;
        if (cached) frame.keys = keys;
        frame.scale = 2;
        frame.clear_color = {1, 1, 1, 1};
        std::vector<kelvo::PacketRect> dirty = {{100, 100, 200, 120}};
        if (partial) {
            frame.full_surface_pass = false;
            frame.has_scissor = true;
            frame.scissor = {0, 0, 1280, 800};
            frame.dirty_rects = dirty;
        }
        return kelvo::drawPacketCommands(frame, {pixels.data(), kWidth, kHeight}, environment);
    }
};

void BM_FullPassDirect(benchmark::State& state) {
    Frame frame;
    for (auto _ : state) benchmark::DoNotOptimize(frame.draw(false, false));
}
BENCHMARK(BM_FullPassDirect)->Unit(benchmark::kMillisecond);

void BM_FullPassCacheHits(benchmark::State& state) {
    Frame frame;
    frame.draw(true, false);
    for (auto _ : state) benchmark::DoNotOptimize(frame.draw(true, false));
}
BENCHMARK(BM_FullPassCacheHits)->Unit(benchmark::kMillisecond);

void BM_FullPassCacheFill(benchmark::State& state) {
    Frame frame;
    for (auto _ : state) {
        kelvo::rasterCacheWipe(frame.cache);
        benchmark::DoNotOptimize(frame.draw(true, false));
    }
}
BENCHMARK(BM_FullPassCacheFill)->Unit(benchmark::kMillisecond);

void BM_PartialPassOneDirtyRect(benchmark::State& state) {
    Frame frame;
    frame.draw(true, false);
    for (auto _ : state) benchmark::DoNotOptimize(frame.draw(true, true));
}
BENCHMARK(BM_PartialPassOneDirtyRect)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
