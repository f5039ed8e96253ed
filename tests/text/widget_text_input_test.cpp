#include "text/widget_text_input.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/golden.hpp"
#include "text/fixed_measurer.hpp"

namespace kelvo {
namespace {

// Default tokens with a measurer that makes every character one em wide (14 points at body size).
class TextInputGeometry : public ::testing::Test {
protected:
    TextMeasurer measurer = testing::widthOnlyMeasurer();
    TextInputTokens tokens;
    TextInputWidget field;

    void SetUp() override {
        tokens.text_measurer = &measurer;
        field.frame = {10, 20, 200, 32};  // text box 184 wide; baseline 20 + 14 + 7.25
    }
};

TEST_F(TextInputGeometry, InsetsByKindSizeAndDensity) {
    for (const auto& row : testing::readTable("text/text_input_insets.txt")) {
        field.kind = static_cast<std::uint8_t>(std::stoi(row[0]));
        field.control_size = static_cast<std::uint8_t>(std::stoi(row[1]));
        tokens.density = static_cast<std::uint8_t>(std::stoi(row[2]));
        EXPECT_FLOAT_EQ(widgetTextInputInset(field, tokens), std::stof(row[3]))
            << row[0] << " " << row[1] << " " << row[2];
    }
}

TEST_F(TextInputGeometry, TextSizeStepsWithTheControlSize) {
    field.control_size = 1;
    EXPECT_EQ(textInputTextSize(field, tokens), 13.0f);
    tokens.font_size_body = 8.5f;
    EXPECT_EQ(textInputTextSize(field, tokens), 8.0f);
    field.control_size = 2 | 8;  // only the low 3 bits count
    EXPECT_EQ(textInputLineHeight(field, tokens), 11.875f);
}

TEST_F(TextInputGeometry, SingleLineOriginScrollsOnlyAsFarAsTheTextNeeds) {
    field.text = "abc";
    field.scroll_offset = 50;
    TextLayoutBox box = textInputLayoutBox(field, tokens);
    EXPECT_EQ(box.max_width, 184.0f);
    Point origin = widgetTextInputOrigin(field, tokens, box);
    EXPECT_EQ(origin.x, 18.0f);
    EXPECT_EQ(origin.y, 41.25f);
    EXPECT_EQ(clampedTextInputHorizontalScrollOffsetForWidget(field, tokens, 50), 0.0f);

    field.text = "abcdefghijklmnopqrst";  // 280 wide: scrolls up to 97
    EXPECT_EQ(widgetTextInputOrigin(field, tokens, box).x, -32.0f);
    EXPECT_EQ(clampedTextInputHorizontalScrollOffsetForWidget(field, tokens, 500), 97.0f);
    EXPECT_EQ(clampedTextInputHorizontalScrollOffsetForWidget(field, tokens, std::nanf("")), 0.0f);
    field.scroll_offset = 50.3f;
    tokens.snap_text = true;
    tokens.pixel_scale = 2;
    EXPECT_EQ(widgetTextInputOrigin(field, tokens, box).x, -32.0f);  // -32.3 truncated towards 0
}

TEST_F(TextInputGeometry, TextAreaScrollsVertically) {
    field.kind = kWidgetKindTextArea;
    field.frame = {0, 0, 200, 60};
    field.text = "ab\ncd\nef\ngh";  // 4 lines of 17.5 in 60 - 2 x 8
    field.scroll_offset = 100;
    EXPECT_EQ(textInputMaxScrollOffsetForWidget(field, tokens), 26.0f);
    EXPECT_EQ(widgetTextInputOrigin(field, tokens, textInputLayoutBox(field, tokens)).y, -4.0f);
    EXPECT_EQ(textInputContentExtentForWidget(field, tokens), 70.0f);
    EXPECT_TRUE(widgetTextInputClipsText(field, tokens, textInputLayoutBox(field, tokens)));
    EXPECT_EQ(clampedTextInputHorizontalScrollOffsetForWidget(field, tokens, 30), 0.0f);
    // Word wrap at the text box width: 184 holds 13 characters.
    field.text = "abcdefgh abcdefgh";
    EXPECT_EQ(textInputContentExtentForWidget(field, tokens), 35.0f);
}

TEST_F(TextInputGeometry, ViewportClipsAndExtent) {
    field.text = "ab\ncd";
    EXPECT_EQ(textInputContentExtentForWidget(field, tokens), 35.0f);
    auto viewport = textInputViewportForWidget(field, tokens);
    ASSERT_TRUE(viewport);
    EXPECT_EQ(viewport->x, 18.0f);
    EXPECT_EQ(viewport->y, 27.25f);
    EXPECT_EQ(viewport->width, 184.0f);
    EXPECT_EQ(viewport->height, 17.5f);
    field.frame = {210, 52, -200, -32};  // normalised first
    EXPECT_EQ(textInputViewportForWidget(field, tokens)->x, 18.0f);

    // The search field's clear-button slot counts while it holds text.
    field.kind = kWidgetKindSearchField;
    field.text = "";
    EXPECT_EQ(textInputViewportForWidget(field, tokens)->width, 136.0f);
    field.text = "q";
    EXPECT_EQ(textInputViewportForWidget(field, tokens)->width, 126.0f);
    field.disabled = true;
    EXPECT_FALSE(textInputViewportForWidget(field, tokens));
    field.kind = kWidgetKindSelect;
    EXPECT_EQ(textInputContentExtentForWidget(field, tokens), 0.0f);

    // Clipping measures the text, else the placeholder, else (search entries) the label.
    field = {};
    field.frame = {0, 0, 100, 32};  // text box 84: five characters and a point fit
    TextLayoutBox box = textInputLayoutBox(field, tokens);
    field.placeholder = "abcdefg";
    EXPECT_TRUE(widgetTextInputClipsText(field, tokens, box));
    field.text = "abcde";
    EXPECT_FALSE(widgetTextInputClipsText(field, tokens, box));
    field = {};
    field.kind = kWidgetKindComboBox;
    field.frame = {0, 0, 100, 32};
    field.label = "ab";
    EXPECT_TRUE(widgetTextInputClipsText(field, tokens, textInputLayoutBox(field, tokens)));  // box of 14
}

TEST_F(TextInputGeometry, CaretStaysVisible) {
    field.text = "abcdefghijklmnopqrst";
    EXPECT_EQ(textInputCaretVisibleScrollOffsetForWidget(field, tokens, 40), 40.0f);  // no selection
    field.selection = TextSelection{20, 20};
    EXPECT_EQ(textInputCaretVisibleScrollOffsetForWidget(field, tokens, 0), 97.0f);
    field.selection = TextSelection{20, 0};
    EXPECT_EQ(textInputCaretVisibleScrollOffsetForWidget(field, tokens, 97), 0.0f);
    field.selection = TextSelection{0, 10};  // caret at 140: visible from 0
    EXPECT_EQ(textInputCaretVisibleScrollOffsetForWidget(field, tokens, 0), 0.0f);
    field.selection = TextSelection{0, 15};  // caret at 210: 210 + 1 + 8 - 184
    EXPECT_EQ(textInputCaretVisibleScrollOffsetForWidget(field, tokens, 0), 35.0f);
}

TEST_F(TextInputGeometry, PointsAndRanges) {
    field.text = "abc";
    EXPECT_EQ(textOffsetForWidgetPoint(field, {18 + 21, 30}, tokens), 2u);
    EXPECT_EQ(textOffsetForWidgetPoint(field, {0, 30}, tokens), 0u);
    auto range = textRangeBounds(field, tokens, 0, 2);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->x, 18.0f);
    EXPECT_EQ(range->width, 28.0f);
    auto caret = textRangeBounds(field, tokens, 3, 3);
    ASSERT_TRUE(caret);
    EXPECT_EQ(caret->x, 60.0f);
    EXPECT_EQ(caret->width, 1.0f);
    field.disabled = true;
    EXPECT_FALSE(textOffsetForWidgetPoint(field, {30, 30}, tokens));
    field.disabled = false;
    field.kind = kWidgetKindSelect;
    EXPECT_FALSE(textOffsetForWidgetPoint(field, {30, 30}, tokens));

    // A tall second text field wraps as it is drawn, so a click on its second line finds it.
    field.kind = kWidgetKindTextFieldB;
    field.frame = {0, 0, 100, 60};  // at least 2.25 line heights: wrapped at 84
    field.text = "abcde fgh";
    EXPECT_EQ(textOffsetForWidgetPoint(field, {8 + 15, 8 + 20}, tokens), 7u);
    range = textRangeBounds(field, tokens, 0, 9);
    ASSERT_TRUE(range);
    EXPECT_EQ(range->height, 35.0f);
}

}  // namespace
}  // namespace kelvo
