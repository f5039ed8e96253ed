#include "raster/png.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/byte_order.hpp"

namespace kelvo {
namespace {

std::uint64_t rawDataSize(std::uint64_t width, std::uint64_t height) { return (4 * width + 1) * height; }

std::uint64_t storedSize(std::uint64_t raw) { return raw + 5 * ((raw + kPngStoredBlockMax - 1) / kPngStoredBlockMax); }

}  // namespace

Status PngByteWriter::write(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > out.size() - length) return fail(Error::NoSpaceLeft);
    if (!bytes.empty()) std::memcpy(out.data() + length, bytes.data(), bytes.size());
    length += bytes.size();
    return {};
}

Status PngByteWriter::writeU32(std::uint32_t value) {
    std::uint8_t bytes[4];
    storeBigEndian32(bytes, value);
    return write(bytes);
}

Status writePngChunk(PngByteWriter& writer, const char (&type)[5], std::span<const std::uint8_t> data) {
    if (data.size() > kPngMaxChunkLength) return fail(Error::InvalidPngDimensions);
    const auto* type_bytes = reinterpret_cast<const std::uint8_t*>(type);
    TRY(writer.writeU32(static_cast<std::uint32_t>(data.size())));
    TRY(writer.write({type_bytes, 4}));
    TRY(writer.write(data));
    std::uint32_t crc = crc32Update(0xffffffffu, {type_bytes, 4});
    crc = crc32Update(crc, data);
    return writer.writeU32(~crc);
}

std::array<std::uint8_t, 13> pngImageHeader(std::uint64_t width, std::uint64_t height) {
    std::array<std::uint8_t, 13> header{};  // compression, filter and interlace methods 0
    storeBigEndian32(header.data(), static_cast<std::uint32_t>(width));
    storeBigEndian32(header.data() + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;  // bit depth
    header[9] = 6;  // RGB with alpha
    return header;
}

Result<std::uint64_t> pngFileSize(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0 || width > kPngMaxDimension || height > kPngMaxDimension) {
        return fail(Error::InvalidPngDimensions);
    }
    // The IDAT length field holds S + 6 and a chunk may declare at most 2^31 - 1 bytes.
    std::uint64_t stored = storedSize(rawDataSize(width, height));
    if (stored + 6 > kPngMaxChunkLength) return fail(Error::InvalidPngDimensions);
    return stored + 63;
}

Result<std::size_t> encodePngInto(std::uint64_t width, std::uint64_t height, std::span<const std::uint8_t> pixels,
                                  std::span<std::uint8_t> out) {
    std::uint64_t file_size = TRY(pngFileSize(width, height));
    std::uint64_t row_bytes = 4 * width;
    if (pixels.size() < row_bytes * height) return fail(Error::PngPixelBufferTooSmall);
    if (out.size() < file_size) return fail(Error::NoSpaceLeft);

    PngByteWriter writer{out, 0};
    TRY(writer.write(kPngSignature));
    TRY(writePngChunk(writer, "IHDR", pngImageHeader(width, height)));

    std::uint64_t raw = rawDataSize(width, height);
    std::uint64_t stored = storedSize(raw);
    TRY(writer.writeU32(static_cast<std::uint32_t>(stored + 6)));
    const std::uint8_t idat_start[6] = {'I', 'D', 'A', 'T', 0x78, 0x01};
    TRY(writer.write(idat_start));
    std::uint32_t crc = crc32Update(0xffffffffu, idat_start);
    std::uint32_t adler = 1;

    std::uint8_t* base = out.data();
    std::size_t at = writer.length;
    const std::uint8_t* source = pixels.data();
    std::uint64_t row_length = row_bytes + 1;  // the filter byte, then the pixels
    std::uint64_t column = 0;                  // position within the current row
    std::uint64_t remaining = raw;
    while (remaining > 0) {
        auto block = static_cast<std::uint32_t>(std::min(remaining, kPngStoredBlockMax));
        remaining -= block;
        std::uint8_t* start = base + at;
        start[0] = remaining == 0 ? 1 : 0;
        start[1] = static_cast<std::uint8_t>(block);
        start[2] = static_cast<std::uint8_t>(block >> 8);
        start[3] = static_cast<std::uint8_t>(~block);
        start[4] = static_cast<std::uint8_t>(~block >> 8);
        std::uint8_t* data = start + 5;
        std::uint64_t filled = 0;
        while (filled < block) {
            if (column == 0) {
                data[filled++] = 0;  // filter type: none
                column = 1;
                continue;
            }
            std::uint64_t take = std::min<std::uint64_t>(block - filled, row_length - column);
            std::memcpy(data + filled, source, take);
            source += take;
            filled += take;
            column += take;
            if (column == row_length) column = 0;
        }
        adler = adler32Update(adler, {data, block});
        crc = crc32Update(crc, {start, block + 5u});
        at += block + 5u;
    }
    storeBigEndian32(base + at, adler);
    crc = crc32Update(crc, {base + at, 4});
    storeBigEndian32(base + at + 4, ~crc);
    writer.length = at + 8;
    TRY(writePngChunk(writer, "IEND", {}));
    return writer.length;
}

Result<PngBytes> encodePng(std::uint64_t width, std::uint64_t height, std::span<const std::uint8_t> pixels) {
    std::uint64_t file_size = TRY(pngFileSize(width, height));
    if (pixels.size() < 4 * width * height) return fail(Error::PngPixelBufferTooSmall);
    PngBytes png;
    png.data.reset(new (std::nothrow) std::uint8_t[file_size]);
    if (!png.data) return fail(Error::OutOfMemory);
    png.size = TRY(encodePngInto(width, height, pixels, {png.data.get(), static_cast<std::size_t>(file_size)}));
    return png;
}

}  // namespace kelvo
