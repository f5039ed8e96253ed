// Audio through GStreamer in a real host (label "gtk"): a fake sink that keeps real time stands in
// for the sound card.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "gtk_host_fixture.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

enum Sub : std::int32_t { loaded = 0, state = 1, ended = 2, failed = 3, spectrum = 4 };

// Spectra are only made while a window is seen. Tests share the virtual display, where a window
// covers another (no window manager decides): these run alone (GtkSerial...), since a canvas view
// of a test beside them would get no frames under their windows, and they keep their windows on
// top.
void raiseOwnWindows() {
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(item->data))) gdk_window_raise(window);
    }
    g_list_free(toplevels);
}

struct Heard {
    KelvoHostEvent event;
    std::int64_t atMs = 0;  // since the test began
};

// A 16-bit stereo WAV of a 1 kHz tone at half scale.
std::string wavBytes(double seconds, std::uint32_t rate = 44100) {
    const auto frames = static_cast<std::uint32_t>(seconds * rate);
    const std::uint32_t dataBytes = frames * 4;
    std::string out;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    out += "RIFF";
    put(36 + dataBytes, 4);
    out += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(rate, 4);
    put(rate * 4, 4);
    put(4, 2);
    put(16, 2);
    out += "data";
    put(dataBytes, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<std::int16_t>(16384 * std::sin(2 * std::numbers::pi * 1000 * i / rate));
        put(static_cast<std::uint16_t>(sample), 2);
        put(static_cast<std::uint16_t>(sample), 2);
    }
    return out;
}

// Serves one body to every GET on 127.0.0.1 until destroyed.
class LoopbackServer {
public:
    explicit LoopbackServer(std::string body) : body_(std::move(body)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ADD_FAILURE() << "no loopback socket";
        }
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        acceptor_.join();
        for (std::thread& connection : connections_) connection.join();
        ::close(listener_);
    }
    [[nodiscard]] std::string url(std::string_view path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
    }
    std::atomic<int> requests{0};

private:
    void acceptLoop() {
        while (!stop_ && connections_.size() < 16) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            const int client = ::accept(listener_, nullptr, nullptr);
            if (client >= 0) connections_.emplace_back([this, client] { serve(client); });
        }
    }
    void serve(int client) {
        std::string request;
        char chunk[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd ready{client, POLLIN, 0};
            if (::poll(&ready, 1, 2000) <= 0) break;
            const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
            if (got <= 0) break;
            request.append(chunk, static_cast<std::size_t>(got));
        }
        requests += 1;
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Type: audio/x-wav\r\nContent-Length: " + std::to_string(body_.size()) +
            "\r\nConnection: close\r\n\r\n" + body_;
        for (std::size_t sent = 0; sent < reply.size();) {
            const ssize_t wrote = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (wrote <= 0) break;
            sent += static_cast<std::size_t>(wrote);
        }
        ::close(client);
    }

    std::string body_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread acceptor_;
    std::vector<std::thread> connections_;
};

class GtkSerialAudio : public testing::GtkHostFixture {
protected:
    void SetUp() override {
        standin::gtkAudioToFakeSink(true);
        GtkHostFixture::SetUp();
        wav = folder.path("tone.wav");
        std::ofstream(wav, std::ios::binary) << wavBytes(2.0);
    }

    std::int64_t nowMs() { return static_cast<std::int64_t>(g_get_monotonic_time() / 1000) - startMs; }
    // Runs `step` on the main loop after `ms`; timers still pending when the test ends are stopped.
    void after(int ms, std::function<void()> step) {
        timers.push_back(
            gtk().loop.startTimer(gtk().self, static_cast<std::uint64_t>(ms) * 1'000'000, false, std::move(step)));
    }
    void TearDown() override {
        for (standin::TimerId timer : timers) gtk().loop.cancelTimer(gtk().self, timer);
        GtkHostFixture::TearDown();
    }
    // Runs until `done` holds after an audio event, or for at most 10 s. The run goes on a little
    // longer, in which no event that should not come (a second end) may come.
    void run(std::function<bool()> done) {
        finished = std::move(done);
        after(10'000, [this] { kelvo_appkit_stop(host); });
        keepOnTop = [this] {
            raiseOwnWindows();
            after(20, keepOnTop);
        };
        after(20, keepOnTop);
        startMs = g_get_monotonic_time() / 1000;
        kelvo_appkit_run(
            host,
            [](void* context, const KelvoHostEvent* event) {
                auto& self = *static_cast<GtkSerialAudio*>(context);
                if (event->kind != static_cast<std::uint32_t>(HostEventKind::audio)) return;
                self.heard.push_back({*event, self.nowMs()});
                if (!self.stopping && self.finished()) {
                    self.stopping = true;
                    self.after(100, [&self] { kelvo_appkit_stop(self.host); });
                }
            },
            this);
    }
    std::int32_t load(const std::string& path) { return kelvo_appkit_audio_load(host, path.data(), path.size()); }
    [[nodiscard]] std::vector<const Heard*> of(std::int32_t sub) const {
        std::vector<const Heard*> found;
        for (const Heard& h : heard) {
            if (h.event.audioEvent == sub) found.push_back(&h);
        }
        return found;
    }
    [[nodiscard]] bool saw(std::int32_t sub) const { return !of(sub).empty(); }

    testing::TempFolder folder;
    std::string wav;
    std::vector<Heard> heard;
    std::function<bool()> finished;
    std::function<void()> keepOnTop;
    std::vector<standin::TimerId> timers;
    bool stopping = false;
    std::int64_t startMs = 0;
};

TEST_F(GtkSerialAudio, WavPlaysToItsEndWithStateAndSpectrumOnTime) {
    whenShown([&] {
        ASSERT_EQ(load(wav), 0);
        ASSERT_EQ(kelvo_appkit_audio_play(host), 1);
    });
    run([&] { return saw(ended) || saw(failed); });

    ASSERT_FALSE(saw(failed));
    ASSERT_EQ(of(loaded).size(), 1u);
    EXPECT_EQ(of(loaded)[0]->event.audioDurationMs, 2000u);
    const std::vector<const Heard*> states = of(state);
    // The middle gap between events: a busy machine delays or skips single ticks.
    auto typicalGap = [](const std::vector<const Heard*>& events) {
        std::vector<std::int64_t> gaps;
        for (std::size_t i = 1; i < events.size(); ++i) gaps.push_back(events[i]->atMs - events[i - 1]->atMs);
        std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
        return static_cast<double>(gaps[gaps.size() / 2]);
    };
    ASSERT_GE(states.size(), 3u);
    EXPECT_NEAR(typicalGap(states), 500, 60);
    for (std::size_t i = 1; i < states.size(); ++i) {
        EXPECT_GT(states[i]->event.audioPositionMs, states[i - 1]->event.audioPositionMs);
    }
    const std::vector<const Heard*> spectra = of(spectrum);
    ASSERT_GE(spectra.size(), 20u);  // about 48 in 2 s, fewer on a busy machine
    EXPECT_NEAR(typicalGap(spectra), 40, 10);
    for (const Heard* h : spectra) {
        const std::uint8_t* bands = h->event.spectrumBands;
        EXPECT_EQ(std::max_element(bands, bands + 32) - bands, 16);
        EXPECT_EQ(h->event.audioPlaying, 1);
    }
    ASSERT_EQ(of(ended).size(), 1u);
    EXPECT_EQ(of(ended)[0]->event.audioPositionMs, 2000u);
    EXPECT_EQ(of(ended)[0]->event.audioDurationMs, 2000u);
    EXPECT_EQ(kelvo_appkit_audio_play(host), 0);
}

// The spectrum is of the sound as it is, whatever the volume: a silent player still shows the tone.
TEST_F(GtkSerialAudio, SpectrumDoesNotDependOnTheVolume) {
    whenShown([&] {
        ASSERT_EQ(load(wav), 0);
        ASSERT_EQ(kelvo_appkit_audio_set_volume(host, 0.0), 1);
        ASSERT_EQ(kelvo_appkit_audio_play(host), 1);
    });
    run([&] { return of(spectrum).size() >= 10 || saw(ended) || saw(failed); });

    const std::vector<const Heard*> spectra = of(spectrum);
    ASSERT_GE(spectra.size(), 10u);
    for (const Heard* h : spectra) {
        const std::uint8_t* bands = h->event.spectrumBands;
        EXPECT_EQ(std::max_element(bands, bands + 32) - bands, 16);
        EXPECT_GT(bands[16], 200);  // a half-scale tone: about -6 dB
    }
}

TEST_F(GtkSerialAudio, SeekMovesToTheExactPoint) {
    std::int64_t seekAt = 0;
    whenShown([&] {
        ASSERT_EQ(load(wav), 0);
        ASSERT_EQ(kelvo_appkit_audio_play(host), 1);
        // Sought once the tone is heard playing.
        when(
            "the tone to play", [&] { return saw(spectrum) || saw(state); },
            [&] {
                seekAt = nowMs();
                EXPECT_EQ(kelvo_appkit_audio_seek(host, 1500), 1);
            });
    });
    run([&] { return saw(ended) || saw(failed); });

    ASSERT_EQ(of(ended).size(), 1u);
    // 500 ms remained after the seek (1.6 s without it); the seek itself takes a moment.
    EXPECT_GE(of(ended)[0]->atMs - seekAt, 450);
    EXPECT_LE(of(ended)[0]->atMs - seekAt, 1100);
    for (const Heard* h : of(state)) {
        if (h->atMs > seekAt) {
            EXPECT_GE(h->event.audioPositionMs, 1500u);
        }
    }
}

TEST_F(GtkSerialAudio, TextFileDoesNotDecode) {
    const std::string text = folder.path("notes.wav");
    std::ofstream(text) << "These are notes, not sound.\n";
    whenShown([&] {
        EXPECT_EQ(load(text), 2);
        EXPECT_EQ(load(folder.path("missing.wav")), 1);
        EXPECT_EQ(kelvo_appkit_audio_play(host), 0);
        kelvo_appkit_stop(host);
    });
    run([] { return false; });
    EXPECT_TRUE(heard.empty());
}

TEST_F(GtkSerialAudio, WrongSizedCacheFileIsReplacedFromTheServer) {
    const std::string body = wavBytes(1.0);
    LoopbackServer server(body);
    const std::string cache = folder.path("cache/tone.wav");
    std::filesystem::create_directories(folder.path("cache"));
    std::ofstream(cache) << "stale";
    const std::string url = server.url("/tone.wav");
    auto cacheHolds = [&] {
        std::ifstream in(cache, std::ios::binary);
        return in.good() && std::string(std::istreambuf_iterator<char>(in), {}) == body;
    };
    whenShown([&] {
        EXPECT_EQ(kelvo_appkit_audio_load_url(host, url.data(), url.size(), cache.data(), cache.size(), body.size()),
                  0);
        EXPECT_FALSE(std::filesystem::exists(cache));
        EXPECT_EQ(kelvo_appkit_audio_play(host), 1);
        // Done once the download is kept and the stream is heard playing.
        when(
            "the download kept and the stream heard", [&] { return cacheHolds() && (saw(spectrum) || saw(failed)); },
            [&] { kelvo_appkit_stop(host); });
    });
    run([] { return false; });

    EXPECT_TRUE(cacheHolds());
    EXPECT_FALSE(std::filesystem::exists(cache + ".part"));
    EXPECT_GE(server.requests.load(), 2);  // the stream and the download
    EXPECT_FALSE(saw(failed));
    EXPECT_TRUE(saw(loaded));
    EXPECT_TRUE(saw(spectrum));  // heard, so no longer waiting
}

}  // namespace
}  // namespace kelvo
