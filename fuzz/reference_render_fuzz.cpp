// Display lists of arbitrary commands (NaN, infinities and huge values included) drawn by the
// reference renderer onto a small surface, with and without a memo and a scratch buffer: no crash,
// no access outside the buffers, and a defined result for every command.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_input.hpp"
#include "render/reference_frame.hpp"

namespace {

struct Input : kelvo::fuzz::FuzzInput {
    // Mostly coordinates on the surface, sometimes raw bit patterns.
    float number() { return coordinate(512.0f, 220); }
    kelvo::Rect rect() { return {number(), number(), number(), number()}; }
    kelvo::Point point() { return {number(), number()}; }
    kelvo::Color colour() { return {number() / 64, number() / 64, number() / 64, number() / 64}; }
    kelvo::CornerRadii radii() { return {number(), number(), number(), number()}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvo;
    constexpr std::uint64_t kWidth = 40;
    constexpr std::uint64_t kHeight = 24;
    static std::vector<std::uint8_t> pixels(kWidth * kHeight * 4);
    static std::vector<std::uint8_t> scratch(kWidth * kHeight * 4);
    static auto memo = std::make_unique<ReferenceRenderMemo>();
    static const std::uint8_t image_pixels[3 * 2 * 4] = {255, 0, 0, 255, 0,   255, 0,  128, 0, 0, 255, 0,
                                                         9,   9, 9, 9,   200, 100, 50, 255, 1, 2, 3,   4};
    static const ReferenceImage images[] = {{1, 3, 2, image_pixels}, {2, 1u << 20, 1u << 20, image_pixels}};

    Input in{{data, size}};
    std::uint8_t mode = in.take<std::uint8_t>();
    ReferenceRenderSurface surface;
    surface.width = kWidth;
    surface.height = kHeight;
    surface.pixels = pixels;
    surface.scratch = (mode & 1) ? std::span<std::uint8_t>() : std::span<std::uint8_t>(scratch);
    surface.images = images;
    surface.memo = (mode & 2) ? memo.get() : nullptr;
    clearReferenceSurface(surface, {1, 1, 1, (mode & 4) ? 0.0f : 1.0f});

    std::vector<CanvasCommand> commands;
    std::vector<std::vector<PathElement>> paths;
    std::vector<std::vector<GradientStop>> stops;
    std::vector<std::vector<std::uint8_t>> texts;
    std::vector<std::vector<PositionedGlyph>> glyphs;
    paths.reserve(16);
    stops.reserve(16);
    texts.reserve(16);
    glyphs.reserve(16);
    auto paint = [&]() {
        if (!(in.take<std::uint8_t>() & 1)) return Paint::solid(in.colour());
        auto& list = stops.emplace_back(in.take<std::uint8_t>() % 4);
        for (GradientStop& stop : list) stop = {in.number() / 16, in.colour()};
        return Paint::linear({list, in.point(), in.point()});
    };
    while (in.size > 0 && commands.size() < 16) {
        std::uint8_t tag = in.take<std::uint8_t>() % 15;
        std::uint64_t id = in.take<std::uint8_t>();
        switch (tag) {
            case 0:
                commands.push_back(CanvasCommand::pushClip({id, in.rect(), in.radii()}));
                break;
            case 1:
                commands.push_back(CanvasCommand::popClip());
                break;
            case 2:
                commands.push_back(CanvasCommand::pushOpacity(in.number() / 8));
                break;
            case 3:
                commands.push_back(CanvasCommand::popOpacity());
                break;
            case 4:
                commands.push_back(CanvasCommand::transformBy(
                    {in.number() / 8, in.number() / 8, in.number() / 8, in.number() / 8, in.number(), in.number()}));
                break;
            case 5:
                commands.push_back(CanvasCommand::fillRect({id, paint(), in.rect()}));
                break;
            case 6:
                commands.push_back(CanvasCommand::strokeRect({id, {paint(), in.number() / 8}, in.rect(), in.radii()}));
                break;
            case 7:
                commands.push_back(CanvasCommand::fillRoundedRect({id, paint(), in.rect(), in.radii()}));
                break;
            case 8:
                commands.push_back(CanvasCommand::drawLine({id, {paint(), in.number() / 8}, in.point(), in.point()}));
                break;
            case 9:
            case 10: {
                auto& path = paths.emplace_back(in.take<std::uint8_t>() % 12);
                for (PathElement& element : path) {
                    element.verb = static_cast<PathVerb>(in.take<std::uint8_t>() % 8);
                    for (Point& p : element.points) p = in.point();
                }
                if (tag == 9) {
                    commands.push_back(CanvasCommand::fillPath({id, path, paint()}));
                } else {
                    commands.push_back(
                        CanvasCommand::strokePath({id,
                                                   path,
                                                   {paint(), in.number() / 8},
                                                   (in.take<std::uint8_t>() & 1) ? LineCap::round : LineCap::butt}));
                }
                break;
            }
            case 11: {
                std::optional<Rect> src;
                if (in.take<std::uint8_t>() & 1) src = in.rect();
                commands.push_back(CanvasCommand::drawImage(
                    {id, static_cast<std::uint64_t>(in.take<std::uint8_t>() % 3), src, in.rect(), in.number() / 16,
                     in.radii(), static_cast<ImageFit>(in.take<std::uint8_t>()),
                     static_cast<ImageSampling>(in.take<std::uint8_t>())}));
                break;
            }
            case 12: {
                auto& text = texts.emplace_back(in.take<std::uint8_t>() % 12);
                for (std::uint8_t& byte : text) byte = in.take<std::uint8_t>();
                auto& placed = glyphs.emplace_back((in.take<std::uint8_t>() & 3) == 0 ? 3 : 0);
                for (PositionedGlyph& glyph : placed) {
                    glyph = {0,
                             in.take<std::uint8_t>(),
                             static_cast<std::uint64_t>(in.take<std::uint8_t>() % 4),
                             0,
                             in.number(),
                             in.number() / 4,
                             in.number() / 4};
                }
                std::optional<TextLayoutBox> box;
                if (in.take<std::uint8_t>() & 1) {
                    box = TextLayoutBox{nullptr,
                                        in.number(),
                                        in.number() / 4,
                                        static_cast<TextWrap>(in.take<std::uint8_t>()),
                                        static_cast<TextAlign>(in.take<std::uint8_t>()),
                                        false};
                }
                commands.push_back(
                    CanvasCommand::drawText({id, static_cast<std::uint64_t>(in.take<std::uint8_t>() % 4),
                                             std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                                             placed, box, in.number() / 4, in.point(), in.colour()}));
                break;
            }
            case 13:
                commands.push_back(CanvasCommand::shadowOf(
                    {id, in.rect(), in.colour(), in.point(), in.number() / 8, in.number() / 8, in.radii()}));
                break;
            default:
                commands.push_back(CanvasCommand::blurOf({id, in.rect(), in.number() / 16}));
                break;
        }
    }
    (void)renderDisplayList(surface, commands, (mode & 8) ? 1.5f : 1.0f);
    return 0;
}
