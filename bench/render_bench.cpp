// The reference renderer: the gallery frame (about five hundred commands of every tag) at 1280 x 800
// points, at scales 1 and 2; blurs of growing radius; and a redrawn frame through the memo.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "render/reference_frame.hpp"
#include "render_gallery.hpp"

namespace kelvo {
namespace {

using testing::buildRenderGallery;
using testing::kGalleryHeight;
using testing::kGalleryWidth;
using testing::RenderGallery;

struct Target {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> scratch;
    ReferenceRenderSurface surface;

    Target(std::uint64_t width, std::uint64_t height) : pixels(width * height * 4), scratch(width * height * 4) {
        surface.width = width;
        surface.height = height;
        surface.pixels = pixels;
        surface.scratch = scratch;
    }
};

void BM_GalleryFrame(benchmark::State& state) {
    auto scale = static_cast<float>(state.range(0));
    RenderGallery gallery;
    buildRenderGallery(gallery);
    Target target(static_cast<std::uint64_t>(kGalleryWidth * scale),
                  static_cast<std::uint64_t>(kGalleryHeight * scale));
    target.surface.images = {&gallery.image, 1};
    for (auto _ : state) {
        clearReferenceSurface(target.surface, {0, 0, 0, 0});
        if (!renderDisplayList(target.surface, gallery.commands, scale)) state.SkipWithError("render");
        benchmark::DoNotOptimize(target.pixels.data());
    }
    state.counters["commands"] = static_cast<double>(gallery.commands.size());
}
BENCHMARK(BM_GalleryFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A blur over a 400 x 300 area of a busy surface, radius 4, 16 and 40 points at scales 1 and 2.
void BM_Blur(benchmark::State& state) {
    auto radius = static_cast<float>(state.range(0));
    auto scale = static_cast<float>(state.range(1));
    Target target(static_cast<std::uint64_t>(640 * scale), static_cast<std::uint64_t>(480 * scale));
    for (std::size_t i = 0; i < target.pixels.size(); ++i)
        target.pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    const CanvasCommand blur = CanvasCommand::blurOf({1, {120, 90, 400, 300}, radius});
    for (auto _ : state) {
        if (!renderDisplayList(target.surface, {&blur, 1}, scale)) state.SkipWithError("blur");
        benchmark::DoNotOptimize(target.pixels.data());
    }
}
BENCHMARK(BM_Blur)->ArgsProduct({{4, 16, 40}, {1, 2}})->Unit(benchmark::kMillisecond);

// The gallery redrawn over the same pixels with a memo: the memoised commands of at least 50,000
// pixels (the large fills, cards and the blur) become copies.
void BM_GalleryFrameWithMemo(benchmark::State& state) {
    RenderGallery gallery;
    buildRenderGallery(gallery);
    Target target(static_cast<std::uint64_t>(kGalleryWidth), static_cast<std::uint64_t>(kGalleryHeight));
    target.surface.images = {&gallery.image, 1};
    auto memo = std::make_unique<ReferenceRenderMemo>();
    memo->minimum_area = 50000;
    target.surface.memo = memo.get();
    for (auto _ : state) {
        clearReferenceSurface(target.surface, {0, 0, 0, 0});
        if (!renderDisplayList(target.surface, gallery.commands, 1)) state.SkipWithError("render");
        benchmark::DoNotOptimize(target.pixels.data());
    }
    state.counters["hits"] = static_cast<double>(memo->hits);
    state.counters["misses"] = static_cast<double>(memo->misses);
}
BENCHMARK(BM_GalleryFrameWithMemo)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
