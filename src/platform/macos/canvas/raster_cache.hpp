#pragma once

// The raster cache of a canvas view: keyed packet commands drawn alone at the current scale into
// pixel-aligned images one pixel larger than their bounds on every side, reused while the very same
// command object is drawn again under its key. Bounded per entry (4 MiB) and in total (64 MiB),
// evicting the least recently used entry by tick.

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/macos/canvas/packet_raster.hpp"

namespace kelvo {

inline constexpr std::uint64_t kRasterCacheEntryMaxBytes = std::uint64_t{4} << 20;
inline constexpr std::uint64_t kRasterCacheMaxBytes = std::uint64_t{64} << 20;

struct RasterCacheEntry {
    PacketCommandRef command;          // the very command the entry was drawn from
    std::vector<std::uint8_t> pixels;  // premultiplied RGBA8, pixel_width × pixel_height
    PacketRect destination;            // in points: the pixel rect divided by the scale
    std::uint64_t byte_count = 0;      // pixel_width × 4 × pixel_height
    std::uint64_t last_use_tick = 0;
    std::uint64_t pixel_x = 0;
    std::uint64_t pixel_y = 0;
    std::uint64_t pixel_width = 0;
    std::uint64_t pixel_height = 0;
    std::shared_ptr<void> texture;  // the compositor's texture of the same pixels, when it made one
};

struct RasterCache {
    bool exists = false;  // made by the first rasterCacheEnsure
    std::unordered_map<std::uint64_t, std::unique_ptr<RasterCacheEntry>> entries;
    std::uint64_t bytes = 0;
    std::uint64_t tick = 0;
    double scale = 0;
    std::uint64_t pixel_width = 0;
    std::uint64_t pixel_height = 0;
};

// Whether a command may be cached: no transform, no malformed clip, and a drawing kind (fills,
// strokes, lines, paths, text, images, shadows; never a blur).
bool packetCommandRasterCacheable(const PacketCommand& command);

// Called before every packet drawing: wipes the cache when the scale (compared exactly) or the
// canvas pixel size changed, and makes it when there is none. True when it wiped (the compositor
// empties its scratch textures with it).
bool rasterCacheEnsure(RasterCache& cache, double scale, std::uint64_t pixel_width, std::uint64_t pixel_height);

// Draws an entry for `command`; null when its bounds are empty or clipped away, it is too large, or
// its drawing fails. Touches nothing shared: safe on worker threads.
std::unique_ptr<RasterCacheEntry> rasterCacheBuildEntry(const PacketCommandRef& command, double scale,
                                                        std::uint64_t pixel_width, std::uint64_t pixel_height,
                                                        const PacketImageSource* images);

// Stores `entry` under `key`, first removing the key's old entry and then the least recently used
// entries until the total fits. Returns the stored entry.
RasterCacheEntry* rasterCacheStore(RasterCache& cache, std::uint64_t key, std::unique_ptr<RasterCacheEntry> entry);

// Build and store; null when nothing was built.
RasterCacheEntry* rasterCacheFill(RasterCache& cache, const PacketCommandRef& command, std::uint64_t key, double scale,
                                  std::uint64_t pixel_width, std::uint64_t pixel_height,
                                  const PacketImageSource* images);

void rasterCacheRemove(RasterCache& cache, std::uint64_t key);
void rasterCacheWipe(RasterCache& cache);
// After an image upload or evict: drops every "draw_image" entry, nothing else.
void rasterCacheRemoveImageDraws(RasterCache& cache);

// The entry for `key` when it was drawn from this very command object (a hit), else null.
RasterCacheEntry* rasterCacheFind(RasterCache& cache, std::uint64_t key, const PacketCommand* command);

}  // namespace kelvo
