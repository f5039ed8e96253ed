#pragma once

// The picture sizes a HEIF file declares, read before any decoder sees the file. The decoders size
// their buffers from these declarations before they decode a pixel, so a file of a few hundred
// bytes can ask for gigabytes: such a file is refused from its boxes.

#include <cstdint>
#include <optional>
#include <span>

namespace kelvo {

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Whether every size a decoder would allocate for lies within `maxSide` on each side: the
// images' extents ("ispe"), the canvases of grids and overlays, and the pictures of the HEVC
// parameter sets in the decoder configurations and in the coded items. False also when one of
// them cannot be read, and for items coded in a format whose sizes are not read here (AV1).
bool heifSizesWithin(std::span<const std::uint8_t> file, std::uint32_t maxSide);

// The picture size of an HEVC sequence parameter set (a NAL unit with its two-byte header).
std::optional<PictureSize> hevcPictureSize(std::span<const std::uint8_t> nal);

}  // namespace kelvo
