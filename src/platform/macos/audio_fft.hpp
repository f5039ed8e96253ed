#pragma once

// Private to src/platform/macos: the spectrum's transform. A real forward DFT of 2,048 points,
// computed as a 1,024-point complex radix-2 FFT of the even and odd samples and one split pass,
// and the 2,048-point Hann window. Tables are made once per process, on first use.

#include <array>
#include <cstddef>
#include <span>

namespace kelvo {

inline constexpr std::size_t kFftLength = 2048;
inline constexpr std::size_t kFftBins = kFftLength / 2;

// Working space of one transform (kept off the stack by its owner).
struct FftScratch {
    std::array<float, kFftBins> re{};
    std::array<float, kFftBins> im{};
};

// power[k] = 4·|X[k]|² for X[k] = Σ x[n]·e^(−2πikn/2048), k = 0 ... 1023: the band levels are
// defined on a transform that yields twice the plain DFT.
void fftPower2048(std::span<const float, kFftLength> samples, FftScratch& scratch, std::span<float, kFftBins> power);

// w[n] = 0.5 · (1 − cos(2πn / 2048)), n = 0 ... 2047 (not normalised).
std::span<const float, kFftLength> hannWindow2048();

}  // namespace kelvo
