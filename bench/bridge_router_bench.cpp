// Application requests through the whole router: parsing, the policy, a trivial handler, the
// success reply and its delivery to a platform that only records the reply's length. A 200-byte
// request and a 1 MiB one; requests per second, MB/s, and the heap allocations per request
// (counted by replacing the global allocation functions; the router should make none).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "allocation_counter.hpp"
#include "base/bounded_writer.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/runtime.hpp"

namespace {

using namespace kelvo;

std::size_t gLastReplyBytes = 0;

Status recordReply(void*, std::uint64_t, std::string_view, std::string_view reply) {
    gLastReplyBytes = reply.size();
    return {};
}

// Answers {"bytes":N} with the payload's length.
Result<std::string_view> countBytes(void*, const BridgeInvocation& invocation, std::span<char> output) {
    BoundedWriter out(output);
    out.write("{\"bytes\":");
    out.writeUnsigned(invocation.payload.size());
    out.put('}');
    return out.text();
}

constexpr BridgeCommandRule kRules[] = {{"vostra.file.append", {}, {}}};
constexpr BridgeCommandHandler kHandlers[] = {{"vostra.file.append", nullptr, &countBytes}};

Status dropRecord(void*, const TraceRecord&) { return {}; }

Runtime& benchRuntime() {
    static Runtime* runtime = [] {
        Runtime* made = *allocateRuntime();
        made->platform.slots.completeWebViewBridge = &recordReply;
        made->bridgeConfig = BridgeConfig{Policy{{}, kRules, true}, kHandlers, {}};
        made->trace = TraceLog{TraceSink{nullptr, &dropRecord}, true, 0};
        return made;
    }();
    return *runtime;
}

// A document chunk request of exactly `size` bytes.
std::string appendRequest(std::size_t size) {
    std::string head = R"({"id":"1234","command":"vostra.file.append","payload":{"data":")";
    std::string tail = R"("}})";
    std::string text = head + std::string(size - head.size() - tail.size(), 'A') + tail;
    for (std::size_t i = head.size(); i + tail.size() < text.size(); ++i) text[i] = "ABCDEFGHabcdefgh0123+/"[i % 22];
    return text;
}

void routeRequests(benchmark::State& state, std::size_t size) {
    Runtime& runtime = benchRuntime();
    const std::string message = appendRequest(size);
    const AppBinding binding{};
    const BridgeMessage bridgeMessage{message, "vexa://app", 1, "main"};
    if (!handleBridgeMessage(runtime, binding, bridgeMessage) || gLastReplyBytes == 0) std::abort();

    std::uint64_t before = bench::allocationCount();
    for (auto _ : state) {
        Status handled = handleBridgeMessage(runtime, binding, bridgeMessage);
        benchmark::DoNotOptimize(handled);
    }
    std::uint64_t allocations = bench::allocationCount() - before;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
    state.counters["allocs_per_request"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

void BM_Route200ByteRequest(benchmark::State& state) { routeRequests(state, 200); }
BENCHMARK(BM_Route200ByteRequest);

void BM_RouteOneMebibyteRequest(benchmark::State& state) { routeRequests(state, kMaxBridgeRequestBytes); }
BENCHMARK(BM_RouteOneMebibyteRequest);

}  // namespace

BENCHMARK_MAIN();
