#include "widgets/display_list.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "widgets/equality.hpp"
#include "widgets/expect_rect.hpp"

namespace kelvo {
namespace {

using testing::expectRect;

Stroke solidStroke(float width) { return {Paint::solid({0, 0, 0, 1}), width}; }

TEST(DisplayListBounds, EachTagCoversWhatItCanTouch) {
    const PathElement elements[] = {PathElement::moveTo({5, 5}), PathElement::quadTo({-3, 9}, {10, 2}),
                                    PathElement::close()};
    ShadowCommand shadow{1, {10, 10, 20, 20}, {0, 0, 0, 1}, {3, -2}, 2, -4, {}};
    const struct {
        CanvasCommand command;
        std::optional<Rect> bounds;
    } cases[] = {
        {CanvasCommand::pushClip({1, {10, 10, -4, 5}, {}}), Rect{6, 10, 4, 5}},
        {CanvasCommand::popClip(), std::nullopt},
        {CanvasCommand::pushOpacity(0.5f), std::nullopt},
        {CanvasCommand::transformBy({2, 0, 0, 2, 5, 5}), std::nullopt},
        {CanvasCommand::fillRoundedRect({1, Paint::solid({}), {0, 0, 10, -10}, {4, 4, 4, 4}}), Rect{0, -10, 10, 10}},
        {CanvasCommand::strokeRect({1, solidStroke(4), {0, 0, 10, 10}, {}}), Rect{-2, -2, 14, 14}},
        {CanvasCommand::strokeRect({1, solidStroke(-3), {0, 0, 10, 10}, {}}), Rect{0, 0, 10, 10}},
        {CanvasCommand::drawLine({1, solidStroke(2), {10, 0}, {0, 5}}), Rect{-1, -1, 12, 7}},
        {CanvasCommand::fillPath({1, elements, Paint::solid({})}), Rect{-3, 2, 13, 7}},
        {CanvasCommand::strokePath({1, elements, solidStroke(2), LineCap::round}), Rect{-4, 1, 15, 9}},
        {CanvasCommand::fillPath({1, std::span(elements).subspan(2), Paint::solid({})}), std::nullopt},
        {CanvasCommand::fillPath({1, std::span(elements).first(1), Paint::solid({})}), Rect{5, 5, 0, 0}},
        {CanvasCommand::drawImage({1, 7, Rect{0, 0, 1, 1}, {4, 4, -2, 2}, 1, {}, {}, {}}), Rect{2, 4, 2, 2}},
        {CanvasCommand::shadowOf(shadow), Rect{7, 2, 32, 32}},
        {CanvasCommand::blurOf({1, {0, 0, 10, 10}, 3}), Rect{-3, -3, 16, 16}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command.tag));
        std::optional<Rect> bounds = canvasCommandBounds(c.command);
        if (c.bounds) {
            expectRect(bounds, *c.bounds);
        } else {
            EXPECT_FALSE(bounds.has_value());
        }
    }
    // Text is bounded as the text layout lays it out: "AB" is 0.67 + 0.68 em in the regular face,
    // widened by the ink overhang (0.1 em left, 0.45 em in all to the right, 0.1 em below).
    expectRect(canvasCommandBounds(CanvasCommand::drawText({1, 1, "AB", {}, std::nullopt, 10, {0, 10}, {}})),
               {-1, 0, 18, 13.5f});
    TextLayoutBox box{nullptr, 0, 0, TextWrap::none, TextAlign::start, false};
    expectRect(canvasCommandBounds(CanvasCommand::drawText({1, 1, "AB\nAB", {}, box, 10, {0, 10}, {}})),
               {-1, 0, 18, 26});
    EXPECT_FALSE(canvasCommandBounds(CanvasCommand::drawText({1, 1, "", {}, box, 10, {0, 10}, {}})));
    // Verbs 5 to 7 carry no points, whatever their slots hold.
    PathElement stray = PathElement::lineTo({100, 100});
    stray.verb = static_cast<PathVerb>(7);
    EXPECT_FALSE(canvasCommandBounds(CanvasCommand::fillPath({1, {&stray, 1}, Paint::solid({})})));
}

TEST(DisplayListBounds, UnionGivesWayToEmptySides) {
    const Rect empty{5, 5, 0, 3};
    EXPECT_FALSE(unionOptionalBounds(std::nullopt, std::nullopt));
    expectRect(unionOptionalBounds(std::nullopt, Rect{10, 0, -4, 2}), {6, 0, 4, 2});
    expectRect(unionOptionalBounds(empty, std::nullopt), empty);
    expectRect(unionOptionalBounds(empty, Rect{1, 1, 0, -2}), {0, 0, 0, 0});
    expectRect(unionOptionalBounds(empty, Rect{0, 0, 2, 2}), {0, 0, 2, 2});
    expectRect(unionOptionalBounds(Rect{0, 0, 2, 2}, empty), {0, 0, 2, 2});
    expectRect(unionOptionalBounds(Rect{0, 0, 2, 2}, Rect{10, 10, -2, -2}), {0, 0, 10, 10});
}

TEST(DisplayListBounds, ListBoundsStopAtTheFirstText) {
    std::vector<CanvasCommand> list = {
        CanvasCommand::popClip(),
        CanvasCommand::fillRect({1, Paint::solid({}), {0, 0, 0, 0}}),
        CanvasCommand::fillRect({2, Paint::solid({}), {10, 10, 5, 5}}),
        CanvasCommand::blurOf({3, {0, 0, 2, 2}, 1}),
    };
    EXPECT_FALSE(displayListBoundsWithoutText({}));
    expectRect(displayListBoundsWithoutText(list), {-1, -1, 16, 16});
    list.push_back(CanvasCommand::drawText({4, 1, "", {}, std::nullopt, 12, {0, 0}, {}}));
    EXPECT_FALSE(displayListBoundsWithoutText(list));
}

TEST(DisplayListEquality, ComparesWhatEachTagCarries) {
    const PathElement path[] = {PathElement::moveTo({1, 1}), PathElement::lineTo({2, 2})};
    PathElement unusedSlot[] = {PathElement::moveTo({1, 1}), PathElement::lineTo({2, 2})};
    unusedSlot[1].points[2] = {0, 1};
    const GradientStop stops[] = {{0, {1, 0, 0, 1}}, {1, {0, 0, 1, 1}}};
    GradientStop otherStops[] = {{0, {1, 0, 0, 1}}, {1, {0, 0, 1, 0.5f}}};
    Paint gradient = Paint::linear({stops, {0, 0}, {1, 0}});
    Paint otherGradient = Paint::linear({otherStops, {0, 0}, {1, 0}});

    auto fillPath = [](std::span<const PathElement> e, Paint p) { return CanvasCommand::fillPath({1, e, p}); };
    EXPECT_FALSE(commandsEqual(fillPath(path, gradient), fillPath(unusedSlot, gradient)));
    EXPECT_TRUE(commandsEqual(fillPath(path, gradient), fillPath(path, gradient)));
    EXPECT_FALSE(commandsEqual(fillPath(path, gradient), fillPath(path, otherGradient)));
    EXPECT_FALSE(commandsEqual(fillPath(path, gradient), fillPath(path, Paint::solid({1, 0, 0, 1}))));
    EXPECT_FALSE(commandsEqual(CanvasCommand::popClip(), CanvasCommand::popOpacity()));
    EXPECT_TRUE(commandsEqual(CanvasCommand::pushOpacity(0.0f), CanvasCommand::pushOpacity(-0.0f)));
    EXPECT_FALSE(commandsEqual(CanvasCommand::pushOpacity(NAN), CanvasCommand::pushOpacity(NAN)));

    // Strokes differ in width or paint only.
    EXPECT_TRUE(strokesEqual(solidStroke(1), solidStroke(1)));
    EXPECT_FALSE(strokesEqual(solidStroke(1), solidStroke(2)));

    // Text: layouts equal when they differ in the measurer or in a negative against a 0 width.
    static const int measurerA = 0, measurerB = 0;
    TextLayoutBox box{
        reinterpret_cast<const TextMeasurer*>(&measurerA), -5, 0, TextWrap::word, TextAlign::start, false};
    TextLayoutBox other = box;
    other.measurer = reinterpret_cast<const TextMeasurer*>(&measurerB);
    other.max_width = 0;
    const std::string a = "label", b = "label";
    DrawTextCommand text{9, 1, a, {}, box, 14, {0, 10}, {0, 0, 0, 1}};
    DrawTextCommand same = text;
    same.text = b;
    same.layout = other;
    EXPECT_TRUE(commandsEqual(CanvasCommand::drawText(text), CanvasCommand::drawText(same)));
    same.layout->no_ellipsis = true;
    EXPECT_FALSE(commandsEqual(CanvasCommand::drawText(text), CanvasCommand::drawText(same)));
    same.layout.reset();
    EXPECT_FALSE(commandsEqual(CanvasCommand::drawText(text), CanvasCommand::drawText(same)));
    same = text;
    same.text = "labeL";
    EXPECT_FALSE(commandsEqual(CanvasCommand::drawText(text), CanvasCommand::drawText(same)));

    DrawImageCommand image{3, 4, std::nullopt, {0, 0, 4, 4}, 1, {}, ImageFit::cover, ImageSampling::linear};
    DrawImageCommand maskedFit = image;
    maskedFit.fit = static_cast<ImageFit>(6);  // only the low 2 bits count
    EXPECT_TRUE(commandsEqual(CanvasCommand::drawImage(image), CanvasCommand::drawImage(maskedFit)));
    maskedFit.src = Rect{0, 0, 4, 4};
    EXPECT_FALSE(commandsEqual(CanvasCommand::drawImage(image), CanvasCommand::drawImage(maskedFit)));
}

// A list whose commands each carry slices of every pool.
struct SampleList {
    std::vector<GradientStop> stops;
    std::vector<PathElement> elements;
    std::vector<PositionedGlyph> glyphs;
    std::string text;
    std::vector<CanvasCommand> commands;

    SampleList(std::size_t stopCount, std::size_t elementCount, std::size_t textBytes, std::size_t glyphCount)
        : stops(stopCount), elements(elementCount), glyphs(glyphCount), text(textBytes, 'x') {
        for (std::size_t i = 0; i < elements.size(); ++i) {
            elements[i] = PathElement::lineTo({float(i), 1});
        }
        commands.push_back(CanvasCommand::pushClip({1, {0, 0, 100, 100}, {}}));
        commands.push_back(CanvasCommand::fillPath({2, elements, Paint::linear({stops, {0, 0}, {1, 1}})}));
        commands.push_back(CanvasCommand::drawText({3, 1, text, glyphs, std::nullopt, 12, {1, 2}, {0, 0, 0, 1}}));
        commands.push_back(CanvasCommand::popClip());
    }
};

void expectSameList(std::span<const CanvasCommand> a, std::span<const CanvasCommand> b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(commandsEqual(a[i], b[i])) << i;
}

class DisplayListCopy : public ::testing::Test {
protected:
    std::unique_ptr<CanvasDisplayList> list = std::make_unique<CanvasDisplayList>();
};

TEST_F(DisplayListCopy, OwnsEverythingItCopied) {
    SampleList sample(3, 5, 7, 2);
    ASSERT_TRUE(copyCanvasDisplayList(*list, sample.commands));
    EXPECT_EQ(list->revision, 1u);
    EXPECT_EQ(list->pools.stop_count, 3u);
    EXPECT_EQ(list->pools.element_count, 5u);
    EXPECT_EQ(list->pools.text_length, 7u);
    EXPECT_EQ(list->pools.glyph_count, 2u);
    expectSameList(list->commands(), sample.commands);
    sample.text.assign(7, 'y');
    sample.elements[0].points[0].x = 99;
    EXPECT_EQ(list->items[2].draw_text.text, "xxxxxxx");
    EXPECT_EQ(list->items[1].fill_path.elements[0].points[0].x, 0);
}

TEST_F(DisplayListCopy, FailuresNameTheFirstPoolOverflowInCommandOrderAndChangeNothing) {
    SampleList before(1, 1, 1, 1);
    ASSERT_TRUE(copyCanvasDisplayList(*list, before.commands));
    const struct {
        std::size_t stops, elements, text, glyphs;
        Error error;
    } cases[] = {
        {65, 1, 1, 1, Error::CanvasGradientStopLimitReached},
        {65, 2049, 1, 1, Error::CanvasPathElementLimitReached},            // a path's elements are counted first
        {1, 1, kCanvasTextCapacity + 1, 8193, Error::CanvasTextTooLarge},  // and a text's bytes before its glyphs
        {1, 1, kCanvasTextCapacity, 8193, Error::CanvasGlyphLimitReached},
    };
    for (const auto& c : cases) {
        SampleList sample(c.stops, c.elements, c.text, c.glyphs);
        EXPECT_EQ(copyCanvasDisplayList(*list, sample.commands).error(), c.error);
    }
    std::vector<CanvasCommand> tooMany(kMaxCanvasCommands + 1, CanvasCommand::popClip());
    EXPECT_EQ(copyCanvasDisplayList(*list, tooMany).error(), Error::CanvasCommandLimitReached);
    // The same counts spread over two commands overflow just the same.
    SampleList half(33, 1, 1, 1);
    std::vector<CanvasCommand> twice = half.commands;
    twice.insert(twice.end(), half.commands.begin(), half.commands.end());
    EXPECT_EQ(copyCanvasDisplayList(*list, twice).error(), Error::CanvasGradientStopLimitReached);

    EXPECT_EQ(list->revision, 1u);
    EXPECT_EQ(list->count, 4u);
    EXPECT_EQ(list->pools.stop_count, 1u);
    EXPECT_EQ(list->pools.text_length, 1u);
    expectSameList(list->commands(), before.commands);

    SampleList full(64, 2048, kCanvasTextCapacity, 8192);
    EXPECT_TRUE(copyCanvasDisplayList(*list, full.commands));
}

TEST_F(DisplayListCopy, CopiesOutOfItsOwnStorageSafely) {
    SampleList sample(2, 3, 5, 1);
    sample.commands.push_back(CanvasCommand::drawText({4, 1, "second", {}, std::nullopt, 12, {}, {}}));
    ASSERT_TRUE(copyCanvasDisplayList(*list, sample.commands));

    // Its own list: only the revision moves.
    ASSERT_TRUE(copyCanvasDisplayList(*list, list->commands()));
    EXPECT_EQ(list->revision, 2u);
    EXPECT_EQ(list->count, 5u);

    // A prefix of its own list shortens it.
    ASSERT_TRUE(copyCanvasDisplayList(*list, list->commands().first(3)));
    EXPECT_EQ(list->count, 3u);
    expectSameList(list->commands(), std::span(sample.commands).first(3));

    // Its own commands in another order: every text still reads what it read before.
    ASSERT_TRUE(copyCanvasDisplayList(*list, sample.commands));
    std::vector<CanvasCommand> reversed(list->commands().rbegin(), list->commands().rend());
    ASSERT_TRUE(copyCanvasDisplayList(*list, reversed));
    std::vector<CanvasCommand> expected(sample.commands.rbegin(), sample.commands.rend());
    expectSameList(list->commands(), expected);
    EXPECT_EQ(list->items[0].draw_text.text, "second");
    EXPECT_EQ(list->items[2].draw_text.text, "xxxxx");

    // A slice that overlaps its command array from a later start.
    ASSERT_TRUE(copyCanvasDisplayList(*list, list->commands().subspan(1)));
    expectSameList(list->commands(), std::span(expected).subspan(1));
}

// A text run drawn again right after itself, under a clip of its own each time, as a text entry
// draws its selected glyphs once per selection rectangle.
std::vector<CanvasCommand> repeatedRuns(std::string_view text, int runs) {
    std::vector<CanvasCommand> commands;
    for (int i = 0; i < runs; ++i) {
        commands.push_back(CanvasCommand::pushClip({std::uint64_t(100 + i), {0, float(i) * 10, 100, 10}, {}}));
        commands.push_back(
            CanvasCommand::drawText({std::uint64_t(200 + i), 1, text, {}, std::nullopt, 12, {0, 10}, {0, 0, 0, 1}}));
        commands.push_back(CanvasCommand::popClip());
    }
    return commands;
}

TEST_F(DisplayListCopy, ATextRepeatingTheOneBeforeIsCopiedOnce) {
    // The whole pool in one text, drawn five times: it fits, once.
    const std::string full(kCanvasTextCapacity, 'a');
    const std::vector<CanvasCommand> five = repeatedRuns(full, 5);
    ASSERT_TRUE(copyCanvasDisplayList(*list, five));
    EXPECT_EQ(list->pools.text_length, kCanvasTextCapacity);
    for (int i = 0; i < 5; ++i) {
        const std::string_view run = list->items[3 * i + 1].draw_text.text;
        EXPECT_EQ(run.data(), list->pools.text.data()) << i;
        EXPECT_EQ(run.size(), full.size()) << i;
    }
    expectSameList(list->commands(), five);

    // The bytes count, wherever they lie; a text that differs, or a repeat with another text
    // between, is copied again and can overflow.
    const std::string half(kCanvasTextCapacity / 2 + 1, 'a');
    std::string twin = half;
    std::vector<CanvasCommand> apart = repeatedRuns(half, 1);
    const std::vector<CanvasCommand> other = repeatedRuns(twin, 1);
    apart.insert(apart.end(), other.begin(), other.end());
    ASSERT_TRUE(copyCanvasDisplayList(*list, apart));
    EXPECT_EQ(list->pools.text_length, half.size());
    twin.back() = 'b';
    EXPECT_EQ(copyCanvasDisplayList(*list, apart).error(), Error::CanvasTextTooLarge);
    ASSERT_TRUE(copyCanvasDisplayList(*list, five));
    std::vector<CanvasCommand> between = repeatedRuns(half, 1);
    between.push_back(CanvasCommand::drawText({300, 1, "b", {}, std::nullopt, 12, {}, {}}));
    between.push_back(repeatedRuns(half, 1)[1]);
    EXPECT_EQ(copyCanvasDisplayList(*list, between).error(), Error::CanvasTextTooLarge);
    EXPECT_EQ(list->pools.text_length, kCanvasTextCapacity);  // the failures left the list alone
}

TEST(DisplayListScratch, ARepeatedTextIsStagedOnceAndCopiedOnceFromTheStage) {
    auto scratch = std::make_unique<CanvasDisplayListScratch>();
    std::vector<CanvasCommand> items(20);
    CanvasCommandArray array{items.data(), items.size(), 0};
    const std::string full(kCanvasTextCapacity, 'a');
    for (const CanvasCommand& command : repeatedRuns(full, 5))
        ASSERT_TRUE(scratch->appendCopiedCommand(array, command));
    EXPECT_EQ(scratch->pools.text_length, kCanvasTextCapacity);
    EXPECT_EQ(array.items[13].draw_text.text.data(), scratch->pools.text.data());
    auto list = std::make_unique<CanvasDisplayList>();
    ASSERT_TRUE(copyCanvasDisplayList(*list, array.commands()));
    EXPECT_EQ(list->pools.text_length, kCanvasTextCapacity);
    // A buffer an emitter writes again holds another text at the same place: it is copied.
    scratch->reset();
    array.count = 0;
    char buffer[] = "ab";
    ASSERT_TRUE(scratch->appendCopiedCommand(array, repeatedRuns(buffer, 1)[1]));
    buffer[0] = 'c';
    ASSERT_TRUE(scratch->appendCopiedCommand(array, repeatedRuns(buffer, 1)[1]));
    EXPECT_EQ(array.items[0].draw_text.text, "ab");
    EXPECT_EQ(array.items[1].draw_text.text, "cb");
    // A reset forgets the last text: the same text is copied anew.
    scratch->reset();
    array.count = 0;
    ASSERT_TRUE(scratch->appendCopiedCommand(array, repeatedRuns("xy", 1)[1]));
    scratch->reset();
    ASSERT_TRUE(scratch->appendCopiedCommand(array, repeatedRuns("xy", 1)[1]));
    EXPECT_EQ(scratch->pools.text_length, 2u);
}

TEST(DisplayListScratch, AppendsCopiesUntilTheArrayIsFull) {
    auto scratch = std::make_unique<CanvasDisplayListScratch>();
    CanvasCommand items[2];
    CanvasCommandArray array{items, 2, 0};
    SampleList sample(2, 3, 4, 1);
    ASSERT_TRUE(scratch->appendCopiedCommand(array, sample.commands[1]));
    ASSERT_TRUE(scratch->appendCopiedCommand(array, sample.commands[2]));
    EXPECT_EQ(array.items[0].fill_path.elements.data(), scratch->pools.elements.data());
    // The array is full: the command is refused, but its slices stay in the pools until reset.
    EXPECT_EQ(scratch->appendCopiedCommand(array, sample.commands[1]).error(), Error::DisplayListFull);
    EXPECT_EQ(scratch->pools.element_count, 6u);
    EXPECT_EQ(scratch->appendCopiedCommand(array, CanvasCommand::popClip()).error(), Error::DisplayListFull);

    scratch->reset();
    array.count = 0;
    SampleList big(63, 2048, kCanvasTextCapacity, 8192);
    ASSERT_TRUE(scratch->appendCopiedCommand(array, big.commands[1]));
    ASSERT_TRUE(scratch->appendCopiedCommand(array, big.commands[2]));
    array.count = 0;
    // Elements are checked before stops, text before glyphs.
    SampleList more(2, 1, 0, 1);
    EXPECT_EQ(scratch->appendCopiedCommand(array, more.commands[1]).error(), Error::CanvasPathElementLimitReached);
    EXPECT_EQ(scratch->appendCopiedCommand(array, more.commands[2]).error(), Error::CanvasGlyphLimitReached);
    SampleList stops(2, 0, 1, 0);
    EXPECT_EQ(scratch->appendCopiedCommand(array, stops.commands[1]).error(), Error::CanvasGradientStopLimitReached);
    EXPECT_EQ(scratch->appendCopiedCommand(array, stops.commands[2]).error(), Error::CanvasTextTooLarge);
}

}  // namespace
}  // namespace kelvo
