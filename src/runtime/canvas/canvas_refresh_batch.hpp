#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvo {

// The refresh batch of canvas views: while one is open (depth above 0), invalidations only mark
// their views, and closing the outermost batch refreshes each marked view once. Accessibility
// publishing may wait while the deferral count is above 0. Only the first 32 view indexes can be
// marked.
inline constexpr std::size_t kCanvasBatchViews = 32;

struct CanvasRefreshBatch {
    std::uint64_t depth = 0;
    std::uint64_t accessibilityDeferral = 0;
    std::array<bool, kCanvasBatchViews> refreshPending{};
    std::array<bool, kCanvasBatchViews> accessibilityPending{};
};

// What last changed the runtime's visible state, as automation reports it.
enum class ChangeSource : std::uint8_t { none = 0, canvas_widget = 3 };

}  // namespace kelvo
