#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kelvo {

// Records of the runtime state that the event flow keeps between events.

// What the last frame publication reported.
struct LastFrameRecord {
    std::uint64_t frame = 0;             // the frame's number (the frame counter after publishing)
    std::uint64_t changeCount = 0;       // bridge requests and reloads that went into it
    std::uint64_t dirtyRegionCount = 0;  // rectangles it redrew (at most 8 are counted)
    std::uint64_t workNs = 0;            // monotonic time from the frame request to the publication
};

// The appearance the platform last reported.
struct Appearance {
    bool dark = false;
    bool reduceMotion = false;
    bool increaseContrast = false;
};

// Most bytes of one page-event detail (the buffer lives in the runtime record).
inline constexpr std::size_t kPageEventDetailBytes = 1 << 20;

// A process-wide counter that every appearance change advances; text measurement caches compare
// it with the value a measurement was made under and measure again when it moved.
std::atomic<std::uint64_t>& textMeasureGeneration();

}  // namespace kelvo
