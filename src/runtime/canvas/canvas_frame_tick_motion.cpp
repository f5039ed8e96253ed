#include <algorithm>
#include <array>
#include <cmath>

#include "render/frame_animation.hpp"
#include "runtime/canvas/canvas_frame_tick_steps.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/canvas/view_widget_control.hpp"
#include "runtime/canvas/view_widget_scroll.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

// The momentum state of the scroll view at `index`, when the tick moves it: a scroll view with a
// positive viewport that no platform scroll driver moves.
std::optional<ScrollState> momentumState(const CanvasSlot& slot, std::size_t index) {
    const WidgetLayoutNode& node = slot.tree.nodes[index];
    if ((node.platform_driven & 1u) != 0) return std::nullopt;
    const std::optional<ScrollGeometry> geometry = canvasWidgetScrollGeometry(slot.tree, index);
    if (!geometry) return std::nullopt;
    return ScrollState{node.value, slot.scroll[index].velocity, geometry->viewport, geometry->content};
}

bool anyScrollViewMoving(const CanvasSlot& slot) {
    for (std::size_t i = 0; i < slot.tree.node_count; ++i) {
        const std::optional<ScrollState> state = momentumState(slot, i);
        if (state && !scrollMomentumAtRest(*state, slot.tree.tokens)) return true;
    }
    return false;
}

// Steps every moving scroll view inside the caller's refresh batch.
Status stepScrollViews(Runtime& runtime, std::size_t viewIndex, CanvasSlot& slot, float seconds) {
    const CanvasWidgetRenderState before = canvasWidgetRenderState(runtime, runtime.views[viewIndex]);
    bool moved = false;
    for (std::size_t i = 0; i < slot.tree.node_count; ++i) {
        const std::optional<ScrollState> state = momentumState(slot, i);
        if (!state) continue;
        const bool elastic = scrollViewElastic(slot.tree.nodes[i].overscroll_mode, slot.tree.tokens);
        const ScrollMomentumStep step = stepScrollMomentum(*state, slot.tree.tokens, elastic, seconds);
        if (!step.moved) {
            slot.scroll[i] = step.state;
            continue;
        }
        TRY(moveCanvasWidgetScrollView(runtime, viewIndex, i, step.state));
        moved = true;
    }
    if (!moved) return {};
    return followScrolledContent(runtime, viewIndex, before);
}

// A running animation asks for exactly the next frame: once, unless a refresh already did.
Status requestNextFrame(Runtime& runtime, std::size_t viewIndex) {
    if (runtime.views[viewIndex].canvas.frameRequested) return {};
    return requestCanvasViewFrame(runtime, viewIndex);
}

}  // namespace

Status followScrolledContent(Runtime& runtime, std::size_t viewIndex, const CanvasWidgetRenderState& before) {
    TRY(rehoverCanvasWidgetsAfterScroll(runtime, viewIndex));
    const CanvasWidgetRenderState after = canvasWidgetRenderState(runtime, runtime.views[viewIndex]);
    return invalidateForCanvasWidgetRenderStateChange(runtime, viewIndex, before, after);
}

CanvasAnimationSample sampleCanvasAnimation(CanvasAnimationTiming& timing, std::uint64_t frameNs) {
    if (timing.startNs == 0 || timing.startNs > frameNs) timing.startNs = frameNs;
    const double durationNs = static_cast<double>(timing.durationMs) * 1'000'000.0;
    const double t = durationNs > 0 ? std::min(static_cast<double>(frameNs - timing.startNs) / durationNs, 1.0) : 1.0;
    const float eased =
        easeAnimationProgress(timing.curve, timing.mass, timing.stiffness, timing.damping, static_cast<float>(t));
    return {eased, t >= 1.0 || eased >= 1.0f};
}

Status advanceCanvasScrollMomentum(Runtime& runtime, std::size_t viewIndex, std::uint64_t intervalNs) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr || !anyScrollViewMoving(*slot)) return {};
    RuntimeView& view = runtime.views[viewIndex];
    // An input on its way reaches this view's widgets first; momentum waits one frame for it.
    if (view.canvas.interaction.pendingInputNs != 0) return requestCanvasViewFrame(runtime, viewIndex);
    if (findOpenWindow(runtime, view.windowId) == nullptr) return fail(Error::WindowNotFound);

    const float seconds = static_cast<float>(static_cast<double>(intervalNs) / 1e9);
    openCanvasWidgetDisplayListRefreshBatch(runtime);
    Status stepped = stepScrollViews(runtime, viewIndex, *slot, seconds);
    Status closed = endCanvasWidgetDisplayListRefreshBatch(runtime);
    if (!stepped) return stepped;
    if (!closed) return closed;
    // The refresh asks for a frame when the display list changed; a view still moving always does.
    if (anyScrollViewMoving(*slot)) return requestNextFrame(runtime, viewIndex);
    return {};
}

Status advanceCanvasSplitAnimations(Runtime& runtime, std::size_t viewIndex, std::uint64_t frameNs) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return {};
    FixedVec<CanvasSplitAnimation, kMaxSplitAnimations>& list = runtime.views[viewIndex].canvas.tick.splitAnimations;
    for (std::size_t i = 0; i < list.size();) {
        CanvasSplitAnimation& entry = list[i];
        const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, entry.widgetId);
        // A divider whose split view is gone has nowhere to go; it must not keep frames coming.
        if (!index) {
            list.removeAt(i);
            continue;
        }
        const CanvasAnimationSample sample = sampleCanvasAnimation(entry.timing, frameNs);
        const float fraction = sample.finished
                                   ? entry.targetFraction
                                   : entry.startFraction + sample.eased * (entry.targetFraction - entry.startFraction);
        TRY(applyCanvasWidgetSplitFractionMoved(runtime, viewIndex, *index, fraction, sample.finished));
        if (sample.finished) {
            list.removeAt(i);
        } else {
            ++i;
        }
    }
    if (!list.empty()) return requestNextFrame(runtime, viewIndex);
    return {};
}

Status advanceCanvasToggleAnimation(Runtime& runtime, std::size_t viewIndex, std::uint64_t frameNs) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    CanvasToggleAnimation& toggle = runtime.views[viewIndex].canvas.tick.toggle;
    if (slot == nullptr || !toggle.active) return {};
    const CanvasAnimationSample sample = sampleCanvasAnimation(toggle.timing, frameNs);
    const float p = sample.finished ? 1.0f : sample.eased;
    toggle.progress = p;

    CanvasWidgetChange change(slot->tree);
    // Opacity is not among the fields a change saves: it is put back here when the change fails.
    std::array<std::pair<std::size_t, float>, kMaxToggleAnimationEntries> opacities{};
    std::size_t saved = 0;
    for (const CanvasToggleAnimationEntry& entry : toggle.entries) {
        const std::optional<std::size_t> index = canvasWidgetNodeIndex(runtime, viewIndex, entry.widgetId);
        if (!index) continue;
        const float value = p >= 1 ? entry.toValue : entry.fromValue + p * (entry.toValue - entry.fromValue);
        const float opacity = p >= 1 ? entry.toOpacity : entry.fromOpacity + p * (entry.toOpacity - entry.fromOpacity);
        const WidgetLayoutNode& node = slot->tree.nodes[*index];
        if (node.value == value && node.opacity == opacity) continue;
        WidgetLayoutNode& edited = change.edit(*index);
        opacities[saved++] = {*index, edited.opacity};
        edited.value = value;
        edited.opacity = opacity;
    }
    const bool changed = change.touched();
    if (changed) {
        const CanvasWidgetDirty committed = commitCanvasWidgetChange(runtime, viewIndex, change, toggle.dirty);
        if (!committed) {
            for (std::size_t i = 0; i < saved; ++i) slot->tree.nodes[opacities[i].first].opacity = opacities[i].second;
            return fail(committed.error());
        }
        // Without an area of its own the whole view is drawn again.
        if (!toggle.dirty) TRY(refreshCanvasWidgetView(runtime, viewIndex));
    }
    if (p < 1) return requestNextFrame(runtime, viewIndex);
    toggle = CanvasToggleAnimation{};
    if (changed) return {};
    return refreshCanvasWidgetView(runtime, viewIndex);
}

void retireFinishedToggleThumbAnimations(Runtime& runtime, std::size_t viewIndex, std::uint64_t frameNs) {
    CanvasSlot* slot = canvasWidgetSlot(runtime, viewIndex);
    if (slot == nullptr) return;
    WidgetAnimationTable& table = slot->animations;
    // Ring spinner dots share the part number; they repeat, thumbs run once.
    const auto finishedThumb = [frameNs](const WidgetAnimation& a) {
        return (a.key & 15u) == kToggleThumbAnimationPart && a.repeat == AnimationRepeat::once && a.from_transform &&
               a.to_transform && animationProgress(a, frameNs) >= 1.0f;
    };
    for (std::size_t i = 0; i < table.entries.size();) {
        if (finishedThumb(table.entries[i])) {
            table.remove(table.entries[i].key);
        } else {
            ++i;
        }
    }
}

}  // namespace kelvo
