#pragma once

// Test measurers with exact widths: every character is one em wide (size points), so geometry can
// be checked by hand. The advances variant also counts its calls.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/measure_generation.hpp"
#include "text/text_layout.hpp"
#include "text/text_metrics.hpp"

namespace kelvo::testing {

struct MeasureCalls {
    int widths = 0;
    int advances = 0;
};

inline std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += textCharLength(text, at)) ++count;
    return count;
}

inline float fixedMeasureText(void* context, std::uint64_t, const char* text, std::size_t length, float size) {
    if (context != nullptr) ++static_cast<MeasureCalls*>(context)->widths;
    return static_cast<float>(characterCount({text, length})) * size;
}

inline bool fixedMeasureAdvances(void* context, std::uint64_t, const char* text, std::size_t length, float* out,
                                 std::size_t capacity, float size) {
    if (context != nullptr) ++static_cast<MeasureCalls*>(context)->advances;
    if (capacity < length) return false;
    std::string_view view(text, length);
    for (std::size_t at = 0; at < length;) {
        std::size_t n = textCharLength(view, at);
        out[at] = size;
        for (std::size_t i = 1; i < n; ++i) out[at + i] = 0.0f;
        at += n;
    }
    return true;
}

// Widths only: layout sums per-character widths.
inline TextMeasurer widthOnlyMeasurer(MeasureCalls* calls = nullptr) { return {calls, &fixedMeasureText, nullptr}; }

// Widths and per-byte advances: layout reads the advance cache.
inline TextMeasurer advancesMeasurer(MeasureCalls* calls = nullptr) {
    return {calls, &fixedMeasureText, &fixedMeasureAdvances};
}

// A run of `text` at size 10 with its first baseline at y 10, so that line i spans y 12.5 i to
// 12.5 (i + 1).
inline TextRun emRun(std::string_view text) {
    TextRun run;
    run.text = text;
    run.size = 10;
    run.baseline_y = 10;
    return run;
}

// Makes every cached measurement of earlier tests stale.
inline void forgetCachedMeasurements() { textMeasureGeneration().fetch_add(1, std::memory_order_relaxed); }

}  // namespace kelvo::testing
