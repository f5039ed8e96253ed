// Audio playback: loading a file or a stream (with its cache file), play, pause, stop, seek and
// volume, and the events the runtime hears of it: loaded once, state every 0.5 s while playing
// and whenever a stream starts or stops waiting, ended, failed. The spectrum lives beside this
// (appkit_audio_spectrum.cpp).

#include <cmath>

#include "base/posix_io.hpp"
#include "base/utf8.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/audio_cache.hpp"

namespace kelvo {

namespace {

enum class AudioEventKind : std::int32_t { loaded = 0, state = 1, ended = 2, failed = 3 };

constexpr std::int32_t kLoadOk = 0;
constexpr std::int32_t kLoadNotFound = 1;
constexpr std::int32_t kLoadUndecodable = 2;
constexpr std::int32_t kUrlStreaming = 0;
constexpr std::int32_t kUrlCacheFile = 1;
constexpr std::int32_t kUrlInvalid = 2;

const Io& fileSystem() {
    static const Io io = posixIo();
    return io;
}

// Milliseconds rounded half away from 0; 0 unless known, finite and positive.
std::uint64_t wholeMs(const std::optional<double>& ms) {
    if (!ms || !std::isfinite(*ms) || *ms <= 0) return 0;
    return static_cast<std::uint64_t>(std::llround(*ms));
}

KelvoHostEvent audioEvent(KelvoAppKitHost& host, AudioEventKind kind) {
    KelvoHostEvent event = hostEventOfKind(HostEventKind::audio);
    event.timestampNs = wallClockNs(host);
    event.audioEvent = static_cast<std::int32_t>(kind);
    return event;
}

void emitAudioValues(KelvoAppKitHost& host, AudioEventKind kind) {
    KelvoHostEvent event = audioEvent(host, kind);
    const AudioValues now = currentAudioValues(host);
    event.audioPositionMs = now.positionMs;
    event.audioDurationMs = now.durationMs;
    event.audioPlaying = now.playing ? 1 : 0;
    event.audioBuffering = now.buffering ? 1 : 0;
    emitEvent(host, event);
}

void stopTimer(KelvoAppKitHost& host, standin::TimerId& timer) {
    if (timer == 0) return;
    host.platform->loop.cancelTimer(host.platform->self, timer);
    timer = 0;
}

void stopAudioPositionTimer(KelvoAppKitHost& host) { stopTimer(host, host.audio.positionTimer); }

void tearDownSpectrumTap(KelvoAppKitHost& host) {
    stopAudioSpectrumTimer(host);
    // The block belongs to the tap, which the player finalizes when it goes.
    host.audio.spectrumState = nullptr;
    host.audio.spectrumLastWritten = 0;
    host.audio.spectrumFreshNs = 0;
}

void tearDownPlayer(KelvoAppKitHost& host, bool cancelDownload) {
    HostAudio& audio = host.audio;
    standin::StandIn& platform = *host.platform;
    tearDownSpectrumTap(host);
    if (audio.player != nullptr) platform.audio.destroyPlayer(platform.self, audio.player);
    audio.player = nullptr;
    audio.sourceIsLocal = false;
    audio.buffering = false;
    audio.loadedEmitted = false;
    // A download that outlives its item (after the end) still fills the cache.
    if (cancelDownload && audio.cacheDownload) platform.audio.cancelDownload(platform.self, *audio.cacheDownload);
    audio.cacheDownload.reset();
}

void didPlayToEnd(KelvoAppKitHost& host) {
    stopAudioPositionTimer(host);
    const standin::PlayerTimes times = host.platform->audio.times(host.platform->self, host.audio.player);
    const std::uint64_t durationMs = wholeMs(times.durationMs);
    tearDownPlayer(host, false);
    KelvoHostEvent event = audioEvent(host, AudioEventKind::ended);
    event.audioPositionMs = durationMs;
    event.audioDurationMs = durationMs;
    emitEvent(host, event);
}

void didFail(KelvoAppKitHost& host) {
    stopAudioPositionTimer(host);
    tearDownPlayer(host, true);
    emitEvent(host, audioEvent(host, AudioEventKind::failed));
}

void installSpectrumTap(KelvoAppKitHost& host) {
    standin::StandIn& platform = *host.platform;
    kelvo_spectrum_tap_state* state = allocateSpectrumTapState();
    if (state == nullptr) return;
    if (!platform.audio.attachTap(platform.self, host.audio.player, spectrumTap(state))) {
        KelvoSpectrumTapFinalize(state);
        return;
    }
    host.audio.spectrumState = state;
    host.audio.spectrumLastWritten = 0;
    host.audio.spectrumFreshNs = 0;
}

void onPlayerEvent(void* context, standin::PlayerRef player, const standin::PlayerEvent& event) {
    KelvoAppKitHost& host = *static_cast<KelvoAppKitHost*>(context);
    HostAudio& audio = host.audio;
    if (player == nullptr || player != audio.player) return;  // an earlier item's news
    using Kind = standin::PlayerEventKind;
    switch (event.kind) {
        case Kind::ready:
            if (audio.loadedEmitted) return;
            audio.loadedEmitted = true;
            emitAudioValues(host, AudioEventKind::loaded);
            return;
        case Kind::failed:
            didFail(host);
            return;
        case Kind::ended:
            didPlayToEnd(host);
            return;
        case Kind::waiting_changed:
            if (audio.sourceIsLocal || event.waiting == audio.buffering) return;
            audio.buffering = event.waiting;
            emitAudioValues(host, AudioEventKind::state);
            return;
        case Kind::tracks_loaded:
            if (host.didShutdown || !event.tracksLoaded || event.audioTracks == 0) return;
            if (audio.spectrumState == nullptr) installSpectrumTap(host);
            return;
    }
}

// Makes the player for a source; it waits paused until play.
bool installItem(KelvoAppKitHost& host, std::string_view location, bool local) {
    standin::StandIn& platform = *host.platform;
    standin::PlayerOptions options;
    options.location = location;
    options.stream = !local;
    options.events = standin::PlayerEventSink{onPlayerEvent, &host};
    standin::PlayerRef player = platform.audio.createPlayer(platform.self, options);
    if (player == nullptr) return false;
    HostAudio& audio = host.audio;
    audio.player = player;
    audio.sourceIsLocal = local;
    audio.buffering = !local;
    audio.loadedEmitted = false;
    platform.audio.loadTracks(platform.self, player);
    return true;
}

void onStreamPlayerMissing(KelvoAppKitHost& host, std::uint64_t) {
    emitEvent(host, audioEvent(host, AudioEventKind::failed));
}

std::int32_t loadPath(KelvoAppKitHost& host, std::string_view path) {
    (void)audioStop(host);
    const Io& io = fileSystem();
    const std::string resolved = resolveAudioPath(io, path, host.platform->bundle.resourceFolder(host.platform->self));
    if (resolved.empty() || !ioPathStat(io, resolved)) return kLoadNotFound;
    if (!host.platform->audio.canDecode(host.platform->self, resolved)) return kLoadUndecodable;
    return installItem(host, resolved, true) ? kLoadOk : kLoadUndecodable;
}

void startCacheDownload(KelvoAppKitHost& host, std::string_view url, std::string_view cachePath,
                        std::uint64_t expectedBytes) {
    standin::StandIn& platform = *host.platform;
    host.audio.cacheDownload = platform.audio.startDownload(
        platform.self, url, [cache = std::string(cachePath), expectedBytes](const standin::DownloadResult& result) {
            keepAudioCacheDownload(fileSystem(), result, cache, expectedBytes);
        });
}

void startTimer(KelvoAppKitHost& host, standin::TimerId& timer, std::uint64_t intervalNs,
                void (*tick)(KelvoAppKitHost& host)) {
    if (timer != 0) return;
    std::weak_ptr<HostLife> life = host.life;
    timer = host.platform->loop.startTimer(host.platform->self, intervalNs, true, [life, tick] {
        if (std::shared_ptr<HostLife> alive = life.lock()) tick(*alive->host);
    });
}

void positionTick(KelvoAppKitHost& host) {
    if (host.audio.player == nullptr) {
        stopAudioPositionTimer(host);
        return;
    }
    emitAudioValues(host, AudioEventKind::state);
}

}  // namespace

AudioValues currentAudioValues(KelvoAppKitHost& host) {
    const HostAudio& audio = host.audio;
    if (audio.player == nullptr) return {};
    const standin::PlayerTimes times = host.platform->audio.times(host.platform->self, audio.player);
    AudioValues values;
    values.positionMs = wholeMs(times.positionMs);
    values.durationMs = wholeMs(times.durationMs);
    values.playing = times.playing;
    values.buffering = !audio.sourceIsLocal && audio.buffering;
    return values;
}

void stopAudioSpectrumTimer(KelvoAppKitHost& host) { stopTimer(host, host.audio.spectrumTimer); }

bool audioStop(KelvoAppKitHost& host) {
    stopAudioPositionTimer(host);
    stopAudioSpectrumTimer(host);
    if (host.audio.player == nullptr) return false;
    tearDownPlayer(host, true);
    return true;
}

std::int32_t kelvo_appkit_audio_load(KelvoAppKitHost* host, const char* path, std::size_t pathLength) {
    // A path that is not UTF-8 reads as empty, which names no file.
    return loadPath(*host, hostText(path, pathLength));
}

std::int32_t kelvo_appkit_audio_load_url(KelvoAppKitHost* host, const char* url, std::size_t urlLength,
                                         const char* cachePath, std::size_t cachePathLength,
                                         std::uint64_t expectedBytes) {
    (void)audioStop(*host);
    const std::string_view urlText = url == nullptr ? std::string_view{} : std::string_view(url, urlLength);
    const std::string_view cache =
        cachePath == nullptr ? std::string_view{} : std::string_view(cachePath, cachePathLength);
    if (!isValidUtf8(urlText) || !isValidUtf8(cache) || !isAudioUrlText(urlText)) return kUrlInvalid;
    const Io& io = fileSystem();
    if (!cache.empty()) {
        if (Result<FileStat> stat = ioPathStat(io, cache)) {
            if ((expectedBytes == 0 || stat->size == expectedBytes) && loadPath(*host, cache) == kLoadOk) {
                return kUrlCacheFile;
            }
            // A cache file of the wrong size, or one that does not play, makes way for a new one.
            (void)ioDeleteFile(io, cache);
        }
    }
    if (!installItem(*host, urlText, false)) {
        // Not even a player for it: the stream fails as one that cannot be played would.
        postToHost(*host, onStreamPlayerMissing, 0);
        return kUrlStreaming;
    }
    if (!cache.empty()) startCacheDownload(*host, urlText, cache, expectedBytes);
    return kUrlStreaming;
}

std::int32_t kelvo_appkit_audio_play(KelvoAppKitHost* host) {
    HostAudio& audio = host->audio;
    if (audio.player == nullptr) return 0;
    host->platform->audio.play(host->platform->self, audio.player);
    startTimer(*host, audio.positionTimer, kAudioStateIntervalNs, positionTick);
    startTimer(*host, audio.spectrumTimer, kAudioSpectrumIntervalNs, audioSpectrumTick);
    return 1;
}

std::int32_t kelvo_appkit_audio_pause(KelvoAppKitHost* host) {
    if (host->audio.player == nullptr) return 0;
    host->platform->audio.pause(host->platform->self, host->audio.player);
    stopAudioPositionTimer(*host);
    stopAudioSpectrumTimer(*host);
    return 1;
}

std::int32_t kelvo_appkit_audio_stop(KelvoAppKitHost* host) { return audioStop(*host) ? 1 : 0; }

std::int32_t kelvo_appkit_audio_seek(KelvoAppKitHost* host, std::uint64_t positionMs) {
    if (host->audio.player == nullptr) return 0;
    host->platform->audio.seek(host->platform->self, host->audio.player, positionMs);
    return 1;
}

std::int32_t kelvo_appkit_audio_set_volume(KelvoAppKitHost* host, double volume) {
    if (host->audio.player == nullptr) return 0;
    host->platform->audio.setVolume(host->platform->self, host->audio.player, volume);
    return 1;
}

}  // namespace kelvo
