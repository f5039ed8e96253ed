#pragma once

// The two readers of canvas packets. Both take hostile input: every count, tag and number is
// checked, and a failure answers none (the packet is refused whole).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "render/packet/packet_model.hpp"

namespace kelvo {

// The binary form: "KVGP", version 4, little-endian, consumed exactly.
std::optional<CanvasPacket> readBinaryCanvasPacket(std::span<const std::uint8_t> bytes);

// The JSON form: strict JSON (UTF-8, no non-finite numbers, nesting up to 512, at most
// kPacketJsonMaxBytes) whose top level is an object, read into the model leniently.
std::optional<CanvasPacket> readJsonCanvasPacket(std::string_view text);

}  // namespace kelvo
