#pragma once

// The images canvas views draw, registered with the runtime by id: the frame plan takes them as
// its default image list (so screenshots and the reference renderer draw them), and each is
// uploaded to the platform's image store, from which the canvas presenter draws "draw_image"
// commands. At most 16 images, their pixels together within one store of fixed size inside the
// runtime record (its pages are touched only by the images registered).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "render/render_resources.hpp"

namespace kelvo {

struct Runtime;

inline constexpr std::size_t kMaxCanvasImages = 16;
inline constexpr std::uint32_t kCanvasImageMaxSide = 8192;  // what the platform's image store takes
inline constexpr std::size_t kCanvasImageStoreBytes = std::size_t{32} << 20;

struct CanvasImageRecord {
    std::uint64_t id = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t offset = 0;  // of its pixels in the store
    // Its pixel fingerprint, taken when it was registered: a registered image never changes in
    // place (registering the id again replaces it whole), so no frame hashes its pixels again.
    std::uint64_t fingerprint = 0;
};

struct CanvasImageTable {
    FixedVec<CanvasImageRecord, kMaxCanvasImages> records{};
    // The same images as the frame plan and the reference renderer take them, in record order.
    std::array<ReferenceImage, kMaxCanvasImages> resources{};
    std::size_t storeUsed = 0;
    // Straight-alpha RGBA8 pixels of every record, one after the other in record order. No
    // initializer: building the runtime record must not touch these pages.
    std::array<std::uint8_t, kCanvasImageStoreBytes> store;
};

// Registers `id` (or replaces the image registered under it) with `width` x `height` straight-alpha
// RGBA8 pixels, rows of width x 4 bytes from the top, uploads it to the platform's image store and
// asks every canvas view for a whole new frame. A platform without an image store (an empty slot or
// UnsupportedService) is no error: the runtime's own drawing still shows the image. Errors, with
// nothing changed: InvalidCanvasImage for id 0, a side of 0 or a byte count other than
// width x height x 4; ImageTooLarge for a side above 8192 or more pixels than the store holds;
// CanvasImageLimitReached when 16 other images are registered or theirs leave too little room;
// the platform's error when its store refuses the image.
Status registerCanvasImage(Runtime& runtime, std::uint64_t id, std::uint32_t width, std::uint32_t height,
                           std::span<const std::uint8_t> rgba);

// Takes the image out of the runtime and out of the platform's image store, and asks every canvas
// view for a whole new frame. CanvasImageNotFound when no image is registered under `id`; the
// platform's error (nothing changed) when its store refuses.
Status removeCanvasImage(Runtime& runtime, std::uint64_t id);

// The registered images, in the order they were registered.
std::span<const ReferenceImage> canvasImageResources(const Runtime& runtime);

}  // namespace kelvo
