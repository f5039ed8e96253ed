#include "platform/macos/appkit_canvas_views.hpp"

#include <optional>
#include <vector>

#include "platform/macos/appkit_canvas_access.hpp"
#include "platform/macos/appkit_canvas_input.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/appkit_native_views.hpp"
#include "platform/macos/canvas/surface_view.hpp"

namespace kelvo {

inline constexpr std::uint64_t kPlaceholderIntervalNs = 16'666'666;

struct HostCanvasView {
    KelvoAppKitHost* host = nullptr;
    standin::ViewRef ref = nullptr;  // the native view that shows the drawable
    std::weak_ptr<HostCanvasView> self;
    gpu::GpuDevice device;
    SurfaceView surface;
    standin::TimerId displayTimer = 0;
    HostCanvasInput input;
    CanvasAccess access;  // scroll drivers and accessibility elements

    HostCanvasView() = default;
    HostCanvasView(const HostCanvasView&) = delete;
    HostCanvasView& operator=(const HostCanvasView&) = delete;
    ~HostCanvasView() {
        if (displayTimer != 0) host->platform->loop.cancelTimer(host->platform->self, displayTimer);
    }
};

namespace {

HostCanvasView& canvasView(void* context) { return *static_cast<HostCanvasView*>(context); }
standin::StandIn& platformOf(void* context) { return *canvasView(context).host->platform; }

std::optional<standin::WindowGeometry> windowGeometry(void* context) {
    HostCanvasView& view = canvasView(context);
    HostWindow* window = findWindow(*view.host, view.surface.windowId);
    if (window == nullptr) return std::nullopt;
    return platformOf(context).windows.geometry(platformOf(context).self, window->ref);
}

void postStep(void* context, std::uint64_t delayNs, SurfaceStep step, std::uint64_t generation) {
    HostCanvasView& view = canvasView(context);
    std::weak_ptr<HostCanvasView> weak = view.self;
    runOnMainQueueAfter(*view.host, delayNs, [weak, step, generation] {
        if (std::shared_ptr<HostCanvasView> alive = weak.lock()) runSurfaceStep(alive->surface, step, generation);
    });
}

void setDisplayTimer(void* context, bool on) {
    HostCanvasView& view = canvasView(context);
    standin::StandIn& platform = platformOf(context);
    if (view.displayTimer != 0) platform.loop.cancelTimer(platform.self, view.displayTimer);
    view.displayTimer = 0;
    if (!on) return;
    std::weak_ptr<HostCanvasView> weak = view.self;
    view.displayTimer = platform.loop.startTimer(platform.self, kPlaceholderIntervalNs, true, [weak] {
        if (std::shared_ptr<HostCanvasView> alive = weak.lock()) renderSurfaceFrame(alive->surface);
    });
}

// A screen that does not say its rate is taken as 60 frames per second; no screen at all is
// negative, as the pacing expects.
double screenMaxFps(void* context) {
    HostCanvasView& view = canvasView(context);
    standin::StandIn& platform = platformOf(context);
    if (platform.canvas.screenScale && platform.canvas.screenScale(platform.self) <= 0) return -1.0;
    HostWindow* window = findWindow(*view.host, view.surface.windowId);
    double fps = 0;
    if (platform.canvas.refreshRate) fps = platform.canvas.refreshRate(platform.self, window ? window->ref : nullptr);
    return fps > 0 ? fps : 60.0;
}

SurfacePort hostSurfacePort(HostCanvasView& view) {
    SurfacePort port;
    port.context = &view;
    port.monotonicNs = [](void* c) { return platformOf(c).loop.monotonicNs(platformOf(c).self); };
    port.wallNs = [](void* c) { return wallClockNs(*canvasView(c).host); };
    port.post = postStep;
    port.emitEvent = [](void* c, const KelvoHostEvent& event) { emitEvent(*canvasView(c).host, event); };
    port.scheduleFrame = [](void* c) { scheduleFrame(*canvasView(c).host); };
    port.setDisplayTimer = setDisplayTimer;
    port.windowState = [](void* c) {
        std::optional<standin::WindowGeometry> g = windowGeometry(c);
        if (!g) return SurfaceWindowState::none;
        return g->onScreen ? SurfaceWindowState::visible : SurfaceWindowState::occluded;
    };
    port.windowScale = [](void* c) {
        std::optional<standin::WindowGeometry> g = windowGeometry(c);
        return g ? g->scale : 0.0;
    };
    port.screenScale = [](void* c) {
        standin::StandIn& platform = platformOf(c);
        return platform.canvas.screenScale ? platform.canvas.screenScale(platform.self) : 0.0;
    };
    port.screenMaxFps = screenMaxFps;
    port.show = [](void* c, const gpu::GpuDrawable& drawable) {
        HostCanvasView& view = canvasView(c);
        standin::StandIn& platform = platformOf(c);
        if (!platform.canvas.show || view.ref == nullptr) return;
        const gpu::GpuTexture& texture = drawable.texture;
        platform.canvas.show(platform.self, view.ref,
                             standin::RgbaImage{texture.bytes.data(), texture.width, texture.height});
    };
    return port;
}

// The wheel, as the system reports it (content following the finger), in the drivers' terms:
// a positive y moves towards the end of the content; momentum is a phase of its own.
bool routeWheelToDrivers(void* context, const CanvasWheelInput& wheel) {
    ScrollPhase phase = ScrollPhase::none;
    ScrollPhase momentum = ScrollPhase::none;
    switch (wheel.phase) {
        case WheelPhase::none:
            break;
        case WheelPhase::began:
            phase = ScrollPhase::began;
            break;
        case WheelPhase::changed:
            phase = ScrollPhase::changed;
            break;
        case WheelPhase::ended:
            phase = ScrollPhase::ended;
            break;
        case WheelPhase::momentum:
            momentum = ScrollPhase::changed;
            break;
    }
    return routeCanvasWheel(*static_cast<HostCanvasView*>(context), wheel.x, wheel.y, -wheel.deltaX, -wheel.deltaY,
                            phase, momentum);
}

// The focused text widget among the accessibility elements the runtime published.
bool focusedTextElement(void* context, CanvasTextElement* element) {
    const WidgetAccessibilityModel& model = static_cast<HostCanvasView*>(context)->access.accessibility;
    for (std::size_t i = 0; i < model.count; ++i) {
        const standin::AccessibleElement& shape = model.elements[i].shape;
        if (shape.role != standin::ElementRole::text_field || !shape.focused) continue;
        element->frame = shape.frame;
        element->characters = shape.characterCount.value_or(0);
        return true;
    }
    return false;
}

// Input asks the view's other parts: a scroll driver may take a wheel, the focused text widget
// places the input method's caret and turns editing keys into commands.
void joinInputToAccess(HostCanvasView& view) {
    CanvasInputPort& port = view.input.logic.port;
    port.routeWheel = routeWheelToDrivers;
    port.routeWheelContext = &view;
    port.focusedTextElement = focusedTextElement;
    port.textElementContext = &view;
}

SurfaceFrame surfaceFrame(const standin::RectD& frame) { return {frame.x, frame.y, frame.width, frame.height}; }

// The runtime may open and close views while it handles what a visit sends: the visits run over
// a copy, and a view closed meanwhile is still whole until its visit returns.
template <typename Visit>
void forEachCanvasView(KelvoAppKitHost& host, Visit visit) {
    std::vector<std::shared_ptr<HostCanvasView>> canvases;
    for (auto& [key, native] : host.nativeViews.views) {
        if (native->canvas) canvases.push_back(native->canvas);
    }
    for (const std::shared_ptr<HostCanvasView>& canvas : canvases) visit(*canvas);
}

}  // namespace

std::shared_ptr<HostCanvasView> makeHostCanvasView(KelvoAppKitHost& host, standin::ViewRef ref, std::uint64_t windowId,
                                                   std::string_view label, const standin::RectD& frame, bool hidden) {
    auto view = std::make_shared<HostCanvasView>();
    view->host = &host;
    view->ref = ref;
    view->surface.canvas.imageStore = &host.canvasImageStore;  // images the runtime uploaded
    view->self = view;
    view->surface.hidden = hidden;
    initSurfaceView(view->surface, &view->device, hostSurfacePort(*view), surfaceFrame(frame));
    bindSurfaceView(view->surface, windowId, label);
    attachCanvasInput(std::shared_ptr<HostCanvasInput>(view, &view->input), host, ref, view->surface);
    attachCanvasAccess(view->access, host, view, ref);
    joinInputToAccess(*view);
    return view;
}

void placeHostCanvasView(HostCanvasView& view, const standin::RectD& frame, bool hidden) {
    view.surface.hidden = hidden;
    setSurfaceFrame(view.surface, surfaceFrame(frame));
}

SurfaceView& surfaceOf(HostCanvasView& view) { return view.surface; }

CanvasAccess& canvasAccessOf(HostCanvasView& view) { return view.access; }

void performCanvasEdit(HostCanvasView& view, CanvasEditCommand command) {
    canvasEditCommand(view.input.logic, command);
}

void flushFirstCanvasFrameRequests(KelvoAppKitHost& host) {
    forEachCanvasView(host, [](HostCanvasView& view) { flushQueuedFirstCanvasFrameRequest(view.surface); });
}

void noteCanvasOcclusionForWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    forEachCanvasView(host, [windowId](HostCanvasView& view) {
        if (view.surface.windowId == windowId) surfaceOcclusionChanged(view.surface);
    });
}

HostCanvasView* findCanvasView(KelvoAppKitHost& host, std::uint64_t windowId, std::string_view label) {
    HostNativeView* native = findNativeView(host, windowId, label);
    return native != nullptr ? native->canvas.get() : nullptr;
}

void emitCanvasResizesForWindow(KelvoAppKitHost& host, std::uint64_t windowId) {
    forEachCanvasView(host, [windowId](HostCanvasView& view) {
        if (view.surface.windowId == windowId) emitSurfaceResizeEvent(view.surface);
    });
}

}  // namespace kelvo
