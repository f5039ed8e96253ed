// The host's work around a page: building the evaluated reply script for a small reply and for a
// 1 MiB read chunk (UTF-8 repair and the strict JSON check included), an event script, and
// checking the page token of a posted message.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/macos/web/bridge_scripts.hpp"
#include "platform/macos/web/page_script.hpp"

namespace {

std::string readChunkReply(std::size_t size) {
    std::string head = R"({"id":"17","ok":true,"result":")";
    std::string tail = R"("})";
    std::string text = head;
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; text.size() + tail.size() < size; ++i) text.push_back(kAlphabet[(i * 7) % 64]);
    return text + tail;
}

void completeScript(benchmark::State& state, const std::string& reply) {
    std::vector<char> buffer(kelvo::bridgeScriptCapacity("", reply));
    for (auto _ : state) {
        auto script = kelvo::writeCompleteScript(buffer, reply);
        benchmark::DoNotOptimize(script);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
}

void BM_CompleteScriptSmall(benchmark::State& state) {
    completeScript(state, R"({"id":"3","ok":true,"result":{"ok":true,"bytes":73728}})");
}
BENCHMARK(BM_CompleteScriptSmall);

void BM_CompleteScriptOneMiB(benchmark::State& state) { completeScript(state, readChunkReply(1 << 20)); }
BENCHMARK(BM_CompleteScriptOneMiB);

void BM_EmitScriptDrop(benchmark::State& state) {
    std::string detail = R"({"windowId":1,"viewLabel":"main","x":10,"y":20,"paths":["/home/me/Documents/notes.vrs"]})";
    std::vector<char> buffer(kelvo::bridgeScriptCapacity("drop:files", detail));
    for (auto _ : state) {
        auto script = kelvo::writeEmitScript(buffer, "drop:files", detail);
        benchmark::DoNotOptimize(script);
    }
}
BENCHMARK(BM_EmitScriptDrop);

void BM_StripPageToken(benchmark::State& state) {
    kelvo::PageToken token;
    token.hex.fill('a');
    std::string message = std::string(token.view()) + R"({"id":"1","command":"vostra.file.read.chunk","payload":null})";
    for (auto _ : state) {
        auto request = kelvo::stripPageToken(token, message);
        benchmark::DoNotOptimize(request);
    }
}
BENCHMARK(BM_StripPageToken);

}  // namespace

BENCHMARK_MAIN();
