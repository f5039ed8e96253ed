#include <algorithm>

#include "render/frame_history.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

template <std::size_t Capacity>
void keep(HistoryCache<Capacity>& cache, RetainedCacheLists lists) {
    cache.count = static_cast<std::uint32_t>(std::min(lists.entries.size(), Capacity));
    std::copy_n(lists.entries.begin(), cache.count, cache.entries.begin());
}

struct CommitScratch {
    std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
};

}  // namespace

std::span<const RetainedCacheEntry> CanvasFrameHistory::cache(RetainedCacheKind kind) const {
    switch (kind) {
        case RetainedCacheKind::resource:
            return resources.span();
        case RetainedCacheKind::path:
            return paths.span();
        case RetainedCacheKind::image:
            return images.span();
        case RetainedCacheKind::layer:
            return layers.span();
        case RetainedCacheKind::effect:
            return effects.span();
        case RetainedCacheKind::glyph:
            return glyphs.span();
        case RetainedCacheKind::text_layout:
            return text_layouts.span();
    }
    return {};
}

void commitPresentedCanvasFrame(CanvasFrameHistory& history, const CanvasFrame& frame) {
    if (frame.unchanged) return;
    history.has_previous_frame = true;
    history.revision = frame.revision;
    history.width = frame.width;
    history.height = frame.height;
    history.scale = frame.scale;

    history.footprint_count = static_cast<std::uint32_t>(std::min(frame.footprints.size(), kMaxCommandFootprints));
    std::copy_n(frame.footprints.begin(), history.footprint_count, history.footprints.begin());
    history.override_count = static_cast<std::uint32_t>(std::min(frame.overrides.size(), kMaxRenderOverrides));
    std::copy_n(frame.overrides.begin(), history.override_count, history.overrides.begin());
    history.pipeline_mask = 0;
    for (PipelineKind kind : frame.pipelines) {
        history.pipeline_mask |= static_cast<std::uint8_t>(1u << (static_cast<unsigned>(kind) & 7u));
    }
    keep(history.resources, frame.resource_cache);
    keep(history.paths, frame.path_cache);
    keep(history.images, frame.image_cache);
    keep(history.layers, frame.layer_cache);
    keep(history.effects, frame.effect_cache);
    keep(history.glyphs, frame.glyph_cache);
    keep(history.text_layouts, frame.text_cache);

    std::span<const KeyedGpuCommand> keyed;
    if (frame.packet_keys) {
        history.has_previous_packet = frame.packet_patchable;
        keyed = *frame.packet_keys;
    } else {
        auto& scratch = perThreadCanvasScratch<CommitScratch>();
        std::optional<std::size_t> count =
            gatherCanvasPacketCurrentCommandsFromPlan(frame.render_commands, frame.width, frame.height,
                                                      frame.content_bounds, scratch.keyed, frame.command_fingerprints);
        history.has_previous_packet = count.has_value();
        keyed = std::span<const KeyedGpuCommand>(scratch.keyed).first(count.value_or(0));
    }
    history.keyed_count = static_cast<std::uint32_t>(std::min(keyed.size(), kMaxKeyedGpuCommands));
    for (std::size_t i = 0; i < history.keyed_count; ++i) {
        history.keyed_keys[i] = keyed[i].key;
        history.keyed_fingerprints[i] = keyed[i].fingerprint;
        history.keyed_bounds[i] = keyed[i].bounds;
    }
}

}  // namespace kelvo
