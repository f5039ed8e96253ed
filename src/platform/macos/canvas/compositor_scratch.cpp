#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/macos/canvas/compositor_private.hpp"
#include "platform/macos/canvas/packet_images.hpp"

namespace kelvo::composite {

namespace {

constexpr std::uint32_t kScratchSideStep = 64;

std::uint32_t clampEdge(double value, std::uint32_t side) {
    if (!(value > 0.0)) return 0;
    return value >= side ? side : static_cast<std::uint32_t>(value);
}

std::uint32_t roundUpSide(std::uint32_t side) {
    std::uint32_t rounded = (side + kScratchSideStep - 1) / kScratchSideStep * kScratchSideStep;
    return std::min(rounded, gpu::kGpuMaxTextureSide);
}

std::uint64_t textureBytes(const gpu::GpuTexture& texture) { return std::uint64_t{texture.width} * texture.height * 4; }

// The CPU buffer a scratch command is drawn into; reused by every scratch drawing of the thread.
std::vector<std::uint8_t>& scratchPixels() {
    thread_local std::vector<std::uint8_t> pixels;
    return pixels;
}

void storeInPool(CanvasPresenterState& state, std::uint64_t key, const gpu::GpuTextureRef& texture) {
    std::uint64_t bytes = textureBytes(*texture);
    if (auto old = state.scratchPool.find(key); old != state.scratchPool.end()) {
        state.scratchPoolBytes -= textureBytes(*old->second);
        state.scratchPool.erase(old);
    }
    if (state.scratchPool.size() >= kScratchPoolMaxTextures || state.scratchPoolBytes + bytes > kScratchPoolMaxBytes) {
        state.scratchPool.clear();
        state.scratchPoolBytes = 0;
    }
    if (bytes > kScratchPoolMaxBytes) return;
    state.scratchPool[key] = texture;
    state.scratchPoolBytes += bytes;
}

}  // namespace

gpu::GpuTextureRef scratchTexture(CanvasPresenterState& state, const PacketCommand& command,
                                  std::optional<std::uint64_t> poolKey, double scale, std::uint32_t pixelWidth,
                                  std::uint32_t pixelHeight, const std::optional<PacketRect>& repaint,
                                  std::vector<std::uint64_t>& usedKeys, PixelGridRect& outRegion) {
    PacketRect bounds = standardizeRect(command.bounds);
    if (repaint) bounds = intersectRects(bounds, *repaint);
    if (rectIsEmpty(bounds)) return nullptr;
    PixelGridRect region;
    region.x0 = clampEdge(std::floor(scale * bounds.x) - 1, pixelWidth);
    region.y0 = clampEdge(std::floor(scale * bounds.y) - 1, pixelHeight);
    region.x1 = std::max(region.x0, clampEdge(std::ceil(scale * (bounds.x + bounds.width)) + 1, pixelWidth));
    region.y1 = std::max(region.y0, clampEdge(std::ceil(scale * (bounds.y + bounds.height)) + 1, pixelHeight));
    if (region.empty()) return nullptr;

    std::vector<std::uint8_t>& pixels = scratchPixels();
    pixels.assign(std::size_t{region.width()} * region.height() * 4, 0);
    CanvasImageLookup images(state.imageCache);
    if (!drawPacketCommandInto(command, PacketPixels{pixels.data(), region.width(), region.height()}, scale, region.x0,
                               region.y0, &images)) {
        return nullptr;
    }

    // A pooled texture serves one record of a pass: a key that comes twice gets its own texture the
    // second time, or the first record would show the second one's pixels.
    bool pooled = poolKey.has_value() && std::find(usedKeys.begin(), usedKeys.end(), *poolKey) == usedKeys.end();
    gpu::GpuTextureRef texture;
    if (pooled) {
        usedKeys.push_back(*poolKey);
        auto found = state.scratchPool.find(*poolKey);
        if (found != state.scratchPool.end() && found->second->width >= region.width() &&
            found->second->height >= region.height()) {
            texture = found->second;
        }
    }
    if (!texture) {
        texture = gpu::makeTexture(roundUpSide(region.width()), roundUpSide(region.height()), false);
        if (!texture) return nullptr;
        if (pooled) storeInPool(state, *poolKey, texture);
    }
    gpu::replaceRegion(*texture, gpu::GpuRegion{0, 0, region.width(), region.height()}, pixels.data(),
                       std::size_t{region.width()} * 4);
    outRegion = region;
    return texture;
}

}  // namespace kelvo::composite
