// Hashing and trace-line costs: the per-record work of the trace sinks and the hash that caches
// and fingerprints use.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <string>

#include "base/posix_io.hpp"
#include "base/wyhash.hpp"
#include "debug/trace_format.hpp"
#include "debug/trace_sinks.hpp"

namespace {

using namespace kelvo;

void wyhashOneShot(benchmark::State& state) {
    std::string text(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) benchmark::DoNotOptimize(wyhash(text, 0));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(wyhashOneShot)->Arg(16)->Arg(256)->Arg(65536);

void wyhashStreamingIn64ByteChunks(benchmark::State& state) {
    std::string text(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        Wyhash hasher;
        for (std::size_t at = 0; at < text.size(); at += 64) hasher.update(std::string_view(text).substr(at, 64));
        benchmark::DoNotOptimize(hasher.digest());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(wyhashStreamingIn64ByteChunks)->Arg(65536);

TraceRecord frameRecord(const std::array<TraceField, 5>& fields) {
    TraceRecord record;
    record.timestampNs = 1700000000123456789;
    record.name = "window.frame";
    record.message = "window frame updated";
    record.fields = fields;
    return record;
}

const std::array<TraceField, 5> kFrameFields = {traceText("label", "main"), traceF64("x", 100.5), traceF64("y", 80),
                                                traceF64("width", 1280), traceF64("height", 820)};

void traceTextLine(benchmark::State& state) {
    TraceRecord record = frameRecord(kFrameFields);
    std::array<char, kTraceFileTextCapacity> buffer;
    for (auto _ : state) benchmark::DoNotOptimize(formatTextBounded(record, buffer).size());
}
BENCHMARK(traceTextLine);

void traceJsonLine(benchmark::State& state) {
    TraceRecord record = frameRecord(kFrameFields);
    std::array<char, kTraceJsonLineCapacity> buffer;
    for (auto _ : state) benchmark::DoNotOptimize(formatJsonLine(record, buffer).size());
}
BENCHMARK(traceJsonLine);

// The whole file-sink path on the real file system: folder check, open, append, close.
void traceAppendToFile(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "kelvo-trace-bench").string();
    std::string path = folder + "/kelvo.jsonl";
    Io io = posixIo();
    TraceRecord record = frameRecord(kFrameFields);
    std::size_t appended = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(appendTraceRecord(io, folder, path, true, record));
        if (++appended % 10'000 == 0) {
            state.PauseTiming();
            std::filesystem::resize_file(path, 0);
            state.ResumeTiming();
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(traceAppendToFile);

}  // namespace

BENCHMARK_MAIN();
