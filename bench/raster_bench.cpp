// The software raster primitives against outside reference points, in one program:
//  - filling a 1024 x 1024 path of 300 cubic segments (against cairo's image backend, flattening
//    curves to the same tolerance), into RGBA pixels and into an 8-bit coverage mask, and the mask
//    fill of both side by side in one loop with the ratio of their times,
//  - drawing a line of 80 glyphs at 14 px (the same outlines filled by cairo),
//  - writing a 1024 x 1024 PNG (against libpng at compression level 0 without filtering).
// cairo and libpng are benchmark-only dependencies; the program itself never links them.

#include <benchmark/benchmark.h>
#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "raster/font_ttf.hpp"
#include "raster/png.hpp"
#include "raster/vector.hpp"

namespace kelvo {
namespace {

constexpr int kCanvas = 1024;

// A wavy closed blob of 300 cubic segments filling most of the canvas, plus an inner loop turning
// the other way (a hole under the winding rule).
std::vector<PathElement> blobPath() {
    std::vector<PathElement> path;
    auto ring = [&](int segments, float radius, float wobble, bool reverse) {
        auto at = [&](float t) {
            float angle = (reverse ? -1.0f : 1.0f) * t * 2.0f * static_cast<float>(M_PI);
            float r = radius + wobble * std::sin(t * 2.0f * static_cast<float>(M_PI) * 17.0f);
            return Point{512 + r * std::cos(angle), 512 + r * std::sin(angle)};
        };
        path.push_back(PathElement::moveTo(at(0)));
        for (int i = 0; i < segments; ++i) {
            float t0 = static_cast<float>(i) / segments;
            float t1 = static_cast<float>(i + 1) / segments;
            Point a = at(t0 + (t1 - t0) / 3);
            Point b = at(t0 + 2 * (t1 - t0) / 3);
            path.push_back(PathElement::cubicTo(a, b, at(t1)));
        }
        path.push_back(PathElement::close());
    };
    ring(240, 470, 30, false);
    ring(60, 150, 12, true);
    return path;
}

// Source-over of an opaque colour into RGBA8 pixels (kept as 32-bit words), weighted by coverage:
// runs of full coverage are plain fills, edge pixels are blended.
struct RgbaTarget {
    std::vector<std::uint32_t> pixels;
    int width;
    std::uint8_t colour[3] = {30, 90, 200};
    std::uint32_t solid = 0;

    RgbaTarget(int w, int h) : pixels(static_cast<std::size_t>(w) * h, 0xffffffffu), width(w) {
        const std::uint8_t bytes[4] = {colour[0], colour[1], colour[2], 255};
        std::memcpy(&solid, bytes, 4);
    }

    void blend(std::uint32_t* out, float c) const {
        if (!(c > kCoverageThreshold)) return;
        auto a = static_cast<std::uint32_t>(c * 255.0f + 0.5f);
        std::uint8_t px[4];
        std::memcpy(px, out, 4);
        for (int k = 0; k < 3; ++k) px[k] = static_cast<std::uint8_t>((colour[k] * a + px[k] * (255 - a) + 127) / 255);
        px[3] = 255;
        std::memcpy(out, px, 4);
    }

    static void row(void* context, std::int32_t y, std::int32_t x, const float* coverage, std::int32_t count) {
        auto* target = static_cast<RgbaTarget*>(context);
        std::uint32_t* out = target->pixels.data() + static_cast<std::size_t>(y) * target->width + x;
        if (coverage == nullptr) {
            std::fill(out, out + count, target->solid);
            return;
        }
        std::int32_t i = 0;
        // Eight pixels at a time: a block covered whole is a plain fill.
        for (; i + 8 <= count; i += 8) {
            int whole = 0;
            for (int j = 0; j < 8; ++j) whole += coverage[i + j] >= 1.0f;
            if (whole == 8) {
                for (int j = 0; j < 8; ++j) out[i + j] = target->solid;
            } else {
                for (int j = 0; j < 8; ++j) {
                    if (coverage[i + j] >= 1.0f) {
                        out[i + j] = target->solid;
                    } else {
                        target->blend(out + i + j, coverage[i + j]);
                    }
                }
            }
        }
        for (; i < count; ++i) {
            if (coverage[i] >= 1.0f) {
                out[i] = target->solid;
            } else {
                target->blend(out + i, coverage[i]);
            }
        }
    }
};

void cairoPath(cairo_t* cr, std::span<const PathElement> path) {
    Point current{};
    for (const PathElement& e : path) {
        switch (pathVerbBits(e.verb)) {
            case 0:
                cairo_move_to(cr, e.points[0].x, e.points[0].y);
                current = e.points[0];
                break;
            case 1:
                cairo_line_to(cr, e.points[0].x, e.points[0].y);
                current = e.points[0];
                break;
            case 2: {
                Point c = e.points[0];
                Point p = e.points[1];
                cairo_curve_to(cr, current.x + 2.0 / 3 * (c.x - current.x), current.y + 2.0 / 3 * (c.y - current.y),
                               p.x + 2.0 / 3 * (c.x - p.x), p.y + 2.0 / 3 * (c.y - p.y), p.x, p.y);
                current = p;
                break;
            }
            case 3:
                cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                               e.points[2].y);
                current = e.points[2];
                break;
            case 4:
                cairo_close_path(cr);
                break;
            default:
                break;
        }
    }
}

void BM_FillPath_Kelvo(benchmark::State& state) {
    auto path = blobPath();
    auto rasterizer = std::make_unique<Rasterizer>();
    RgbaTarget target(kCanvas, kCanvas);
    for (auto _ : state) {
        rasterizer->clear();
        if (!accumulateFillEdges(*rasterizer, path, kIdentityAffine)) state.SkipWithError("fill");
        if (!sweepCoverageRows(*rasterizer, {0, 0, kCanvas, kCanvas}, FillRule::winding, kCanvas, kCanvas,
                               RgbaTarget::row, &target)) {
            state.SkipWithError("sweep");
        }
        benchmark::DoNotOptimize(target.pixels.data());
    }
    state.counters["edges"] = static_cast<double>(rasterizer->count);
}
BENCHMARK(BM_FillPath_Kelvo)->Unit(benchmark::kMicrosecond);

// A white ARGB canvas with the fill colour of RgbaTarget set, anti-aliased in grey levels and
// flattening curves to our tolerance.
cairo_t* cairoRgbaCanvas(int height) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kCanvas, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 30 / 255.0, 90 / 255.0, 200 / 255.0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    cairo_set_tolerance(cr, kFlattenTolerance);
    return cr;
}

// The context, then the surface it was made for (which our own reference kept alive).
void releaseCairoCanvas(cairo_t* cr) {
    cairo_surface_t* surface = cairo_get_target(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void BM_FillPath_Cairo(benchmark::State& state) {
    cairo_t* cr = cairoRgbaCanvas(kCanvas);
    cairo_surface_t* surface = cairo_get_target(cr);
    auto path = blobPath();
    for (auto _ : state) {
        cairo_new_path(cr);
        cairoPath(cr, path);
        cairo_fill(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    releaseCairoCanvas(cr);
}
BENCHMARK(BM_FillPath_Cairo)->Unit(benchmark::kMicrosecond);

// The coverage alone, into an 8-bit mask on both sides.
struct KelvoMask {
    std::vector<PathElement> path = blobPath();
    std::unique_ptr<Rasterizer> rasterizer = std::make_unique<Rasterizer>();
    std::vector<std::uint8_t> mask = std::vector<std::uint8_t>(kCanvas * kCanvas);

    static void row(void* context, std::int32_t y, std::int32_t x, const float* coverage, std::int32_t count) {
        std::uint8_t* out = static_cast<std::uint8_t*>(context) + static_cast<std::size_t>(y) * kCanvas + x;
        if (coverage == nullptr) {
            std::memset(out, 255, static_cast<std::size_t>(count));
            return;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            float c = std::min(coverage[i], 1.0f);
            out[i] = c > kCoverageThreshold ? static_cast<std::uint8_t>(static_cast<int>(c * 255.0f + 0.5f)) : 0;
        }
    }

    bool fill() {
        rasterizer->clear();
        bool ok = accumulateFillEdges(*rasterizer, path, kIdentityAffine) &&
                  sweepCoverageRows(*rasterizer, {0, 0, kCanvas, kCanvas}, FillRule::winding, kCanvas, kCanvas, row,
                                    mask.data());
        benchmark::DoNotOptimize(mask.data());
        return ok;
    }
};

// cairo filling the same path into an A8 surface, flattening curves to our tolerance.
struct CairoMask {
    std::vector<PathElement> path = blobPath();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, kCanvas, kCanvas);
    cairo_t* cr = cairo_create(surface);

    CairoMask() {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
        cairo_set_tolerance(cr, kFlattenTolerance);
    }
    ~CairoMask() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    CairoMask(const CairoMask&) = delete;
    CairoMask& operator=(const CairoMask&) = delete;

    void fill() {
        cairo_new_path(cr);
        cairoPath(cr, path);
        cairo_fill(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
};

void BM_FillPathMask_Kelvo(benchmark::State& state) {
    KelvoMask kelvo;
    for (auto _ : state) {
        if (!kelvo.fill()) state.SkipWithError("fill");
    }
}
BENCHMARK(BM_FillPathMask_Kelvo)->Unit(benchmark::kMicrosecond);

void BM_FillPathMask_Cairo(benchmark::State& state) {
    CairoMask cairo;
    for (auto _ : state) cairo.fill();
}
BENCHMARK(BM_FillPathMask_Cairo)->Unit(benchmark::kMicrosecond);

// The like-for-like pair in one loop: each iteration fills the mask 8 times with each, alternating
// which goes first, so that both see the same machine load. Reports the time of one fill for each,
// from the fastest block (what the code costs when nothing else runs) and from the median block,
// and the ratios.
void BM_FillPathMask_SideBySide(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    constexpr int kBlock = 8;
    KelvoMask kelvo;
    CairoMask cairo;
    std::vector<double> kelvo_times;
    std::vector<double> cairo_times;
    bool kelvo_first = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            bool run_kelvo = (turn == 0) == kelvo_first;
            auto start = Clock::now();
            for (int i = 0; i < kBlock; ++i) {
                if (!run_kelvo) {
                    cairo.fill();
                } else if (!kelvo.fill()) {
                    state.SkipWithError("fill");
                }
            }
            double seconds = std::chrono::duration<double>(Clock::now() - start).count() / kBlock;
            (run_kelvo ? kelvo_times : cairo_times).push_back(seconds);
        }
        kelvo_first = !kelvo_first;
    }
    if (kelvo_times.empty()) return;
    std::sort(kelvo_times.begin(), kelvo_times.end());
    std::sort(cairo_times.begin(), cairo_times.end());
    double kelvo_median = kelvo_times[kelvo_times.size() / 2];
    double cairo_median = cairo_times[cairo_times.size() / 2];
    state.counters["kelvo_us"] = kelvo_times.front() * 1e6;
    state.counters["cairo_us"] = cairo_times.front() * 1e6;
    state.counters["ratio"] = kelvo_times.front() / cairo_times.front();
    state.counters["ratio_median"] = kelvo_median / cairo_median;
}
BENCHMARK(BM_FillPathMask_SideBySide)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// A line of 80 glyphs at 14 px, each looked up, outlined and filled on its own.
constexpr std::string_view kLine = "The quick brown fox jumps over the lazy dog; Pack my box with five dozen jugs!";
constexpr float kGlyphSize = 14;

struct GlyphRun {
    std::vector<std::uint32_t> code_points;
    GlyphRun() {
        for (char c : kLine) code_points.push_back(static_cast<std::uint8_t>(c));
        while (code_points.size() < 80) code_points.push_back('x');
    }
};

void BM_GlyphLine_Kelvo(benchmark::State& state) {
    const Face& face = geistRegularFace();
    GlyphRun run;
    auto rasterizer = std::make_unique<Rasterizer>();
    auto path = std::make_unique<GlyphPathBuilder>();
    RgbaTarget target(kCanvas, 32);
    for (auto _ : state) {
        float pen = 4;
        for (std::uint32_t c : run.code_points) {
            std::uint16_t glyph = glyphIndex(face, c);
            float advance = glyphAdvance(face, glyph) * kGlyphSize / face.units_per_em;
            path->clear();
            if (glyphOutlineInner(face, glyph, glyphTransform(face, kGlyphSize, {pen, 20}), path->sink(), 0) &&
                path->count() > 0) {
                rasterizer->clear();
                (void)accumulateFillEdges(*rasterizer, path->path(), kIdentityAffine);
                (void)sweepCoverageRows(*rasterizer, {0, 0, kCanvas, 32}, FillRule::winding, kCanvas, 32,
                                        RgbaTarget::row, &target);
            }
            pen += advance;
        }
        benchmark::DoNotOptimize(target.pixels.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 80);
}
BENCHMARK(BM_GlyphLine_Kelvo)->Unit(benchmark::kMicrosecond);

// cairo fills the same outlines (taken from our reader once), one fill per glyph.
void BM_GlyphLine_Cairo(benchmark::State& state) {
    const Face& face = geistRegularFace();
    GlyphRun run;
    std::vector<std::vector<PathElement>> outlines;
    auto path = std::make_unique<GlyphPathBuilder>();
    float pen = 4;
    for (std::uint32_t c : run.code_points) {
        std::uint16_t glyph = glyphIndex(face, c);
        path->clear();
        (void)glyphOutlineInner(face, glyph, glyphTransform(face, kGlyphSize, {pen, 20}), path->sink(), 0);
        outlines.emplace_back(path->path().begin(), path->path().end());
        pen += glyphAdvance(face, glyph) * kGlyphSize / face.units_per_em;
    }
    cairo_t* cr = cairoRgbaCanvas(32);
    cairo_surface_t* surface = cairo_get_target(cr);
    for (auto _ : state) {
        for (const auto& outline : outlines) {
            if (outline.empty()) continue;
            cairo_new_path(cr);
            cairoPath(cr, outline);
            cairo_fill(cr);
        }
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 80);
    releaseCairoCanvas(cr);
}
BENCHMARK(BM_GlyphLine_Cairo)->Unit(benchmark::kMicrosecond);

std::vector<std::uint8_t> screenshotPixels() {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kCanvas) * kCanvas * 4);
    std::mt19937 random(5);
    for (auto& b : pixels) b = static_cast<std::uint8_t>(random());
    return pixels;
}

void BM_WritePng_Kelvo(benchmark::State& state) {
    auto pixels = screenshotPixels();
    std::vector<std::uint8_t> out(*pngFileSize(kCanvas, kCanvas));
    for (auto _ : state) {
        auto written = encodePngInto(kCanvas, kCanvas, pixels, out);
        if (!written) state.SkipWithError("encode");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pixels.size()));
}
BENCHMARK(BM_WritePng_Kelvo)->Unit(benchmark::kMicrosecond);

void BM_WritePng_Libpng(benchmark::State& state) {
    auto pixels = screenshotPixels();
    struct Sink {
        std::vector<std::uint8_t> bytes;
        std::size_t length = 0;
    } sink;
    sink.bytes.resize(pixels.size() * 2);
    std::vector<png_bytep> rows(kCanvas);
    for (int y = 0; y < kCanvas; ++y) rows[y] = pixels.data() + static_cast<std::size_t>(y) * kCanvas * 4;
    for (auto _ : state) {
        sink.length = 0;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(
            png, &sink,
            [](png_structp p, png_bytep data, png_size_t length) {
                auto* s = static_cast<Sink*>(png_get_io_ptr(p));
                std::memcpy(s->bytes.data() + s->length, data, length);
                s->length += length;
            },
            nullptr);
        png_set_compression_level(png, 0);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_IHDR(png, info, kCanvas, kCanvas, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_rows(png, info, rows.data());
        png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
        png_destroy_write_struct(&png, &info);
        benchmark::DoNotOptimize(sink.bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pixels.size()));
}
BENCHMARK(BM_WritePng_Libpng)->Unit(benchmark::kMicrosecond);

// The memory-bandwidth floor for the PNG case: one copy of the pixels.
void BM_CopyPixels(benchmark::State& state) {
    auto pixels = screenshotPixels();
    std::vector<std::uint8_t> out(pixels.size());
    for (auto _ : state) {
        std::memcpy(out.data(), pixels.data(), pixels.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pixels.size()));
}
BENCHMARK(BM_CopyPixels)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvo

BENCHMARK_MAIN();
