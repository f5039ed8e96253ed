#pragma once

// Display lists of arbitrary commands read from a fuzzer's input: coordinates mostly on a small
// surface, sometimes raw bit patterns (NaN, infinities, huge values), every tag, gradients, paths
// with undefined verbs, texts with positioned glyphs and layout boxes. The list owns what its
// commands point at.

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_input.hpp"
#include "widgets/commands.hpp"

namespace kelvo::fuzz {

struct DisplayListInput : FuzzInput {
    DisplayListInput(const std::uint8_t* bytes, std::size_t count) : FuzzInput{bytes, count} {}

    std::vector<CanvasCommand> commands;
    std::deque<std::vector<PathElement>> paths;
    std::deque<std::vector<GradientStop>> stops;
    std::deque<std::vector<std::uint8_t>> texts;
    std::deque<std::vector<PositionedGlyph>> glyphs;

    float number() { return coordinate(512.0f, 220); }
    Rect rect() { return {number(), number(), number(), number()}; }
    Point point() { return {number(), number()}; }
    Color colour() { return {number() / 64, number() / 64, number() / 64, number() / 64}; }
    CornerRadii radii() { return {number(), number(), number(), number()}; }

    Paint paint() {
        if (!(take<std::uint8_t>() & 1)) return Paint::solid(colour());
        auto& list = stops.emplace_back(take<std::uint8_t>() % 4);
        for (GradientStop& stop : list) stop = {number() / 16, colour()};
        return Paint::linear({list, point(), point()});
    }

    // Reads commands until the input ends or `limit` are read; ids are `id_scale` x a byte.
    void readCommands(std::size_t limit, std::uint64_t id_scale = 1) {
        while (size > 0 && commands.size() < limit) {
            const std::uint8_t tag = take<std::uint8_t>() % 15;
            const std::uint64_t id = take<std::uint8_t>() * id_scale;
            commands.push_back(command(tag, id));
        }
    }

    CanvasCommand command(std::uint8_t tag, std::uint64_t id) {
        switch (tag) {
            case 0:
                return CanvasCommand::pushClip({id, rect(), radii()});
            case 1:
                return CanvasCommand::popClip();
            case 2:
                return CanvasCommand::pushOpacity(number() / 8);
            case 3:
                return CanvasCommand::popOpacity();
            case 4:
                return CanvasCommand::transformBy(
                    {number() / 8, number() / 8, number() / 8, number() / 8, number(), number()});
            case 5:
                return CanvasCommand::fillRect({id, paint(), rect()});
            case 6:
                return CanvasCommand::strokeRect({id, {paint(), number() / 8}, rect(), radii()});
            case 7:
                return CanvasCommand::fillRoundedRect({id, paint(), rect(), radii()});
            case 8:
                return CanvasCommand::drawLine({id, {paint(), number() / 8}, point(), point()});
            case 9:
            case 10: {
                auto& path = paths.emplace_back(take<std::uint8_t>() % 12);
                for (PathElement& element : path) {
                    element.verb = static_cast<PathVerb>(take<std::uint8_t>() % 8);
                    for (Point& p : element.points) p = point();
                }
                if (tag == 9) return CanvasCommand::fillPath({id, path, paint()});
                return CanvasCommand::strokePath(
                    {id, path, {paint(), number() / 8}, (take<std::uint8_t>() & 1) ? LineCap::round : LineCap::butt});
            }
            case 11: {
                std::optional<Rect> src;
                if (take<std::uint8_t>() & 1) src = rect();
                return CanvasCommand::drawImage({id, static_cast<std::uint64_t>(take<std::uint8_t>() % 3), src, rect(),
                                                 number() / 16, radii(), static_cast<ImageFit>(take<std::uint8_t>()),
                                                 static_cast<ImageSampling>(take<std::uint8_t>())});
            }
            case 12: {
                auto& text = texts.emplace_back(take<std::uint8_t>() % 12);
                for (std::uint8_t& byte : text) byte = take<std::uint8_t>();
                auto& placed = glyphs.emplace_back((take<std::uint8_t>() & 3) == 0 ? 3 : 0);
                for (PositionedGlyph& glyph : placed) {
                    glyph = {0,
                             take<std::uint8_t>(),
                             static_cast<std::uint64_t>(take<std::uint8_t>() % 4),
                             0,
                             number(),
                             number() / 4,
                             number() / 4};
                }
                std::optional<TextLayoutBox> box;
                if (take<std::uint8_t>() & 1) {
                    box = TextLayoutBox{nullptr,
                                        number(),
                                        number() / 4,
                                        static_cast<TextWrap>(take<std::uint8_t>()),
                                        static_cast<TextAlign>(take<std::uint8_t>()),
                                        false};
                }
                return CanvasCommand::drawText(
                    {id, static_cast<std::uint64_t>(take<std::uint8_t>() % 4),
                     std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), placed, box,
                     number() / 4, point(), colour()});
            }
            case 13:
                return CanvasCommand::shadowOf({id, rect(), colour(), point(), number() / 8, number() / 8, radii()});
            default:
                return CanvasCommand::blurOf({id, rect(), number() / 16});
        }
    }
};

}  // namespace kelvo::fuzz
