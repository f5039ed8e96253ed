#include "platform/macos/canvas/packet_raster.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/macos/canvas/packet_raster_body.hpp"
#include "platform/macos/canvas/raster_cache.hpp"
#include "platform/standin/gpu/gpu_device.hpp"

namespace kelvo {

namespace {

// Durations come from a clock that never steps back.
std::uint64_t monotonicNs() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

constexpr std::uint64_t kSlowCommandNs = 300'001;
constexpr unsigned kPrefillMaxThreads = 8;

std::array<std::uint8_t, 4> premultipliedBytes(const PacketColor& colour) {
    std::array<float, 4> p = packetPremultipliedColour(colour, 1);
    std::array<std::uint8_t, 4> out{};
    for (std::size_t c = 0; c < 4; ++c) out[c] = static_cast<std::uint8_t>(std::lround(p[c] * 255.0f));
    return out;
}

// Source-over of an entry's pixels at its place on the canvas, pixel for pixel, inside the clips.
void drawCacheEntry(const Canvas2d& canvas, const RasterCacheEntry& entry) {
    auto x0 = static_cast<std::int64_t>(entry.pixel_x) - canvas.origin_x;
    auto y0 = static_cast<std::int64_t>(entry.pixel_y) - canvas.origin_y;
    auto w = static_cast<std::int64_t>(entry.pixel_width);
    auto h = static_cast<std::int64_t>(entry.pixel_height);
    std::int64_t left = std::max<std::int64_t>(x0, canvas.clip.x0),
                 right = std::min<std::int64_t>(x0 + w, canvas.clip.x1);
    std::int64_t top = std::max<std::int64_t>(y0, canvas.clip.y0),
                 bottom = std::min<std::int64_t>(y0 + h, canvas.clip.y1);
    for (std::int64_t y = top; y < bottom; ++y) {
        for (std::int64_t x = left; x < right; ++x) {
            auto px = static_cast<std::int32_t>(x), py = static_cast<std::int32_t>(y);
            if (!canvasPixelVisible(canvas, px, py)) continue;
            const std::uint8_t* s = entry.pixels.data() + ((y - y0) * w + (x - x0)) * 4;
            if (s[3] == 0 && s[0] == 0 && s[1] == 0 && s[2] == 0) continue;
            std::uint8_t* d = canvas.target.data + (static_cast<std::size_t>(py) * canvas.target.width + px) * 4;
            for (int c = 0; c < 4; ++c) d[c] = gpu::blendChannel(s[c], d[c], s[3]);
        }
    }
}

struct FrameState {
    const PacketFrameDraw* frame;
    PacketDrawEnvironment* environment;
    std::uint32_t width;
    std::uint32_t height;
};

void traceCommand(const FrameState& state, const PacketCommand& command, bool fill, bool has_key, bool cacheable,
                  std::uint64_t elapsed) {
    const PacketDrawEnvironment& env = *state.environment;
    if (!env.draw_trace_kinds || elapsed < kSlowCommandNs || env.trace_out == nullptr) return;
    std::string kind(packetCommandKindName(command.kind));
    const PacketRect& b = command.bounds;
    if (fill) {
        std::fprintf(env.trace_out, "kelvo: gpu cmd-trace mode=fill kind=%s us=%llu bounds=%.0f,%.0f %.0fx%.0f\n",
                     kind.c_str(), static_cast<unsigned long long>(elapsed / 1000), b.x, b.y, b.width, b.height);
    } else {
        std::fprintf(env.trace_out,
                     "kelvo: gpu cmd-trace mode=direct kind=%s us=%llu key=%d transform=%d clip=%d cacheable=%d "
                     "bounds=%.0f,%.0f %.0fx%.0f\n",
                     kind.c_str(), static_cast<unsigned long long>(elapsed / 1000), has_key ? 1 : 0,
                     command.transform ? 1 : 0, command.clip ? 1 : 0, cacheable ? 1 : 0, b.x, b.y, b.width, b.height);
    }
}

// One command of a frame, through the raster cache when it qualifies.
bool drawFrameCommand(const FrameState& state, const Canvas2d& canvas, const PacketCommandRef& ref,
                      std::optional<std::uint64_t> key) {
    if (!ref) return false;
    const PacketCommand& command = *ref;
    const PacketFrameDraw& frame = *state.frame;
    PacketDrawEnvironment& env = *state.environment;
    if (frame.has_scissor && !packetRectsIntersect(command.bounds, frame.scissor)) return true;
    PacketTraceCounters& counters = *env.counters;
    ++counters.drawn;
    std::uint64_t start = env.draw_trace ? monotonicNs() : 0;
    RasterCache* cache = env.cache;
    bool cacheable = packetCommandRasterCacheable(command);
    if (key && cache != nullptr && cache->exists && cacheable) {
        RasterCacheEntry* entry = rasterCacheFind(*cache, *key, &command);
        bool fill = entry == nullptr;
        if (fill) {
            ++counters.cache_fills;
            rasterCacheRemove(*cache, *key);
            entry = rasterCacheFill(*cache, ref, *key, frame.scale, state.width, state.height, env.images);
        } else {
            ++counters.cache_hits;
        }
        if (entry != nullptr) {
            entry->last_use_tick = ++cache->tick;
            drawCacheEntry(canvas, *entry);
            if (env.draw_trace) {
                std::uint64_t elapsed = monotonicNs() - start;
                (fill ? counters.cache_fill_ns : counters.cache_hit_ns) += elapsed;
                if (fill) traceCommand(state, command, true, true, cacheable, elapsed);
            }
            return true;
        }
    }
    ++counters.direct;
    std::optional<PacketRect> clip;
    if (frame.has_scissor) clip = frame.scissor;
    bool drawn = drawPacketCommandOnCanvas(canvas, command, clip, frame.scale, env.images);
    if (env.draw_trace) {
        std::uint64_t elapsed = monotonicNs() - start;
        counters.direct_ns += elapsed;
        traceCommand(state, command, false, key.has_value(), cacheable, elapsed);
    }
    return drawn;
}

bool touchesDirty(const PacketRect& bounds, std::span<const PacketRect> dirty) {
    return std::any_of(dirty.begin(), dirty.end(),
                       [&](const PacketRect& rect) { return packetRectsIntersect(bounds, rect); });
}

// Builds the cache entries of the frame's cacheable misses on worker threads, then stores them in
// index order on this thread.
void prefillRasterCache(const FrameState& state, std::span<const PacketRect> dirty) {
    const PacketFrameDraw& frame = *state.frame;
    PacketDrawEnvironment& env = *state.environment;
    RasterCache& cache = *env.cache;
    std::uint64_t start = monotonicNs();
    std::vector<std::size_t> taken;
    for (std::size_t i = 0; i < frame.commands.size() && i < frame.keys.size(); ++i) {
        const PacketCommandRef& ref = frame.commands[i];
        if (!ref) continue;
        if (frame.has_scissor && !packetRectsIntersect(ref->bounds, frame.scissor)) continue;
        if (!dirty.empty() && !touchesDirty(ref->bounds, dirty)) continue;
        if (!packetCommandRasterCacheable(*ref)) continue;
        if (rasterCacheFind(cache, frame.keys[i], ref.get()) != nullptr) continue;
        taken.push_back(i);
    }
    if (taken.size() > 1) {
        std::vector<std::unique_ptr<RasterCacheEntry>> results(taken.size());
        std::atomic<std::size_t> next{0};
        auto work = [&] {
            for (std::size_t slot = next.fetch_add(1); slot < taken.size(); slot = next.fetch_add(1)) {
                results[slot] = rasterCacheBuildEntry(frame.commands[taken[slot]], frame.scale, state.width,
                                                      state.height, env.images);
            }
        };
        unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kPrefillMaxThreads);
        threads = static_cast<unsigned>(std::min<std::size_t>(threads, taken.size()));
        std::vector<std::thread> pool;
        pool.reserve(threads - 1);
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
        for (std::thread& thread : pool) thread.join();
        for (std::size_t slot = 0; slot < taken.size(); ++slot) {
            if (!results[slot]) continue;
            rasterCacheStore(cache, frame.keys[taken[slot]], std::move(results[slot]));
            ++env.counters->cache_fills;
        }
    }
    env.counters->cache_fill_ns += monotonicNs() - start;
}

}  // namespace

int drawPacketCommands(const PacketFrameDraw& frame, PacketPixels target, PacketDrawEnvironment& environment) {
    if (target.data == nullptr || target.width == 0 || target.height == 0 || environment.counters == nullptr) return -1;
    bool dirty_counts = frame.has_scissor && !frame.full_surface_pass && !frame.dirty_rects.empty();
    std::span<const PacketRect> dirty = dirty_counts ? frame.dirty_rects : std::span<const PacketRect>{};
    *environment.counters = PacketTraceCounters{};
    FrameState state{&frame, &environment, target.width, target.height};
    if (!frame.keys.empty() && environment.cache != nullptr && environment.cache->exists) {
        prefillRasterCache(state, dirty);
    }
    double scale = frame.scale > 0 && std::isfinite(frame.scale) ? frame.scale : 1;
    Canvas2d canvas = makeCanvas2d(target, scale, 0, 0);
    std::array<std::uint8_t, 4> clear = premultipliedBytes(frame.clear_color);
    if (frame.full_surface_pass) {
        for (std::size_t i = 0; i < std::size_t{target.width} * target.height; ++i) {
            std::memcpy(target.data + i * 4, clear.data(), 4);
        }
    } else if (frame.has_scissor) {
        if (dirty.empty()) {
            canvasCopyRect(canvas, frame.scissor, clear);
        } else {
            for (const PacketRect& rect : dirty) canvasCopyRect(canvas, rect, clear);
        }
    }
    if (frame.has_scissor) {
        canvasClipToRect(canvas, frame.scissor);
        if (!dirty.empty()) canvasClipToUnion(canvas, dirty);
    }
    for (std::size_t i = 0; i < frame.commands.size(); ++i) {
        const PacketCommandRef& ref = frame.commands[i];
        std::optional<std::uint64_t> key;
        if (i < frame.keys.size()) key = frame.keys[i];
        if (ref && !dirty.empty() && !touchesDirty(ref->bounds, dirty)) continue;
        if (!drawFrameCommand(state, canvas, ref, key)) return 0;
    }
    return 1;
}

bool drawPacketCommandInto(const PacketCommand& command, PacketPixels target, double scale, std::int64_t origin_x,
                           std::int64_t origin_y, const PacketImageSource* images) {
    if (target.data == nullptr || target.width == 0 || target.height == 0) return false;
    double s = scale > 0 && std::isfinite(scale) ? scale : 1;
    return drawPacketCommandOnCanvas(makeCanvas2d(target, s, origin_x, origin_y), command, std::nullopt, s, images);
}

void verifyIncrementalBacking(PacketVerifyState& state, std::span<const std::uint8_t> packet_pixels,
                              const PacketFrameDraw& frame, std::uint32_t pixel_width, std::uint32_t pixel_height,
                              std::string_view surface_label, PacketDrawEnvironment& environment) {
    std::size_t length = std::size_t{pixel_width} * pixel_height * 4;
    if (length == 0 || packet_pixels.size() != length || environment.counters == nullptr) return;
    if (state.pixels.size() != length) state.pixels.assign(length, 0);
    PacketFrameDraw full = frame;
    full.full_surface_pass = true;
    full.has_scissor = false;
    full.dirty_rects = {};
    // The frame's own counters are what the draw-trace line reports; the redraw must not replace them.
    PacketTraceCounters kept = *environment.counters;
    int result = drawPacketCommands(full, PacketPixels{state.pixels.data(), pixel_width, pixel_height}, environment);
    *environment.counters = kept;
    if (result != 1) return;
    ++state.check_count;
    auto difference = std::mismatch(state.pixels.begin(), state.pixels.end(), packet_pixels.begin());
    std::string label(surface_label);
    std::FILE* out = environment.trace_out;
    if (difference.first != state.pixels.end()) {
        ++state.mismatch_count;
        auto pixel = static_cast<unsigned long>((difference.first - state.pixels.begin()) / 4);
        if (out != nullptr) {
            std::fprintf(out,
                         "kelvo: gpu incremental verify MISMATCH view=%s check=%llu pixel=(%lu,%lu) "
                         "scissor=(%.2f,%.2f %.2fx%.2f)\n",
                         label.c_str(), static_cast<unsigned long long>(state.check_count), pixel % pixel_width,
                         pixel / pixel_width, frame.scissor.x, frame.scissor.y, frame.scissor.width,
                         frame.scissor.height);
        }
    }
    if (out != nullptr && (state.check_count == 1 || state.check_count % 30 == 0 || state.mismatch_count != 0)) {
        std::fprintf(out, "kelvo: gpu incremental verify view=%s checks=%llu mismatches=%llu\n", label.c_str(),
                     static_cast<unsigned long long>(state.check_count),
                     static_cast<unsigned long long>(state.mismatch_count));
    }
}

}  // namespace kelvo
