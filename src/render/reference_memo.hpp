#pragma once

// The reference renderer's memo: results of costly commands kept with the key of the command and
// of the pixels it was drawn over, so that an identical command over identical pixels becomes a
// copy; and scaled copies of images kept within 48 MiB. A memo is optional: a surface without one
// draws every command.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "base/wyhash.hpp"
#include "raster/canvas_geometry.hpp"
#include "render/reference_geometry.hpp"

namespace kelvo {

inline constexpr std::size_t kReferenceMemoEntries = 16;
inline constexpr std::size_t kImageScaleEntries = 12;
inline constexpr std::uint64_t kImageScaleMaxPixels = 2097152;
inline constexpr std::uint64_t kImageScaleMaxBytes = 50331648;  // 48 MiB
inline constexpr std::uint64_t kReferenceBackgroundSeed = 0x5c7211b8;

struct ReferenceMemoEntry {
    std::uint64_t surface_width = 0;
    std::uint64_t surface_height = 0;
    PixelRect rect;
    std::uint64_t command_key = 0;
    std::uint64_t background_key = 0;
    std::unique_ptr<std::uint8_t[]> pixels;  // rect.width x rect.height x 4 bytes
    std::uint64_t tick = 0;
    bool occupied = false;
};

using ImageScaleKey = std::array<std::uint64_t, 8>;

struct ImageScaleEntry {
    ImageScaleKey key{};
    std::unique_ptr<std::uint8_t[]> pixels;
    std::uint64_t bytes = 0;
    std::uint64_t tick = 0;
    bool occupied = false;
};

struct ReferenceRenderMemo {
    std::array<ReferenceMemoEntry, kReferenceMemoEntries> entries;
    std::uint64_t tick = 0;
    std::uint64_t minimum_area = 0;  // pixel areas smaller than this are not memoised
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
    std::array<ImageScaleEntry, kImageScaleEntries> image_scales;
    std::uint64_t image_scale_bytes = 0;
};

// Feeds a value to a memo key: floats as their four bytes, a paint as a 0 byte and its colour or a
// 1 byte, start, end, the stop count (8 bytes) and each stop's offset and colour.
void referenceMemoHashValue(Wyhash& hash, float value);
void referenceMemoHashValue(Wyhash& hash, const Color& colour);
void referenceMemoHashValue(Wyhash& hash, const Paint& paint);

// The key of the surface rows first_row .. end_row - 1 at full width.
std::uint64_t referenceBackgroundKey(std::span<const std::uint8_t> pixels, std::uint64_t width, std::uint64_t first_row,
                                     std::uint64_t end_row);

// The entry drawn with the same command over the same pixels of a surface of this size, counted
// as a hit (it takes the next tick), or none, counted as a miss.
const ReferenceMemoEntry* findMemoEntry(ReferenceRenderMemo& memo, std::uint64_t surface_width,
                                        std::uint64_t surface_height, const PixelRect& rect, std::uint64_t command_key,
                                        std::uint64_t background_key);

// Keeps a copy of the rectangle's pixels in the first free entry, else in the one with the smallest
// tick (the earliest on ties). A failed allocation leaves the entry free and keeps nothing.
void storeMemoEntry(ReferenceRenderMemo& memo, std::span<const std::uint8_t> surface_pixels,
                    std::uint64_t surface_width, std::uint64_t surface_height, const PixelRect& rect,
                    std::uint64_t command_key, std::uint64_t background_key);

// The occupied image-scale entry with the smallest tick, the earliest on ties.
std::optional<std::size_t> oldestImageScaleEntry(const ReferenceRenderMemo& memo);

// The scaled pixels kept under `key` (the entry takes the next tick), or null.
const std::uint8_t* findImageScale(ReferenceRenderMemo& memo, const ImageScaleKey& key);

// Keeps a scaled copy of 1 to 2,097,152 pixels, freeing the oldest entries while the total would
// pass 48 MiB; the kept copy, or null when it is not kept.
const std::uint8_t* storeImageScale(ReferenceRenderMemo& memo, const ImageScaleKey& key,
                                    std::span<const std::uint8_t> pixels);

}  // namespace kelvo
