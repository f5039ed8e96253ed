#include "platform/macos/canvas/packet_images.hpp"

#include <cmath>

#include "platform/macos/canvas/packet_geometry.hpp"

namespace kelvo {

namespace {

// Rounded to the nearest integer, halves away from 0; 0 for anything not a usable side.
std::uint64_t imageSide(double value) {
    double rounded = std::round(value);
    if (!(rounded >= 1.0) || rounded > kCanvasMaxPixelSide) return 0;
    return static_cast<std::uint64_t>(rounded);
}

std::uint8_t premultiply(std::uint8_t channel, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((channel * alpha + 127u) / 255u);
}

void uploadImage(CanvasPresenterState& state, const PacketImage& image) {
    std::uint64_t id = image.image_id;
    if (state.imageStore != nullptr) {
        if (auto found = state.imageStore->find(id); found != state.imageStore->end() && found->second) {
            state.imageCache[id] = found->second;
            return;
        }
    }
    CanvasImageRef made;
    std::uint64_t width = imageSide(image.width);
    std::uint64_t height = imageSide(image.height);
    if (width != 0 && height != 0 && image.pixels) made = makeCanvasImage(width, height, *image.pixels);
    if (made) {
        state.imageCache[id] = std::move(made);
    } else {
        state.imageCache.erase(id);
    }
}

}  // namespace

CanvasImageRef makeCanvasImage(std::uint64_t width, std::uint64_t height, std::span<const std::uint8_t> straight) {
    if (width == 0 || height == 0 || width > kCanvasMaxPixelSide || height > kCanvasMaxPixelSide) return nullptr;
    std::uint64_t bytes = width * 4 * height;  // at most 2^28: no overflow with both sides limited
    if (straight.size() < bytes) return nullptr;
    auto image = std::make_shared<CanvasImage>();
    image->rgba.resize(bytes);
    for (std::uint64_t i = 0; i < bytes; i += 4) {
        std::uint8_t alpha = straight[i + 3];
        for (int c = 0; c < 3; ++c) image->rgba[i + c] = premultiply(straight[i + c], alpha);
        image->rgba[i + 3] = alpha;
    }
    image->pixels =
        PacketImagePixels{image->rgba.data(), static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
    return image;
}

bool applyImageActions(CanvasPresenterState& state, const CanvasPacket& packet) {
    bool changesImages = false;
    for (const PacketImageAction& action : packet.image_actions) {
        switch (action.kind) {
            case PacketImageActionKind::upload:
                if (!action.image_index || *action.image_index >= packet.images.size()) return false;
                changesImages = true;
                break;
            case PacketImageActionKind::evict:
                changesImages = true;
                break;
            case PacketImageActionKind::retain:
                break;
            default:
                return false;
        }
    }
    for (const PacketImageAction& action : packet.image_actions) {
        if (action.kind == PacketImageActionKind::evict) state.imageCache.erase(action.image_id);
    }
    for (const PacketImageAction& action : packet.image_actions) {
        if (action.kind == PacketImageActionKind::upload) uploadImage(state, packet.images[*action.image_index]);
    }
    if (changesImages && !state.rasterCache.entries.empty()) rasterCacheRemoveImageDraws(state.rasterCache);
    return true;
}

const PacketImagePixels* CanvasImageLookup::find(std::uint64_t image_id) const {
    auto found = images_.find(image_id);
    return found == images_.end() || !found->second ? nullptr : &found->second->pixels;
}

}  // namespace kelvo
