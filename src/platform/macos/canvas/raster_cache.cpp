#include "platform/macos/canvas/raster_cache.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/macos/canvas/packet_raster_body.hpp"

namespace kelvo {

namespace {

// A pixel edge clamped to 0..limit in the double domain before it becomes an integer.
std::uint64_t clampedEdge(double value, std::uint64_t limit) {
    if (std::isnan(value)) return 0;
    return static_cast<std::uint64_t>(std::clamp(value, 0.0, static_cast<double>(limit)));
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

bool packetCommandRasterCacheable(const PacketCommand& command) {
    if (command.transform) return false;
    std::string_view kind = packetCommandKindName(command.kind);
    return kind == "draw_text" || kind == "shadow" || kind == "fill_path" || kind == "stroke_path" ||
           kind == "draw_image" || startsWith(kind, "fill_rect") || startsWith(kind, "fill_rounded_rect") ||
           startsWith(kind, "stroke_rect") || startsWith(kind, "draw_line");
}

bool rasterCacheEnsure(RasterCache& cache, double scale, std::uint64_t pixel_width, std::uint64_t pixel_height) {
    if (cache.exists && cache.scale == scale && cache.pixel_width == pixel_width &&
        cache.pixel_height == pixel_height) {
        return false;
    }
    rasterCacheWipe(cache);
    cache.exists = true;
    cache.scale = scale;
    cache.pixel_width = pixel_width;
    cache.pixel_height = pixel_height;
    return true;
}

std::unique_ptr<RasterCacheEntry> rasterCacheBuildEntry(const PacketCommandRef& command, double scale,
                                                        std::uint64_t pixel_width, std::uint64_t pixel_height,
                                                        const PacketImageSource* images) {
    if (!command || !(scale > 0) || !std::isfinite(scale)) return nullptr;
    PacketRect r = standardRect(command->bounds);
    if (command->clip) {
        r = intersectPacketRects(r, *command->clip);
        if (packetRectEmpty(r)) return nullptr;
    }
    double s = scale;
    std::uint64_t x0 = clampedEdge(std::floor(r.x * s) - 1, pixel_width);
    std::uint64_t y0 = clampedEdge(std::floor(r.y * s) - 1, pixel_height);
    std::uint64_t x1 = std::max(x0, clampedEdge(std::ceil((r.x + r.width) * s) + 1, pixel_width));
    std::uint64_t y1 = std::max(y0, clampedEdge(std::ceil((r.y + r.height) * s) + 1, pixel_height));
    std::uint64_t w = x1 - x0;
    std::uint64_t h = y1 - y0;
    if (w == 0 || h == 0) return nullptr;
    std::uint64_t bytes = w * 4 * h;
    if (bytes > kRasterCacheEntryMaxBytes) return nullptr;

    auto entry = std::make_unique<RasterCacheEntry>();
    entry->pixels.assign(bytes, 0);
    PacketPixels target{entry->pixels.data(), static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)};
    Canvas2d canvas = makeCanvas2d(target, s, static_cast<std::int64_t>(x0), static_cast<std::int64_t>(y0));
    std::optional<PacketRect> clip;
    if (command->clip) {
        clip = standardRect(*command->clip);
        canvasClipToRect(canvas, *clip);
    }
    if (!drawPacketCommandBody(canvas, *command, packetEffectiveOpacity(*command), s, clip, images)) return nullptr;
    entry->command = command;
    entry->destination = PacketRect{static_cast<double>(x0) / s, static_cast<double>(y0) / s,
                                    static_cast<double>(w) / s, static_cast<double>(h) / s};
    entry->byte_count = bytes;
    entry->pixel_x = x0;
    entry->pixel_y = y0;
    entry->pixel_width = w;
    entry->pixel_height = h;
    return entry;
}

RasterCacheEntry* rasterCacheStore(RasterCache& cache, std::uint64_t key, std::unique_ptr<RasterCacheEntry> entry) {
    if (!entry || !cache.exists) return nullptr;
    rasterCacheRemove(cache, key);
    while (cache.bytes + entry->byte_count > kRasterCacheMaxBytes && !cache.entries.empty()) {
        auto victim = cache.entries.begin();
        for (auto it = cache.entries.begin(); it != cache.entries.end(); ++it) {
            if (it->second->last_use_tick <= victim->second->last_use_tick) victim = it;
        }
        rasterCacheRemove(cache, victim->first);
    }
    cache.bytes += entry->byte_count;
    RasterCacheEntry* stored = entry.get();
    cache.entries[key] = std::move(entry);
    return stored;
}

RasterCacheEntry* rasterCacheFill(RasterCache& cache, const PacketCommandRef& command, std::uint64_t key, double scale,
                                  std::uint64_t pixel_width, std::uint64_t pixel_height,
                                  const PacketImageSource* images) {
    std::unique_ptr<RasterCacheEntry> entry = rasterCacheBuildEntry(command, scale, pixel_width, pixel_height, images);
    if (!entry) return nullptr;
    return rasterCacheStore(cache, key, std::move(entry));
}

void rasterCacheRemove(RasterCache& cache, std::uint64_t key) {
    auto it = cache.entries.find(key);
    if (it == cache.entries.end()) return;
    cache.bytes -= std::min(it->second->byte_count, cache.bytes);
    cache.entries.erase(it);
}

void rasterCacheWipe(RasterCache& cache) {
    cache.entries.clear();
    cache.bytes = 0;
}

void rasterCacheRemoveImageDraws(RasterCache& cache) {
    for (auto it = cache.entries.begin(); it != cache.entries.end();) {
        if (packetCommandKindName(it->second->command->kind) == "draw_image") {
            cache.bytes -= std::min(it->second->byte_count, cache.bytes);
            it = cache.entries.erase(it);
        } else {
            ++it;
        }
    }
}

RasterCacheEntry* rasterCacheFind(RasterCache& cache, std::uint64_t key, const PacketCommand* command) {
    auto it = cache.entries.find(key);
    if (it == cache.entries.end() || it->second->command.get() != command) return nullptr;
    return it->second.get();
}

}  // namespace kelvo
