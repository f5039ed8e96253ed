#pragma once

// Presenting a planned canvas frame: what the frame tick does between planning a frame and
// committing it as the frame the next plan compares against.
//
// A frame goes to the platform as a canvas packet: the first frame, a frame after a size change
// and any frame the surface cannot take as a patch go as a "clear" packet of every visible
// command; later frames as keyed "patch" packets. A refused patch is followed by one "clear".
// Without the packet services (or when a packet does not fit its buffer) the frame goes as the
// reference renderer's pixels. A frame in which nothing changed sends nothing.

#include <cstddef>

#include "base/error.hpp"
#include "render/frame.hpp"

namespace kelvo {

struct Runtime;

// The binary form is sent when the platform has that service, else the JSON form. Success means
// the platform has the frame, so the tick commits it; an error leaves the previous frame in place.
Status presentCanvasFrame(Runtime& runtime, std::size_t viewIndex, const CanvasFrame& frame);

// After the commit: the next plan compares keyed packets only while the surface retains them.
void notePresentedCanvasPacket(Runtime& runtime, std::size_t viewIndex);

// Buffers the packets are written into, per form.
inline constexpr std::size_t kCanvasPacketBinaryCapacity = std::size_t{8} << 20;
inline constexpr std::size_t kCanvasPacketJsonCapacity = std::size_t{16} << 20;

}  // namespace kelvo
