#include "render/render_command.hpp"

#include <algorithm>

namespace kelvo {

Rect transformedBox(const Affine& transform, Rect rect) {
    rect = normalizeRect(rect);
    const Point corners[4] = {{rect.x, rect.y},
                              {rect.x + rect.width, rect.y},
                              {rect.x, rect.y + rect.height},
                              {rect.x + rect.width, rect.y + rect.height}};
    Point lo = applyAffine(transform, corners[0]);
    Point hi = lo;
    for (const Point& corner : corners) {
        Point p = applyAffine(transform, corner);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
    }
    return {lo.x, lo.y, hi.x - lo.x, hi.y - lo.y};
}

Rect intersectRect(Rect a, Rect b) {
    a = normalizeRect(a);
    b = normalizeRect(b);
    float left = std::max(a.x, b.x);
    float top = std::max(a.y, b.y);
    float right = std::min(a.x + a.width, b.x + b.width);
    float bottom = std::min(a.y + a.height, b.y + b.height);
    if (!(right > left) || !(bottom > top)) return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
}

Status applyRenderLayerCommand(RenderLayerState& state, const CanvasCommand& command) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::push_clip: {
            if (state.clip_depth >= kRenderLayerStackDepth) return fail(Error::RenderStackOverflow);
            state.saved_clips[state.clip_depth] = state.clip;
            state.saved_has_clip[state.clip_depth] = state.has_clip;
            ++state.clip_depth;
            Rect box = transformedBox(state.transform, command.push_clip.rect);
            state.clip = state.has_clip ? intersectRect(box, state.clip) : box;
            state.has_clip = true;
            return {};
        }
        case CanvasCommandTag::pop_clip:
            if (state.clip_depth == 0) return fail(Error::RenderStackUnderflow);
            --state.clip_depth;
            state.clip = state.saved_clips[state.clip_depth];
            state.has_clip = state.saved_has_clip[state.clip_depth];
            return {};
        case CanvasCommandTag::push_opacity: {
            if (state.opacity_depth >= kRenderLayerStackDepth) return fail(Error::RenderStackOverflow);
            state.saved_opacities[state.opacity_depth++] = state.opacity;
            float opacity = command.push_opacity.opacity;
            state.opacity *= opacity > 0.0f ? std::min(opacity, 1.0f) : 0.0f;  // NaN counts as 0
            return {};
        }
        case CanvasCommandTag::pop_opacity:
            if (state.opacity_depth == 0) return fail(Error::RenderStackUnderflow);
            state.opacity = state.saved_opacities[--state.opacity_depth];
            return {};
        case CanvasCommandTag::transform:
            state.transform = composeAffine(state.transform, command.transform);
            return {};
        default:
            return {};
    }
}

std::optional<RenderCommand> renderCommandInLayer(const RenderLayerState& state, const CanvasCommand& command) {
    unsigned tag = canvasCommandTagBits(command);
    if (tag < static_cast<unsigned>(CanvasCommandTag::fill_rect) || tag >= kCanvasCommandTagCount) return std::nullopt;
    if (!(state.opacity > 0.0f)) return std::nullopt;
    std::optional<Rect> local = canvasCommandBounds(command);
    if (!local) return std::nullopt;
    Rect bounds = transformedBox(state.transform, *local);
    if (state.has_clip) bounds = intersectRect(bounds, state.clip);
    if (rectIsEmpty(bounds)) return std::nullopt;
    RenderCommand render;
    render.command = command;
    render.id = canvasCommandId(command);
    render.opacity = state.opacity;
    render.clip = state.clip;
    render.has_clip = state.has_clip;
    render.transform = state.transform;
    render.geometry = *local;
    render.bounds = bounds;
    return render;
}

Result<std::size_t> buildRenderCommands(std::span<const CanvasCommand> commands, const Affine& base,
                                        std::span<RenderCommand> out) {
    RenderLayerState state;
    state.transform = base;
    std::size_t count = 0;
    for (const CanvasCommand& command : commands) {
        TRY(applyRenderLayerCommand(state, command));
        std::optional<RenderCommand> render = renderCommandInLayer(state, command);
        if (!render) continue;
        if (count >= out.size()) return fail(Error::RenderListFull);
        out[count++] = *render;
    }
    return count;
}

}  // namespace kelvo
