#include "platform/macos/canvas/scroll_drivers.hpp"

#include <algorithm>
#include <cmath>

#include "platform/macos/canvas/surface_view.hpp"

namespace kelvo {

namespace {

std::uint64_t monotonicNow(const SurfaceView& view) {
    return view.port.monotonicNs ? view.port.monotonicNs(view.port.context) : 0;
}

std::uint64_t reportInterval(const SurfaceView& view) {
    return surfaceFrameIntervalNs(view.port.screenMaxFps ? view.port.screenMaxFps(view.port.context) : -1);
}

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

double maxOffset(const ScrollDriver& driver) { return std::max(driver.contentHeight - driver.height, 0.0); }

std::optional<std::size_t> indexOf(const ScrollDriverSet& set, std::uint64_t id) {
    for (std::size_t i = 0; i < set.count; ++i) {
        if (set.drivers[i].id == id) return i;
    }
    return std::nullopt;
}

// The nanoseconds until the next report may go; 0 when it may go now or nothing went yet.
std::uint64_t waitBeforeReport(const ScrollDriverSet& set, const SurfaceView& view) {
    if (!set.lastEmitNs) return 0;
    const std::uint64_t due = *set.lastEmitNs + reportInterval(view);
    const std::uint64_t now = monotonicNow(view);
    return due > now ? due - now : 0;
}

void emitPending(ScrollDriverSet& set, SurfaceView& view) {
    if (!set.eventPending) return;
    set.eventPending = false;
    set.lastEmitNs = monotonicNow(view);
    if (!view.bound || view.label.empty() || !view.port.emitEvent) return;
    KelvoHostEvent event = hostEventOfKind(HostEventKind::scroll_driver);
    event.windowId = view.windowId;
    event.viewLabel = hostString(view.label);
    event.timestampNs = view.port.wallNs ? view.port.wallNs(view.port.context) : 0;
    event.targetId = set.pendingId;
    event.scrollOffsetY = set.pendingOffsetY;
    view.port.emitEvent(view.port.context, event);
    requestRetainedCanvasFrame(view);
}

void arm(ScrollDriverSet& set, std::uint64_t delayNs) {
    if (set.flushArmed || !set.postFlush) return;
    set.flushArmed = true;
    set.postFlush(set.postContext, delayNs);
}

void queueReport(ScrollDriverSet& set, SurfaceView& view, std::uint64_t id, double offsetY) {
    if (!view.bound || view.label.empty()) return;
    if (set.eventPending && set.pendingId != id) emitPending(set, view);
    set.pendingId = id;
    set.pendingOffsetY = offsetY;
    set.eventPending = true;
    arm(set, waitBeforeReport(set, view));
}

// The one place offsets change: a change reports unless the runtime is applying it.
void moveTo(ScrollDriverSet& set, SurfaceView& view, std::size_t index, double offsetY) {
    ScrollDriver& driver = set.drivers[index];
    const double clamped = std::clamp(finiteOr(offsetY, 0), 0.0, maxOffset(driver));
    if (clamped == driver.offsetY) return;
    driver.offsetY = clamped;
    if (!set.applyingOffset) queueReport(set, view, driver.id, clamped);
}

bool isGestureStart(ScrollPhase phase) { return phase == ScrollPhase::began || phase == ScrollPhase::may_begin; }
bool isGestureEnd(ScrollPhase phase) { return phase == ScrollPhase::ended || phase == ScrollPhase::cancelled; }

}  // namespace

void setScrollDrivers(ScrollDriverSet& set, SurfaceView& view, std::span<const KelvoScrollDriverRecord> records) {
    records = records.first(std::min(records.size(), kMaxScrollDrivers));
    auto named = [records](std::uint64_t id) {
        return std::any_of(records.begin(), records.end(), [id](const auto& r) { return r.id == id; });
    };
    for (std::size_t i = set.count; i-- > 0;) {
        if (named(set.drivers[i].id)) continue;
        std::move(set.drivers.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                  set.drivers.begin() + static_cast<std::ptrdiff_t>(set.count),
                  set.drivers.begin() + static_cast<std::ptrdiff_t>(i));
        --set.count;
    }
    for (const KelvoScrollDriverRecord& record : records) {
        std::optional<std::size_t> found = indexOf(set, record.id);
        const bool created = !found;
        if (created) {
            if (set.count == kMaxScrollDrivers) continue;  // an id repeated in the records
            found = set.count++;
            set.drivers[*found] = ScrollDriver{.id = record.id};
        }
        ScrollDriver& driver = set.drivers[*found];
        driver.verticalElasticity = record.verticalElasticity != 0;
        driver.x = finiteOr(record.x, 0);
        driver.y = finiteOr(record.y, 0);
        driver.width = std::max(finiteOr(record.width, 0), 0.0);
        driver.height = std::max(finiteOr(record.height, 0), 0.0);
        driver.contentWidth = std::max(finiteOr(record.contentWidth, 1), 1.0);
        driver.contentHeight = std::max(finiteOr(record.contentHeight, 1), 1.0);
        // Less content or a taller frame moves the offset back inside, as a scroll view does.
        moveTo(set, view, *found, driver.offsetY);
        if (record.applyOffset != 0 || created) applyScrollDriverOffset(set, view, *found, record.offsetY);
    }
}

void applyScrollDriverOffset(ScrollDriverSet& set, SurfaceView& view, std::size_t index, double offsetY) {
    if (index >= set.count) return;
    set.applyingOffset = true;
    moveTo(set, view, index, offsetY);
    set.applyingOffset = false;
}

std::optional<std::size_t> scrollDriverForPoint(const ScrollDriverSet& set, double x, double y) {
    for (std::size_t i = set.count; i-- > 0;) {
        const ScrollDriver& d = set.drivers[i];
        if (x >= d.x && x < d.x + d.width && y >= d.y && y < d.y + d.height) return i;
    }
    return std::nullopt;
}

bool routeScrollDriverWheel(ScrollDriverSet& set, SurfaceView& view, double x, double y, double deltaX, double deltaY,
                            ScrollPhase phase, ScrollPhase momentumPhase) {
    // Drivers scroll vertically only: a sideways delta is taken by the driver and moves nothing.
    (void)deltaX;
    if (set.count == 0) return false;
    std::optional<std::size_t> target;
    if (phase == ScrollPhase::none && momentumPhase == ScrollPhase::none) {
        target = scrollDriverForPoint(set, x, y);
    } else {
        if (isGestureStart(phase)) {
            std::optional<std::size_t> under = scrollDriverForPoint(set, x, y);
            set.activeWheelDriver = under ? std::optional(set.drivers[*under].id) : std::nullopt;
        }
        if (set.activeWheelDriver) target = indexOf(set, *set.activeWheelDriver);
        if (isGestureEnd(momentumPhase)) set.activeWheelDriver.reset();
    }
    if (!target) return false;
    moveTo(set, view, *target, set.drivers[*target].offsetY + finiteOr(deltaY, 0));
    return true;
}

void flushScrollDriverEvent(ScrollDriverSet& set, SurfaceView& view) {
    set.flushArmed = false;
    if (!set.eventPending) return;
    // A report flushed early for another driver started a new interval: this one waits it out.
    if (std::uint64_t wait = waitBeforeReport(set, view); wait > 0) {
        arm(set, wait);
        return;
    }
    emitPending(set, view);
}

}  // namespace kelvo
