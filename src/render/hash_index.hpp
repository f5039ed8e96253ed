#pragma once

// Private to src/render. An open-addressing index over a list kept elsewhere: each slot holds an
// entry number + 1 (0 = empty), collisions go to the next slot, and a probe never visits more
// slots than the table has, so a full table cannot loop. The slot count is a power of two.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

#include "base/split_mix.hpp"

namespace kelvo {

// Folds one more word into a running hash.
inline std::uint64_t foldHash(std::uint64_t hash, std::uint64_t word) { return splitMix64Finalize(hash ^ word); }

struct HashIndex {
    std::span<std::uint32_t> slots;

    void clear() { std::fill(slots.begin(), slots.end(), 0u); }

    // The entry whose hash is `hash` and that `matches`; none when there is none.
    template <class Matches>
    [[nodiscard]] std::optional<std::uint32_t> find(std::uint64_t hash, Matches&& matches) const {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t probe = 0, at = hash & mask; probe < slots.size(); ++probe, at = (at + 1) & mask) {
            if (slots[at] == 0) return std::nullopt;
            if (matches(slots[at] - 1)) return slots[at] - 1;
        }
        return std::nullopt;
    }

    // Adds an entry; false when the table is full.
    bool insert(std::uint64_t hash, std::uint32_t entry) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t probe = 0, at = hash & mask; probe < slots.size(); ++probe, at = (at + 1) & mask) {
            if (slots[at] != 0) continue;
            slots[at] = entry + 1;
            return true;
        }
        return false;
    }
};

}  // namespace kelvo
