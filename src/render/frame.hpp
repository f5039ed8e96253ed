#pragma once

// A planned canvas frame: one view's display list turned into a flat render pass of render
// commands with their layer state, draw batches, path geometries, images, layers, visual effects,
// glyphs, text layout plans and pipelines; the retained-cache actions the frame needs against the
// previous presented frame (upload, retain, evict); the dirty region; and the 23 budget limits.
// The plan is bookkeeping only: the caller decides what to present.
//
// Coordinates: render command bounds, dirty rectangles and patch rectangles are in view points
// after each command's transform and clip ("device space" in the plan's own words); the scale to
// pixels is not applied. The frame refers into the storage its caller lent: it is valid until that
// storage is planned into again.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "raster/canvas_geometry.hpp"
#include "render/frame_animation.hpp"
#include "render/patch_region.hpp"
#include "render/render_command.hpp"
#include "render/render_resources.hpp"
#include "text/text_layout.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

inline constexpr std::size_t kCanvasBudgetCount = 23;
using CanvasBudgetLimits = std::array<std::uint64_t, kCanvasBudgetCount>;  // 0: no limit

// Capacities of the lists a frame tick lends to the plan.
inline constexpr std::size_t kMaxRenderCommands = 2048;
inline constexpr std::size_t kMaxRenderBatches = 2048;
inline constexpr std::size_t kMaxPipelines = 8;
inline constexpr std::size_t kMaxPipelineActions = 16;
inline constexpr std::size_t kMaxFrameRecords = 2048;  // resources, paths, images, layers, effects
inline constexpr std::size_t kMaxCacheEntries = 2048;
inline constexpr std::size_t kMaxCacheActions = 4096;
inline constexpr std::size_t kMaxFrameGlyphs = 8192;
inline constexpr std::size_t kMaxGlyphCacheEntries = 8192;
inline constexpr std::size_t kMaxGlyphCacheActions = 16384;
inline constexpr std::size_t kMaxTextLayoutPlans = 2048;
inline constexpr std::size_t kMaxTextLayoutLines = 8192;
inline constexpr std::size_t kMaxFrameChanges = 4097;
inline constexpr std::size_t kMaxRenderOverrides = 2048;
inline constexpr std::size_t kMaxCommandFootprints = 2048;

// The pipeline a render command draws with (3 bits): rect and line commands by paint, paths,
// images, text, shadows, blurs.
enum class PipelineKind : std::uint8_t { solid = 0, gradient = 1, image = 2, text = 3, path = 4, shadow = 5, blur = 6 };
inline constexpr std::size_t kPipelineKindCount = 8;

PipelineKind pipelineKindOf(const CanvasCommand& command);

// Consecutive render commands drawn with one pipeline in one layer state.
struct RenderBatch {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    float opacity = 1;
    Rect clip;
    bool has_clip = false;
    std::optional<Rect> bounds;  // the union of the commands' bounds that have area
    PipelineKind pipeline = PipelineKind::solid;
};

enum class CacheAction : std::uint8_t { upload = 0, retain = 1, evict = 2 };

struct PipelineCacheAction {
    PipelineKind pipeline = PipelineKind::solid;
    CacheAction action = CacheAction::upload;
};

enum class RetainedCacheKind : std::uint8_t {
    resource = 0,
    path = 1,
    image = 2,
    layer = 3,
    effect = 4,
    glyph = 5,
    text_layout = 6,
};
inline constexpr std::size_t kRetainedCacheKindCount = 7;

// A resource a frame needs on the GPU side; equal entries (kind, id, key words) are one resource.
struct RetainedCacheEntry {
    std::array<std::uint64_t, 4> key{};
    std::uint64_t id = 0;         // read when has_id is set
    std::uint64_t frame_tag = 0;  // glyph atlas and text layout caches: the frame that last used it
    std::uint64_t hash = 0;       // of kind, id and key, taken when the entry is classified
    RetainedCacheKind kind = RetainedCacheKind::resource;
    bool has_id = false;
};

inline constexpr std::uint32_t kNoPreviousSlot = 0xffffffffu;

struct RetainedCacheAction {
    RetainedCacheEntry entry;
    std::uint32_t previous_slot = kNoPreviousSlot;  // the entry's place in the previous frame's cache
    CacheAction action = CacheAction::upload;
};

struct RetainedCacheStorage {
    std::span<RetainedCacheEntry> entries;
    std::span<RetainedCacheAction> actions;
};

struct RetainedCacheLists {
    std::span<const RetainedCacheEntry> entries;
    std::span<const RetainedCacheAction> actions;
};

struct PathGeometry {
    std::uint64_t command_index = 0;
    std::optional<std::uint64_t> id;
    std::uint64_t elements = 0;
    std::uint64_t subpaths = 0;
    std::uint64_t line_segments = 0;  // line_to and close
    std::uint64_t quadratic_curves = 0;
    std::uint64_t cubic_curves = 0;
    std::uint64_t flattened_segments = 0;
    std::uint64_t vertices = 0;
    std::uint64_t indices = 0;
    std::uint64_t key = 0;
    Rect bounds;
    float stroke_width = 0;
    bool stroke = false;
};

struct FrameImage {
    std::uint64_t command_index = 0;
    std::uint64_t image_id = 0;
    std::uint64_t fingerprint = 0;
    bool found = false;  // the image is in the frame's image list
    std::uint64_t width = 0;
    std::uint64_t height = 0;
};

// Consecutive render commands drawn in one layer state other than the plain one.
struct FrameLayer {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    std::optional<std::uint64_t> id;
    std::uint64_t fingerprint = 0;
    std::optional<Rect> bounds;
    float opacity = 1;
    Rect clip;
    bool has_clip = false;
    Affine transform;
};

enum class FrameResourceKind : std::uint8_t { gradient = 0, image = 1, text = 2, shadow = 3 };

struct FrameResource {
    std::uint64_t command_index = 0;
    std::uint64_t fingerprint = 0;
    FrameResourceKind kind = FrameResourceKind::gradient;
};

// A shadow or blur of the display list.
struct VisualEffect {
    std::uint64_t command_index = 0;  // in the display list
    std::uint64_t key = 0;
    Rect rect;
    float extent = 0;        // how far it reaches past its rectangle: blur + |spread|, or the radius
    std::uint8_t flags = 0;  // bit 0: blur (else shadow)
};

struct FrameGlyph {
    std::uint64_t font = 0;
    std::uint32_t glyph = 0;
    float size = 0;
    std::uint8_t bx = 0;  // subpixel buckets 0..3
    std::uint8_t by = 0;
    std::uint32_t command_index = 0;  // in the display list
    std::uint32_t glyph_index = 0;    // within its run
};

struct TextLayoutPlan {
    std::uint64_t command_index = 0;  // in the display list
    std::uint64_t first_line = 0;     // in the frame's line list
    std::uint64_t line_count = 0;
    std::uint64_t fingerprint = 0;
    std::uint64_t key_hash = 0;
    std::optional<Rect> bounds;
};

enum class CanvasChangeKind : std::uint8_t { added = 0, removed = 1, changed = 2 };

struct CanvasChange {
    std::uint64_t id = 0;
    std::optional<std::uint64_t> old_index;
    std::optional<std::uint64_t> new_index;
    std::optional<Rect> bounds;
    CanvasChangeKind kind = CanvasChangeKind::added;
};

// Where a drawing command with a command id was drawn: its place in the display list and its
// bounds after transform, clip and overrides (none when it was not drawn).
struct CommandFootprint {
    std::uint64_t id = 0;
    std::uint32_t index = 0;
    std::optional<Rect> bounds;
};

struct CanvasFrameRequest {
    std::uint64_t frame_tag = 0;             // the caller's frame number: ages glyph and text layout entries
    std::uint64_t frame_time = 0;            // ns, in the clock of animation starts and input timestamps
    CanvasBudgetLimits budgets{};            // all 0: the view's own limits
    std::span<const ReferenceImage> images;  // empty: the view's registered images
    std::span<const ReferenceFont> fonts;    // empty: the view's registered fonts
    std::uint64_t glyph_retention = 0;       // frames an unused glyph atlas entry is kept
    std::uint64_t text_layout_retention = 0;
    TextLayoutBox default_layout;                        // for draw_text commands without a layout box of their own
    std::span<const RenderOverride> previous_overrides;  // empty: the view's
    std::span<const RenderOverride> overrides;           // merged over the sampled animations
    float width = 0;                                     // not greater than 0: the view's surface, else its frame
    float height = 0;
    float scale = 0;  // device pixels per point; not greater than 0: the view's
    bool force_full_repaint = false;
};

// The lists the caller lends to the plan; their sizes are the capacities.
struct CanvasFrameStorage {
    std::span<RenderCommand> render_commands;
    std::span<RenderBatch> batches;
    std::span<PipelineKind> pipelines;
    std::span<PipelineCacheAction> pipeline_actions;
    std::span<FrameResource> resources;
    RetainedCacheStorage resource_cache;
    std::span<PathGeometry> paths;
    RetainedCacheStorage path_cache;
    std::span<FrameImage> images;
    RetainedCacheStorage image_cache;
    std::span<FrameLayer> layers;
    RetainedCacheStorage layer_cache;
    std::span<VisualEffect> effects;
    RetainedCacheStorage effect_cache;
    std::span<FrameGlyph> glyphs;
    RetainedCacheStorage glyph_cache;
    std::span<TextLayoutPlan> text_plans;
    std::span<TextLine> text_lines;
    RetainedCacheStorage text_cache;
    std::span<CanvasChange> changes;
    std::span<RenderOverride> overrides;
    std::span<CommandFootprint> footprints;
};

struct CanvasFrame {
    CanvasBudgetLimits budgets{};
    std::uint64_t frame_tag = 0;
    std::uint64_t frame_time = 0;
    std::uint64_t revision = 0;  // of the display list planned
    // Nothing changed since the previous frame: no commands, no dirty region, no repaint. The
    // previous frame's state stays as it is when this frame is presented.
    bool unchanged = false;

    std::span<const RenderCommand> render_commands;
    std::span<const RenderBatch> batches;
    std::optional<Rect> content_bounds;
    std::span<const PipelineKind> pipelines;
    std::span<const PipelineCacheAction> pipeline_actions;
    std::span<const FrameResource> resources;
    RetainedCacheLists resource_cache;
    std::span<const PathGeometry> paths;
    RetainedCacheLists path_cache;
    std::span<const FrameImage> images;
    RetainedCacheLists image_cache;
    std::span<const FrameLayer> layers;
    RetainedCacheLists layer_cache;
    std::span<const VisualEffect> effects;
    RetainedCacheLists effect_cache;
    std::span<const FrameGlyph> glyphs;
    RetainedCacheLists glyph_cache;
    std::span<const TextLayoutPlan> text_plans;
    std::span<const TextLine> text_lines;
    RetainedCacheLists text_cache;
    std::span<const CanvasChange> changes;
    std::span<const RenderOverride> overrides;  // this frame's, sampled and requested
    std::span<const CommandFootprint> footprints;

    // The fingerprints of each render command (empty when there were too many to keep).
    std::span<const RenderCommandFingerprints> command_fingerprints;
    // The keyed GPU commands of this frame's packet, when the plan built them (none: not yet built).
    std::optional<std::span<const KeyedGpuCommand>> packet_keys;
    bool packet_patchable = true;  // read when packet_keys is present: false when no patch can be made

    std::span<const ReferenceImage> image_resources;
    std::span<const ReferenceFont> font_resources;

    std::optional<Rect> dirty;
    std::array<Rect, kPatchRectCapacity> patch_rects{};
    std::uint32_t patch_count = 0;  // 0 unless the dirty region is more than one rectangle

    float scale = 1;
    float width = 0;
    float height = 0;
    bool full_repaint = false;

    // The eight retained-cache action lists, pipelines first.
    [[nodiscard]] std::size_t cacheActionCount() const;
};

}  // namespace kelvo
