#include <cmath>
#include <memory>
#include <new>

#include "automation/canvas_commands.hpp"
#include "automation/command_words.hpp"
#include "base/file_replace.hpp"
#include "base/number_text.hpp"
#include "raster/png.hpp"
#include "render/frame_plan.hpp"
#include "render/reference.hpp"
#include "render/reference_frame.hpp"
#include "runtime/canvas/canvas_frames.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/canvas/widget_targets.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kScreenshotPrefix = "screenshot-";
constexpr std::string_view kScreenshotSuffix = ".png";
constexpr std::size_t kScreenshotNameBytes = 128;
constexpr double kMaxPixelSide = static_cast<double>(kReferenceFrameMaxSide);

struct ScreenshotRequest {
    std::string_view label;
    std::optional<float> scale;
};

Result<ScreenshotRequest> parseScreenshotArguments(std::string_view arguments) {
    CommandWords words(arguments);
    ScreenshotRequest request;
    request.label = words.next();
    if (request.label.empty()) return fail(Error::InvalidCommand);
    if (!words.done()) {
        std::optional<float> scale = parseF32(words.next());
        if (!scale || !std::isfinite(*scale) || !(*scale > 0) || !words.done()) return fail(Error::InvalidCommand);
        request.scale = scale;
    }
    return request;
}

// Whole pixels of a side `points` x `scale` long: finite, above 0 and at most 16,384.
Result<std::uint64_t> pixelSide(float points, float scale) {
    const double pixels = static_cast<double>(points) * static_cast<double>(scale);
    if (!std::isfinite(pixels) || !(pixels > 0) || !(pixels <= kMaxPixelSide)) {
        return fail(Error::InvalidGpuSurfacePixels);
    }
    return static_cast<std::uint64_t>(pixels);
}

// "screenshot-" + the label, bytes other than ASCII letters, digits, '-', '.' and '_' as '-', + ".png".
Result<InlineBytes<kScreenshotNameBytes>> screenshotFileName(std::string_view label) {
    if (label.empty()) return fail(Error::InvalidCommand);
    if (label.size() > kMaxViewLabel) return fail(Error::CommandTooLarge);
    InlineBytes<kScreenshotNameBytes> name;
    (void)name.assign(kScreenshotPrefix);
    for (char byte : label) {
        const bool kept = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                          (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_';
        (void)name.append(std::string_view(kept ? &byte : "-", 1));
    }
    (void)name.append(kScreenshotSuffix);
    return name;
}

// Render commands are planned in points; the picture is drawn in device pixels.
RenderCommand inPixels(RenderCommand command, float scale) {
    if (scale == 1.0f) return command;
    command.transform = composeAffine(Affine{scale, 0, 0, scale, 0, 0}, command.transform);
    const auto scaled = [scale](Rect rect) {
        return Rect{rect.x * scale, rect.y * scale, rect.width * scale, rect.height * scale};
    };
    command.clip = scaled(command.clip);
    command.bounds = scaled(command.bounds);
    return command;
}

struct Pixels {
    std::unique_ptr<std::uint8_t[]> pixels;
    std::unique_ptr<std::uint8_t[]> scratch;
    std::uint64_t bytes = 0;
};

Result<Pixels> allocatePixels(std::uint64_t width, std::uint64_t height) {
    Pixels buffers;
    buffers.bytes = width * height * 4;
    if (buffers.bytes == 0) return buffers;
    buffers.pixels.reset(new (std::nothrow) std::uint8_t[buffers.bytes]());
    buffers.scratch.reset(new (std::nothrow) std::uint8_t[buffers.bytes]());
    if (!buffers.pixels || !buffers.scratch) return fail(Error::OutOfMemory);
    return buffers;
}

// Draws the view's whole frame: planned afresh as a full repaint, whatever the view last
// presented (a settled view plans no change and a patch covers only what changed), without
// touching the view's presented state.
Result<PngBytes> paintView(Runtime& runtime, std::size_t viewIndex, float width, float height, float scale,
                           std::uint64_t& pixelWidth, std::uint64_t& pixelHeight) {
    const std::uint64_t w = TRY(pixelSide(width, scale));
    const std::uint64_t h = TRY(pixelSide(height, scale));
    Pixels buffers = TRY(allocatePixels(w, h));

    CanvasFrameRequest request;
    request.frame_tag = runtime.frameCounter;
    const std::int64_t now = runtimeWallClockNs(runtime);
    request.frame_time = now > 0 ? static_cast<std::uint64_t>(now) : 0;
    request.width = width;
    request.height = height;
    request.scale = scale;
    request.force_full_repaint = true;
    const CanvasFrame frame = TRY(planCanvasFrameForView(runtime, viewIndex, request, canvasFrameStorageForThread(),
                                                         CanvasFramePurpose::screenshot));

    const float p = std::isfinite(frame.scale) && frame.scale > 0 ? frame.scale : 1.0f;
    pixelWidth = TRY(pixelSide(frame.width, p));
    pixelHeight = TRY(pixelSide(frame.height, p));
    if (pixelWidth * pixelHeight * 4 > buffers.bytes) return fail(Error::ReferenceRenderSurfaceTooSmall);

    ReferenceRenderSurface surface;
    surface.width = pixelWidth;
    surface.height = pixelHeight;
    surface.pixels = {buffers.pixels.get(), pixelWidth * pixelHeight * 4};
    surface.scratch = {buffers.scratch.get(), pixelWidth * pixelHeight * 4};
    surface.images = frame.image_resources;
    surface.fonts = frame.font_resources;
    clearReferenceSurface(surface, canvasClearColor(runtime, runtime.views[viewIndex]));
    for (const RenderCommand& command : frame.render_commands) {
        TRY(renderCommand(surface, inPixels(command, p), std::nullopt));
    }
    return encodePng(pixelWidth, pixelHeight, surface.pixels);
}

Status publishFile(const AutomationServer& server, std::string_view name, std::span<const std::uint8_t> bytes) {
    InlineBytes<kMaxIoPath> path;
    if (!path.assign(server.folder.view()) || !path.append("/") || !path.append(name) ||
        path.size() + kReplacementSuffix.size() >= kMaxIoPath) {
        return fail(Error::NameTooLong);
    }
    TRY(ioMakePath(server.io, server.folder.view(), kAutomationFolderMode));
    return replaceFileContent(server.io, path.view(),
                              std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                              kAutomationFileMode);
}

}  // namespace

Status publishAutomationScreenshot(Runtime& runtime, const AutomationServer& server, std::string_view arguments) {
    const ScreenshotRequest request = TRY(parseScreenshotArguments(arguments));
    const std::size_t viewIndex = TRY(canvasViewIndexByLabel(runtime, request.label));
    const RuntimeView& view = runtime.views[viewIndex];
    float width = view.gpuWidth;
    float height = view.gpuHeight;
    if (!(width > 0) || !(height > 0)) {
        width = view.frame.width;
        height = view.frame.height;
    }
    std::uint64_t pixelWidth = 0;
    std::uint64_t pixelHeight = 0;
    const PngBytes png =
        TRY(paintView(runtime, viewIndex, width, height, request.scale.value_or(1.0f), pixelWidth, pixelHeight));

    const InlineBytes<kScreenshotNameBytes> name = TRY(screenshotFileName(request.label));
    TRY(publishFile(server, name.view(), png.bytes()));

    if (runtime.sessionRecorder != nullptr)
        runtime.sessionRecorder->recordScreenshot(request.label, request.scale, png.bytes());
    runtimeTrace(runtime, "automation.screenshot", "screenshot published",
                 {traceText("view", request.label), traceU64("width", pixelWidth), traceU64("height", pixelHeight),
                  traceU64("bytes", png.size)});
    return {};
}

}  // namespace kelvo
