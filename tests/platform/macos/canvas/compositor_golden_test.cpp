// The golden scene of each command kind through the compositor, with the comparison against the
// CPU drawing switched on: through the raster cache (keyed) and through scratch textures (unkeyed).

#include <gtest/gtest.h>

#include "canvas_fixture.hpp"
#include "platform/macos/canvas/presenter_fixture.hpp"

namespace kelvo::testing {
namespace {

class CompositorGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(CompositorGolden, ComparesEqualToTheCpuDrawing) {
    for (bool keyed : {true, false}) {
        SCOPED_TRACE(keyed ? "keyed" : "unkeyed");
        Scene scene = loadScene(GetParam());
        CanvasPacket packet = scene.packet;
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
        EXPECT_NE(trace.find("checks=1 diff_pixels=0 max_delta=0 total_pixels=24576 first=(0,0)"), std::string::npos)
            << trace;
        if (getenv("DBG")) {
            auto shown = view.shown();
            for (std::size_t at = 0; at < shown.size(); at += 4) {
                int x = (at / 4) % 192, y = (at / 4) / 192;
                if (std::abs(shown[at] - view.state.comparePixels[at]) < 20) continue;
                printf("%d,%d gpu %d %d %d %d cpu %d %d %d %d\n", x, y, shown[at], shown[at + 1], shown[at + 2],
                       shown[at + 3], view.state.comparePixels[at], view.state.comparePixels[at + 1],
                       view.state.comparePixels[at + 2], view.state.comparePixels[at + 3]);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CompositorGolden,
                         ::testing::Values("fill_rect", "fill_rounded_rect", "stroke_rect", "draw_line", "fill_path",
                                           "stroke_path", "draw_text", "draw_image", "shadow", "blur"));

}  // namespace
}  // namespace kelvo::testing
