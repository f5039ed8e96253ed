// Each command kind in a small scene read from a JSON packet, drawn at scale 2 and compared byte
// for byte with its PNG golden under tests/data/canvas (KELVO_UPDATE_GOLDEN=1 rewrites them).

#include <gtest/gtest.h>

#include <random>

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

// A partial pass over random pixel-aligned dirty rects leaves the buffer as a full redraw would.
// (A blur reads pixels outside the dirty rects, which hold the blurred frame: its scene is left out.)
class CanvasPartial : public ::testing::TestWithParam<const char*> {};

TEST_P(CanvasPartial, PartialPassesEqualAFullRedraw) {
    Scene scene = loadScene(GetParam());
    RasterCache cache;
    rasterCacheEnsure(cache, 2, kWidth, kHeight);
    Buffer buffer = drawScene(scene, &cache);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> corner(0, 180);
    std::uniform_int_distribution<int> side(1, 60);
    PacketTraceCounters counters;
    PacketDrawEnvironment environment{&cache, &counters, &scene.images};
    PacketVerifyState verify;
    for (int round = 0; round < 25; ++round) {
        std::vector<PacketRect> dirty = {
            {corner(random) * 0.5, corner(random) * 0.5 * 0.6, side(random) * 0.5, side(random) * 0.5}};
        PacketFrameDraw frame;
        frame.commands = scene.commands;
        frame.keys = scene.keys;
        frame.scale = 2;
        frame.clear_color = {1, 1, 1, 1};
        frame.full_surface_pass = false;
        frame.has_scissor = true;
        frame.scissor = {0, 0, kWidth / 2.0, kHeight / 2.0};
        frame.dirty_rects = dirty;
        ASSERT_EQ(drawPacketCommands(frame, buffer.pixels(), environment), 1);
        verifyIncrementalBacking(verify, buffer.bytes, frame, kWidth, kHeight, "", environment);
    }
    EXPECT_EQ(verify.check_count, 25u);
    EXPECT_EQ(verify.mismatch_count, 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CanvasGolden,
                         ::testing::Values("fill_rect", "fill_rounded_rect", "stroke_rect", "draw_line", "fill_path",
                                           "stroke_path", "draw_text", "draw_image", "shadow", "blur"));

INSTANTIATE_TEST_SUITE_P(Kinds, CanvasPartial,
                         ::testing::Values("fill_rect", "fill_rounded_rect", "stroke_rect", "draw_line", "fill_path",
                                           "stroke_path", "draw_text", "draw_image", "shadow"));

}  // namespace
}  // namespace kelvo::testing
