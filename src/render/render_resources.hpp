#pragma once

// The images and fonts a canvas frame draws with: frame planning fingerprints the images, the
// reference renderer takes both tables.

#include <cstdint>
#include <optional>
#include <span>

#include "raster/font_ttf.hpp"

namespace kelvo {

struct ReferenceImage {
    ReferenceImage() = default;
    ReferenceImage(std::uint64_t id_, std::uint64_t width_, std::uint64_t height_,
                   std::span<const std::uint8_t> pixels_, std::optional<std::uint64_t> fingerprint_ = std::nullopt)
        : id(id_), width(width_), height(height_), pixels(pixels_), fingerprint(fingerprint_) {}

    std::uint64_t id = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::span<const std::uint8_t> pixels;  // RGBA8, straight alpha, rows from the top
    // The pixel fingerprint of the image (renderImageFingerprintForResource over its id, size and
    // pixels) when its owner took it once: an image registered with the runtime never changes in
    // place, so frames read this instead of hashing every pixel again. Absent: taken per frame.
    std::optional<std::uint64_t> fingerprint;
};

struct ReferenceFont {
    std::uint64_t id = 0;
    const Face* face = nullptr;
};

}  // namespace kelvo
