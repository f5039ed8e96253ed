// The host functions of the canvas views' shared resources: uploaded images, fonts, text
// measuring and image decoding. Fonts are process-wide; the image store belongs to the host.

#include <unistd.h>

#include <array>
#include <mutex>
#include <span>
#include <string>

#include "base/posix_io.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/canvas/app_fonts.hpp"
#include "platform/macos/canvas/image_decode.hpp"
#include "platform/macos/canvas/text_measure.hpp"

namespace kelvo {

void registerApplicationFontsOnce(KelvoAppKitHost& host) {
    static std::once_flag once;
    std::call_once(once, [&host] {
        std::optional<std::string> base = host.platform->bundle.resourceFolder != nullptr
                                              ? host.platform->bundle.resourceFolder(host.platform->self)
                                              : std::nullopt;
        if (!base) {
            std::array<char, 4096> cwd{};
            if (getcwd(cwd.data(), cwd.size()) == nullptr) return;
            base = std::string(cwd.data());
        }
        Io io = posixIo();
        (void)addApplicationFonts(processFontRegistry(), io, *base);
    });
}

std::int32_t kelvo_appkit_upload_gpu_surface_image(KelvoAppKitHost* host, std::uint64_t imageId, std::uint32_t width,
                                                   std::uint32_t height, const std::uint8_t* rgba,
                                                   std::size_t byteLength) {
    if (host == nullptr) return 0;
    return uploadStoredImage(host->canvasImageStore, imageId, width, height, rgba, byteLength) ? 1 : 0;
}

std::int32_t kelvo_appkit_remove_gpu_surface_image(KelvoAppKitHost* host, std::uint64_t imageId) {
    if (host == nullptr) return 0;
    return removeStoredImage(host->canvasImageStore, imageId) ? 1 : 0;
}

std::int32_t kelvo_appkit_register_font(KelvoAppKitHost* /*host*/, std::uint64_t fontId, const std::uint8_t* bytes,
                                        std::size_t length) {
    if (bytes == nullptr) return 0;
    return registerCanvasFont(processFontRegistry(), fontId, std::span<const std::uint8_t>(bytes, length)) ? 1 : 0;
}

double kelvo_appkit_measure_text(KelvoAppKitHost* /*host*/, std::uint64_t fontId, const char* text, std::size_t length,
                                 double size) {
    if (text == nullptr || length == 0) return 0;
    return measureCanvasText(processFontRegistry(), fontId, std::string_view(text, length), size);
}

std::int32_t kelvo_appkit_measure_text_advances(KelvoAppKitHost* /*host*/, std::uint64_t fontId, const char* text,
                                                std::size_t length, float* advances, double size) {
    if (text == nullptr || advances == nullptr) return 0;
    return measureCanvasTextAdvances(processFontRegistry(), fontId, std::string_view(text, length), size,
                                     std::span<float>(advances, length))
               ? 1
               : 0;
}

std::int32_t kelvo_appkit_decode_image(KelvoAppKitHost* /*host*/, const std::uint8_t* encoded,
                                       std::size_t encodedLength, std::uint8_t* pixels, std::size_t capacity,
                                       std::uint32_t* width, std::uint32_t* height) {
    return decodeImageRgba8(encoded, encodedLength, pixels, capacity, width, height);
}

}  // namespace kelvo
