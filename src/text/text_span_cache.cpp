#include <bit>

#include "base/wyhash.hpp"
#include "text/canvas_scratch.hpp"
#include "text/measure_generation.hpp"
#include "text/text_spans.hpp"

namespace kelvo {

namespace {

// A fragment without its text pointer, which is rebuilt from the span on a hit.
struct StoredFragment {
    std::uint64_t offset;
    std::uint64_t length;
    std::uint64_t font;
    std::uint32_t span_index;
    std::uint32_t line;
    float x;
    float width;
    float y;
    float size;
};

struct SpanWrapEntry {
    std::uint64_t key;
    std::uint64_t last_use;
    SpanLayoutResult result;  // without its fragments
    std::uint32_t count;
    bool valid;
    StoredFragment fragments[kSpanWrapCacheFragments];
};

// Fresh pages are zero-filled: every entry starts invalid.
struct SpanWrapCache {
    SpanWrapEntry entries[kSpanWrapCacheEntries];
    std::uint64_t tick;
    std::uint64_t hits;
};

thread_local SpanWrapCache* tCache = nullptr;

std::uint64_t spanLayoutKey(std::span<const TextSpan> spans, const SpanLayoutOptions& options) {
    Wyhash hash(0);
    auto byte = [&](std::uint8_t value) { hash.update(std::span<const std::uint8_t>(&value, 1)); };
    auto bits = [&](float value) {
        std::uint32_t word = std::bit_cast<std::uint32_t>(value);
        std::uint8_t le[4] = {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                              static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 24)};
        hash.update(std::span<const std::uint8_t>(le, 4));
    };
    for (std::size_t i = 0; i < spans.size() && i < kMaxLaidOutSpans; ++i) {
        const TextSpan& span = spans[i];
        hash.updateU64(span.text.size());
        hash.update(span.text);
        byte(static_cast<std::uint8_t>(span.weight) & 3u);
        byte(span.italic ? 1 : 0);
        byte(span.monospace ? 1 : 0);
        bits(span.size_scale);
    }
    hash.updateU64(spans.size());
    hash.updateU64(options.default_font);
    hash.updateU64(options.monospace_font);
    const TextMeasurer* measurer = usableTextMeasurer(options.measurer);
    hash.updateU64(measurer ? reinterpret_cast<std::uintptr_t>(measurer->context) : 0);
    hash.updateU64(measurer ? reinterpret_cast<std::uintptr_t>(measurer->measureText) : 0);
    hash.updateU64(textMeasureGeneration().load(std::memory_order_relaxed));
    bits(options.base_size);
    bits(options.line_height);
    bits(options.max_width);
    byte(static_cast<std::uint8_t>(maskedTextWrap(options.wrap)));
    byte(static_cast<std::uint8_t>(maskedTextAlign(options.align)));
    return hash.digest();
}

// The entry's fragments still lie inside the spans they name and fit the caller's buffer.
bool entryUsable(const SpanWrapEntry& entry, std::span<const TextSpan> spans, std::size_t capacity) {
    if (entry.count > capacity) return false;
    std::size_t laid_out = std::min(spans.size(), kMaxLaidOutSpans);
    for (std::uint32_t i = 0; i < entry.count; ++i) {
        const StoredFragment& f = entry.fragments[i];
        if (f.span_index >= laid_out) return false;
        std::size_t size = spans[f.span_index].text.size();
        if (f.offset > size || f.length > size - f.offset) return false;
    }
    return true;
}

}  // namespace

SpanLayoutResult layoutTextSpans(std::span<const TextSpan> spans, const SpanLayoutOptions& options,
                                 std::span<SpanFragment> fragments) {
    if (tCache == nullptr) tCache = static_cast<SpanWrapCache*>(takeCanvasScratchPages(sizeof(SpanWrapCache)));
    SpanWrapCache& cache = *tCache;
    std::uint64_t key = spanLayoutKey(spans, options);
    std::uint64_t tick = ++cache.tick;

    SpanWrapEntry* victim = &cache.entries[0];
    std::uint64_t victim_use = UINT64_MAX;
    for (SpanWrapEntry& entry : cache.entries) {
        if (entry.valid && entry.key == key && entryUsable(entry, spans, fragments.size())) {
            entry.last_use = tick;
            ++cache.hits;
            for (std::uint32_t i = 0; i < entry.count; ++i) {
                const StoredFragment& f = entry.fragments[i];
                fragments[i] = SpanFragment{f.span_index, spans[f.span_index].text.substr(f.offset, f.length),
                                            f.line,       f.font,
                                            f.x,          f.width,
                                            f.y,          f.size};
            }
            SpanLayoutResult result = entry.result;
            result.fragments = fragments.first(entry.count);
            return result;
        }
        std::uint64_t use = entry.valid ? entry.last_use : 0;
        if (use < victim_use) {
            victim = &entry;
            victim_use = use;
        }
    }

    SpanLayoutResult result = layoutTextSpansUncached(spans, options, fragments);
    // A result cut short by the caller's buffer is not what a larger buffer would get: not kept.
    bool cut_by_buffer = result.truncated && result.fragments.size() == fragments.size();
    if (result.fragments.size() > kSpanWrapCacheFragments || cut_by_buffer) return result;
    SpanWrapEntry& entry = *victim;
    entry.key = key;
    entry.last_use = tick;
    entry.result = result;
    entry.result.fragments = {};
    entry.count = static_cast<std::uint32_t>(result.fragments.size());
    for (std::size_t i = 0; i < result.fragments.size(); ++i) {
        const SpanFragment& f = result.fragments[i];
        entry.fragments[i] = StoredFragment{static_cast<std::uint64_t>(f.text.data() - spans[f.span_index].text.data()),
                                            f.text.size(),
                                            f.font,
                                            static_cast<std::uint32_t>(f.span_index),
                                            static_cast<std::uint32_t>(f.line),
                                            f.x,
                                            f.width,
                                            f.y,
                                            f.size};
    }
    entry.valid = true;
    return result;
}

std::uint64_t spanWrapCacheHits() { return tCache != nullptr ? tCache->hits : 0; }

}  // namespace kelvo
