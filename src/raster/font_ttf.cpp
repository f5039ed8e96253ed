#include "raster/font_ttf.hpp"

#include <array>
#include <cstring>
#include <optional>

namespace kelvo {

namespace embedded {
extern const std::uint8_t kGeistRegularTtf[];
extern const std::size_t kGeistRegularTtfSize;
extern const std::uint8_t kGeistMonoRegularTtf[];
extern const std::size_t kGeistMonoRegularTtfSize;
}  // namespace embedded

namespace {

// Big-endian reads that refuse to go past the end of `bytes`.
std::optional<std::uint16_t> readU16(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 2) return std::nullopt;
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

std::optional<std::uint32_t> readU32(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
    return (static_cast<std::uint32_t>(bytes[offset]) << 24) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 8) | static_cast<std::uint32_t>(bytes[offset + 3]);
}

// A cursor over one glyph's bytes; every read past its end is FontParseFailed.
struct GlyphReader {
    std::span<const std::uint8_t> bytes;
    std::uint64_t at = 0;

    Result<std::uint8_t> u8() {
        if (at >= bytes.size()) return fail(Error::FontParseFailed);
        return bytes[at++];
    }
    Result<std::uint16_t> u16() {
        auto value = readU16(bytes, at);
        if (!value) return fail(Error::FontParseFailed);
        at += 2;
        return *value;
    }
    Result<std::int16_t> i16() { return static_cast<std::int16_t>(TRY(u16())); }
    Status skip(std::uint64_t count) {
        if (count > bytes.size() - at) return fail(Error::FontParseFailed);
        at += count;
        return {};
    }
};

struct TableRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool found = false;
};

std::optional<std::uint64_t> findCmapSubtable(std::span<const std::uint8_t> data, TableRange cmap) {
    auto table_count = readU16(data, cmap.offset + 2);
    if (!table_count) return std::nullopt;
    std::optional<std::uint64_t> unicode;
    for (std::uint32_t i = 0; i < *table_count; ++i) {
        std::uint64_t record = cmap.offset + 4 + 8ull * i;
        auto platform = readU16(data, record);
        auto encoding = readU16(data, record + 2);
        auto offset = readU32(data, record + 4);
        if (!platform || !encoding || !offset) return std::nullopt;
        if (*offset > cmap.length || cmap.length - *offset < 8) continue;
        std::uint64_t subtable = cmap.offset + *offset;
        if (readU16(data, subtable) != std::uint16_t{4}) continue;
        if (*platform == 3 && *encoding == 1) return subtable;  // Windows Unicode BMP: preferred
        if (*platform == 0 && !unicode) unicode = subtable;
    }
    return unicode;
}

// The glyph's byte range inside glyf, from loca.
Result<std::span<const std::uint8_t>> glyphBytes(const Face& face, std::uint16_t glyph) {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint64_t entry_size = face.long_loca ? 4 : 2;
    std::uint64_t entry = entry_size * glyph;
    if (entry + 2 * entry_size > face.loca_length) return fail(Error::FontParseFailed);
    std::uint64_t at = face.loca_offset + entry;
    if (face.long_loca) {
        auto a = readU32(face.data, at);
        auto b = readU32(face.data, at + 4);
        if (!a || !b) return fail(Error::FontParseFailed);
        start = *a;
        end = *b;
    } else {
        auto a = readU16(face.data, at);
        auto b = readU16(face.data, at + 2);
        if (!a || !b) return fail(Error::FontParseFailed);
        start = 2ull * *a;
        end = 2ull * *b;
    }
    if (end < start || end > face.glyf_length) return fail(Error::FontParseFailed);
    if (face.glyf_offset > face.data.size() || face.data.size() - face.glyf_offset < end) {
        return fail(Error::FontParseFailed);
    }
    return face.data.subspan(face.glyf_offset + start, end - start);
}

Status compositeOutline(const Face& face, GlyphReader reader, const Affine& transform, PathSink path, int depth) {
    TRY(reader.skip(10));
    constexpr std::uint16_t kArgsAreWords = 1u << 0;
    constexpr std::uint16_t kArgsAreXyValues = 1u << 1;
    constexpr std::uint16_t kHaveScale = 1u << 3;
    constexpr std::uint16_t kMoreComponents = 1u << 5;
    constexpr std::uint16_t kHaveXyScale = 1u << 6;
    constexpr std::uint16_t kHaveTwoByTwo = 1u << 7;
    auto f2dot14 = [](std::int16_t value) { return static_cast<float>(value) / 16384.0f; };
    for (int component = 0;; ++component) {
        if (component >= kMaxGlyphComponents) return fail(Error::FontGlyphTooComplex);
        std::uint16_t flags = TRY(reader.u16());
        std::uint16_t index = TRY(reader.u16());
        if ((flags & kArgsAreXyValues) == 0) return fail(Error::FontGlyphTooComplex);
        float dx = 0;
        float dy = 0;
        if (flags & kArgsAreWords) {
            dx = TRY(reader.i16());
            dy = TRY(reader.i16());
        } else {
            dx = static_cast<std::int8_t>(TRY(reader.u8()));
            dy = static_cast<std::int8_t>(TRY(reader.u8()));
        }
        Affine local{1, 0, 0, 1, dx, dy};
        if (flags & kHaveScale) {
            local.a = local.d = f2dot14(TRY(reader.i16()));
        } else if (flags & kHaveXyScale) {
            local.a = f2dot14(TRY(reader.i16()));
            local.d = f2dot14(TRY(reader.i16()));
        } else if (flags & kHaveTwoByTwo) {
            local.a = f2dot14(TRY(reader.i16()));
            local.b = f2dot14(TRY(reader.i16()));
            local.c = f2dot14(TRY(reader.i16()));
            local.d = f2dot14(TRY(reader.i16()));
        }
        TRY(glyphOutlineInner(face, index, composeAffine(transform, local), path, depth + 1));
        if ((flags & kMoreComponents) == 0) return {};
    }
}

Status simpleOutline(GlyphReader reader, int contour_count, const Affine& transform, PathSink path) {
    TRY(reader.skip(10));
    std::array<std::uint16_t, kMaxGlyphContours> ends{};
    for (int i = 0; i < contour_count; ++i) ends[i] = TRY(reader.u16());
    int point_count = ends[contour_count - 1] + 1;
    if (point_count > kMaxGlyphPoints) return fail(Error::FontGlyphTooComplex);
    for (int i = 0, first = 0; i < contour_count; ++i) {
        if (ends[i] < first) return fail(Error::FontParseFailed);
        first = ends[i] + 1;
    }
    TRY(reader.skip(TRY(reader.u16())));  // instructions

    std::array<std::uint8_t, kMaxGlyphPoints> flags{};
    for (int i = 0; i < point_count;) {
        std::uint8_t flag = TRY(reader.u8());
        flags[i++] = flag;
        if (flag & 0x08) {
            int repeat = TRY(reader.u8());
            if (repeat > point_count - i) return fail(Error::FontParseFailed);
            for (; repeat > 0; --repeat) flags[i++] = flag;
        }
    }
    std::array<Point, kMaxGlyphPoints> points{};
    auto readAxis = [&](std::uint8_t short_bit, std::uint8_t same_bit, bool is_x) -> Status {
        std::int32_t value = 0;
        for (int i = 0; i < point_count; ++i) {
            std::uint8_t flag = flags[i];
            if (flag & short_bit) {
                std::int32_t delta = TRY(reader.u8());
                value += (flag & same_bit) ? delta : -delta;
            } else if ((flag & same_bit) == 0) {
                value += TRY(reader.i16());
            }
            (is_x ? points[i].x : points[i].y) = static_cast<float>(value);
        }
        return {};
    };
    TRY(readAxis(0x02, 0x10, true));
    TRY(readAxis(0x04, 0x20, false));
    for (int i = 0; i < point_count; ++i) points[i] = applyAffine(transform, points[i]);

    auto midpoint = [](Point a, Point b) { return Point{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f}; };
    for (int contour = 0, first = 0; contour < contour_count; first = ends[contour] + 1, ++contour) {
        int last = ends[contour];
        int length = last - first + 1;
        int on_curve = -1;
        for (int i = first; i <= last; ++i) {
            if (flags[i] & 0x01) {
                on_curve = i;
                break;
            }
        }
        Point start;
        int walk_from;
        int walk_count;
        if (on_curve >= 0) {
            start = points[on_curve];
            walk_from = on_curve + 1;
            walk_count = length - 1;
        } else {
            start = midpoint(points[last], points[first]);
            walk_from = first;
            walk_count = length;
        }
        TRY(pathMoveTo(path, start));
        std::optional<Point> pending;
        for (int step = 0; step < walk_count; ++step) {
            int i = first + (walk_from - first + step) % length;
            Point point = points[i];
            if (flags[i] & 0x01) {
                if (pending) {
                    TRY(pathQuadTo(path, *pending, point));
                    pending.reset();
                } else {
                    TRY(pathLineTo(path, point));
                }
            } else {
                if (pending) TRY(pathQuadTo(path, *pending, midpoint(*pending, point)));
                pending = point;
            }
        }
        if (pending) TRY(pathQuadTo(path, *pending, start));
        TRY(pathClose(path));
    }
    return {};
}

Face loadEmbedded(const std::uint8_t* bytes, std::size_t size) {
    auto face = loadFace({bytes, size});
    return face ? *face : Face{};
}

}  // namespace

Result<Face> loadFace(std::span<const std::uint8_t> data) {
    auto table_count = readU16(data, 4);
    if (!table_count) return fail(Error::FontParseFailed);
    TableRange cmap, head, hhea, hmtx, loca, glyf, maxp;
    for (std::uint32_t i = 0; i < *table_count; ++i) {
        std::uint64_t record = 12 + 16ull * i;
        auto tag = readU32(data, record);
        auto offset = readU32(data, record + 8);
        auto length = readU32(data, record + 12);
        if (!tag || !offset || !length) return fail(Error::FontParseFailed);
        if (*offset > data.size() || data.size() - *offset < *length) return fail(Error::FontParseFailed);
        TableRange range{*offset, *length, true};
        switch (*tag) {
            case 0x636d6170:
                cmap = range;
                break;  // "cmap"
            case 0x68656164:
                head = range;
                break;  // "head"
            case 0x68686561:
                hhea = range;
                break;  // "hhea"
            case 0x686d7478:
                hmtx = range;
                break;  // "hmtx"
            case 0x6c6f6361:
                loca = range;
                break;  // "loca"
            case 0x676c7966:
                glyf = range;
                break;  // "glyf"
            case 0x6d617870:
                maxp = range;
                break;  // "maxp"
            default:
                break;
        }
    }
    if (!cmap.found || !head.found || !hhea.found || !hmtx.found || !loca.found || !glyf.found || !maxp.found) {
        return fail(Error::FontParseFailed);
    }
    if (head.length < 54 || hhea.length < 36 || maxp.length < 6 || cmap.length < 4) {
        return fail(Error::FontParseFailed);
    }
    auto subtable = findCmapSubtable(data, cmap);
    if (!subtable) return fail(Error::FontParseFailed);

    Face face;
    face.data = data;
    face.cmap_subtable_offset = *subtable;
    face.loca_offset = loca.offset;
    face.loca_length = loca.length;
    face.glyf_offset = glyf.offset;
    face.glyf_length = glyf.length;
    face.hmtx_offset = hmtx.offset;
    face.hmtx_length = hmtx.length;
    std::uint16_t units_per_em = *readU16(data, head.offset + 18);
    std::uint16_t loca_format = *readU16(data, head.offset + 50);
    if (units_per_em == 0 || loca_format > 1) return fail(Error::FontParseFailed);
    face.units_per_em = units_per_em;
    face.long_loca = loca_format == 1;
    face.glyph_count = *readU16(data, maxp.offset + 4);
    face.ascender = static_cast<std::int16_t>(*readU16(data, hhea.offset + 4));
    face.descender = static_cast<std::int16_t>(*readU16(data, hhea.offset + 6));
    face.horizontal_metrics_count = *readU16(data, hhea.offset + 34);
    return face;
}

const Face& geistRegularFace() {
    static const Face face = loadEmbedded(embedded::kGeistRegularTtf, embedded::kGeistRegularTtfSize);
    return face;
}

const Face& geistMonoFace() {
    static const Face face = loadEmbedded(embedded::kGeistMonoRegularTtf, embedded::kGeistMonoRegularTtfSize);
    return face;
}

std::uint16_t glyphIndex(const Face& face, std::uint32_t code_point) {
    if (code_point >= 65536) return 0;
    std::span<const std::uint8_t> data = face.data;
    std::uint64_t subtable = face.cmap_subtable_offset;
    if (subtable > data.size() || data.size() - subtable < 8) return 0;
    std::uint64_t seg_x2 = *readU16(data, subtable + 6);
    std::uint64_t segments = seg_x2 / 2;
    for (std::uint64_t i = 0; i < segments; ++i) {
        auto end_code = readU16(data, subtable + 14 + 2 * i);
        if (!end_code) return 0;
        if (*end_code < code_point) continue;
        auto start_code = readU16(data, subtable + 16 + seg_x2 + 2 * i);
        auto delta = readU16(data, subtable + 16 + 2 * seg_x2 + 2 * i);
        std::uint64_t range_at = subtable + 16 + 3 * seg_x2 + 2 * i;
        auto range_offset = readU16(data, range_at);
        if (!start_code || !delta || !range_offset || *start_code > code_point) return 0;
        if (*range_offset == 0) return static_cast<std::uint16_t>((code_point + *delta) & 0xffffu);
        auto glyph = readU16(data, range_at + *range_offset + 2ull * (code_point - *start_code));
        if (!glyph || *glyph == 0) return 0;
        return static_cast<std::uint16_t>((*glyph + *delta) & 0xffffu);
    }
    return 0;
}

std::uint16_t glyphAdvance(const Face& face, std::uint16_t glyph) {
    if (face.horizontal_metrics_count == 0) return 0;
    std::uint64_t entry = std::min<std::uint64_t>(glyph, face.horizontal_metrics_count - 1u) * 4;
    if (entry + 2 > face.hmtx_length) return 0;
    return readU16(face.data, face.hmtx_offset + entry).value_or(0);
}

Status glyphOutlineInner(const Face& face, std::uint16_t glyph, const Affine& transform, PathSink path, int depth) {
    if (depth >= kMaxGlyphDepth) return fail(Error::FontGlyphTooComplex);
    if (glyph >= face.glyph_count) return fail(Error::FontParseFailed);
    std::span<const std::uint8_t> bytes = TRY(glyphBytes(face, glyph));
    if (bytes.empty()) return {};
    GlyphReader reader{bytes, 0};
    std::int16_t contours = TRY(reader.i16());
    reader.at = 0;
    if (contours < 0) return compositeOutline(face, reader, transform, path, depth);
    if (contours == 0) return {};
    if (contours > kMaxGlyphContours) return fail(Error::FontGlyphTooComplex);
    return simpleOutline(reader, contours, transform, path);
}

}  // namespace kelvo
