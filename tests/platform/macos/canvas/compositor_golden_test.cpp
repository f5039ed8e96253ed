// The golden scene of each command kind through the compositor, with the comparison against the
// CPU drawing switched on: through the raster cache (keyed) and through scratch textures (unkeyed).

#include <gtest/gtest.h>

#include "canvas_fixture.hpp"
#include "platform/macos/canvas/packet_geometry.hpp"
#include "platform/macos/canvas/presenter_fixture.hpp"
#include "platform/macos/canvas/raster_cache.hpp"

namespace kelvo::testing {
namespace {

class CompositorGolden : public ::testing::TestWithParam<const char*> {};

// The compositor draws a command only inside its bounds, which hold its whole drawing; a scene
// written by hand may give a transformed shape the bounds of its untransformed rect.
void boundTransformedShapes(CanvasPacket& packet) {
    for (PacketCommand& c : *packet.commands) {
        if (!c.transform || !c.shape) continue;
        PacketRect drawn = packetTransformRect(c.transform, c.shape->rect);
        c.bounds = unionRects(c.bounds, PacketRect{drawn.x - 1, drawn.y - 1, drawn.width + 2, drawn.height + 2});
    }
}

std::uint64_t traceNumber(const std::string& trace, const std::string& name) {
    std::size_t at = trace.find(name + "=");
    return at == std::string::npos ? ~std::uint64_t{0} : std::stoull(trace.substr(at + name.size() + 1));
}

TEST_P(CompositorGolden, ComparesEqualToTheCpuDrawing) {
    for (bool keyed : {true, false}) {
        SCOPED_TRACE(keyed ? "keyed" : "unkeyed");
        Scene scene = loadScene(GetParam());
        CanvasPacket packet = scene.packet;
        boundTransformedShapes(packet);
        for (std::size_t i = 0; i < packet.images.size(); ++i) {
            PacketImageAction upload;
            upload.image_id = packet.images[i].image_id;
            upload.image_index = i;
            packet.image_actions.push_back(upload);
        }
        if (!keyed) packet.command_keys.reset();
        TestCanvasView view(true);
        view.state.switches.compare = true;
        ASSERT_EQ(presentCanvasPacket(view.state, packet, surface(96, 64, 2)), 1);
        std::string trace = view.traceText();
        ASSERT_NE(trace.find("kelvo: gpu compare view= checks=1 "), std::string::npos) << trace;
        // Both paths blend each command's 8-bit pixels with the GPU's blend rule, whether they come
        // from a cache entry, a scratch texture or the CPU canvas.
        EXPECT_EQ(traceNumber(trace, "diff_pixels"), 0u) << trace;
        EXPECT_EQ(traceNumber(trace, "max_delta"), 0u) << trace;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CompositorGolden,
                         ::testing::Values("fill_rect", "fill_rounded_rect", "stroke_rect", "draw_line", "fill_path",
                                           "stroke_path", "draw_text", "draw_image", "shadow", "blur"));

}  // namespace
}  // namespace kelvo::testing
