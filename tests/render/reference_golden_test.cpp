// Each drawing tag in a small scene, and the gallery frame, drawn and compared byte for byte with
// their goldens under tests/data/render (KELVO_UPDATE_GOLDEN=1 rewrites them).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "base/wyhash.hpp"
#include "render_gallery.hpp"
#include "support/golden.hpp"
#include "test_surface.hpp"

namespace kelvo::testing {
namespace {

constexpr Color kInk{0.1f, 0.2f, 0.6f, 1};
constexpr Color kWarm{0.9f, 0.45f, 0.1f, 1};

struct Scene {
    std::vector<CanvasCommand> commands;
    std::vector<std::vector<PathElement>> paths;
    std::vector<GradientStop> stops{
        {0, {0.95f, 0.3f, 0.2f, 1}}, {0.5f, {1, 0.9f, 0.2f, 1}}, {1, {0.2f, 0.4f, 0.95f, 1}}};
    std::vector<std::uint8_t> image_pixels;
    std::vector<ReferenceImage> images;

    Paint gradient(Point start, Point end) { return Paint::linear({stops, start, end}); }
    std::span<const PathElement> path(std::vector<PathElement> elements) {
        paths.push_back(std::move(elements));
        return paths.back();
    }
};

std::vector<PathElement> star(Point c, float outer, float inner) {
    std::vector<PathElement> elements;
    for (int i = 0; i < 10; ++i) {
        float angle = static_cast<float>(i) * 0.6283185f - 1.5707963f;
        float r = i % 2 ? inner : outer;
        Point p{c.x + r * std::cos(angle), c.y + r * std::sin(angle)};
        elements.push_back(i == 0 ? PathElement::moveTo(p) : PathElement::lineTo(p));
    }
    elements.push_back(PathElement::close());
    return elements;
}

const std::vector<std::pair<const char*, std::function<void(Scene&)>>>& scenes() {
    static const std::vector<std::pair<const char*, std::function<void(Scene&)>>> all = {
        {"fill_rect",
         [](Scene& s) {
             s.commands.push_back(CanvasCommand::fillRect({1, Paint::solid(kInk), {4.5f, 4.25f, 30, 20}}));
             s.commands.push_back(CanvasCommand::fillRect({2, s.gradient({40, 0}, {92, 0}), {40, 4, 52, 24}}));
             s.commands.push_back(CanvasCommand::fillRect({3, Paint::solid({0, 0, 0, 0.5f}), {20, 16, 40, 20}}));
             s.commands.push_back(CanvasCommand::transformBy({0.8660254f, 0.5f, -0.5f, 0.8660254f, 60, 30}));
             s.commands.push_back(CanvasCommand::fillRect({4, Paint::solid(kWarm), {0, 0, 16, 10}}));
         }},
        {"stroke_rect",
         [](Scene& s) {
             s.commands.push_back(CanvasCommand::strokeRect({1, {Paint::solid(kInk), 3}, {6, 6, 30, 22}, {}}));
             s.commands.push_back(
                 CanvasCommand::strokeRect({2, {Paint::solid(kWarm), 2.5f}, {44, 6, 44, 22}, {8, 2, 8, 0}}));
             s.commands.push_back(
                 CanvasCommand::strokeRect({3, {s.gradient({0, 34}, {96, 60}), 4}, {8, 36, 80, 20}, {6, 6, 6, 6}}));
         }},
        {"fill_rounded_rect",
         [](Scene& s) {
             s.commands.push_back(
                 CanvasCommand::fillRoundedRect({1, Paint::solid(kInk), {4, 4, 40, 26}, {10, 2, 0, 13}}));
             s.commands.push_back(
                 CanvasCommand::fillRoundedRect({2, s.gradient({48, 4}, {92, 60}), {50, 6, 40, 52}, {20, 20, 20, 20}}));
             s.commands.push_back(CanvasCommand::transformBy({1.5f, 0, 0, 1.5f, 2, 32}));
             s.commands.push_back(CanvasCommand::fillRoundedRect(
                 {3, Paint::solid({0, 0.5f, 0.2f, 0.6f}), {2, 2, 28, 16}, {4, 4, 4, 4}}));
         }},
        {"draw_line",
         [](Scene& s) {
             s.commands.push_back(CanvasCommand::drawLine({1, {Paint::solid(kInk), 5}, {8, 8}, {88, 40}}));
             s.commands.push_back(CanvasCommand::drawLine({2, {s.gradient({0, 0}, {96, 0}), 2}, {4, 56}, {92, 50}}));
             s.commands.push_back(CanvasCommand::drawLine({3, {Paint::solid(kWarm), 9}, {70, 12}, {70.0005f, 12}}));
         }},
        {"fill_path",
         [](Scene& s) {
             s.commands.push_back(CanvasCommand::fillPath({1, s.path(star({28, 32}, 26, 10)), Paint::solid(kInk)}));
             // A pentagram crosses itself: its middle is a hole under the even-odd rule.
             std::vector<PathElement> pentagram;
             for (int i = 0; i < 5; ++i) {
                 float angle = static_cast<float>(i * 2) * 1.2566371f - 1.5707963f;
                 Point p{70 + 22 * std::cos(angle), 34 + 22 * std::sin(angle)};
                 pentagram.push_back(i == 0 ? PathElement::moveTo(p) : PathElement::lineTo(p));
             }
             pentagram.push_back(PathElement::close());
             s.commands.push_back(CanvasCommand::fillPath({2, s.path(pentagram), s.gradient({48, 10}, {92, 58})}));
             s.commands.push_back(CanvasCommand::fillPath(
                 {3,
                  s.path({PathElement::moveTo({4, 60}), PathElement::quadTo({30, 30}, {50, 60}),
                          PathElement::cubicTo({60, 40}, {80, 70}, {92, 58}), PathElement::close()}),
                  Paint::solid({0.9f, 0.2f, 0.4f, 0.7f})}));
         }},
        {"stroke_path",
         [](Scene& s) {
             auto zigzag =
                 s.path({PathElement::moveTo({6, 40}), PathElement::lineTo({24, 10}), PathElement::lineTo({42, 40}),
                         PathElement::lineTo({60, 10}), PathElement::quadTo({80, 0}, {88, 30})});
             s.commands.push_back(CanvasCommand::strokePath({1, zigzag, {Paint::solid(kInk), 6}, LineCap::round}));
             s.commands.push_back(CanvasCommand::strokePath({2, zigzag, {Paint::solid(kWarm), 1.5f}, LineCap::butt}));
             s.commands.push_back(CanvasCommand::transformBy({2, 0, 0, 2, 0, 0}));
             s.commands.push_back(
                 CanvasCommand::strokePath({3,
                                            s.path({PathElement::moveTo({4, 26}), PathElement::lineTo({44, 28})}),
                                            {s.gradient({8, 0}, {88, 0}), 2},
                                            LineCap::butt}));
         }},
        {"draw_image",
         [](Scene& s) {
             // A 6 x 4 image: colour bars above, a transparent row with one opaque pixel below.
             const std::uint8_t bars[6][4] = {{255, 0, 0, 255}, {255, 160, 0, 255}, {255, 255, 0, 255},
                                              {0, 200, 0, 255}, {0, 80, 255, 255},  {160, 0, 200, 128}};
             s.image_pixels.resize(6 * 4 * 4);
             for (int y = 0; y < 4; ++y) {
                 for (int x = 0; x < 6; ++x) {
                     std::uint8_t* p = &s.image_pixels[static_cast<std::size_t>((y * 6 + x) * 4)];
                     std::copy(bars[x], bars[x] + 4, p);
                     if (y == 3) p[3] = x == 2 ? 255 : 0;
                 }
             }
             s.images.push_back({9, 6, 4, s.image_pixels});
             s.commands.push_back(CanvasCommand::drawImage(
                 {1, 9, std::nullopt, {2, 2, 44, 28}, 1, {}, ImageFit::stretch, ImageSampling::nearest}));
             s.commands.push_back(CanvasCommand::drawImage(
                 {2, 9, std::nullopt, {50, 2, 44, 28}, 1, {}, ImageFit::stretch, ImageSampling::linear}));
             s.commands.push_back(CanvasCommand::drawImage({3,
                                                            9,
                                                            Rect{1, 0, 3, 3},
                                                            {2, 34, 44, 28},
                                                            0.7f,
                                                            {8, 8, 8, 8},
                                                            ImageFit::cover,
                                                            ImageSampling::linear}));
             s.commands.push_back(CanvasCommand::drawImage(
                 {4, 9, std::nullopt, {50, 34, 44, 28}, 1, {}, ImageFit::contain, ImageSampling::linear}));
             s.commands.push_back(CanvasCommand::drawImage(
                 {5, 77, std::nullopt, {0, 0, 96, 64}, 1, {}, ImageFit::stretch, ImageSampling::linear}));
         }},
        {"draw_text",
         [](Scene& s) {
             static const PositionedGlyph glyphs[] = {
                 {0, 0, 1, 0, 0, 0, 9.5f}, {0, 1, 1, 0, 9.5f, 0, 8.8f}, {0, 2, 1, 0, 18.3f, -3, 8.8f}};
             s.commands.push_back(
                 CanvasCommand::drawText({1, kFontRegular, "Kelvo Ag", {}, std::nullopt, 16, {4, 18}, kInk}));
             s.commands.push_back(
                 CanvasCommand::drawText({2, kFontMonospace, "mono", {}, std::nullopt, 11, {72, 12}, kWarm}));
             TextLayoutBox wrap{nullptr, 60, 12, TextWrap::word, TextAlign::center, false};
             s.commands.push_back(CanvasCommand::drawText(
                 {3, kFontRegular, "wrapped in a box\xE4\xB8\x80", {}, wrap, 10, {2, 34}, kInk}));
             TextLayoutBox cut{nullptr, 30, 0, TextWrap::none, TextAlign::start, false};
             s.commands.push_back(
                 CanvasCommand::drawText({4, kFontRegular, "ellipsis cut", {}, cut, 10, {64, 40}, {0, 0, 0, 1}}));
             s.commands.push_back(CanvasCommand::drawText(
                 {5, kFontRegular, "Abc", glyphs, std::nullopt, 14, {64, 58}, {0.6f, 0, 0.3f, 1}}));
         }},
        {"shadow",
         [](Scene& s) {
             s.commands.push_back(
                 CanvasCommand::shadowOf({1, {10, 10, 30, 24}, {0, 0, 0, 0.6f}, {3, 4}, 6, 2, {6, 6, 6, 6}}));
             s.commands.push_back(
                 CanvasCommand::fillRoundedRect({2, Paint::solid({1, 1, 1, 1}), {10, 10, 30, 24}, {6, 6, 6, 6}}));
             s.commands.push_back(CanvasCommand::shadowOf({3, {56, 12, 30, 40}, kInk, {0, 0}, 0, -3, {}}));
             s.commands.push_back(CanvasCommand::transformBy({1.25f, 0, 0, 1.25f, 0, 0}));
             s.commands.push_back(CanvasCommand::shadowOf({4, {10, 36, 20, 8}, kWarm, {0, 0}, 3, 0, {4, 4, 4, 4}}));
         }},
        {"blur",
         [](Scene& s) {
             s.commands.push_back(CanvasCommand::fillRect({1, s.gradient({0, 0}, {96, 64}), {0, 0, 96, 64}}));
             for (int i = 0; i < 6; ++i) {
                 float x = 6 + static_cast<float>(i) * 15;
                 s.commands.push_back(CanvasCommand::fillRect(
                     {static_cast<std::uint64_t>(2 + i), Paint::solid({0, 0, 0, 1}), {x, 8, 5, 48}}));
             }
             s.commands.push_back(CanvasCommand::fillRect({9, Paint::solid({0, 0, 0, 0}), {60, 40, 30, 20}}));
             s.commands.push_back(CanvasCommand::blurOf({10, {8, 12, 36, 40}, 3.5f}));
             s.commands.push_back(CanvasCommand::pushOpacity(0.5f));
             s.commands.push_back(CanvasCommand::blurOf({11, {52, 12, 40, 48}, 0.4f}));
             s.commands.push_back(CanvasCommand::popOpacity());
         }},
    };
    return all;
}

TEST(ReferenceRenderGoldens, EachTagDrawsItsScene) {
    for (const auto& [name, build] : scenes()) {
        SCOPED_TRACE(name);
        Scene scene;
        build(scene);
        TestSurface target(96, 64);
        target.surface.images = scene.images;
        ASSERT_TRUE(renderDisplayList(target.surface, scene.commands, 1.0f));
        expectGolden(std::string("render/") + name + ".png", target.png());
    }
}

// A whole frame: sized in points, drawn at a scale over a clear colour, written as PNG.
TEST(ReferenceRenderGoldens, FrameToPng) {
    const std::vector<CanvasCommand> commands = {
        CanvasCommand::fillRoundedRect({1, Paint::solid(kInk), {1, 1, 6, 4}, {2, 2, 2, 2}}),
        CanvasCommand::drawLine({2, {Paint::solid(kWarm), 1}, {0, 5.5f}, {10.5f, 0.5f}}),
    };
    ReferenceFrameRequest request{commands, 10.25f, 6, 2, {0.9f, 0.95f, 1, 1}, {}, {}};
    auto png = renderDisplayListPng(request);
    ASSERT_TRUE(png);
    expectGolden("render/frame_scale2.png", std::string(reinterpret_cast<const char*>(png->data.get()), png->size));
    for (auto [width, scale] : {std::pair{0.0f, 1.0f}, std::pair{8192.5f, 2.0f}, std::pair{10.0f, -1.0f}}) {
        request.width = width;
        request.scale = scale;
        EXPECT_EQ(renderDisplayListPng(request).error(), Error::InvalidPngDimensions);
    }
}

// The gallery at scale 1 and 2, pinned by a hash of its pixels. To look at it, run this test with
// KELVO_GALLERY_PNG set to the path of a PNG to write (scale 1).
TEST(ReferenceRenderGoldens, GalleryFrame) {
    RenderGallery gallery;
    buildRenderGallery(gallery);
    std::string hashes;
    for (float scale : {1.0f, 2.0f}) {
        TestSurface target(static_cast<std::uint64_t>(kGalleryWidth * scale),
                           static_cast<std::uint64_t>(kGalleryHeight * scale));
        target.surface.images = {&gallery.image, 1};
        ASSERT_TRUE(renderDisplayList(target.surface, gallery.commands, scale));
        char line[64];
        std::snprintf(line, sizeof line, "scale %g %016llx\n", static_cast<double>(scale),
                      static_cast<unsigned long long>(wyhash(target.pixels)));
        hashes += line;
        if (scale == 1.0f && std::getenv("KELVO_GALLERY_PNG") != nullptr) {
            std::FILE* out = std::fopen(std::getenv("KELVO_GALLERY_PNG"), "wb");
            ASSERT_NE(out, nullptr);
            std::string png = target.png();
            std::fwrite(png.data(), 1, png.size(), out);
            std::fclose(out);
        }
    }
    expectGolden("render/gallery.txt", hashes);
}

}  // namespace
}  // namespace kelvo::testing
