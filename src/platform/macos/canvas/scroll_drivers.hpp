#pragma once

// The scrollable regions of a canvas view. The runtime draws them itself and names each one a
// scroll driver (an id, a frame in the view, a content size); the view keeps the vertical offset
// of each, moves it by wheel input within the content, and reports where it went as
// scroll_driver events. An offset the runtime pushes in is never echoed back.
//
// Reports are coalesced: at most one per refresh interval, the latest offset winning; when
// another driver moves, the pending report of the previous one goes out first so that no driver
// loses its last position. The interval is measured on the monotonic clock; events carry the
// wall clock.
//
// Everything runs on the main thread. Events go out through the surface view's port, each
// followed by a frame request to the view.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/macos/appkit_functions.hpp"

namespace kelvo {

struct SurfaceView;

inline constexpr std::size_t kMaxScrollDrivers = 16;

struct ScrollDriver {
    std::uint64_t id = 0;
    // Frame in the view, top-left based, in points.
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    double contentWidth = 1;  // never below 1
    double contentHeight = 1;
    double offsetY = 0;  // 0 ... max(contentHeight - height, 0)
    bool verticalElasticity = false;
};

// Where a scroll gesture is: a classic wheel sends `none` for both its phase and momentum phase.
enum class ScrollPhase : std::uint8_t { none, may_begin, began, changed, ended, cancelled };

struct ScrollDriverSet {
    std::array<ScrollDriver, kMaxScrollDrivers> drivers{};
    std::size_t count = 0;
    std::optional<std::uint64_t> activeWheelDriver;  // the driver a gesture is bound to
    bool applyingOffset = false;
    bool eventPending = false;
    std::uint64_t pendingId = 0;
    double pendingOffsetY = 0;
    std::optional<std::uint64_t> lastEmitNs;  // monotonic
    bool flushArmed = false;
    // Calls `flushScrollDriverEvent` on the main queue after `delayNs`, unless the view is gone.
    void (*postFlush)(void* context, std::uint64_t delayNs) = nullptr;
    void* postContext = nullptr;
};

// Installs the drivers of `records` (the first kMaxScrollDrivers): drivers whose id is missing
// go, new ids come at their offset, existing ones keep theirs unless the record asks to apply
// its offset. Offsets are re-clamped to the new content, and a driver that moved that way reports.
void setScrollDrivers(ScrollDriverSet& set, SurfaceView& view, std::span<const KelvoScrollDriverRecord> records);
// Moves a driver to `offsetY` (clamped) without reporting it.
void applyScrollDriverOffset(ScrollDriverSet& set, SurfaceView& view, std::size_t index, double offsetY);
// The last driver whose frame holds the point; none without one.
std::optional<std::size_t> scrollDriverForPoint(const ScrollDriverSet& set, double x, double y);
// Routes one wheel event at (x, y) in view points: a classic wheel to the driver under the pointer,
// a gesture to the driver under the pointer when it began, until its momentum ends. The chosen
// driver's offset moves by deltaY (positive: towards the content's end), clamped to the content.
// False when no driver takes the event (the view handles it itself).
bool routeScrollDriverWheel(ScrollDriverSet& set, SurfaceView& view, double x, double y, double deltaX, double deltaY,
                            ScrollPhase phase, ScrollPhase momentumPhase);
// The posted flush came due: sends the pending report, or waits out the rest of the interval.
void flushScrollDriverEvent(ScrollDriverSet& set, SurfaceView& view);

}  // namespace kelvo
