#pragma once

// Private to render/packet: the constants of the binary packet form that its reader and writer
// share.

#include <cstddef>
#include <cstdint>

#include "render/packet/packet_model.hpp"

namespace kelvo {

inline constexpr std::uint32_t kPacketMagic = 0x5047564Bu;  // "KVGP" read as a little-endian u32
inline constexpr std::uint8_t kPacketVersion = 4;
inline constexpr std::size_t kPacketHeaderBytes = 16;
inline constexpr std::uint32_t kPacketNoImageIndex = 0xffffffffu;
// In place of a text line's byte length: a line the producer could not read (in the JSON form, an
// entry of "lines" that is not an object). No text follows; drawing the text fails at that line.
// (So a line of 4 GiB - 1 bytes cannot travel.)
inline constexpr std::uint32_t kPacketUnreadableLine = 0xffffffffu;

// Header flags.
inline constexpr std::uint8_t kPacketHasScissor = 1u << 0;
inline constexpr std::uint8_t kPacketHasDirtyRects = 1u << 1;

// Command flags: which optional blocks follow the fixed part.
inline constexpr std::uint8_t kPacketHasId = 1u << 0;
inline constexpr std::uint8_t kPacketHasClip = 1u << 1;
inline constexpr std::uint8_t kPacketHasTransform = 1u << 2;
inline constexpr std::uint8_t kPacketHasShape = 1u << 3;
inline constexpr std::uint8_t kPacketHasPaint = 1u << 4;
inline constexpr std::uint8_t kPacketHasImage = 1u << 5;
inline constexpr std::uint8_t kPacketHasText = 1u << 6;
inline constexpr std::uint8_t kPacketHasEffect = 1u << 7;

// kind, flags, bounds (16), opacity, stroke width, cap.
inline constexpr std::size_t kPacketCommandFixedBytes = 1 + 1 + 16 + 4 + 4 + 1;
static_assert(kPacketCommandFixedBytes == 27);

// The fewest bytes one item of each list takes on the wire; what a reader reserves for a count
// is bounded by the bytes left divided by these.
struct PacketMinWire {
    std::size_t image = 24;
    std::size_t image_action = 21;
    std::size_t key = 8;
    std::size_t keyed_command = 8 + kPacketCommandFixedBytes;
    std::size_t path_element = 1;
    std::size_t gradient_stop = 20;
    std::size_t text_line = 12;
};
inline constexpr PacketMinWire kPacketMinWire{};

// Byte-coded choices never refuse: values outside the table take the default.
constexpr PacketImageFit packetImageFitFromWire(std::uint8_t byte) {
    return byte == 1 ? PacketImageFit::contain : byte == 2 ? PacketImageFit::cover : PacketImageFit::stretch;
}
constexpr PacketTextWrap packetTextWrapFromWire(std::uint8_t byte) {
    return byte == 0 ? PacketTextWrap::none : byte == 2 ? PacketTextWrap::character : PacketTextWrap::word;
}
constexpr PacketTextAlign packetTextAlignFromWire(std::uint8_t byte) {
    return byte == 1 ? PacketTextAlign::center : byte == 2 ? PacketTextAlign::end : PacketTextAlign::start;
}

}  // namespace kelvo
