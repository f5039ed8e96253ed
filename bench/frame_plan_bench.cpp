// Planning canvas frames of 100, 500 and 2,048 commands: the same list repainted in full, a hover
// that changes one command between presented frames (a patch), an unchanged list (the early exit),
// a list with text labels, and glyph-heavy frames of 2,000 to 8,000 distinct glyphs. Each plan is
// timed on its own for the p50 and p99 counters, and the heap allocations of the timed loop are
// counted (there must be none).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "allocation_counter.hpp"
#include "render/frame_plan.hpp"
#include "render/frame_report.hpp"

namespace {

using namespace kelvo;

const GradientStop kStops[] = {{0, {0.1f, 0.3f, 0.8f, 1}}, {1, {0.3f, 0.6f, 1, 1}}};
const PathElement kIcon[] = {PathElement::moveTo({2, 2}), PathElement::lineTo({14, 2}),
                             PathElement::quadTo({16, 8}, {14, 14}), PathElement::lineTo({2, 14}),
                             PathElement::close()};
const std::uint8_t kPixels[16 * 16 * 4] = {};
const ReferenceImage kImages[] = {{7, 16, 16, kPixels}};

// A screen of `count` commands: rows of controls in clipped groups of 14, some moved by a
// transform, every drawing command with its own id; `hover` recolours one command.
std::vector<CanvasCommand> screen(std::size_t count, bool hover, std::vector<std::string>* labels = nullptr) {
    std::vector<CanvasCommand> list;
    std::uint64_t id = 16;
    for (std::size_t group = 0; list.size() + 16 <= count; ++group) {
        const float y = 4.0f + 24.0f * static_cast<float>(group % 40);
        const float x = 300.0f * static_cast<float>(group / 40);
        list.push_back(CanvasCommand::pushClip({id += 16, {x, y, 296, 22}, {}}));
        list.push_back(CanvasCommand::transformBy({1, 0, 0, 1, x, y}));
        for (int i = 0; i < 14 - 2; ++i) {
            const float cx = 20.0f * static_cast<float>(i);
            const Color colour = hover && group == 3 && i == 0 ? Color{1, 0.5f, 0, 1} : Color{0.9f, 0.9f, 0.9f, 1};
            switch (i % 6) {
                case 0:
                    list.push_back(CanvasCommand::fillRoundedRect(
                        {id += 16, Paint::solid(colour), {cx, 0, 18, 20}, {4, 4, 4, 4}}));
                    break;
                case 1:
                    list.push_back(CanvasCommand::fillRect(
                        {id += 16, Paint::linear({kStops, {cx, 0}, {cx + 18, 0}}), {cx, 0, 18, 20}}));
                    break;
                case 2:
                    list.push_back(
                        CanvasCommand::strokeRect({id += 16, {Paint::solid({0, 0, 0, 1}), 1}, {cx, 0, 18, 20}, {}}));
                    break;
                case 3:
                    if (labels != nullptr) {
                        const std::string& text = labels->emplace_back("Label " + std::to_string(id));
                        DrawTextCommand label;
                        label.id = id += 16;
                        label.font = 1;
                        label.text = text;
                        label.size = 12;
                        label.origin = {cx, 16};
                        label.color = {0, 0, 0, 1};
                        list.push_back(CanvasCommand::drawText(label));
                    } else {
                        list.push_back(CanvasCommand::fillPath({id += 16, kIcon, Paint::solid({0.2f, 0.2f, 0.2f, 1})}));
                    }
                    break;
                case 4:
                    list.push_back(
                        CanvasCommand::drawImage({id += 16, 7, std::nullopt, {cx, 2, 16, 16}, 1, {}, {}, {}}));
                    break;
                default:
                    list.push_back(
                        CanvasCommand::shadowOf({id += 16, {cx, 0, 18, 20}, {0, 0, 0, 0.3f}, {0, 1}, 3, 0, {}}));
                    break;
            }
        }
        list.push_back(CanvasCommand::transformBy({1, 0, 0, 1, -x, -y}));
        list.push_back(CanvasCommand::popClip());
    }
    while (list.size() < count)
        list.push_back(CanvasCommand::drawLine({id += 16, {Paint::solid({0, 0, 0, 1}), 1}, {0, 990}, {1200, 990}}));
    return list;
}

enum class Scenario { full, hover, idle };

// Plans (and presents) one frame per iteration and reports percentiles, allocations and the plan's
// own cost estimate.
void runPlans(benchmark::State& state, const std::vector<CanvasCommand>& a, const std::vector<CanvasCommand>& b,
              Scenario scenario) {
    auto history = std::make_unique<CanvasFrameHistory>();
    CanvasFrameSource source;
    source.history = history.get();
    source.surface_width = 1280;
    source.surface_height = 1000;
    source.images = kImages;
    CanvasFrameRequest request;
    request.glyph_retention = 120;
    request.text_layout_retention = 120;
    request.force_full_repaint = scenario == Scenario::full;
    const CanvasFrameStorage& storage = canvasFrameStorageForThread();

    std::uint64_t revision = 1;
    const auto planOnce = [&](bool flip) -> Result<CanvasFrame> {
        if (scenario != Scenario::idle) ++revision;
        source.commands = flip ? b : a;
        source.revision = revision;
        ++request.frame_tag;
        return planCanvasFrame(source, request, storage);
    };
    for (int warm = 0; warm < 3; ++warm) {
        Result<CanvasFrame> frame = planOnce(warm % 2 == 1);
        if (!frame) {
            state.SkipWithError("the frame does not plan");
            return;
        }
        commitPresentedCanvasFrame(*history, *frame);
    }

    // Plans are timed alone; the commit after presenting is timed beside them.
    std::vector<double> micros;
    micros.reserve(1 << 20);
    double commit_micros = 0;
    CanvasFrameProfile profile;
    bool flip = false;
    const std::uint64_t before = bench::allocationCount();
    for (auto _ : state) {
        flip = !flip;
        const auto start = std::chrono::steady_clock::now();
        Result<CanvasFrame> frame = planOnce(flip);
        const auto planned = std::chrono::steady_clock::now();
        if (frame) commitPresentedCanvasFrame(*history, *frame);
        const auto committed = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(frame);
        if (micros.size() < micros.capacity()) {
            micros.push_back(std::chrono::duration<double, std::micro>(planned - start).count());
        }
        commit_micros += std::chrono::duration<double, std::micro>(committed - planned).count();
        if (frame && !frame->unchanged) {
            profile.work_units = std::max(profile.work_units, canvasFrameProfile(*frame).work_units);
        }
    }
    const std::uint64_t allocations = bench::allocationCount() - before;
    std::sort(micros.begin(), micros.end());
    state.counters["p50_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["commit_us"] = commit_micros / static_cast<double>(state.iterations());
    state.counters["allocs_per_plan"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
    state.counters["work_units"] = static_cast<double>(profile.work_units);
}

void BM_PlanFullRepaint(benchmark::State& state) {
    const auto list = screen(static_cast<std::size_t>(state.range(0)), false);
    runPlans(state, list, list, Scenario::full);
}

void BM_PlanHoverPatch(benchmark::State& state) {
    runPlans(state, screen(static_cast<std::size_t>(state.range(0)), false),
             screen(static_cast<std::size_t>(state.range(0)), true), Scenario::hover);
}

void BM_PlanUnchanged(benchmark::State& state) {
    const auto list = screen(static_cast<std::size_t>(state.range(0)), false);
    runPlans(state, list, list, Scenario::idle);
}

void BM_PlanWithText(benchmark::State& state) {
    std::vector<std::string> labels;
    labels.reserve(4096);
    const auto list = screen(static_cast<std::size_t>(state.range(0)), false, &labels);
    runPlans(state, list, list, Scenario::full);
}

// Glyph atlas entries past 2,048 are still found through the index: the cost per glyph stays flat.
void BM_PlanGlyphs(benchmark::State& state) {
    std::vector<std::string> runs;
    std::vector<CanvasCommand> list;
    const auto glyphs = static_cast<std::uint32_t>(state.range(0));
    for (std::uint32_t first = 0; first < glyphs; first += 64) {
        std::string& text = runs.emplace_back();
        for (std::uint32_t c = first; c < std::min(first + 64, glyphs); ++c) {
            const std::uint32_t code = 0x4E00 + c;  // one distinct ideograph each
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        DrawTextCommand run;
        run.id = 16 * (i + 1);
        run.font = 1;
        run.text = runs[i];
        run.size = 8;
        run.origin = {0, 10.0f + 10.0f * static_cast<float>(i)};
        list.push_back(CanvasCommand::drawText(run));
    }
    runPlans(state, list, list, Scenario::full);
    state.counters["ns_per_glyph"] = benchmark::Counter(
        static_cast<double>(glyphs), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_PlanFullRepaint)->Arg(100)->Arg(500)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanHoverPatch)->Arg(100)->Arg(500)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanUnchanged)->Arg(100)->Arg(500)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanWithText)->Arg(100)->Arg(500)->Arg(2048)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanGlyphs)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
