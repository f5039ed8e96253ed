#pragma once

// Writing a packet model in either form. The writers fill the caller's buffer and answer how
// many bytes the packet takes; when that is more than the buffer holds, the buffer's content is
// unusable and the answer says how much room the packet needs.

#include <cstddef>
#include <cstdint>
#include <span>

#include "render/packet/packet_model.hpp"

namespace kelvo {

struct PacketWriteResult {
    std::size_t size = 0;  // bytes the packet takes
    bool fits = false;     // size <= the buffer's size: the buffer holds the packet
};

// The binary form. Numbers are narrowed to f32; a packet written from f32 values reads back equal,
// except for the lines of a text without a layout, which drawing ignores and which are left out.
PacketWriteResult writeBinaryCanvasPacket(const CanvasPacket& packet, std::span<std::uint8_t> out);

// The JSON form, with the keys and nesting of the model. Numbers are written as the shortest text
// that reads back as the same double; a non-finite number is written as 0 (JSON has no other
// spelling for it), except where the model takes it for "absent" (a stop's offset, a line's x and
// baseline): that member is left out, as is a colour the model lacks.
PacketWriteResult writeJsonCanvasPacket(const CanvasPacket& packet, std::span<char> out);

}  // namespace kelvo
