#pragma once

// Writing a planned canvas frame as a packet. A "clear" packet carries every visible command of
// the frame with its key (a text in a layout box with the lines the plan broke it into, so the
// presenter shows the same lines and ellipses as the reference renderer); a "patch" packet carries what changed against
// the keyed list of the packet presented before: the keys that vanished, the commands that are new or changed, and the
// drawing order of every key.
//
// Command bounds are in surface points after the command's transform and clip, and include what
// the command paints beyond its own rectangle (stroke, shadow, a pixel of antialiasing), so a
// presenter that culls by bounds never drops a command that draws into the area it repaints.
// Dirty rectangles are grown by the window of any blur that reaches into them, so a blur redrawn
// in part reads the same pixels as a full redraw.

#include <cstdint>
#include <span>

#include "render/frame.hpp"
#include "render/packet/packet_model.hpp"
#include "render/patch_region.hpp"

namespace kelvo {

struct CanvasPacketPlan {
    const CanvasFrame* frame = nullptr;
    // The frame's visible commands keyed, in ascending key order (the plan's list when it has one).
    std::span<const KeyedGpuCommand> current;
    // The keyed list of the packet presented before, in ascending key order; read for a patch.
    KeyedGpuCommandArrays previous;
    PacketLoadAction action = PacketLoadAction::clear;  // clear or patch
    std::uint64_t generation = 1;
};

struct CanvasPacketCounts {
    std::uint64_t commands = 0;  // visible commands the packet describes (all of them, kept or sent)
    std::uint64_t upserts = 0;   // commands written: every one of a "clear", new and changed ones of a patch
    std::uint64_t evicts = 0;
};

// Whether a keyed list can be retained by key: no key appears twice.
bool canvasPacketKeysUnique(std::span<const KeyedGpuCommand> sortedByKey);

// The packet model of a planned frame (into `out`, whose lists are reused).
CanvasPacketCounts buildCanvasPacket(const CanvasPacketPlan& plan, CanvasPacket& out);

// The packet form of one render command. A text in a layout box of its own carries `lines`, the
// lines the frame's plan laid it out in (none: the presenter lays the text out itself).
PacketCommand packetCommandFromRender(const RenderCommand& render, std::uint64_t index, float scale,
                                      std::span<const TextLine> lines = {});

}  // namespace kelvo
