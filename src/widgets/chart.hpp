#pragma once

// The numeric rules of charts: the value domain of a chart's series, the tick lattice of a value
// axis and the text of a value.

#include <cstdint>
#include <span>
#include <string_view>

#include "widgets/widget_description.hpp"

namespace kelvo {

// A value range with min < max, both finite.
struct ChartDomain {
    float min = 0;
    float max = 1;
};

struct ChartTickLattice {
    std::uint64_t count = 0;  // 0..13
    float start = 0;
    float step = 0;
    std::uint8_t format_mode = 2;  // decimals: 0..3
};

inline constexpr std::size_t kChartValueTextCapacity = 48;

// Every finite value of every series (and the upper values of bands), 0 as soon as a bar series
// has been seen with a value, the explicit bounds where finite; no finite value gives 0..1. A
// range that is empty or inverted becomes one centred on its minimum, wide enough to stay a range
// at any magnitude (at least 0.5 each way).
ChartDomain chartDomain(const ChartData& chart);

// At most 12 steps of 1, 2 or 5 times a power of ten from the first multiple of the step at or
// above `min` up to `max`.
ChartTickLattice chartTickLattice(float min, float max, std::uint64_t target);

// The decimals a step needs: 0 for steps of 1 or more, 1 from 0.1, 2 from 0.01, else 3; 2 for a
// step that is not finite and positive.
std::uint8_t chartFormatModeForStep(double step);

// `value` with `mode` decimals, trailing zeros and a trailing point removed, "-0" as "0"; "nan",
// "inf" and "-inf" for values that are not finite.
std::string_view formatChartValue(float value, std::span<char, kChartValueTextCapacity> buffer, std::uint8_t mode);

// Where `value` lies in the domain, from 0 at min to 1 at max, clamped; computed in double so that
// the widest domains do not overflow.
double chartDomainFraction(const ChartDomain& domain, float value);

}  // namespace kelvo
