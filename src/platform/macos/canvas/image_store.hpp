#pragma once

// The images "draw_image" commands draw, and the host's store of uploaded images: one store per
// host, read by every canvas view of the host (main thread only).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/macos/canvas/packet_raster.hpp"

namespace kelvo {

// An image "draw_image" commands draw: premultiplied R, G, B, A bytes, rows of width * 4 bytes.
// `pixels` points into `rgba`; images are never changed once made.
struct CanvasImage {
    std::vector<std::uint8_t> rgba;
    PacketImagePixels pixels;
};
using CanvasImageRef = std::shared_ptr<const CanvasImage>;
using CanvasImageMap = std::unordered_map<std::uint64_t, CanvasImageRef>;  // by image id

// Stores straight-alpha RGBA8 pixels under `id`, replacing an older image. False, with the store
// unchanged, for id 0, a side of 0 or above 8192, no pixels, or a byte length other than
// width * height * 4.
bool uploadStoredImage(CanvasImageMap& store, std::uint64_t id, std::uint32_t width, std::uint32_t height,
                       const std::uint8_t* rgba, std::size_t byteLength);

// Removes the image under `id` (an absent one included); false only for id 0.
bool removeStoredImage(CanvasImageMap& store, std::uint64_t id);

}  // namespace kelvo
