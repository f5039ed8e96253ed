// The view family's largest answers: listing a window that holds every view and web view the
// tables allow (49 view objects), and creating then closing a button. The platform's slots accept
// everything; buffers are allocated once, before timing.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bridge/reply.hpp"
#include "bridge/request.hpp"
#include "runtime/bridge/view_commands.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_create.hpp"

namespace kelvo {
namespace {

Status acceptView(void*, const ViewOptions&) { return {}; }
Status acceptLabel(void*, std::uint64_t, std::string_view) { return {}; }

constexpr std::string_view kOrigins[] = {"vexa://app"};

struct Scene {
    Runtime* runtime = nullptr;
    AppBinding binding;
    std::vector<char> output = std::vector<char>(kBridgeReplyBytes);
    std::vector<char> scratch = std::vector<char>(kBridgeReplyBytes);
    std::vector<char> reply = std::vector<char>(kBridgeReplyBytes);

    Scene() {
        runtime = *allocateRuntime();
        runtime->platform.slots.createView = acceptView;
        runtime->platform.slots.closeView = acceptLabel;
        runtime->platform.slots.closeWebView = acceptLabel;
        runtime->securityPolicy.origins = kOrigins;
        WindowSource source{"vexa://app", std::nullopt, WindowSourceKind::url};
        (void)reserveWindow(*runtime, 1, "main", "Vostra Studio", source, true);
    }
    ~Scene() { releaseRuntime(runtime); }

    std::size_t send(std::string_view message) {
        BridgeRequest request = parseRequest(message);
        BridgeFamilyCall call{request, binding, 1, "main"};
        BridgeFamilyBuffers buffers{output, scratch, reply};
        return dispatchViewBridgeCommand(*runtime, call, buffers).size();
    }
};

void BM_ListFullWindow(benchmark::State& state) {
    Scene scene;
    for (int i = 0; i < 32; ++i) {
        ViewOptions options{1, ""};
        std::string label = "view" + std::to_string(i);
        options.label = label;
        options.kind = ViewKind::button;
        options.frame = RectF{float(i), 0.5f, 96, 32};
        (void)createView(*scene.runtime, options);
    }
    for (int i = 0; i < 16; ++i) {
        ViewOptions options{1, ""};
        std::string label = "web" + std::to_string(i);
        options.label = label;
        options.kind = ViewKind::webview;
        options.url = "vexa://app/panel.html";
        options.frame = RectF{0, float(i) * 10.25f, 300, 200};
        (void)createView(*scene.runtime, options);
    }
    std::size_t bytes = 0;
    for (auto _ : state) bytes = scene.send(R"({"id":"1","command":"kelvo.view.list"})");
    state.counters["reply_bytes"] = double(bytes);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}
BENCHMARK(BM_ListFullWindow);

void BM_CreateAndCloseButton(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) {
        benchmark::DoNotOptimize(scene.send(
            R"({"id":"1","command":"kelvo.view.create","payload":{"label":"save","kind":"button","text":"Save","frame":{"x":8,"y":8,"width":96,"height":32}}})"));
        benchmark::DoNotOptimize(scene.send(R"({"id":"2","command":"kelvo.view.close","payload":{"label":"save"}})"));
    }
}
BENCHMARK(BM_CreateAndCloseButton);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
