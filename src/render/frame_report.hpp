#pragma once

// What the rest of the system reports about a planned frame: every counter (diagnostics), what a
// GPU packet for it would hold, which of its 23 budgets it exceeds, and a cost profile with a risk
// grade. Pure functions of the frame.

#include <array>
#include <cstdint>
#include <optional>

#include "render/frame.hpp"

namespace kelvo {

// The budgets in the order of a frame's 23 limits, each compared with one diagnostics counter.
enum class CanvasBudget : std::uint8_t {
    max_commands,
    max_batches,
    max_encoder_commands,
    max_pipelines,
    max_pipeline_uploads,
    max_path_geometries,
    max_path_uploads,
    max_images,
    max_image_uploads,
    max_layers,
    max_layer_uploads,
    max_resources,
    max_resource_uploads,
    max_effects,
    max_effect_uploads,
    max_glyphs,
    max_glyph_uploads,
    max_glyph_evicts,
    max_text_layouts,
    max_text_lines,
    max_text_uploads,
    max_text_evicts,
    max_changes,
};

struct CacheActionCounts {
    std::uint64_t uploads = 0;
    std::uint64_t retains = 0;
    std::uint64_t evicts = 0;
};

// Mode of a GPU packet: 0 nothing to draw, 1 a dirty patch, 2 a full repaint.
struct GpuPacketSummary {
    std::uint64_t commands = 0;
    std::uint64_t cache_actions = 0;
    std::uint64_t cached_resources = 0;
    std::uint64_t unsupported = 0;
    std::uint64_t mode = 0;
};

struct CanvasFrameDiagnostics {
    std::uint64_t frame_tag = 0;
    std::uint64_t commands = 0;
    std::uint64_t batches = 0;
    std::uint64_t encoder_commands = 0;  // when the frame renders: cache actions + batches + dirty + binds + 2
    std::uint64_t encoder_cache_actions = 0;
    std::uint64_t encoder_pipeline_binds = 0;
    std::uint64_t encoder_draws = 0;
    std::uint64_t pipelines = 0;
    CacheActionCounts pipeline_actions;
    std::uint64_t path_geometries = 0;
    std::uint64_t path_vertices = 0;
    std::uint64_t path_indices = 0;
    CacheActionCounts path_actions;
    std::uint64_t images = 0;
    CacheActionCounts image_actions;
    std::uint64_t layers = 0;
    std::uint64_t opacity_layers = 0;
    std::uint64_t clip_layers = 0;
    std::uint64_t transform_layers = 0;
    CacheActionCounts layer_actions;
    std::uint64_t resources = 0;
    CacheActionCounts resource_actions;
    std::uint64_t effects = 0;
    std::uint64_t shadows = 0;
    std::uint64_t blurs = 0;
    CacheActionCounts effect_actions;
    std::uint64_t glyphs = 0;
    CacheActionCounts glyph_actions;
    std::uint64_t text_layouts = 0;
    std::uint64_t text_lines = 0;
    CacheActionCounts text_actions;
    GpuPacketSummary packet;
    std::uint64_t changes = 0;
    CanvasBudgetLimits budgets{};
    std::optional<Rect> dirty;
    bool representable = false;  // the packet holds no unsupported command
    bool full_repaint = false;
    bool requires_render = false;  // a full repaint or a dirty rectangle
};

using CanvasBudgetStatus = std::array<bool, kCanvasBudgetCount>;

enum class CanvasFrameRiskGrade : std::uint8_t { none = 0, low = 1, medium = 2, high = 3 };

struct CanvasFrameProfile {
    std::uint64_t frame_tag = 0;
    std::uint64_t commands = 0;
    std::uint64_t batches = 0;
    std::uint64_t encoder_commands = 0;
    std::uint64_t cache_actions = 0;
    std::uint64_t uploads = 0;
    std::uint64_t retains = 0;
    std::uint64_t evicts = 0;
    std::uint64_t path_vertices = 0;
    std::uint64_t path_indices = 0;
    std::uint64_t images = 0;
    std::uint64_t layers = 0;
    std::uint64_t effects = 0;
    std::uint64_t glyphs = 0;
    std::uint64_t text_lines = 0;
    std::uint64_t work_units = 0;
    std::optional<Rect> dirty;
    float surface_area = 0;
    float dirty_area = 0;
    float dirty_ratio = 0;
    bool requires_render = false;
    bool full_repaint = false;
    CanvasFrameRiskGrade risk = CanvasFrameRiskGrade::none;
};

// Everything a view records of its last planned frame.
struct CanvasFrameReport {
    CanvasFrameDiagnostics diagnostics;
    CanvasBudgetStatus budget_status{};
    CanvasFrameProfile profile;
};

GpuPacketSummary gpuPacketSummary(const CanvasFrame& frame);
CanvasFrameDiagnostics diagnosticsWithoutBudgetStatus(const CanvasFrame& frame);
// Flag i is set when limit i is not 0 and its counter is greater than the limit.
CanvasBudgetStatus budgetStatus(const CanvasFrame& frame);
CanvasFrameProfile canvasFrameProfile(const CanvasFrame& frame);
CanvasFrameReport canvasFrameReport(const CanvasFrame& frame);

// A measured value against a budget where 0 means no budget (so nothing is ever exceeded).
struct BudgetCheck {
    bool exceeded = false;
    bool ok = true;
};
BudgetCheck checkBudget(std::uint64_t budget, std::uint64_t measured);

}  // namespace kelvo
