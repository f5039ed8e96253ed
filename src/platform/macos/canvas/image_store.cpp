#include "platform/macos/canvas/image_store.hpp"

#include <span>

#include "platform/macos/canvas/packet_geometry.hpp"
#include "platform/macos/canvas/packet_images.hpp"

namespace kelvo {

bool uploadStoredImage(CanvasImageMap& store, std::uint64_t id, std::uint32_t width, std::uint32_t height,
                       const std::uint8_t* rgba, std::size_t byteLength) {
    if (id == 0 || rgba == nullptr) return false;
    // Both sides are checked before anything is copied, so the byte count cannot overflow and a
    // refused image never takes the place of the one stored before.
    if (width == 0 || height == 0 || width > kCanvasMaxPixelSide || height > kCanvasMaxPixelSide) return false;
    if (byteLength != std::uint64_t{width} * height * 4) return false;
    CanvasImageRef image = makeCanvasImage(width, height, std::span<const std::uint8_t>(rgba, byteLength));
    if (!image) return false;
    store[id] = std::move(image);
    return true;
}

bool removeStoredImage(CanvasImageMap& store, std::uint64_t id) {
    if (id == 0) return false;
    store.erase(id);
    return true;
}

}  // namespace kelvo
