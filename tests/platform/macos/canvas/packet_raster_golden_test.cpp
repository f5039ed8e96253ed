// Each command kind in a small scene read from a JSON packet, drawn at scale 2 and compared byte
// for byte with its PNG golden under tests/data/canvas (KELVO_UPDATE_GOLDEN=1 rewrites them).

#include <gtest/gtest.h>

#include "canvas_fixture.hpp"
#include "platform/macos/canvas/raster_cache.hpp"

namespace kelvo::testing {
namespace {

constexpr std::uint32_t kWidth = 192;
constexpr std::uint32_t kHeight = 128;

class CanvasGolden : public ::testing::TestWithParam<const char*> {};

Buffer drawScene(Scene& scene, RasterCache* cache) {
    Buffer buffer(kWidth, kHeight);
    PacketTraceCounters counters;
    PacketDrawEnvironment environment{cache, &counters, &scene.images};
    PacketFrameDraw frame;
    frame.commands = scene.commands;
    if (cache != nullptr) frame.keys = scene.keys;
    frame.scale = 2;
    frame.clear_color = {1, 1, 1, 1};
    EXPECT_EQ(drawPacketCommands(frame, buffer.pixels(), environment), 1);
    return buffer;
}

TEST_P(CanvasGolden, MatchesItsGoldenAndTheCachedDrawing) {
    Scene scene = loadScene(GetParam());
    Buffer direct = drawScene(scene, nullptr);
    expectGolden(std::string("canvas/") + GetParam() + ".png", direct.png());

    // Through the raster cache each command is drawn into an entry of its own and placed pixel for
    // pixel: the same picture, but for the rounding of a second blend.
    RasterCache cache;
    rasterCacheEnsure(cache, 2, kWidth, kHeight);
    Buffer cached = drawScene(scene, &cache);
    EXPECT_LE(maxChannelDelta(direct, cached), 2);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CanvasGolden,
                         ::testing::Values("fill_rect", "fill_rounded_rect", "stroke_rect", "draw_line", "fill_path",
                                           "stroke_path", "draw_text", "draw_image", "shadow", "blur"));

}  // namespace
}  // namespace kelvo::testing
