// The layer walk of a frame plan and the render overrides applied to its result.

#include <algorithm>

#include "render/frame_plan_steps.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kLinearSearchLimit = 63;

// Finds the first override with a key, through a hash index once the list is long.
struct OverrideLookup {
    std::span<const RenderOverride> list;
    HashIndex index;
    bool indexed = false;

    OverrideLookup(std::span<const RenderOverride> overrides, std::span<std::uint32_t> slots) : list(overrides) {
        if (list.size() <= kLinearSearchLimit || list.size() * 2 > slots.size()) return;
        index.slots = slots;
        index.clear();
        // Only the first override with a key is indexed: a later one with the same key stays unseen.
        for (std::uint32_t i = 0; i < list.size(); ++i) {
            const std::uint64_t hash = splitMix64Finalize(list[i].key);
            if (!index.find(hash, [&](std::uint32_t at) { return list[at].key == list[i].key; })) {
                index.insert(hash, i);
            }
        }
        indexed = true;
    }

    [[nodiscard]] const RenderOverride* find(std::uint64_t key) const {
        if (!indexed) {
            for (const RenderOverride& entry : list) {
                if (entry.key == key) return &entry;
            }
            return nullptr;
        }
        std::optional<std::uint32_t> at =
            index.find(splitMix64Finalize(key), [&](std::uint32_t i) { return list[i].key == key; });
        return at ? &list[*at] : nullptr;
    }
};

bool sameOverride(const RenderOverride* a, const RenderOverride* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return a->has_opacity == b->has_opacity && a->opacity == b->opacity && a->has_transform == b->has_transform &&
           affinesEqual(a->transform, b->transform);
}

float clampUnit(float value) { return value > 0.0f ? std::min(value, 1.0f) : 0.0f; }

void resolveFootprints(FramePlan& plan) {
    std::span<CommandFootprint> footprints = plan.storage.footprints.first(plan.footprint_count);
    std::span<const RenderCommand> renders = plan.renderCommands();
    for (std::size_t i = 0; i < footprints.size(); ++i) {
        const std::uint32_t render = plan.scratch.footprint_render[i];
        footprints[i].bounds = render == kNotDrawn ? std::nullopt : std::optional<Rect>(renders[render].bounds);
    }
    plan.frame.footprints = footprints;
}

}  // namespace

std::optional<Rect> renderCommandBoundsWithOverride(const RenderCommand& command, const RenderOverride* override) {
    Affine transform = command.transform;
    if (override != nullptr && override->has_transform) transform = composeAffine(transform, override->transform);
    Rect box = transformedBox(transform, command.geometry);
    if (command.has_clip) box = intersectRect(box, command.clip);
    if (rectIsEmpty(box)) return std::nullopt;
    return box;
}

Status walkDisplayList(FramePlan& plan) {
    RenderLayerState state;
    std::span<const CanvasCommand> commands = plan.source.commands;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const CanvasCommand& command = commands[i];
        const unsigned tag = canvasCommandTagBits(command);
        if (tag < static_cast<unsigned>(CanvasCommandTag::fill_rect)) {
            TRY(applyRenderLayerCommand(state, command));
            // A clip always has bounds: one without an id forces a full repaint once the list changed.
            if (tag == static_cast<unsigned>(CanvasCommandTag::push_clip) && command.push_clip.id == 0) {
                plan.anonymous_with_bounds = true;
            }
            continue;
        }
        if (tag >= kCanvasCommandTagCount) continue;

        const std::uint64_t id = canvasCommandId(command);
        // Bounds cost a text layout for draw_text: they are taken only where they are needed.
        std::optional<Rect> local;
        if (state.opacity > 0.0f || id == 0) local = canvasCommandBounds(command);
        if (id == 0 && local) plan.anonymous_with_bounds = true;

        std::uint32_t render_index = kNotDrawn;
        if (std::optional<RenderCommand> render = renderCommandWithBounds(state, command, local)) {
            if (plan.render_count == plan.storage.render_commands.size()) return fail(Error::RenderListFull);
            render_index = static_cast<std::uint32_t>(plan.render_count);
            plan.storage.render_commands[plan.render_count++] = *render;
        }
        if (id != 0) {
            if (plan.footprint_count == plan.storage.footprints.size() ||
                plan.footprint_count == plan.scratch.footprint_render.size()) {
                return fail(Error::DiffListFull);
            }
            plan.scratch.footprint_render[plan.footprint_count] = render_index;
            plan.storage.footprints[plan.footprint_count++] = {id, static_cast<std::uint32_t>(i), std::nullopt};
        }
    }
    plan.frame.render_commands = plan.renderCommands();
    return {};
}

Status applyRenderOverrides(FramePlan& plan) {
    std::span<RenderCommand> renders = plan.renderCommands();
    if (plan.override_count != 0 || !plan.previous_overrides.empty()) {
        const OverrideLookup current(plan.currentOverrides(), plan.scratch.current_override_slots);
        const OverrideLookup previous(plan.previous_overrides, plan.scratch.previous_override_slots);
        for (const RenderCommand& render : renders) {
            if (!render.id) continue;
            const RenderOverride* before = previous.find(*render.id);
            const RenderOverride* now = current.find(*render.id);
            if (sameOverride(before, now)) continue;
            plan.override_bounds =
                unionOptionalBounds(plan.override_bounds, renderCommandBoundsWithOverride(render, before));
            plan.override_bounds =
                unionOptionalBounds(plan.override_bounds, renderCommandBoundsWithOverride(render, now));
        }
        for (const WidgetAnimationDirty& dirty : plan.source.animation_dirty) {
            if (!dirty.rect || (current.find(dirty.key) == nullptr && previous.find(dirty.key) == nullptr)) continue;
            plan.override_bounds = unionOptionalBounds(plan.override_bounds, dirty.rect);
        }
        for (RenderCommand& render : renders) {
            if (!render.id) continue;
            const RenderOverride* now = current.find(*render.id);
            if (now == nullptr) continue;
            if (now->has_opacity) render.opacity *= clampUnit(now->opacity);
            if (now->has_transform) {
                render.transform = composeAffine(render.transform, now->transform);
                render.bounds = renderCommandBoundsWithOverride(render, nullptr).value_or(Rect{});
            }
        }
    }
    std::optional<Rect> content;
    for (const RenderCommand& render : renders) content = unionOptionalBounds(content, render.bounds);
    plan.frame.content_bounds = content;
    resolveFootprints(plan);
    return {};
}

}  // namespace kelvo
