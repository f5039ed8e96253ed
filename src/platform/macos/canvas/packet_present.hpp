#pragma once

// Presentation of a decoded canvas packet on a GPU canvas view: checks against the surface and
// the retained state, the patch steps, image actions, scissor and dirty rectangles snapped to the
// pixel grid, drawing on the CPU (or on the compositor when it is switched on), the upload into
// the canvas texture, and the retained state later patches edit. Main thread only.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/macos/canvas/canvas_presenter_state.hpp"
#include "render/packet/packet_entry.hpp"

namespace kelvo {

struct PacketPresentArgs {
    double surfaceWidth = 0;  // points
    double surfaceHeight = 0;
    double scale = 1;
    std::array<std::uint8_t, 4> clear{};  // R, G, B, A
    std::uint64_t commandCount = 0;       // 0: not checked
};

// 1 presented, 0 rejected, -1 failed.
int presentCanvasPacket(CanvasPresenterState& state, const CanvasPacket& packet, const PacketPresentArgs& args);

// Raw RGBA8 pixels (as the canvas texture stores them, rows of width * 4 bytes) into the canvas
// texture: the whole texture, or only the dirty rectangles (points) when the size is unchanged.
struct RawPixelFrame {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    double scale = 1;
    bool hasDirtyRect = false;
    PacketRect dirtyRect;
    std::optional<std::span<const PacketRect>> dirtyRects;  // given: these instead of dirtyRect
    const std::uint8_t* rgba8 = nullptr;
    std::uint64_t byteLength = 0;
};
bool presentPixels(CanvasPresenterState& state, const RawPixelFrame& frame);

// The presenter the packet entry draws with.
PacketPresenter canvasPacketPresenter(CanvasPresenterState& state);

std::uint64_t canvasClockNs(const CanvasPresenterState& state);

}  // namespace kelvo
