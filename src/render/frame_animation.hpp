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

namespace kelvo {

// Easing codes (2 bits): 0 linear, 1 smoothstep, 2 ease-out cubic, 3 damped spring.
// Repeat codes (2 bits): 0 once, 1 forward then back (period twice the duration), 2 restart every
// duration; 3 is sampled as 2.
struct FrameAnimation {
    std::uint64_t key = 0;       // widget id x 16 + part; 0 is never sampled
    std::uint64_t start_ns = 0;  // the platform's timestamp clock
    std::uint32_t duration_ms = 0;
    float spring_mass = 1;
    float spring_stiffness = 220;
    float spring_damping = 28;
    std::optional<float> from_opacity;
    std::optional<float> to_opacity;
    std::optional<Affine> from_transform;
    std::optional<Affine> to_transform;
    std::optional<float> from_angle;  // degrees about the pivot
    std::optional<float> to_angle;
    float pivot_x = 0;
    float pivot_y = 0;
    std::uint8_t easing = 0;
    std::uint8_t repeat = 0;
};

// The area an animated widget repaints while it moves.
struct FrameAnimationDirty {
    std::uint64_t key = 0;
    std::optional<Rect> rect;
};

// What an animation does to the render commands with its key in one frame.
struct RenderOverride {
    std::uint64_t key = 0;
    float opacity = 0;
    bool has_opacity = false;
    Affine transform;
    bool has_transform = false;
};

// Progress of an animation at `frame_ns`, 0..1, before easing.
float animationProgress(const FrameAnimation& animation, std::uint64_t frame_ns);

// The eased value of progress `t` (easing code in the low 2 bits).
float animationEased(const FrameAnimation& animation, float t);

// The override an animation gives at `frame_ns`: none unless both of its opacities, both of its
// transforms or both of its angles are present. The transform is the interpolated transform after
// the rotation about the pivot (the rotation applied first).
std::optional<RenderOverride> sampleAnimation(const FrameAnimation& animation, std::uint64_t frame_ns);

// Samples every animation with a key into `out`, then lets each of `requested` replace the override
// with its key or be appended: the number written, or RenderOverrideListFull.
Result<std::size_t> sampleRenderOverrides(std::span<const FrameAnimation> animations,
                                          std::span<const RenderOverride> requested, std::uint64_t frame_ns,
                                          std::span<RenderOverride> out);

}  // namespace kelvo
