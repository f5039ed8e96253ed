// Bridge round trips through a real web view (run under a display: `xvfb-run -a`). A page awaits
// `window.vexa.invoke` in a loop; the host's bridge callback answers each request at once through
// `kelvo_appkit_bridge_respond_webview`. A round trip is the time between two requests arriving at
// the host: the reply evaluated in the page, the page's promise settled, and its next request
// posted. Reported as counters: p50 and p95 in milliseconds of 1,000 small round trips and of 20
// round trips with a 1 MiB reply, and the cold start from the program's start (before the toolkit
// is set up) to the page's second request, which follows the first reply.
//
//   xvfb-run -a build/release/bench/webview_roundtrip_bench

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/gtk/gtk.hpp"

namespace {

using namespace kelvo;
using Clock = std::chrono::steady_clock;

const Clock::time_point gProgramStart = Clock::now();

struct Session {
    KelvoAppKitHost* host = nullptr;
    std::size_t replyBytes = 0;
    std::vector<Clock::time_point> arrivals;
    std::string reply;
};

// The request's id, from the page's request text {"id":"<n>",...}.
std::string_view requestId(std::string_view message) {
    std::size_t start = message.find("\"id\":\"");
    if (start == std::string_view::npos) return {};
    start += 6;
    return message.substr(start, message.find('"', start) - start);
}

void answer(void* context, std::uint64_t windowId, const char* label, std::uint64_t labelLength, const char* message,
            std::uint64_t messageLength, const char*, std::uint64_t) {
    auto& session = *static_cast<Session*>(context);
    session.arrivals.push_back(Clock::now());
    std::string_view text(message, messageLength);
    if (text.find("\"bench.done\"") != std::string_view::npos) {
        kelvo_appkit_stop(session.host);
        return;
    }
    session.reply = "{\"id\":\"";
    session.reply += requestId(text);
    session.reply += "\",\"ok\":true,\"result\":\"";
    session.reply.append(session.replyBytes, 'x');
    session.reply += "\"}";
    kelvo_appkit_bridge_respond_webview(session.host, windowId, label, labelLength, session.reply.data(),
                                        session.reply.size());
}

// Runs one page that makes `requests` requests with replies of `replyBytes` bytes, then one more
// that ends the session; answers when each request arrived.
std::vector<Clock::time_point> runSession(int requests, std::size_t replyBytes) {
    standin::installStandIn(&standin::gtkStandIn());
    Session session;
    session.replyBytes = replyBytes;
    session.host = kelvo_appkit_create("Vostra Studio", 13, nullptr, 0, nullptr, 0, nullptr, 0, 1, "Bench", 5, nullptr,
                                       0, nullptr, 0, "main", 4, 0, 0, 800, 600, 0, 1, 0, 0);
    if (session.host == nullptr) {
        std::fprintf(stderr, "no display: run under xvfb-run -a\n");
        std::exit(1);
    }
    std::string page = "<!doctype html><body><script>(async function(){for(let i=0;i<" + std::to_string(requests) +
                       ";i++)await window.vexa.invoke('bench.echo');window.vexa.invoke('bench.done');})();"
                       "</script></body>";
    kelvo_appkit_set_bridge_callback(session.host, answer, &session);
    kelvo_appkit_load_window_webview(session.host, 1, page.data(), page.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                     0);
    kelvo_appkit_run(
        session.host, [](void*, const KelvoHostEvent*) {}, nullptr);
    kelvo_appkit_destroy(session.host);
    standin::installStandIn(nullptr);
    return session.arrivals;
}

double milliseconds(Clock::duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

// The round trips between consecutive arrivals, sorted; `p` of them in milliseconds.
double percentile(std::vector<double> sorted, double p) {
    std::size_t at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(at, sorted.size() - 1)];
}

void reportRoundTrips(benchmark::State& state, const std::vector<Clock::time_point>& arrivals) {
    std::vector<double> trips;
    for (std::size_t i = 1; i + 1 < arrivals.size(); ++i) trips.push_back(milliseconds(arrivals[i] - arrivals[i - 1]));
    std::sort(trips.begin(), trips.end());
    state.counters["round_trips"] = static_cast<double>(trips.size());
    state.counters["p50_ms"] = percentile(trips, 0.50);
    state.counters["p95_ms"] = percentile(trips, 0.95);
    state.counters["max_ms"] = trips.back();
}

// First: the toolkit and the web engine start in this benchmark.
void BM_ColdStartToFirstReply(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Clock::time_point> arrivals = runSession(1, 16);
        double coldStart = milliseconds(arrivals.at(1) - gProgramStart);
        state.SetIterationTime(coldStart / 1000.0);
        state.counters["cold_start_ms"] = coldStart;
    }
}
BENCHMARK(BM_ColdStartToFirstReply)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SmallRoundTrips(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Clock::time_point> arrivals = runSession(1001, 16);
        state.SetIterationTime(milliseconds(arrivals.back() - arrivals.front()) / 1000.0);
        reportRoundTrips(state, arrivals);
    }
}
BENCHMARK(BM_SmallRoundTrips)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_OneMebibyteReplies(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<Clock::time_point> arrivals = runSession(21, 1 << 20);
        state.SetIterationTime(milliseconds(arrivals.back() - arrivals.front()) / 1000.0);
        reportRoundTrips(state, arrivals);
    }
}
BENCHMARK(BM_OneMebibyteReplies)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
