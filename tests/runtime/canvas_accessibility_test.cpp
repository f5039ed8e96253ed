// Publishing canvas widgets to the accessibility layer through the runtime on the scripted
// platform: what is published, when a publication is skipped, deferred, retried or refused.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "canvas_display_scenario.hpp"
#include "runtime/canvas/canvas_widget_accessibility.hpp"
#include "runtime/flow/dispatch.hpp"

namespace kelvo {
namespace {

using testing::errorOf;

class CanvasAccessibility : public testing::CanvasDisplayScenario {
protected:
    Status publish(bool deferAllowed = false) {
        return publishCanvasWidgetAccessibilityMaybeDeferred(*runtime, kCanvas, deferAllowed);
    }
};

constexpr const char* kControls =
    "column id=1 rect=0,0,320,240\n"
    "  checkbox id=2 rect=10,10,100,20 text=\"Wrap\" value=1\n"
    "  button id=3 rect=10,40,100,30 text=\"Go\"\n"
    "  scroll_view id=4 rect=0,80,200,100\n"
    "    text id=5 rect=0,80,200,300 text=\"long\"\n";

// A column of `count` texts; text `changed` reads differently.
std::string textColumn(int count, int changed) {
    std::string tree = "column id=1 rect=0,0,320,240\n";
    for (int i = 0; i < count; ++i) {
        tree += "  text id=" + std::to_string(i + 2) + " rect=0," + std::to_string(i * 2) + ",100,2 text=\"" +
                (i == changed ? "changed" : "line") + "\"\n";
    }
    return tree;
}

TEST_F(CanvasAccessibility, PublishedRecordsFoldInTheViewsInteractionAndTheValuesSelection) {
    install(kControls);
    canvas().focused = true;
    interaction().focusedWidget = 3;
    interaction().hoveredWidget = 2;
    std::array<WidgetAccessibilityNode, kMaxPublishedAccessibilityNodes> nodes{};
    const std::size_t count = buildWidgetAccessibilityNodes(slot().semantics.nodes(), canvas(), nodes);
    ASSERT_EQ(count, 5u);
    const WidgetAccessibilityNode& checkbox = nodes[1];
    EXPECT_EQ(checkbox.widgetId, 2u);
    EXPECT_EQ(checkbox.parentId, 1u);
    EXPECT_EQ(checkbox.role, accessibilityRoleCode(WidgetSemanticRole::checkbox));
    EXPECT_TRUE(checkbox.selected);  // by its value
    EXPECT_TRUE(checkbox.hovered);
    EXPECT_FALSE(checkbox.focused);
    EXPECT_TRUE(nodes[2].focused);
    EXPECT_FALSE(nodes[2].selected);
    EXPECT_FALSE(nodes[0].parentId);
    EXPECT_TRUE(nodes[3].scrollOffset && nodes[3].viewportExtent && nodes[3].contentExtent);
    EXPECT_FALSE(nodes[2].scrollOffset);
    canvas().focused = false;  // the focused widget counts only while the view has the focus
    buildWidgetAccessibilityNodes(slot().semantics.nodes(), canvas(), nodes);
    EXPECT_FALSE(nodes[2].focused);
}

TEST_F(CanvasAccessibility, OnlyChangesInTheFirst64NodesArePublished) {
    install(kControls);
    EXPECT_TRUE(publish());
    EXPECT_EQ(publications(), 0u);  // installing published it already
    interaction().hoveredWidget = 3;
    EXPECT_TRUE(publish());
    EXPECT_TRUE(publish());
    EXPECT_EQ(publications(), 1u);

    install(textColumn(100, -1));
    ASSERT_EQ(canvas().canvas.semanticsCount, 101u);
    ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, kCanvas, textColumn(100, 80)));
    EXPECT_EQ(publications(), 0u);
    ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, kCanvas, textColumn(100, 40)));
    ASSERT_EQ(publications(), 1u);
    EXPECT_EQ(test.lastCall(PlatformSlot::updateWidgetAccessibility)->args, "window=1 label=canvas nodes=64");
}

TEST_F(CanvasAccessibility, AFailedPublicationIsTriedAgainAndARefusedLabelPublishesNothing) {
    install(kControls);
    const std::uint64_t fingerprint = canvas().canvas.accessibility.fingerprint;
    interaction().hoveredWidget = 3;
    test.failSlot(PlatformSlot::updateWidgetAccessibility, Error::ViewNotFound, 1);
    EXPECT_EQ(errorOf(publish()), Error::ViewNotFound);
    EXPECT_EQ(canvas().canvas.accessibility.fingerprint, fingerprint);
    EXPECT_TRUE(publish());
    EXPECT_TRUE(publish());
    EXPECT_EQ(publications(), 2u);

    interaction().hoveredWidget = 2;
    canvas().label.clear();
    EXPECT_EQ(errorOf(publish()), Error::InvalidViewOptions);
    EXPECT_EQ(publications(), 2u);

    // Without the platform's service a publication counts as made.
    ASSERT_TRUE(canvas().label.assign("canvas"));
    emptySlot(PlatformSlot::updateWidgetAccessibility);
    EXPECT_TRUE(publish());
    test.fillSlot(PlatformSlot::updateWidgetAccessibility);
    runtime->platform = test.platform();
    EXPECT_TRUE(publish());
    EXPECT_EQ(publications(), 2u);
}

TEST_F(CanvasAccessibility, ABatchDefersPublicationToTheFrameTickOrToItsCloseWithoutAFrame) {
    install(kControls);
    AppBinding binding;
    openCanvasWidgetDisplayListRefreshBatch(*runtime, 2);
    interaction().hoveredWidget = 3;
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {10, 40, 100, 30}));
    ASSERT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));
    --runtime->canvasBatch.accessibilityDeferral;
    EXPECT_EQ(publications(), 0u);
    EXPECT_TRUE(canvas().canvas.frameRequested);
    EXPECT_TRUE(canvas().canvas.accessibility.deferred);

    // Other events leave it for the frame; the frame's tick publishes it.
    ASSERT_TRUE(dispatchPlatformEvent(*runtime, binding, TimerEvent{1, 1}));
    EXPECT_EQ(publications(), 0u);
    ASSERT_TRUE(dispatchPlatformEvent(*runtime, binding, GpuSurfaceFrame{.windowId = 1, .label = "canvas"}));
    EXPECT_EQ(publications(), 1u);
    EXPECT_FALSE(canvas().canvas.accessibility.deferred);
    EXPECT_FALSE(canvas().canvas.frameRequested);

    // A view that asks no frame is published when the batch closes.
    canvas().canvas.refreshWanted = false;
    openCanvasWidgetDisplayListRefreshBatch(*runtime);
    interaction().hoveredWidget = 2;
    ASSERT_TRUE(invalidateForCanvasWidgetDirty(*runtime, kCanvas, {10, 10, 100, 20}));
    EXPECT_EQ(publications(), 1u);
    ASSERT_TRUE(endCanvasWidgetDisplayListRefreshBatch(*runtime));
    EXPECT_EQ(publications(), 2u);
    EXPECT_EQ(frameRequests(), 1u);
}

}  // namespace
}  // namespace kelvo
