#pragma once

// Render commands: the drawing commands of a display list, each with the layer state it is drawn
// in (opacity, clip, transform) resolved by walking the list's clip, opacity and transform
// commands. Frame planning and the reference renderer walk display lists the same way.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

struct RenderCommand {
    CanvasCommand command;  // a drawing command (tags 5 to 14)
    std::optional<std::uint64_t> id;
    float opacity = 1;  // the product of the opacity stack, 0..1
    Rect clip;          // device space, read when has_clip is set
    bool has_clip = false;
    Affine transform;
    Rect geometry;  // the command's own bounds, before the transform
    Rect bounds;    // device space: after the transform and the clip
};

inline constexpr std::size_t kRenderLayerStackDepth = 32;

// The layer state while a display list is walked. Transforms have no stack: a transform command
// composes into the current transform for the rest of the list.
struct RenderLayerState {
    std::array<Rect, kRenderLayerStackDepth> saved_clips{};
    std::array<bool, kRenderLayerStackDepth> saved_has_clip{};
    std::array<float, kRenderLayerStackDepth> saved_opacities{};
    std::size_t clip_depth = 0;
    std::size_t opacity_depth = 0;
    Rect clip;
    bool has_clip = false;
    float opacity = 1;
    Affine transform;
};

// The axis-aligned box of the four corners of `rect` (normalised first) mapped through `transform`.
Rect transformedBox(const Affine& transform, Rect rect);

// The overlap of two normalised rectangles; a rectangle of size 0 when they do not overlap.
Rect intersectRect(Rect a, Rect b);

// Applies a layer command (tags 0 to 4): RenderStackOverflow past 32 saved clips or opacities,
// RenderStackUnderflow for a pop with nothing saved. Other tags change nothing.
Status applyRenderLayerCommand(RenderLayerState& state, const CanvasCommand& command);

// The render command of a drawing command in `state`: none for a layer command, under an opacity
// of 0 or less, or when its bounds after the transform and the clip have no area.
std::optional<RenderCommand> renderCommandInLayer(const RenderLayerState& state, const CanvasCommand& command);

// Walks a display list from `base` (the identity for a view's own coordinates, a scale for device
// pixels) and writes its render commands in order into `out`; the number written, the stack
// errors, or RenderListFull.
Result<std::size_t> buildRenderCommands(std::span<const CanvasCommand> commands, const Affine& base,
                                        std::span<RenderCommand> out);

}  // namespace kelvo
