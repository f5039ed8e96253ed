#include "text/canvas_fonts.hpp"

#include <string_view>

#include "text/measure_generation.hpp"

namespace kelvo {

float unboundCanvasFontMeasure(void*, std::uint64_t font, const char* text, std::size_t length, float size) {
    return estimateTextWidth(font, std::string_view(text, length), size);
}

void bindTextMeasurer(TextMeasurerBinding& binding, const TextMeasurer& measurer) {
    binding.measurer = measurer;
    binding.bound = true;
    invalidateTextMeasurements();
}

void invalidateTextMeasurements() { textMeasureGeneration().fetch_add(1, std::memory_order_relaxed); }

}  // namespace kelvo
