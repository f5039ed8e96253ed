#include "render/gpu_command.hpp"

#include <gtest/gtest.h>

#include "render/render_command.hpp"
#include "render/render_fingerprints.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

const GradientStop kStops[] = {{0, {1, 0, 0, 1}}, {1, {0, 0, 1, 1}}};
const PathElement kPath[] = {PathElement::moveTo({0, 0}), PathElement::lineTo({4, 4})};

// A command of each tag with the paint asked for; strokes and paths use a round cap, texts a box.
CanvasCommand commandOf(std::string_view tag, bool gradient) {
    const Paint paint = gradient ? Paint::linear({kStops, {0, 0}, {10, 0}}) : Paint::solid({0, 1, 0, 1});
    const Rect rect{5, 5, -10, 20};
    if (tag == "fill_rect") return CanvasCommand::fillRect({1, paint, rect});
    if (tag == "fill_rounded_rect") return CanvasCommand::fillRoundedRect({1, paint, rect, {2, 2, 2, 2}});
    if (tag == "stroke_rect") return CanvasCommand::strokeRect({1, {paint, 2}, rect, {}});
    if (tag == "draw_line") return CanvasCommand::drawLine({1, {paint, 2}, {0, 0}, {9, 9}});
    if (tag == "fill_path") return CanvasCommand::fillPath({1, kPath, paint});
    if (tag == "stroke_path") return CanvasCommand::strokePath({1, kPath, {paint, 3}, LineCap::round});
    if (tag == "draw_image") return CanvasCommand::drawImage({1, 7, std::nullopt, rect, 1, {}, {}, {}});
    if (tag == "draw_text") {
        DrawTextCommand text;
        text.text = "a";
        text.layout = TextLayoutBox{};
        return CanvasCommand::drawText(text);
    }
    if (tag == "shadow") return CanvasCommand::shadowOf({1, rect, {0, 0, 0, 1}, {1, 1}, 2, 0, {}});
    if (tag == "blur") return CanvasCommand::blurOf({1, rect, 3});
    if (tag == "push_clip") return CanvasCommand::pushClip({1, rect, {}});
    if (tag == "pop_clip") return CanvasCommand::popClip();
    if (tag == "push_opacity") return CanvasCommand::pushOpacity(0.5f);
    if (tag == "pop_opacity") return CanvasCommand::popOpacity();
    return CanvasCommand::transformBy({2, 0, 0, 2, 0, 0});
}

TEST(CanvasGpuCommands, KindsShapesPaintsAndResourcesFollowTagAndPaint) {
    for (const auto& row : testing::readTable("render/gpu_commands.txt")) {
        ASSERT_EQ(row.size(), 14u);
        SCOPED_TRACE(row[0] + " " + row[1]);
        RenderCommand render;
        render.command = commandOf(row[0], row[1] == "gradient");
        const CanvasGpuCommand gpu = canvasGpuCommandFromRenderCommand(render, 3);
        EXPECT_EQ(gpu.index, 3u);
        EXPECT_EQ(static_cast<int>(gpu.kind), std::stoi(row[2]));
        EXPECT_EQ(static_cast<int>(gpu.shape), std::stoi(row[3]));
        EXPECT_EQ(static_cast<int>(gpu.paint), std::stoi(row[4]));
        EXPECT_EQ(static_cast<int>(gpu.resource), std::stoi(row[5]));
        const bool flags[] = {gpu.drawable,        gpu.round_cap,   gpu.path,      gpu.image,
                              gpu.cached_resource, gpu.effect_flag, gpu.text_flag, gpu.text_layout_present};
        for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(flags[i], row[6 + i] == "1") << "flag " << i;
    }
}

TEST(CanvasGpuCommands, GeometryIsNormalisedAndTheRenderStateCopied) {
    RenderCommand render;
    render.command = CanvasCommand::fillRect({4, Paint::solid({1, 1, 1, 1}), {5, 0, -10, 6}});
    render.id = 4;
    render.opacity = 0.25f;
    render.has_clip = true;
    render.clip = {1, 2, 3, 4};
    render.transform = {1, 0, 0, 1, 7, 8};
    render.bounds = {-5, 0, -10, 6};  // carried as it is, even un-normalised
    const CanvasGpuCommand gpu = canvasGpuCommandFromRenderCommand(render, 0);
    EXPECT_FLOAT_EQ(gpu.rect.x, -5);
    EXPECT_FLOAT_EQ(gpu.rect.width, 10);
    EXPECT_EQ(gpu.id, 4u);
    EXPECT_FLOAT_EQ(gpu.opacity, 0.25f);
    EXPECT_TRUE(gpu.has_clip);
    EXPECT_FLOAT_EQ(gpu.clip.height, 4);
    EXPECT_FLOAT_EQ(gpu.transform.ty, 8);
    EXPECT_FLOAT_EQ(gpu.bounds.width, -10);
    EXPECT_FLOAT_EQ(render.command.fill_rect.rect.width, -10);
}

}  // namespace
}  // namespace kelvo
