#include "platform/macos/canvas/heif_extents.hpp"

#include <vector>

namespace kelvo {

namespace {

constexpr std::uint32_t fourcc(const char (&name)[5]) {
    return std::uint32_t{std::uint8_t(name[0])} << 24 | std::uint32_t{std::uint8_t(name[1])} << 16 |
           std::uint32_t{std::uint8_t(name[2])} << 8 | std::uint32_t{std::uint8_t(name[3])};
}

// Big-endian fields read in order; a read past the end leaves `ok` false and answers 0.
struct Reader {
    std::span<const std::uint8_t> bytes;
    std::size_t at = 0;
    bool ok = true;

    std::uint64_t read(std::size_t count) {
        if (!ok || bytes.size() - at < count) {
            ok = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < count; ++i) value = value << 8 | bytes[at + i];
        at += count;
        return value;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(read(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(read(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(read(4)); }
    std::span<const std::uint8_t> take(std::size_t count) {
        if (!ok || bytes.size() - at < count) {
            ok = false;
            return {};
        }
        at += count;
        return bytes.subspan(at - count, count);
    }
    std::span<const std::uint8_t> rest() const { return ok ? bytes.subspan(at) : std::span<const std::uint8_t>{}; }
};

struct Box {
    std::uint32_t type = 0;
    std::span<const std::uint8_t> body;
};

// Hands each box of `bytes` to `visit` in order; false when a box runs past the end.
template <typename Visit>
bool forEachBox(std::span<const std::uint8_t> bytes, Visit&& visit) {
    Reader reader{bytes};
    while (reader.at < bytes.size()) {
        const std::size_t start = reader.at;
        std::uint64_t size = reader.u32();
        const std::uint32_t type = reader.u32();
        if (size == 1) {
            size = reader.read(8);
        } else if (size == 0) {
            size = bytes.size() - start;  // to the end
        }
        if (!reader.ok || size < reader.at - start || size > bytes.size() - start) return false;
        visit(Box{type, bytes.subspan(reader.at, start + size - reader.at)});
        reader.at = start + size;
    }
    return true;
}

// The body of a full box, after its version and flags.
std::span<const std::uint8_t> fullBoxBody(std::span<const std::uint8_t> body, std::uint8_t& version) {
    Reader reader{body};
    version = reader.u8();
    reader.read(3);
    return reader.rest();
}

struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct Location {
    std::uint32_t item = 0;
    std::uint8_t method = 0;  // 0 the file, 1 the "idat" box, 2 another item
    std::uint16_t dataReference = 0;
    std::uint64_t baseOffset = 0;
    std::vector<Extent> extents;
};

struct Item {
    std::uint32_t id = 0;
    std::uint32_t type = 0;
};

// What of the "meta" box sizes pictures.
struct Meta {
    std::vector<Item> items;
    std::vector<Location> locations;
    std::span<const std::uint8_t> idat;
    std::vector<std::uint8_t> nalLengthSizes;  // of the HEVC configurations
    bool readable = true;
    bool within = true;
};

bool readItemInfo(std::span<const std::uint8_t> body, Meta& meta) {
    std::uint8_t version = 0;
    Reader reader{fullBoxBody(body, version)};
    reader.read(version == 0 ? 2 : 4);  // the entry count; the boxes that follow are counted instead
    if (!reader.ok) return false;
    bool read = true;
    const bool boxes = forEachBox(reader.rest(), [&](const Box& box) {
        if (box.type != fourcc("infe")) return;
        std::uint8_t entryVersion = 0;
        Reader entry{fullBoxBody(box.body, entryVersion)};
        if (entryVersion < 2) return;  // entries of the first versions name no item type
        Item item;
        item.id = entryVersion == 2 ? entry.u16() : entry.u32();
        entry.u16();  // protection index
        item.type = entry.u32();
        read = read && entry.ok;
        meta.items.push_back(item);
    });
    return boxes && read;
}

bool readItemLocations(std::span<const std::uint8_t> body, Meta& meta) {
    std::uint8_t version = 0;
    Reader reader{fullBoxBody(body, version)};
    if (version > 2) return false;
    const std::uint8_t sizes = reader.u8();
    const std::uint8_t more = reader.u8();
    const std::size_t offsetSize = sizes >> 4;
    const std::size_t lengthSize = sizes & 0xF;
    const std::size_t baseOffsetSize = more >> 4;
    const std::size_t indexSize = version > 0 ? (more & 0xF) : 0;
    const std::uint32_t count = version < 2 ? reader.u16() : reader.u32();
    for (std::uint32_t i = 0; i < count && reader.ok; ++i) {
        Location location;
        location.item = version < 2 ? reader.u16() : reader.u32();
        if (version > 0) location.method = reader.u16() & 0xF;
        location.dataReference = reader.u16();
        location.baseOffset = reader.read(baseOffsetSize);
        const std::uint16_t extents = reader.u16();
        for (std::uint16_t e = 0; e < extents && reader.ok; ++e) {
            reader.read(indexSize);
            Extent extent;
            extent.offset = reader.read(offsetSize);
            extent.length = reader.read(lengthSize);
            location.extents.push_back(extent);
        }
        meta.locations.push_back(std::move(location));
    }
    return reader.ok;
}

// Every picture size of the HEVC configuration's parameter sets lies within `maxSide`.
bool hevcConfigurationWithin(std::span<const std::uint8_t> body, std::uint32_t maxSide, Meta& meta) {
    Reader reader{body};
    reader.take(21);  // version, profile, level and format fields
    meta.nalLengthSizes.push_back(static_cast<std::uint8_t>((reader.u8() & 3) + 1));
    const std::uint8_t arrays = reader.u8();
    for (std::uint8_t a = 0; a < arrays && reader.ok; ++a) {
        const bool parameterSets = (reader.u8() & 0x3F) == 33;
        const std::uint16_t units = reader.u16();
        for (std::uint16_t u = 0; u < units && reader.ok; ++u) {
            const std::span<const std::uint8_t> nal = reader.take(reader.u16());
            if (!reader.ok || !parameterSets) continue;
            const std::optional<PictureSize> size = hevcPictureSize(nal);
            if (!size || size->width > maxSide || size->height > maxSide) return false;
        }
    }
    return reader.ok;
}

bool readProperties(std::span<const std::uint8_t> body, std::uint32_t maxSide, Meta& meta) {
    return forEachBox(body, [&](const Box& box) {
        if (box.type != fourcc("ipco")) return;
        const bool boxes = forEachBox(box.body, [&](const Box& property) {
            if (property.type == fourcc("ispe")) {
                std::uint8_t version = 0;
                Reader reader{fullBoxBody(property.body, version)};
                const std::uint32_t width = reader.u32();
                const std::uint32_t height = reader.u32();
                meta.readable = meta.readable && reader.ok;
                meta.within = meta.within && width <= maxSide && height <= maxSide;
            } else if (property.type == fourcc("hvcC")) {
                meta.within = meta.within && hevcConfigurationWithin(property.body, maxSide, meta);
            }
        });
        meta.readable = meta.readable && boxes;
    });
}

// An item's bytes as a decoder reads them: its extents one after another, in the file or in the
// "idat" box. Nothing for data elsewhere (in another item or another file) or out of range.
std::optional<std::vector<std::uint8_t>> itemData(const Meta& meta, std::uint32_t id,
                                                  std::span<const std::uint8_t> file) {
    for (const Location& location : meta.locations) {
        if (location.item != id) continue;
        if (location.dataReference != 0 || location.method > 1) return std::nullopt;
        const std::span<const std::uint8_t> source = location.method == 0 ? file : meta.idat;
        std::vector<std::uint8_t> data;
        for (const Extent& extent : location.extents) {
            const std::uint64_t start = location.baseOffset + extent.offset;
            if (start < location.baseOffset || start > source.size()) return std::nullopt;
            const std::uint64_t length = extent.length == 0 ? source.size() - start : extent.length;
            if (length > source.size() - start) return std::nullopt;
            data.insert(data.end(), source.begin() + static_cast<std::ptrdiff_t>(start),
                        source.begin() + static_cast<std::ptrdiff_t>(start + length));
        }
        return data;
    }
    return std::nullopt;
}

// The canvas of a grid ("grid") or an overlay ("iovl"): its output size follows a header, 16-bit
// fields unless the first flag asks for 32; an overlay's four fill values come first.
bool canvasWithin(std::span<const std::uint8_t> data, bool overlay, std::uint32_t maxSide) {
    Reader reader{data};
    reader.u8();  // version
    const std::size_t field = (reader.u8() & 1) != 0 ? 4 : 2;
    reader.read(overlay ? 8 : 2);  // fill values; or rows and columns
    const std::uint64_t width = reader.read(field);
    const std::uint64_t height = reader.read(field);
    return reader.ok && width <= maxSide && height <= maxSide;
}

// Every sequence parameter set among the coded item's NAL units lies within `maxSide`.
bool codedItemWithin(std::span<const std::uint8_t> data, std::size_t lengthSize, std::uint32_t maxSide) {
    Reader reader{data};
    while (reader.at < data.size()) {
        const std::uint64_t length = reader.read(lengthSize);
        if (!reader.ok || length > data.size() - reader.at) return true;  // the decoder stops here too
        const std::span<const std::uint8_t> nal = reader.take(static_cast<std::size_t>(length));
        if (nal.size() < 2 || ((nal[0] >> 1) & 0x3F) != 33) continue;
        const std::optional<PictureSize> size = hevcPictureSize(nal);
        if (!size || size->width > maxSide || size->height > maxSide) return false;
    }
    return true;
}

// Bits of an RBSP, most significant first; a read past the end leaves `ok` false.
struct Bits {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    bool ok = true;

    std::uint64_t read(int count) {
        std::uint64_t value = 0;
        for (int i = 0; i < count; ++i) {
            if (at >= bytes.size() * 8) {
                ok = false;
                return 0;
            }
            value = value << 1 | ((bytes[at / 8] >> (7 - at % 8)) & 1);
            ++at;
        }
        return value;
    }
    void skip(int count) {
        for (; count > 32; count -= 32) read(32);
        read(count);
    }
    // An unsigned Exp-Golomb code; fails beyond 32 bits.
    std::uint64_t readUnsignedCode() {
        int zeros = 0;
        while (ok && read(1) == 0) {
            if (++zeros > 32) ok = false;
        }
        return ok ? (std::uint64_t{1} << zeros) - 1 + read(zeros) : 0;
    }
};

}  // namespace

std::optional<PictureSize> hevcPictureSize(std::span<const std::uint8_t> nal) {
    if (nal.size() < 2 || ((nal[0] >> 1) & 0x3F) != 33) return std::nullopt;
    Bits bits;
    int zeros = 0;
    for (std::uint8_t byte : nal.subspan(2)) {  // without the emulation prevention bytes
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        bits.bytes.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    bits.skip(4);  // video parameter set id
    const int subLayers = static_cast<int>(bits.read(3));
    bits.skip(1);
    // Profile, tier and level: the general part, then what each sub-layer carries.
    bits.skip(96);
    bool profilePresent[8] = {};
    bool levelPresent[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profilePresent[i] = bits.read(1) != 0;
        levelPresent[i] = bits.read(1) != 0;
    }
    if (subLayers > 0) bits.skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i) bits.skip((profilePresent[i] ? 88 : 0) + (levelPresent[i] ? 8 : 0));
    bits.readUnsignedCode();                         // sequence parameter set id
    if (bits.readUnsignedCode() == 3) bits.skip(1);  // 4:4:4 with separate colour planes
    const std::uint64_t width = bits.readUnsignedCode();
    const std::uint64_t height = bits.readUnsignedCode();
    if (!bits.ok || width > UINT32_MAX || height > UINT32_MAX) return std::nullopt;
    return PictureSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

bool heifSizesWithin(std::span<const std::uint8_t> file, std::uint32_t maxSide) {
    std::span<const std::uint8_t> metaBody;
    bool found = false;
    if (!forEachBox(file,
                    [&](const Box& box) {
                        if (box.type != fourcc("meta") || found) return;
                        found = true;
                        std::uint8_t version = 0;
                        metaBody = fullBoxBody(box.body, version);
                    }) ||
        !found) {
        return false;
    }
    Meta meta;
    meta.readable = forEachBox(metaBody,
                               [&](const Box& box) {
                                   if (box.type == fourcc("iinf"))
                                       meta.readable = meta.readable && readItemInfo(box.body, meta);
                                   if (box.type == fourcc("iloc"))
                                       meta.readable = meta.readable && readItemLocations(box.body, meta);
                                   if (box.type == fourcc("idat")) meta.idat = box.body;
                                   if (box.type == fourcc("iprp"))
                                       meta.readable = meta.readable && readProperties(box.body, maxSide, meta);
                               }) &&
                    meta.readable;
    if (!meta.readable || !meta.within) return false;

    for (const Item& item : meta.items) {
        const bool grid = item.type == fourcc("grid");
        const bool overlay = item.type == fourcc("iovl");
        const bool hevc = item.type == fourcc("hvc1");
        if (item.type == fourcc("av01")) return false;
        if (!grid && !overlay && !hevc) continue;
        const std::optional<std::vector<std::uint8_t>> data = itemData(meta, item.id, file);
        if (!data) return false;
        if ((grid || overlay) && !canvasWithin(*data, overlay, maxSide)) return false;
        if (hevc) {
            // One length size for every configuration, as files have; anything else is not read.
            if (meta.nalLengthSizes.empty()) return false;
            for (std::uint8_t size : meta.nalLengthSizes) {
                if (size != meta.nalLengthSizes.front()) return false;
            }
            if (!codedItemWithin(*data, meta.nalLengthSizes.front(), maxSide)) return false;
        }
    }
    return true;
}

}  // namespace kelvo
