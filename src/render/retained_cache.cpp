#include "render/retained_cache.hpp"

#include <algorithm>
#include <array>

#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kGenericIndexSlots = 4096;
constexpr std::size_t kGlyphIndexSlots = 32768;
constexpr std::size_t kLinearSearchLimit = 63;

// Indexes of one kind at a time; kinds are classified one after another.
struct RetainedCacheScratch {
    std::array<std::uint32_t, kGlyphIndexSlots> previous_slots;
    std::array<std::uint32_t, kGlyphIndexSlots> current_slots;
    std::array<std::uint8_t, kMaxGlyphCacheEntries> previous_used;
};

std::uint64_t entryHash(const RetainedCacheEntry& entry) {
    std::uint64_t hash = splitMix64Finalize(static_cast<std::uint64_t>(entry.kind) + 1);
    hash = foldHash(hash, entry.has_id ? entry.id : 0x9e3779b97f4a7c15ull);
    for (std::uint64_t word : entry.key) hash = foldHash(hash, word);
    return hash;
}

bool sameEntry(const RetainedCacheEntry& a, const RetainedCacheEntry& b) {
    return a.kind == b.kind && a.has_id == b.has_id && (!a.has_id || a.id == b.id) && a.key == b.key;
}

std::size_t indexSlotsFor(RetainedCacheKind kind) {
    return kind == RetainedCacheKind::glyph ? kGlyphIndexSlots : kGenericIndexSlots;
}

// An index is built only while the list stays within half its slots, which every list does at
// the capacities a frame tick lends.
bool fitsIndex(std::size_t count, const HashIndex& index) { return count * 2 <= index.slots.size(); }

std::optional<std::uint32_t> findIn(std::span<const RetainedCacheEntry> list, const HashIndex& index, bool indexed,
                                    const RetainedCacheEntry& entry, std::uint64_t hash) {
    if (indexed) return index.find(hash, [&](std::uint32_t at) { return sameEntry(list[at], entry); });
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (sameEntry(list[i], entry)) return static_cast<std::uint32_t>(i);
    }
    return std::nullopt;
}

Status pushAction(RetainedCacheClassifier& cache, const RetainedCacheEntry& entry, std::uint32_t slot,
                  CacheAction action) {
    if (cache.action_count == cache.storage.actions.size()) return fail(cache.full_error);
    cache.storage.actions[cache.action_count++] = {entry, slot, action};
    return {};
}

}  // namespace

RetainedCacheClassifier beginRetainedCache(RetainedCacheKind kind, RetainedCacheStorage storage,
                                           std::span<const RetainedCacheEntry> previous, std::uint64_t frame_tag,
                                           Error full_error) {
    auto& scratch = perThreadCanvasScratch<RetainedCacheScratch>();
    const std::size_t slots = indexSlotsFor(kind);
    RetainedCacheClassifier cache;
    cache.kind = kind;
    cache.storage = storage;
    cache.previous = previous.first(std::min(previous.size(), scratch.previous_used.size()));
    cache.full_error = full_error;
    cache.frame_tag = frame_tag;
    cache.previous_used = std::span(scratch.previous_used).first(cache.previous.size());
    std::fill(cache.previous_used.begin(), cache.previous_used.end(), std::uint8_t{0});
    cache.previous_index.slots = std::span(scratch.previous_slots).first(slots);
    cache.current_index.slots = std::span(scratch.current_slots).first(slots);
    if (cache.previous.size() > kLinearSearchLimit && fitsIndex(cache.previous.size(), cache.previous_index)) {
        cache.previous_index.clear();
        for (std::uint32_t i = 0; i < cache.previous.size(); ++i) {
            cache.previous_index.insert(cache.previous[i].hash, i);
        }
        cache.previous_indexed = true;
    }
    return cache;
}

Status addRetainedCacheEntry(RetainedCacheClassifier& cache, RetainedCacheEntry entry) {
    entry.kind = cache.kind;
    entry.frame_tag = cache.frame_tag;
    const std::uint64_t hash = entryHash(entry);
    entry.hash = hash;
    std::span<const RetainedCacheEntry> current = cache.storage.entries.first(cache.entry_count);
    if (findIn(current, cache.current_index, cache.current_indexed, entry, hash)) return {};
    if (cache.entry_count == cache.storage.entries.size()) return fail(cache.full_error);

    const auto at = static_cast<std::uint32_t>(cache.entry_count);
    cache.storage.entries[cache.entry_count++] = entry;
    if (cache.current_indexed) {
        cache.current_indexed =
            cache.current_index.insert(hash, at) && fitsIndex(cache.entry_count, cache.current_index);
    } else if (cache.entry_count > kLinearSearchLimit && fitsIndex(cache.entry_count, cache.current_index)) {
        cache.current_index.clear();
        for (std::uint32_t i = 0; i < cache.entry_count; ++i) {
            cache.current_index.insert(cache.storage.entries[i].hash, i);
        }
        cache.current_indexed = true;
    }

    std::optional<std::uint32_t> previous =
        findIn(cache.previous, cache.previous_index, cache.previous_indexed, entry, hash);
    if (previous) cache.previous_used[*previous] = 1;
    return pushAction(cache, entry, previous.value_or(kNoPreviousSlot),
                      previous ? CacheAction::retain : CacheAction::upload);
}

Status finishRetainedCache(RetainedCacheClassifier& cache, std::optional<std::uint64_t> retention) {
    for (std::uint32_t i = 0; i < cache.previous.size(); ++i) {
        if (cache.previous_used[i] != 0) continue;
        const RetainedCacheEntry& entry = cache.previous[i];
        const bool keep = retention && *retention != 0 &&
                          (cache.frame_tag <= entry.frame_tag || cache.frame_tag - entry.frame_tag <= *retention) &&
                          cache.entry_count < cache.storage.entries.size();
        if (keep) {
            cache.storage.entries[cache.entry_count++] = entry;
            TRY(pushAction(cache, entry, i, CacheAction::retain));
        } else {
            TRY(pushAction(cache, entry, i, CacheAction::evict));
        }
    }
    return {};
}

RetainedCacheLists retainedCacheLists(const RetainedCacheClassifier& cache) {
    return {cache.storage.entries.first(cache.entry_count), cache.storage.actions.first(cache.action_count)};
}

}  // namespace kelvo
