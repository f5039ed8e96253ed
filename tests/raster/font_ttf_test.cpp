#include "raster/font_ttf.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kelvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string fontPath(const char* name) { return std::string(KELVO_FONT_DIR) + "/" + name; }

// Appends big-endian 16-bit (or 32-bit) words.
void put16(Bytes& out, std::initializer_list<std::uint32_t> words) {
    for (std::uint32_t v : words)
        out.insert(out.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
}
void put32(Bytes& out, std::uint32_t v) { put16(out, {v >> 16, v & 0xffff}); }

// Builds small TrueType files for the cases the embedded faces do not exercise.
struct FontBuilder {
    struct Segment {
        std::uint16_t start;
        std::uint16_t end;
        std::int16_t delta;
        std::vector<std::uint16_t> glyph_ids;  // non-empty: mapped through the glyph id array
    };
    std::vector<Bytes> glyphs;
    std::vector<Segment> segments;
    std::uint16_t metrics_count = 0xffff;  // default: one per glyph
    std::vector<std::uint16_t> advances;

    struct OutlinePoint {
        std::int16_t x;
        std::int16_t y;
        bool on;
    };

    static Bytes simpleGlyph(const std::vector<std::vector<OutlinePoint>>& contours) {
        Bytes g;
        put16(g, {static_cast<std::uint32_t>(contours.size()), 0, 0, 0, 0});  // no bounding box
        int end = -1;
        for (const auto& c : contours) put16(g, {static_cast<std::uint32_t>(end += static_cast<int>(c.size()))});
        put16(g, {0});  // no instructions
        for (const auto& c : contours) {
            for (const auto& p : c) g.push_back(p.on ? 1 : 0);  // every coordinate a 16-bit delta
        }
        for (auto axis : {&OutlinePoint::x, &OutlinePoint::y}) {
            std::int16_t last = 0;
            for (const auto& c : contours) {
                for (const auto& p : c) put16(g, {static_cast<std::uint16_t>(p.*axis - std::exchange(last, p.*axis))});
            }
        }
        return g;
    }

    struct Component {
        std::uint16_t glyph;
        std::int16_t dx;
        std::int16_t dy;
        std::uint16_t extra_flags = 0;
        std::vector<std::int16_t> scales;
    };

    static Bytes compositeGlyph(const std::vector<Component>& components) {
        Bytes g;
        put16(g, {0xffff, 0, 0, 0, 0});  // -1 contours
        for (std::size_t i = 0; i < components.size(); ++i) {
            const Component& c = components[i];
            std::uint32_t more = i + 1 < components.size() ? 0x0020 : 0;
            put16(g, {0x0003u | c.extra_flags | more, c.glyph, static_cast<std::uint16_t>(c.dx),
                      static_cast<std::uint16_t>(c.dy)});
            for (std::int16_t s : c.scales) put16(g, {static_cast<std::uint16_t>(s)});
        }
        return g;
    }

    Bytes build() const {
        auto count = static_cast<std::uint16_t>(glyphs.size());
        std::uint16_t metrics = metrics_count == 0xffff ? count : metrics_count;
        Bytes head(54, 0);
        head[18] = 1000 >> 8;  // units per em
        head[19] = 1000 & 0xff;
        head[51] = 1;  // long loca
        Bytes hhea(36, 0);
        hhea[4] = 800 >> 8;  // ascender 800
        hhea[5] = 800 & 0xff;
        hhea[6] = 0xff;  // descender -200
        hhea[7] = 0x38;
        hhea[34] = static_cast<std::uint8_t>(metrics >> 8);
        hhea[35] = static_cast<std::uint8_t>(metrics);
        Bytes maxp;
        put16(maxp, {0x0000, 0x5000, count});
        Bytes hmtx;
        for (std::uint16_t i = 0; i < metrics; ++i) put16(hmtx, {i < advances.size() ? advances[i] : 500u + i, 0});
        Bytes glyf;
        Bytes loca;
        for (const Bytes& g : glyphs) {
            put32(loca, static_cast<std::uint32_t>(glyf.size()));
            glyf.insert(glyf.end(), g.begin(), g.end());
            while (glyf.size() % 4) glyf.push_back(0);
        }
        put32(loca, static_cast<std::uint32_t>(glyf.size()));
        std::vector<Segment> all = segments;
        all.push_back({0xffff, 0xffff, 1, {}});
        Bytes cmap;
        put16(cmap, {0, 1, 3, 1, 0, 12});                                              // one subtable at offset 12
        put16(cmap, {4, 0, 0, static_cast<std::uint32_t>(all.size()) * 2u, 0, 0, 0});  // format 4
        for (const auto& s : all) put16(cmap, {s.end});
        put16(cmap, {0});
        for (const auto& s : all) put16(cmap, {s.start});
        for (const auto& s : all) put16(cmap, {static_cast<std::uint16_t>(s.delta)});
        std::size_t array_entries = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            std::size_t offset = all[i].glyph_ids.empty() ? 0 : 2 * (all.size() - i) + 2 * array_entries;
            put16(cmap, {static_cast<std::uint32_t>(offset)});
            array_entries += all[i].glyph_ids.size();
        }
        for (const auto& s : all) {
            for (std::uint16_t id : s.glyph_ids) put16(cmap, {id});
        }

        const std::pair<const char*, const Bytes*> tables[] = {{"cmap", &cmap}, {"glyf", &glyf}, {"head", &head},
                                                               {"hhea", &hhea}, {"hmtx", &hmtx}, {"loca", &loca},
                                                               {"maxp", &maxp}};
        Bytes font;
        put16(font, {1, 0, 7, 0, 0, 0});
        std::uint32_t offset = 12 + 16 * 7;
        for (const auto& [tag, data] : tables) {
            font.insert(font.end(), tag, tag + 4);
            put16(font, {0, 0});
            put32(font, offset);
            put32(font, static_cast<std::uint32_t>(data->size()));
            offset += static_cast<std::uint32_t>((data->size() + 3) / 4 * 4);
        }
        for (const auto& [tag, data] : tables) {
            font.insert(font.end(), data->begin(), data->end());
            while (font.size() % 4) font.push_back(0);
        }
        return font;
    }
};

Bytes squareGlyph() {
    return FontBuilder::simpleGlyph({{{0, 0, true}, {100, 0, true}, {100, 100, true}, {0, 100, true}}});
}

Status outline(const Face& face, std::uint16_t glyph, GlyphPathBuilder& path, const Affine& transform = {}) {
    path.clear();
    return glyphOutlineInner(face, glyph, transform, path.sink(), 0);
}

Error outlineError(const Bytes& font, std::uint16_t glyph) {
    auto face = loadFace(font);
    EXPECT_TRUE(face);
    auto path = std::make_unique<GlyphPathBuilder>();
    auto status = outline(*face, glyph, *path);
    EXPECT_FALSE(status);
    return status ? Error::Unexpected : status.error();
}

TEST(FontTtf, EmbeddedFacesAreTheVendoredFilesWithTheirConstants) {
    struct Case {
        const Face& face;
        const char* file;
        std::size_t size;
        std::uint16_t glyphs;
        std::uint16_t metrics;
        std::int16_t ascender;
        std::int16_t descender;
    };
    const Case cases[] = {
        {geistRegularFace(), "Geist-Regular.ttf", 71112, 825, 825, 920, -220},
        {geistMonoFace(), "GeistMono-Regular.ttf", 69936, 852, 833, 955, -245},
    };
    for (const Case& c : cases) {
        Bytes file = readFile(fontPath(c.file));
        ASSERT_EQ(file.size(), c.size) << c.file;
        ASSERT_TRUE(std::equal(file.begin(), file.end(), c.face.data.begin(), c.face.data.end())) << c.file;
        auto loaded = loadFace(file);
        ASSERT_TRUE(loaded) << c.file;
        for (const Face* face : {&c.face, static_cast<const Face*>(&*loaded)}) {
            EXPECT_EQ(face->units_per_em, 1000.0f);
            EXPECT_EQ(face->glyph_count, c.glyphs);
            EXPECT_EQ(face->horizontal_metrics_count, c.metrics);
            EXPECT_EQ(face->ascender, c.ascender);
            EXPECT_EQ(face->descender, c.descender);
            EXPECT_FALSE(face->long_loca);
        }
    }
}

TEST(FontTtf, CharacterMapLookups) {
    for (const Face* face : {&geistRegularFace(), &geistMonoFace()}) {
        for (char32_t c : {U'A', U'g', U'0', U'€', U'é'}) {
            std::uint16_t glyph = glyphIndex(*face, c);
            EXPECT_NE(glyph, 0) << static_cast<std::uint32_t>(c);
            EXPECT_LT(glyph, face->glyph_count);
        }
        EXPECT_EQ(glyphIndex(*face, 0x1F600), 0);  // an emoji, beyond the BMP
        EXPECT_EQ(glyphIndex(*face, 0x10FFFF), 0);
        EXPECT_EQ(glyphIndex(*face, 0xE000), 0);  // private use
        for (std::uint32_t c = 0; c < 0x10000; ++c) ASSERT_LT(glyphIndex(*face, c), face->glyph_count);
    }
    // The mono face gives every printable ASCII character the same advance.
    const Face& mono = geistMonoFace();
    std::uint16_t width = glyphAdvance(mono, glyphIndex(mono, 'M'));
    EXPECT_GT(width, 0);
    for (char c = '!'; c <= '~'; ++c)
        EXPECT_EQ(glyphAdvance(mono, glyphIndex(mono, static_cast<std::uint8_t>(c))), width);
    const Face& regular = geistRegularFace();
    EXPECT_GT(glyphAdvance(regular, glyphIndex(regular, 'M')), glyphAdvance(regular, glyphIndex(regular, 'i')));

    FontBuilder builder;
    for (int i = 0; i < 6; ++i) builder.glyphs.push_back(squareGlyph());
    builder.segments = {{'a', 'c', 1 - 'a', {}}, {'x', 'z', 2, {3, 0, 4}}};
    Bytes font = builder.build();
    auto face = loadFace(font);
    ASSERT_TRUE(face);
    EXPECT_EQ(glyphIndex(*face, 'a'), 1);
    EXPECT_EQ(glyphIndex(*face, 'c'), 3);
    EXPECT_EQ(glyphIndex(*face, 'd'), 0);  // between segments
    EXPECT_EQ(glyphIndex(*face, 'x'), 5);  // through the id array, plus the delta
    EXPECT_EQ(glyphIndex(*face, 'y'), 0);  // an array entry of 0 stays 0
    EXPECT_EQ(glyphIndex(*face, 'z'), 6);
}

TEST(FontTtf, EveryGlyphOfBothFacesHasAReadableOutline) {
    auto path = std::make_unique<GlyphPathBuilder>();
    for (const Face* face : {&geistRegularFace(), &geistMonoFace()}) {
        int drawn = 0;
        for (std::uint16_t glyph = 0; glyph < face->glyph_count; ++glyph) {
            ASSERT_TRUE(outline(*face, glyph, *path, glyphTransform(*face, 14, {0, 20}))) << glyph;
            if (path->count() > 0) ++drawn;
        }
        EXPECT_GT(drawn, face->glyph_count * 3 / 4);
        ASSERT_TRUE(outline(*face, glyphIndex(*face, ' '), *path));
        EXPECT_EQ(path->count(), 0u);
        auto beyond = outline(*face, face->glyph_count, *path);
        ASSERT_FALSE(beyond);
        EXPECT_EQ(beyond.error(), Error::FontParseFailed);
    }
}

TEST(FontTtf, GlyphTransformGivesAYDownOutlineAtThePen) {
    const Face& face = geistRegularFace();
    auto path = std::make_unique<GlyphPathBuilder>();
    const float size = 100;
    const Point pen{50, 200};
    ASSERT_TRUE(outline(face, glyphIndex(face, 'H'), *path, glyphTransform(face, size, pen)));
    float top = 1e9f, bottom = -1e9f, left = 1e9f;
    for (const PathElement& e : path->path()) {
        for (int i = 0; i < pathVerbPointCount(e.verb); ++i) {
            top = std::min(top, e.points[i].y);
            bottom = std::max(bottom, e.points[i].y);
            left = std::min(left, e.points[i].x);
        }
    }
    EXPECT_EQ(bottom, pen.y);            // sits on the baseline
    EXPECT_NEAR(top, pen.y - 71, 2.0f);  // cap height about 0.7 em above it
    EXPECT_GT(left, pen.x);
    EXPECT_EQ(path->path()[0].verb, PathVerb::move_to);
    EXPECT_EQ(path->path()[path->count() - 1].verb, PathVerb::close);
}

// The path as "M x,y Q cx,cy x,y ... Z" with every point of every element.
std::string pathText(const GlyphPathBuilder& path) {
    std::ostringstream out;
    for (const PathElement& e : path.path()) {
        out << (out.tellp() > 0 ? " " : "") << "MLQCZ"[static_cast<int>(e.verb)];
        for (int i = 0; i < pathVerbPointCount(e.verb); ++i) out << " " << e.points[i].x << "," << e.points[i].y;
    }
    return out.str();
}

TEST(FontTtf, ContoursBecomeClosedQuadraticSubpaths) {
    FontBuilder builder;
    builder.glyphs.push_back(Bytes{});
    // Four off-curve points: a smooth loop starting at the midpoint of the last and first points.
    builder.glyphs.push_back(
        FontBuilder::simpleGlyph({{{0, 0, false}, {100, 0, false}, {100, 100, false}, {0, 100, false}}}));
    // Starts at its first on-curve point; two off-curve points in a row imply the midpoint.
    builder.glyphs.push_back(
        FontBuilder::simpleGlyph({{{0, 0, false}, {10, 0, true}, {20, 10, false}, {20, 20, false}}}));
    Bytes font = builder.build();
    auto face = loadFace(font);
    ASSERT_TRUE(face);
    auto path = std::make_unique<GlyphPathBuilder>();
    ASSERT_TRUE(outline(*face, 1, *path));
    EXPECT_EQ(pathText(*path), "M 0,50 Q 0,0 50,0 Q 100,0 100,50 Q 100,100 50,100 Q 0,100 0,50 Z");
    ASSERT_TRUE(outline(*face, 2, *path));
    EXPECT_EQ(pathText(*path), "M 10,0 Q 20,10 20,15 Q 20,20 10,10 Q 0,0 10,0 Z");
    ASSERT_TRUE(outline(*face, 0, *path));  // an empty glyph
    EXPECT_EQ(path->count(), 0u);
}

TEST(FontTtf, CompositesPlaceTheirComponents) {
    FontBuilder builder;
    builder.glyphs.push_back(squareGlyph());
    // Component scaled by one half (F2Dot14 8192) and moved by (1000, 0) in the parent's units.
    builder.glyphs.push_back(FontBuilder::compositeGlyph({{0, 0, 0, 0, {}}, {0, 1000, 0, 0x0008, {8192}}}));
    Bytes font = builder.build();
    auto face = loadFace(font);
    ASSERT_TRUE(face);
    auto path = std::make_unique<GlyphPathBuilder>();
    ASSERT_TRUE(outline(*face, 1, *path, Affine{2, 0, 0, 2, 0, 0}));
    EXPECT_EQ(pathText(*path), "M 0,0 L 200,0 L 200,200 L 0,200 Z M 2000,0 L 2100,0 L 2100,100 L 2000,100 Z");
}

TEST(FontTtf, MalformedGlyphsAreNamedErrors) {
    auto fontWith = [](std::vector<Bytes> glyphs) {
        FontBuilder builder;
        builder.glyphs = std::move(glyphs);
        return builder.build();
    };
    // A composite that contains itself ends at the nesting limit.
    EXPECT_EQ(outlineError(fontWith({FontBuilder::compositeGlyph({{0, 0, 0, 0, {}}})}), 0), Error::FontGlyphTooComplex);
    std::vector<FontBuilder::Component> nine(9, FontBuilder::Component{1, 0, 0, 0, {}});
    EXPECT_EQ(outlineError(fontWith({FontBuilder::compositeGlyph(nine), squareGlyph()}), 0),
              Error::FontGlyphTooComplex);
    nine.pop_back();
    {
        Bytes font = fontWith({FontBuilder::compositeGlyph(nine), squareGlyph()});
        auto face = loadFace(font);
        auto path = std::make_unique<GlyphPathBuilder>();
        EXPECT_TRUE(outline(*face, 0, *path));
    }
    Bytes matched = FontBuilder::compositeGlyph({{1, 0, 0, 0, {}}});
    matched[11] &= static_cast<std::uint8_t>(~0x02);  // arguments are point numbers
    EXPECT_EQ(outlineError(fontWith({matched, squareGlyph()}), 0), Error::FontGlyphTooComplex);
    Bytes cut = FontBuilder::compositeGlyph({{1, 0, 0, 0x0080, {16384, 0, 0, 16384}}});
    cut.resize(cut.size() - 3);  // the 2 x 2 matrix runs past the glyph
    EXPECT_EQ(outlineError(fontWith({cut, squareGlyph()}), 0), Error::FontParseFailed);

    std::vector<std::vector<FontBuilder::OutlinePoint>> contours(25, {{0, 0, true}, {5, 5, true}, {0, 5, true}});
    EXPECT_EQ(outlineError(fontWith({FontBuilder::simpleGlyph(contours)}), 0), Error::FontGlyphTooComplex);
    std::vector<FontBuilder::OutlinePoint> many(129, {1, 1, true});
    EXPECT_EQ(outlineError(fontWith({FontBuilder::simpleGlyph({many})}), 0), Error::FontGlyphTooComplex);
    many.resize(128);
    {
        // 128 points make 129 path elements; three copies of them overflow the 256-element builder.
        Bytes big = FontBuilder::simpleGlyph({many});
        Bytes font = fontWith({big});
        auto face = loadFace(font);
        auto path = std::make_unique<GlyphPathBuilder>();
        EXPECT_TRUE(outline(*face, 0, *path));
        EXPECT_EQ(path->count(), 129u);
        std::vector<FontBuilder::Component> copies(3, FontBuilder::Component{1, 0, 0, 0, {}});
        EXPECT_EQ(outlineError(fontWith({FontBuilder::compositeGlyph(copies), big}), 0), Error::VectorPathTooComplex);
    }

    Bytes square = squareGlyph();
    Bytes two_contours = FontBuilder::simpleGlyph({{{0, 0, true}, {9, 0, true}, {9, 9, true}}, {{1, 1, true}}});
    two_contours[13] = 1;  // the second contour ends at point 1, before its start at point 3
    EXPECT_EQ(outlineError(fontWith({two_contours}), 0), Error::FontParseFailed);
    Bytes repeats = square;
    repeats[14] = 0x01 | 0x08;                // the first flag repeats ...
    repeats.insert(repeats.begin() + 15, 9);  // ... nine times, past the four points
    EXPECT_EQ(outlineError(fontWith({repeats}), 0), Error::FontParseFailed);
    for (std::size_t keep : {2u, 11u, 14u, 17u, 25u, 30u}) {
        Bytes truncated(square.begin(), square.begin() + static_cast<std::ptrdiff_t>(keep));
        EXPECT_EQ(outlineError(fontWith({truncated}), 0), Error::FontParseFailed) << keep;
    }
}

TEST(FontTtf, BrokenTablesAreRefusedOrReadAsAbsent) {
    FontBuilder builder;
    builder.glyphs = {squareGlyph(), squareGlyph()};
    builder.segments = {{'a', 'b', -'a', {}}};
    Bytes good = builder.build();
    ASSERT_TRUE(loadFace(good));

    // Cut anywhere, the file is refused or still reads safely.
    for (std::size_t size = 0; size < good.size(); ++size) {
        Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        auto face = loadFace(cut);
        if (!face) {
            EXPECT_EQ(face.error(), Error::FontParseFailed);
            continue;
        }
        auto path = std::make_unique<GlyphPathBuilder>();
        glyphIndex(*face, 'b');
        glyphAdvance(*face, 1);
        (void)outline(*face, 1, *path);
    }

    // A loca whose end lies beyond glyf.
    auto face = *loadFace(good);
    Face broken = face;
    broken.glyf_length = 8;
    auto path = std::make_unique<GlyphPathBuilder>();
    auto status = outline(broken, 1, *path);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), Error::FontParseFailed);

    // Advances: the last entry stands for later glyphs; no metrics at all give 0.
    builder.metrics_count = 1;
    builder.advances = {640};
    Bytes one_metric_font = builder.build();
    auto one_metric = loadFace(one_metric_font);
    ASSERT_TRUE(one_metric);
    EXPECT_EQ(glyphAdvance(*one_metric, 1), 640);
    builder.metrics_count = 0;
    Bytes no_metrics = builder.build();
    auto none = loadFace(no_metrics);
    ASSERT_TRUE(none);
    EXPECT_EQ(glyphAdvance(*none, 0), 0);
    Face short_hmtx = *one_metric;
    short_hmtx.horizontal_metrics_count = 400;  // more entries than the table holds
    EXPECT_EQ(glyphAdvance(short_hmtx, 300), 0);
}

}  // namespace
}  // namespace kelvo
