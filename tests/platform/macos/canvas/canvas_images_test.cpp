// Decoding encoded images to straight-alpha RGBA8, and the host's store of uploaded images.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/macos/canvas/image_decode.hpp"
#include "platform/macos/canvas/image_store.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

// An image of straight-alpha `pixel`s (the top-left one `first` when given) encoded by gdk-pixbuf
// as `format`; formats without alpha ("jpeg", "bmp") drop it.
std::vector<std::uint8_t> encoded(int width, int height, std::array<std::uint8_t, 4> pixel, const char* format,
                                  std::optional<std::array<std::uint8_t, 4>> first = std::nullopt) {
    const std::string name = format;
    const bool alpha = name != "jpeg" && name != "bmp";
    const int channels = alpha ? 4 : 3;
    GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha ? TRUE : FALSE, 8, width, height);
    guchar* rows = gdk_pixbuf_get_pixels(image);
    const int stride = gdk_pixbuf_get_rowstride(image);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto& value = first && x == 0 && y == 0 ? *first : pixel;
            std::copy_n(value.begin(), channels, rows + y * stride + x * channels);
        }
    }
    gchar* bytes = nullptr;
    gsize length = 0;
    EXPECT_TRUE(gdk_pixbuf_save_to_buffer(image, &bytes, &length, format, nullptr, nullptr)) << format;
    std::vector<std::uint8_t> out(bytes, bytes + length);
    g_free(bytes);
    g_object_unref(image);
    return out;
}

struct Decoded {
    std::int32_t result = 0;
    std::uint32_t width = 99;
    std::uint32_t height = 99;
    std::vector<std::uint8_t> pixels;
};

Decoded decode(const std::vector<std::uint8_t>& data, std::size_t capacity) {
    Decoded out;
    out.pixels.assign(capacity + 1, 0xEE);
    out.result = decodeImageRgba8(data.data(), data.size(), out.pixels.data(), capacity, &out.width, &out.height);
    return out;
}

TEST(CanvasImageDecode, ColoursComeBackThroughPremultipliedValues) {
    Decoded png = decode(encoded(2, 1, {200, 100, 50, 0}, "png", std::array<std::uint8_t, 4>{127, 10, 200, 128}), 8);
    ASSERT_EQ(png.result, 1);
    EXPECT_EQ(png.width, 2u);
    EXPECT_EQ(png.height, 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(png.pixels.begin(), png.pixels.begin() + 8),
              (std::vector<std::uint8_t>{128, 10, 199, 128, 0, 0, 0, 0}));
    EXPECT_EQ(png.pixels[8], 0xEE);  // nothing past the image

    Decoded jpeg = decode(encoded(3, 2, {0x20, 0x80, 0xC0, 0}, "jpeg"), 24);
    ASSERT_EQ(jpeg.result, 1);
    EXPECT_EQ(jpeg.width * jpeg.height, 6u);
    EXPECT_EQ(jpeg.pixels[3], 255);
    EXPECT_NEAR(jpeg.pixels[2], 0xC0, 8);
    Decoded tiff = decode(encoded(1, 1, {9, 8, 7, 255}, "tiff"), 4);
    ASSERT_EQ(tiff.result, 1);
    EXPECT_EQ(tiff.pixels[0], 9);
    // Image formats other than the photo and web ones are not read.
    EXPECT_EQ(decode(encoded(1, 1, {9, 8, 7, 255}, "bmp"), 4).result, 0);

    // A one-pixel GIF whose only colour is transparent.
    const std::vector<std::uint8_t> gif = {'G',  'I', 'F', '8', '9',  'a',  1, 0, 1, 0,    0x80, 0, 0,    0xFF, 0xFF,
                                           0xFF, 0,   0,   0,   0x21, 0xF9, 4, 1, 0, 0,    0,    0, 0x2C, 0,    0,
                                           0,    0,   1,   0,   1,    0,    0, 2, 2, 0x44, 1,    0, 0x3B};
    Decoded one = decode(gif, 4);
    ASSERT_EQ(one.result, 1);
    EXPECT_EQ(one.width, 1u);
    EXPECT_EQ(one.pixels[3], 0);
}

// WebP and HEIF come through the loaders installed beside gdk-pixbuf, which are found by MIME
// type: their format names are their own ("heif/avif").
TEST(CanvasImageDecode, WebpAndHeifComeThroughTheirLoaders) {
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/decoded_images.txt")) {
        ASSERT_EQ(row.size(), 10u);
        const std::string bytes = testing::readData("platform/canvas/" + row[0]);
        const auto number = [&](std::size_t cell) { return static_cast<std::uint32_t>(std::stoul(row[cell])); };
        const std::uint32_t width = number(1);
        const std::uint32_t height = number(2);
        Decoded image = decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), width * height * 4);
        ASSERT_EQ(image.result, 1) << row[0];
        EXPECT_EQ(image.width, width) << row[0];
        EXPECT_EQ(image.height, height) << row[0];
        const std::size_t at = (std::size_t{number(4)} * width + number(3)) * 4;
        for (std::size_t channel = 0; channel < 4; ++channel) {
            EXPECT_NEAR(image.pixels[at + channel], number(5 + channel), number(9))
                << row[0] << " pixel " << row[3] << "," << row[4] << " channel " << channel;
        }
    }
}

TEST(CanvasImageDecode, SizesAndArgumentsAreChecked) {
    const std::vector<std::uint8_t> tenByTen = encoded(10, 10, {1, 2, 3, 255}, "png");
    Decoded small = decode(tenByTen, 399);
    EXPECT_EQ(small.result, -1);
    EXPECT_EQ(small.width, 10u);
    EXPECT_EQ(small.height, 10u);
    EXPECT_EQ(small.pixels[0], 0xEE);
    EXPECT_EQ(decode(tenByTen, 400).result, 1);

    Decoded wide = decode(encoded(8193, 1, {1, 2, 3, 255}, "png"), 1u << 20);
    EXPECT_EQ(wide.result, 0);
    EXPECT_EQ(wide.width, 0u);
    EXPECT_EQ(wide.height, 0u);
    EXPECT_EQ(decode(encoded(8192, 1, {1, 2, 3, 255}, "png"), 8192 * 4).result, 1);

    Decoded junk = decode(std::vector<std::uint8_t>(64, 0x42), 1024);
    EXPECT_EQ(junk.result, 0);
    EXPECT_EQ(junk.width, 0u);

    std::uint32_t width = 5;
    std::uint32_t height = 5;
    std::vector<std::uint8_t> pixels(400);
    EXPECT_EQ(decodeImageRgba8(tenByTen.data(), tenByTen.size(), pixels.data(), 400, nullptr, &height), 0);
    EXPECT_EQ(decodeImageRgba8(tenByTen.data(), tenByTen.size(), pixels.data(), 400, &width, nullptr), 0);
    EXPECT_EQ(decodeImageRgba8(tenByTen.data(), tenByTen.size(), nullptr, 400, &width, &height), 0);
    EXPECT_EQ(width, 0u);
    EXPECT_EQ(decodeImageRgba8(tenByTen.data(), 0, pixels.data(), 400, &width, &height), 0);
}

TEST(CanvasImageStore, RefusedUploadsLeaveTheStoreAsItWas) {
    CanvasImageMap store;
    const std::vector<std::uint8_t> pixels(2 * 3 * 4 + 1, 255);
    ASSERT_TRUE(uploadStoredImage(store, 5, 2, 3, pixels.data(), 24));
    const CanvasImageRef kept = store.at(5);
    EXPECT_FALSE(uploadStoredImage(store, 5, 2, 3, pixels.data(), 25));
    EXPECT_FALSE(uploadStoredImage(store, 5, 2, 3, pixels.data(), 23));
    EXPECT_FALSE(uploadStoredImage(store, 0, 2, 3, pixels.data(), 24));
    EXPECT_FALSE(uploadStoredImage(store, 5, 2, 3, nullptr, 24));
    EXPECT_FALSE(uploadStoredImage(store, 5, 0, 3, pixels.data(), 0));
    // Sides whose byte count wraps around 64 bits.
    EXPECT_FALSE(uploadStoredImage(store, 5, 0xFFFFFFFFu, 0xFFFFFFFFu, pixels.data(), 4));
    const std::vector<std::uint8_t> wide(8193 * 4, 255);
    EXPECT_FALSE(uploadStoredImage(store, 5, 8193, 1, wide.data(), wide.size()));
    EXPECT_EQ(store.size(), 1u);
    EXPECT_EQ(store.at(5), kept);

    ASSERT_TRUE(uploadStoredImage(store, 5, 8192, 1, wide.data(), 8192 * 4));
    EXPECT_NE(store.at(5), kept);
    EXPECT_FALSE(removeStoredImage(store, 0));
    EXPECT_TRUE(removeStoredImage(store, 5));
    EXPECT_TRUE(removeStoredImage(store, 5));
    EXPECT_TRUE(store.empty());
}

}  // namespace
}  // namespace kelvo
