#pragma once

// The per-thread advance cache: per-byte advances of whole runs, so that any byte slice of a run is
// measured by summing, without calling the measurer again. One block per thread, taken from page
// memory on first use and never freed: 256 slots for runs of up to 2,048 bytes (least recently used
// replaced first) and one slot for runs of up to 32,768 bytes.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text_metrics.hpp"

namespace kelvo {

inline constexpr std::size_t kAdvanceCacheSmallSlots = 256;
inline constexpr std::size_t kAdvanceCacheSmallRun = 2048;
inline constexpr std::size_t kAdvanceCacheLargeRun = 32768;
inline constexpr std::uint64_t kAdvanceCacheHashSeed = 0x746578746164;

// The hash under which a run's advances are cached.
std::uint64_t textRunHash(std::string_view text);

// The cached per-byte advances of a whole run (one entry per byte), measuring it on a miss; null
// when the measurer has no advances operation, the run is longer than 32,768 bytes or the measurer
// failed. The array stays valid until a later call on this thread reuses its slot: read it at once
// and keep nothing.
const float* textRunAdvances(const TextMeasurer* measurer, std::uint64_t font, std::string_view text, float size);

// The same with the run's hash already known (`textRunHash(text)`). With `fill` false a miss returns
// null without measuring or replacing anything.
const float* textRunAdvancesHashed(const TextMeasurer* measurer, std::uint64_t font, std::string_view text,
                                   std::uint64_t hash, float size, bool fill);

struct AdvanceCacheCounters {
    std::uint64_t ticks = 0;
    std::uint64_t misses = 0;
    std::uint64_t hits = 0;
};

// The calling thread's counters; all 0 before its cache exists.
AdvanceCacheCounters advanceCacheCounters();

}  // namespace kelvo
