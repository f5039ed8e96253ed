#include "render/gpu_command.hpp"

#include "render/render_command.hpp"

namespace kelvo {

namespace {

bool isGradient(const Paint& paint) { return paint.kind == PaintKind::linear_gradient; }

CanvasGpuCommandKind solidOrGradient(CanvasGpuCommandKind solid, const Paint& paint) {
    return static_cast<CanvasGpuCommandKind>(static_cast<unsigned>(solid) + (isGradient(paint) ? 1u : 0u));
}

// The paint fields and kind; a gradient needs a retained resource, a solid colour does not.
void takePaint(CanvasGpuCommand& gpu, const Paint& paint) {
    if (isGradient(paint)) {
        gpu.paint = GpuPaintKind::linear_gradient;
        gpu.stops = paint.gradient.stops;
        gpu.gradient_start = paint.gradient.start;
        gpu.gradient_end = paint.gradient.end;
        gpu.resource = GpuResourceKind::gradient;
        gpu.cached_resource = true;
    } else {
        gpu.paint = GpuPaintKind::solid;
        gpu.color = paint.color;
    }
}

void takeCachedResource(CanvasGpuCommand& gpu, GpuResourceKind resource) {
    gpu.resource = resource;
    gpu.cached_resource = true;
}

}  // namespace

CanvasGpuCommand canvasGpuCommandFromRenderCommand(const RenderCommand& render, std::uint64_t index) {
    CanvasGpuCommand gpu;
    gpu.index = index;
    gpu.id = render.id;
    gpu.opacity = render.opacity;
    gpu.clip = render.clip;
    gpu.has_clip = render.has_clip;
    gpu.transform = render.transform;
    gpu.bounds = render.bounds;

    const CanvasCommand& command = render.command;
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::fill_rect:
            gpu.rect = normalizeRect(command.fill_rect.rect);
            gpu.shape = GpuShapeKind::rect;
            gpu.kind = solidOrGradient(CanvasGpuCommandKind::fill_rect_solid, command.fill_rect.paint);
            takePaint(gpu, command.fill_rect.paint);
            break;
        case CanvasCommandTag::stroke_rect:
            gpu.rect = normalizeRect(command.stroke_rect.rect);
            gpu.radii = command.stroke_rect.radii;
            gpu.stroke_width = command.stroke_rect.stroke.width;
            gpu.shape = GpuShapeKind::stroked_rect;
            gpu.kind = solidOrGradient(CanvasGpuCommandKind::stroke_rect_solid, command.stroke_rect.stroke.paint);
            takePaint(gpu, command.stroke_rect.stroke.paint);
            break;
        case CanvasCommandTag::fill_rounded_rect:
            gpu.rect = normalizeRect(command.fill_rounded_rect.rect);
            gpu.radii = command.fill_rounded_rect.radii;
            gpu.shape = GpuShapeKind::rounded_rect;
            gpu.kind = solidOrGradient(CanvasGpuCommandKind::fill_rounded_rect_solid, command.fill_rounded_rect.paint);
            takePaint(gpu, command.fill_rounded_rect.paint);
            break;
        case CanvasCommandTag::draw_line:
            gpu.from = command.draw_line.from;
            gpu.to = command.draw_line.to;
            gpu.stroke_width = command.draw_line.stroke.width;
            gpu.shape = GpuShapeKind::line;
            gpu.kind = solidOrGradient(CanvasGpuCommandKind::draw_line_solid, command.draw_line.stroke.paint);
            takePaint(gpu, command.draw_line.stroke.paint);
            break;
        case CanvasCommandTag::fill_path:
            gpu.elements = command.fill_path.elements;
            gpu.shape = GpuShapeKind::path;
            gpu.kind = CanvasGpuCommandKind::fill_path;
            takePaint(gpu, command.fill_path.paint);
            gpu.resource = GpuResourceKind::path;
            gpu.path = true;
            break;
        case CanvasCommandTag::stroke_path:
            gpu.elements = command.stroke_path.elements;
            gpu.stroke_width = command.stroke_path.stroke.width;
            gpu.cap = static_cast<LineCap>(static_cast<unsigned>(command.stroke_path.cap) & 1u);
            gpu.shape = GpuShapeKind::path;
            gpu.kind = CanvasGpuCommandKind::stroke_path;
            takePaint(gpu, command.stroke_path.stroke.paint);
            gpu.resource = GpuResourceKind::path;
            gpu.path = true;
            gpu.round_cap = gpu.cap == LineCap::round;
            break;
        case CanvasCommandTag::draw_image: {
            const DrawImageCommand& image = command.draw_image;
            gpu.rect = normalizeRect(image.dst);
            gpu.radii = image.radii;
            gpu.src = image.src;
            gpu.image_id = image.image;
            gpu.fit = maskedImageFit(image.fit);
            gpu.sampling = maskedImageSampling(image.sampling);
            gpu.image_opacity = image.opacity;
            gpu.kind = CanvasGpuCommandKind::draw_image;
            gpu.image = true;
            takeCachedResource(gpu, GpuResourceKind::image);
            break;
        }
        case CanvasCommandTag::draw_text: {
            const DrawTextCommand& text = command.draw_text;
            gpu.font = text.font;
            gpu.size = text.size;
            gpu.origin = text.origin;
            gpu.color = text.color;
            gpu.text = text.text;
            gpu.glyphs = text.glyphs;
            gpu.layout = text.layout;
            gpu.paint = GpuPaintKind::solid;
            gpu.kind = CanvasGpuCommandKind::draw_text;
            gpu.text_flag = true;
            gpu.text_layout_present = text.layout.has_value();
            takeCachedResource(gpu, GpuResourceKind::text);
            break;
        }
        case CanvasCommandTag::shadow: {
            const ShadowCommand& shadow = command.shadow;
            gpu.rect = normalizeRect(shadow.rect);
            gpu.color = shadow.color;
            gpu.offset = shadow.offset;
            gpu.blur = shadow.blur;
            gpu.spread = shadow.spread;
            gpu.radii = shadow.radii;
            gpu.effect = GpuEffectKind::shadow;
            gpu.kind = CanvasGpuCommandKind::shadow;
            gpu.effect_flag = true;
            takeCachedResource(gpu, GpuResourceKind::shadow);
            break;
        }
        case CanvasCommandTag::blur:
            gpu.rect = normalizeRect(command.blur.rect);
            gpu.radius = command.blur.radius;
            gpu.effect = GpuEffectKind::blur;
            gpu.kind = CanvasGpuCommandKind::blur;
            gpu.effect_flag = true;
            takeCachedResource(gpu, GpuResourceKind::blur);
            break;
        default:
            // Clip, opacity and transform commands: kind 14, nothing else.
            return gpu;
    }
    gpu.drawable = true;
    return gpu;
}

}  // namespace kelvo
