#include "widgets/chart.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kelvo {

namespace {

constexpr float kLargestFloat = std::numeric_limits<float>::max();

// A range around `centre` that stays a range in f32: half a unit each way, or more where the
// values are so large that half a unit is lost to rounding.
ChartDomain rangeAround(float centre) {
    const double half = std::max(0.5, std::fabs(static_cast<double>(centre)) * 0x1p-20);
    float lo = static_cast<float>(std::max(static_cast<double>(centre) - half, -static_cast<double>(kLargestFloat)));
    float hi = static_cast<float>(std::min(static_cast<double>(centre) + half, static_cast<double>(kLargestFloat)));
    if (!(lo < hi)) {
        lo = std::nextafter(centre, -kLargestFloat);
        hi = std::nextafter(centre, kLargestFloat);
    }
    return {lo, hi};
}

}  // namespace

ChartDomain chartDomain(const ChartData& chart) {
    bool seen = false;
    float lo = 0;
    float hi = 0;
    const auto widen = [&](float v) {
        if (!std::isfinite(v)) return;
        lo = seen ? std::min(lo, v) : v;
        hi = seen ? std::max(hi, v) : v;
        seen = true;
    };
    for (const ChartSeries& series : chart.series) {
        for (float v : series.values) widen(v);
        if ((series.kind & 3u) == 2) {
            for (float v : series.upper) widen(v);
        }
        if ((series.kind & 3u) == 1 && seen) {
            lo = std::min(lo, 0.0f);
            hi = std::max(hi, 0.0f);
        }
    }
    if (!seen) {
        lo = 0;
        hi = 1;
    }
    if (chart.minimum && std::isfinite(*chart.minimum)) lo = *chart.minimum;
    if (chart.maximum && std::isfinite(*chart.maximum)) hi = *chart.maximum;
    if (lo < hi) return {lo, hi};
    return rangeAround(lo);
}

std::uint8_t chartFormatModeForStep(double step) {
    if (!std::isfinite(step) || !(step > 0)) return 2;
    if (step >= 1) return 0;
    if (step >= 0.1) return 1;
    if (step >= 0.01) return 2;
    return 3;
}

ChartTickLattice chartTickLattice(float min, float max, std::uint64_t target) {
    const double n = static_cast<double>(std::clamp<std::uint64_t>(target, 1, 12));
    const double raw = (static_cast<double>(max) - min) / n;
    ChartTickLattice lattice;
    if (!std::isfinite(raw) || !(raw > 0)) return lattice;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    const double nice = r <= 1 ? 1 : r <= 2 ? 2 : r <= 5 ? 5 : 10;
    const double step = magnitude * nice;
    const double start = step * std::ceil(min / step);
    std::uint64_t count = 0;
    while (count <= 12 && start + static_cast<double>(count) * step <= max + step * 0.001) ++count;
    lattice.count = count;
    lattice.start = static_cast<float>(start);
    lattice.step = static_cast<float>(step);
    lattice.format_mode = chartFormatModeForStep(step);
    return lattice;
}

std::string_view formatChartValue(float value, std::span<char, kChartValueTextCapacity> buffer, std::uint8_t mode) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    const int decimals = std::min<int>(mode, 3);
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
    if (error != std::errc{}) return "nan";
    std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    if (text.find('.') != std::string_view::npos) {
        while (text.ends_with('0')) text.remove_suffix(1);
        if (text.ends_with('.')) text.remove_suffix(1);
    }
    if (text == "-0") return "0";
    return text;
}

double chartDomainFraction(const ChartDomain& domain, float value) {
    const double span = static_cast<double>(domain.max) - domain.min;
    const double fraction = (static_cast<double>(value) - domain.min) / span;
    if (std::isnan(fraction)) return 0;
    return std::clamp(fraction, 0.0, 1.0);
}

}  // namespace kelvo
