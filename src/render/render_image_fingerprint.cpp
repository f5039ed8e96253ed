#include "render/render_image_fingerprint.hpp"

#include "base/fnv1a.hpp"

namespace kelvo {

std::uint64_t renderImageFingerprintForResource(std::uint64_t image_id, std::optional<ImagePixels> pixels) {
    Fnv1a64 hash{0x63110ce26216af5eull};
    hash.u64(image_id);
    if (pixels) {
        hash.u64(pixels->width);
        hash.u64(pixels->height);
        for (std::uint8_t byte : pixels->rgba) hash.byte(byte);
    }
    return hash.state;
}

}  // namespace kelvo
