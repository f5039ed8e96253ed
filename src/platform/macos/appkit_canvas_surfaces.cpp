// The host functions through which the runtime's adapter reaches a canvas view: presenting raw
// pixels and packets, asking for a frame event, noting input. Each finds the view by window and
// label; a label that is not valid UTF-8 matches none.

#include <atomic>

#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/canvas/packet_present.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "render/packet/packet_entry.hpp"

namespace kelvo {

namespace {

SurfaceView* surfaceFor(KelvoAppKitHost& host, std::uint64_t windowId, const char* label, std::size_t length) {
    HostCanvasView* view = findCanvasView(host, windowId, hostText(label, length));
    return view != nullptr ? &surfaceOf(*view) : nullptr;
}

// 1 when the view was found and told, 0 for no such view.
std::int32_t tellSurface(KelvoAppKitHost& host, std::uint64_t windowId, const char* label, std::size_t length,
                         void (*tell)(SurfaceView&)) {
    SurfaceView* surface = surfaceFor(host, windowId, label, length);
    if (surface == nullptr) return 0;
    tell(*surface);
    return 1;
}

struct PacketCall {
    double width = 0;
    double height = 0;
    double scale = 1;
    std::uint8_t clear[4] = {0, 0, 0, 0};
    std::int32_t requiresRender = 0;
    std::uint32_t commandCount = 0;
    std::uint32_t unsupportedCommandCount = 0;
    std::int32_t representable = 0;
};

std::int32_t presentPacket(KelvoAppKitHost& host, std::uint64_t windowId, const char* label, std::size_t labelLength,
                           const PacketCall& call, PacketForm form, std::span<const std::uint8_t> bytes) {
    SurfaceView* surface = surfaceFor(host, windowId, label, labelLength);
    if (surface == nullptr) return -1;
    PacketEntryArgs args;
    args.width = call.width;
    args.height = call.height;
    args.scale = call.scale;
    std::copy(std::begin(call.clear), std::end(call.clear), args.clear);
    args.requiresRender = call.requiresRender != 0;
    args.commandCount = call.commandCount;
    args.unsupportedCommandCount = call.unsupportedCommandCount;
    args.representable = call.representable != 0;
    PacketTimings timings;
    const PacketEntryResult result =
        enterCanvasPacket(canvasPacketPresenter(surface->canvas), args, form, bytes, timings);
    if (result != PacketEntryResult::presented) return static_cast<std::int32_t>(result);
    // The next frame event reports how long this one took.
    surface->canvas.lastPacketDecodeNs = timings.decodeNs;
    surface->canvas.lastPacketDrawNs = timings.drawNs;
    applyWindowClearColor(host, windowId, call.clear[0], call.clear[1], call.clear[2], call.clear[3]);
    showDeferredWindowIfPending(host, windowId, "first-present");
    return 1;
}

std::span<const std::uint8_t> bytesOf(const void* data, std::size_t length) {
    if (data == nullptr) return {};
    return {static_cast<const std::uint8_t*>(data), length};
}

}  // namespace

std::int32_t kelvo_appkit_present_gpu_surface_pixels(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                                     std::size_t labelLength, std::uint32_t width, std::uint32_t height,
                                                     double scale, std::int32_t hasDirtyRect, double dirtyX,
                                                     double dirtyY, double dirtyWidth, double dirtyHeight,
                                                     const std::uint8_t* rgba, std::size_t byteLength) {
    SurfaceView* surface = surfaceFor(*host, windowId, label, labelLength);
    if (surface == nullptr) return 0;
    // Raw pixels replace whatever patches would have edited.
    surface->canvas.hasRetainedState = false;
    RawPixelFrame frame;
    frame.width = width;
    frame.height = height;
    frame.scale = scale;
    frame.hasDirtyRect = hasDirtyRect != 0;
    frame.dirtyRect = PacketRect{dirtyX, dirtyY, dirtyWidth, dirtyHeight};
    frame.rgba8 = rgba;
    frame.byteLength = byteLength;
    if (!presentPixels(surface->canvas, frame)) return 0;
    showDeferredWindowIfPending(*host, windowId, "first-present");
    return 1;
}

std::int32_t kelvo_appkit_present_gpu_surface_packet(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                                     std::size_t labelLength, double width, double height, double scale,
                                                     std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                                                     std::uint8_t alpha, std::int32_t requiresRender,
                                                     std::uint32_t commandCount, std::uint32_t unsupportedCommandCount,
                                                     std::int32_t representable, const char* json,
                                                     std::size_t jsonLength) {
    const PacketCall call{
        width,        height, scale, {red, green, blue, alpha}, requiresRender, commandCount, unsupportedCommandCount,
        representable};
    return presentPacket(*host, windowId, label, labelLength, call, PacketForm::json, bytesOf(json, jsonLength));
}

std::int32_t kelvo_appkit_present_gpu_surface_packet_binary(
    KelvoAppKitHost* host, std::uint64_t windowId, const char* label, std::size_t labelLength, double width,
    double height, double scale, std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha,
    std::int32_t requiresRender, std::uint32_t commandCount, std::uint32_t unsupportedCommandCount,
    std::int32_t representable, const std::uint8_t* packet, std::size_t packetLength) {
    // Launch timing marks the first binary packet of the process.
    static std::atomic<bool> marked{false};
    if (host->launchTiming && !marked.exchange(true)) launchMark(*host, "first_packet_present_begin");
    const PacketCall call{
        width,        height, scale, {red, green, blue, alpha}, requiresRender, commandCount, unsupportedCommandCount,
        representable};
    return presentPacket(*host, windowId, label, labelLength, call, PacketForm::binary, bytesOf(packet, packetLength));
}

std::int32_t kelvo_appkit_request_gpu_surface_frame(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                                    std::size_t labelLength) {
    return tellSurface(*host, windowId, label, labelLength, requestRetainedCanvasFrame);
}

std::int32_t kelvo_appkit_note_gpu_surface_input(KelvoAppKitHost* host, std::uint64_t windowId, const char* label,
                                                 std::size_t labelLength) {
    return tellSurface(*host, windowId, label, labelLength, noteSurfaceInputActivity);
}

}  // namespace kelvo
