#pragma once

// The entry of a canvas packet into a surface: the guards every packet passes, in order, before
// it is decoded, then decoding and presentation with their timings. The presenter behind the
// entry is a port: whatever draws the decoded packet.

#include <cstdint>
#include <span>

#include "render/packet/packet_model.hpp"

namespace kelvo {

// 1 presented, 0 refused (or a guard or the decoding failed), -1 the surface cannot present.
enum class PacketEntryResult : std::int8_t { unavailable = -1, refused = 0, presented = 1 };

enum class PacketForm : std::uint8_t { json, binary };

struct PacketEntryArgs {
    double width = 0;
    double height = 0;
    double scale = 1;
    std::uint8_t clear[4] = {0, 0, 0, 0};  // R, G, B, A
    bool requiresRender = false;
    std::uint64_t commandCount = 0;  // 0: not checked
    std::uint64_t unsupportedCommandCount = 0;
    bool representable = true;
};

// What a surface offers the entry.
struct PacketPresenter {
    void* context = nullptr;
    bool (*available)(void* context) = nullptr;
    PacketEntryResult (*present)(void* context, const CanvasPacket& packet, const PacketEntryArgs& args) = nullptr;
    std::uint64_t (*clockNs)(void* context) = nullptr;  // monotonic
};

// Written only after a packet was presented.
struct PacketTimings {
    std::uint64_t decodeNs = 0;
    std::uint64_t drawNs = 0;
};

// An unavailable surface answers -1 before anything else; requiresRender false answers 1 with
// nothing decoded; a size that is not a finite positive number, no bytes, unsupported commands
// or a frame that is not representable answer 0; then the packet is decoded (a failure answers
// 0) and presented, and the presenter's answer is passed on.
PacketEntryResult enterCanvasPacket(const PacketPresenter& presenter, const PacketEntryArgs& args, PacketForm form,
                                    std::span<const std::uint8_t> bytes, PacketTimings& timings);

}  // namespace kelvo
