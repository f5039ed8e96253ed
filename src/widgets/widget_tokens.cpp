#include "widgets/widget_tokens.hpp"

#include <array>

namespace kelvo {

namespace {

// Density tables are laid out [large, undefined, compact, regular] and indexed by
// (density XOR 2) AND 3. The undefined slot holds the regular value, so a density of 3 reads as
// regular instead of collapsing every scaled length to 0.
float densityEntry(const std::array<float, 4>& table, std::uint8_t density) { return table[(density ^ 2u) & 3u]; }

constexpr std::array<float, 4> kDensityScale = {1.125f, 1.0f, 0.875f, 1.0f};
constexpr std::array<float, 4> kScrollbarMinThumb = {20.25f, 18.0f, 15.75f, 18.0f};
constexpr std::array<float, 4> kIndicatorMin = {18.0f, 16.0f, 14.0f, 16.0f};
constexpr std::array<float, 4> kIndicatorMax = {22.5f, 20.0f, 17.5f, 20.0f};

// Indexed by (size XOR 4) AND 7; the codes 6 and 7 (slots 2 and 3) scale by 1.0 rather than 0.
constexpr std::array<float, 8> kControlSizeScale = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.875f, 1.125f, 1.0f};

}  // namespace

const WidgetTokens& defaultWidgetTokens() {
    static const WidgetTokens tokens{};
    return tokens;
}

float densityScale(std::uint8_t density) { return densityEntry(kDensityScale, density); }
float densityScrollbarMinThumb(std::uint8_t density) { return densityEntry(kScrollbarMinThumb, density); }
float densityIndicatorMin(std::uint8_t density) { return densityEntry(kIndicatorMin, density); }
float densityIndicatorMax(std::uint8_t density) { return densityEntry(kIndicatorMax, density); }

float controlSizeScale(std::uint8_t size) { return kControlSizeScale[(size ^ 4u) & 7u]; }

}  // namespace kelvo
