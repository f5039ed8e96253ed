// The raster cache: entry rectangles, what may be cached, the per-entry and total limits, the
// least recently used eviction, wiping, and the parallel pre-fill.

#include <gtest/gtest.h>

#include <sstream>

#include "canvas_fixture.hpp"
#include "platform/macos/canvas/raster_cache.hpp"

namespace kelvo::testing {
namespace {

PacketCommandRef rectCommand(PacketRect bounds, std::optional<PacketRect> clip = std::nullopt, std::uint8_t kind = 0) {
    PacketCommand command;
    command.kind = kind;
    command.bounds = bounds;
    command.opacity = 1;
    command.clip = clip;
    command.shape = PacketShape{PacketShapeKind::rect, bounds, {}, 0, {}, {}, {}};
    command.paint = PacketPaint{PacketPaintKind::color, PacketColor{0.2, 0.4, 0.8, 1}, {}, {}, {}};
    return std::make_shared<const PacketCommand>(command);
}

TEST(RasterCacheEntry, RectanglesFollowTheTable) {
    for (const auto& row : readTable("canvas/raster_cache_entries.txt")) {
        std::ostringstream name;
        for (const auto& cell : row) name << cell << ' ';
        SCOPED_TRACE(name.str());
        ASSERT_GE(row.size(), 9u);
        PacketRect bounds{std::stod(row[0]), std::stod(row[1]), std::stod(row[2]), std::stod(row[3])};
        std::size_t at = 4;
        std::optional<PacketRect> clip;
        if (row[at] == "-") {
            ++at;
        } else {
            clip =
                PacketRect{std::stod(row[at]), std::stod(row[at + 1]), std::stod(row[at + 2]), std::stod(row[at + 3])};
            at += 4;
        }
        double scale = std::stod(row[at]);
        std::uint64_t w = std::stoull(row[at + 1]), h = std::stoull(row[at + 2]);
        auto entry = rasterCacheBuildEntry(rectCommand(bounds, clip), scale, w, h, nullptr);
        if (row[at + 3] == "none") {
            EXPECT_EQ(entry, nullptr);
            continue;
        }
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(
            (std::array<std::uint64_t, 4>{entry->pixel_x, entry->pixel_y, entry->pixel_width, entry->pixel_height}),
            (std::array<std::uint64_t, 4>{std::stoull(row[at + 3]), std::stoull(row[at + 4]), std::stoull(row[at + 5]),
                                          std::stoull(row[at + 6])}));
        EXPECT_EQ(entry->byte_count, entry->pixel_width * 4 * entry->pixel_height);
        EXPECT_EQ(entry->pixels.size(), entry->byte_count);
        EXPECT_EQ(entry->last_use_tick, 0u);
    }
}

TEST(RasterCacheEntry, DestinationIsThePixelRectInPointsAndHoldsTheDrawing) {
    PacketCommandRef command = rectCommand({10, 10, 20, 20});
    auto entry = rasterCacheBuildEntry(command, 2, 100, 100, nullptr);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->destination, (PacketRect{9.5, 9.5, 21, 21}));
    EXPECT_EQ(entry->byte_count, 7056u);
    EXPECT_EQ(entry->command, command);
    // The margin stays clear; canvas pixel (20, 20) is entry pixel (1, 1).
    EXPECT_EQ(entry->pixels[3], 0);
    EXPECT_EQ(entry->pixels[(1 * 42 + 1) * 4 + 3], 255);
}

TEST(RasterCacheEntry, OnlyUntransformedDrawingKindsAreCacheable) {
    PacketCommand command = *rectCommand({0, 0, 4, 4});
    for (std::uint8_t kind = 0; kind < kPacketCommandKindCount; ++kind) {
        command.kind = kind;
        EXPECT_EQ(packetCommandRasterCacheable(command), packetCommandKindName(kind) != "blur") << int(kind);
    }
    command.kind = kPacketUnknownKind;
    EXPECT_FALSE(packetCommandRasterCacheable(command));
    command.kind = 7;  // draw_line_gradient, with a clip rect
    command.clip = PacketRect{0, 0, 2, 2};
    EXPECT_TRUE(packetCommandRasterCacheable(command));
    command.transform = PacketTransform{1, 0, 0, 1, 0, 0};
    EXPECT_FALSE(packetCommandRasterCacheable(command));
}

std::unique_ptr<RasterCacheEntry> sizedEntry(std::uint64_t bytes, std::uint64_t tick, std::uint8_t kind = 0) {
    auto entry = std::make_unique<RasterCacheEntry>();
    entry->command = rectCommand({0, 0, 1, 1}, std::nullopt, kind);
    entry->byte_count = bytes;
    entry->last_use_tick = tick;
    return entry;
}

TEST(RasterCacheLimits, TheTotalStaysWithinSixtyFourMebibytesByEvictingTheOldest) {
    RasterCache cache;
    rasterCacheEnsure(cache, 1, 10, 10);
    const std::uint64_t tick_of_key[16] = {9, 3, 14, 1, 7, 12, 5, 16, 2, 11, 8, 15, 4, 13, 6, 10};
    for (std::uint64_t key = 0; key < 16; ++key) {
        rasterCacheStore(cache, key, sizedEntry(kRasterCacheEntryMaxBytes, tick_of_key[key]));
    }
    EXPECT_EQ(cache.bytes, kRasterCacheMaxBytes);
    // Each new entry pushes out the least recently used: ticks 1, 2, 3 (keys 3, 8, 1).
    rasterCacheStore(cache, 100, sizedEntry(kRasterCacheEntryMaxBytes, 20));
    rasterCacheStore(cache, 101, sizedEntry(kRasterCacheEntryMaxBytes, 21));
    rasterCacheStore(cache, 102, sizedEntry(kRasterCacheEntryMaxBytes, 22));
    EXPECT_EQ(cache.entries.count(3) + cache.entries.count(8) + cache.entries.count(1), 0u);
    EXPECT_EQ(cache.entries.size(), 16u);
    EXPECT_EQ(cache.bytes, kRasterCacheMaxBytes);
    // Replacing a key takes its old bytes out first: nothing else leaves.
    rasterCacheStore(cache, 100, sizedEntry(1000, 23));
    EXPECT_EQ(cache.entries.size(), 16u);
    EXPECT_EQ(cache.bytes, kRasterCacheMaxBytes - kRasterCacheEntryMaxBytes + 1000);
    rasterCacheRemove(cache, 100);
    rasterCacheRemove(cache, 100);
    EXPECT_EQ(cache.bytes, kRasterCacheMaxBytes - kRasterCacheEntryMaxBytes);
}

TEST(RasterCacheLimits, ScaleSizeAndImageChangesWipeWhatTheyMust) {
    RasterCache cache;
    EXPECT_TRUE(rasterCacheEnsure(cache, 2, 100, 100));
    rasterCacheStore(cache, 1, sizedEntry(10, 1));
    rasterCacheStore(cache, 2, sizedEntry(20, 1, 10));  // draw_image
    EXPECT_FALSE(rasterCacheEnsure(cache, 2, 100, 100));
    EXPECT_EQ(cache.entries.size(), 2u);
    rasterCacheRemoveImageDraws(cache);
    EXPECT_EQ(cache.entries.size(), 1u);
    EXPECT_EQ(cache.bytes, 10u);
    EXPECT_TRUE(rasterCacheEnsure(cache, 2.0000001, 100, 100));
    EXPECT_TRUE(cache.entries.empty());
    EXPECT_EQ(cache.bytes, 0u);
    rasterCacheStore(cache, 1, sizedEntry(10, 1));
    EXPECT_TRUE(rasterCacheEnsure(cache, 2.0000001, 100, 101));
    EXPECT_TRUE(cache.entries.empty());
}

TEST(RasterCacheLimits, IdentityIsTheObjectNotItsContents) {
    RasterCache cache;
    rasterCacheEnsure(cache, 1, 20, 20);
    PacketCommandRef command = rectCommand({2, 2, 4, 4});
    ASSERT_NE(rasterCacheFill(cache, command, 5, 1, 20, 20, nullptr), nullptr);
    EXPECT_NE(rasterCacheFind(cache, 5, command.get()), nullptr);
    PacketCommandRef equal = std::make_shared<const PacketCommand>(*command);
    EXPECT_EQ(rasterCacheFind(cache, 5, equal.get()), nullptr);
    EXPECT_EQ(rasterCacheFind(cache, 6, command.get()), nullptr);
}

// Many cacheable misses in one frame are built on worker threads and stored in index order; each
// entry holds what a build on this thread makes of its command.
TEST(RasterCacheThreads, PrefillBuildsEntriesInParallel) {
    Scene scene;
    for (std::uint64_t i = 0; i < 48; ++i) {
        double x = static_cast<double>(i % 8) * 12, y = static_cast<double>(i / 8) * 12;
        PacketCommand command = *rectCommand({x, y, 10, 10});
        command.kind = 2;  // fill_rounded_rect_solid
        command.shape = PacketShape{PacketShapeKind::rounded_rect, {x, y, 10, 10}, {3, 3, 3, 3}, 0, {}, {}, {}};
        scene.commands.push_back(std::make_shared<const PacketCommand>(command));
        scene.keys.push_back(1000 + i);
    }
    RasterCache cache;
    rasterCacheEnsure(cache, 2, 192, 144);
    Buffer buffer(192, 144);
    PacketTraceCounters counters;
    PacketDrawEnvironment environment{&cache, &counters, &scene.images};
    PacketFrameDraw frame;
    frame.commands = scene.commands;
    frame.keys = scene.keys;
    frame.scale = 2;
    ASSERT_EQ(drawPacketCommands(frame, buffer.pixels(), environment), 1);
    EXPECT_EQ(counters.cache_fills, 48u);
    EXPECT_EQ(counters.cache_hits, 48u);
    ASSERT_EQ(cache.entries.size(), 48u);
    for (std::size_t i = 0; i < scene.commands.size(); ++i) {
        const RasterCacheEntry& entry = *cache.entries.at(scene.keys[i]);
        EXPECT_EQ(entry.command, scene.commands[i]);
        EXPECT_EQ(entry.last_use_tick, i + 1);  // stamped by the draws, in order
        auto alone = rasterCacheBuildEntry(scene.commands[i], 2, 192, 144, nullptr);
        EXPECT_EQ(entry.pixels, alone->pixels);
    }
}

}  // namespace
}  // namespace kelvo::testing
