// Headless audio: players that play the scripted media on virtual time. A playing player moves
// its position with the clock, feeds its tap 10 ms of a sine tone at a time, and ends (or fails)
// when the clock reaches the point. Everything it reports goes through the main queue.
// Downloads end when the test finishes them.

#include <cmath>
#include <cstdio>
#include <numbers>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

constexpr std::uint64_t kRenderStepNs = 10'000'000;
constexpr std::uint64_t kNsPerMs = 1'000'000;

HeadlessPlayer& playerOf(PlayerRef ref) { return *reinterpret_cast<HeadlessPlayer*>(ref); }
PlayerRef refOf(HeadlessPlayer& player) { return reinterpret_cast<PlayerRef>(&player); }

std::string describe(const HeadlessPlayer& player) { return "n=" + std::to_string(player.number); }

void deliverLater(HeadlessState& state, HeadlessPlayer& player, PlayerEvent event) {
    HeadlessPlayer* target = &player;
    state.post([target, event] {
        if (target->destroyed || target->events.deliver == nullptr) return;
        target->events.deliver(target->events.context, refOf(*target), event);
    });
}

const HeadlessStandIn::Media* mediaAt(HeadlessState& state, std::string_view location) {
    auto found = state.answers.media.find(location);
    return found == state.answers.media.end() ? nullptr : &found->second;
}

std::uint64_t durationNs(const HeadlessPlayer& player) { return player.media.durationMs * kNsPerMs; }

std::uint64_t positionNs(const HeadlessState& state, const HeadlessPlayer& player) {
    std::uint64_t position = player.positionNs;
    if (player.playing) position += state.nowNs.load() - player.sinceNs;
    return std::min(position, durationNs(player));
}

void cancelOwnTimer(HeadlessState& state, TimerId& timer) {
    if (timer != 0) state.timers.erase(timer);
    timer = 0;
}

void halt(HeadlessState& state, HeadlessPlayer& player) {
    player.positionNs = positionNs(state, player);
    player.sinceNs = state.nowNs.load();
    player.playing = false;
    cancelOwnTimer(state, player.renderTimer);
    cancelOwnTimer(state, player.stopTimer);
}

// Gives the tap the frames heard since the last step.
void render(HeadlessPlayer& player) {
    player.playedNs += kRenderStepNs;
    const HeadlessStandIn::Media& media = player.media;
    const auto due = static_cast<std::uint64_t>(static_cast<double>(player.playedNs) * media.sampleRate / 1e9);
    const auto frames = static_cast<std::uint32_t>(due - player.framesHeard);
    const std::uint64_t first = player.framesHeard;
    player.framesHeard = due;
    if (!player.tap || player.stalled || frames == 0) return;
    const std::uint32_t channels = std::max<std::uint32_t>(media.channels, 1);
    player.samples.assign(std::size_t{frames} * channels, 0.0f);
    const double step = 2.0 * std::numbers::pi * media.toneHz / media.sampleRate;
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto value = static_cast<float>(media.amplitude * std::sin(step * static_cast<double>(first + i)));
        for (std::uint32_t c = 0; c < channels; ++c) {
            const std::size_t at = media.interleaved ? std::size_t{i} * channels + c : std::size_t{c} * frames + i;
            player.samples[at] = value;
        }
    }
    std::vector<const float*> buffers;
    if (media.interleaved) {
        buffers.push_back(player.samples.data());
    } else {
        for (std::uint32_t c = 0; c < channels; ++c) buffers.push_back(player.samples.data() + std::size_t{c} * frames);
    }
    player.tap->process(player.tap->storage,
                        TapBuffers{buffers.data(), static_cast<std::uint32_t>(buffers.size()), frames});
}

// A stream's player waits while it is asked to play and short of data; it says so whenever that
// may have changed.
void reportWaiting(HeadlessState& state, HeadlessPlayer& player) {
    if (!player.stream) return;
    PlayerEvent event{PlayerEventKind::waiting_changed};
    event.waiting = player.playing && player.shortOfData;
    deliverLater(state, player, event);
}

// While playing: the end, or the failure that comes first.
void scheduleStop(HeadlessState& state, HeadlessPlayer& player) {
    cancelOwnTimer(state, player.stopTimer);
    std::uint64_t stopNs = durationNs(player);
    bool fails = false;
    if (player.media.failsAtMs && *player.media.failsAtMs * kNsPerMs < stopNs) {
        stopNs = *player.media.failsAtMs * kNsPerMs;
        fails = true;
    }
    const std::uint64_t at = state.nowNs.load() + (stopNs - std::min(stopNs, positionNs(state, player)));
    HeadlessState* owner = &state;
    HeadlessPlayer* target = &player;
    player.stopTimer = state.startOwnTimer(at, 0, false, [owner, target, fails] {
        target->stopTimer = 0;
        halt(*owner, *target);
        deliverLater(*owner, *target, PlayerEvent{fails ? PlayerEventKind::failed : PlayerEventKind::ended});
    });
}

bool canDecode(void* self, std::string_view path) {
    HeadlessState& state = headlessState(self);
    state.note("audio.probe " + std::string(path));
    const HeadlessStandIn::Media* media = mediaAt(state, path);
    return media != nullptr && media->decodes;
}

PlayerRef createPlayer(void* self, const PlayerOptions& options) {
    HeadlessState& state = headlessState(self);
    auto player = std::make_unique<HeadlessPlayer>();
    player->number = state.players.size() + 1;
    player->location = std::string(options.location);
    player->stream = options.stream;
    player->events = options.events;
    const HeadlessStandIn::Media* media = mediaAt(state, options.location);
    if (media != nullptr) player->media = *media;
    state.note("audio.player " + describe(*player) + " location=" + player->location +
               (options.stream ? " stream" : " file"));
    HeadlessPlayer& made = *player;
    state.players.push_back(std::move(player));
    if (media != nullptr && media->plays) {
        made.ready = true;
        deliverLater(state, made, PlayerEvent{PlayerEventKind::ready});
    } else {
        deliverLater(state, made, PlayerEvent{PlayerEventKind::failed});
    }
    return refOf(made);
}

void destroyPlayer(void* self, PlayerRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    state.note("audio.destroy " + describe(player));
    halt(state, player);
    player.destroyed = true;
    if (player.tap) {
        player.tap->finalize(player.tap->storage);
        player.tap.reset();
        player.tapFinalized = true;
    }
}

void play(void* self, PlayerRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    state.note("audio.play " + describe(player));
    if (player.playing || !player.ready || positionNs(state, player) >= durationNs(player)) return;
    player.playing = true;
    player.sinceNs = state.nowNs.load();
    HeadlessPlayer* target = &player;
    player.renderTimer =
        state.startOwnTimer(state.nowNs.load() + kRenderStepNs, kRenderStepNs, true, [target] { render(*target); });
    scheduleStop(state, player);
    reportWaiting(state, player);
}

void pause(void* self, PlayerRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    state.note("audio.pause " + describe(player));
    halt(state, player);
    reportWaiting(state, player);
}

void seek(void* self, PlayerRef ref, std::uint64_t positionMs) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    state.note("audio.seek " + describe(player) + " ms=" + std::to_string(positionMs));
    player.seeks.push_back(positionMs);
    player.positionNs = std::min(positionMs * kNsPerMs, durationNs(player));
    player.sinceNs = state.nowNs.load();
    if (player.playing) scheduleStop(state, player);
}

void setVolume(void* self, PlayerRef ref, double volume) {
    HeadlessPlayer& player = playerOf(ref);
    player.volume = volume;
    char line[64];
    std::snprintf(line, sizeof line, " volume=%g", volume);
    headlessState(self).note("audio.volume " + describe(player) + line);
}

PlayerTimes times(void* self, PlayerRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    PlayerTimes now;
    if (!player.ready) return now;
    now.positionMs = static_cast<double>(positionNs(state, player)) / static_cast<double>(kNsPerMs);
    now.durationMs = static_cast<double>(player.media.durationMs);
    now.playing = player.playing;
    return now;
}

void loadTracks(void* self, PlayerRef ref) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    PlayerEvent event{PlayerEventKind::tracks_loaded};
    event.tracksLoaded = state.answers.tracksLoad && player.ready;
    event.audioTracks = event.tracksLoaded ? player.media.audioTracks : 0;
    deliverLater(state, player, event);
}

bool attachTap(void* self, PlayerRef ref, const AudioTap& tap) {
    HeadlessState& state = headlessState(self);
    HeadlessPlayer& player = playerOf(ref);
    state.note("audio.tap " + describe(player));
    if (!state.answers.tapsAttach || player.tap) return false;
    player.tap = tap;
    player.tapAttached = true;
    tap.prepare(tap.storage, player.media.sampleRate, static_cast<std::int32_t>(player.media.channels),
                player.media.interleaved);
    return true;
}

DownloadId startDownload(void* self, std::string_view url, DownloadDone done) {
    HeadlessState& state = headlessState(self);
    auto download = std::make_unique<HeadlessStandIn::Download>();
    download->id = state.downloads.size() + 1;
    download->url = std::string(url);
    state.note("audio.download " + download->url);
    state.pendingDownloads.emplace(download->id, std::move(done));
    state.downloads.push_back(std::move(download));
    return state.downloads.back()->id;
}

void cancelDownload(void* self, DownloadId id) {
    HeadlessState& state = headlessState(self);
    state.note("audio.cancel_download " + std::to_string(id));
    auto pending = state.pendingDownloads.find(id);
    if (pending == state.pendingDownloads.end()) return;
    state.downloads[id - 1]->cancelled = true;
    DownloadDone done = std::move(pending->second);
    state.pendingDownloads.erase(pending);
    state.post([done = std::move(done)] { done(DownloadResult{}); });
}

}  // namespace

AudioService headlessAudio() {
    AudioService audio;
    KELVO_STANDIN_FILL(audio, KELVO_STANDIN_AUDIO_FUNCTIONS)
    return audio;
}

std::vector<HeadlessStandIn::Player*> HeadlessStandIn::players() {
    std::vector<Player*> all;
    for (auto& player : state_->players) all.push_back(player.get());
    return all;
}

void HeadlessStandIn::setStreamShortOfData(Player& player, bool shortOfData) {
    auto& target = static_cast<HeadlessPlayer&>(player);
    target.shortOfData = shortOfData;
    reportWaiting(*state_, target);
}

void HeadlessStandIn::stallAudio(Player& player, bool stalled) {
    static_cast<HeadlessPlayer&>(player).stalled = stalled;
}

std::vector<HeadlessStandIn::Download*> HeadlessStandIn::downloads() {
    std::vector<Download*> all;
    for (auto& download : state_->downloads) all.push_back(download.get());
    return all;
}

void HeadlessStandIn::finishDownload(Download& download, std::optional<int> httpStatus, std::string file) {
    HeadlessState& state = *state_;
    auto pending = state.pendingDownloads.find(download.id);
    if (pending == state.pendingDownloads.end()) return;
    download.finished = true;
    DownloadDone done = std::move(pending->second);
    state.pendingDownloads.erase(pending);
    state.post([done = std::move(done), httpStatus, file = std::move(file)] {
        DownloadResult result;
        result.completed = !file.empty();
        result.httpStatus = httpStatus;
        result.file = file;
        done(result);
        if (!file.empty()) std::remove(file.c_str());
    });
}

}  // namespace kelvo::standin
