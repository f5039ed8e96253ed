// Writes the application's icon as its bundle carries it ("Contents/Resources/icon.png"): the
// embedded picture shaped by the code that draws the dock icon when the program runs outside a
// bundle, so both show the same pixels. The build runs it:
//
//     kelvo-bundle-icon <output.png>
//
// The PNG is compressed with zlib (the program's own writer stores its blocks as they are, which
// for 1024 x 1024 pixels would put 4 MiB into the bundle).

#include <zlib.h>

#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/app_icon.hpp"
#include "app/dock_icon_thread.hpp"
#include "base/file_replace.hpp"
#include "base/posix_io.hpp"
#include "raster/png.hpp"

namespace {

using namespace kelvo;

// Every row filtered with "sub" (each byte less the one a pixel to its left): the icon's smooth
// gradient then compresses to a few per cent of its size.
std::vector<std::uint8_t> filteredRows(const Rgba8Image& image) {
    const std::size_t stride = image.width * 4;
    std::vector<std::uint8_t> rows;
    rows.reserve(image.height * (stride + 1));
    for (std::uint64_t y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.pixels.get() + y * stride;
        rows.push_back(1);
        for (std::size_t i = 0; i < stride; ++i)
            rows.push_back(static_cast<std::uint8_t>(row[i] - (i >= 4 ? row[i - 4] : 0)));
    }
    return rows;
}

Result<std::vector<std::uint8_t>> compressedPng(const Rgba8Image& image) {
    std::vector<std::uint8_t> rows = filteredRows(image);
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), Z_BEST_COMPRESSION) !=
        Z_OK) {
        return fail(Error::OutOfMemory);
    }
    packed.resize(packedSize);

    const std::array<std::uint8_t, 13> header = pngImageHeader(image.width, image.height);
    std::vector<std::uint8_t> file(kPngSignature.size() + 3 * 12 + header.size() + packed.size());
    PngByteWriter writer{file};
    TRY(writer.write(kPngSignature));
    TRY(writePngChunk(writer, "IHDR", header));
    TRY(writePngChunk(writer, "IDAT", packed));
    TRY(writePngChunk(writer, "IEND", {}));
    file.resize(writer.length);
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvo-bundle-icon <output.png>\n");
        return 2;
    }
    Result<Rgba8Image> icon = renderDockIcon(embeddedDockIconPng());
    Result<std::vector<std::uint8_t>> png = icon ? compressedPng(*icon) : fail(icon.error());
    Status written = png ? replaceFileContent(posixIo(), argv[1], asText(*png), 0644) : fail(png.error());
    if (!written) {
        std::fprintf(stderr, "kelvo-bundle-icon: %s: %.*s\n", argv[1],
                     static_cast<int>(errorName(written.error()).size()), errorName(written.error()).data());
        return 1;
    }
    return 0;
}
