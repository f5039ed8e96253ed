// Parsing and answering bridge requests: a typical small request, a 1 MiB document chunk, a 1 MiB
// payload of mixed JSON values, and a success reply that carries a large result. Every buffer is
// fixed and allocated once, before timing.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/bounded_writer.hpp"
#include "bridge/reply.hpp"
#include "bridge/request.hpp"
#include "runtime/bridge/payload_fields.hpp"

namespace {

std::vector<char>& replyBuffer() {
    static std::vector<char> buffer(kelvo::kBridgeReplyBytes);
    return buffer;
}

std::vector<char>& scratchBuffer() {
    static std::vector<char> buffer(kelvo::kMaxBridgeRequestBytes);
    return buffer;
}

std::string base64Text(std::size_t length) {
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text(length, 'A');
    for (std::size_t i = 0; i < length; ++i) text[i] = kAlphabet[(i * 7 + i / 64) % kAlphabet.size()];
    return text;
}

// A document chunk request of exactly `size` bytes.
std::string appendRequest(std::size_t size) {
    std::string head = R"({"id":"1234","command":"vostra.file.append","payload":{"data":")";
    std::string tail = R"("}})";
    return head + base64Text(size - head.size() - tail.size()) + tail;
}

// A request whose payload is an array of small records, padded with spaces to exactly `size` bytes.
std::string mixedRequest(std::size_t size) {
    std::string text = R"({"id":"77","command":"kelvo.view.update","payload":{"items":[)";
    char record[160];
    for (int i = 0;; ++i) {
        int length = std::snprintf(record, sizeof record,
                                   R"(%s{"label":"item %d","frame":{"x":%d.5,"y":-%d,"width":240,"height":1e2},)"
                                   R"("visible":true,"text":"a \"quoted\" value","tags":[null,false]})",
                                   i == 0 ? "" : ",", i, i % 997, i % 13);
        if (text.size() + static_cast<std::size_t>(length) + 4 > size) break;
        text.append(record, static_cast<std::size_t>(length));
    }
    text += "]}}";
    text.resize(size, ' ');
    return text;
}

// Parses the request, decodes its "data" member and answers with a small result.
void answerAppend(std::string_view message) {
    kelvo::BridgeRequest request = kelvo::parseRequest(message);
    if (!request.ok()) std::abort();
    kelvo::PayloadScratch scratch{scratchBuffer(), 0};
    auto data = kelvo::jsonStringField(request.payload, "data", scratch);
    if (!data || !data->has_value()) std::abort();
    char result[48];
    kelvo::BoundedWriter out(result);
    out.write("{\"bytes\":");
    out.writeUnsigned((*data)->size() / 4 * 3);
    out.put('}');
    std::string_view reply = kelvo::writeSuccessResponse(replyBuffer(), request.id, out.text());
    benchmark::DoNotOptimize(reply.data());
}

void BM_AnswerTypicalRequest(benchmark::State& state) {
    const std::string message = appendRequest(200);
    for (auto _ : state) answerAppend(message);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_AnswerTypicalRequest);

void BM_AnswerOneMebibyteChunk(benchmark::State& state) {
    const std::string message = appendRequest(kelvo::kMaxBridgeRequestBytes);
    for (auto _ : state) answerAppend(message);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_AnswerOneMebibyteChunk);

void BM_AnswerOneMebibyteMixedPayload(benchmark::State& state) {
    const std::string message = mixedRequest(kelvo::kMaxBridgeRequestBytes);
    for (auto _ : state) {
        kelvo::BridgeRequest request = kelvo::parseRequest(message);
        if (!request.ok()) std::abort();
        std::string_view reply = kelvo::writeSuccessResponse(replyBuffer(), request.id, "null");
        benchmark::DoNotOptimize(reply.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * message.size()));
}
BENCHMARK(BM_AnswerOneMebibyteMixedPayload);

// A handler result of nearly 1 MiB: checked as strict JSON and copied into the reply.
void BM_SuccessReplyWithLargeResult(benchmark::State& state) {
    std::string result = "{\"data\":\"" + base64Text(kelvo::kBridgeReplyBytes - 64) + "\"}";
    for (auto _ : state) {
        std::string_view reply = kelvo::writeSuccessResponse(replyBuffer(), "1234", result);
        if (reply.size() < result.size()) std::abort();
        benchmark::DoNotOptimize(reply.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * result.size()));
}
BENCHMARK(BM_SuccessReplyWithLargeResult);

}  // namespace

BENCHMARK_MAIN();
