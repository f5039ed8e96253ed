#include "platform/macos/audio_fft.hpp"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace kelvo {

namespace {

constexpr std::size_t kHalf = kFftBins;  // points of the complex transform
constexpr unsigned kHalfBits = 10;
static_assert(std::size_t{1} << kHalfBits == kHalf);

struct FftTables {
    // e^(−2πik/2048) for k = 0 ... 1023; the complex transform's twiddles are every other one.
    std::array<float, kHalf> cosine{};
    std::array<float, kHalf> sine{};
    std::array<std::uint16_t, kHalf> reversed{};
    std::array<float, kFftLength> hann{};
};

FftTables makeTables() {
    FftTables tables;
    for (std::size_t k = 0; k < kHalf; ++k) {
        const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(kFftLength);
        tables.cosine[k] = static_cast<float>(std::cos(angle));
        tables.sine[k] = static_cast<float>(std::sin(angle));
        std::size_t r = 0;
        for (unsigned bit = 0; bit < kHalfBits; ++bit) r |= ((k >> bit) & 1u) << (kHalfBits - 1 - bit);
        tables.reversed[k] = static_cast<std::uint16_t>(r);
    }
    for (std::size_t n = 0; n < kFftLength; ++n) {
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(n) / static_cast<double>(kFftLength);
        tables.hann[n] = static_cast<float>(0.5 * (1.0 - std::cos(phase)));
    }
    return tables;
}

const FftTables& tables() {
    static const FftTables made = makeTables();
    return made;
}

// In-place radix-2 decimation-in-time FFT of 1,024 complex points, input in bit-reversed order.
void complexFft1024(const FftTables& t, float* re, float* im) {
    for (std::size_t length = 2; length <= kHalf; length *= 2) {
        const std::size_t half = length / 2;
        const std::size_t stride = kFftLength / length;  // twiddle step in the 2,048-point table
        for (std::size_t start = 0; start < kHalf; start += length) {
            for (std::size_t j = 0; j < half; ++j) {
                const float wr = t.cosine[j * stride];
                const float wi = t.sine[j * stride];
                const std::size_t a = start + j;
                const std::size_t b = a + half;
                const float br = re[b] * wr - im[b] * wi;
                const float bi = re[b] * wi + im[b] * wr;
                re[b] = re[a] - br;
                im[b] = im[a] - bi;
                re[a] += br;
                im[a] += bi;
            }
        }
    }
}

}  // namespace

void fftPower2048(std::span<const float, kFftLength> samples, FftScratch& scratch, std::span<float, kFftBins> power) {
    const FftTables& t = tables();
    float* re = scratch.re.data();
    float* im = scratch.im.data();
    // z[n] = x[2n] + i·x[2n+1], placed in bit-reversed order.
    for (std::size_t n = 0; n < kHalf; ++n) {
        const std::size_t to = t.reversed[n];
        re[to] = samples[2 * n];
        im[to] = samples[2 * n + 1];
    }
    complexFft1024(t, re, im);
    // X[k] = E[k] + e^(−2πik/2048)·O[k], with E and O the transforms of the even and odd samples:
    // E[k] = (Z[k] + conj Z[1024−k]) / 2, O[k] = (Z[k] − conj Z[1024−k]) / 2i.
    for (std::size_t k = 0; k < kHalf; ++k) {
        const std::size_t m = (kHalf - k) & (kHalf - 1);
        const float er = 0.5f * (re[k] + re[m]);
        const float ei = 0.5f * (im[k] - im[m]);
        const float or_ = 0.5f * (im[k] + im[m]);
        const float oi = -0.5f * (re[k] - re[m]);
        const float xr = er + t.cosine[k] * or_ - t.sine[k] * oi;
        const float xi = ei + t.cosine[k] * oi + t.sine[k] * or_;
        power[k] = 4.0f * (xr * xr + xi * xi);
    }
}

std::span<const float, kFftLength> hannWindow2048() { return tables().hann; }

}  // namespace kelvo
