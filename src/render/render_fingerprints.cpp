#include "render/render_fingerprints.hpp"

#include <array>

#include "render/render_command.hpp"
#include "text/text_run_plan.hpp"
#include "widgets/draw_text_bounds.hpp"

namespace kelvo {

namespace {

constexpr Fnv1a64 kShadowSeed = Fnv1a64::seededWith("shadow");
constexpr Fnv1a64 kLinearGradientSeed = Fnv1a64::seededWith("linear_gradient");
constexpr Fnv1a64 kImageSeed = Fnv1a64::seededWith("image");
constexpr Fnv1a64 kBlurSeed = Fnv1a64::seededWith("blur");
constexpr Fnv1a64 kRenderCommandSeed = Fnv1a64::seededWith("render_command");
constexpr Fnv1a64 kLayerSeed = Fnv1a64::seededWith("layer");
static_assert(kLayerSeed.state == 0x84e39fec29768c56ull);
static_assert(kShadowSeed.state == 0x48996f6e7b2a8a21ull);
static_assert(kLinearGradientSeed.state == 0x65346d8f7d705e2dull);
static_assert(kImageSeed.state == 0x2ab612888528489aull);
static_assert(kBlurSeed.state == 0xc5ccbb9bc2dd7f38ull);
constexpr std::uint64_t kImageResourceSeed = 0x63110ce26216af5eull;

constexpr std::array<std::string_view, kCanvasCommandTagCount> kTagNames = {
    "push_clip",   "pop_clip",    "push_opacity",      "pop_opacity", "transform",
    "fill_rect",   "stroke_rect", "fill_rounded_rect", "draw_line",   "fill_path",
    "stroke_path", "draw_image",  "draw_text",         "shadow",      "blur",
};

void hashEnum(Fnv1a64& hash, std::uint8_t value) { hash.u64(value); }

void hashRect(Fnv1a64& hash, const Rect& rect) {
    hash.f32(rect.x);
    hash.f32(rect.y);
    hash.f32(rect.width);
    hash.f32(rect.height);
}

void hashPoint(Fnv1a64& hash, const Point& point) {
    hash.f32(point.x);
    hash.f32(point.y);
}

void hashColor(Fnv1a64& hash, const Color& color) {
    hash.f32(color.r);
    hash.f32(color.g);
    hash.f32(color.b);
    hash.f32(color.a);
}

void hashRadii(Fnv1a64& hash, const CornerRadii& radii) {
    hash.f32(radii.top_left);
    hash.f32(radii.top_right);
    hash.f32(radii.bottom_right);
    hash.f32(radii.bottom_left);
}

// A payload's id field as an optional: 0 counts as absent.
void hashPayloadId(Fnv1a64& hash, std::uint64_t id) {
    resourceHashOptionalId(hash, id != 0 ? std::optional<std::uint64_t>(id) : std::nullopt);
}

// A paint's fill bytes; a gradient's fingerprint is handed back.
void hashFill(Fnv1a64& hash, const Paint& paint, std::uint64_t& resource) {
    if (paint.kind == PaintKind::linear_gradient) {
        resource = linearGradientFingerprint(paint.gradient);
        hash.bytes("linear_gradient");
        hash.u64(resource);
        return;
    }
    hash.bytes("color");
    hashColor(hash, paint.color);
}

void hashStroke(Fnv1a64& hash, const Stroke& stroke, std::uint64_t& resource) {
    hash.bytes("stroke");
    hash.f32(stroke.width);
    hashFill(hash, stroke.paint, resource);
}

std::uint64_t drawImageFingerprint(const DrawImageCommand& image) {
    Fnv1a64 hash = kImageSeed;
    hash.u64(image.image);
    resourceHashOptionalRect(hash, image.src);
    hashEnum(hash, static_cast<std::uint8_t>(maskedImageFit(image.fit)));
    hashEnum(hash, static_cast<std::uint8_t>(maskedImageSampling(image.sampling)));
    return hash.state;
}

void hashPayload(Fnv1a64& hash, const CanvasCommand& command, std::uint64_t& resource) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::push_clip:
            hashPayloadId(hash, command.push_clip.id);
            hashRect(hash, command.push_clip.rect);
            hashRadii(hash, command.push_clip.radii);
            return;
        case CanvasCommandTag::fill_rect:
            hashPayloadId(hash, command.fill_rect.id);
            hashRect(hash, command.fill_rect.rect);
            hashFill(hash, command.fill_rect.paint, resource);
            return;
        case CanvasCommandTag::fill_rounded_rect:
            hashPayloadId(hash, command.fill_rounded_rect.id);
            hashRect(hash, command.fill_rounded_rect.rect);
            hashRadii(hash, command.fill_rounded_rect.radii);
            hashFill(hash, command.fill_rounded_rect.paint, resource);
            return;
        case CanvasCommandTag::stroke_rect:
            hashPayloadId(hash, command.stroke_rect.id);
            hashRect(hash, command.stroke_rect.rect);
            hashRadii(hash, command.stroke_rect.radii);
            hashStroke(hash, command.stroke_rect.stroke, resource);
            return;
        case CanvasCommandTag::draw_line:
            hashPayloadId(hash, command.draw_line.id);
            hashPoint(hash, command.draw_line.from);
            hashPoint(hash, command.draw_line.to);
            hashStroke(hash, command.draw_line.stroke, resource);
            return;
        case CanvasCommandTag::fill_path:
            hashPayloadId(hash, command.fill_path.id);
            resourceHashPath(hash, command.fill_path.elements);
            hashFill(hash, command.fill_path.paint, resource);
            return;
        case CanvasCommandTag::stroke_path:
            hashPayloadId(hash, command.stroke_path.id);
            resourceHashPath(hash, command.stroke_path.elements);
            hashStroke(hash, command.stroke_path.stroke, resource);
            hashEnum(hash, static_cast<std::uint8_t>(command.stroke_path.cap) & 1u);
            return;
        case CanvasCommandTag::draw_image: {
            const DrawImageCommand& image = command.draw_image;
            hashPayloadId(hash, image.id);
            resource = drawImageFingerprint(image);
            hash.u64(resource);
            hashRect(hash, image.dst);
            hash.f32(image.opacity);
            hashRadii(hash, image.radii);
            return;
        }
        case CanvasCommandTag::draw_text:
            hashPayloadId(hash, command.draw_text.id);
            resource = drawTextFingerprint(command.draw_text);
            hash.u64(resource);
            hashColor(hash, command.draw_text.color);
            return;
        case CanvasCommandTag::shadow:
            hashPayloadId(hash, command.shadow.id);
            resource = shadowFingerprint(command.shadow);
            hash.u64(resource);
            return;
        case CanvasCommandTag::blur:
            hashPayloadId(hash, command.blur.id);
            resource = blurFingerprint(command.blur);
            hash.u64(resource);
            return;
        default:
            // pop_clip, push_opacity, pop_opacity and transform: their effect enters through the
            // render state and the layer's own fingerprint.
            return;
    }
}

}  // namespace

std::string_view canvasCommandTagName(unsigned tag) { return tag < kTagNames.size() ? kTagNames[tag] : ""; }

void resourceHashPath(Fnv1a64& hash, std::span<const PathElement> elements) {
    hash.bytes("path");
    hash.u64(elements.size());
    for (const PathElement& element : elements) {
        hashEnum(hash, pathVerbBits(element.verb));
        for (const Point& point : element.points) hashPoint(hash, point);
    }
}

void resourceHashAffine(Fnv1a64& hash, const Affine& transform) {
    hash.f32(transform.a);
    hash.f32(transform.b);
    hash.f32(transform.c);
    hash.f32(transform.d);
    hash.f32(transform.tx);
    hash.f32(transform.ty);
}

void resourceHashOptionalId(Fnv1a64& hash, const std::optional<std::uint64_t>& id) {
    if (!id) {
        hash.byte(0);
        return;
    }
    hash.byte(1);
    hash.u64(*id);
}

void resourceHashOptionalRect(Fnv1a64& hash, const std::optional<Rect>& rect) {
    if (!rect) {
        hash.byte(0);
        return;
    }
    hash.byte(1);
    hashRect(hash, *rect);
}

void resourceHashFill(Fnv1a64& hash, const Paint& paint) {
    std::uint64_t gradient = 0;
    hashFill(hash, paint, gradient);
}

std::uint64_t linearGradientFingerprint(const LinearGradient& gradient) {
    Fnv1a64 hash = kLinearGradientSeed;
    hashPoint(hash, gradient.start);
    hashPoint(hash, gradient.end);
    hash.u64(gradient.stops.size());
    for (const GradientStop& stop : gradient.stops) {
        hash.f32(stop.offset);
        hashColor(hash, stop.color);
    }
    return hash.state;
}

std::uint64_t shadowFingerprint(const ShadowCommand& shadow) {
    Fnv1a64 hash = kShadowSeed;
    hashRect(hash, shadow.rect);
    hashColor(hash, shadow.color);
    hashPoint(hash, shadow.offset);
    hash.f32(shadow.blur);
    hash.f32(shadow.spread);
    hashRadii(hash, shadow.radii);
    return hash.state;
}

std::uint64_t drawTextFingerprint(const DrawTextCommand& text) { return textRunFingerprint(textRunOfDrawText(text)); }

std::uint64_t blurFingerprint(const BlurCommand& blur) {
    Fnv1a64 hash = kBlurSeed;
    hashRect(hash, blur.rect);
    hash.f32(blur.radius);
    return hash.state;
}

std::uint64_t imageResourceFingerprint(const DrawImageCommand& image) {
    Fnv1a64 hash = kImageSeed;
    hash.u64(image.image);
    resourceHashOptionalRect(hash, image.src);
    return hash.state;
}

std::uint64_t renderImageFingerprintForResource(std::uint64_t image_id, std::optional<ImagePixels> pixels) {
    Fnv1a64 hash{kImageResourceSeed};
    hash.u64(image_id);
    if (pixels) {
        hash.u64(pixels->width);
        hash.u64(pixels->height);
        for (std::uint8_t byte : pixels->rgba) hash.byte(byte);
    }
    return hash.state;
}

std::uint64_t imagePixelFingerprint(const ReferenceImage& image) {
    if (image.fingerprint) return *image.fingerprint;
    return renderImageFingerprintForResource(image.id, ImagePixels{image.width, image.height, image.pixels});
}

std::uint64_t renderCommandFingerprint(const RenderCommand& command) {
    std::uint64_t resource = 0;
    return renderCommandFingerprint(command, resource);
}

std::uint64_t renderCommandFingerprint(const RenderCommand& command, std::uint64_t& payload_resource) {
    payload_resource = 0;
    Fnv1a64 hash = kRenderCommandSeed;
    resourceHashOptionalId(hash, command.id);
    hashRect(hash, command.geometry);
    hashRect(hash, command.bounds);
    hash.bytes(canvasCommandTagName(canvasCommandTagBits(command.command)));
    hashPayload(hash, command.command, payload_resource);
    return hash.state;
}

std::uint64_t renderLayerFingerprintAppend(std::uint64_t layer, const RenderCommand& command) {
    Fnv1a64 hash{layer};
    hash.u64(renderCommandFingerprint(command));
    return hash.state;
}

std::uint64_t renderLayerStateFingerprint(const RenderCommand& command) {
    Fnv1a64 hash = kLayerSeed;
    hash.f32(command.opacity);
    resourceHashOptionalRect(hash, command.has_clip ? std::optional<Rect>(command.clip) : std::nullopt);
    resourceHashAffine(hash, command.transform);
    return hash.state;
}

}  // namespace kelvo
