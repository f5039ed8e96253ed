#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "support/golden.hpp"
#include "support/text_cells.hpp"

namespace kelvo {
namespace {

using testing::rangeOf;
using testing::rangeText;
using testing::unquote;

TEST(CanvasTextKeys, TableOfKeysAndTypedText) {
    const std::map<std::string, GpuSurfaceInputKind> inputs = {
        {"down", GpuSurfaceInputKind::key_down},
        {"insert", GpuSurfaceInputKind::text_insert},
        {"compose", GpuSurfaceInputKind::composition_update},
        {"commit", GpuSurfaceInputKind::composition_commit},
        {"cancel", GpuSurfaceInputKind::composition_cancel},
    };
    std::vector<char> output(64);
    for (const auto& c : testing::readTable("runtime/text_keys.txt")) {
        ASSERT_GE(c.size(), 11u);
        const std::string text = unquote(c[1]);
        const std::string typed = unquote(c[6]);
        GpuSurfaceInput input{.kind = inputs.at(c[4]), .key = c[5], .text = typed};
        input.modifiers = {false, c[7].find('m') != std::string::npos, c[7].find('c') != std::string::npos,
                           c[7].find('o') != std::string::npos, c[7].find('s') != std::string::npos};
        const TextEditState state{text, rangeOf(c[2]), rangeOf(c[3])};
        const std::string row = c[0] + " " + c[1] + " " + c[4] + " " + c[5] + " " + c[7];
        const auto request =
            textEditRequestForInput(input, *widgetKindFromName(c[0]), state, TextKeyContext{c[8] == "1"});
        if (c[10] == "same") {
            EXPECT_FALSE(request) << row;
            continue;
        }
        ASSERT_TRUE(request) << row;
        ASSERT_EQ(c.size(), 13u);
        const auto after = applyTextEdit(state, *request, output);
        ASSERT_TRUE(after) << row;
        EXPECT_EQ(std::string(after->text), unquote(c[10])) << row;
        EXPECT_EQ(rangeText(after->selection), c[11]) << row;
        EXPECT_EQ(rangeText(after->composition), c[12]) << row;
    }
}

}  // namespace
}  // namespace kelvo
