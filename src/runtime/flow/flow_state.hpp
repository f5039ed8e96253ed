#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types/platform_event.hpp"

namespace kelvo {

// Records of the runtime state that the event flow keeps between events.

// What the last frame publication reported.
struct LastFrameRecord {
    std::uint64_t frame = 0;             // the frame's number (the frame counter after publishing)
    std::uint64_t changeCount = 0;       // bridge requests and reloads that went into it
    std::uint64_t dirtyRegionCount = 0;  // rectangles it redrew (at most 8 are counted)
    std::uint64_t workNs = 0;            // monotonic time from the frame request to the publication
};

// The appearance the platform last reported: the payload of its last appearance_changed event.
using Appearance = AppearanceChangedEvent;

// Most bytes of one page-event detail (the buffer lives in the runtime record).
inline constexpr std::size_t kPageEventDetailBytes = 1 << 20;

}  // namespace kelvo
