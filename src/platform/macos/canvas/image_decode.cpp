#include "platform/macos/canvas/image_decode.hpp"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>
#include <span>
#include <string_view>

#include "platform/macos/canvas/heif_extents.hpp"

namespace kelvo {

namespace {

struct LoaderSize {
    int width = 0;
    int height = 0;
    std::size_t capacity = 0;
};

bool usableSide(int side) { return side >= 1 && side <= static_cast<int>(kDecodedImageMaxSide); }

// Called once the loader knows the image's size, before it allocates the pixels: an image that
// will be refused anyway is decoded at 1 x 1, so oversized input never costs its full size.
void noteSize(GdkPixbufLoader* loader, int width, int height, gpointer context) {
    auto* size = static_cast<LoaderSize*>(context);
    size->width = width;
    size->height = height;
    bool refused =
        !usableSide(width) || !usableSide(height) || std::uint64_t(width) * std::uint64_t(height) * 4 > size->capacity;
    if (refused) gdk_pixbuf_loader_set_size(loader, 1, 1);
}

constexpr const char* kGifMimeType = "image/gif";
constexpr const char* kHeifMimeType = "image/heif";

bool startsWith(const std::uint8_t* data, std::size_t length, std::size_t at, std::string_view magic) {
    return length >= at + magic.size() && std::memcmp(data + at, magic.data(), magic.size()) == 0;
}

// The MIME type of the data's format, known by its first bytes. Only the formats images come in
// are read (PNG, JPEG, GIF, TIFF, WebP, HEIF); the other loaders installed are never reached.
// Loaders are found by MIME type: their format names differ between loaders and versions (the
// HEIF loader calls its format "heif/avif").
const char* mimeTypeOf(const std::uint8_t* data, std::size_t length) {
    if (startsWith(data, length, 0, "\x89PNG\r\n\x1A\n")) return "image/png";
    if (startsWith(data, length, 0, "\xFF\xD8\xFF")) return "image/jpeg";
    if (startsWith(data, length, 0, "GIF87a") || startsWith(data, length, 0, "GIF89a")) return kGifMimeType;
    if (startsWith(data, length, 0, std::string_view("II*\0", 4)) ||
        startsWith(data, length, 0, std::string_view("MM\0*", 4))) {
        return "image/tiff";
    }
    if (startsWith(data, length, 0, "RIFF") && startsWith(data, length, 8, "WEBP")) return "image/webp";
    if (startsWith(data, length, 4, "ftyp")) return kHeifMimeType;
    return nullptr;
}

// The GIF loader makes the whole logical screen before it announces a size, so a screen the
// decoder would refuse is refused from its header.
bool gifScreenRefused(const std::uint8_t* data, std::size_t length) {
    if (length < 10) return false;
    const int width = data[6] | data[7] << 8;
    const int height = data[8] | data[9] << 8;
    return !usableSide(width) || !usableSide(height);
}

// The first image of the data, with its size as the data declares it; null when unreadable.
GdkPixbuf* loadFirstImage(const std::uint8_t* encoded, std::size_t length, LoaderSize& size) {
    const char* mimeType = mimeTypeOf(encoded, length);
    if (mimeType == nullptr) return nullptr;
    if (mimeType == kGifMimeType && gifScreenRefused(encoded, length)) return nullptr;
    // The HEIF decoders allocate for the sizes the file declares before they announce one.
    if (mimeType == kHeifMimeType && !heifSizesWithin(std::span(encoded, length), kDecodedImageMaxSide)) {
        return nullptr;
    }
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_mime_type(mimeType, nullptr);
    if (loader == nullptr) return nullptr;
    g_signal_connect(loader, "size-prepared", G_CALLBACK(noteSize), &size);
    bool written = gdk_pixbuf_loader_write(loader, encoded, length, nullptr) != FALSE;
    bool closed = gdk_pixbuf_loader_close(loader, nullptr) != FALSE;
    GdkPixbuf* image = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (image != nullptr) g_object_ref(image);
    g_object_unref(loader);
    return image;
}

// Straight alpha through an 8-bit premultiplied value and back.
std::uint8_t roundTrip(std::uint8_t channel, std::uint8_t alpha) {
    if (alpha == 0) return 0;
    if (alpha == 255) return channel;
    unsigned premultiplied = (unsigned{channel} * alpha + 127u) / 255u;
    unsigned back = (premultiplied * 255u + alpha / 2u) / alpha;
    return static_cast<std::uint8_t>(back > 255u ? 255u : back);
}

void copyPixels(GdkPixbuf* image, std::uint8_t* out, std::uint32_t width, std::uint32_t height) {
    const int channels = gdk_pixbuf_get_n_channels(image);
    const bool hasAlpha = gdk_pixbuf_get_has_alpha(image) != FALSE;
    const int stride = gdk_pixbuf_get_rowstride(image);
    const guchar* rows = gdk_pixbuf_read_pixels(image);
    for (std::uint32_t y = 0; y < height; ++y) {
        const guchar* in = rows + static_cast<std::size_t>(y) * stride;
        std::uint8_t* row = out + static_cast<std::size_t>(y) * width * 4;
        for (std::uint32_t x = 0; x < width; ++x, in += channels, row += 4) {
            std::uint8_t alpha = hasAlpha ? in[3] : 255;
            for (int c = 0; c < 3; ++c) row[c] = roundTrip(in[c], alpha);
            row[3] = alpha;
        }
    }
}

}  // namespace

std::int32_t decodeImageRgba8(const std::uint8_t* encoded, std::size_t length, std::uint8_t* pixels,
                              std::size_t capacity, std::uint32_t* width, std::uint32_t* height) {
    if (width == nullptr || height == nullptr) return 0;
    *width = 0;
    *height = 0;
    if (encoded == nullptr || length == 0 || pixels == nullptr) return 0;
    LoaderSize size;
    size.capacity = capacity;
    GdkPixbuf* image = loadFirstImage(encoded, length, size);
    if (image == nullptr) return 0;
    if (size.width == 0 && size.height == 0) {  // a loader that never announced the size
        size.width = gdk_pixbuf_get_width(image);
        size.height = gdk_pixbuf_get_height(image);
    }
    std::int32_t result = 0;
    const bool usable = gdk_pixbuf_get_colorspace(image) == GDK_COLORSPACE_RGB &&
                        gdk_pixbuf_get_bits_per_sample(image) == 8 && gdk_pixbuf_get_n_channels(image) >= 3;
    if (usable && usableSide(size.width) && usableSide(size.height)) {
        const auto w = static_cast<std::uint32_t>(size.width);
        const auto h = static_cast<std::uint32_t>(size.height);
        *width = w;
        *height = h;
        const std::uint64_t bytes = std::uint64_t{w} * h * 4;
        if (capacity < bytes) {
            result = -1;
        } else if (gdk_pixbuf_get_width(image) == size.width && gdk_pixbuf_get_height(image) == size.height) {
            std::memset(pixels, 0, bytes);
            copyPixels(image, pixels, w, h);
            result = 1;
        } else {
            *width = 0;
            *height = 0;
        }
    }
    g_object_unref(image);
    return result;
}

}  // namespace kelvo
