#include "runtime/canvas/canvas_images.hpp"

#include <cstring>

#include "render/render_fingerprints.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

std::size_t byteCountOf(const CanvasImageRecord& record) { return std::size_t{record.width} * record.height * 4; }

// The record's index, or -1.
std::ptrdiff_t findRecord(const CanvasImageTable& table, std::uint64_t id) {
    return table.records.findIndex([id](const CanvasImageRecord& record) { return record.id == id; });
}

// A platform that has no image store has nothing to hold the image: not an error.
Status platformAnswer(Status status) {
    if (!status && status.error() == Error::UnsupportedService) return {};
    return status;
}

// Points each resource at its record's pixels, in record order.
void refreshResources(CanvasImageTable& table) {
    for (std::size_t i = 0; i < table.records.size(); ++i) {
        const CanvasImageRecord& record = table.records[i];
        table.resources[i] = {record.id, record.width, record.height,
                              std::span<const std::uint8_t>(table.store.data() + record.offset, byteCountOf(record)),
                              record.fingerprint};
    }
}

// Takes a record out of the table and its pixels out of the store; later records move down.
void eraseRecord(CanvasImageTable& table, std::size_t at) {
    const std::size_t offset = table.records[at].offset;
    const std::size_t length = byteCountOf(table.records[at]);
    std::memmove(table.store.data() + offset, table.store.data() + offset + length, table.storeUsed - offset - length);
    table.storeUsed -= length;
    table.records.removeAt(at);
    for (std::size_t i = at; i < table.records.size(); ++i) table.records[i].offset -= length;
}

// Every canvas view draws its next frame whole, so that what it shows of the images is new.
void redrawCanvasViews(Runtime& runtime) {
    markStateDirty(runtime);
    for (std::size_t i = 0; i < runtime.views.size(); ++i) {
        RuntimeView& view = runtime.views[i];
        if (view.kind != ViewKind::gpu_surface) continue;
        view.canvas.fullFrameDue = true;
        // The images are registered whatever the frame request answers; the next frame the view
        // gets draws them.
        (void)requestCanvasViewFrame(runtime, i);
    }
}

}  // namespace

Status registerCanvasImage(Runtime& runtime, std::uint64_t id, std::uint32_t width, std::uint32_t height,
                           std::span<const std::uint8_t> rgba) {
    if (id == 0 || width == 0 || height == 0) return fail(Error::InvalidCanvasImage);
    if (width > kCanvasImageMaxSide || height > kCanvasImageMaxSide) return fail(Error::ImageTooLarge);
    const std::size_t length = std::size_t{width} * height * 4;
    if (rgba.size() != length) return fail(Error::InvalidCanvasImage);
    if (length > kCanvasImageStoreBytes) return fail(Error::ImageTooLarge);
    CanvasImageTable& table = runtime.canvasImages;
    const std::ptrdiff_t replaced = findRecord(table, id);
    if (replaced < 0 && table.records.full()) return fail(Error::CanvasImageLimitReached);
    const std::size_t freed = replaced >= 0 ? byteCountOf(table.records[static_cast<std::size_t>(replaced)]) : 0;
    if (table.storeUsed - freed + length > kCanvasImageStoreBytes) return fail(Error::CanvasImageLimitReached);

    if (const auto upload = platformSlots(runtime).uploadGpuSurfaceImage) {
        TRY(platformAnswer(upload(platformServices(runtime), id, SurfaceImage{width, height, rgba})));
    }
    if (replaced >= 0) eraseRecord(table, static_cast<std::size_t>(replaced));
    std::memcpy(table.store.data() + table.storeUsed, rgba.data(), length);
    const std::uint64_t fingerprint = renderImageFingerprintForResource(id, ImagePixels{width, height, rgba});
    (void)table.records.push({id, width, height, table.storeUsed, fingerprint});
    table.storeUsed += length;
    refreshResources(table);
    redrawCanvasViews(runtime);
    return {};
}

Status removeCanvasImage(Runtime& runtime, std::uint64_t id) {
    CanvasImageTable& table = runtime.canvasImages;
    const std::ptrdiff_t record = findRecord(table, id);
    if (record < 0) return fail(Error::CanvasImageNotFound);
    if (const auto remove = platformSlots(runtime).removeGpuSurfaceImage) {
        TRY(platformAnswer(remove(platformServices(runtime), id)));
    }
    eraseRecord(table, static_cast<std::size_t>(record));
    refreshResources(table);
    redrawCanvasViews(runtime);
    return {};
}

std::span<const ReferenceImage> canvasImageResources(const Runtime& runtime) {
    return std::span<const ReferenceImage>(runtime.canvasImages.resources.data(), runtime.canvasImages.records.size());
}

}  // namespace kelvo
