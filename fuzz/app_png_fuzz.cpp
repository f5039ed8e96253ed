// Reads arbitrary bytes as a PNG file. A decoded image has sides within the reader's limits and
// every one of its pixels can be read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/png_decode.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto image = kelvo::decodePng({data, size});
    if (!image) return 0;
    check(image->width >= 1 && image->width <= kelvo::kPngDecodeMaxSide);
    check(image->height >= 1 && image->height <= kelvo::kPngDecodeMaxSide);
    unsigned sum = 0;
    for (std::uint64_t i = 0; i < image->width * image->height * 4; ++i) sum += image->pixels[i];
    check(sum <= image->width * image->height * 4 * 255);
    return 0;
}
