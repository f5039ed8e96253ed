#include "render/frame_report.hpp"

#include <cmath>

#include "render/gpu_command.hpp"

namespace kelvo {

namespace {

CacheActionCounts countActions(std::span<const RetainedCacheAction> actions) {
    CacheActionCounts counts;
    for (const RetainedCacheAction& action : actions) {
        switch (action.action) {
            case CacheAction::upload:
                ++counts.uploads;
                break;
            case CacheAction::retain:
                ++counts.retains;
                break;
            case CacheAction::evict:
                ++counts.evicts;
                break;
        }
    }
    return counts;
}

CacheActionCounts countPipelineActions(std::span<const PipelineCacheAction> actions) {
    CacheActionCounts counts;
    for (const PipelineCacheAction& action : actions) {
        counts.uploads += action.action == CacheAction::upload ? 1 : 0;
        counts.retains += action.action == CacheAction::retain ? 1 : 0;
        counts.evicts += action.action == CacheAction::evict ? 1 : 0;
    }
    return counts;
}

bool requiresRender(const CanvasFrame& frame) { return frame.full_repaint || frame.dirty.has_value(); }

std::array<const CacheActionCounts*, 8> allActionCounts(const CanvasFrameDiagnostics& d) {
    return {&d.pipeline_actions, &d.path_actions,   &d.image_actions, &d.layer_actions,
            &d.resource_actions, &d.effect_actions, &d.glyph_actions, &d.text_actions};
}

}  // namespace

BudgetCheck checkBudget(std::uint64_t budget, std::uint64_t measured) {
    const bool exceeded = budget != 0 && measured > budget;
    return {exceeded, !exceeded};
}

GpuPacketSummary gpuPacketSummary(const CanvasFrame& frame) {
    GpuPacketSummary summary;
    if (!requiresRender(frame)) return summary;
    summary.mode = frame.full_repaint ? 2 : 1;
    summary.cache_actions = frame.cacheActionCount();
    std::optional<Rect> dirty;
    if (frame.dirty) {
        dirty = normalizeRect(*frame.dirty);
        if (!(std::fmin(dirty->width, dirty->height) > 0.0f)) return summary;
    }
    for (std::size_t i = 0; i < frame.render_commands.size(); ++i) {
        const RenderCommand& render = frame.render_commands[i];
        if (dirty) {
            const Rect bounds = normalizeRect(render.bounds);
            if (!hasArea(bounds) || !hasArea(intersectRect(bounds, *dirty))) continue;
        }
        const CanvasGpuCommand gpu = canvasGpuCommandFromRenderCommand(render, i);
        ++summary.commands;
        summary.cached_resources += gpu.cached_resource ? 1 : 0;
        summary.unsupported += gpu.kind == CanvasGpuCommandKind::layer ? 1 : 0;
    }
    return summary;
}

CanvasFrameDiagnostics diagnosticsWithoutBudgetStatus(const CanvasFrame& frame) {
    CanvasFrameDiagnostics d;
    d.frame_tag = frame.frame_tag;
    d.commands = frame.render_commands.size();
    d.batches = frame.batches.size();
    d.full_repaint = frame.full_repaint;
    d.requires_render = requiresRender(frame);
    d.dirty = frame.dirty;
    if (d.requires_render) {
        d.encoder_cache_actions = frame.cacheActionCount();
        for (std::size_t i = 0; i < frame.batches.size(); ++i) {
            if (i == 0 || frame.batches[i].pipeline != frame.batches[i - 1].pipeline) ++d.encoder_pipeline_binds;
        }
        d.encoder_draws = frame.batches.size();
        d.encoder_commands = d.encoder_cache_actions + d.batches + (frame.dirty ? 1 : 0) + d.encoder_pipeline_binds + 2;
    }
    d.pipelines = frame.pipelines.size();
    d.pipeline_actions = countPipelineActions(frame.pipeline_actions);
    d.path_geometries = frame.paths.size();
    for (const PathGeometry& path : frame.paths) {
        d.path_vertices += path.vertices;
        d.path_indices += path.indices;
    }
    d.path_actions = countActions(frame.path_cache.actions);
    d.images = frame.images.size();
    d.image_actions = countActions(frame.image_cache.actions);
    d.layers = frame.layers.size();
    for (const FrameLayer& layer : frame.layers) {
        d.opacity_layers += layer.opacity != 1.0f ? 1 : 0;
        d.clip_layers += layer.has_clip ? 1 : 0;
        d.transform_layers += isIdentityAffine(layer.transform) ? 0 : 1;
    }
    d.layer_actions = countActions(frame.layer_cache.actions);
    d.resources = frame.resources.size();
    d.resource_actions = countActions(frame.resource_cache.actions);
    d.effects = frame.effects.size();
    for (const VisualEffect& effect : frame.effects) {
        d.blurs += effect.flags & 1u;
        d.shadows += (effect.flags & 1u) ^ 1u;
    }
    d.effect_actions = countActions(frame.effect_cache.actions);
    d.glyphs = frame.glyphs.size();
    d.glyph_actions = countActions(frame.glyph_cache.actions);
    d.text_layouts = frame.text_plans.size();
    for (const TextLayoutPlan& plan : frame.text_plans) d.text_lines += plan.line_count;
    d.text_actions = countActions(frame.text_cache.actions);
    d.packet = gpuPacketSummary(frame);
    d.representable = d.packet.unsupported == 0;
    d.changes = frame.changes.size();
    d.budgets = frame.budgets;
    return d;
}

namespace {

CanvasBudgetStatus budgetStatusOf(const CanvasFrame& frame, const CanvasFrameDiagnostics& d) {
    const std::array<std::uint64_t, kCanvasBudgetCount> counters = {
        d.commands,
        d.batches,
        d.encoder_commands,
        d.pipelines,
        d.pipeline_actions.uploads,
        d.path_geometries,
        d.path_actions.uploads,
        d.images,
        d.image_actions.uploads,
        d.layers,
        d.layer_actions.uploads,
        d.resources,
        d.resource_actions.uploads,
        d.effects,
        d.effect_actions.uploads,
        d.glyphs,
        d.glyph_actions.uploads,
        d.glyph_actions.evicts,
        d.text_layouts,
        d.text_lines,
        d.text_actions.uploads,
        d.text_actions.evicts,
        d.changes,
    };
    CanvasBudgetStatus status{};
    for (std::size_t i = 0; i < kCanvasBudgetCount; ++i)
        status[i] = checkBudget(frame.budgets[i], counters[i]).exceeded;
    return status;
}

CanvasFrameProfile profileOf(const CanvasFrame& frame, const CanvasFrameDiagnostics& d) {
    CanvasFrameProfile p;
    p.frame_tag = frame.frame_tag;
    p.commands = d.commands;
    p.batches = d.batches;
    p.encoder_commands = d.encoder_commands;
    for (const CacheActionCounts* counts : allActionCounts(d)) {
        p.uploads += counts->uploads;
        p.retains += counts->retains;
        p.evicts += counts->evicts;
    }
    p.cache_actions = p.uploads + p.retains + p.evicts;
    p.path_vertices = d.path_vertices;
    p.path_indices = d.path_indices;
    p.images = d.images;
    p.layers = d.layers;
    p.effects = d.effects;
    p.glyphs = d.glyphs;
    p.text_lines = d.text_lines;
    p.dirty = frame.dirty;
    p.requires_render = d.requires_render;
    p.full_repaint = frame.full_repaint;
    p.surface_area = std::fmax(frame.width, 0.0f) * std::fmax(frame.height, 0.0f);
    p.dirty_area = frame.dirty ? std::fabs(frame.dirty->width) * std::fabs(frame.dirty->height) : 0.0f;
    if (p.surface_area > 0.0f) {
        p.dirty_ratio = std::fmin(std::fmax(p.dirty_area / p.surface_area, 0.0f), 1.0f);
    } else {
        p.dirty_ratio = p.dirty_area > 0.0f ? 1.0f : 0.0f;
    }
    if (!p.requires_render) return p;

    p.work_units = p.commands + p.encoder_commands + 4 * p.images + 2 * (p.glyphs + p.batches + p.text_lines) +
                   12 * p.uploads + p.path_vertices / 8 + p.path_indices / 12 + 20 * d.shadows + 24 * d.blurs +
                   p.retains + 3 * (p.evicts + p.layers);
    if (p.full_repaint || p.dirty_ratio >= 0.75f) {
        p.work_units += 25;
        p.risk = CanvasFrameRiskGrade::high;
        return p;
    }
    if (p.dirty_ratio >= 0.25f) p.work_units += 10;
    p.risk = CanvasFrameRiskGrade::high;
    if (p.uploads < 17 && p.work_units < 160 && (d.blurs == 0 || p.dirty_ratio < 0.25f)) {
        p.risk = CanvasFrameRiskGrade::medium;
        if (p.dirty_ratio < 0.25f && p.work_units < 80 && p.uploads < 5 && p.effects == 0) {
            p.risk = CanvasFrameRiskGrade::low;
        }
    }
    return p;
}

}  // namespace

CanvasBudgetStatus budgetStatus(const CanvasFrame& frame) {
    return budgetStatusOf(frame, diagnosticsWithoutBudgetStatus(frame));
}

CanvasFrameProfile canvasFrameProfile(const CanvasFrame& frame) {
    return profileOf(frame, diagnosticsWithoutBudgetStatus(frame));
}

CanvasFrameReport canvasFrameReport(const CanvasFrame& frame) {
    CanvasFrameReport report;
    report.diagnostics = diagnosticsWithoutBudgetStatus(frame);
    report.budget_status = budgetStatusOf(frame, report.diagnostics);
    report.profile = profileOf(frame, report.diagnostics);
    return report;
}

}  // namespace kelvo
