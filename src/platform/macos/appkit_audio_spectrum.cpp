// The spectrum timer: 25 times a second while audio plays, the newest 2,048 samples the tap saw
// become one spectrum event, unless nobody could see it (no window on screen), the stream waits
// for data, or the ring has not moved for over 250 ms.

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

constexpr std::int32_t kSpectrumEvent = 4;

bool anyHostWindowOnScreen(KelvoAppKitHost& host) {
    for (const auto& [id, window] : host.windows) {
        if (host.platform->windows.geometry(host.platform->self, window->ref).onScreen) return true;
    }
    return false;
}

}  // namespace

void audioSpectrumTick(KelvoAppKitHost& host) {
    HostAudio& audio = host.audio;
    if (audio.player == nullptr) {
        stopAudioSpectrumTimer(host);
        return;
    }
    const kelvo_spectrum_tap_state* state = audio.spectrumState;
    if (state == nullptr) return;
    const AudioValues values = currentAudioValues(host);
    if (!values.playing || values.buffering || !anyHostWindowOnScreen(host)) return;

    const std::uint64_t now = wallClockNs(host);
    std::uint64_t written = state->written.load(std::memory_order_acquire);
    if (written < kSpectrumWindowSamples) return;
    if (written != audio.spectrumLastWritten) {
        audio.spectrumLastWritten = written;
        audio.spectrumFreshNs = now;
    } else if (audio.spectrumFreshNs == 0 || now - audio.spectrumFreshNs > kAudioSpectrumFreshNs) {
        return;
    }
    if (!audio.spectrumScratch) audio.spectrumScratch = std::make_unique<SpectrumScratch>();

    written = state->written.load(std::memory_order_acquire);
    if (written < kSpectrumWindowSamples) return;
    const double sampleRate = state->sampleRate.load(std::memory_order_acquire);
    if (!(sampleRate > 0)) return;

    KelvoHostEvent event = hostEventOfKind(HostEventKind::audio);
    event.timestampNs = wallClockNs(host);
    SpectrumScratch& scratch = *audio.spectrumScratch;
    copyNewestSpectrumSamples(*state, written, scratch.samples);
    computeSpectrumBands(scratch, sampleRate, event.spectrumBands);
    event.audioEvent = kSpectrumEvent;
    event.audioPositionMs = values.positionMs;
    event.audioDurationMs = values.durationMs;
    event.audioPlaying = 1;
    emitEvent(host, event);
}

}  // namespace kelvo
