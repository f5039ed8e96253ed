#pragma once

// Patch dirty regions: when a view already holds the packet of an earlier frame and only part of
// its display list changed, the change is described as at most 8 rectangles and their bound. The
// frame's visible GPU commands are keyed and fingerprinted and compared with the previous frame's
// keyed list; every command that appeared, vanished or changed adds its bounds.
//
// Rectangles here are in view points, the space of render command bounds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "raster/canvas_geometry.hpp"
#include "render/render_fingerprints.hpp"

namespace kelvo {

struct RenderCommand;
struct CanvasGpuCommand;

inline constexpr std::size_t kPatchRectCapacity = 8;
inline constexpr std::size_t kMaxKeyedGpuCommands = 2048;

// A normalised rectangle clipped to the surface (0, 0, width, height); none when nothing with
// area remains. A surface without area leaves a rectangle with positive sides as it is.
std::optional<Rect> clippedCanvasDirtyBounds(std::optional<Rect> dirty, float width, float height);

struct CanvasPacketPatchDirty {
    std::uint64_t count = 0;
    std::optional<Rect> bound;  // the union of everything added
    std::array<Rect, kPatchRectCapacity> rects{};

    // Adds a rectangle (normalised; one without area is ignored): it merges into the first
    // rectangle it overlaps with positive area, else it is appended, else, with 8 rectangles, it
    // merges into the one whose area grows least (the earliest on ties).
    void add(Rect rect);
};

struct CanvasPacketPatch {
    CanvasPacketPatchDirty dirty;
    bool valid = false;  // clear: no patch is possible, the plan uses its change list instead
};

struct KeyedGpuCommand {
    std::uint64_t key = 0;  // the command id, or a key made from the kind and the fingerprint
    std::uint64_t fingerprint = 0;
    std::uint32_t index = 0;  // of the render command
    Rect bounds;
};

// A previous frame's keyed list as a view keeps it: parallel arrays in drawing order.
struct KeyedGpuCommandArrays {
    std::span<const std::uint64_t> keys;
    std::span<const std::uint64_t> fingerprints;
    std::span<const Rect> bounds;
};

// The fingerprint a patch compares: FNV-1a 64 from a seed of the command's kind over the render
// command's own fingerprint (its geometry, paint and resources) and its layer state's (opacity,
// clip and transform), then the resource kind.
std::uint64_t canvasGpuCommandPatchFingerprint(const CanvasGpuCommand& command,
                                               const RenderCommandFingerprints& prints);

// The keyed list of the visible render commands (bounds with area overlapping the surface, or
// `fallback` when the surface has none), in drawing order: the number written to `out`, or none
// when the frame cannot be patched (no visible area, a layer command among them, or more commands
// than `out` holds). `prints` may hold each command's fingerprints already.
std::optional<std::size_t> gatherCanvasPacketCurrentCommandsFromPlan(
    std::span<const RenderCommand> commands, float width, float height, std::optional<Rect> fallback,
    std::span<KeyedGpuCommand> out, std::span<const RenderCommandFingerprints> prints = {});

// Compares the previous keyed list with the current one (each at most 2,048 entries): found with an
// equal fingerprint is unchanged; a changed fingerprint adds the old and the new bounds; a new key
// adds its bounds, a vanished one its old bounds. Unchanged commands must keep their relative order,
// else the patch is invalid.
CanvasPacketPatch canvasPacketPatchDirtyBounds(const KeyedGpuCommandArrays& previous,
                                               std::span<const KeyedGpuCommand> current);

}  // namespace kelvo
