// The step every widget change ends with: semantics, revisions and repaint, and the undo of a
// change whose semantics cannot be collected.

#include <gtest/gtest.h>

#include "canvas_display_scenario.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"

namespace kelvo {
namespace {

class CanvasCommit : public testing::CanvasDisplayScenario {
protected:
    void SetUp() override {
        CanvasDisplayScenario::SetUp();
        install(
            "column id=1 rect=0,0,320,240\n"
            "  checkbox id=2 rect=10,10,100,30 text=\"A\"\n"
            "  text id=3 rect=10,60,100,30 text=\"B\"\n");
    }
};

TEST_F(CanvasCommit, ACommittedChangeRaisesTheRevisionsAndRepaintsItsArea) {
    const std::uint64_t revision = canvas().canvas.widgetRevision;
    const std::uint64_t semantics = canvas().canvas.semanticsRevision;
    {
        CanvasWidgetChange change(slot().tree);
        change.edit(1).selected = 1;
        const CanvasWidgetDirty dirty =
            commitCanvasWidgetChange(*runtime, kCanvas, change, canvasWidgetNodeDirtyBounds(*runtime, kCanvas, 1));
        ASSERT_TRUE(dirty);
        EXPECT_EQ(testing::rectText(**dirty), "10,10,100,30");
    }
    EXPECT_EQ(canvas().canvas.widgetRevision, revision + 1);
    EXPECT_EQ(canvas().canvas.semanticsRevision, semantics + 1);
    // The invalidated area first, then what the refresh found changed.
    ASSERT_FALSE(dirtyRects().empty());
    EXPECT_EQ(dirtyRects().front(), "110,60,100,30");
    EXPECT_EQ(frameRequests(), 1u);
}

TEST_F(CanvasCommit, AChangeWhoseSemanticsFailIsUndoneAndNothingIsRepainted) {
    const std::uint64_t revision = canvas().canvas.widgetRevision;
    const std::uint64_t shownSemantics = canvas().canvas.semanticsCount;
    // A tree the semantics walk refuses: a node deeper than any tree may be.
    slot().tree.nodes[2].depth = 40;
    {
        CanvasWidgetChange change(slot().tree);
        WidgetLayoutNode& box = change.edit(1);
        box.selected = 1;
        box.value = 1;
        box.rect = {0, 0, 5, 5};
        change.edit(1).frame = {0, 0, 5, 5};
        change.edit(0).hidden = 1;
        const CanvasWidgetDirty dirty = commitCanvasWidgetChange(*runtime, kCanvas, change, Rect{0, 0, 50, 50});
        ASSERT_FALSE(dirty);
        EXPECT_EQ(dirty.error(), Error::WidgetDepthExceeded);
    }
    const WidgetLayoutNode& box = slot().tree.nodes[1];
    EXPECT_EQ(box.selected, 0);
    EXPECT_EQ(box.value, 0);
    EXPECT_EQ(testing::rectText(box.rect), "10,10,100,30");
    EXPECT_EQ(testing::rectText(box.frame), "10,10,100,30");
    EXPECT_EQ(slot().tree.nodes[0].hidden, 0);
    EXPECT_EQ(canvas().canvas.widgetRevision, revision);
    EXPECT_EQ(canvas().canvas.semanticsCount, shownSemantics);
    EXPECT_TRUE(dirtyRects().empty());
    EXPECT_EQ(frameRequests(), 0u);
}

}  // namespace
}  // namespace kelvo
