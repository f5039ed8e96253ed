// A text area scrolled into a long text sends only the lines its box shows: the text it draws is
// those lines (and one more on each side), laid out exactly where the whole text puts them, with
// the caret and the selection where they are; drawn, it is the picture the whole text gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "render/test_surface.hpp"
#include "text/text_caret_geometry.hpp"
#include "text/widget_text_input.hpp"
#include "widgets/draw_text_bounds.hpp"
#include "widgets/render_fixture.hpp"
#include "widgets/text_edit_store.hpp"
#include "widgets/tree_fixture.hpp"

namespace kelvo {
namespace {

constexpr std::uint64_t kArea = 2;

// 300 lines, each wrapped in two by the area's width.
std::string notes() {
    std::string text;
    for (int line = 0; line < 300; ++line) {
        text += "Line " + std::to_string(line) + ": the quick brown fox jumps over it\n";
    }
    return text;
}

struct Area {
    std::string text = notes();
    std::unique_ptr<WidgetTreeStorage> tree;
    testing::RenderedList list;

    // The area scrolled 2,000 points down, with the selection `range` ("s,e"), focused.
    explicit Area(const std::string& range) {
        std::string escaped;
        for (char c : text) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
        tree = testing::installedTree("text_area id=2 rect=10,10,220,120 value=2000 focused=1 selection=" + range +
                                      " text=\"" + escaped + "\"\n");
        EXPECT_TRUE(emitWidgetTree(list.target, tree->tree(), tree->tokens, WidgetRenderState{}));
    }

    [[nodiscard]] const WidgetLayoutNode& node() const { return tree->nodes[testing::nodeIndex(*tree, kArea)]; }
    [[nodiscard]] TextLayoutBox box() const {
        return textInputLayoutBox(textInputWidgetOf(node()), textInputTokensOf(tree->tokens));
    }
    // The whole text's run, where the area lays it out.
    [[nodiscard]] TextRun wholeRun() const {
        const TextLayoutBox b = box();
        return textInputRun(textInputWidgetOf(node()), textInputTokensOf(tree->tokens), b);
    }
    [[nodiscard]] const CanvasCommand* command(std::uint64_t id) const {
        for (const CanvasCommand& c : list.commands()) {
            const unsigned tag = canvasCommandTagBits(c);
            if (tag == static_cast<unsigned>(CanvasCommandTag::draw_text) && c.draw_text.id == id) return &c;
            if (tag == static_cast<unsigned>(CanvasCommandTag::fill_rect) && c.fill_rect.id == id) return &c;
            if (tag == static_cast<unsigned>(CanvasCommandTag::push_clip) && c.push_clip.id == id) return &c;
        }
        return nullptr;
    }
    [[nodiscard]] Rect clip() const { return command(kArea * 16 + 8)->push_clip.rect; }
};

// The whole text's lines, each with its place.
std::vector<TextLine> linesOf(const TextRun& run, const TextLayoutBox& box) {
    std::vector<TextLine> lines;
    TextLineIterator iterator(run, box);
    while (std::optional<TextLine> line = iterator.next()) lines.push_back(*line);
    return lines;
}

// A line wholly inside the box, the n-th of those.
TextLine shownLine(const Area& area, std::size_t n) {
    const Rect clip = area.clip();
    std::vector<TextLine> inside;
    for (const TextLine& line : linesOf(area.wholeRun(), area.box())) {
        if (line.y > clip.y && line.y + line.height < clip.y + clip.height) inside.push_back(line);
    }
    EXPECT_GT(inside.size(), n);
    return inside.at(n);
}

TEST(TextEntryWindow, TheTextDrawnIsTheShownLinesWhereTheWholeTextPutsThem) {
    const Area probe("0,0");
    const std::size_t caret = shownLine(probe, 2).text_start + 3;
    const Area area(std::to_string(caret) + "," + std::to_string(caret));
    const CanvasCommand* drawn = area.command(kArea * 16 + 4);
    ASSERT_NE(drawn, nullptr);
    const DrawTextCommand& text = drawn->draw_text;

    // Whole lines of the text, from one above the box to one below it.
    // (Its lines are numbered: the shown text is found once in the whole text.)
    const std::size_t start = area.text.find(text.text);
    ASSERT_NE(start, std::string::npos);
    const std::vector<TextLine> whole = linesOf(area.wholeRun(), area.box());
    const auto first =
        std::find_if(whole.begin(), whole.end(), [&](const TextLine& l) { return l.text_start == start; });
    ASSERT_NE(first, whole.end()) << "the text starts inside a line";
    EXPECT_EQ(text.origin.y, first->baseline);
    const Rect clip = area.clip();
    EXPECT_LE(first->y + first->height, clip.y);
    const TextRun shown = textRunOfDrawText(text);
    const std::vector<TextLine> lines = linesOf(shown, area.box());
    const TextLine& last = *(first + static_cast<std::ptrdiff_t>(lines.size()) - 1);
    EXPECT_GE(last.y, clip.y + clip.height);
    EXPECT_EQ(start + text.text.size(), last.textEnd());
    EXPECT_LE(lines.size(), static_cast<std::size_t>(std::ceil(clip.height / first->height)) + 3);

    // The caret stands where the whole text has it.
    const CanvasCommand* drawnCaret = area.command(kArea * 16 + 6);
    ASSERT_NE(drawnCaret, nullptr);
    const std::optional<Rect> expected = layoutTextCaretRect(area.wholeRun(), area.box(), caret);
    ASSERT_TRUE(expected);
    EXPECT_EQ(testing::rectText(drawnCaret->fill_rect.rect), testing::rectText(*expected));

    // A caret far above the box is not drawn.
    const Area above("5,5");
    EXPECT_EQ(above.command(kArea * 16 + 6), nullptr);
}

// Each line's pixels: the list as drawn, and the same list with the whole text in place of the
// shown lines, agree byte for byte; every line the box shows is highlighted where it is selected.
TEST(TextEntryWindow, ASelectionAcrossTheBoxDrawsTheWholeTextsPixels) {
    const Area probe("0,0");
    const std::size_t from = shownLine(probe, 0).text_start - 200;
    const std::size_t to = shownLine(probe, 3).text_start + 200;
    const Area area(std::to_string(from) + "," + std::to_string(to));
    const TextRun whole = area.wholeRun();
    const Rect clip = area.clip();

    std::vector<Rect> highlights;
    for (unsigned part : {3u, 13u, 14u, 15u}) {
        if (const CanvasCommand* c = area.command(kArea * 16 + part)) highlights.push_back(c->fill_rect.rect);
    }
    std::vector<TextSelectionRect> perLine(64);
    perLine.resize(layoutTextSelectionRects(whole, area.box(), from, to, perLine));
    std::size_t shownLines = 0;
    for (const TextSelectionRect& line : perLine) {
        if (line.rect.y + line.rect.height <= clip.y || line.rect.y >= clip.y + clip.height) continue;
        ++shownLines;
        const bool covered = std::any_of(highlights.begin(), highlights.end(), [&](const Rect& h) {
            return h.x <= line.rect.x && h.y <= line.rect.y && h.x + h.width >= line.rect.x + line.rect.width &&
                   h.y + h.height >= line.rect.y + line.rect.height;
        });
        EXPECT_TRUE(covered) << testing::rectText(line.rect);
    }
    EXPECT_GE(shownLines, 6u);

    std::vector<CanvasCommand> wholeList(area.list.commands().begin(), area.list.commands().end());
    std::size_t replaced = 0;
    for (CanvasCommand& c : wholeList) {
        if (canvasCommandTagBits(c) != static_cast<unsigned>(CanvasCommandTag::draw_text)) continue;
        c.draw_text.text = area.node().text;
        c.draw_text.origin = {whole.origin_x, whole.baseline_y};
        ++replaced;
    }
    EXPECT_GE(replaced, 2u);  // the text and its selected glyphs
    testing::TestSurface drawn(240, 140);
    testing::TestSurface expected(240, 140);
    ASSERT_TRUE(renderDisplayList(drawn.surface, area.list.commands(), 1.0f));
    ASSERT_TRUE(renderDisplayList(expected.surface, wholeList, 1.0f));
    EXPECT_TRUE(drawn.pixels == expected.pixels);
}

}  // namespace
}  // namespace kelvo
