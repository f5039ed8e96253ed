#include "render/frame_animation.hpp"

#include <cmath>

namespace kelvo {

namespace {

constexpr float kRadiansPerDegree = 0.017453292f;

float lerp(float from, float to, float e) { return from + (to - from) * e; }

float clampUnit(float value) { return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f; }

float atLeast(float value, float floor) { return value > floor ? value : floor; }

Affine lerpAffine(const Affine& from, const Affine& to, float e) {
    return {lerp(from.a, to.a, e), lerp(from.b, to.b, e),   lerp(from.c, to.c, e),
            lerp(from.d, to.d, e), lerp(from.tx, to.tx, e), lerp(from.ty, to.ty, e)};
}

Affine rotationAbout(float degrees, float px, float py) {
    const float radians = degrees * kRadiansPerDegree;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    return {c, s, -s, c, px - c * px + s * py, py - s * px - c * py};
}

}  // namespace

float animationProgress(const WidgetAnimation& animation, std::uint64_t frame_ns) {
    const std::uint64_t d = static_cast<std::uint64_t>(animation.duration_ms) * 1'000'000u;
    if (d == 0) return 1.0f;
    if (frame_ns <= animation.start_ns) return 0.0f;
    const std::uint64_t elapsed = frame_ns - animation.start_ns;
    double t = 0;
    switch (static_cast<unsigned>(animation.repeat) & 3u) {
        case 0:
            t = elapsed >= d ? 1.0 : static_cast<double>(elapsed) / static_cast<double>(d);
            break;
        case 1: {
            const std::uint64_t phase = elapsed % (2 * d);
            t = phase < d ? static_cast<double>(phase) / static_cast<double>(d)
                          : 1.0 - static_cast<double>(phase - d) / static_cast<double>(d);
            break;
        }
        default:
            t = static_cast<double>(elapsed % d) / static_cast<double>(d);
            break;
    }
    return clampUnit(static_cast<float>(t));
}

float easeAnimationProgress(AnimationEasing easing, float mass, float stiffness, float damping, float t) {
    t = clampUnit(t);
    switch (static_cast<unsigned>(easing) & 3u) {
        case 0:
            return t;
        case 1:
            return t * t * (3.0f - 2.0f * t);
        case 2: {
            const float rest = 1.0f - t;
            return 1.0f - rest * rest * rest;
        }
        default: {
            if (t <= 0.0f) return 0.0f;
            if (t >= 1.0f) return 1.0f;
            const float m = atLeast(mass, 0.001f);
            const float k = atLeast(stiffness, 1.0f);
            const float c = atLeast(damping, 0.001f);
            const float e = 1.0f - std::cos(std::sqrt(k / m) * t) * std::exp(-c * t / (24.0f * m));
            return e > 0.0f ? (e < 1.0f ? e : 1.0f) : 0.0f;
        }
    }
}

float animationEased(const WidgetAnimation& animation, float t) {
    return easeAnimationProgress(animation.easing, animation.spring_mass, animation.spring_stiffness,
                                 animation.spring_damping, t);
}

std::optional<RenderOverride> sampleAnimation(const WidgetAnimation& animation, std::uint64_t frame_ns) {
    const bool opacity = animation.from_opacity && animation.to_opacity;
    const bool transform = animation.from_transform && animation.to_transform;
    const bool angle = animation.from_angle && animation.to_angle;
    if (!opacity && !transform && !angle) return std::nullopt;
    const float e = animationEased(animation, animationProgress(animation, frame_ns));

    RenderOverride sampled;
    sampled.key = animation.key;
    if (opacity) {
        sampled.opacity = lerp(*animation.from_opacity, *animation.to_opacity, e);
        sampled.has_opacity = true;
    }
    if (transform || angle) {
        const Affine t = transform ? lerpAffine(*animation.from_transform, *animation.to_transform, e) : Affine{};
        const Affine r = angle ? rotationAbout(lerp(*animation.from_angle, *animation.to_angle, e), animation.pivot_x,
                                               animation.pivot_y)
                               : Affine{};
        sampled.transform = transform && angle ? composeAffine(t, r) : (transform ? t : r);
        sampled.has_transform = true;
    }
    return sampled;
}

Result<std::size_t> sampleRenderOverrides(std::span<const WidgetAnimation> animations,
                                          std::span<const RenderOverride> requested, std::uint64_t frame_ns,
                                          std::span<RenderOverride> out) {
    std::size_t count = 0;
    for (const WidgetAnimation& animation : animations) {
        if (animation.key == 0) continue;
        std::optional<RenderOverride> sampled = sampleAnimation(animation, frame_ns);
        if (!sampled) continue;
        if (count == out.size()) return fail(Error::RenderOverrideListFull);
        out[count++] = *sampled;
    }
    for (const RenderOverride& request : requested) {
        bool replaced = false;
        for (std::size_t i = 0; i < count; ++i) {
            if (out[i].key != request.key) continue;
            out[i] = request;
            replaced = true;
        }
        if (replaced) continue;
        if (count == out.size()) return fail(Error::RenderOverrideListFull);
        out[count++] = request;
    }
    return count;
}

}  // namespace kelvo
