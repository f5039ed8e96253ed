#pragma once

// Private to src/render: the steps of planning a frame over one record of work in progress.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "render/frame_plan.hpp"
#include "render/hash_index.hpp"

namespace kelvo {

inline constexpr std::uint32_t kNotDrawn = 0xffffffffu;
inline constexpr std::size_t kOverrideIndexSlots = 4096;
inline constexpr std::size_t kDiffIndexSlots = 4096;
inline constexpr std::size_t kGlyphDedupeSlots = 16384;
inline constexpr std::size_t kImageFingerprintMemo = 64;

// One previous command id with the union of its bounds (a list may repeat an id).
struct PreviousFootprint {
    std::uint64_t id = 0;
    std::uint32_t index = 0;
    std::optional<Rect> bounds;
    bool present_now = false;
};

// Per-thread working memory of the plan, taken once.
struct FramePlanScratch {
    std::array<std::uint32_t, kMaxCommandFootprints> footprint_render;  // the footprint's render command
    std::array<std::uint32_t, kOverrideIndexSlots> current_override_slots;
    std::array<std::uint32_t, kOverrideIndexSlots> previous_override_slots;
    std::array<std::uint32_t, kGlyphDedupeSlots> glyph_slots;
    std::array<PreviousFootprint, kMaxCommandFootprints> previous_footprints;
    std::array<std::uint32_t, kDiffIndexSlots> diff_slots;
    std::array<std::uint32_t, kMaxCommandFootprints> footprint_match;
    std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
    std::array<RenderCommandFingerprints, kMaxRenderCommands> command_fingerprints;
    // The pixel fingerprint of each of the frame's first images, taken once per plan.
    std::array<std::uint64_t, kImageFingerprintMemo> image_fingerprints;
    std::array<bool, kImageFingerprintMemo> image_fingerprinted;
};

struct FramePlan {
    FramePlan(const CanvasFrameSource& source_, const CanvasFrameRequest& request_, const CanvasFrameStorage& storage_,
              FramePlanScratch& scratch_)
        : source(source_), request(request_), storage(storage_), scratch(scratch_) {}

    const CanvasFrameSource& source;
    const CanvasFrameRequest& request;
    const CanvasFrameStorage& storage;
    FramePlanScratch& scratch;
    CanvasFrame frame;

    std::span<const RenderOverride> previous_overrides;
    std::size_t override_count = 0;
    std::size_t render_count = 0;
    std::size_t footprint_count = 0;
    bool anonymous_with_bounds = false;  // a command without an id has bounds
    std::optional<Rect> override_bounds;

    [[nodiscard]] std::span<RenderCommand> renderCommands() const {
        return storage.render_commands.first(render_count);
    }
    [[nodiscard]] std::span<const RenderOverride> currentOverrides() const {
        return storage.overrides.first(override_count);
    }
    [[nodiscard]] const CanvasFrameHistory* history() const { return source.history; }
};

// Same opacity, clip presence and rectangle, and transform, compared exactly.
bool sameLayerState(const RenderCommand& a, const RenderCommand& b);

// The walk: render commands with their layer state and footprints.
Status walkDisplayList(FramePlan& plan);
// Override bounds, then the overrides applied to the render commands and the content bounds.
Status applyRenderOverrides(FramePlan& plan);
// The fingerprint of every render command, taken once for the layers and the packet keys.
void fingerprintRenderCommands(FramePlan& plan);
Status planBatchesAndPipelines(FramePlan& plan);
Status planPathGeometry(FramePlan& plan);
Status planImages(FramePlan& plan);
Status planLayers(FramePlan& plan);
Status planResources(FramePlan& plan);
Status planVisualEffects(FramePlan& plan);
Status planGlyphs(FramePlan& plan);
Status planTextLayouts(FramePlan& plan);
Status planDirtyRegion(FramePlan& plan);

// The previous frame's entries of a cache kind (none without a previous frame).
std::span<const RetainedCacheEntry> previousCacheEntries(const FramePlan& plan, RetainedCacheKind kind);

}  // namespace kelvo
