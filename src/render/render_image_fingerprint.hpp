#pragma once

// The fingerprint of an image resource: what frame planning and the reference renderer's image
// memo key images by.

#include <cstdint>
#include <optional>
#include <span>

namespace kelvo {

struct ImagePixels {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::span<const std::uint8_t> rgba;
};

// FNV-1a 64 from the state 0x63110ce26216af5e over the image id, then, when the pixels are known,
// the width, the height and every pixel byte (numbers as 8 bytes, little-endian).
std::uint64_t renderImageFingerprintForResource(std::uint64_t image_id, std::optional<ImagePixels> pixels);

}  // namespace kelvo
