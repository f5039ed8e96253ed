// The PNG reader against files written by an independent encoder, and against broken files.

#include "app/png_decode.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "base/byte_order.hpp"
#include "raster/checksum.hpp"
#include "raster/png.hpp"

namespace kelvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

int channelsOf(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_RGB:
            return 3;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return 4;
        default:
            return 1;
    }
}

struct SampleImage {
    int width = 0;
    int height = 0;
    int depth = 8;
    int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    std::vector<Bytes> rows;  // samples as the file stores them (16-bit ones big-endian)
    std::vector<png_color> palette;
    Bytes transparency;
};

// Random samples; palette indices stay inside the palette.
SampleImage randomImage(int width, int height, int depth, int colourType, std::mt19937& random) {
    SampleImage image{width, height, depth, colourType, {}, {}, {}};
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < 40; ++i) {
            image.palette.push_back(
                {static_cast<png_byte>(random()), static_cast<png_byte>(random()), static_cast<png_byte>(random())});
        }
        for (int i = 0; i < 25; ++i) image.transparency.push_back(static_cast<std::uint8_t>(random()));
    }
    std::size_t rowBytes = static_cast<std::size_t>(width * channelsOf(colourType) * depth / 8);
    for (int y = 0; y < height; ++y) {
        Bytes row(rowBytes);
        for (auto& byte : row) byte = static_cast<std::uint8_t>(random() % (image.palette.empty() ? 256 : 40));
        image.rows.push_back(row);
    }
    return image;
}

Bytes encodeWithLibpng(const SampleImage& image, int filter) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t size) {
            static_cast<Bytes*>(png_get_io_ptr(p))
                ->insert(static_cast<Bytes*>(png_get_io_ptr(p))->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, image.width, image.height, image.depth, image.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!image.palette.empty()) {
        png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
        png_set_tRNS(png, info, image.transparency.data(), static_cast<int>(image.transparency.size()), nullptr);
    }
    png_set_filter(png, 0, filter);
    png_set_compression_buffer_size(png, 1024);  // several IDAT chunks
    png_write_info(png, info);
    for (const Bytes& row : image.rows) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The RGBA8 pixel the samples stand for: high bytes of 16-bit samples, palette colours with their
// tRNS alpha.
std::array<std::uint8_t, 4> expectedPixel(const SampleImage& image, int x, int y) {
    int step = image.depth / 8;
    const std::uint8_t* p = image.rows[y].data() + x * channelsOf(image.colourType) * step;
    auto sample = [&](int channel) { return p[channel * step]; };
    switch (image.colourType) {
        case PNG_COLOR_TYPE_GRAY:
            return {sample(0), sample(0), sample(0), 255};
        case PNG_COLOR_TYPE_RGB:
            return {sample(0), sample(1), sample(2), 255};
        case PNG_COLOR_TYPE_PALETTE: {
            const png_color& c = image.palette[p[0]];
            return {c.red, c.green, c.blue,
                    p[0] < image.transparency.size() ? image.transparency[p[0]] : std::uint8_t{255}};
        }
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return {sample(0), sample(0), sample(0), sample(1)};
        default:
            return {sample(0), sample(1), sample(2), sample(3)};
    }
}

TEST(PngDecode, EveryColourTypeDepthAndFilterAsAnotherEncoderWroteIt) {
    std::mt19937 random(7);
    const int kFilters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                            PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    for (int colourType : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY_ALPHA,
                           PNG_COLOR_TYPE_RGB_ALPHA}) {
        for (int depth : {8, 16}) {
            if (colourType == PNG_COLOR_TYPE_PALETTE && depth == 16) continue;
            for (int filter : kFilters) {
                SampleImage image = randomImage(37, 23, depth, colourType, random);
                Bytes file = encodeWithLibpng(image, filter);
                auto decoded = decodePng(file);
                std::string name = "type " + std::to_string(colourType) + " depth " + std::to_string(depth) +
                                   " filter " + std::to_string(filter);
                ASSERT_TRUE(decoded) << name;
                ASSERT_EQ(decoded->width, 37u);
                ASSERT_EQ(decoded->height, 23u);
                int wrong = 0;
                for (int y = 0; y < image.height; ++y) {
                    for (int x = 0; x < image.width; ++x) {
                        auto expected = expectedPixel(image, x, y);
                        wrong += !std::equal(expected.begin(), expected.end(),
                                             decoded->pixels.get() + 4 * (y * image.width + x));
                    }
                }
                EXPECT_EQ(wrong, 0) << name;
            }
        }
    }
}

// Files put together chunk by chunk, for the ways a file can be broken.
struct PngBuilder {
    Bytes bytes = Bytes(kPngSignature.begin(), kPngSignature.end());

    PngBuilder& chunk(std::string_view type, const Bytes& data) {
        std::uint8_t length[4];
        storeBigEndian32(length, static_cast<std::uint32_t>(data.size()));
        bytes.insert(bytes.end(), length, length + 4);
        std::size_t typeAt = bytes.size();
        bytes.insert(bytes.end(), type.begin(), type.end());
        bytes.insert(bytes.end(), data.begin(), data.end());
        std::uint8_t crc[4];
        storeBigEndian32(crc, kelvo::crc32({bytes.data() + typeAt, bytes.size() - typeAt}));
        bytes.insert(bytes.end(), crc, crc + 4);
        return *this;
    }
    PngBuilder& header(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t type,
                       std::uint8_t interlace = 0, std::uint8_t compression = 0, std::uint8_t filterMethod = 0) {
        Bytes data(13);
        storeBigEndian32(data.data(), width);
        storeBigEndian32(data.data() + 4, height);
        data[8] = depth, data[9] = type, data[10] = compression, data[11] = filterMethod, data[12] = interlace;
        return chunk("IHDR", data);
    }
    // Image data: rows of `rowBytes` zero samples behind `filter`, compressed.
    PngBuilder& data(std::size_t rows, std::size_t rowBytes, std::uint8_t filter = 0, std::size_t cut = 0) {
        Bytes raw;
        for (std::size_t y = 0; y < rows; ++y) {
            raw.push_back(filter);
            raw.insert(raw.end(), rowBytes, 1);
        }
        raw.resize(raw.size() - cut);
        Bytes packed(compressBound(raw.size()));
        uLongf size = packed.size();
        compress(packed.data(), &size, raw.data(), raw.size());
        packed.resize(size);
        return chunk("IDAT", packed);
    }
    PngBuilder& end() { return chunk("IEND", {}); }
};

TEST(PngDecode, BrokenFilesAreRefused) {
    const Bytes kPalette(6, 9);
    struct Case {
        std::string name;
        Bytes file;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"signature only", PngBuilder().bytes},
        {"no image data", PngBuilder().header(2, 2, 8, 6).end().bytes},
        {"no header", PngBuilder().data(2, 8).end().bytes},
        {"two headers", PngBuilder().header(2, 2, 8, 6).header(2, 2, 8, 6).data(2, 8).end().bytes},
        {"short header", PngBuilder().chunk("IHDR", Bytes(12)).data(2, 8).end().bytes},
        {"width 0", PngBuilder().header(0, 2, 8, 6).data(2, 0).end().bytes},
        {"width 16385", PngBuilder().header(16385, 1, 8, 0).data(1, 16385).end().bytes},
        {"depth 4", PngBuilder().header(2, 2, 4, 0).data(2, 1).end().bytes},
        {"16-bit palette", PngBuilder().header(2, 2, 16, 3).chunk("PLTE", kPalette).data(2, 4).end().bytes},
        {"colour type 1", PngBuilder().header(2, 2, 8, 1).data(2, 2).end().bytes},
        {"colour type 5", PngBuilder().header(2, 2, 8, 5).data(2, 2).end().bytes},
        {"colour type 7", PngBuilder().header(2, 2, 8, 7).data(2, 2).end().bytes},
        {"interlaced", PngBuilder().header(2, 2, 8, 6, 1).data(2, 8).end().bytes},
        {"compression 1", PngBuilder().header(2, 2, 8, 6, 0, 1).data(2, 8).end().bytes},
        {"filter method 1", PngBuilder().header(2, 2, 8, 6, 0, 0, 1).data(2, 8).end().bytes},
        {"palette missing", PngBuilder().header(2, 2, 8, 3).data(2, 2).end().bytes},
        {"empty palette", PngBuilder().header(2, 2, 8, 3).chunk("PLTE", {}).data(2, 2).end().bytes},
        {"palette of 4 bytes", PngBuilder().header(2, 2, 8, 3).chunk("PLTE", Bytes(4)).data(2, 2).end().bytes},
        {"palette of 771 bytes", PngBuilder().header(2, 2, 8, 3).chunk("PLTE", Bytes(771)).data(2, 2).end().bytes},
        {"index past the palette", PngBuilder().header(2, 2, 8, 3).chunk("PLTE", Bytes(3)).data(2, 2).end().bytes},
        {"filter 5", PngBuilder().header(2, 2, 8, 6).data(2, 8, 5).end().bytes},
        {"short image data", PngBuilder().header(2, 2, 8, 6).data(2, 8, 0, 1).end().bytes},
        {"image data not zlib", PngBuilder().header(2, 2, 8, 6).chunk("IDAT", Bytes(30, 0x55)).end().bytes},
        {"huge image, little data", PngBuilder().header(16384, 16384, 16, 6).data(1, 8).end().bytes},
    };
    Bytes cutChunk = PngBuilder().header(2, 2, 8, 6).data(2, 8).bytes;
    cutChunk.resize(cutChunk.size() - 5);
    cases.push_back({"chunk longer than the file", cutChunk});
    Bytes strayBytes = PngBuilder().header(2, 2, 8, 6).data(2, 8).bytes;
    strayBytes.insert(strayBytes.end(), {0, 0, 0});
    cases.push_back({"bytes after the last chunk", strayBytes});
    for (const Case& c : cases) {
        auto decoded = decodePng(c.file);
        EXPECT_EQ(decoded ? Error::Unexpected : decoded.error(), Error::ImageDecodeFailed) << c.name;
    }

    // What the reader leaves alone: the signature, checksums, unknown chunks, anything after IEND.
    Bytes lenient = PngBuilder().header(2, 2, 8, 6).chunk("tEXt", {'a'}).data(2, 8).end().bytes;
    lenient[0] = 'X';
    lenient[33 - 1] ^= 0xFF;  // the IHDR checksum
    lenient.insert(lenient.end(), {1, 2, 3});
    auto decoded = decodePng(lenient);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixels[0], 1);
}

}  // namespace
}  // namespace kelvo
