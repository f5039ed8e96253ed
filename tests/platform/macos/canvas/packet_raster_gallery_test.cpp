// The widget gallery planned as a frame, written as a binary packet, read back and drawn on the
// CPU path, against the reference renderer's pixels of the same display list.

#include <gtest/gtest.h>

#include <cstdlib>

#include "canvas_fixture.hpp"
#include "render/frame_fixture.hpp"
#include "render/packet/packet_from_frame.hpp"
#include "render/packet/packet_writers.hpp"
#include "render/render_gallery.hpp"
#include "render/test_surface.hpp"

namespace kelvo::testing {
namespace {

// Anti-aliased edges (blended in linear light by the reference, in plain values here), image
// filtering and the placement of glyphs differ, so the paths agree closely but not exactly. Pinned:
// the share of pixels further apart than 16 levels in a channel (1.07 % at scale 1, 0.38 % at
// scale 2 when written), and the mean of the largest channel difference (0.43 and 0.18).
constexpr double kMaxFarShare = 0.015;
constexpr double kMaxMeanDelta = 0.6;

TEST(CanvasGallery, AgreesWithTheReferenceRenderer) {
    RenderGallery gallery;
    buildRenderGallery(gallery);
    for (float scale : {1.0f, 2.0f}) {
        SCOPED_TRACE(scale);
        auto width = static_cast<std::uint32_t>(kGalleryWidth * scale);
        auto height = static_cast<std::uint32_t>(kGalleryHeight * scale);
        TestSurface reference(width, height);
        reference.surface.images = {&gallery.image, 1};
        ASSERT_TRUE(renderDisplayList(reference.surface, gallery.commands, scale));

        PlannedView view;
        view.width = kGalleryWidth;
        view.height = kGalleryHeight;
        view.scale = scale;
        view.list = gallery.commands;
        Result<CanvasFrame> frame = view.plan();
        ASSERT_TRUE(frame.has_value());
        static std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
        auto count =
            gatherCanvasPacketCurrentCommandsFromPlan(frame->render_commands, frame->width, frame->height,
                                                      frame->content_bounds, keyed, frame->command_fingerprints);
        ASSERT_TRUE(count.has_value());
        CanvasPacketPlan plan{&*frame, std::span<const KeyedGpuCommand>(keyed).first(*count),
                              view.history->keyedCommands(), PacketLoadAction::clear, 1};
        CanvasPacket written;
        buildCanvasPacket(plan, written);
        std::vector<std::uint8_t> bytes(std::size_t{16} << 20);
        PacketWriteResult result = writeBinaryCanvasPacket(written, bytes);
        ASSERT_TRUE(result.fits);
        auto packet = readBinaryCanvasPacket(std::span(bytes).first(result.size));
        ASSERT_TRUE(packet.has_value());

        Scene scene;
        scene.packet = std::move(*packet);
        adoptPacket(scene);
        std::vector<std::uint8_t> image(gallery.image.pixels.begin(), gallery.image.pixels.end());
        scene.images.add(PacketImage{gallery.image.id, 0, static_cast<double>(gallery.image.width),
                                     static_cast<double>(gallery.image.height), image});
        Buffer cpu(width, height);
        Drawing drawing(scene);
        drawing.frame.scale = scale;
        drawing.frame.clear_color = {1, 1, 1, 1};
        ASSERT_EQ(drawing.draw(cpu), 1);
        EXPECT_EQ(drawing.counters.drawn, scene.commands.size());

        std::uint64_t far = 0;
        double total = 0;
        for (std::size_t i = 0; i < cpu.bytes.size(); i += 4) {
            // The reference surface is opaque white underneath, so straight and premultiplied agree.
            int delta = 0;
            for (std::size_t c = 0; c < 4; ++c)
                delta = std::max(delta, std::abs(cpu.bytes[i + c] - reference.pixels[i + c]));
            far += delta > 16 ? 1 : 0;
            total += delta;
        }
        double pixels = static_cast<double>(cpu.bytes.size() / 4);
        EXPECT_LE(static_cast<double>(far) / pixels, kMaxFarShare);
        EXPECT_LE(total / pixels, kMaxMeanDelta);
        if (const char* path = std::getenv("KELVO_CANVAS_GALLERY_PNG"); path != nullptr && scale == 1.0f) {
            std::FILE* out = std::fopen(path, "wb");
            std::string png = cpu.png();
            std::fwrite(png.data(), 1, png.size(), out);
            std::fclose(out);
            std::FILE* ref = std::fopen((std::string(path) + ".reference.png").c_str(), "wb");
            png = reference.png();
            std::fwrite(png.data(), 1, png.size(), ref);
            std::fclose(ref);
        }
    }
}

}  // namespace
}  // namespace kelvo::testing
