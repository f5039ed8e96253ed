#include "render/reference.hpp"

#include <algorithm>
#include <cstring>

#include "render/reference_draw.hpp"

namespace kelvo {

namespace {

// Surfaces are addressed with 32-bit columns and rows by the sweep.
constexpr std::uint64_t kReferenceMaxSide = std::uint64_t{1} << 30;

bool memoisedTag(CanvasCommandTag tag) {
    return tag == CanvasCommandTag::fill_rect || tag == CanvasCommandTag::stroke_rect ||
           tag == CanvasCommandTag::fill_rounded_rect || tag == CanvasCommandTag::shadow ||
           tag == CanvasCommandTag::blur;
}

void hashFloats(Wyhash& hash, std::initializer_list<float> values) {
    for (float value : values) referenceMemoHashValue(hash, value);
}

void hashRadii(Wyhash& hash, const CornerRadii& r) {
    hashFloats(hash, {r.top_left, r.top_right, r.bottom_right, r.bottom_left});
}

void hashRect(Wyhash& hash, const Rect& r) { hashFloats(hash, {r.x, r.y, r.width, r.height}); }

// What a memoised command draws depends on: its opacity, transform and id, its geometry and paint.
std::uint64_t commandKey(const RenderCommand& render) {
    Wyhash hash(0);
    const std::uint8_t lead = 1;
    hash.update(std::span<const std::uint8_t>(&lead, 1));
    referenceMemoHashValue(hash, render.opacity);
    const Affine& t = render.transform;
    hashFloats(hash, {t.a, t.b, t.c, t.d, t.tx, t.ty});
    hash.updateU64(canvasCommandId(render.command));
    const CanvasCommand& command = render.command;
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::fill_rect:
            hashRect(hash, command.fill_rect.rect);
            referenceMemoHashValue(hash, command.fill_rect.paint);
            break;
        case CanvasCommandTag::stroke_rect:
            hashRect(hash, command.stroke_rect.rect);
            hashRadii(hash, command.stroke_rect.radii);
            referenceMemoHashValue(hash, command.stroke_rect.stroke.width);
            referenceMemoHashValue(hash, command.stroke_rect.stroke.paint);
            break;
        case CanvasCommandTag::fill_rounded_rect:
            hashRect(hash, command.fill_rounded_rect.rect);
            hashRadii(hash, command.fill_rounded_rect.radii);
            referenceMemoHashValue(hash, command.fill_rounded_rect.paint);
            break;
        case CanvasCommandTag::shadow: {
            const ShadowCommand& shadow = command.shadow;
            hashRect(hash, shadow.rect);
            hashFloats(hash, {shadow.offset.x, shadow.offset.y, shadow.blur, shadow.spread});
            hashRadii(hash, shadow.radii);
            referenceMemoHashValue(hash, Paint::solid(shadow.color));
            break;
        }
        case CanvasCommandTag::blur:
            hashRect(hash, command.blur.rect);
            referenceMemoHashValue(hash, command.blur.radius);
            break;
        default:
            break;
    }
    return hash.digest();
}

// The rows whose pixels the command reads: those of its rectangle, and for a blur every row its
// taps reach.
std::uint64_t backgroundKey(const ReferenceRenderSurface& surface, const RenderCommand& render,
                            const PixelRect& pixels) {
    std::int64_t reach = blurReach(render);
    auto height = static_cast<std::int64_t>(surface.height);
    std::int64_t first = pixels.y - std::min(reach, pixels.y);
    std::int64_t end = pixels.y + pixels.height + std::min(reach, height - pixels.y - pixels.height);
    return referenceBackgroundKey(surface.pixels, surface.width, static_cast<std::uint64_t>(first),
                                  static_cast<std::uint64_t>(end));
}

void copyIntoSurface(const ReferenceRenderSurface& surface, const ReferenceMemoEntry& entry) {
    const PixelRect& rect = entry.rect;
    std::size_t row_bytes = static_cast<std::size_t>(rect.width) * 4;
    for (std::int64_t row = 0; row < rect.height; ++row) {
        std::memcpy(surface.pixel(rect.x, rect.y + row), entry.pixels.get() + static_cast<std::size_t>(row) * row_bytes,
                    row_bytes);
    }
}

Status drawTag(ReferenceRenderSurface& surface, const RenderCommand& command, Rect area, const PixelRect& pixels) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command.command))) {
        case CanvasCommandTag::fill_rect:
            drawFillRect(surface, command, pixels);
            return {};
        case CanvasCommandTag::stroke_rect:
            drawStrokeRect(surface, command, pixels);
            return {};
        case CanvasCommandTag::fill_rounded_rect:
            drawFillRoundedRect(surface, command, pixels);
            return {};
        case CanvasCommandTag::draw_line:
            drawLineCommand(surface, command, pixels);
            return {};
        case CanvasCommandTag::fill_path:
            return drawFillPath(surface, command, pixels);
        case CanvasCommandTag::stroke_path:
            return drawStrokePath(surface, command, pixels);
        case CanvasCommandTag::draw_image:
            return drawImage(surface, command, pixels);
        case CanvasCommandTag::draw_text:
            drawText(surface, command, area);
            return {};
        case CanvasCommandTag::shadow:
            drawShadow(surface, command, pixels);
            return {};
        case CanvasCommandTag::blur:
            return drawBlur(surface, command, pixels);
        default:
            return fail(Error::ReferenceRenderUnsupportedCommand);
    }
}

}  // namespace

Status renderCommand(ReferenceRenderSurface& surface, const RenderCommand& command, std::optional<Rect> clip) {
    Rect area = normalizeRect(command.bounds);
    if (clip) area = intersectRect(area, *clip);
    if (rectIsEmpty(area)) return {};
    unsigned tag_bits = canvasCommandTagBits(command.command);
    if (tag_bits < static_cast<unsigned>(CanvasCommandTag::fill_rect) || tag_bits >= kCanvasCommandTagCount) {
        return fail(Error::ReferenceRenderUnsupportedCommand);
    }
    if (surface.width == 0 || surface.height == 0) return {};
    if (surface.width > kReferenceMaxSide || surface.height > kReferenceMaxSide) {
        return fail(Error::ReferenceRenderUnsupportedCommand);
    }
    if (surface.pixels.size() / 4 / surface.width < surface.height) return fail(Error::ReferenceRenderSurfaceTooSmall);
    std::optional<PixelRect> pixels = referencePixelRect(area, surface.width, surface.height);
    if (!pixels) return {};

    auto tag = static_cast<CanvasCommandTag>(tag_bits);
    ReferenceRenderMemo* memo = surface.memo;
    bool memoised = memo != nullptr && memoisedTag(tag) && pixels->area() >= memo->minimum_area;
    std::uint64_t command_key = 0;
    std::uint64_t background_key = 0;
    if (memoised) {
        command_key = commandKey(command);
        background_key = backgroundKey(surface, command, *pixels);
        if (const ReferenceMemoEntry* entry =
                findMemoEntry(*memo, surface.width, surface.height, *pixels, command_key, background_key)) {
            copyIntoSurface(surface, *entry);
            return {};
        }
    }
    TRY(drawTag(surface, command, area, *pixels));
    if (memoised) {
        storeMemoEntry(*memo, surface.pixels, surface.width, surface.height, *pixels, command_key, background_key);
    }
    return {};
}

Status renderCommands(ReferenceRenderSurface& surface, std::span<const RenderCommand> commands) {
    for (const RenderCommand& command : commands) TRY(renderCommand(surface, command, std::nullopt));
    return {};
}

}  // namespace kelvo
