#pragma once

// Private to src/platform/macos: the host's audio state. One source plays at a time; its player,
// the tap's ring, the two timers that run while it plays and the download that caches a stream.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/macos/audio_spectrum.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

struct KelvoAppKitHost;

inline constexpr std::uint64_t kAudioStateIntervalNs = 500'000'000;
inline constexpr std::uint64_t kAudioSpectrumIntervalNs = 40'000'000;
inline constexpr std::uint64_t kAudioSpectrumFreshNs = 250'000'000;

struct HostAudio {
    standin::PlayerRef player = nullptr;  // none when nothing is loaded
    bool sourceIsLocal = false;           // a file (also a complete cache file), not a stream
    bool buffering = false;               // a stream waits for data
    bool loadedEmitted = false;
    standin::TimerId positionTimer = 0;                 // 0.5 s state events while playing
    standin::TimerId spectrumTimer = 0;                 // 0.04 s spectrum events while playing
    kelvo_spectrum_tap_state* spectrumState = nullptr;  // owned by the player's tap
    std::uint64_t spectrumLastWritten = 0;
    std::uint64_t spectrumFreshNs = 0;                 // wall clock when the ring last moved; 0 never
    std::unique_ptr<SpectrumScratch> spectrumScratch;  // made on first use
    std::optional<standin::DownloadId> cacheDownload;
};

// The host's stop and tear-down end playback with this (no event is sent); false when nothing
// was loaded.
bool audioStop(KelvoAppKitHost& host);

// One spectrum timer tick (appkit_audio_spectrum.cpp).
void audioSpectrumTick(KelvoAppKitHost& host);
void stopAudioSpectrumTimer(KelvoAppKitHost& host);

// Current position and duration in whole milliseconds (0 when unknown), and whether the player
// plays and a stream waits.
struct AudioValues {
    std::uint64_t positionMs = 0;
    std::uint64_t durationMs = 0;
    bool playing = false;
    bool buffering = false;
};
AudioValues currentAudioValues(KelvoAppKitHost& host);

}  // namespace kelvo
