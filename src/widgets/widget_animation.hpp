#pragma once

// The animations a canvas view's widgets run between refreshes: the caret blink, the pulse of
// skeletons, the turn of arc spinners, the fading dots of ring spinners and the travel of toggle
// thumbs. The runtime writes them into the view's animation table when a refresh or a control
// change needs them; the frame planner samples them at each frame time. Each entry is keyed by
// widget id x 16 + a part, so an animation follows its widget from one refresh to the next.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/fixed.hpp"
#include "raster/canvas_geometry.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxWidgetAnimations = 2048;
inline constexpr std::size_t kMaxWidgetAnimationDirty = 72;

// Stored in 2 bits.
enum class AnimationEasing : std::uint8_t { linear = 0, smoothstep = 1, ease_out_cubic = 2, spring = 3 };
// Stored in 2 bits: once; forward then back (a period of twice the duration); restart every
// duration. The planner samples the undefined code 3 as `repeat`.
enum class AnimationRepeat : std::uint8_t { once = 0, alternate = 1, repeat = 2 };

// The part of an animation key after the widget id: skeleton pulse 1, arc spinner 2, ring
// spinner dot i at 1 + i, toggle thumb 3; the caret takes its widget's caret command part.
inline constexpr std::uint64_t kSkeletonAnimationPart = 1;
inline constexpr std::uint64_t kArcSpinnerAnimationPart = 2;
inline constexpr std::uint64_t kToggleThumbAnimationPart = 3;
inline constexpr std::uint64_t kSpinnerDotAnimationPart = 1;

inline constexpr std::uint64_t widgetAnimationKey(std::uint64_t widgetId, std::uint64_t part) {
    return (widgetId << 4) | part;
}

struct WidgetAnimation {
    std::uint64_t key = 0;
    std::uint64_t start_ns = 0;  // in the clock of the platform's input and frame timestamps
    std::uint32_t duration_ms = 0;
    float spring_mass = 1;
    float spring_stiffness = 220;
    float spring_damping = 28;
    std::optional<float> from_opacity;
    std::optional<float> to_opacity;
    std::optional<Affine> from_transform;
    std::optional<Affine> to_transform;
    std::optional<float> from_angle;  // degrees, turning about the pivot
    std::optional<float> to_angle;
    float pivot_x = 0;
    float pivot_y = 0;
    AnimationEasing easing = AnimationEasing::linear;
    AnimationRepeat repeat = AnimationRepeat::once;
};

// The area an animated widget repaints while it moves.
struct WidgetAnimationDirty {
    std::uint64_t key = 0;
    std::optional<Rect> rect;
};

// A view's animations and their repaint areas, each list in the order its entries were added.
struct WidgetAnimationTable {
    FixedVec<WidgetAnimation, kMaxWidgetAnimations> entries;
    FixedVec<WidgetAnimationDirty, kMaxWidgetAnimationDirty> dirty;

    [[nodiscard]] WidgetAnimation* find(std::uint64_t key) {
        const std::ptrdiff_t at = entries.findIndex([key](const WidgetAnimation& a) { return a.key == key; });
        return at < 0 ? nullptr : &entries[static_cast<std::size_t>(at)];
    }
    [[nodiscard]] const WidgetAnimation* find(std::uint64_t key) const {
        return const_cast<WidgetAnimationTable*>(this)->find(key);
    }

    // The entry with the key, added at the end when there is none; null when the table is full.
    WidgetAnimation* upsert(std::uint64_t key) {
        if (WidgetAnimation* found = find(key)) return found;
        WidgetAnimation* added = entries.pushDefault();
        if (added != nullptr) added->key = key;
        return added;
    }

    // Sets the repaint area of the key, added at the end while there is room.
    void setDirty(std::uint64_t key, std::optional<Rect> rect) {
        const std::ptrdiff_t at = dirty.findIndex([key](const WidgetAnimationDirty& d) { return d.key == key; });
        if (at >= 0) {
            dirty[static_cast<std::size_t>(at)].rect = rect;
        } else {
            (void)dirty.push({key, rect});
        }
    }

    // Removes every repaint area with the key; the others keep their order.
    void removeDirty(std::uint64_t key) { removeMatching(dirty, key); }

    // Removes every entry and repaint area with the key; the others keep their order.
    void remove(std::uint64_t key) {
        removeMatching(entries, key);
        removeMatching(dirty, key);
    }

private:
    template <class List>
    static void removeMatching(List& list, std::uint64_t key) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].key == key) continue;
            if (kept != i) list[kept] = list[i];
            ++kept;
        }
        while (list.size() > kept) list.popBack();
    }
};

}  // namespace kelvo
