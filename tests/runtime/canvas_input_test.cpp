// Input on canvas views: event sequences replayed from scripts (the canvas lab prints the same
// lines), and the routing rules the scripts cannot reach.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "canvas_display_scenario.hpp"
#include "input_replay.hpp"
#include "runtime/canvas/canvas_input.hpp"
#include "runtime/canvas/canvas_pointer_route.hpp"
#include "runtime/flow/app_binding.hpp"
#include "support/golden.hpp"
#include "widgets/widget_render_chart.hpp"

namespace kelvo {
namespace {

TEST(CanvasInputEvents, ScriptsGiveTheirGoldenEvents) {
    for (const std::vector<std::string>& row : testing::readTable("runtime/input/cases.txt")) {
        const std::string tree = testing::readData("runtime/input/" + row[0]);
        const std::string script = testing::readData("runtime/input/" + row[1]);
        const InputReplay replay = replayCanvasInputScript(tree, script);
        EXPECT_TRUE(replay.ok) << row[1];
        const std::string golden = row[1].substr(0, row[1].rfind('.')) + ".events";
        testing::expectGolden("runtime/input/" + golden, replay.text);
    }
}

TEST(CanvasInputEvents, AReusedSceneReplaysEveryScriptAsABuiltOneDoes) {
    // Each tree's scripts one after another on one scene, forwards and backwards: what a script
    // changed must not show in the next one's events. The scene is rewound by comparing its whole
    // record, and then by restoring only the pages a replay wrote.
    std::map<std::string, std::vector<std::string>> scripts;
    for (const std::vector<std::string>& row : testing::readTable("runtime/input/cases.txt")) {
        scripts[row[0]].push_back(row[1]);
    }
    for (const bool trackWrites : {false, true}) {
        for (auto& [tree, names] : scripts) {
            InputReplay failure;
            InputReplaySceneHandle scene = buildInputReplayScene(testing::readData("runtime/input/" + tree), failure);
            ASSERT_TRUE(scene) << failure.text;
            if (trackWrites) {
                ASSERT_TRUE(trackInputReplaySceneWrites(*scene));
            }
            for (int pass = 0; pass < 2; ++pass) {
                for (const std::string& name : names) {
                    const InputReplay replay =
                        replayCanvasInputScript(*scene, testing::readData("runtime/input/" + name));
                    const InputReplay fresh = replayCanvasInputScript(testing::readData("runtime/input/" + tree),
                                                                      testing::readData("runtime/input/" + name));
                    EXPECT_EQ(replay.ok, fresh.ok) << name;
                    EXPECT_EQ(replay.text, fresh.text)
                        << name << " after the other scripts of " << tree << (trackWrites ? ", writes tracked" : "");
                }
                std::reverse(names.begin(), names.end());
            }
        }
    }
}

class CanvasPointerRouting : public testing::CanvasDisplayScenario {};

TEST_F(CanvasPointerRouting, APressedWidgetLosesTheCaptureWhenItCannotBePressedAnyMore) {
    static constexpr const char* kTree =
        "column id=1 rect=0,0,320,240\n"
        "  button id=2 rect=0,0,100,30\n"
        "  button id=3 rect=0,40,100,30\n";
    struct Case {
        const char* name;
        void (*change)(WidgetLayoutNode& button);
    };
    const Case cases[] = {
        {"kept", [](WidgetLayoutNode&) {}},
        {"disabled", [](WidgetLayoutNode& b) { b.disabled = 1; }},
        {"hidden", [](WidgetLayoutNode& b) { b.hidden = 1; }},
        {"removed", [](WidgetLayoutNode& b) { b.id = 99; }},
    };
    for (const Case& c : cases) {
        install(kTree);
        interaction().pressedWidget = 2;
        c.change(slot().tree.nodes[1]);
        // Over the other button: a drag stays with the pressed one, or has no target at all.
        Result<CanvasPointerRoute> route =
            routeCanvasWidgetPointerInput(*runtime, pointerInput(GpuSurfaceInputKind::pointer_drag, 50, 50));
        ASSERT_TRUE(route) << c.name;
        EXPECT_EQ(route->event.targetWidgetId, std::string_view(c.name) == "kept" ? 2u : 0u) << c.name;
        // A move is hit-tested whatever is pressed.
        route = routeCanvasWidgetPointerInput(*runtime, pointerInput(GpuSurfaceInputKind::pointer_move, 50, 50));
        EXPECT_EQ(route->event.targetWidgetId, 3u) << c.name;
    }
}

TEST_F(CanvasPointerRouting, RoutingRefusesWhatItCannotRoute) {
    install("column id=1 rect=0,0,320,240\n");
    GpuSurfaceInput input = pointerInput(GpuSurfaceInputKind::pointer_down, 1, 1);
    input.windowId = 7;
    EXPECT_EQ(routeCanvasWidgetPointerInput(*runtime, input).error(), Error::WindowNotFound);
    input.windowId = 1;
    input.label = "";
    EXPECT_EQ(routeCanvasWidgetPointerInput(*runtime, input).error(), Error::InvalidViewOptions);
    const std::string long_label(65, 'a');
    input.label = long_label;
    EXPECT_EQ(routeCanvasWidgetPointerInput(*runtime, input).error(), Error::ViewLabelTooLarge);
    input.label = "other";
    EXPECT_EQ(routeCanvasWidgetPointerInput(*runtime, input).error(), Error::ViewNotFound);
    input.label = "canvas";
    input.kind = GpuSurfaceInputKind::key_down;
    EXPECT_FALSE(routeCanvasWidgetPointerInput(*runtime, input)->routed);
}

TEST(CanvasPressRelease, EdgesAreHalfOpenAndNanIsOutside) {
    WidgetLayoutNode pressed;
    pressed.id = 1;
    pressed.rect = {110, 70, -100, -30};  // normalised to 10,40,100,30
    WidgetLayoutNode other;
    other.id = 2;
    other.rect = {200, 40, 50, 30};
    EXPECT_TRUE(canvasWidgetPressReleaseInBounds(pressed, nullptr, 10, 40));
    EXPECT_FALSE(canvasWidgetPressReleaseInBounds(pressed, nullptr, 110, 50));
    EXPECT_FALSE(canvasWidgetPressReleaseInBounds(pressed, nullptr, 50, 70));
    EXPECT_FALSE(canvasWidgetPressReleaseInBounds(pressed, nullptr, std::nanf(""), 50));
    EXPECT_TRUE(canvasWidgetPressReleaseInBounds(pressed, &other, 220, 50));
    EXPECT_FALSE(canvasWidgetPressReleaseInBounds(pressed, &pressed, 220, 50));
}

TEST_F(CanvasPointerRouting, ChartHoverIndexesFollowTheSeriesKind) {
    // Rows: series kind, pointer fraction across the plot, expected index.
    for (const std::vector<std::string>& row : testing::readTable("runtime/input/chart_hover.txt")) {
        install(
            "chart id=1 rect=0,0,320,240 chart_interactive=1\n"
            "  @series kind=" +
            row[0] + " values=1,2,3,4\n");
        const Rect plot = chartWidgetPlotRect(slot().tree.nodes[0], slot().tree.tokens);
        const float x = plot.x + plot.width * std::stof(row[1]);
        EXPECT_EQ(canvasChartHoverIndexForId(*runtime, kCanvas, 1, x), std::stoull(row[2])) << row[0] << " " << row[1];
    }
    EXPECT_FALSE(canvasChartHoverIndexForId(*runtime, kCanvas, 1, std::nanf("")));
    EXPECT_FALSE(canvasChartHoverIndexForId(*runtime, kCanvas, 2, 10));
}

// Every way out of an input closes its refresh batch and gives the accessibility deferral back,
// also when the application's handler fails.
TEST_F(CanvasPointerRouting, AFailingHandlerLeavesNoBatchOpen) {
    install(
        "column id=1 rect=0,0,320,240\n"
        "  button id=2 rect=0,0,100,30 action=\"go\"\n");
    runtime->stopOnHandlerError = true;
    AppBinding binding;
    binding.eventHandler = [](void*, Runtime&, const RuntimeEvent&) -> Status { return fail(Error::CallbackFailed); };
    for (GpuSurfaceInputKind kind : {GpuSurfaceInputKind::pointer_down, GpuSurfaceInputKind::pointer_up}) {
        EXPECT_FALSE(dispatchGpuSurfaceInput(*runtime, binding, pointerInput(kind, 10, 10)));
        EXPECT_EQ(runtime->canvasBatch.depth, 0u);
        EXPECT_EQ(runtime->canvasBatch.accessibilityDeferral, 0u);
    }
}

}  // namespace
}  // namespace kelvo
