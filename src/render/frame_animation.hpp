#pragma once

// Widget animations as frame planning samples them: each animation moves the opacity, transform
// or rotation of the render commands whose command id equals its key, and is sampled at the
// frame's time into a render override. Animation starts and frame times are in one clock: the
// timestamps the platform sends with input and frames. A start after the frame time samples at
// progress 0 (the caret's blink starts deliberately in the future).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/widget_animation.hpp"

namespace kelvo {

// What an animation does to the render commands with its key in one frame.
struct RenderOverride {
    std::uint64_t key = 0;
    float opacity = 0;
    bool has_opacity = false;
    Affine transform;
    bool has_transform = false;
};

// Progress of an animation at `frame_ns`, 0..1, before easing.
float animationProgress(const WidgetAnimation& animation, std::uint64_t frame_ns);

// The eased value of progress `t` (clamped to 0..1) along a curve: linear, smoothstep, ease-out
// cubic, or a damped spring (mass at least 0.001, stiffness at least 1, damping at least 0.001).
float easeAnimationProgress(AnimationEasing easing, float mass, float stiffness, float damping, float t);

// The eased value of progress `t` along the animation's curve.
float animationEased(const WidgetAnimation& animation, float t);

// The override an animation gives at `frame_ns`: none unless both of its opacities, both of its
// transforms or both of its angles are present. The transform is the interpolated transform after
// the rotation about the pivot (the rotation applied first).
std::optional<RenderOverride> sampleAnimation(const WidgetAnimation& animation, std::uint64_t frame_ns);

// Samples every animation with a key into `out`, then lets each of `requested` replace the override
// with its key or be appended: the number written, or RenderOverrideListFull.
Result<std::size_t> sampleRenderOverrides(std::span<const WidgetAnimation> animations,
                                          std::span<const RenderOverride> requested, std::uint64_t frame_ns,
                                          std::span<RenderOverride> out);

}  // namespace kelvo
