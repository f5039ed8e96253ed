#include "app/png_decode.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "base/byte_order.hpp"

namespace kelvo {

namespace {

// DEFLATE expands data by at most about 1032 to 1; image data that could not fill the declared
// image is refused before the image is allocated.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateStep = std::uint64_t{1} << 30;

struct PngHeader {
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint32_t depth = 0;
    std::uint32_t colourType = 0;
};

struct PngChunks {
    std::optional<PngHeader> header;
    std::span<const std::uint8_t> palette;
    std::span<const std::uint8_t> transparency;
    std::uint64_t imageDataBytes = 0;
};

tl::unexpected<Error> decodeFailed() { return fail(Error::ImageDecodeFailed); }

// Calls `visit(type, data)` for every chunk from byte 8 up to IEND or the end of the file; visit
// returns false to fail the walk.
template <class Visit>
Status walkChunks(std::span<const std::uint8_t> file, Visit&& visit) {
    std::uint64_t at = 8;
    while (at < file.size()) {
        if (file.size() - at < 12) return decodeFailed();
        std::uint64_t length = loadBigEndian32(file.data() + at);
        if (length > file.size() - at - 12) return decodeFailed();
        std::string_view type(reinterpret_cast<const char*>(file.data() + at + 4), 4);
        if (type == "IEND") break;
        if (!visit(type, file.subspan(at + 8, length))) return decodeFailed();
        at += 12 + length;
    }
    return {};
}

std::optional<PngHeader> readHeader(std::span<const std::uint8_t> data) {
    if (data.size() != 13) return std::nullopt;
    PngHeader header{loadBigEndian32(data.data()), loadBigEndian32(data.data() + 4), data[8], data[9]};
    bool sides = header.width >= 1 && header.width <= kPngDecodeMaxSide && header.height >= 1 &&
                 header.height <= kPngDecodeMaxSide;
    bool depth = header.depth == 8 || (header.depth == 16 && header.colourType != 3);
    bool type = header.colourType <= 6 && header.colourType != 1 && header.colourType != 5;
    bool methods = data[10] == 0 && data[11] == 0 && data[12] == 0;
    if (!sides || !depth || !type || !methods) return std::nullopt;
    return header;
}

Result<PngChunks> readChunks(std::span<const std::uint8_t> file) {
    PngChunks chunks;
    TRY(walkChunks(file, [&](std::string_view type, std::span<const std::uint8_t> data) {
        if (type == "IHDR") {
            if (chunks.header) return false;
            chunks.header = readHeader(data);
            return chunks.header.has_value();
        }
        if (type == "PLTE") {
            chunks.palette = data;
            return !data.empty() && data.size() <= 768 && data.size() % 3 == 0;
        }
        if (type == "tRNS") chunks.transparency = data;
        if (type == "IDAT") chunks.imageDataBytes += data.size();
        return true;
    }));
    if (!chunks.header || chunks.imageDataBytes == 0) return decodeFailed();
    if (chunks.header->colourType == 3 && chunks.palette.empty()) return decodeFailed();
    return chunks;
}

std::uint64_t channelsOf(std::uint32_t colourType) {
    switch (colourType) {
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return 1;
    }
}

// Inflates the IDAT chunks, in order, into exactly `out`.
Status inflateImageData(std::span<const std::uint8_t> file, std::span<std::uint8_t> out) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return fail(Error::OutOfMemory);
    std::uint64_t produced = 0;
    bool ended = false;
    Status walked = walkChunks(file, [&](std::string_view type, std::span<const std::uint8_t> data) {
        if (type != "IDAT" || ended) return true;
        while (!data.empty() && produced < out.size()) {
            std::uint64_t in = std::min<std::uint64_t>(data.size(), kInflateStep);
            std::uint64_t room = std::min<std::uint64_t>(out.size() - produced, kInflateStep);
            stream.next_in = const_cast<Bytef*>(data.data());
            stream.avail_in = static_cast<uInt>(in);
            stream.next_out = out.data() + produced;
            stream.avail_out = static_cast<uInt>(room);
            int status = inflate(&stream, Z_NO_FLUSH);
            produced += room - stream.avail_out;
            data = data.subspan(in - stream.avail_in);
            if (status == Z_STREAM_END) {
                ended = true;
                return true;
            }
            if (status != Z_OK && status != Z_BUF_ERROR) return false;
            if (status == Z_BUF_ERROR && stream.avail_in == in && stream.avail_out == room) return false;
        }
        return true;
    });
    inflateEnd(&stream);
    if (!walked || produced < out.size()) return decodeFailed();
    return {};
}

std::uint8_t paeth(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    int p = int{a} + int{b} - int{c};
    int pa = std::abs(p - a);
    int pb = std::abs(p - b);
    int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// Undoes every row's filter in place; each row keeps its leading filter byte.
Status unfilter(std::span<std::uint8_t> raw, std::uint64_t height, std::uint64_t rowBytes, std::uint64_t bpp) {
    const std::uint8_t* prior = nullptr;
    for (std::uint64_t y = 0; y < height; ++y) {
        std::uint8_t* row = raw.data() + y * (rowBytes + 1);
        std::uint8_t filter = *row++;
        for (std::uint64_t i = 0; i < rowBytes; ++i) {
            std::uint8_t left = i >= bpp ? row[i - bpp] : 0;
            std::uint8_t up = prior != nullptr ? prior[i] : 0;
            std::uint8_t upLeft = prior != nullptr && i >= bpp ? prior[i - bpp] : 0;
            switch (filter) {
                case 0:
                    break;
                case 1:
                    row[i] = static_cast<std::uint8_t>(row[i] + left);
                    break;
                case 2:
                    row[i] = static_cast<std::uint8_t>(row[i] + up);
                    break;
                case 3:
                    row[i] = static_cast<std::uint8_t>(row[i] + (left + up) / 2);
                    break;
                case 4:
                    row[i] = static_cast<std::uint8_t>(row[i] + paeth(left, up, upLeft));
                    break;
                default:
                    return decodeFailed();
            }
        }
        prior = row;
    }
    return {};
}

Status expandToRgba8(const PngChunks& chunks, std::span<const std::uint8_t> raw, std::uint8_t* out) {
    const PngHeader& header = *chunks.header;
    std::uint64_t sampleBytes = header.depth / 8;
    std::uint64_t bpp = channelsOf(header.colourType) * sampleBytes;
    std::uint64_t rowBytes = header.width * bpp;
    for (std::uint64_t y = 0; y < header.height; ++y) {
        const std::uint8_t* row = raw.data() + y * (rowBytes + 1) + 1;
        for (std::uint64_t x = 0; x < header.width; ++x, out += 4) {
            const std::uint8_t* pixel = row + x * bpp;
            auto sample = [&](std::uint64_t channel) { return pixel[channel * sampleBytes]; };
            if (header.colourType == 3) {
                std::uint64_t index = pixel[0];
                if (3 * index + 2 >= chunks.palette.size()) return decodeFailed();
                std::memcpy(out, chunks.palette.data() + 3 * index, 3);
                out[3] = index < chunks.transparency.size() ? chunks.transparency[index] : 255;
                continue;
            }
            bool grey = header.colourType == 0 || header.colourType == 4;
            bool alpha = header.colourType == 4 || header.colourType == 6;
            for (std::uint64_t c = 0; c < 3; ++c) out[c] = sample(grey ? 0 : c);
            out[3] = alpha ? sample(grey ? 1 : 3) : 255;
        }
    }
    return {};
}

}  // namespace

Result<Rgba8Image> decodePng(std::span<const std::uint8_t> file) {
    PngChunks chunks = TRY(readChunks(file));
    const PngHeader& header = *chunks.header;
    std::uint64_t bpp = channelsOf(header.colourType) * header.depth / 8;
    std::uint64_t rowBytes = header.width * bpp;
    std::uint64_t rawBytes = header.height * (1 + rowBytes);
    if (rawBytes > chunks.imageDataBytes * kMaxInflateRatio + 64) return decodeFailed();

    std::unique_ptr<std::uint8_t[]> raw(new (std::nothrow) std::uint8_t[rawBytes]);
    if (!raw) return fail(Error::OutOfMemory);
    std::span<std::uint8_t> rawSpan(raw.get(), rawBytes);
    TRY(inflateImageData(file, rawSpan));
    TRY(unfilter(rawSpan, header.height, rowBytes, bpp));

    Rgba8Image image{header.width, header.height, nullptr};
    image.pixels.reset(new (std::nothrow) std::uint8_t[header.width * header.height * 4]);
    if (!image.pixels) return fail(Error::OutOfMemory);
    TRY(expandToRgba8(chunks, rawSpan, image.pixels.get()));
    return image;
}

}  // namespace kelvo
