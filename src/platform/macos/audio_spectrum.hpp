#pragma once

// Private to src/platform/macos: the spectrum of what the player is heard playing. The tap writes
// mono samples into a lock-free ring on the audio thread; the main thread reads the newest 2,048,
// windows them, transforms them and folds the magnitudes into 32 logarithmic bands from 50 Hz to
// 16 kHz, each a byte for -60 dB ... 0 dB.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/macos/audio_fft.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

inline constexpr std::size_t kSpectrumRingSamples = 8192;
inline constexpr std::size_t kSpectrumWindowSamples = kFftLength;
inline constexpr std::size_t kSpectrumBandCount = 32;

// The ring shared by the tap (one writer) and the spectrum tick (one reader). Sample n lives at
// n mod 8192; the writer fills samples, then publishes the count with a sequentially consistent
// store; the reader loads the count with acquire before it copies. The 6,144 slots between the
// newest 2,048 and the writer leave the reader time to copy.
struct kelvo_spectrum_tap_state {
    float samples[kSpectrumRingSamples];
    std::atomic<std::uint64_t> written;
    std::atomic<double> sampleRate;
    std::atomic<std::int32_t> channels;
    std::atomic<std::int32_t> interleaved;
};
static_assert(sizeof(kelvo_spectrum_tap_state) == 32'792);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<double>::is_always_lock_free);

// One block with every byte 0; the tap frees it (KelvoSpectrumTapFinalize). Null when memory is short.
kelvo_spectrum_tap_state* allocateSpectrumTapState();

// The tap's callbacks, with the state block as storage. Process does no allocation and takes no
// lock: it mixes each frame down to one sample and publishes the new count once per buffer.
void KelvoSpectrumTapPrepare(void* storage, double sampleRate, std::int32_t channels, bool interleaved);
void KelvoSpectrumTapProcess(void* storage, const standin::TapBuffers& buffers);
void KelvoSpectrumTapFinalize(void* storage);
standin::AudioTap spectrumTap(kelvo_spectrum_tap_state* state);

// Working space of one spectrum (kept off the stack by its owner).
struct SpectrumScratch {
    std::array<float, kSpectrumWindowSamples> samples{};
    std::array<float, kFftBins> power{};
    FftScratch fft;
};

// The 2,048 samples before `written`, oldest first.
void copyNewestSpectrumSamples(const kelvo_spectrum_tap_state& state, std::uint64_t written,
                               std::span<float, kSpectrumWindowSamples> out);

// The FFT bins band `band` covers at `sampleRate`, first and last inclusive, always within
// 1 ... 1023; none for a band that starts at or above the Nyquist frequency.
struct SpectrumBandBins {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};
std::optional<SpectrumBandBins> spectrumBandBins(std::size_t band, double sampleRate);

// The 32 band bytes of `scratch.samples` (oldest first) at `sampleRate`; the samples are windowed
// in place. A band with no bins is 0.
void computeSpectrumBands(SpectrumScratch& scratch, double sampleRate,
                          std::span<std::uint8_t, kSpectrumBandCount> bands);

}  // namespace kelvo
