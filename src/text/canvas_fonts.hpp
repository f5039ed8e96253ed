#pragma once

// The measurer bindings the runtime holds: the text measurer that layout calls and the canvas font
// measure binding, both starting out on the built-in estimate until the platform's font engine is
// bound.

#include <cstddef>
#include <cstdint>

#include "text/text_metrics.hpp"

namespace kelvo {

// The `measureText` of the unbound measurer: ignores its context and returns the per-character
// estimate sum.
float unboundCanvasFontMeasure(void* context, std::uint64_t font, const char* text, std::size_t length, float size);

// The measurer before anything is bound: the estimate, with no per-byte advances.
inline constexpr TextMeasurer kUnboundTextMeasurer{nullptr, &unboundCanvasFontMeasure, nullptr};

// The runtime's text measurer record and whether the platform's measurer was bound to it.
struct TextMeasurerBinding {
    TextMeasurer measurer = kUnboundTextMeasurer;
    bool bound = false;
};

// The runtime's canvas font measure binding: a context and a `measureText` operation.
struct CanvasFontMeasureBinding {
    void* context = nullptr;
    MeasureTextFn measure = &unboundCanvasFontMeasure;
};

// Binds `measurer` and advances the measurer generation, so that every width measured under the
// previous measurer is measured again.
void bindTextMeasurer(TextMeasurerBinding& binding, const TextMeasurer& measurer);

// Advances the measurer generation (an appearance change: fonts may render differently).
void invalidateTextMeasurements();

}  // namespace kelvo
