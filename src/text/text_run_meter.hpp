#pragma once

// Private to src/text: how layout measures byte ranges of one text. Per-byte advances come from
// the per-thread cache when the measurer gives them; otherwise ranges are measured whole and walks
// sum per-character widths, so that breaking a line costs one measurement per character.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text_measure_cache.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

struct TextRunMeter {
    const TextMeasurer* measurer = nullptr;
    std::uint64_t font = 0;
    std::string_view text;
    float size = 0;
    std::uint64_t hash = 0;
    bool hashed = false;

    TextRunMeter() = default;
    TextRunMeter(const TextMeasurer* m, std::uint64_t f, std::string_view t, float s)
        : measurer(usableTextMeasurer(m)), font(f), text(t), size(s) {}

    // The per-byte advances of the whole text, or null. With `fill` false the cache is only looked in.
    const float* advances(bool fill = true) {
        if (measurer == nullptr || measurer->measureTextAdvances == nullptr || text.size() > kAdvanceCacheLargeRun) {
            return nullptr;
        }
        if (!hashed) {
            hash = textRunHash(text);
            hashed = true;
        }
        return textRunAdvancesHashed(measurer, font, text, hash, size, fill);
    }

    // The width of [from, to): summed from cached advances when there are any, else measured whole.
    float rangeWidth(std::size_t from, std::size_t to, bool fill = true) {
        if (to <= from) return 0.0f;
        if (const float* cached = advances(fill)) return sumAdvances(cached, from, to);
        return measureTextWidthForFont(measurer, font, text.substr(from, to - from), size);
    }

    // The width of the character [at, at + length) as a walk adds it up.
    float charWidth(const float* cached, std::size_t at, std::size_t length) const {
        if (cached != nullptr) return sumAdvances(cached, at, at + length);
        std::string_view bytes = text.substr(at, length);
        if (textMeasurerAddsUp(measurer)) return estimateTextAdvanceForBytes(font, bytes, size);
        return measureTextWidthForFont(measurer, font, bytes, size);
    }

    static float sumAdvances(const float* cached, std::size_t from, std::size_t to) {
        float width = 0.0f;
        for (std::size_t i = from; i < to; ++i) width += cached[i];
        return width;
    }
};

}  // namespace kelvo
