#pragma once

// The images of a canvas view: a packet's image actions applied to the view's image cache, and the
// lookup the CPU drawing reads them through.

#include <cstdint>
#include <span>

#include "platform/macos/canvas/canvas_presenter_state.hpp"

namespace kelvo {

// An image from straight-alpha RGBA8 bytes (rows of width * 4), stored premultiplied. Null when a
// side is 0 or above 8192, or there are fewer than width * 4 * height bytes.
CanvasImageRef makeCanvasImage(std::uint64_t width, std::uint64_t height, std::span<const std::uint8_t> straight);

// Checks every action first (known kinds; an upload names an image of the packet) and answers
// false, with nothing changed, when one fails. Then all evicts, then all uploads in order: an
// image of the host's store wins over packet pixels; an upload whose pixels are missing or
// unusable removes the id. Any upload or evict drops the raster cache's image draws.
bool applyImageActions(CanvasPresenterState& state, const CanvasPacket& packet);

// The image cache as the CPU drawing reads it.
class CanvasImageLookup final : public PacketImageSource {
public:
    explicit CanvasImageLookup(const CanvasImageMap& images) : images_(images) {}
    [[nodiscard]] const PacketImagePixels* find(std::uint64_t image_id) const override;

private:
    const CanvasImageMap& images_;
};

}  // namespace kelvo
