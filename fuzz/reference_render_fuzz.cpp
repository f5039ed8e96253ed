// Display lists of arbitrary commands (NaN, infinities and huge values included) drawn by the
// reference renderer onto a small surface, with and without a memo and a scratch buffer: no crash,
// no access outside the buffers, and a defined result for every command.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_display_list.hpp"
#include "render/reference_frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvo;
    constexpr std::uint64_t kWidth = 40;
    constexpr std::uint64_t kHeight = 24;
    static std::vector<std::uint8_t> pixels(kWidth * kHeight * 4);
    static std::vector<std::uint8_t> scratch(kWidth * kHeight * 4);
    static auto memo = std::make_unique<ReferenceRenderMemo>();
    static const std::uint8_t image_pixels[3 * 2 * 4] = {255, 0, 0, 255, 0,   255, 0,  128, 0, 0, 255, 0,
                                                         9,   9, 9, 9,   200, 100, 50, 255, 1, 2, 3,   4};
    static const ReferenceImage images[] = {{1, 3, 2, image_pixels}, {2, 1u << 20, 1u << 20, image_pixels}};

    fuzz::DisplayListInput in(data, size);
    std::uint8_t mode = in.take<std::uint8_t>();
    ReferenceRenderSurface surface;
    surface.width = kWidth;
    surface.height = kHeight;
    surface.pixels = pixels;
    surface.scratch = (mode & 1) ? std::span<std::uint8_t>() : std::span<std::uint8_t>(scratch);
    surface.images = images;
    surface.memo = (mode & 2) ? memo.get() : nullptr;
    clearReferenceSurface(surface, {1, 1, 1, (mode & 4) ? 0.0f : 1.0f});

    in.readCommands(16);
    (void)renderDisplayList(surface, in.commands, (mode & 8) ? 1.5f : 1.0f);
    return 0;
}
