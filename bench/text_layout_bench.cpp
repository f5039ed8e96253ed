// Text layout on the paths every refresh takes:
//  - 65,536 bytes of prose wrapped in a 4,000-point box (a full text area),
//  - 1,000 short labels laid out one line each, cut with an ellipsis when too long,
// with the built-in estimate (the measurer before the platform's is bound, and the Linux default)
// and with a measurer that gives per-byte advances (the advance cache). Every benchmark counts the
// heap allocations of its timed loop: after the warm-up there must be none.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "text/canvas_fonts.hpp"
#include "text/text_run_plan.hpp"

// Every heap allocation of the process goes through these (operator new included).
namespace {
std::atomic<std::uint64_t> gAllocations{0};
}  // namespace

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);

void* malloc(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
}

namespace kelvo {
namespace {

float oneEmPerCharacter(void*, std::uint64_t, const char* text, std::size_t length, float size) {
    float width = 0;
    for (std::size_t i = 0; i < length; ++i) width += (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80 ? 0 : size;
    return width * 0.55f;
}

bool oneEmAdvances(void*, std::uint64_t, const char* text, std::size_t length, float* out, std::size_t capacity,
                   float size) {
    if (capacity < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80 ? 0 : size * 0.55f;
    }
    return true;
}

const TextMeasurer kAdvancesMeasurer{nullptr, &oneEmPerCharacter, &oneEmAdvances};

std::string prose(std::size_t bytes) {
    static const char* const kWords[] = {"the",
                                         "quick",
                                         "brown",
                                         "fox",
                                         "jumps",
                                         "over",
                                         "lazy",
                                         "dogs",
                                         "caf\xC3\xA9",
                                         "na\xC3\xAFve",
                                         "\xE6\xBC\xA2\xE5\xAD\x97",
                                         "line,"};
    std::string text;
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        text += kWords[(i * 7 + i / 13) % std::size(kWords)];
        text += i % 97 == 96 ? '\n' : ' ';
    }
    text.resize(bytes);
    while ((static_cast<unsigned char>(text.back()) & 0xC0) == 0x80 ||
           static_cast<unsigned char>(text.back()) >= 0xC0) {
        text.back() = 'x';
    }
    return text;
}

// Lays the whole text out into one plan, as the frame planner and the renderer do.
void wrappedText(benchmark::State& state, const TextMeasurer* measurer, std::size_t bytes) {
    const std::string text = prose(bytes);
    static auto lines = std::make_unique<TextLine[]>(4096);
    TextRun run;
    run.text = text;
    run.size = 14;
    run.baseline_y = 14;
    TextLayoutBox box{measurer, 4000, 0, TextWrap::word, TextAlign::start, true};
    std::size_t line_count = layoutTextRunPlan(run, box, {lines.get(), 4096})->lines.size();  // warm-up
    std::uint64_t before = gAllocations.load();
    for (auto _ : state) {
        auto plan = layoutTextRunPlan(run, box, {lines.get(), 4096});
        benchmark::DoNotOptimize(plan->bounds);
    }
    auto allocations = static_cast<double>(gAllocations.load() - before);
    state.counters["allocations"] = allocations;
    state.counters["lines"] = static_cast<double>(line_count);
}

void shortLabels(benchmark::State& state, const TextMeasurer* measurer) {
    static const std::vector<std::string> labels = [] {
        std::vector<std::string> out;
        for (int i = 0; i < 1000; ++i) {
            out.push_back(i % 5 == 0 ? "A longer label that is cut short " + std::to_string(i)
                                     : "Label " + std::to_string(i));
        }
        return out;
    }();
    TextLine lines[4];
    TextLayoutBox box{measurer, 120, 0, TextWrap::none, TextAlign::start, false};
    auto layoutAll = [&] {
        for (const std::string& label : labels) {
            TextRun run;
            run.text = label;
            run.size = 13;
            run.baseline_y = 13;
            auto plan = layoutTextRunPlan(run, box, lines);
            benchmark::DoNotOptimize(plan->bounds);
        }
    };
    layoutAll();  // warm-up
    std::uint64_t before = gAllocations.load();
    for (auto _ : state) layoutAll();
    auto allocations = static_cast<double>(gAllocations.load() - before);
    state.counters["allocations"] = allocations;
}

BENCHMARK_CAPTURE(wrappedText, estimate_64k, &kUnboundTextMeasurer, 65536)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(wrappedText, widths_64k, &kAdvancesMeasurer, 65536)->Unit(benchmark::kMillisecond);
// Runs of up to 32,768 bytes have their advances cached.
BENCHMARK_CAPTURE(wrappedText, advances_32k, &kAdvancesMeasurer, 32768)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(shortLabels, estimate, &kUnboundTextMeasurer)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(shortLabels, advances, &kAdvancesMeasurer)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
