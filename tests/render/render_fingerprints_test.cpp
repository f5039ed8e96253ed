#include "render/render_fingerprints.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string_view>
#include <vector>

#include "render/render_command.hpp"

namespace kelvo {
namespace {

// The byte stream a fingerprint is defined over, written out independently of the hasher.
struct Bytes {
    std::vector<std::uint8_t> data;

    Bytes& word(std::string_view text) {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& u8(std::uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& u64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& f32(float v) {
        const auto bits = std::bit_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        return *this;
    }
    template <class... F>
    Bytes& floats(F... values) {
        (f32(values), ...);
        return *this;
    }

    // FNV-1a 64 over the bytes from the standard offset basis, written out once more.
    [[nodiscard]] std::uint64_t fnv() const {
        std::uint64_t h = 14695981039346656037ull;
        for (std::uint8_t b : data) {
            h ^= b;
            h *= 1099511628211ull;
        }
        return h;
    }
};

RenderCommand renderOf(const CanvasCommand& command, std::optional<std::uint64_t> id, Rect geometry, Rect bounds) {
    RenderCommand render;
    render.command = command;
    render.id = id;
    render.geometry = geometry;
    render.bounds = bounds;
    return render;
}

TEST(RenderFingerprints, ResourceFingerprintsHashTheirDefinedByteStreams) {
    const LinearGradient empty{{}, {1, 2}, {3, 4}};
    EXPECT_EQ(linearGradientFingerprint(empty),
              Bytes().word("linear_gradient").floats(1.f, 2.f, 3.f, 4.f).u64(0).fnv());

    const GradientStop stops[] = {{0.5f, {1, 0, 0, 1}}};
    EXPECT_EQ(linearGradientFingerprint({stops, {0, 0}, {1, 0}}),
              Bytes().word("linear_gradient").floats(0.f, 0.f, 1.f, 0.f).u64(1).floats(0.5f, 1.f, 0.f, 0.f, 1.f).fnv());

    const ShadowCommand shadow{9, {1, 2, 3, 4}, {.1f, .2f, .3f, .4f}, {5, 6}, 7, -8, {9, 10, 11, 12}};
    EXPECT_EQ(shadowFingerprint(shadow),
              Bytes()
                  .word("shadow")
                  .floats(1.f, 2.f, 3.f, 4.f, .1f, .2f, .3f, .4f, 5.f, 6.f, 7.f, -8.f, 9.f, 10.f, 11.f, 12.f)
                  .fnv());

    EXPECT_EQ(blurFingerprint({3, {1, 2, 3, 4}, 5}), Bytes().word("blur").floats(1.f, 2.f, 3.f, 4.f, 5.f).fnv());

    // An absent source rectangle is one 0 byte; a present one a 1 byte and 16 bytes.
    DrawImageCommand image;
    image.image = 42;
    EXPECT_EQ(imageResourceFingerprint(image), Bytes().word("image").u64(42).u8(0).fnv());
    image.src = Rect{1, 2, 3, 4};
    EXPECT_EQ(imageResourceFingerprint(image), Bytes().word("image").u64(42).u8(1).floats(1.f, 2.f, 3.f, 4.f).fnv());

    const std::uint8_t pixels[] = {1, 2, 3, 4};
    Bytes known;
    known.u64(42).u64(1).u64(1).u8(1).u8(2).u8(3).u8(4);
    Fnv1a64 from_state{0x63110ce26216af5eull};
    for (std::uint8_t b : known.data) from_state.byte(b);
    EXPECT_EQ(renderImageFingerprintForResource(42, ImagePixels{1, 1, pixels}), from_state.state);
}

TEST(RenderFingerprints, GlyphRunsIgnoreColourAndClampTheirLayoutBox) {
    DrawTextCommand text;
    text.id = 3;
    text.font = 2;
    text.text = "hi";
    text.size = 14;
    text.origin = {5, 20};
    text.color = {1, 0, 0, 1};
    const std::uint64_t plain = drawTextFingerprint(text);
    EXPECT_EQ(plain, Bytes().word("glyph_run").u64(2).floats(14.f, 5.f, 20.f).word("hi").u64(0).u8(0).fnv());

    DrawTextCommand blue = text;
    blue.color = {0, 0, 1, 1};
    EXPECT_EQ(drawTextFingerprint(blue), plain);
    EXPECT_NE(renderCommandFingerprint(renderOf(CanvasCommand::drawText(text), 3, {}, {})),
              renderCommandFingerprint(renderOf(CanvasCommand::drawText(blue), 3, {}, {})));

    text.layout = TextLayoutBox{nullptr, -5, -0.0f, TextWrap::word, TextAlign::end, false};
    const Bytes head = Bytes().word("glyph_run").u64(2).floats(14.f, 5.f, 20.f).word("hi").u64(0).u8(1);
    EXPECT_EQ(drawTextFingerprint(text), Bytes(head).floats(0.f, 0.f).u64(1).u64(2).fnv());
    DrawTextCommand zero = text;
    zero.layout->max_width = 0;
    EXPECT_EQ(drawTextFingerprint(zero), drawTextFingerprint(text));
    text.layout->no_ellipsis = true;
    EXPECT_EQ(drawTextFingerprint(text), Bytes(head).floats(0.f, 0.f).u64(1).u64(2).word("text_overflow").u64(1).fnv());
}

TEST(RenderFingerprints, CommandFingerprintsCoverIdGeometryTagAndPayload) {
    // A push_clip with payload id 0 and no command id: one 0 byte for each of the two options.
    const CanvasCommand clip = CanvasCommand::pushClip({0, {1, 2, 3, 4}, {1, 1, 1, 1}});
    EXPECT_EQ(renderCommandFingerprint(renderOf(clip, std::nullopt, {1, 2, 3, 4}, {5, 6, 7, 8})),
              Bytes()
                  .word("render_command")
                  .u8(0)
                  .floats(1.f, 2.f, 3.f, 4.f, 5.f, 6.f, 7.f, 8.f)
                  .word("push_clip")
                  .u8(0)
                  .floats(1.f, 2.f, 3.f, 4.f, 1.f, 1.f, 1.f, 1.f)
                  .fnv());

    const GradientStop stops[] = {{0, {0, 0, 0, 1}}};
    const LinearGradient gradient{stops, {0, 0}, {1, 1}};
    const CanvasCommand stroke = CanvasCommand::drawLine({7, {Paint::linear(gradient), 2}, {1, 2}, {3, 4}});
    EXPECT_EQ(renderCommandFingerprint(renderOf(stroke, 7, {}, {})), Bytes()
                                                                         .word("render_command")
                                                                         .u8(1)
                                                                         .u64(7)
                                                                         .floats(0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f)
                                                                         .word("draw_line")
                                                                         .u8(1)
                                                                         .u64(7)
                                                                         .floats(1.f, 2.f, 3.f, 4.f)
                                                                         .word("stroke")
                                                                         .f32(2)
                                                                         .word("linear_gradient")
                                                                         .u64(linearGradientFingerprint(gradient))
                                                                         .fnv());

    DrawImageCommand image;
    image.id = 5;
    image.image = 9;
    image.dst = {0, 0, 8, 8};
    image.opacity = 0.5f;
    image.fit = ImageFit::cover;
    image.sampling = ImageSampling::nearest;
    const std::uint64_t image_key = Bytes().word("image").u64(9).u8(0).u64(2).u64(0).fnv();
    EXPECT_EQ(renderCommandFingerprint(renderOf(CanvasCommand::drawImage(image), std::nullopt, {}, {})),
              Bytes()
                  .word("render_command")
                  .u8(0)
                  .floats(0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f)
                  .word("draw_image")
                  .u8(1)
                  .u64(5)
                  .u64(image_key)
                  .floats(0.f, 0.f, 8.f, 8.f, 0.5f, 0.f, 0.f, 0.f, 0.f)
                  .fnv());

    // Path elements hash all three point slots, used or not, with the verb as an 8-byte enum.
    PathElement moved[] = {PathElement::moveTo({1, 1})};
    const auto pathPrint = [&] {
        return renderCommandFingerprint(
            renderOf(CanvasCommand::fillPath({1, moved, Paint::solid({0, 0, 0, 1})}), 1, {}, {}));
    };
    const std::uint64_t before = pathPrint();
    Fnv1a64 path;
    resourceHashPath(path, moved);
    EXPECT_EQ(path.state, Bytes().word("path").u64(1).u64(0).floats(1.f, 1.f, 0.f, 0.f, 0.f, 0.f).fnv());
    moved[0].points[2] = {9, 9};
    EXPECT_NE(pathPrint(), before);

    const std::uint64_t layer = 0x84e39fec29768c56ull;
    const RenderCommand fill =
        renderOf(CanvasCommand::fillRect({1, Paint::solid({1, 1, 1, 1}), {0, 0, 1, 1}}), 1, {}, {});
    EXPECT_EQ(renderLayerFingerprintAppend(layer, fill), [&] {
        Fnv1a64 h{layer};
        h.u64(renderCommandFingerprint(fill));
        return h.state;
    }());
}

}  // namespace
}  // namespace kelvo
