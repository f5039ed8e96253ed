#include "runtime/flow/frame_profile.hpp"

#include <algorithm>
#include <limits>

namespace kelvo {

namespace {

constexpr std::array<std::string_view, kFrameProfileStageCount> kStageNames = {
    "rebuild", "layout", "reconcile", "emit",        "a11y",      "plan",
    "patch",   "encode", "present",   "host_decode", "host_draw", "interval",
};

constexpr std::uint32_t kStageMask = 15;

std::uint64_t percentile(const std::array<std::uint32_t, kFrameProfileRingSize>& sorted, std::uint64_t n,
                         std::uint64_t percent) {
    return sorted[(n * percent + 99) / 100 - 1];
}

}  // namespace

std::string_view frameProfileStageName(std::size_t stage) {
    return stage < kStageNames.size() ? kStageNames[stage] : std::string_view{};
}

void FrameProfile::recordNs(std::uint32_t stage, std::uint64_t ns) {
    const std::uint32_t s = stage & kStageMask;
    if (!enabled || s >= kFrameProfileStageCount) return;
    const std::uint64_t micros = std::min<std::uint64_t>(ns / 1000, std::numeric_limits<std::uint32_t>::max());
    rings[s][cursors[s]] = static_cast<std::uint32_t>(micros);
    cursors[s] = static_cast<std::uint16_t>((cursors[s] + 1) % kFrameProfileRingSize);
    if (counts[s] < kFrameProfileRingSize) ++counts[s];
    ++totals[s];
}

FrameProfileStats FrameProfile::stats(std::uint32_t stage) const {
    const std::uint32_t s = stage & kStageMask;
    if (s >= kFrameProfileStageCount) return {};
    const std::uint64_t n = std::min<std::uint64_t>(counts[s], kFrameProfileRingSize);
    if (n == 0) return FrameProfileStats{0, 0, 0, 0, totals[s]};
    // The first n slots hold the valid samples whatever the cursor: the ring fills from slot 0.
    std::array<std::uint32_t, kFrameProfileRingSize> sorted = rings[s];
    std::sort(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n));
    return FrameProfileStats{percentile(sorted, n, 50), percentile(sorted, n, 90), sorted[n - 1], n, totals[s]};
}

void FrameProfile::clearSamples() {
    totals = {};
    counts = {};
    cursors = {};
}

}  // namespace kelvo
