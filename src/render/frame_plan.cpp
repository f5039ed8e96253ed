#include "render/frame_plan.hpp"

#include <algorithm>

#include "render/frame_plan_steps.hpp"
#include "render/render_fingerprints.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

bool hasArea(float width, float height) { return width > 0.0f && height > 0.0f; }

// The surface the frame covers: the request's size, else the view's surface, else its frame.
void resolveSurface(const CanvasFrameSource& source, const CanvasFrameRequest& request, CanvasFrame& frame) {
    if (request.width > 0.0f && request.height > 0.0f) {
        frame.width = request.width;
        frame.height = request.height;
    } else if (hasArea(source.surface_width, source.surface_height)) {
        frame.width = source.surface_width;
        frame.height = source.surface_height;
    } else {
        frame.width = source.frame_width;
        frame.height = source.frame_height;
    }
    frame.scale = request.scale > 0.0f ? request.scale : source.surface_scale;
}

bool sameSurface(const CanvasFrameHistory& history, const CanvasFrame& frame) {
    return history.width == frame.width && history.height == frame.height && history.scale == frame.scale;
}

}  // namespace

PipelineKind pipelineKindOf(const CanvasCommand& command) {
    const auto byPaint = [](const Paint& paint) {
        return paint.kind == PaintKind::linear_gradient ? PipelineKind::gradient : PipelineKind::solid;
    };
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::fill_rect:
            return byPaint(command.fill_rect.paint);
        case CanvasCommandTag::stroke_rect:
            return byPaint(command.stroke_rect.stroke.paint);
        case CanvasCommandTag::fill_rounded_rect:
            return byPaint(command.fill_rounded_rect.paint);
        case CanvasCommandTag::draw_line:
            return byPaint(command.draw_line.stroke.paint);
        case CanvasCommandTag::fill_path:
        case CanvasCommandTag::stroke_path:
            return PipelineKind::path;
        case CanvasCommandTag::draw_image:
            return PipelineKind::image;
        case CanvasCommandTag::draw_text:
            return PipelineKind::text;
        case CanvasCommandTag::shadow:
            return PipelineKind::shadow;
        case CanvasCommandTag::blur:
            return PipelineKind::blur;
        default:
            return PipelineKind::solid;
    }
}

std::size_t CanvasFrame::cacheActionCount() const {
    return pipeline_actions.size() + path_cache.actions.size() + image_cache.actions.size() +
           layer_cache.actions.size() + resource_cache.actions.size() + effect_cache.actions.size() +
           glyph_cache.actions.size() + text_cache.actions.size();
}

void fingerprintRenderCommands(FramePlan& plan) {
    std::span<const RenderCommand> renders = plan.renderCommands();
    if (renders.size() > plan.scratch.command_fingerprints.size()) return;
    for (std::size_t i = 0; i < renders.size(); ++i) {
        RenderCommandFingerprints& prints = plan.scratch.command_fingerprints[i];
        prints.command = renderCommandFingerprint(renders[i], prints.resource);
        // Neighbours mostly share their layer state: its fingerprint is taken once per run.
        prints.state = i > 0 && sameLayerState(renders[i - 1], renders[i])
                           ? plan.scratch.command_fingerprints[i - 1].state
                           : renderLayerStateFingerprint(renders[i]);
    }
    plan.frame.command_fingerprints = std::span(plan.scratch.command_fingerprints).first(renders.size());
}

std::span<const RetainedCacheEntry> previousCacheEntries(const FramePlan& plan, RetainedCacheKind kind) {
    const CanvasFrameHistory* history = plan.history();
    if (history == nullptr || !history->has_previous_frame) return {};
    return history->cache(kind);
}

Result<CanvasFrame> planCanvasFrame(const CanvasFrameSource& source, const CanvasFrameRequest& request,
                                    const CanvasFrameStorage& storage) {
    FramePlan plan(source, request, storage, perThreadCanvasScratch<FramePlanScratch>());
    CanvasFrame& frame = plan.frame;
    frame.frame_tag = request.frame_tag;
    frame.frame_time = request.frame_time;
    frame.revision = source.revision;
    const bool any_budget = std::any_of(request.budgets.begin(), request.budgets.end(), [](auto v) { return v != 0; });
    frame.budgets = any_budget ? request.budgets : source.budgets;
    frame.image_resources = request.images.empty() ? source.images : request.images;
    frame.font_resources = request.fonts.empty() ? source.fonts : request.fonts;
    resolveSurface(source, request, frame);

    const CanvasFrameHistory* history = source.history;
    const bool has_previous = history != nullptr && history->has_previous_frame;
    plan.previous_overrides = !request.previous_overrides.empty() ? request.previous_overrides
                              : has_previous                      ? history->previousOverrides()
                                                                  : std::span<const RenderOverride>{};
    plan.override_count =
        TRY(sampleRenderOverrides(source.animations, request.overrides, request.frame_time, storage.overrides));
    frame.overrides = plan.currentOverrides();

    if (!request.force_full_repaint && !source.full_repaint_due && has_previous &&
        history->revision == source.revision && sameSurface(*history, frame) && plan.override_count == 0 &&
        plan.previous_overrides.empty()) {
        frame.unchanged = true;
        return frame;
    }

    TRY(walkDisplayList(plan));
    TRY(applyRenderOverrides(plan));
    fingerprintRenderCommands(plan);
    TRY(planBatchesAndPipelines(plan));
    TRY(planPathGeometry(plan));
    TRY(planImages(plan));
    TRY(planLayers(plan));
    TRY(planResources(plan));
    TRY(planVisualEffects(plan));
    TRY(planGlyphs(plan));
    TRY(planTextLayouts(plan));
    TRY(planDirtyRegion(plan));
    return frame;
}

}  // namespace kelvo
