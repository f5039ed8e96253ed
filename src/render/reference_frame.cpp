#include "render/reference_frame.hpp"

#include <algorithm>
#include <array>

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

}  // namespace kelvo
