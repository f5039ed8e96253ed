#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "host_harness.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using testing::SeenEvent;
using Media = standin::HeadlessStandIn::Media;

using testing::kMs;

Media lasting(std::uint64_t durationMs) {
    Media media;
    media.durationMs = durationMs;
    return media;
}
enum Sub : std::int32_t { loaded = 0, state = 1, ended = 2, failed = 3, spectrum = 4 };

class HostAudio : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(h.create(), nullptr); }

    // A file on disk that the headless player plays as `media`.
    std::string file(std::string_view name, const Media& media = {}, std::string_view bytes = "RIFF") {
        std::string path = folder.path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        h.platform.answers().media[path] = media;
        return path;
    }
    std::int32_t load(const std::string& path) { return kelvo_appkit_audio_load(h.host, path.data(), path.size()); }
    std::int32_t loadUrl(std::string_view url, std::string_view cache = {}, std::uint64_t expected = 0) {
        return kelvo_appkit_audio_load_url(h.host, url.data(), url.size(), cache.data(), cache.size(), expected);
    }
    void at(std::uint64_t ms, standin::Task task) { h.platform.at(ms * kMs, std::move(task)); }
    void runUntil(std::uint64_t ms) {
        at(ms, [this] { kelvo_appkit_stop(h.host); });
        h.run();
    }

    [[nodiscard]] std::vector<const SeenEvent*> audio(std::int32_t sub) const {
        std::vector<const SeenEvent*> found;
        for (const SeenEvent* seen : h.all(HostEventKind::audio)) {
            if (seen->event.audioEvent == sub) found.push_back(seen);
        }
        return found;
    }
    [[nodiscard]] std::vector<std::uint64_t> timesMs(std::int32_t sub) const {
        std::vector<std::uint64_t> times;
        for (const SeenEvent* seen : audio(sub)) times.push_back(seen->atNs / kMs);
        return times;
    }
    static std::vector<std::uint64_t> every(std::uint64_t fromMs, std::uint64_t toMs, std::uint64_t stepMs) {
        std::vector<std::uint64_t> times;
        for (std::uint64_t t = fromMs; t <= toMs; t += stepMs) times.push_back(t);
        return times;
    }

    testing::TempFolder folder;
    HostHarness h;
};

TEST_F(HostAudio, FilePlaysToItsEndWithStateAndSpectrumOnTime) {
    const std::string path = file("tone.wav");
    at(0, [&] {
        EXPECT_EQ(load(path), 0);
        EXPECT_EQ(kelvo_appkit_audio_play(h.host), 1);
    });
    at(2100, [&] { EXPECT_EQ(kelvo_appkit_audio_play(h.host), 0); });  // the player is gone
    runUntil(3000);

    ASSERT_EQ(audio(loaded).size(), 1u);
    EXPECT_EQ(audio(loaded)[0]->event.audioDurationMs, 2000u);
    EXPECT_EQ(timesMs(state), every(500, 1500, 500));
    EXPECT_EQ(audio(state)[1]->event.audioPositionMs, 1000u);
    EXPECT_EQ(audio(state)[1]->event.audioPlaying, 1);
    // 2,048 samples at 44.1 kHz take 47 ms: the first tick with enough of them is at 80 ms.
    EXPECT_EQ(timesMs(spectrum), every(80, 1960, 40));
    for (const SeenEvent* seen : audio(spectrum)) {
        const std::uint8_t* bands = seen->event.spectrumBands;
        EXPECT_EQ(std::max_element(bands, bands + 32) - bands, 16);  // the 1 kHz tone
        EXPECT_EQ(seen->event.audioPositionMs, seen->atNs / kMs);
        EXPECT_EQ(seen->event.windowId, 0u);
    }
    const std::vector<const SeenEvent*> end = audio(ended);
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0]->atNs, 2000 * kMs);
    EXPECT_EQ(end[0]->event.audioPositionMs, 2000u);
    EXPECT_EQ(end[0]->event.audioDurationMs, 2000u);
    EXPECT_EQ(end[0]->event.audioPlaying, 0);
    EXPECT_TRUE(h.platform.players()[0]->tapFinalized);
}

TEST_F(HostAudio, PauseStopsBothTimersAndPlayRestartsThem) {
    const std::string path = file("tone.wav", lasting(10'000));
    at(0, [&] {
        load(path);
        kelvo_appkit_audio_play(h.host);
    });
    at(700, [&] { EXPECT_EQ(kelvo_appkit_audio_pause(h.host), 1); });
    at(2000, [&] { kelvo_appkit_audio_play(h.host); });
    at(2600, [&] { EXPECT_EQ(kelvo_appkit_audio_stop(h.host), 1); });
    runUntil(4000);

    std::vector<std::uint64_t> expected = every(80, 680, 40);
    for (std::uint64_t t : every(2040, 2560, 40)) expected.push_back(t);
    EXPECT_EQ(timesMs(spectrum), expected);
    EXPECT_EQ(timesMs(state), (std::vector<std::uint64_t>{500, 2500}));
    EXPECT_EQ(audio(state)[1]->event.audioPositionMs, 1200u);
    EXPECT_TRUE(audio(ended).empty());  // stop sends nothing
    EXPECT_EQ(kelvo_appkit_audio_stop(h.host), 0);
}

TEST_F(HostAudio, SeekMovesExactlyAndSendsNothing) {
    const std::string path = file("tone.wav");
    at(0, [&] {
        load(path);
        kelvo_appkit_audio_play(h.host);
    });
    at(100, [&] { EXPECT_EQ(kelvo_appkit_audio_seek(h.host, 1500), 1); });
    at(200, [&] { EXPECT_EQ(kelvo_appkit_audio_set_volume(h.host, 0.25), 1); });
    runUntil(1000);
    EXPECT_EQ(h.platform.players()[0]->seeks, std::vector<std::uint64_t>{1500});
    EXPECT_EQ(h.platform.players()[0]->volume, 0.25);
    ASSERT_EQ(audio(state).size(), 1u);
    EXPECT_EQ(audio(state)[0]->event.audioPositionMs, 1900u);
    ASSERT_EQ(audio(ended).size(), 1u);
    EXPECT_EQ(audio(ended)[0]->atNs, 600 * kMs);
}

TEST_F(HostAudio, StreamReportsBufferingAndFailure) {
    Media media;
    media.durationMs = 60'000;
    media.failsAtMs = 1000;
    h.platform.answers().media["https://example.org/a.ogg"] = media;
    standin::HeadlessStandIn::Player* player = nullptr;
    at(0, [&] {
        EXPECT_EQ(loadUrl("https://example.org/a.ogg"), 0);
        player = h.platform.players().back();
        kelvo_appkit_audio_play(h.host);
    });
    at(300, [&] { h.platform.setStreamShortOfData(*player, true); });
    at(310, [&] { h.platform.setStreamShortOfData(*player, true); });  // no change, no event
    at(600, [&] { h.platform.setStreamShortOfData(*player, false); });
    at(1200, [&] { EXPECT_EQ(kelvo_appkit_audio_seek(h.host, 0), 0); });
    runUntil(2000);

    ASSERT_EQ(audio(loaded).size(), 1u);
    EXPECT_EQ(audio(loaded)[0]->event.audioBuffering, 1);  // a stream starts out waiting
    // Playing with data at once, waiting from 300 ms, playing again at 600 ms.
    EXPECT_EQ(timesMs(state), (std::vector<std::uint64_t>{0, 300, 500, 600}));
    std::vector<std::int32_t> buffering;
    for (const SeenEvent* seen : audio(state)) buffering.push_back(seen->event.audioBuffering);
    EXPECT_EQ(buffering, (std::vector<std::int32_t>{0, 1, 1, 0}));
    // Spectra only while the stream had its data.
    std::vector<std::uint64_t> expected = every(80, 280, 40);
    for (std::uint64_t t : every(600, 960, 40)) expected.push_back(t);
    EXPECT_EQ(timesMs(spectrum), expected);
    ASSERT_EQ(audio(failed).size(), 1u);
    const KelvoHostEvent& fail = audio(failed)[0]->event;
    EXPECT_EQ(fail.audioPositionMs + fail.audioDurationMs + fail.audioPlaying + fail.audioBuffering, 0u);
    EXPECT_TRUE(player->destroyed);
}

TEST_F(HostAudio, SpectrumNeedsAWindowOnScreenAndAMovingRing) {
    const std::string path = file("tone.wav", lasting(10'000));
    standin::HeadlessStandIn::Window* window = h.platform.windows()[0];
    at(0, [&] {
        load(path);
        kelvo_appkit_audio_play(h.host);
    });
    at(300, [&] { window->covered = true; });
    at(500, [&] { window->covered = false; });
    at(1000, [&] { h.platform.stallAudio(*h.platform.players()[0], true); });
    runUntil(2000);
    // Covered from 300 to 500 ms; the ring stops moving after 1,000 ms (the last move is seen at
    // 1,000 ms) and the same samples are shown for at most 250 ms more.
    std::vector<std::uint64_t> expected = every(80, 280, 40);
    for (std::uint64_t t : every(520, 1240, 40)) expected.push_back(t);
    EXPECT_EQ(timesMs(spectrum), expected);
    EXPECT_EQ(timesMs(state), every(500, 1500, 500));  // playback goes on regardless
}

TEST_F(HostAudio, NoSpectrumBeforeTheFirst2048SamplesNorWithoutATap) {
    // At 8 kHz the first 2,048 samples take 256 ms.
    Media mono;
    mono.sampleRate = 8000;
    mono.channels = 1;
    mono.interleaved = false;
    const std::string slow = file("slow.wav", mono);
    at(0, [&] {
        load(slow);
        kelvo_appkit_audio_play(h.host);
    });
    runUntil(600);
    ASSERT_FALSE(audio(spectrum).empty());
    EXPECT_EQ(audio(spectrum)[0]->atNs, 280 * kMs);
    for (const SeenEvent* seen : audio(spectrum)) {
        const std::uint8_t* bands = seen->event.spectrumBands;
        EXPECT_EQ(std::max_element(bands, bands + 32) - bands, 16);
        EXPECT_TRUE(std::all_of(bands + 25, bands + 32, [](std::uint8_t b) { return b == 0; }));  // above 4 kHz
    }

    HostHarness quiet;
    ASSERT_NE(quiet.create(), nullptr);
    quiet.platform.answers().tapsAttach = false;
    const std::string path = folder.path("tone.wav");
    std::ofstream(path) << "RIFF";
    quiet.platform.answers().media[path] = Media{};
    quiet.platform.at(0, [&] {
        kelvo_appkit_audio_load(quiet.host, path.data(), path.size());
        kelvo_appkit_audio_play(quiet.host);
    });
    quiet.platform.at(1100 * kMs, [&] { kelvo_appkit_stop(quiet.host); });
    quiet.run();
    std::size_t states = 0;
    for (const SeenEvent* seen : quiet.all(HostEventKind::audio)) {
        EXPECT_NE(seen->event.audioEvent, spectrum);
        states += seen->event.audioEvent == state ? 1 : 0;
    }
    EXPECT_EQ(states, 2u);
}

TEST_F(HostAudio, LoadResults) {
    const std::string good = file("good.wav");
    Media undecodable;
    undecodable.decodes = false;
    const std::string text = file("notes.wav", undecodable, "just some text");
    h.platform.answers().resourceFolder = folder.path("Resources");
    const std::string bundled = file("Resources/sounds/bell.wav");
    file("sounds/bell.wav");
    h.platform.answers().media["sounds/bell.wav"] = Media{};
    const std::filesystem::path workingFolder = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    at(0, [&] {
        EXPECT_EQ(kelvo_appkit_audio_play(h.host), 0);
        EXPECT_EQ(kelvo_appkit_audio_pause(h.host), 0);
        EXPECT_EQ(kelvo_appkit_audio_seek(h.host, 10), 0);
        EXPECT_EQ(kelvo_appkit_audio_set_volume(h.host, 1), 0);
        EXPECT_EQ(load(good), 0);
        EXPECT_EQ(load(folder.path("missing.wav")), 1);
        EXPECT_TRUE(h.platform.players()[0]->destroyed);  // the earlier source stopped first
        EXPECT_EQ(load(good), 0);
        EXPECT_EQ(load(text), 2);
        EXPECT_EQ(kelvo_appkit_audio_play(h.host), 0);  // nothing left behind
        EXPECT_EQ(kelvo_appkit_audio_load(h.host, "\xff\xfe", 2), 1);
        EXPECT_EQ(load(""), 1);
        // A relative path prefers the bundle's resources, and falls back to the working folder.
        EXPECT_EQ(load("sounds/bell.wav"), 0);
        EXPECT_EQ(h.platform.players().back()->location, bundled);
        std::filesystem::remove(bundled);
        EXPECT_EQ(load("sounds/bell.wav"), 0);
        EXPECT_EQ(h.platform.players().back()->location, "sounds/bell.wav");
        for (std::string_view bad : {"no scheme", "://x", "1http://x", "http://a b", ""}) {
            EXPECT_EQ(loadUrl(bad), 2) << bad;
        }
        EXPECT_EQ(loadUrl("http://x/\xff"), 2);
        EXPECT_EQ(loadUrl("http://x/a.ogg", "\xff"), 2);
        EXPECT_EQ(kelvo_appkit_audio_stop(h.host), 0);
    });
    runUntil(10);
    std::filesystem::current_path(workingFolder);
}

TEST_F(HostAudio, CacheFileOfTheExpectedSizePlaysAsAFile) {
    const std::string cache = file("cache/song.ogg", Media{}, "0123456789");
    at(0, [&] {
        EXPECT_EQ(loadUrl("https://example.org/song.ogg", cache, 10), 1);
        EXPECT_FALSE(h.platform.players().back()->stream);
        EXPECT_TRUE(h.platform.downloads().empty());
    });
    runUntil(10);
    ASSERT_EQ(audio(loaded).size(), 1u);
    EXPECT_EQ(audio(loaded)[0]->event.audioBuffering, 0);
}

TEST_F(HostAudio, CacheDownloadReplacesAWrongSizedFileOnlyWhenComplete) {
    const std::string url = "https://example.org/song.ogg";
    h.platform.answers().media[url] = lasting(500);
    const std::string cache = file("cache/song.ogg", Media{}, "stale");
    auto fetched = [&](std::string_view name, std::string_view bytes) {
        std::string path = folder.path(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    };
    auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    at(0, [&] {
        EXPECT_EQ(loadUrl(url, cache, 10), 0);
        EXPECT_FALSE(std::filesystem::exists(cache));
        EXPECT_TRUE(h.platform.players().back()->stream);
        ASSERT_EQ(h.platform.downloads().size(), 1u);
        h.platform.finishDownload(*h.platform.downloads()[0], 200, fetched("d1", "0123456789"));
    });
    at(10, [&] {
        EXPECT_EQ(read(cache), "0123456789");
        EXPECT_FALSE(std::filesystem::exists(cache + ".part"));
        std::filesystem::remove(cache);
        // A 404, a short body and an error leave no cache file.
        loadUrl(url, cache, 10);
        h.platform.finishDownload(*h.platform.downloads()[1], 404, fetched("d2", "0123456789"));
        loadUrl(url, cache, 10);
        EXPECT_TRUE(h.platform.downloads()[1]->finished);
        h.platform.finishDownload(*h.platform.downloads()[2], 200, fetched("d3", "01234"));
        loadUrl(url, cache, 10);
        h.platform.finishDownload(*h.platform.downloads()[3], std::nullopt, "");
    });
    at(20, [&] {
        EXPECT_FALSE(std::filesystem::exists(cache));
        EXPECT_FALSE(std::filesystem::exists(cache + ".part"));
        EXPECT_FALSE(std::filesystem::exists(folder.path("d2")));
        // A new load cancels a running download; the end of the item lets it run on.
        loadUrl(url, cache, 0);
        loadUrl(url, cache, 0);
        EXPECT_TRUE(h.platform.downloads()[4]->cancelled);
        kelvo_appkit_audio_play(h.host);
    });
    at(600, [&] {
        ASSERT_EQ(audio(ended).size(), 1u);
        EXPECT_FALSE(h.platform.downloads()[5]->cancelled);
        h.platform.finishDownload(*h.platform.downloads()[5], 200, fetched("d6", "any size will do"));
    });
    at(610, [&] { EXPECT_EQ(read(cache), "any size will do"); });
    runUntil(700);
}

}  // namespace
}  // namespace kelvo
