#include "runtime/canvas/canvas_frames.hpp"

#include <algorithm>
#include <array>

#include "base/bounded_writer.hpp"
#include "render/frame_text_fit.hpp"

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_stage_timer.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/runtime.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

Result<CanvasSlot*> canvasViewSlot(Runtime& runtime, std::size_t viewIndex) {
    if (viewIndex >= runtime.views.size()) return fail(Error::ViewNotFound);
    const RuntimeView& view = runtime.views[viewIndex];
    CanvasSlot* slot = view.kind == ViewKind::gpu_surface ? canvasSlotOf(runtime.canvasSlots, view) : nullptr;
    if (slot == nullptr) return fail(Error::UnsupportedViewKind);
    return slot;
}

constexpr std::string_view kTextCutScope = "canvas_frame";

// The display list of a view whose texts were cut short to fit its frame.
struct FittedListScratch {
    std::array<CanvasCommand, kMaxCanvasCommands> commands;
};

bool isFrameTextLimit(Error error) {
    return error == Error::TextLayoutLineListFull || error == Error::GlyphAtlasListFull;
}

CanvasTextFit fitFrameText(std::span<const CanvasCommand> commands, const CanvasFrameRequest& request,
                           const CanvasFrameStorage& storage) {
    return fitCanvasTextToFrame(commands, request.default_layout, {storage.text_lines.size(), storage.glyphs.size()},
                                perThreadCanvasScratch<FittedListScratch>().commands);
}

// Records the text cut short first, the widget at fault ("widget <id> in view <label>"), unless
// it is the cut recorded last: a view keeps its oversized text while its other widgets change.
// Answers whether it recorded.
bool noteTextCut(Runtime& runtime, const RuntimeView& view, CanvasFrameState& state, const CanvasTextFit& fit) {
    const std::uint64_t commandId = fit.commands[*fit.first_cut].draw_text.id;
    const bool recorded = state.textCut && state.textCutCommandId == commandId && state.textCutLimit == fit.limit;
    state.textCut = true;
    state.textCutCommandId = commandId;
    state.textCutLimit = fit.limit;
    if (recorded) return false;
    char buffer[128];  // room for the longest label: the log cuts the detail where a character ends
    BoundedWriter detail(buffer);
    detail.write("widget ");
    detail.writeUnsigned(commandId / 16);
    detail.write(" in view ");
    detail.write(view.label.view());
    recordDispatchErrorDetail(runtime, kTextCutScope, fit.limit, detail.text());
    return true;
}

Result<CanvasFrame> planForView(Runtime& runtime, std::size_t viewIndex, const CanvasFrameRequest& request,
                                const CanvasFrameStorage& storage, CanvasFramePurpose purpose) {
    CanvasSlot* slot = TRY(canvasViewSlot(runtime, viewIndex));
    const RuntimeView& view = runtime.views[viewIndex];
    CanvasFrameSource source;
    source.commands = slot->displayList.commands();
    source.revision = slot->displayList.revision;
    source.animations = slot->animations.entries.span();
    source.animation_dirty = slot->animations.dirty.span();
    source.history = &slot->frames.history;
    source.budgets = slot->frames.budgets;
    source.surface_width = view.gpuWidth;
    source.surface_height = view.gpuHeight;
    source.surface_scale = view.gpuScale;
    source.frame_width = view.frame.width;
    source.frame_height = view.frame.height;
    source.full_repaint_due = view.canvas.fullFrameDue;
    source.images = canvasImageResources(runtime);

    CanvasFrameRequest effective = request;
    effective.force_full_repaint = request.force_full_repaint || purpose == CanvasFramePurpose::screenshot;
    // One widget never stops its view: when its text asks more lines or glyphs of the frame than
    // it holds, the view is planned with that text cut short. While a view has such a text, its
    // lists are fitted before they are planned.
    CanvasFrameState& state = slot->frames;
    std::optional<CanvasTextFit> fit;
    if (state.textCut) fit = fitFrameText(source.commands, effective, storage);
    if (fit && fit->first_cut) {
        // The plan that would have failed warns as it would have.
        if (noteTextCut(runtime, view, state, *fit) && fit->limit == Error::TextLayoutLineListFull) {
            warnTextLayoutLineCapacity(storage.text_lines.size());
        }
        source.commands = fit->commands;
    } else if (fit) {
        state.textCut = false;
    }
    Result<CanvasFrame> planned = planCanvasFrame(source, effective, storage);
    if (!planned && !(fit && fit->first_cut) && isFrameTextLimit(planned.error())) {
        fit = fitFrameText(source.commands, effective, storage);
        if (fit->first_cut) {
            (void)noteTextCut(runtime, view, state, *fit);
            source.commands = fit->commands;
            planned = planCanvasFrame(source, effective, storage);
        }
    }
    CanvasFrame frame = TRY(std::move(planned));
    if (purpose == CanvasFramePurpose::present) recordCanvasFrame(slot->frames, frame);
    return frame;
}

}  // namespace

Result<CanvasFrame> planCanvasFrameForView(Runtime& runtime, std::size_t viewIndex, const CanvasFrameRequest& request,
                                           const CanvasFrameStorage& storage, CanvasFramePurpose purpose) {
    lapOnce(LaunchMark::first_plan_begin);
    const std::optional<std::uint64_t> start =
        purpose == CanvasFramePurpose::present ? startCanvasStage(runtime) : std::nullopt;
    Result<CanvasFrame> frame = planForView(runtime, viewIndex, request, storage, purpose);
    finishCanvasStage(runtime, FrameProfileStage::plan, start);
    lapOnce(LaunchMark::first_plan_done);
    return frame;
}

void recordCanvasFrame(CanvasFrameState& state, const CanvasFrame& frame) {
    state.report = canvasFrameReport(frame);
    state.reported = true;
}

Status commitPresentedCanvasFrameForView(Runtime& runtime, std::size_t viewIndex, const CanvasFrame& frame) {
    CanvasSlot* slot = TRY(canvasViewSlot(runtime, viewIndex));
    commitPresentedCanvasFrame(slot->frames.history, frame);
    runtime.views[viewIndex].canvas.fullFrameDue = false;
    return {};
}

CanvasFrameInfo canvasFrameInfoFromReport(const CanvasFrameReport& report) {
    const CanvasFrameDiagnostics& d = report.diagnostics;
    const CanvasFrameProfile& p = report.profile;
    CanvasFrameInfo info;
    info.requiresRender = d.requires_render;
    info.fullRepaint = d.full_repaint;
    info.batchCount = d.batches;
    info.encoderCommandCount = d.encoder_commands;
    info.encoderCacheActionCount = d.encoder_cache_actions;
    info.encoderBindPipelineCount = d.encoder_pipeline_binds;
    info.encoderDrawBatchCount = d.encoder_draws;
    const auto actions = [](const CacheActionCounts& counts, std::uint64_t& uploads, std::uint64_t& retains,
                            std::uint64_t& evicts) {
        uploads = counts.uploads;
        retains = counts.retains;
        evicts = counts.evicts;
    };
    info.pipelineCount = d.pipelines;
    actions(d.pipeline_actions, info.pipelineUploadCount, info.pipelineRetainCount, info.pipelineEvictCount);
    info.pathGeometryCount = d.path_geometries;
    info.pathGeometryVertexCount = d.path_vertices;
    info.pathGeometryIndexCount = d.path_indices;
    actions(d.path_actions, info.pathGeometryUploadCount, info.pathGeometryRetainCount, info.pathGeometryEvictCount);
    info.imageCount = d.images;
    actions(d.image_actions, info.imageUploadCount, info.imageRetainCount, info.imageEvictCount);
    info.layerCount = d.layers;
    info.layerOpacityCount = d.opacity_layers;
    info.layerClipCount = d.clip_layers;
    info.layerTransformCount = d.transform_layers;
    actions(d.layer_actions, info.layerUploadCount, info.layerRetainCount, info.layerEvictCount);
    info.resourceCount = d.resources;
    actions(d.resource_actions, info.resourceUploadCount, info.resourceRetainCount, info.resourceEvictCount);
    info.visualEffectCount = d.effects;
    info.visualEffectShadowCount = d.shadows;
    info.visualEffectBlurCount = d.blurs;
    actions(d.effect_actions, info.visualEffectUploadCount, info.visualEffectRetainCount, info.visualEffectEvictCount);
    info.glyphAtlasEntryCount = d.glyphs;
    actions(d.glyph_actions, info.glyphAtlasUploadCount, info.glyphAtlasRetainCount, info.glyphAtlasEvictCount);
    info.textLayoutCount = d.text_layouts;
    info.textLayoutLineCount = d.text_lines;
    actions(d.text_actions, info.textLayoutUploadCount, info.textLayoutRetainCount, info.textLayoutEvictCount);
    info.gpuPacketCommandCount = d.packet.commands;
    info.gpuPacketCacheActionCount = d.packet.cache_actions;
    info.gpuPacketCachedResourceCommandCount = d.packet.cached_resources;
    info.gpuPacketUnsupportedCommandCount = d.packet.unsupported;
    info.gpuPacketRepresentable = d.representable;
    info.changeCount = d.changes;
    info.budgetExceededCount =
        static_cast<std::uint64_t>(std::count(report.budget_status.begin(), report.budget_status.end(), true));
    info.budgetOk = info.budgetExceededCount == 0;
    if (d.dirty) info.dirtyBounds = RectF{d.dirty->x, d.dirty->y, d.dirty->width, d.dirty->height};
    info.profileWorkUnits = p.work_units;
    info.profileRisk = static_cast<CanvasFrameRisk>(p.risk);
    info.profileSurfaceArea = p.surface_area;
    info.profileDirtyArea = p.dirty_area;
    info.profileDirtyRatio = p.dirty_ratio;
    return info;
}

}  // namespace kelvo
