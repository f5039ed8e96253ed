#pragma once

// The SplitMix64 finaliser: spreads the bits of a 64-bit word (ids, hashes) before they index an
// open-addressing table.

#include <cstdint>

namespace kelvo {

inline std::uint64_t splitMix64Finalize(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

}  // namespace kelvo
