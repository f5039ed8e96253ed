#pragma once

// The key under which the frame planner keeps laid-out text runs, and its hash.

#include <cstdint>

namespace kelvo {

struct TextLayoutKey {
    std::uint64_t words[4] = {};  // identity of the run
    float parameters[5] = {};     // layout parameters
    std::uint16_t flags = 0;      // only bits 0-1 and 8-9 count
};

// A SplitMix64-style mix of the key; +0.0 and -0.0 hash alike.
std::uint64_t textLayoutKeyHash(const TextLayoutKey& key);

}  // namespace kelvo
