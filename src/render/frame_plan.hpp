#pragma once

// Planning a canvas frame from one view's display list: animations sampled into overrides, the
// layer walk, overrides applied, batches and pipelines, path geometry, images, layers, resources,
// visual effects, glyphs and text layout plans with their retained-cache actions, and the dirty
// region with the full-repaint decision. Pure data over spans: what the view holds comes in as a
// `CanvasFrameSource`, the output lists are the caller's storage, and nothing is written back;
// `commitPresentedCanvasFrame` (frame_history.hpp) records a frame once it was presented.

#include <optional>
#include <span>

#include "base/error.hpp"
#include "render/frame.hpp"
#include "render/frame_animation.hpp"
#include "render/frame_history.hpp"

namespace kelvo {

// What the plan reads of the view.
struct CanvasFrameSource {
    std::span<const CanvasCommand> commands;  // the stored display list
    std::uint64_t revision = 0;
    std::span<const WidgetAnimation> animations;
    std::span<const WidgetAnimationDirty> animation_dirty;
    const CanvasFrameHistory* history = nullptr;  // none: no frame was presented yet
    CanvasBudgetLimits budgets{};
    float surface_width = 0;  // the surface the platform last reported
    float surface_height = 0;
    float surface_scale = 1;
    float frame_width = 0;  // the view's frame, when the surface has no area
    float frame_height = 0;
    std::span<const ReferenceImage> images;  // registered with the view
    std::span<const ReferenceFont> fonts;
    // The view asks for its next frame to be drawn whole (its surface was replaced or moved):
    // the frame repaints in full even when its display list did not change.
    bool full_repaint_due = false;
};

// Plans the frame. Every limit ends the plan with its error: RenderStackOverflow,
// RenderStackUnderflow and the *ListFull errors of the lists (TextLayoutPlanListFull and
// TextLayoutLineListFull after a warning line on standard error), DiffListFull.
Result<CanvasFrame> planCanvasFrame(const CanvasFrameSource& source, const CanvasFrameRequest& request,
                                    const CanvasFrameStorage& storage);

// The warning line of a frame whose texts need more than `limit` laid-out lines (under the log
// scope "vexa_canvas_frame"): the plan writes it when it fails with TextLayoutLineListFull.
void warnTextLayoutLineCapacity(std::size_t limit);

// A render command's bounds under an override: with the override's transform V, the command's
// transform M becomes M x V (V applied first) before its geometry's corners are mapped; the box is
// clipped to the command's clip; none when it has no area.
std::optional<Rect> renderCommandBoundsWithOverride(const RenderCommand& command, const RenderOverride* override);

// Lists at the capacities a frame tick lends, in one block per thread taken on first use (the
// process stops with "out of memory allocating per-thread canvas scratch" when it cannot be had).
const CanvasFrameStorage& canvasFrameStorageForThread();

}  // namespace kelvo
