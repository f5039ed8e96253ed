// The compositor's choices: flat quads, scratch textures and their pool, passes it refuses, blur
// confined to the repainted regions, the shots and the switches.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/macos/canvas/compositor_private.hpp"
#include "platform/macos/canvas/presenter_fixture.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using testing::clearPacket;
using testing::patchPacket;
using testing::solidRect;
using testing::surface;
using testing::TestCanvasView;

TEST(CanvasCompositor, FlatQuadsAreWholePixelOpaquePlainRectangles) {
    PacketCommand aligned = solidRect({10.5, 0, 5, 5}, {1, 0, 0, 1});
    std::optional<PixelGridRect> flat = composite::flatQuadRect(aligned, 2, 100, 100);
    ASSERT_TRUE(flat.has_value());
    EXPECT_EQ(*flat, (PixelGridRect{21, 0, 31, 10}));
    EXPECT_FALSE(composite::flatQuadRect(aligned, 1, 100, 100).has_value());

    PacketCommand translucent = solidRect({0, 0, 5, 5}, {1, 0, 0, 0.5});
    PacketCommand faded = solidRect({0, 0, 5, 5}, {1, 0, 0, 1}, 0.9);
    PacketCommand rounded = solidRect({0, 0, 5, 5}, {1, 0, 0, 1});
    rounded.shape->kind = PacketShapeKind::rounded_rect;
    rounded.shape->radius = {2, 2, 2, 2};
    PacketCommand turned = solidRect({0, 0, 5, 5}, {1, 0, 0, 1});
    turned.transform = PacketTransform{1, 0, 0, 1, 0, 0};
    for (const PacketCommand* c : {&translucent, &faded, &rounded, &turned}) {
        EXPECT_FALSE(composite::flatQuadRect(*c, 1, 100, 100).has_value());
    }
    // A clip cuts the rectangle first; a cut that is not whole pixels is not flat.
    PacketCommand clipped = solidRect({0, 0, 5, 5}, {1, 0, 0, 1});
    clipped.clip = PacketRect{1, 1, 2, 2};
    EXPECT_EQ(composite::flatQuadRect(clipped, 1, 100, 100), (PixelGridRect{1, 1, 3, 3}));
    clipped.clip = PacketRect{1.25, 1, 2, 2};
    EXPECT_FALSE(composite::flatQuadRect(clipped, 1, 100, 100).has_value());
}

TEST(CanvasCompositor, ScratchTexturesRoundUpAndServeOneRecord) {
    TestCanvasView view(true);
    std::vector<std::uint64_t> used;
    PixelGridRect region;
    PacketCommand wide = testing::roundedRect({0, 0, 98, 10}, 3, {0, 1, 0, 1});
    gpu::GpuTextureRef first = composite::scratchTexture(view.state, wide, 4, 1, 200, 200, std::nullopt, used, region);
    ASSERT_TRUE(first);
    EXPECT_EQ(region, (PixelGridRect{0, 0, 99, 11}));  // one pixel of margin, cut by the surface
    EXPECT_EQ(first->width, 128u);
    EXPECT_EQ(view.state.scratchPool.at(4), first);
    // The same key again in this pass gets a texture of its own, not the pooled one.
    gpu::GpuTextureRef second = composite::scratchTexture(view.state, wide, 4, 1, 200, 200, std::nullopt, used, region);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    // In the next pass the pooled texture is reused.
    used.clear();
    EXPECT_EQ(composite::scratchTexture(view.state, wide, 4, 1, 200, 200, std::nullopt, used, region), first);
}

TEST(CanvasCompositor, ScratchPoolIsBoundedByCountAndBytes) {
    TestCanvasView view(true);
    std::vector<std::uint64_t> used;
    PixelGridRect region;
    PacketCommand small = testing::roundedRect({0, 0, 10, 10}, 3, {0, 1, 0, 1});
    for (std::uint64_t key = 0; key < 64; ++key) {
        ASSERT_TRUE(composite::scratchTexture(view.state, small, key, 1, 100, 100, std::nullopt, used, region));
    }
    EXPECT_EQ(view.state.scratchPool.size(), 64u);
    ASSERT_TRUE(composite::scratchTexture(view.state, small, 64, 1, 100, 100, std::nullopt, used, region));
    EXPECT_EQ(view.state.scratchPool.size(), 1u);

    // Large textures: 3 of 4096 x 2048 px (32 MiB each) never hold more than 64 MiB.
    PacketCommand big = solidRect({0, 0, 4000, 2000}, {0, 1, 0, 1}, 0);  // draws nothing: only the sizes count
    for (std::uint64_t key = 100; key < 103; ++key) {
        ASSERT_TRUE(composite::scratchTexture(view.state, big, key, 1, 4096, 2048, std::nullopt, used, region));
        EXPECT_LE(view.state.scratchPoolBytes, kScratchPoolMaxBytes);
    }
}

TEST(CanvasCompositor, IncrementalPassesNeedACompleteCompositeOfTheirSize) {
    TestCanvasView view(true);
    CanvasPacket clear = clearPacket(3, {solidRect({0, 0, 4, 4}, {1, 0, 0, 1})}, {1});
    CanvasPacket patch = patchPacket(3, {}, {}, {1});
    patch.scissor = PacketRect{0, 0, 2, 2};
    // Before any full pass.
    CanvasPacket load;
    load.load_action = PacketLoadAction::load;
    load.commands = std::vector<PacketCommand>{};
    load.scissor = PacketRect{0, 0, 2, 2};
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 8, 1)), 0);
    ASSERT_EQ(presentCanvasPacket(view.state, clear, surface(8, 8, 1)), 1);
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 8, 1)), 1);
    // The surface grew: the texture is of the old size, the partial pass is refused.
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 8, 2)), 0);
    EXPECT_EQ(view.state.canvasTexture->width, 8u);
}

TEST(CanvasCompositor, BlurStaysInsideTheRepaintedRegions) {
    TestCanvasView view(true);
    std::vector<PacketCommand> commands;
    for (int i = 0; i < 8; ++i) commands.push_back(solidRect({i * 4.0, 0, 2, 32}, {0, 0, 0, 1}));
    commands.push_back(testing::blur({0, 0, 32, 32}, 2));
    std::vector<std::uint64_t> keys = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_EQ(presentCanvasPacket(view.state, clearPacket(3, commands, keys), surface(32, 32, 1)), 1);
    std::vector<std::uint8_t> before = view.shown();

    CanvasPacket patch = patchPacket(3, {}, {}, keys);
    patch.scissor = PacketRect{4, 4, 24, 24};
    patch.dirty_rects = std::vector<PacketRect>{{4, 4, 4, 4}, {24, 24, 4, 4}};
    ASSERT_EQ(presentCanvasPacket(view.state, patch, surface(32, 32, 1)), 1);
    std::vector<std::uint8_t> after = view.shown();
    auto inside = [](std::uint32_t v, std::uint32_t lo) { return v >= lo && v < lo + 4; };
    for (std::uint32_t y = 0; y < 32; ++y) {
        for (std::uint32_t x = 0; x < 32; ++x) {
            if ((inside(x, 4) && inside(y, 4)) || (inside(x, 24) && inside(y, 24))) continue;
            std::size_t at = (std::size_t{y} * 32 + x) * 4;
            ASSERT_EQ(after[at], before[at]) << x << "," << y;
        }
    }
}

TEST(CanvasCompositor, DiagnosticsKeepTheCountersOfThePresentedPass) {
    TestCanvasView view(true);
    view.state.switches.compare = true;
    view.state.switches.verifyIncremental = true;
    CanvasPacket clear =
        clearPacket(3, {solidRect({0, 0, 2, 2}, {1, 0, 0, 1}), solidRect({6, 6, 2, 2}, {0, 1, 0, 1})}, {1, 2});
    ASSERT_EQ(presentCanvasPacket(view.state, clear, surface(8, 8, 1)), 1);
    CanvasPacket patch = patchPacket(3, {}, {}, {1, 2});
    patch.scissor = PacketRect{0, 0, 2, 2};
    ASSERT_EQ(presentCanvasPacket(view.state, patch, surface(8, 8, 1)), 1);
    // The partial pass drew one command; the full redraws of the checks drew two.
    EXPECT_EQ(view.state.trace.drawn, 1u);
    EXPECT_EQ(view.state.traceQuads, 2u);  // the region's clear and the one rectangle
    EXPECT_NE(view.traceText().find("kelvo: gpu incremental verify view= checks=1 mismatches=0"), std::string::npos);
}

TEST(CanvasCompositor, ShotsAtTheFirstAndEveryThirtiethPresent) {
    testing::TempFolder folder;
    TestCanvasView view(true);
    view.state.switches.shotDir = folder.path();
    CanvasPacket clear = clearPacket(3, {solidRect({0, 0, 2, 2}, {0, 0, 0, 1})}, {1});
    for (int i = 0; i < 30; ++i) ASSERT_EQ(presentCanvasPacket(view.state, clear, surface(4, 4, 1)), 1);
    EXPECT_TRUE(std::filesystem::exists(folder.path("surface-p1.png")));
    EXPECT_FALSE(std::filesystem::exists(folder.path("surface-p2.png")));
    EXPECT_TRUE(std::filesystem::exists(folder.path("surface-p30.png")));
}

TEST(CanvasCompositor, SwitchValues) {
    EXPECT_FALSE(canvasSwitchOn(nullptr));
    EXPECT_FALSE(canvasSwitchOn(""));
    EXPECT_FALSE(canvasSwitchOn("0"));
    for (const char* on : {"00", "no", "false", "1"}) EXPECT_TRUE(canvasSwitchOn(on)) << on;
    CanvasSwitches s = readCanvasSwitches([](const char* name) -> const char* {
        std::string_view n = name;
        if (n == "KELVO_GPU_DRAW_TRACE") return "0";
        if (n == "KELVO_GPU_SHOT_DIR") return "/tmp/shots";
        return nullptr;
    });
    EXPECT_FALSE(s.drawTrace);
    EXPECT_TRUE(s.drawTracePresent);  // the CPU line only asks whether the variable exists
    EXPECT_EQ(s.shotDir, "/tmp/shots");
}

TEST(CanvasGpuDevice, DrawableShowsTheCanvasAndItsCentrePixel) {
    gpu::GpuDevice device;
    gpu::GpuTextureRef canvas = gpu::makeTexture(4, 2, true);
    gpu::GpuCommandBufferRef buffer = gpu::makeCommandBuffer();
    gpu::beginPass(*buffer, canvas, gpu::GpuLoadAction::clear, {0, 0, 0, 1});
    gpu::setPipeline(*buffer, gpu::GpuPipeline::blend);
    gpu::setScissor(*buffer, gpu::GpuRegion{2, 0, 2, 2});
    gpu::GpuQuad quad;
    quad.rectSize = {4, 2};
    quad.color = {0.5f, 0, 0, 0.5f};
    gpu::drawQuad(*buffer, quad, nullptr);
    gpu::commit(device, buffer);
    EXPECT_EQ(canvas->bytes[3], 0);  // nothing ran yet
    gpu::GpuDrawable drawable;
    ASSERT_TRUE(gpu::presentCanvas(device, drawable, *canvas, 4, 2));
    EXPECT_EQ(gpu::probeCentrePixel(drawable), (std::array<std::uint8_t, 4>{128, 0, 0, 255}));
    EXPECT_EQ(canvas->bytes[0], 0);  // outside the scissor
    EXPECT_FALSE(gpu::makeTexture(8193, 1, false));
}

}  // namespace
}  // namespace kelvo
