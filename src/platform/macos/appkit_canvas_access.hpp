#pragma once

// Private to src/platform/macos: what a canvas view adds for scrolling and assistive technology.
// Its scroll drivers (regions the runtime draws and the view scrolls by wheel input) and its
// accessibility elements, published to the stand-in, whose actions come back as events.

#include <array>
#include <memory>

#include "platform/macos/canvas/canvas_accessibility.hpp"
#include "platform/macos/canvas/scroll_drivers.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

struct KelvoAppKitHost;
struct HostCanvasView;

struct CanvasAccess {
    KelvoAppKitHost* host = nullptr;
    standin::ViewRef ref = nullptr;
    std::weak_ptr<HostCanvasView> owner;  // posted steps skip a view closed meanwhile
    ScrollDriverSet drivers;
    WidgetAccessibilityModel accessibility;
    std::array<standin::AccessibleElement, kMaxAccessibilityElements> published{};  // handed to the stand-in
};

// Once, when the canvas view is made.
void attachCanvasAccess(CanvasAccess& access, KelvoAppKitHost& host, const std::shared_ptr<HostCanvasView>& owner,
                        standin::ViewRef ref);
CanvasAccess& canvasAccessOf(HostCanvasView& view);

// A wheel event over a canvas view, at (x, y) in view points, deltaY positive towards the end of
// the content: a scroll driver under the pointer (or bound to the gesture) takes it and true is
// answered; false leaves it to the view's own wheel handling.
bool routeCanvasWheel(HostCanvasView& view, double x, double y, double deltaX, double deltaY, ScrollPhase phase,
                      ScrollPhase momentumPhase);

}  // namespace kelvo
