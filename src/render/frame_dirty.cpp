// The dirty region of a frame plan and the decision to repaint in full.
//
// A frame repaints in full when asked to, when the view presented no frame yet or asks for a
// whole frame, when the surface size or scale changed, or, once the display list changed, when a
// command without an id has bounds (its area cannot be followed between lists). Otherwise the
// display lists are compared by command id: every identified drawing command's area (old and new)
// is repainted, with the override bounds; when the view holds a packet, the keyed GPU commands of
// both frames narrow that to what really changed.

#include <cmath>

#include "render/frame_plan_steps.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kLinearSearchLimit = 63;

bool sameSurface(const CanvasFrameHistory& history, const CanvasFrame& frame) {
    return history.width == frame.width && history.height == frame.height && history.scale == frame.scale;
}

// The previous frame's identified commands, one entry per id with the union of its bounds.
std::span<PreviousFootprint> collectPrevious(FramePlan& plan, HashIndex& index, bool& indexed) {
    std::span<const CommandFootprint> previous = plan.history()->previousFootprints();
    std::span<PreviousFootprint> unique = plan.scratch.previous_footprints;
    index.slots = plan.scratch.diff_slots;
    indexed = previous.size() > kLinearSearchLimit && previous.size() * 2 <= index.slots.size();
    if (indexed) index.clear();
    std::size_t count = 0;
    for (const CommandFootprint& footprint : previous) {
        if (count == unique.size()) break;
        const auto same = [&](std::uint32_t at) { return unique[at].id == footprint.id; };
        std::optional<std::uint32_t> at;
        if (indexed) {
            at = index.find(splitMix64Finalize(footprint.id), same);
        } else {
            for (std::uint32_t i = 0; i < count && !at; ++i) {
                if (same(i)) at = i;
            }
        }
        if (at) {
            unique[*at].bounds = unionOptionalBounds(unique[*at].bounds, footprint.bounds);
            continue;
        }
        unique[count] = {footprint.id, footprint.index, footprint.bounds, false};
        if (indexed) index.insert(splitMix64Finalize(footprint.id), static_cast<std::uint32_t>(count));
        ++count;
    }
    return unique.first(count);
}

// The change records of the display-list diff and the union of their bounds.
Result<std::optional<Rect>> buildChanges(FramePlan& plan) {
    HashIndex index;
    bool indexed = false;
    std::span<PreviousFootprint> previous = collectPrevious(plan, index, indexed);
    std::span<const CommandFootprint> current = plan.frame.footprints;
    std::span<std::uint32_t> match = plan.scratch.footprint_match;
    for (std::size_t k = 0; k < current.size(); ++k) {
        const std::uint64_t id = current[k].id;
        const auto same = [&](std::uint32_t at) { return previous[at].id == id; };
        std::optional<std::uint32_t> at;
        if (indexed) {
            at = index.find(splitMix64Finalize(id), same);
        } else {
            for (std::uint32_t i = 0; i < previous.size() && !at; ++i) {
                if (same(i)) at = i;
            }
        }
        match[k] = at.value_or(kNotDrawn);
        if (at) previous[*at].present_now = true;
    }

    std::span<CanvasChange> changes = plan.storage.changes;
    std::size_t count = 0;
    std::optional<Rect> dirty;
    const auto push = [&](const CanvasChange& change) -> Status {
        if (count == changes.size()) return fail(Error::DiffListFull);
        changes[count++] = change;
        dirty = unionOptionalBounds(dirty, change.bounds);
        return {};
    };
    for (const PreviousFootprint& gone : previous) {
        if (gone.present_now) continue;
        TRY(push({gone.id, gone.index, std::nullopt, gone.bounds, CanvasChangeKind::removed}));
    }
    for (std::size_t k = 0; k < current.size(); ++k) {
        const CommandFootprint& now = current[k];
        if (match[k] == kNotDrawn) {
            TRY(push({now.id, std::nullopt, now.index, now.bounds, CanvasChangeKind::added}));
            continue;
        }
        const PreviousFootprint& before = previous[match[k]];
        TRY(push({now.id, before.index, now.index, unionOptionalBounds(now.bounds, before.bounds),
                  CanvasChangeKind::changed}));
    }
    plan.frame.changes = changes.first(count);
    return dirty;
}

// Narrows the dirty region to the GPU commands that changed since the presented packet; false
// when no patch could be made.
bool patchDirtyRegion(FramePlan& plan) {
    CanvasFrame& frame = plan.frame;
    std::optional<std::size_t> count =
        gatherCanvasPacketCurrentCommandsFromPlan(frame.render_commands, frame.width, frame.height,
                                                  frame.content_bounds, plan.scratch.keyed, frame.command_fingerprints);
    frame.packet_keys = std::span<const KeyedGpuCommand>(plan.scratch.keyed).first(count.value_or(0));
    frame.packet_patchable = count.has_value();
    if (!count) return false;
    CanvasPacketPatch patch = canvasPacketPatchDirtyBounds(plan.history()->keyedCommands(), *frame.packet_keys);
    if (!patch.valid || !patch.dirty.bound) return false;
    // The override bounds join as a rectangle of their own, so the patch rectangles cover them too.
    if (plan.override_bounds) patch.dirty.add(*plan.override_bounds);
    std::optional<Rect> dirty = clippedCanvasDirtyBounds(patch.dirty.bound, frame.width, frame.height);
    if (!dirty) return false;
    frame.dirty = dirty;
    std::uint32_t kept = 0;
    if (patch.dirty.count > 1) {
        for (std::size_t i = 0; i < patch.dirty.count; ++i) {
            if (std::optional<Rect> rect = clippedCanvasDirtyBounds(patch.dirty.rects[i], frame.width, frame.height)) {
                frame.patch_rects[kept++] = *rect;
            }
        }
    }
    frame.patch_count = kept > 1 ? kept : 0;
    return true;
}

}  // namespace

Status planDirtyRegion(FramePlan& plan) {
    CanvasFrame& frame = plan.frame;
    const CanvasFrameHistory* history = plan.history();
    const bool has_previous = history != nullptr && history->has_previous_frame && sameSurface(*history, frame);
    const bool full = plan.request.force_full_repaint || plan.source.full_repaint_due || !has_previous;
    if (!full && history->revision == plan.source.revision) {
        frame.dirty = clippedCanvasDirtyBounds(plan.override_bounds, frame.width, frame.height);
        return {};
    }
    if (full || plan.anonymous_with_bounds) {
        frame.full_repaint = true;
        const float width = std::fabs(frame.width);
        const float height = std::fabs(frame.height);
        frame.dirty =
            width > 0.0f && height > 0.0f ? std::optional<Rect>(Rect{0, 0, width, height}) : frame.content_bounds;
        return {};
    }
    const std::optional<Rect> changed = TRY(buildChanges(plan));
    if (history->has_previous_packet && patchDirtyRegion(plan)) return {};
    frame.dirty =
        clippedCanvasDirtyBounds(unionOptionalBounds(changed, plan.override_bounds), frame.width, frame.height);
    return {};
}

}  // namespace kelvo
