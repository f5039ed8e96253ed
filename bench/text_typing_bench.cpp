// Typing 1,000 characters into a text area of a canvas view, one key-down event at a time: each
// key is mapped to an edit, the text store is spliced, the caret is scrolled into view (a line
// layout of the whole text), the semantics are collected and the display list is refreshed. A
// line feed every 50 keys makes the text wrap and scroll. The per-key time is the counter
// "per_key".

#include <benchmark/benchmark.h>

#include "runtime/canvas/canvas_text_keyboard.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "screen_runtime.hpp"

namespace {

using namespace kelvo;

constexpr int kKeys = 1000;

void BM_TypeIntoTextArea(benchmark::State& state) {
    bench::ScreenRuntime screen;
    Runtime& runtime = *screen.runtime;
    if (!installCanvasWidgetTreeText(runtime, 0,
                                     "column id=1 rect=0,0,1280,800\n"
                                     "  text_area id=2 rect=20,20,600,300 text=\"\"\n")) {
        state.SkipWithError("the tree does not install");
        return;
    }
    screen.view().focused = true;
    screen.view().canvas.interaction.focusedWidget = 2;
    GpuSurfaceInput key{.windowId = 1, .label = "canvas", .kind = GpuSurfaceInputKind::key_down};
    for (auto _ : state) {
        if (!applyCanvasWidgetTextEdit(runtime, 0, 2, {{}, 0, 0, false, TextEditKind::clear_text})) {
            state.SkipWithError("clearing failed");
            return;
        }
        for (int i = 0; i < kKeys; ++i) {
            runtime.dirtyRegions.clear();
            const bool lineBreak = i % 50 == 49;
            key.key = lineBreak ? "enter" : "k";
            key.text = lineBreak ? "" : "k";
            if (!updateCanvasWidgetTextFromKeyboard(runtime, key)) {
                state.SkipWithError("a key failed");
                return;
            }
        }
    }
    state.counters["per_key"] =
        benchmark::Counter(kKeys, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["commands"] = static_cast<double>(screen.view().canvas.commandCount);
}
BENCHMARK(BM_TypeIntoTextArea)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
