// A 32 MiB document saved and read back through the application's commands on the real file
// system, in chunks of the largest size the commands take: the save counts the base64 decoding,
// the writes to the temporary file, its sync and the rename; the read the reads and the encoding.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "base/posix_io.hpp"

namespace {

using namespace kelvo;

constexpr std::size_t kDocumentBytes = 32 * 1024 * 1024;

struct DocumentBench {
    DocumentBench() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelvo-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        path = "\"" + folder + "/bench.vrs\"";
        app = std::move(*createApp(environment, posixIo(), {}, {}, folder));
        // The appends' payloads, made once: quoted base64 of 73,728-byte pieces.
        std::vector<std::uint8_t> piece(kAppendBytesLimit);
        for (std::size_t done = 0; done < kDocumentBytes; done += piece.size()) {
            std::size_t size = std::min(piece.size(), kDocumentBytes - done);
            for (std::size_t i = 0; i < size; ++i) piece[i] = static_cast<std::uint8_t>((done + i) * 2654435761u >> 24);
            std::string payload(base64EncodedSize(size) + 2, '"');
            encodeBase64({piece.data(), size}, payload.data() + 1);
            appends.push_back(std::move(payload));
        }
    }
    ~DocumentBench() { std::filesystem::remove_all(folder); }

    BridgeInvocation call(std::string_view payload = "null") const {
        return {"1", "", payload, "vexa://app", 1, "main"};
    }

    bool save() {
        if (!beginFile(*app, call(path), output)) return false;
        for (const auto& payload : appends) {
            if (!appendFile(*app, call(payload), output)) return false;
        }
        return finishFile(*app, call(), output).has_value();
    }

    // The reply bytes of every chunk, or 0 when a command failed.
    std::size_t read() {
        if (!beginReadFile(*app, call(path), output)) return 0;
        std::size_t replyBytes = 0;
        for (;;) {
            auto chunk = readFileChunk(*app, call(), output);
            if (!chunk) return 0;
            if (chunk->size() == 2) break;
            replyBytes += chunk->size();
        }
        (void)finishReadFile(*app, call(), output);
        return replyBytes;
    }

    EnvMap environment;
    std::string folder;
    std::string path;
    AppPtr app;
    std::vector<std::string> appends;
    std::vector<char> output = std::vector<char>(kBridgeHandlerOutputBytes);
};

void saveDocument32MiB(benchmark::State& state) {
    DocumentBench bench;
    for (auto _ : state) {
        if (!bench.save()) state.SkipWithError("the save failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocumentBytes));
}
BENCHMARK(saveDocument32MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void readDocument32MiB(benchmark::State& state) {
    DocumentBench bench;
    if (!bench.save()) state.SkipWithError("the save failed");
    for (auto _ : state) {
        if (bench.read() == 0) state.SkipWithError("the read failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kDocumentBytes));
}
BENCHMARK(readDocument32MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
