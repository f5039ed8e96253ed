#pragma once

#include <string>
#include <vector>

#include "platform/types/gpu_surface_event.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "view_scenario.hpp"
#include "widgets/render_fixture.hpp"

namespace kelvo::testing {

// A canvas view "canvas" (view index 0) at (100, 50), 320 x 240, in window 1 of the scripted
// test platform, with helpers to install trees and to read what the display machinery did.
class CanvasDisplayScenario : public ViewScenario {
protected:
    static constexpr std::size_t kCanvas = 0;

    void SetUp() override {
        ViewScenario::SetUp();
        create(canvasOptions("canvas", {100, 50, 320, 240}));
        forget();
    }

    // Installs a tree (which refreshes the view) and forgets the calls and rectangles that made.
    void install(std::string_view tree) {
        ASSERT_TRUE(installCanvasWidgetTreeText(*runtime, kCanvas, tree));
        forget();
    }
    void forget() {
        test.clearCalls();
        runtime->dirtyRegions.clear();
    }

    // Pointer input of kind `kind` at (x, y) of the view, stamped `timeNs`.
    static GpuSurfaceInput pointerInput(GpuSurfaceInputKind kind, float x, float y, std::uint64_t timeNs = 0) {
        GpuSurfaceInput input;
        input.windowId = 1;
        input.label = "canvas";
        input.kind = kind;
        input.x = x;
        input.y = y;
        input.timestampNs = timeNs;
        return input;
    }

    RuntimeView& canvas() { return runtime->views[kCanvas]; }
    CanvasInteraction& interaction() { return canvas().canvas.interaction; }
    CanvasSlot& slot() { return *canvasSlotOf(runtime->canvasSlots, canvas()); }

    std::size_t frameRequests() const { return test.callCount(PlatformSlot::requestGpuSurfaceFrame); }
    std::size_t publications() const { return test.callCount(PlatformSlot::updateWidgetAccessibility); }

    // The runtime's dirty rectangles as "x,y,w,h".
    std::vector<std::string> dirtyRects() const {
        std::vector<std::string> rects;
        for (const RectF& r : runtime->dirtyRegions) rects.push_back(rectText({r.x, r.y, r.width, r.height}));
        return rects;
    }
};

}  // namespace kelvo::testing
