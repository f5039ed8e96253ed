#pragma once

#include <atomic>
#include <cstdint>

namespace kelvo {

// A process-wide counter that every appearance change advances; text measurement caches compare
// it with the value a measurement was made under and measure again when it moved.
std::atomic<std::uint64_t>& textMeasureGeneration();

}  // namespace kelvo
