#pragma once

// Render fingerprints: 64-bit FNV-1a keys of drawing content. Equal content always gives equal
// keys and any visible difference changes the key, so frame planning can tell which retained
// resources (gradients, text runs, images, shadows, blurs, paths, layers) the previous frame
// already has, and the reference renderer can key its memo the same way.
//
// Byte conventions: numbers little-endian (f32 as its raw 4 bytes, u64 as 8); an enum value as 8
// bytes (the value, then seven 0 bytes); an optional as one 0 byte when absent, or one 1 byte and
// the value; a word as its ASCII bytes without a terminator; another fingerprint as its u64.

#include <cstdint>
#include <optional>
#include <span>

#include "base/fnv1a.hpp"
#include "raster/canvas_geometry.hpp"
#include "render/render_resources.hpp"
#include "widgets/commands.hpp"

namespace kelvo {

struct RenderCommand;

// Step functions: each continues the hash it is given.

// The word "path", the element count, then per element its verb (low 3 bits, as an enum) and all
// three of its points, used or not.
void resourceHashPath(Fnv1a64& hash, std::span<const PathElement> elements);
// The six coefficients in order.
void resourceHashAffine(Fnv1a64& hash, const Affine& transform);
// An optional id: 0, or 1 then its 8 bytes.
void resourceHashOptionalId(Fnv1a64& hash, const std::optional<std::uint64_t>& id);
// An optional rectangle: 0, or 1 then x, y, width, height.
void resourceHashOptionalRect(Fnv1a64& hash, const std::optional<Rect>& rect);
// A solid paint: "color" and its four channels; a gradient: "linear_gradient" and the gradient's
// fingerprint.
void resourceHashFill(Fnv1a64& hash, const Paint& paint);

// Seeded with "linear_gradient": start, end, the stop count, then each stop's offset and colour.
std::uint64_t linearGradientFingerprint(const LinearGradient& gradient);
// Seeded with "shadow": rect, colour, offset, blur, spread and radii (not the command id).
std::uint64_t shadowFingerprint(const ShadowCommand& shadow);
// The glyph-run fingerprint of a draw_text payload (textRunFingerprint): colour and id excluded.
std::uint64_t drawTextFingerprint(const DrawTextCommand& text);
// Seeded with "blur": the rectangle and the radius.
std::uint64_t blurFingerprint(const BlurCommand& blur);
// Seeded with "image": the image id and the source rectangle (the GPU resource a draw_image needs).
std::uint64_t imageResourceFingerprint(const DrawImageCommand& image);

struct ImagePixels {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::span<const std::uint8_t> rgba;
};

// From the state 0x63110ce26216af5e: the image id, then, when the pixels are known, the width,
// the height and every pixel byte.
std::uint64_t renderImageFingerprintForResource(std::uint64_t image_id, std::optional<ImagePixels> pixels);

// An image's pixel fingerprint: the one it carries, else the one of its id, size and pixels.
std::uint64_t imagePixelFingerprint(const ReferenceImage& image);

// The fingerprint of one render command, seeded with "render_command": its command id, geometry
// and bounds, the tag's name and the payload (resource fingerprints enter as their 8 bytes).
std::uint64_t renderCommandFingerprint(const RenderCommand& command);
// The same, also handing back the resource fingerprint the payload entered with (a gradient
// paint's, a glyph run's, a shadow's, a blur's, an image's with its sampling), or 0.
std::uint64_t renderCommandFingerprint(const RenderCommand& command, std::uint64_t& payload_resource);

// A layer's fingerprint continued over the 8 bytes of the command's fingerprint.
std::uint64_t renderLayerFingerprintAppend(std::uint64_t layer, const RenderCommand& command);

// Where the fingerprint of a layer starting with the command starts: seeded with "layer", its
// opacity, its clip as an optional rectangle and its transform.
std::uint64_t renderLayerStateFingerprint(const RenderCommand& command);

// Both fingerprints of one render command, taken once per frame.
struct RenderCommandFingerprints {
    std::uint64_t command = 0;   // renderCommandFingerprint
    std::uint64_t state = 0;     // renderLayerStateFingerprint
    std::uint64_t resource = 0;  // the payload's resource fingerprint, or 0
};

// The name of a command tag as fingerprints spell it ("push_clip" ... "blur"); empty past 14.
std::string_view canvasCommandTagName(unsigned tag);

}  // namespace kelvo
