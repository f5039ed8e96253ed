#include "platform/macos/audio_spectrum.hpp"

#include <algorithm>
#include <cmath>
#include <new>

namespace kelvo {

namespace {

constexpr double kLowestHz = 50.0;
constexpr double kBandSpan = 320.0;  // 50 Hz · 320 = 16 kHz
constexpr std::uint32_t kLastBin = kFftBins - 1;
constexpr float kFloorDb = -60.0f;

using RingSlot = std::atomic_ref<float>;

double bandEdgeHz(std::size_t edge) {
    return kLowestHz * std::pow(kBandSpan, static_cast<double>(edge) / static_cast<double>(kSpectrumBandCount));
}

std::uint8_t levelByte(float peakPower) {
    const float amplitude = 2.0f * std::sqrt(peakPower) / static_cast<float>(kFftLength);
    float level = amplitude > 0.0f ? 20.0f * std::log10(amplitude) : kFloorDb;
    level = std::clamp(level, kFloorDb, 0.0f);
    return static_cast<std::uint8_t>(std::lround((level - kFloorDb) / -kFloorDb * 255.0f));
}

}  // namespace

kelvo_spectrum_tap_state* allocateSpectrumTapState() { return new (std::nothrow) kelvo_spectrum_tap_state{}; }

void KelvoSpectrumTapPrepare(void* storage, double sampleRate, std::int32_t channels, bool interleaved) {
    auto& state = *static_cast<kelvo_spectrum_tap_state*>(storage);
    state.sampleRate.store(sampleRate);
    state.channels.store(channels);
    state.interleaved.store(interleaved ? 1 : 0);
}

void KelvoSpectrumTapProcess(void* storage, const standin::TapBuffers& buffers) {
    auto& state = *static_cast<kelvo_spectrum_tap_state*>(storage);
    const std::int32_t channels = state.channels.load();
    if (channels < 1 || buffers.count == 0 || buffers.data == nullptr) return;
    const bool interleaved = state.interleaved.load() != 0;
    const float* first = buffers.data[0];
    if (interleaved && first == nullptr) return;
    const auto width = static_cast<std::size_t>(channels);
    const auto divisor = static_cast<float>(channels);
    std::uint64_t written = state.written.load(std::memory_order_relaxed);  // this thread is the only writer
    for (std::size_t i = 0; i < buffers.frames; ++i) {
        float sum = 0.0f;
        if (interleaved) {
            for (std::size_t c = 0; c < width; ++c) sum += first[i * width + c];
        } else {
            for (std::uint32_t b = 0; b < buffers.count; ++b) {
                if (buffers.data[b] != nullptr) sum += buffers.data[b][i];
            }
        }
        RingSlot(state.samples[written % kSpectrumRingSamples]).store(sum / divisor, std::memory_order_relaxed);
        ++written;
    }
    state.written.store(written, std::memory_order_seq_cst);
}

void KelvoSpectrumTapFinalize(void* storage) { delete static_cast<kelvo_spectrum_tap_state*>(storage); }

standin::AudioTap spectrumTap(kelvo_spectrum_tap_state* state) {
    return standin::AudioTap{state, KelvoSpectrumTapPrepare, KelvoSpectrumTapProcess, KelvoSpectrumTapFinalize};
}

void copyNewestSpectrumSamples(const kelvo_spectrum_tap_state& state, std::uint64_t written,
                               std::span<float, kSpectrumWindowSamples> out) {
    const std::uint64_t oldest = written - kSpectrumWindowSamples;
    auto& ring = const_cast<kelvo_spectrum_tap_state&>(state).samples;  // atomic_ref wants a mutable slot
    for (std::size_t i = 0; i < kSpectrumWindowSamples; ++i) {
        out[i] = RingSlot(ring[(oldest + i) % kSpectrumRingSamples]).load(std::memory_order_relaxed);
    }
}

std::optional<SpectrumBandBins> spectrumBandBins(std::size_t band, double sampleRate) {
    const double binWidth = sampleRate / static_cast<double>(kFftLength);
    if (!(binWidth > 0)) return std::nullopt;
    const double lowBin = std::trunc(bandEdgeHz(band) / binWidth);
    // Below about 26.8 kHz the top bands start past the last bin: they show nothing rather than
    // read beyond the transform.
    if (!(lowBin <= kLastBin)) return std::nullopt;
    const auto first = std::max<std::uint32_t>(static_cast<std::uint32_t>(lowBin), 1);
    const double highBin = std::ceil(bandEdgeHz(band + 1) / binWidth);
    const std::uint32_t last = highBin >= kLastBin ? kLastBin : static_cast<std::uint32_t>(highBin);
    return SpectrumBandBins{first, std::max(first, last)};
}

void computeSpectrumBands(SpectrumScratch& scratch, double sampleRate,
                          std::span<std::uint8_t, kSpectrumBandCount> bands) {
    const std::span<const float, kFftLength> window = hannWindow2048();
    for (std::size_t i = 0; i < kFftLength; ++i) scratch.samples[i] *= window[i];
    fftPower2048(scratch.samples, scratch.fft, scratch.power);
    for (std::size_t band = 0; band < kSpectrumBandCount; ++band) {
        const std::optional<SpectrumBandBins> bins = spectrumBandBins(band, sampleRate);
        if (!bins) {
            bands[band] = 0;
            continue;
        }
        float peak = 0.0f;
        for (std::uint32_t k = bins->first; k <= bins->last; ++k) peak = std::max(peak, scratch.power[k]);
        bands[band] = levelByte(peak);
    }
}

}  // namespace kelvo
