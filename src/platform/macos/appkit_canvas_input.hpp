#pragma once

// Private to src/platform/macos: the input of a canvas view. The stand-in reports what the user
// does in the view; this turns it into the view's canvas-input events.

#include <cstdint>
#include <memory>

#include "platform/macos/canvas/canvas_input.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

struct KelvoAppKitHost;

struct HostCanvasInput {
    CanvasInput logic;
    KelvoAppKitHost* host = nullptr;
    standin::ViewRef ref = nullptr;
    std::weak_ptr<HostCanvasInput> self;  // delayed steps of a closed view are dropped
};

// Binds the input to the view's surface and starts listening; `input` shares the canvas view's
// lifetime.
void attachCanvasInput(const std::shared_ptr<HostCanvasInput>& input, KelvoAppKitHost& host, standin::ViewRef ref,
                       SurfaceView& surface);

// The runtime's cursor (0 arrow, 1 pointing hand, 2 text, 3 horizontal resize; any other value
// the arrow) over the whole canvas view.
void showCanvasCursor(KelvoAppKitHost& host, standin::ViewRef ref, std::int32_t cursor);

// Modifier keys of the stand-in as the host's modifier bits.
std::uint32_t inputModifiersOfKeys(std::uint32_t keys);

}  // namespace kelvo
