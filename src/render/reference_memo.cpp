#include "render/reference_memo.hpp"

#include <bit>
#include <cstring>
#include <new>

namespace kelvo {

namespace {

std::unique_ptr<std::uint8_t[]> allocateBytes(std::uint64_t bytes) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]);
}

std::uint64_t rectBytes(const PixelRect& rect) { return rect.area() * 4; }

void feedU64(Wyhash& hash, std::uint64_t value) { hash.updateU64(value); }

}  // namespace

void referenceMemoHashValue(Wyhash& hash, float value) {
    std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                   static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    hash.update(bytes);
}

void referenceMemoHashValue(Wyhash& hash, const Color& colour) {
    for (float channel : {colour.r, colour.g, colour.b, colour.a}) referenceMemoHashValue(hash, channel);
}

void referenceMemoHashValue(Wyhash& hash, const Paint& paint) {
    const std::uint8_t kind = paint.kind == PaintKind::solid ? 0 : 1;
    hash.update(std::span<const std::uint8_t>(&kind, 1));
    if (kind == 0) {
        referenceMemoHashValue(hash, paint.color);
        return;
    }
    const LinearGradient& gradient = paint.gradient;
    for (float v : {gradient.start.x, gradient.start.y, gradient.end.x, gradient.end.y})
        referenceMemoHashValue(hash, v);
    feedU64(hash, gradient.stops.size());
    for (const GradientStop& stop : gradient.stops) {
        referenceMemoHashValue(hash, stop.offset);
        referenceMemoHashValue(hash, stop.color);
    }
}

std::uint64_t referenceBackgroundKey(std::span<const std::uint8_t> pixels, std::uint64_t width, std::uint64_t first_row,
                                     std::uint64_t end_row) {
    std::uint64_t stride = width * 4;
    return wyhash(pixels.subspan(first_row * stride, (end_row - first_row) * stride), kReferenceBackgroundSeed);
}

const ReferenceMemoEntry* findMemoEntry(ReferenceRenderMemo& memo, std::uint64_t surface_width,
                                        std::uint64_t surface_height, const PixelRect& rect, std::uint64_t command_key,
                                        std::uint64_t background_key) {
    for (ReferenceMemoEntry& entry : memo.entries) {
        if (entry.occupied && entry.surface_width == surface_width && entry.surface_height == surface_height &&
            entry.rect == rect && entry.command_key == command_key && entry.background_key == background_key) {
            entry.tick = ++memo.tick;
            ++memo.hits;
            return &entry;
        }
    }
    ++memo.misses;
    return nullptr;
}

void storeMemoEntry(ReferenceRenderMemo& memo, std::span<const std::uint8_t> surface_pixels,
                    std::uint64_t surface_width, std::uint64_t surface_height, const PixelRect& rect,
                    std::uint64_t command_key, std::uint64_t background_key) {
    ReferenceMemoEntry* target = nullptr;
    for (ReferenceMemoEntry& entry : memo.entries) {
        if (!entry.occupied) {
            target = &entry;
            break;
        }
        if (target == nullptr || entry.tick < target->tick) target = &entry;
    }
    std::uint64_t bytes = rectBytes(rect);
    if (!target->occupied || rectBytes(target->rect) != bytes || !target->pixels) {
        target->pixels.reset();
        target->pixels = allocateBytes(bytes);
    }
    target->occupied = false;
    if (!target->pixels) return;
    std::uint64_t stride = surface_width * 4;
    std::uint64_t row_bytes = static_cast<std::uint64_t>(rect.width) * 4;
    for (std::int64_t row = 0; row < rect.height; ++row) {
        const std::uint8_t* from = surface_pixels.data() + (static_cast<std::uint64_t>(rect.y + row)) * stride +
                                   static_cast<std::uint64_t>(rect.x) * 4;
        std::memcpy(target->pixels.get() + static_cast<std::uint64_t>(row) * row_bytes, from, row_bytes);
    }
    target->surface_width = surface_width;
    target->surface_height = surface_height;
    target->rect = rect;
    target->command_key = command_key;
    target->background_key = background_key;
    target->tick = ++memo.tick;
    target->occupied = true;
}

std::optional<std::size_t> oldestImageScaleEntry(const ReferenceRenderMemo& memo) {
    std::optional<std::size_t> oldest;
    for (std::size_t i = 0; i < memo.image_scales.size(); ++i) {
        const ImageScaleEntry& entry = memo.image_scales[i];
        if (entry.occupied && (!oldest || entry.tick < memo.image_scales[*oldest].tick)) oldest = i;
    }
    return oldest;
}

const std::uint8_t* findImageScale(ReferenceRenderMemo& memo, const ImageScaleKey& key) {
    for (ImageScaleEntry& entry : memo.image_scales) {
        if (entry.occupied && entry.key == key) {
            entry.tick = ++memo.tick;
            return entry.pixels.get();
        }
    }
    return nullptr;
}

namespace {

void freeImageScale(ReferenceRenderMemo& memo, ImageScaleEntry& entry) {
    memo.image_scale_bytes -= entry.bytes;
    entry.pixels.reset();
    entry.bytes = 0;
    entry.occupied = false;
}

}  // namespace

const std::uint8_t* storeImageScale(ReferenceRenderMemo& memo, const ImageScaleKey& key,
                                    std::span<const std::uint8_t> pixels) {
    std::uint64_t bytes = pixels.size();
    if (bytes < 4 || bytes / 4 > kImageScaleMaxPixels) return nullptr;
    while (memo.image_scale_bytes + bytes > kImageScaleMaxBytes) {
        std::optional<std::size_t> oldest = oldestImageScaleEntry(memo);
        if (!oldest) return nullptr;
        freeImageScale(memo, memo.image_scales[*oldest]);
    }
    ImageScaleEntry* target = nullptr;
    for (ImageScaleEntry& entry : memo.image_scales) {
        if (!entry.occupied) {
            target = &entry;
            break;
        }
    }
    if (target == nullptr) {
        target = &memo.image_scales[*oldestImageScaleEntry(memo)];
        freeImageScale(memo, *target);
    }
    target->pixels = allocateBytes(bytes);
    if (!target->pixels) return nullptr;
    std::memcpy(target->pixels.get(), pixels.data(), bytes);
    target->key = key;
    target->bytes = bytes;
    target->tick = ++memo.tick;
    target->occupied = true;
    memo.image_scale_bytes += bytes;
    return target->pixels.get();
}

}  // namespace kelvo
