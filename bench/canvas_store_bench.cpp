// What holding canvas state costs: allocating and releasing the runtime record with its canvas
// slots, copying a full display list into a view's list, and installing (and parsing) a tree of
// the largest size a view takes.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/runtime.hpp"
#include "widgets/display_list.hpp"
#include "widgets/widget_tree_install.hpp"
#include "widgets/widget_tree_text.hpp"

namespace {

using namespace kelvo;

void allocateAndReleaseRuntime(benchmark::State& state) {
    for (auto _ : state) {
        Result<Runtime*> runtime = allocateRuntime();
        if (!runtime) state.SkipWithError("allocation failed");
        benchmark::DoNotOptimize(*runtime);
        releaseRuntime(*runtime);
    }
}
BENCHMARK(allocateAndReleaseRuntime)->Unit(benchmark::kMillisecond);

void copyFullDisplayList(benchmark::State& state) {
    // 2,048 commands: a quarter text runs of 16 bytes and 4 glyphs, a quarter 4-element paths.
    std::vector<PathElement> path = {PathElement::moveTo({0, 0}), PathElement::lineTo({10, 0}),
                                     PathElement::lineTo({10, 10}), PathElement::close()};
    std::vector<PositionedGlyph> glyphs(4);
    const std::string text(16, 'a');
    std::vector<CanvasCommand> commands;
    for (std::size_t i = 0; commands.size() < kMaxCanvasCommands; ++i) {
        std::uint64_t id = i * 16;
        if (i % 4 == 0) {
            commands.push_back(CanvasCommand::drawText({id, 1, text, glyphs, std::nullopt, 14, {0, 14}, {0, 0, 0, 1}}));
        } else if (i % 4 == 1) {
            commands.push_back(CanvasCommand::fillPath({id, path, Paint::solid({1, 0, 0, 1})}));
        } else {
            commands.push_back(CanvasCommand::fillRect({id, Paint::solid({0, 0, 1, 1}), {0, 0, 10, 10}}));
        }
    }
    auto list = std::make_unique<CanvasDisplayList>();
    for (auto _ : state) {
        if (!copyCanvasDisplayList(*list, commands)) state.SkipWithError("copy failed");
        benchmark::DoNotOptimize(list->revision);
    }
}
BENCHMARK(copyFullDisplayList)->Unit(benchmark::kMicrosecond);

// 1,024 nodes: a column of 31 rows of 32 labelled buttons each.
std::string largestTreeText() {
    std::string text = "column id=1 rect=0,0,1280,800\n";
    std::uint64_t id = 2;
    for (int row = 0; row < 31; ++row) {
        text += "  row id=" + std::to_string(id++) + " rect=0," + std::to_string(row * 25) + ",1280,24\n";
        for (int button = 0; button < 32; ++button) {
            text += "    button id=" + std::to_string(id++) + " rect=" + std::to_string(button * 40) + "," +
                    std::to_string(row * 25) + ",38,24 text=\"Button " + std::to_string(button) + "\" variant=1\n";
        }
    }
    return text;
}

void parseLargestTree(benchmark::State& state) {
    const std::string text = largestTreeText();
    auto built = std::make_unique<WidgetTreeStorage>();
    for (auto _ : state) {
        if (!parseWidgetTreeText(text, *built)) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(built->node_count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(parseLargestTree)->Unit(benchmark::kMicrosecond);

void installLargestTree(benchmark::State& state) {
    auto built = std::make_unique<WidgetTreeStorage>();
    auto view = std::make_unique<WidgetTreeStorage>();
    if (!parseWidgetTreeText(largestTreeText(), *built) || built->node_count != kMaxWidgetNodes) {
        state.SkipWithError("the tree does not parse to 1,024 nodes");
        return;
    }
    for (auto _ : state) {
        if (!installWidgetTree(*view, built->tree(), built->tokens)) state.SkipWithError("install failed");
        benchmark::DoNotOptimize(view->revision);
    }
}
BENCHMARK(installLargestTree)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
