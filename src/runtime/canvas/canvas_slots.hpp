#pragma once

// The canvas state of GPU canvas views lives in a runtime-level table of slots, one per possible
// view record, that never moves: a view record keeps only its slot's index, so moving records in
// the view table moves no canvas state. A slot is several MB; its pages are given to it when a
// view claims it and handed back to the system when the view is removed, so the runtime record
// costs nothing for slots no view uses.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>

#include "runtime/canvas/canvas_frame_state.hpp"
#include "runtime/views/view_table.hpp"
#include "widgets/display_list.hpp"
#include "widgets/scroll_state.hpp"
#include "widgets/widget_animation.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

inline constexpr std::size_t kCanvasSlotCount = kMaxViews;
inline constexpr std::size_t kCanvasSlotPageBytes = 4096;

// The semantics of a view's widgets. A collection goes into the list not shown and is shown only
// when it succeeds, so a failed collection leaves the shown list whole.
struct CanvasSemanticsStore {
    std::array<std::array<WidgetSemanticsNode, kMaxWidgetSemanticsNodes>, 2> lists{};
    std::uint8_t shown = 0;
    std::uint32_t count = 0;

    [[nodiscard]] std::span<const WidgetSemanticsNode> nodes() const { return {lists[shown].data(), count}; }
};

// The keys the latest refresh scheduled for the caret and for the loading indicators; the next
// refresh removes the animations of keys it no longer schedules.
inline constexpr std::size_t kMaxIndicatorAnimationKeys = 64;
struct CanvasScheduledAnimations {
    std::uint64_t caretKey = 0;
    FixedVec<std::uint64_t, kMaxIndicatorAnimationKeys> indicatorKeys;
};

// The widget ids a view's changes queue for runtime events, each at most once; the dispatcher
// and the frame tick drain them. Ids past a full queue are dropped.
struct CanvasWidgetEventQueues {
    FixedVec<std::uint64_t, 8> scroll;      // canvas_widget_scroll
    FixedVec<std::uint64_t, 4> change;      // canvas_widget_change
    FixedVec<std::uint64_t, 4> resize;      // canvas_widget_resize
    FixedVec<std::uint64_t, 8> disclosure;  // accordions flipped open or closed
};

// Adds `id` to `queue` unless it is 0, already there, or the queue is full.
template <std::size_t N>
void queueCanvasWidgetId(FixedVec<std::uint64_t, N>& queue, std::uint64_t id) {
    if (id == 0 || queue.full() || queue.findIndex([id](std::uint64_t queued) { return queued == id; }) >= 0) return;
    (void)queue.push(id);
}

// What one canvas view keeps: its widget tree with tokens, its display list, the semantics of
// its widgets, their animations, scroll states, queued events and the state of its presented frames.
struct CanvasSlot {
    WidgetTreeStorage tree;
    CanvasDisplayList displayList;
    CanvasSemanticsStore semantics;
    WidgetAnimationTable animations;
    CanvasScheduledAnimations scheduled;
    // The scroll state of the scroll view at each layout index; kept when a new tree comes.
    std::array<ScrollState, kMaxWidgetNodes> scroll{};
    CanvasWidgetEventQueues queues;
    CanvasFrameState frames;
};
static_assert(std::is_trivially_destructible_v<CanvasSlot>, "slots are released without running destructors");

struct CanvasSlotTable {
    // Whole pages per slot, so a released slot's pages can be handed back on their own.
    struct alignas(kCanvasSlotPageBytes) SlotPages {
        unsigned char
            bytes[(sizeof(CanvasSlot) + kCanvasSlotPageBytes - 1) / kCanvasSlotPageBytes * kCanvasSlotPageBytes];
    };

    std::array<bool, kCanvasSlotCount> used{};
    // Deliberately left without an initializer: building the runtime record must not touch these
    // pages. A slot's record is built in place when it is claimed.
    std::array<SlotPages, kCanvasSlotCount> pages;
};

// Claims a free slot for a canvas view record and builds its empty state; ViewLimitReached when
// every slot is taken (it cannot be while each view record has at most one).
Status claimCanvasSlot(CanvasSlotTable& table, RuntimeView& view);
// Hands a view's slot back (its pages go back to the system); nothing for a view without one.
void releaseCanvasSlot(CanvasSlotTable& table, RuntimeView& view);

// The slot a view holds, or null.
CanvasSlot* canvasSlotOf(CanvasSlotTable& table, const RuntimeView& view);
const CanvasSlot* canvasSlotOf(const CanvasSlotTable& table, const RuntimeView& view);

}  // namespace kelvo
