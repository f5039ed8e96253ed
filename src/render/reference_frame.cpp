#include "render/reference_frame.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <new>

#include "render/reference_colour.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

void clearReferenceSurface(ReferenceRenderSurface& surface, const Color& colour) {
    const std::uint8_t bytes[4] = {colourByte(colour.r), colourByte(colour.g), colourByte(colour.b),
                                   colourByte(colour.a)};
    std::uint64_t pixel_count = std::min<std::uint64_t>(surface.width * surface.height, surface.pixels.size() / 4);
    for (std::uint64_t i = 0; i < pixel_count; ++i) std::copy(bytes, bytes + 4, surface.pixels.data() + i * 4);
}

Status renderDisplayList(ReferenceRenderSurface& surface, std::span<const CanvasCommand> commands, float scale) {
    struct Frame {
        std::array<RenderCommand, kReferenceFrameCommands> commands;
    };
    Frame& frame = perThreadCanvasScratch<Frame>();
    std::size_t count = TRY(buildRenderCommands(commands, {scale, 0, 0, scale, 0, 0}, frame.commands));
    return renderCommands(surface, std::span<const RenderCommand>(frame.commands.data(), count));
}

namespace {

Result<std::uint64_t> frameSide(float points, float scale) {
    double pixels = std::ceil(static_cast<double>(points) * static_cast<double>(scale));
    if (!(pixels >= 1.0) || !(pixels <= static_cast<double>(kReferenceFrameMaxSide))) {
        return fail(Error::InvalidPngDimensions);
    }
    return static_cast<std::uint64_t>(pixels);
}

}  // namespace

Result<PngBytes> renderDisplayListPng(const ReferenceFrameRequest& request) {
    std::uint64_t width = TRY(frameSide(request.width, request.scale));
    std::uint64_t height = TRY(frameSide(request.height, request.scale));
    std::uint64_t bytes = width * height * 4;
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[bytes]);
    std::unique_ptr<std::uint8_t[]> scratch(new (std::nothrow) std::uint8_t[bytes]);
    if (!pixels || !scratch) return fail(Error::OutOfMemory);
    ReferenceRenderSurface surface;
    surface.width = width;
    surface.height = height;
    surface.pixels = {pixels.get(), bytes};
    surface.scratch = {scratch.get(), bytes};
    surface.images = request.images;
    surface.fonts = request.fonts;
    clearReferenceSurface(surface, request.clear);
    TRY(renderDisplayList(surface, request.commands, request.scale));
    return encodePng(width, height, surface.pixels);
}

}  // namespace kelvo
