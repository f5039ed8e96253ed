#include <array>

#include "render/frame_plan.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

struct CanvasFrameStorageBlock {
    std::array<RenderCommand, kMaxRenderCommands> render_commands;
    std::array<RenderBatch, kMaxRenderBatches> batches;
    std::array<PipelineKind, kMaxPipelines> pipelines;
    std::array<PipelineCacheAction, kMaxPipelineActions> pipeline_actions;
    std::array<FrameResource, kMaxFrameRecords> resources;
    std::array<PathGeometry, kMaxFrameRecords> paths;
    std::array<FrameImage, kMaxFrameRecords> images;
    std::array<FrameLayer, kMaxFrameRecords> layers;
    std::array<VisualEffect, kMaxFrameRecords> effects;
    std::array<FrameGlyph, kMaxFrameGlyphs> glyphs;
    std::array<TextLayoutPlan, kMaxTextLayoutPlans> text_plans;
    std::array<TextLine, kMaxTextLayoutLines> text_lines;
    std::array<CanvasChange, kMaxFrameChanges> changes;
    std::array<RenderOverride, kMaxRenderOverrides> overrides;
    std::array<CommandFootprint, kMaxCommandFootprints> footprints;
    // Five kinds of 2,048 entries, then the text layout cache, then the glyph atlas cache.
    std::array<RetainedCacheEntry, 6 * kMaxCacheEntries + kMaxGlyphCacheEntries> cache_entries;
    std::array<RetainedCacheAction, 6 * kMaxCacheActions + kMaxGlyphCacheActions> cache_actions;

    CanvasFrameStorage lend() {
        CanvasFrameStorage storage;
        std::size_t entries = 0;
        std::size_t actions = 0;
        const auto cache = [&](std::size_t entry_count, std::size_t action_count) {
            RetainedCacheStorage lists{std::span(cache_entries).subspan(entries, entry_count),
                                       std::span(cache_actions).subspan(actions, action_count)};
            entries += entry_count;
            actions += action_count;
            return lists;
        };
        storage.render_commands = render_commands;
        storage.batches = batches;
        storage.pipelines = pipelines;
        storage.pipeline_actions = pipeline_actions;
        storage.resources = resources;
        storage.resource_cache = cache(kMaxCacheEntries, kMaxCacheActions);
        storage.paths = paths;
        storage.path_cache = cache(kMaxCacheEntries, kMaxCacheActions);
        storage.images = images;
        storage.image_cache = cache(kMaxCacheEntries, kMaxCacheActions);
        storage.layers = layers;
        storage.layer_cache = cache(kMaxCacheEntries, kMaxCacheActions);
        storage.effects = effects;
        storage.effect_cache = cache(kMaxCacheEntries, kMaxCacheActions);
        storage.text_plans = text_plans;
        storage.text_lines = text_lines;
        storage.text_cache = cache(kMaxCacheEntries, kMaxCacheActions);
        storage.glyphs = glyphs;
        storage.glyph_cache = cache(kMaxGlyphCacheEntries, kMaxGlyphCacheActions);
        storage.changes = changes;
        storage.overrides = overrides;
        storage.footprints = footprints;
        return storage;
    }
};

struct ThreadFrameStorage {
    CanvasFrameStorageBlock block;
    CanvasFrameStorage storage = block.lend();
};

}  // namespace

const CanvasFrameStorage& canvasFrameStorageForThread() { return perThreadCanvasScratch<ThreadFrameStorage>().storage; }

}  // namespace kelvo
