// The picture sizes a HEIF file declares, read from its boxes before a decoder sees it.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/macos/canvas/heif_extents.hpp"
#include "platform/macos/canvas/image_decode.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes image(const std::string& name) {
    const std::string bytes = testing::readData("platform/canvas/images/" + name);
    return Bytes(bytes.begin(), bytes.end());
}

// Where the `nth` (from 1) occurrence of `tag` begins.
std::size_t find(const Bytes& bytes, const std::string& tag, int nth = 1) {
    for (std::size_t at = 0; at + tag.size() <= bytes.size(); ++at) {
        if (std::equal(tag.begin(), tag.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at)) && --nth == 0) {
            return at;
        }
    }
    ADD_FAILURE() << "no " << tag;
    return 0;
}

void putBigEndian(Bytes& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (size - 1 - i)));
}

// One change of the table to the 8x8 image (see the table's head).
void change(Bytes& bytes, const std::string& what) {
    const std::string name = what.substr(0, what.find('='));
    const std::string value = what.substr(what.find('=') + 1);
    if (name == "cut") {
        bytes.resize(std::stoul(value));
    } else if (name == "tile-type") {
        std::copy(value.begin(), value.end(), bytes.begin() + static_cast<std::ptrdiff_t>(find(bytes, "hvc1")));
    } else if (name == "grid-width" || name == "grid-height") {
        // After the tag: version, flags, rows and columns, then 16-bit width and height.
        putBigEndian(bytes, find(bytes, "idat") + 8 + (name == "grid-height" ? 2 : 0), std::stoul(value), 2);
    } else {  // ispe-K-width, ispe-K-height: after the tag, version and flags, then 32-bit sides
        const int nth = name[5] - '0';
        putBigEndian(bytes, find(bytes, "ispe", nth) + 8 + (name.ends_with("height") ? 4 : 0), std::stoul(value), 4);
    }
}

TEST(HeifExtents, FilesDeclaringPicturesBeyondTheLimitAreRefused) {
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/heif_sizes.txt")) {
        ASSERT_EQ(row.size(), 3u);
        Bytes bytes = image(row[0]);
        if (row[1] != "-") change(bytes, row[1]);
        EXPECT_EQ(heifSizesWithin(bytes, kDecodedImageMaxSide) ? "within" : "refused", row[2])
            << row[0] << " " << row[1];
    }
}

// Bits written most significant first, and closed into a NAL unit with its emulation prevention.
struct BitWriter {
    std::vector<bool> bits;

    void put(std::uint64_t value, int count) {
        for (int i = count - 1; i >= 0; --i) bits.push_back(i < 64 && ((value >> i) & 1) != 0);
    }
    void putUnsignedCode(std::uint32_t value) {
        const std::uint64_t coded = std::uint64_t{value} + 1;
        int length = 0;
        while ((coded >> length) > 1) ++length;
        put(0, length);
        put(coded, length + 1);
    }
    Bytes parameterSet() const {
        Bytes rbsp((bits.size() + 7) / 8);
        for (std::size_t i = 0; i < bits.size(); ++i) {
            if (bits[i]) rbsp[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        }
        Bytes nal = {0x42, 0x01};  // a sequence parameter set
        int zeros = 0;
        for (std::uint8_t byte : rbsp) {
            if (zeros >= 2 && byte <= 3) {
                nal.push_back(3);
                zeros = 0;
            }
            nal.push_back(byte);
            zeros = byte == 0 ? zeros + 1 : 0;
        }
        return nal;
    }
};

// A parameter set, with sub-layers (whose profile and level fields come before the size) when
// asked, 4:4:4 with separate colour planes for chroma 3, and runs of zero bytes that need
// emulation prevention.
Bytes parameterSet(std::uint32_t width, std::uint32_t height, std::uint32_t chroma, bool subLayers = false) {
    BitWriter writer;
    writer.put(0, 4);                  // video parameter set id
    writer.put(subLayers ? 2 : 0, 3);  // sub-layers after the first
    writer.put(1, 1);                  // temporal id nesting
    writer.put(0, 96);                 // general profile, tier and level
    if (subLayers) {
        writer.put(0b11, 2);  // sub-layer 0: profile and level
        writer.put(0b01, 2);  // sub-layer 1: level only
        writer.put(0, 12);    // reserved up to eight sub-layers
        writer.put(0, 88 + 8);
        writer.put(0, 8);
    }
    writer.putUnsignedCode(0);  // sequence parameter set id
    writer.putUnsignedCode(chroma);
    if (chroma == 3) writer.put(1, 1);
    writer.putUnsignedCode(width);
    writer.putUnsignedCode(height);
    writer.put(1, 1);  // the rest of a parameter set
    return writer.parameterSet();
}

TEST(HeifExtents, HevcParameterSetsGiveTheirPictureSize) {
    // The tile's parameter set in the 8x8 image: its length stands before it in the configuration.
    const Bytes file = image("gradient-8x8.heic");
    const std::size_t at = find(file, std::string("\x42\x01", 2));
    const std::size_t length = std::size_t{file[at - 2]} << 8 | file[at - 1];
    const std::optional<PictureSize> tile = hevcPictureSize(std::span(file).subspan(at, length));
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->width, 64u);
    EXPECT_EQ(tile->height, 64u);

    for (const bool subLayers : {false, true}) {
        for (const std::uint32_t chroma : {1u, 3u}) {
            const Bytes nal = parameterSet(8193, 3, chroma, subLayers);
            EXPECT_NE(std::find(nal.begin() + 2, nal.end(), 3), nal.end()) << "an emulation prevention byte";
            const std::optional<PictureSize> size = hevcPictureSize(nal);
            ASSERT_TRUE(size) << chroma << subLayers;
            EXPECT_EQ(size->width, 8193u) << chroma << subLayers;
            EXPECT_EQ(size->height, 3u) << chroma << subLayers;
            EXPECT_FALSE(hevcPictureSize(Bytes(nal.begin(), nal.end() - 6))) << "cut before the size";
        }
    }
    EXPECT_FALSE(hevcPictureSize(Bytes{0x40, 0x01, 0x0C, 0x01})) << "a video parameter set";
}

// The 8x8 image with its tile's parameter set replaced by one of `width` x 64, in the decoder's
// configuration ("hvcC") or as the first NAL unit of the coded tile. The new one is padded to the
// length of the one it replaces, so that no box or offset moves.
Bytes withTileParameterSet(std::uint32_t width, bool inTheTile) {
    Bytes file = image("gradient-8x8.heic");
    const std::size_t at = inTheTile ? find(file, "mdat") + 8 : find(file, std::string("\x42\x01", 2));
    // Its length stands before it: the low bytes of the tile's 32-bit length, or the 16-bit one of
    // the configuration.
    const std::size_t length = std::size_t{file[at - 2]} << 8 | file[at - 1];
    Bytes nal = parameterSet(width, 64, 1);
    EXPECT_LE(nal.size(), length);
    nal.resize(length, 0xAA);
    std::copy(nal.begin(), nal.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
    return file;
}

TEST(HeifExtents, ParameterSetsInTheConfigurationAndInTheTileAreRead) {
    EXPECT_TRUE(heifSizesWithin(withTileParameterSet(8192, false), kDecodedImageMaxSide));
    EXPECT_FALSE(heifSizesWithin(withTileParameterSet(8193, false), kDecodedImageMaxSide));
    EXPECT_TRUE(heifSizesWithin(withTileParameterSet(8192, true), kDecodedImageMaxSide));
    EXPECT_FALSE(heifSizesWithin(withTileParameterSet(8193, true), kDecodedImageMaxSide));
}

}  // namespace
}  // namespace kelvo
