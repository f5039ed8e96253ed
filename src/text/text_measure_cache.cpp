#include "text/text_measure_cache.hpp"

#include <bit>
#include <cmath>

#include "base/wyhash.hpp"
#include "text/canvas_scratch.hpp"
#include "text/measure_generation.hpp"

namespace kelvo {

namespace {

struct AdvanceKey {
    std::uint64_t hash = 0;
    std::uint64_t length = 0;
    std::uint64_t font = 0;
    std::uint64_t context = 0;
    std::uint64_t advances_operation = 0;
    std::uint64_t generation = 0;
    std::uint32_t size_bits = 0;
    bool valid = false;

    bool matches(const AdvanceKey& other) const {
        return valid && hash == other.hash && length == other.length && font == other.font &&
               size_bits == other.size_bits && context == other.context &&
               advances_operation == other.advances_operation && generation == other.generation;
    }
};

// The keys of the small slots lie together, apart from their advance arrays, so that a lookup
// scans a few kilobytes instead of touching every slot's array.
struct SmallKey {
    AdvanceKey key;
    std::uint64_t last_use = 0;
};

// Fresh pages are zero-filled: every key starts invalid and every counter at 0.
struct AdvanceCache {
    SmallKey small[kAdvanceCacheSmallSlots];
    AdvanceKey large;
    AdvanceCacheCounters counters;
    float small_advances[kAdvanceCacheSmallSlots][kAdvanceCacheSmallRun];
    float large_advances[kAdvanceCacheLargeRun];
};

thread_local AdvanceCache* tCache = nullptr;

AdvanceCache& threadCache() {
    if (tCache == nullptr) tCache = static_cast<AdvanceCache*>(takeCanvasScratchPages(sizeof(AdvanceCache)));
    return *tCache;
}

// Measures into `advances`; the key stays invalid unless every advance is usable.
const float* fill(AdvanceCache& cache, const TextMeasurer& measurer, std::string_view text, float size,
                  AdvanceKey& slot_key, const AdvanceKey& key, float* advances) {
    slot_key.valid = false;
    ++cache.counters.misses;
    if (!measurer.measureTextAdvances(measurer.context, key.font, text.data(), text.size(), advances, text.size(),
                                      size)) {
        return nullptr;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!usableTextWidth(advances[i])) return nullptr;
    }
    slot_key = key;
    slot_key.valid = true;
    return advances;
}

}  // namespace

std::uint64_t textRunHash(std::string_view text) { return wyhash(text, kAdvanceCacheHashSeed); }

const float* textRunAdvances(const TextMeasurer* measurer, std::uint64_t font, std::string_view text, float size) {
    if (measurer == nullptr || measurer->measureTextAdvances == nullptr || text.size() > kAdvanceCacheLargeRun) {
        return nullptr;
    }
    return textRunAdvancesHashed(measurer, font, text, textRunHash(text), size, true);
}

const float* textRunAdvancesHashed(const TextMeasurer* measurer, std::uint64_t font, std::string_view text,
                                   std::uint64_t hash, float size, bool fill_on_miss) {
    if (measurer == nullptr || measurer->measureTextAdvances == nullptr || text.size() > kAdvanceCacheLargeRun) {
        return nullptr;
    }
    if (!fill_on_miss && tCache == nullptr) return nullptr;
    AdvanceCache& cache = threadCache();
    AdvanceKey key;
    key.hash = hash;
    key.length = text.size();
    key.font = font;
    key.context = reinterpret_cast<std::uintptr_t>(measurer->context);
    key.advances_operation = reinterpret_cast<std::uintptr_t>(measurer->measureTextAdvances);
    key.generation = textMeasureGeneration().load(std::memory_order_relaxed);
    key.size_bits = std::bit_cast<std::uint32_t>(size);
    std::uint64_t tick = ++cache.counters.ticks;

    if (text.size() > kAdvanceCacheSmallRun) {
        if (cache.large.matches(key)) {
            ++cache.counters.hits;
            return cache.large_advances;
        }
        if (!fill_on_miss) return nullptr;
        return fill(cache, *measurer, text, size, cache.large, key, cache.large_advances);
    }

    std::size_t victim = 0;
    std::uint64_t victim_use = UINT64_MAX;
    for (std::size_t i = 0; i < kAdvanceCacheSmallSlots; ++i) {
        SmallKey& slot = cache.small[i];
        if (slot.key.matches(key)) {
            slot.last_use = tick;
            ++cache.counters.hits;
            return cache.small_advances[i];
        }
        std::uint64_t use = slot.key.valid ? slot.last_use : 0;
        if (use < victim_use) {
            victim = i;
            victim_use = use;
        }
    }
    if (!fill_on_miss) return nullptr;
    const float* advances =
        fill(cache, *measurer, text, size, cache.small[victim].key, key, cache.small_advances[victim]);
    if (advances != nullptr) cache.small[victim].last_use = tick;
    return advances;
}

AdvanceCacheCounters advanceCacheCounters() { return tCache != nullptr ? tCache->counters : AdvanceCacheCounters{}; }

}  // namespace kelvo
