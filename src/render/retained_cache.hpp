#pragma once

// Private to src/render. Classifies the entries a frame needs of one retained-cache kind against
// the previous presented frame's entries: new entries are uploads, entries the previous frame had
// are retains, and the previous frame's entries this frame does not use are evictions, except
// where a retention keeps them a while (glyph atlas and text layout caches). Lists of more than 63
// entries are looked up through a hash index, up to each kind's full capacity.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "render/frame.hpp"
#include "render/hash_index.hpp"

namespace kelvo {

struct RetainedCacheClassifier {
    RetainedCacheKind kind = RetainedCacheKind::resource;
    RetainedCacheStorage storage;
    std::span<const RetainedCacheEntry> previous;
    Error full_error = Error::RenderResourceCacheListFull;
    std::uint64_t frame_tag = 0;
    std::size_t entry_count = 0;
    std::size_t action_count = 0;
    std::span<std::uint8_t> previous_used;
    HashIndex previous_index;
    HashIndex current_index;
    bool previous_indexed = false;
    bool current_indexed = false;
};

// Starts classifying one kind into `storage` (taken from the per-thread scratch of the plan).
RetainedCacheClassifier beginRetainedCache(RetainedCacheKind kind, RetainedCacheStorage storage,
                                           std::span<const RetainedCacheEntry> previous, std::uint64_t frame_tag,
                                           Error full_error);

// Adds an entry the frame needs (an entry equal to one already added is not added again).
Status addRetainedCacheEntry(RetainedCacheClassifier& cache, RetainedCacheEntry entry);

// Evicts the previous entries the frame did not use; with a retention (glyph atlas and text
// layout caches) those used within the last `retention` frames are carried over instead.
Status finishRetainedCache(RetainedCacheClassifier& cache, std::optional<std::uint64_t> retention);

RetainedCacheLists retainedCacheLists(const RetainedCacheClassifier& cache);

}  // namespace kelvo
