#include "raster/png.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "raster/font_ttf.hpp"
#include "raster/vector.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    Bytes pixels;  // RGBA8
};

// Decodes with libpng, which checks every chunk's CRC and the zlib stream's Adler-32.
bool decodeWithLibpng(std::span<const std::uint8_t> file, Decoded& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return false;
    if (image.format != PNG_FORMAT_RGBA) {
        png_image_free(&image);
        return false;
    }
    out.width = image.width;
    out.height = image.height;
    out.pixels.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr) != 0;
}

Bytes randomPixels(std::uint64_t width, std::uint64_t height, unsigned seed) {
    std::mt19937 random(seed);
    Bytes pixels(width * height * 4);
    for (auto& b : pixels) b = static_cast<std::uint8_t>(random());
    return pixels;
}

// A 1 x 1 image: signature, IHDR, one stored block of the filtered row with its Adler-32, IEND.
TEST(PngWriter, OnePixelImageHasTheExactBytes) {
    auto png = encodePng(1, 1, Bytes{10, 20, 30, 40});
    ASSERT_TRUE(png);
    EXPECT_EQ(std::string(png->bytes().begin(), png->bytes().end()), testing::readData("raster/one_pixel.png"));
}

TEST(PngWriter, StoredBlocksSplitAt65535BytesAndLibpngReadsThemBack) {
    struct Case {
        std::uint64_t width;
        std::uint64_t height;
        std::vector<std::uint32_t> blocks;
    };
    // (4 x 64 + 1) x 255 = 65,535 bytes: one block; 13,108 rows of one pixel: 65,540 bytes.
    const Case cases[] = {
        {64, 255, {65535}}, {1, 13107, {65535}}, {1, 13108, {65535, 5}}, {300, 200, {65535, 65535, 65535, 43595}}};
    for (const Case& c : cases) {
        Bytes pixels = randomPixels(c.width, c.height, 3);
        auto png = encodePng(c.width, c.height, pixels);
        ASSERT_TRUE(png);
        std::uint64_t raw = (4 * c.width + 1) * c.height;
        ASSERT_EQ(png->size, raw + 5 * c.blocks.size() + 63);
        const std::uint8_t* at = png->data.get() + 43;
        for (std::size_t i = 0; i < c.blocks.size(); ++i) {
            std::uint32_t length = at[1] | (at[2] << 8);
            std::uint32_t complement = at[3] | (at[4] << 8);
            EXPECT_EQ(at[0], i + 1 == c.blocks.size() ? 1 : 0);
            EXPECT_EQ(length, c.blocks[i]);
            EXPECT_EQ(complement, 0xffffu ^ length);
            at += 5 + length;
        }
        Decoded decoded;
        ASSERT_TRUE(decodeWithLibpng(png->bytes(), decoded));
        EXPECT_EQ(decoded.pixels, pixels);
    }
}

TEST(PngWriter, ChecksumsAgreeWithZlibAtEveryLengthAndAlignment) {
    Bytes data = randomPixels(1100, 1, 9);
    for (std::size_t offset = 0; offset < 16; offset += 3) {
        for (std::size_t length = 0; length + offset <= 4000; length += length < 200 ? 1 : 97) {
            std::span<const std::uint8_t> part(data.data() + offset, length);
            std::uint32_t zlib_crc = ::crc32(0, part.data(), static_cast<uInt>(length));
            std::uint32_t zlib_adler = ::adler32(1, part.data(), static_cast<uInt>(length));
            ASSERT_EQ(crc32(part), zlib_crc) << length;
            ASSERT_EQ(~crc32UpdatePortable(0xffffffffu, part), zlib_crc) << length;
            ASSERT_EQ(adler32(part), zlib_adler) << length;
            ASSERT_EQ(adler32UpdatePortable(1, part), zlib_adler) << length;
        }
    }
    // Long runs of 0xff, where the deferred modulo of Adler-32 comes closest to overflowing.
    Bytes ones(1 << 20, 0xff);
    EXPECT_EQ(adler32(ones), ::adler32(1, ones.data(), static_cast<uInt>(ones.size())));
    EXPECT_EQ(crc32(ones), ::crc32(0, ones.data(), static_cast<uInt>(ones.size())));
    // The running forms continue across any split.
    std::span<const std::uint8_t> whole(data.data(), 1000);
    for (std::size_t split : {0u, 1u, 63u, 64u, 300u, 999u}) {
        EXPECT_EQ(~crc32Update(crc32Update(0xffffffffu, whole.first(split)), whole.subspan(split)), crc32(whole));
        EXPECT_EQ(adler32Update(adler32Update(1, whole.first(split)), whole.subspan(split)), adler32(whole));
    }
}

TEST(PngWriter, RefusesBadSizesAndShortBuffers) {
    const Bytes pixel(4, 0);
    struct Case {
        std::uint64_t width;
        std::uint64_t height;
        Error error;
    };
    const Case cases[] = {
        {0, 1, Error::InvalidPngDimensions},
        {1, 0, Error::InvalidPngDimensions},
        {1048577, 1, Error::InvalidPngDimensions},
        {1, 1048577, Error::InvalidPngDimensions},
        // Within the side limit but past what one chunk can declare: refused before allocating.
        {1048576, 1048576, Error::InvalidPngDimensions},
        {23170, 23170, Error::InvalidPngDimensions},
        {2, 1, Error::PngPixelBufferTooSmall},
    };
    for (const Case& c : cases) {
        auto png = encodePng(c.width, c.height, pixel);
        ASSERT_FALSE(png) << c.width << "x" << c.height;
        EXPECT_EQ(png.error(), c.error);
    }
    EXPECT_TRUE(pngFileSize(1048576, 1));
    EXPECT_TRUE(pngFileSize(16384, 8192));
    auto largest = pngFileSize(23169, 23169);
    ASSERT_TRUE(largest);
    EXPECT_LE(*largest - 63 + 6, kPngMaxChunkLength);

    Bytes out(72);
    auto small = encodePngInto(1, 1, pixel, out);
    ASSERT_FALSE(small);
    EXPECT_EQ(small.error(), Error::NoSpaceLeft);
    out.resize(73);
    EXPECT_EQ(*encodePngInto(1, 1, pixel, out), 73u);
}

// One glyph of each embedded face, drawn at 48 px and written as PNG, decodes to its size with ink
// where the outline is.
TEST(PngWriter, GlyphsOfBothFacesRoundTrip) {
    for (const Face* face : {&geistRegularFace(), &geistMonoFace()}) {
        const int size = 64;
        Bytes pixels(size * size * 4, 255);
        auto path = std::make_unique<GlyphPathBuilder>();
        ASSERT_TRUE(
            glyphOutlineInner(*face, glyphIndex(*face, 'H'), glyphTransform(*face, 48, {8, 52}), path->sink(), 0));
        auto raster = std::make_unique<Rasterizer>();
        raster->clear();
        ASSERT_TRUE(accumulateFillEdges(*raster, path->path(), kIdentityAffine));
        int inked = 0;
        ASSERT_TRUE(sweep(*raster, {0, 0, size, size}, FillRule::winding, size, size, [&](int x, int y, float c) {
            std::uint8_t* p = &pixels[static_cast<std::size_t>((y * size + x) * 4)];
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(255 - static_cast<int>(c * 255 + 0.5f));
            if (c == 1.0f) ++inked;
        }));
        EXPECT_GT(inked, 200);
        auto png = encodePng(size, size, pixels);
        ASSERT_TRUE(png);
        Decoded decoded;
        ASSERT_TRUE(decodeWithLibpng(png->bytes(), decoded));
        ASSERT_EQ(decoded.width, 64u);
        ASSERT_EQ(decoded.height, 64u);
        EXPECT_EQ(decoded.pixels, pixels);
        // The left stem of the H, a little above the baseline, is solid ink; the middle of its
        // upper counter is paper.
        auto at = [&](int x, int y) { return decoded.pixels[static_cast<std::size_t>((y * size + x) * 4)]; };
        int stem = -1;
        for (int x = 0; x < size && stem < 0; ++x) {
            if (at(x, 45) == 0) stem = x;
        }
        ASSERT_GE(stem, 8);
        EXPECT_EQ(at(stem, 25), 0);
        EXPECT_EQ(at(size / 2 - 4, 22), 255);
        EXPECT_EQ(at(2, 2), 255);
    }
}

}  // namespace
}  // namespace kelvo
