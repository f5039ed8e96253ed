// A text entry's whole text set by the widget action set_text, as accessibility and automation
// set it: what each kind of entry takes, and that a refused text changes nothing.

#include <gtest/gtest.h>

#include "canvas_display_scenario.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/widget_actions.hpp"
#include "runtime/flow/app_binding.hpp"
#include "support/golden.hpp"
#include "support/text_cells.hpp"

namespace kelvo {
namespace {

using testing::rangeText;
using testing::unquote;

// A tree text's quoted text: the bytes the tree format escapes.
std::string treeQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '"' || c == '\\') {
            out += std::string("\\") + c;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

class CanvasSetText : public testing::CanvasDisplayScenario {
protected:
    const WidgetLayoutNode& entry() { return slot().tree.nodes[*canvasWidgetNodeIndex(*runtime, kCanvas, 2)]; }

    AppBinding binding;
};

TEST_F(CanvasSetText, EntriesTakeWhatTheTableSaysAndARefusalChangesNothing) {
    for (const std::vector<std::string>& c : testing::readTable("runtime/set_text.txt")) {
        ASSERT_GE(c.size(), 7u);
        const std::string row = c[0] + " " + c[1] + " " + c[4];
        SCOPED_TRACE(row);
        const std::string before = unquote(c[1]);
        std::string tree = "column id=1 rect=0,0,320,240\n  " + c[0] +
                           " id=2 rect=0,0,200,80 text=" + treeQuoted(before) + " selection=" + c[2] + " actions=focus";
        if (c[3] != "-") tree += " composition=" + c[3];
        tree += "\n  button id=3 rect=0,100,90,30 text=\"OK\"\n  text id=4 rect=0,140,90,30 text=\"hi\"\n";
        install(tree);
        canvas().focused = true;
        interaction().focusedWidget = interaction().focusVisibleWidget = 3;
        const std::string selectionBefore = rangeText(entry().selection);
        const std::string compositionBefore = rangeText(entry().composition);
        const std::string text = unquote(c[4]);

        const Status set =
            performCanvasWidgetAction(*runtime, binding, kCanvas, 2, WidgetAction::set_text, {text, std::nullopt});
        if (c.size() == 7) {
            EXPECT_EQ(set ? "success" : errorName(set.error()), c[6]);
            EXPECT_EQ(entry().text, before);
            EXPECT_EQ(rangeText(entry().selection), selectionBefore);
            EXPECT_EQ(rangeText(entry().composition), compositionBefore);
            EXPECT_EQ(interaction().focusedWidget, 3u);
            continue;
        }
        ASSERT_EQ(c.size(), 10u);
        EXPECT_TRUE(set) << errorName(set.error());
        EXPECT_EQ(entry().text, unquote(c[6]));
        EXPECT_EQ(rangeText(entry().selection), c[7]);
        EXPECT_EQ(rangeText(entry().composition), c[8]);
        EXPECT_EQ(interaction().focusedWidget, std::stoull(c[9]));
    }
}

}  // namespace
}  // namespace kelvo
