#include <cmath>

#include "base/bounded_writer.hpp"
#include "base/stderr.hpp"
#include "runtime/canvas/canvas_events.hpp"
#include "runtime/canvas/canvas_frame_tick_steps.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_commit.hpp"
#include "runtime/canvas/canvas_widget_event_queues.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"

namespace kelvo {

namespace {

// The offset the platform was last handed for a scroll view; 0 when never.
float lastSyncedOffset(const FixedVec<CanvasScrollDriverSync, kMaxCanvasScrollDrivers>& synced, std::uint64_t id) {
    for (const CanvasScrollDriverSync& entry : synced) {
        if (entry.widgetId == id) return entry.offset;
    }
    return 0;
}

void warnSyncFailed(std::string_view label, Error error) {
    std::array<char, 256> text{};
    BoundedWriter out(text);
    out.write("scroll driver sync failed for view '");
    out.write(label);
    out.write("': ");
    out.write(errorName(error));
    writeStderrWarning("vexa_scroll_drivers", out.text());
}

}  // namespace

void syncCanvasScrollDrivers(Runtime& runtime, std::size_t viewIndex) {
    RuntimeView& view = runtime.views[viewIndex];
    CanvasFrameTickState& tick = view.canvas.tick;
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    const auto setDrivers = platformSlots(runtime).setGpuSurfaceScrollDrivers;
    if (slot == nullptr || !tick.scrollDriversWanted || setDrivers == nullptr ||
        !supports(runtime.platform, PlatformFeature::gpu_surface_scroll_drivers)) {
        return;
    }
    std::array<ScrollDriverRegion, kMaxCanvasScrollDrivers> regions{};
    FixedVec<CanvasScrollDriverSync, kMaxCanvasScrollDrivers> synced;
    std::size_t count = 0;
    for (std::size_t i = 0; i < slot->tree.node_count; ++i) {
        WidgetLayoutNode& node = slot->tree.nodes[i];
        if (node.id == 0 || !isCanvasScrollView(node)) continue;
        // The platform scrolls it from now on: no momentum of ours, no scrollbar, the plain wheel.
        node.platform_driven = 1;
        if (count == regions.size()) continue;
        const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot->tree, i);
        if (!geometry) continue;
        const Rect rect = normalizeRect(node.rect);
        const float offset = node.value;
        ScrollDriverRegion& region = regions[count++];
        region.widgetId = node.id;
        region.frame = {rect.x, rect.y, rect.width, rect.height};
        region.contentWidth = rect.width;
        region.contentHeight = rect.height + std::max(geometry->content - geometry->viewport, 0.0f);
        region.offsetY = offset;
        region.applyOffset = std::fabs(offset - lastSyncedOffset(tick.scrollDrivers, node.id)) > 0.5f;
        region.verticalElasticity = scrollViewElastic(node.overscroll_mode, slot->tree.tokens);
        (void)synced.push({node.id, offset});
    }
    const Status set = setDrivers(platformServices(runtime), view.windowId, view.label.view(), {regions.data(), count});
    // Only offsets the platform took count as synced: after a refusal the next sync applies them.
    if (!set) {
        warnSyncFailed(view.label.view(), set.error());
        return;
    }
    tick.scrollDrivers = synced;
}

Status applyGpuSurfaceScrollDriver(Runtime& runtime, const AppBinding& binding,
                                   const GpuSurfaceScrollDriverEvent& event) {
    const std::optional<std::size_t> view = findViewIndex(runtime, event.windowId, event.label);
    if (!view) return fail(Error::ViewNotFound);
    CanvasSlot* slot = canvasWidgetSlot(runtime, *view);
    const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, *view, event.widgetId);
    if (slot == nullptr || !index || !std::isfinite(event.offset)) return {};
    const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot->tree, *index);
    if (!geometry) return {};
    const float offset = std::clamp(event.offset, 0.0f, geometry->maximum);
    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, runtime.views[*view]);
    TRY(moveCanvasWidgetScrollView(runtime, *view, *index, {offset, 0, geometry->viewport, geometry->content}));
    // The platform is there already: the next sync must not push the same offset back.
    for (CanvasScrollDriverSync& entry : runtime.views[*view].canvas.tick.scrollDrivers) {
        if (entry.widgetId == event.widgetId) entry.offset = offset;
    }
    TRY(followScrolledContent(runtime, *view, before));
    return dispatchPendingCanvasWidgetScrollEvents(runtime, binding, *view);
}

}  // namespace kelvo
