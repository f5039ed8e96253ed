#pragma once

// What a view keeps of the last frame it presented, for the next plan to compare against: the
// planned display list's revision and where its identified commands were drawn, the surface size
// and scale, the retained-cache entries of every kind, the pipelines in use, the keyed GPU command
// list of the packet and the overrides. Only presenting a frame changes it; a view starts with it
// empty, and while it is empty every plan repaints in full.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "render/frame.hpp"

namespace kelvo {

template <std::size_t Capacity>
struct HistoryCache {
    std::array<RetainedCacheEntry, Capacity> entries{};
    std::uint32_t count = 0;

    [[nodiscard]] std::span<const RetainedCacheEntry> span() const { return {entries.data(), count}; }
};

struct CanvasFrameHistory {
    bool has_previous_frame = false;
    bool has_previous_packet = false;  // the keyed list below describes the presented packet
    std::uint64_t revision = 0;
    float width = 0;
    float height = 0;
    float scale = 0;

    std::array<CommandFootprint, kMaxCommandFootprints> footprints{};
    std::uint32_t footprint_count = 0;
    std::array<RenderOverride, kMaxRenderOverrides> overrides{};
    std::uint32_t override_count = 0;
    std::uint8_t pipeline_mask = 0;  // bit n: pipeline kind n in use

    HistoryCache<kMaxCacheEntries> resources;
    HistoryCache<kMaxCacheEntries> paths;
    HistoryCache<kMaxCacheEntries> images;
    HistoryCache<kMaxCacheEntries> layers;
    HistoryCache<kMaxCacheEntries> effects;
    HistoryCache<kMaxGlyphCacheEntries> glyphs;
    HistoryCache<kMaxCacheEntries> text_layouts;

    std::array<std::uint64_t, kMaxKeyedGpuCommands> keyed_keys{};
    std::array<std::uint64_t, kMaxKeyedGpuCommands> keyed_fingerprints{};
    std::array<Rect, kMaxKeyedGpuCommands> keyed_bounds{};
    std::uint32_t keyed_count = 0;

    [[nodiscard]] std::span<const RetainedCacheEntry> cache(RetainedCacheKind kind) const;
    [[nodiscard]] std::span<const CommandFootprint> previousFootprints() const {
        return {footprints.data(), footprint_count};
    }
    [[nodiscard]] std::span<const RenderOverride> previousOverrides() const {
        return {overrides.data(), override_count};
    }
    [[nodiscard]] KeyedGpuCommandArrays keyedCommands() const {
        return {{keyed_keys.data(), keyed_count},
                {keyed_fingerprints.data(), keyed_count},
                {keyed_bounds.data(), keyed_count}};
    }
};

// Makes a presented frame the one the next plan compares against. A frame that found nothing
// changed leaves the state as it is; any other frame replaces it whole, and its packet's keyed
// list is kept when the frame can be patched later (else the next change repaints by its change
// list).
void commitPresentedCanvasFrame(CanvasFrameHistory& history, const CanvasFrame& frame);

}  // namespace kelvo
