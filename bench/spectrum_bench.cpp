// The audio spectrum's cost on the main thread, per 2,048-sample frame (25 frames a second while
// audio plays): copying from the ring, windowing, the transform and the 32 bands.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "platform/macos/audio_spectrum.hpp"

namespace {

using namespace kelvo;

void fillRing(kelvo_spectrum_tap_state& state) {
    for (std::size_t n = 0; n < kSpectrumRingSamples; ++n) {
        state.samples[n] =
            static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 1000 * static_cast<double>(n) / 44100));
    }
    state.written.store(kSpectrumRingSamples + 1234);
}

void BM_SpectrumFrame(benchmark::State& run) {
    std::unique_ptr<kelvo_spectrum_tap_state> state(new kelvo_spectrum_tap_state{});
    fillRing(*state);
    auto scratch = std::make_unique<SpectrumScratch>();
    std::array<std::uint8_t, kSpectrumBandCount> bands{};
    for (auto _ : run) {
        copyNewestSpectrumSamples(*state, state->written.load(), scratch->samples);
        computeSpectrumBands(*scratch, 44100, bands);
        benchmark::DoNotOptimize(bands.data());
    }
}
BENCHMARK(BM_SpectrumFrame);

void BM_Transform2048(benchmark::State& run) {
    auto scratch = std::make_unique<SpectrumScratch>();
    for (std::size_t n = 0; n < kFftLength; ++n) scratch->samples[n] = static_cast<float>(n % 7) - 3.0f;
    for (auto _ : run) {
        fftPower2048(scratch->samples, scratch->fft, scratch->power);
        benchmark::DoNotOptimize(scratch->power.data());
    }
}
BENCHMARK(BM_Transform2048);

}  // namespace

BENCHMARK_MAIN();
