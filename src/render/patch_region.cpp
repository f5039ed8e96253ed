#include "render/patch_region.hpp"

#include <algorithm>
#include <array>
#include <cfloat>
#include <string_view>

#include "base/fnv1a.hpp"
#include "render/gpu_command.hpp"
#include "render/render_command.hpp"
#include "render/render_fingerprints.hpp"
#include "widgets/commands.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kFallbackKeySeed = 0xd86880b72f7d534cull;
constexpr std::uint32_t kNoMatch = 0xffffffffu;

constexpr std::array<std::string_view, kCanvasGpuCommandKindCount> kKindSeedWords = {
    "patch_fill_rect_solid",
    "patch_fill_rect_gradient",
    "patch_fill_rounded_rect_solid",
    "patch_fill_rounded_rect_gradient",
    "patch_stroke_rect_solid",
    "patch_stroke_rect_gradient",
    "patch_draw_line_solid",
    "patch_draw_line_gradient",
    "patch_fill_path",
    "patch_stroke_path",
    "patch_draw_image",
    "patch_draw_text",
    "patch_shadow",
    "patch_blur",
    "patch_layer",
};

constexpr std::array<std::uint64_t, kCanvasGpuCommandKindCount> kKindSeeds = [] {
    std::array<std::uint64_t, kCanvasGpuCommandKindCount> seeds{};
    for (std::size_t i = 0; i < seeds.size(); ++i) seeds[i] = Fnv1a64::seededWith(kKindSeedWords[i]).state;
    return seeds;
}();

// What one comparison needs beside the two lists: the previous entries in key order, what became
// of each previous entry, and the previous entry each current one matched unchanged.
struct KeyAt {
    std::uint64_t key = 0;
    std::uint32_t index = 0;
};

struct PatchCompareScratch {
    std::array<KeyAt, kMaxKeyedGpuCommands> order;                  // by key, then by place
    std::array<std::uint8_t, kMaxKeyedGpuCommands> previous_state;  // 0 untouched, 1 changed, 2 unchanged
    std::array<std::uint32_t, kMaxKeyedGpuCommands> match;
};

constexpr std::uint8_t kPreviousChanged = 1;
constexpr std::uint8_t kPreviousUnchanged = 2;

float area(const Rect& rect) { return rect.width * rect.height; }

Rect unionOfRects(const Rect& a, const Rect& b) {
    float left = std::min(a.x, b.x);
    float top = std::min(a.y, b.y);
    float right = std::max(a.x + a.width, b.x + b.width);
    float bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

// The previous entry a current key meets: among the unconsumed entries with that key, one with
// the same fingerprint first, else the first of them.
std::uint32_t findPrevious(const KeyedGpuCommandArrays& previous, const PatchCompareScratch& scratch, std::size_t n,
                           const KeyedGpuCommand& current) {
    const KeyAt* begin = scratch.order.data();
    const KeyAt* at = std::lower_bound(begin, begin + n, current.key,
                                       [](const KeyAt& entry, std::uint64_t key) { return entry.key < key; });
    std::uint32_t first = kNoMatch;
    for (; at != begin + n && at->key == current.key; ++at) {
        if (scratch.previous_state[at->index] != 0) continue;
        if (previous.fingerprints[at->index] == current.fingerprint) return at->index;
        if (first == kNoMatch) first = at->index;
    }
    return first;
}

}  // namespace

std::optional<Rect> clippedCanvasDirtyBounds(std::optional<Rect> dirty, float width, float height) {
    if (!dirty) return std::nullopt;
    const Rect rect = normalizeRect(*dirty);
    const Rect surface = normalizeRect({0, 0, width, height});
    if (!hasArea(surface)) return hasArea(rect) ? std::optional<Rect>(rect) : std::nullopt;
    const Rect clipped = intersectRect(rect, surface);
    return hasArea(clipped) ? std::optional<Rect>(clipped) : std::nullopt;
}

void CanvasPacketPatchDirty::add(Rect rect) {
    rect = normalizeRect(rect);
    if (!hasArea(rect)) return;
    bound = unionOptionalBounds(bound, rect);
    for (std::size_t i = 0; i < count; ++i) {
        if (hasArea(intersectRect(rects[i], rect))) {
            rects[i] = unionOfRects(normalizeRect(rects[i]), rect);
            return;
        }
    }
    if (count < kPatchRectCapacity) {
        rects[count++] = rect;
        return;
    }
    std::size_t best = 0;
    float best_cost = FLT_MAX;
    for (std::size_t i = 0; i < kPatchRectCapacity; ++i) {
        const Rect existing = normalizeRect(rects[i]);
        const float cost = hasArea(existing) ? area(unionOfRects(existing, rect)) - area(existing) : area(rect);
        if (cost < best_cost) {
            best = i;
            best_cost = cost;
        }
    }
    const Rect chosen = normalizeRect(rects[best]);
    rects[best] = hasArea(chosen) ? unionOfRects(chosen, rect) : rect;
}

std::uint64_t canvasGpuCommandPatchFingerprint(const CanvasGpuCommand& command,
                                               const RenderCommandFingerprints& prints) {
    Fnv1a64 hash{kKindSeeds[static_cast<unsigned>(command.kind) % kCanvasGpuCommandKindCount]};
    hash.u64(prints.command);
    hash.u64(prints.state);
    hash.byte(static_cast<std::uint8_t>(command.resource));
    return hash.state;
}

std::optional<std::size_t> gatherCanvasPacketCurrentCommandsFromPlan(
    std::span<const RenderCommand> commands, float width, float height, std::optional<Rect> fallback,
    std::span<KeyedGpuCommand> out, std::span<const RenderCommandFingerprints> prints) {
    Rect visible = normalizeRect({0, 0, width, height});
    if (!hasArea(visible)) {
        if (!fallback || !hasArea(normalizeRect(*fallback))) return std::nullopt;
        visible = normalizeRect(*fallback);
    }
    const std::size_t capacity = std::min(out.size(), kMaxKeyedGpuCommands);
    std::size_t count = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const Rect bounds = normalizeRect(commands[i].bounds);
        if (!hasArea(bounds) || !hasArea(intersectRect(bounds, visible))) continue;
        const CanvasGpuCommand gpu = canvasGpuCommandFromRenderCommand(commands[i], i);
        if (gpu.kind == CanvasGpuCommandKind::layer || count == capacity) return std::nullopt;
        const std::uint64_t fingerprint = canvasGpuCommandPatchFingerprint(
            gpu, i < prints.size() ? prints[i]
                                   : RenderCommandFingerprints{renderCommandFingerprint(commands[i]),
                                                               renderLayerStateFingerprint(commands[i])});
        std::uint64_t key = 0;
        if (gpu.id) {
            key = *gpu.id;
        } else {
            Fnv1a64 fallback_key{kFallbackKeySeed};
            fallback_key.byte(static_cast<std::uint8_t>(gpu.kind));
            fallback_key.u64(fingerprint);
            key = fallback_key.state;
        }
        out[count++] = {key, fingerprint, static_cast<std::uint32_t>(i), commands[i].bounds};
    }
    return count;
}

CanvasPacketPatch canvasPacketPatchDirtyBounds(const KeyedGpuCommandArrays& previous,
                                               std::span<const KeyedGpuCommand> current) {
    CanvasPacketPatch patch;
    const std::size_t n = previous.keys.size();
    if (n > kMaxKeyedGpuCommands || current.size() > kMaxKeyedGpuCommands || previous.fingerprints.size() != n ||
        previous.bounds.size() != n) {
        return patch;
    }
    if (current.empty() || n == 0) {
        for (const Rect& bounds : previous.bounds) patch.dirty.add(bounds);
        for (const KeyedGpuCommand& entry : current) patch.dirty.add(entry.bounds);
        patch.valid = true;
        return patch;
    }

    auto& scratch = perThreadCanvasScratch<PatchCompareScratch>();
    for (std::uint32_t i = 0; i < n; ++i) scratch.order[i] = {previous.keys[i], i};
    std::sort(scratch.order.begin(), scratch.order.begin() + static_cast<std::ptrdiff_t>(n),
              [](const KeyAt& a, const KeyAt& b) { return a.key != b.key ? a.key < b.key : a.index < b.index; });
    std::fill_n(scratch.previous_state.begin(), n, std::uint8_t{0});

    for (std::size_t k = 0; k < current.size(); ++k) {
        scratch.match[k] = kNoMatch;
        const std::uint32_t found = findPrevious(previous, scratch, n, current[k]);
        if (found == kNoMatch) {
            patch.dirty.add(current[k].bounds);
        } else if (previous.fingerprints[found] == current[k].fingerprint) {
            scratch.previous_state[found] = kPreviousUnchanged;
            scratch.match[k] = found;
        } else {
            scratch.previous_state[found] = kPreviousChanged;
            patch.dirty.add(previous.bounds[found]);
            patch.dirty.add(current[k].bounds);
        }
    }
    for (std::size_t j = 0; j < n; ++j) {
        if (scratch.previous_state[j] == 0) patch.dirty.add(previous.bounds[j]);
    }

    // Unchanged commands keep their pixels only when they are drawn in the same relative order.
    std::size_t next = 0;
    for (std::size_t k = 0; k < current.size(); ++k) {
        if (scratch.match[k] == kNoMatch) continue;
        while (next < n && scratch.previous_state[next] != kPreviousUnchanged) ++next;
        if (next == n || next != scratch.match[k]) return CanvasPacketPatch{};
        ++next;
    }
    patch.valid = true;
    return patch;
}

}  // namespace kelvo
