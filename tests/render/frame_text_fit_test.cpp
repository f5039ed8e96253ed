// Texts fitted into what one frame lays out and lists: the table's lists fail a plan as they are,
// and plan once fitted, with the texts kept as the table says.

#include "render/frame_text_fit.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "render/frame_fixture.hpp"
#include "support/bar_cells.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

std::string withLineFeeds(std::string cell) {
    for (std::size_t at = cell.find("\\n"); at != std::string::npos; at = cell.find("\\n", at + 1)) {
        cell.replace(at, 2, "\n");
    }
    return cell;
}

// A cell's text and its layout box: "w=<width>:" wraps words in that width.
struct TextCell {
    std::string text;
    std::optional<TextLayoutBox> layout;
};

TextCell textCell(const std::string& cell) {
    TextCell out;
    std::string text = cell;
    if (text.starts_with("w=")) {
        const std::size_t colon = text.find(':');
        TextLayoutBox box;
        box.max_width = std::stof(text.substr(2, colon - 2));
        box.wrap = TextWrap::word;
        out.layout = box;
        text = text.substr(colon + 1);
    }
    out.text = withLineFeeds(text);
    return out;
}

// The frame tick's lists, with room for `lines` laid-out lines and `glyphs` glyphs.
CanvasFrameStorage storageWithRoom(std::size_t lines, std::size_t glyphs) {
    CanvasFrameStorage storage = canvasFrameStorageForThread();
    storage.text_lines = storage.text_lines.first(lines);
    storage.glyphs = storage.glyphs.first(glyphs);
    return storage;
}

TEST(CanvasTextFit, TextsTakeWhatIsLeftSmallestFirst) {
    for (const std::string& line : testing::readLines("render/text_fits.txt")) {
        SCOPED_TRACE(line);
        const std::vector<std::string> cells = testing::barCellsOf(line);
        std::istringstream limits(cells.front());
        CanvasTextFitLimits room;
        limits >> room.lines >> room.glyphs;
        const auto arrow = std::find(cells.begin(), cells.end(), "=>");
        ASSERT_NE(arrow, cells.end());
        const std::vector<std::string> given(cells.begin() + 1, arrow);
        const std::vector<std::string> kept(arrow + 1, cells.end() - 1);
        ASSERT_EQ(given.size(), kept.size());

        std::vector<TextCell> texts;
        texts.reserve(given.size());  // the commands point into its texts
        testing::PlannedView view;
        for (std::size_t i = 0; i < given.size(); ++i) {
            const bool again = given[i] == "=";
            texts.push_back(again ? texts.back() : textCell(given[i]));
            const float y = 20.0f * static_cast<float>(again ? i : i + 1);
            view.list.push_back(testing::textRun(16 * (i + 1), texts.back().text, {0, y}));
            view.list.back().draw_text.layout = texts.back().layout;
        }
        const CanvasFrameStorage storage = storageWithRoom(room.lines, room.glyphs);
        const Result<CanvasFrame> whole = view.plan({}, storage);

        std::vector<CanvasCommand> out(view.list.size());
        const CanvasTextFit fit = fitCanvasTextToFrame(view.list, {}, room, out);
        std::istringstream result(cells.back());
        std::string limit;
        std::size_t firstCut = 0;
        result >> limit >> firstCut;
        if (limit == "-") {
            EXPECT_TRUE(whole.has_value());
            EXPECT_FALSE(fit.first_cut);
            EXPECT_EQ(fit.commands.data(), view.list.data());
            continue;
        }
        ASSERT_FALSE(whole.has_value());
        EXPECT_EQ(errorName(whole.error()), limit);
        ASSERT_TRUE(fit.first_cut);
        EXPECT_EQ(*fit.first_cut, firstCut);
        EXPECT_EQ(errorName(fit.limit), limit);
        ASSERT_EQ(fit.commands.size(), view.list.size());
        for (std::size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(fit.commands[i].draw_text.text, textCell(kept[i]).text) << "text " << i;
        }
        view.list.assign(fit.commands.begin(), fit.commands.end());
        const Result<CanvasFrame> fitted = view.plan({}, storage);
        EXPECT_TRUE(fitted.has_value()) << (fitted ? "" : errorName(fitted.error()));
    }
}

// A text of positioned glyphs keeps the front of its glyphs.
TEST(CanvasTextFit, PositionedGlyphsAreCutByGlyphs) {
    std::vector<PositionedGlyph> glyphs;
    for (std::uint32_t g = 0; g < 6; ++g) {
        PositionedGlyph glyph;
        glyph.text_offset = g;
        glyph.text_length = 1;
        glyph.glyph = 40 + g;
        glyph.x = 7.0f * static_cast<float>(g);
        glyph.advance = 7;
        glyphs.push_back(glyph);
    }
    testing::PlannedView view;
    view.list.push_back(testing::textRun(16, "abcdef", {0, 20}));
    view.list.back().draw_text.glyphs = glyphs;
    view.list.push_back(testing::textRun(32, "z", {0, 40}));
    std::vector<CanvasCommand> out(view.list.size());
    const CanvasTextFit fit = fitCanvasTextToFrame(view.list, {}, {10, 4}, out);
    ASSERT_TRUE(fit.first_cut);
    EXPECT_EQ(*fit.first_cut, 0u);
    EXPECT_EQ(fit.commands[0].draw_text.glyphs.size(), 3u);
    EXPECT_EQ(fit.commands[0].draw_text.text, "abcdef");
    EXPECT_EQ(fit.commands[1].draw_text.text, "z");
}

}  // namespace
}  // namespace kelvo
