#include "runtime/canvas/canvas_widget_display.hpp"

#include <array>

#include "render/patch_region.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_stage_timer.hpp"
#include "runtime/canvas/canvas_widget_accessibility.hpp"
#include "runtime/canvas/canvas_widget_animations.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/runtime.hpp"
#include "widgets/display_list_diff.hpp"
#include "widgets/thread_scratch.hpp"
#include "widgets/widget_invalidation.hpp"
#include "widgets/widget_render.hpp"

namespace kelvo {

namespace {

// Where one refresh builds and compares the new list.
struct RefreshScratch {
    std::array<CanvasCommand, kMaxCanvasCommands> staging;
    CanvasDisplayListScratch pools;
    std::array<DisplayListChange, kMaxDisplayListChanges> changes;
};

Rect viewFrameOf(const RuntimeView& view) {
    return normalizeRect({view.frame.x, view.frame.y, view.frame.width, view.frame.height});
}

// `rect` (view coordinates) clipped to the view's surface, as frame plans clip their dirty
// region; none when nothing is left or the surface has no area.
std::optional<Rect> clippedToSurface(const RuntimeView& view, Rect rect) {
    const Rect frame = viewFrameOf(view);
    if (!hasArea(frame)) return std::nullopt;
    return clippedCanvasDirtyBounds(rect, frame.width, frame.height);
}

// Records a rectangle already clipped to the surface, or the whole view frame.
void recordClipped(Runtime& runtime, const RuntimeView& view, std::optional<Rect> clipped) {
    runtime.lastChangeSource = ChangeSource::canvas_widget;
    const Rect frame = viewFrameOf(view);
    const Rect window =
        clipped ? Rect{clipped->x + frame.x, clipped->y + frame.y, clipped->width, clipped->height} : frame;
    markDirtyRegion(runtime, {window.x, window.y, window.width, window.height});
}

bool isCanvasView(const Runtime& runtime, std::size_t viewIndex) {
    return viewIndex < runtime.views.size() && runtime.views[viewIndex].kind == ViewKind::gpu_surface;
}

bool batchOpen(const Runtime& runtime) { return runtime.canvasBatch.depth != 0; }

// Outside a batch: publish (deferred while the runtime defers), then refresh a view that wants it.
Status publishAndRefresh(Runtime& runtime, std::size_t viewIndex, bool publish) {
    if (publish) TRY(publishCanvasWidgetAccessibilityMaybeDeferred(runtime, viewIndex, true));
    if (!runtime.views[viewIndex].canvas.refreshWanted) return {};
    return refreshCanvasWidgetDisplayList(runtime, viewIndex);
}

// Records what the changes touch: each change's area that is left on the surface, or the whole
// view frame when none is (or when an area is unknown).
void recordChanges(Runtime& runtime, const RuntimeView& view, std::span<const DisplayListChange> changes,
                   bool areaUnknown) {
    bool recorded = false;
    for (const DisplayListChange& change : changes) {
        if (areaUnknown) break;
        if (!change.bounds) continue;
        if (const std::optional<Rect> clipped = clippedToSurface(view, *change.bounds)) {
            recordClipped(runtime, view, clipped);
            recorded = true;
        }
    }
    if (!recorded) recordClipped(runtime, view, std::nullopt);
}

Status refreshView(Runtime& runtime, std::size_t viewIndex, CanvasSlot& slot) {
    RuntimeView& view = runtime.views[viewIndex];
    RefreshScratch& scratch = perThreadCanvasScratch<RefreshScratch>();
    scratch.pools.reset();
    CanvasCommandArray staging{scratch.staging.data(), scratch.staging.size(), 0};
    const std::span<const CanvasCommand> stored = slot.displayList.commands();
    const std::uint64_t leading = view.canvas.leadingCommands, trailing = view.canvas.trailingCommands;
    if (stored.size() < leading || stored.size() - leading < trailing) return fail(Error::InvalidCommand);

    for (const CanvasCommand& command : stored.first(leading)) TRY(scratch.pools.appendCopiedCommand(staging, command));
    WidgetRenderTarget target{staging, scratch.pools};
    TRY(emitWidgetTree(target, slot.tree.tree(), slot.tree.tokens, canvasWidgetRenderState(runtime, view)));
    for (const CanvasCommand& command : stored.last(trailing)) TRY(scratch.pools.appendCopiedCommand(staging, command));
    if (view.canvas.reservedCommands > kMaxCanvasCommands - staging.count) {
        return fail(Error::CanvasCommandLimitReached);
    }

    const DisplayListDiff diff = TRY(diffCanvasDisplayLists(stored, staging.commands(), scratch.changes));
    TRY(copyCanvasDisplayList(runtime, view, staging.commands()));
    scheduleCanvasWidgetAnimations(slot, view);
    if (diff.count == 0) return {};
    recordChanges(runtime, view, std::span(scratch.changes).first(diff.count), diff.area_unknown);
    return requestCanvasViewFrame(runtime, viewIndex);
}

// The node of each widget whose interaction state differs between the snapshots: the previous
// and the current focused, focus-visible, hovered and pressed widgets, each once.
std::optional<Rect> changedWidgetsArea(WidgetLayoutTree tree, const WidgetTokens& tokens,
                                       const CanvasWidgetRenderState& before, const CanvasWidgetRenderState& after) {
    std::array<std::uint64_t, 8> candidates{};
    std::size_t count = 0;
    const auto consider = [&](std::optional<std::uint64_t> id) {
        if (!id || *id == 0 ||
            std::find(candidates.begin(), candidates.begin() + count, *id) != candidates.begin() + count) {
            return;
        }
        candidates[count++] = *id;
    };
    for (auto field : {&CanvasWidgetRenderState::focused, &CanvasWidgetRenderState::focus_visible,
                       &CanvasWidgetRenderState::hovered, &CanvasWidgetRenderState::pressed}) {
        if (before.*field == after.*field) continue;
        consider(before.*field);
        consider(after.*field);
    }
    std::optional<Rect> area = renderStateSurroundingsPaintBounds(tree, tokens, before, after);
    for (std::size_t c = 0; c < count; ++c) {
        for (std::size_t i = 0; i < tree.size(); ++i) {
            if (tree[i].id != candidates[c]) continue;
            area = unionOptionalBounds(area, widgetStateChangePaintBounds(tree, i, tokens, before, after));
            break;
        }
    }
    return area;
}

}  // namespace

Status requestCanvasViewFrame(Runtime& runtime, std::size_t viewIndex) {
    if (!isCanvasView(runtime, viewIndex)) return {};
    RuntimeView& view = runtime.views[viewIndex];
    if (view.label.empty() || view.label.size() > kMaxViewLabel) return fail(Error::InvalidViewOptions);
    if (const auto request = platformSlots(runtime).requestGpuSurfaceFrame) {
        Status requested = request(platformServices(runtime), view.windowId, view.label.view());
        if (!requested) return requested.error() == Error::UnsupportedService ? Status{} : requested;
    }
    view.canvas.frameRequested = true;
    return {};
}

void recordCanvasWidgetDirtyRect(Runtime& runtime, std::size_t viewIndex, Rect rect) {
    if (viewIndex >= runtime.views.size()) return;
    const RuntimeView& view = runtime.views[viewIndex];
    recordClipped(runtime, view, clippedToSurface(view, rect));
}

Status invalidateForCanvasWidgetDirty(Runtime& runtime, std::size_t viewIndex, Rect rect) {
    if (viewIndex >= runtime.views.size()) return {};
    recordCanvasWidgetDirtyRect(runtime, viewIndex, rect);
    return refreshCanvasWidgetView(runtime, viewIndex);
}

Status refreshCanvasWidgetView(Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size()) return {};
    if (batchOpen(runtime)) {
        if (viewIndex < kCanvasBatchViews) {
            runtime.canvasBatch.refreshPending[viewIndex] = true;
            runtime.canvasBatch.accessibilityPending[viewIndex] = true;
        }
        return {};
    }
    if (!isCanvasView(runtime, viewIndex)) return {};
    return publishAndRefresh(runtime, viewIndex, true);
}

Status invalidateForCanvasWidgetRenderStateChange(Runtime& runtime, std::size_t viewIndex,
                                                  const CanvasWidgetRenderState& before,
                                                  const CanvasWidgetRenderState& after) {
    if (!isCanvasView(runtime, viewIndex)) return {};
    if (const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex])) {
        if (const std::optional<Rect> area = changedWidgetsArea(slot->tree.tree(), slot->tree.tokens, before, after)) {
            recordCanvasWidgetDirtyRect(runtime, viewIndex, *area);
        }
    }
    const bool focusMoved = before.focused != after.focused;
    if (batchOpen(runtime)) {
        if (viewIndex < kCanvasBatchViews) {
            runtime.canvasBatch.refreshPending[viewIndex] = true;
            runtime.canvasBatch.accessibilityPending[viewIndex] |= focusMoved;
        }
        return {};
    }
    return publishAndRefresh(runtime, viewIndex, focusMoved);
}

Status refreshCanvasWidgetDisplayList(Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size()) return fail(Error::ViewNotFound);
    CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, runtime.views[viewIndex]);
    if (!isCanvasView(runtime, viewIndex) || slot == nullptr) return fail(Error::InvalidViewOptions);
    const std::optional<std::uint64_t> start = startCanvasStage(runtime);
    Status refreshed = refreshView(runtime, viewIndex, *slot);
    // The first display list counts only once it exists.
    if (refreshed) lapOnce(LaunchMark::first_display_list_emitted);
    finishCanvasStage(runtime, FrameProfileStage::emit, start);
    return refreshed;
}

void openCanvasWidgetDisplayListRefreshBatch(Runtime& runtime, std::uint64_t deferrals) {
    ++runtime.canvasBatch.depth;
    runtime.canvasBatch.accessibilityDeferral += std::max<std::uint64_t>(deferrals, 1);
}

Status endCanvasWidgetDisplayListRefreshBatch(Runtime& runtime) {
    CanvasRefreshBatch& batch = runtime.canvasBatch;
    if (batch.depth == 0) return {};
    Status closed;
    // The depth drops first, so the refreshes below run as outside a batch, while accessibility
    // stays deferred until the count drops at the end.
    if (--batch.depth == 0) {
        closed = [&]() -> Status {
            const std::size_t views = std::min(runtime.views.size(), kCanvasBatchViews);
            for (std::size_t i = 0; i < views; ++i) {
                if (!batch.refreshPending[i]) continue;
                batch.refreshPending[i] = false;
                const bool publish = std::exchange(batch.accessibilityPending[i], false);
                if (isCanvasView(runtime, i)) TRY(publishAndRefresh(runtime, i, publish));
            }
            return flushDeferredCanvasWidgetAccessibilityWithoutFrame(runtime);
        }();
    }
    if (batch.accessibilityDeferral != 0) --batch.accessibilityDeferral;
    return closed;
}

}  // namespace kelvo
