// Arbitrary bytes through the image decoder: it answers 1, 0 or -1, reports dimensions only within
// 1..8192 and never writes past the capacity it was given.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/macos/canvas/image_decode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the capacity, up to 256 x 256 pixels.
    const std::size_t capacity = (std::size_t{data[0]} << 8 | data[1]) * 4;
    std::vector<std::uint8_t> pixels(capacity + 16, 0xA5);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t result = kelvo::decodeImageRgba8(data + 2, size - 2, pixels.data(), capacity, &width, &height);
    if (result != 0 && result != 1 && result != -1) std::abort();
    if (result == 0 && (width != 0 || height != 0)) std::abort();
    if (result != 0 && (width == 0 || height == 0 || width > 8192 || height > 8192)) std::abort();
    if (result == 1 && std::uint64_t{width} * height * 4 > capacity) std::abort();
    for (std::size_t i = capacity; i < pixels.size(); ++i) {
        if (pixels[i] != 0xA5) std::abort();
    }
    return 0;
}
