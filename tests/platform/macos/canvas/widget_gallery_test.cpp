// The widget gallery as a canvas view shows it: its display list planned as a frame, written as a
// "clear" packet in both forms, read back and drawn on the presenter's CPU path, against the
// reference renderer's drawing of the same list with the same image.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "canvas-lab/lab_image.hpp"
#include "canvas_fixture.hpp"
#include "render/frame_fixture.hpp"
#include "render/packet/packet_from_frame.hpp"
#include "render/packet/packet_writers.hpp"
#include "render/test_surface.hpp"
#include "tree_display_list.hpp"
#include "widgets/draw_text_bounds.hpp"
#include "widgets/tree_fixture.hpp"

namespace kelvo::testing {
namespace {

// The presenter blends anti-aliased edges in plain values where the reference renderer blends in
// linear light, fills rectangles at fractional places with coverage where the reference fills the
// pixels they touch, filters images differently, draws a character the face lacks as the face's
// placeholder glyph where the reference draws a box, and draws shadows without their spread (as
// its drawing rules say). So the pictures agree per pixel within a tolerance, stated here: a pixel
// agrees when each of its channels is within kAgreeLevels of the reference's. Outside the reach of
// shadows at most kMaxShareOutsideShadows of the pixels, and of any 32-point tile at most
// kMaxTileShare, may disagree; with the shadows, at most kMaxShare. Measured when written: 0.29 %
// and 0.14 % outside shadows (scales 1 and 2), 16.4 % in the worst tile (the placeholder glyph),
// 2.5 % in all.
constexpr int kAgreeLevels = 16;
constexpr double kMaxShareOutsideShadows = 0.005;
constexpr double kMaxTileShare = 0.2;
constexpr double kMaxShare = 0.03;
constexpr double kMaxEllipsisShare = 0.1;
constexpr float kTileSide = 32;

// The gallery's image widget: 48 x 32 points at (790, 60) showing the 16 x 16 image as "cover",
// three points of the widget to one pixel of the image, its top and bottom 8 points cut off.
constexpr Rect kImageWidget{790, 60, 48, 32};

std::array<Point, 4> imageQuarterCentres() {
    const float x = kImageWidget.x, y = kImageWidget.y;
    return {{{x + 12, y + 8}, {x + 36, y + 8}, {x + 12, y + 24}, {x + 36, y + 24}}};
}

std::array<std::uint8_t, 4> imageColourAt(Point at) {
    const std::size_t quarter = (at.y < kImageWidget.y + 16 ? 0 : 2) + (at.x < kImageWidget.x + 24 ? 0 : 1);
    return kLabImageQuarters[quarter];
}

bool agree(const std::uint8_t* a, const std::uint8_t* b) {
    for (std::size_t c = 0; c < 4; ++c) {
        if (std::abs(a[c] - b[c]) > kAgreeLevels) return false;
    }
    return true;
}

// The pixels a shadow command of the frame may paint.
std::vector<bool> shadowReach(const CanvasFrame& frame, float scale, std::uint32_t width, std::uint32_t height) {
    std::vector<bool> reach(std::size_t{width} * height, false);
    for (const RenderCommand& render : frame.render_commands) {
        if (canvasCommandTagBits(render.command) != static_cast<unsigned>(CanvasCommandTag::shadow)) continue;
        const Rect b = render.bounds;
        const auto x0 = static_cast<std::uint32_t>(std::clamp(std::floor(b.x * scale), 0.0f, float(width)));
        const auto y0 = static_cast<std::uint32_t>(std::clamp(std::floor(b.y * scale), 0.0f, float(height)));
        const auto x1 = static_cast<std::uint32_t>(std::clamp(std::ceil((b.x + b.width) * scale), 0.0f, float(width)));
        const auto y1 =
            static_cast<std::uint32_t>(std::clamp(std::ceil((b.y + b.height) * scale), 0.0f, float(height)));
        for (std::uint32_t y = y0; y < y1; ++y) {
            for (std::uint32_t x = x0; x < x1; ++x) reach[std::size_t{y} * width + x] = true;
        }
    }
    return reach;
}

struct Comparison {
    double share = 0;
    double shareOutsideShadows = 0;
    double worstTile = 0;
};

// The reference surface is opaque (the tokens' background), so straight and premultiplied agree.
Comparison compare(const Buffer& cpu, const TestSurface& reference, const std::vector<bool>& shadowed, float scale) {
    const std::uint32_t width = cpu.width, height = cpu.height;
    const auto tile = static_cast<std::uint32_t>(kTileSide * scale);
    const std::uint32_t columns = (width + tile - 1) / tile;
    std::vector<std::uint32_t> tiles(std::size_t{columns} * ((height + tile - 1) / tile), 0);
    std::uint64_t all = 0, outside = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::size_t i = std::size_t{y} * width + x;
            if (agree(&cpu.bytes[i * 4], &reference.pixels[i * 4])) continue;
            ++all;
            if (shadowed[i]) continue;
            ++outside;
            ++tiles[std::size_t{y / tile} * columns + x / tile];
        }
    }
    const double pixels = static_cast<double>(std::size_t{width} * height);
    return {static_cast<double>(all) / pixels, static_cast<double>(outside) / pixels,
            static_cast<double>(*std::max_element(tiles.begin(), tiles.end())) / (tile * tile)};
}

// The share of the pixels in `area` (points) that disagree.
double disagreeingShare(const Buffer& cpu, const TestSurface& reference, Rect area, float scale) {
    const auto x0 = static_cast<std::uint32_t>(std::floor(area.x * scale));
    const auto y0 = static_cast<std::uint32_t>(std::floor(area.y * scale));
    const auto x1 = std::min(cpu.width, static_cast<std::uint32_t>(std::ceil((area.x + area.width) * scale)));
    const auto y1 = std::min(cpu.height, static_cast<std::uint32_t>(std::ceil((area.y + area.height) * scale)));
    std::uint64_t bad = 0, all = 0;
    for (std::uint32_t y = y0; y < y1; ++y) {
        for (std::uint32_t x = x0; x < x1; ++x) {
            const std::size_t i = (std::size_t{y} * cpu.width + x) * 4;
            bad += agree(&cpu.bytes[i], &reference.pixels[i]) ? 0 : 1;
            ++all;
        }
    }
    return all == 0 ? 1.0 : static_cast<double>(bad) / static_cast<double>(all);
}

// A tree's display list (the widget gallery's unless another tree is given) with the lab's image.
struct Gallery {
    std::unique_ptr<WidgetTreeStorage> tree;
    std::vector<CanvasCommand> commands;
    LabImagePixels imagePixels = labImagePixels();
    ReferenceImage image{kLabImageId, kLabImageSide, kLabImageSide, imagePixels};

    explicit Gallery(std::string_view treeText = {})
        : tree(installedTree(treeText.empty() ? readData("widgets/gallery.tree") : std::string(treeText))) {
        Result<std::span<const CanvasCommand>> list = treeDisplayList(*tree);
        EXPECT_TRUE(list.has_value());
        if (list) commands.assign(list->begin(), list->end());
    }
    [[nodiscard]] Color background() const { return tree->tokens.color(PaletteColor::background); }
};

// The lines the reference renderer draws for a text: each line's visible text, and "…" where it
// is cut. A text without a layout box of its own is one line.
std::vector<std::string> referenceLines(const DrawTextCommand& text) {
    const TextRun run = textRunOfDrawText(text);
    if (!run.has_layout) return {std::string(run.text)};
    std::vector<std::string> lines;
    TextLineIterator iterator(run, run.layout);
    while (std::optional<TextLine> line = iterator.next()) {
        const auto start = static_cast<std::size_t>(std::min<std::uint64_t>(line->text_start, run.text.size()));
        const auto end = static_cast<std::size_t>(std::min<std::uint64_t>(line->visibleTextEnd(), run.text.size()));
        std::string shown(run.text.substr(start, end - start));
        if (line->ellipsis_width > 0) shown += kTextEllipsis;
        lines.push_back(shown);
    }
    return lines;
}

// The lines the presenter draws for a packet text: the packet's lines when it has a layout and
// them, else its one line (or a paragraph of its own making, which no frame packet asks for).
std::vector<std::string> presenterLines(const PacketText& text) {
    if (!text.layout) return {text.text};
    std::vector<std::string> lines;
    if (!text.lines) return {"(no lines)"};
    for (const PacketTextLine& line : *text.lines) lines.push_back(line.text);
    return lines;
}

struct Drawn {
    Buffer pixels;
    CanvasPacket packet;
};

Buffer drawPacket(const CanvasPacket& packet, const Gallery& gallery, std::uint32_t width, std::uint32_t height,
                  float scale) {
    Scene scene;
    scene.packet = packet;
    adoptPacket(scene);
    // The host's image store: the registered image's pixels, under its id.
    std::vector<std::uint8_t> rgba(gallery.imagePixels.begin(), gallery.imagePixels.end());
    scene.images.add(PacketImage{kLabImageId, 0, kLabImageSide, kLabImageSide, rgba});
    Buffer cpu(width, height);
    Drawing drawing(scene);
    drawing.frame.scale = scale;
    const Color clear = gallery.background();
    drawing.frame.clear_color = {clear.r, clear.g, clear.b, clear.a};
    EXPECT_EQ(drawing.draw(cpu), 1);
    EXPECT_EQ(drawing.counters.drawn, scene.commands.size());
    return cpu;
}

void savePngs(const char* path, float scale, const Buffer& cpu, const TestSurface& reference) {
    const std::string base = std::string(path) + "-" + std::to_string(static_cast<int>(scale));
    std::string png = cpu.png();
    std::FILE* out = std::fopen((base + ".png").c_str(), "wb");
    std::fwrite(png.data(), 1, png.size(), out);
    std::fclose(out);
    png = reference.png();
    out = std::fopen((base + ".reference.png").c_str(), "wb");
    std::fwrite(png.data(), 1, png.size(), out);
    std::fclose(out);
}

// Texts holding control characters, each a small view drawn by the presenter and by the reference
// renderer: tab, line feed and carriage return only move the pen in both, so the pictures agree
// within the gallery's tolerance (a placeholder glyph in their place would not).
TEST(WidgetGallery, ControlCharactersOnScreenAreWhatTheReferenceRendererDraws) {
    std::vector<std::pair<std::string, std::string>> scenes;
    for (const std::string& line : readLines("platform/control_character_texts.txt")) {
        if (line.starts_with("== ")) {
            scenes.emplace_back(line.substr(3), "");
        } else if (!scenes.empty()) {
            scenes.back().second += line + "\n";
        }
    }
    ASSERT_EQ(scenes.size(), 3u);
    for (const auto& [title, treeText] : scenes) {
        SCOPED_TRACE(title);
        const Gallery scene(treeText);
        ASSERT_FALSE(scene.commands.empty());
        const Rect frame = normalizeRect(scene.tree->nodes[0].rect);
        const auto width = static_cast<std::uint32_t>(frame.width);
        const auto height = static_cast<std::uint32_t>(frame.height);
        TestSurface reference(width, height, scene.background());
        ASSERT_TRUE(renderDisplayList(reference.surface, scene.commands, 1.0f));

        PlannedView view;
        view.width = frame.width;
        view.height = frame.height;
        view.list = scene.commands;
        Result<CanvasFrame> planned = view.plan();
        ASSERT_TRUE(planned.has_value());
        static std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
        auto count =
            gatherCanvasPacketCurrentCommandsFromPlan(planned->render_commands, planned->width, planned->height,
                                                      planned->content_bounds, keyed, planned->command_fingerprints);
        ASSERT_TRUE(count.has_value());
        CanvasPacket written;
        buildCanvasPacket({&*planned, std::span<const KeyedGpuCommand>(keyed).first(*count),
                           view.history->keyedCommands(), PacketLoadAction::clear, 1},
                          written);
        std::vector<std::uint8_t> binary(std::size_t{1} << 20);
        const PacketWriteResult b = writeBinaryCanvasPacket(written, binary);
        ASSERT_TRUE(b.fits);
        const std::optional<CanvasPacket> packet = readBinaryCanvasPacket(std::span(binary).first(b.size));
        ASSERT_TRUE(packet);
        const Buffer cpu = drawPacket(*packet, scene, width, height, 1.0f);

        const Comparison compared = compare(cpu, reference, std::vector<bool>(std::size_t{width} * height), 1.0f);
        std::printf("%s: %.3f %% of pixels disagree, %.1f %% in the worst tile\n", title.c_str(),
                    100 * compared.shareOutsideShadows, 100 * compared.worstTile);
        EXPECT_LE(compared.shareOutsideShadows, kMaxShareOutsideShadows);
        EXPECT_LE(compared.worstTile, kMaxTileShare);
    }
}

TEST(WidgetGallery, ThePresenterShowsTheReferenceRenderersLinesAndPixels) {
    Gallery gallery;
    ASSERT_FALSE(gallery.commands.empty());
    for (float scale : {1.0f, 2.0f}) {
        SCOPED_TRACE(scale);
        const auto width = static_cast<std::uint32_t>(1280 * scale);
        const auto height = static_cast<std::uint32_t>(800 * scale);
        TestSurface reference(width, height, gallery.background());
        reference.surface.images = {&gallery.image, 1};
        ASSERT_TRUE(renderDisplayList(reference.surface, gallery.commands, scale));

        PlannedView view;
        view.width = 1280;
        view.height = 800;
        view.scale = scale;
        view.list = gallery.commands;
        CanvasFrameRequest request;
        request.images = {&gallery.image, 1};
        Result<CanvasFrame> frame = view.plan(request);
        ASSERT_TRUE(frame.has_value());
        static std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
        auto count =
            gatherCanvasPacketCurrentCommandsFromPlan(frame->render_commands, frame->width, frame->height,
                                                      frame->content_bounds, keyed, frame->command_fingerprints);
        ASSERT_TRUE(count.has_value());
        const std::span<const KeyedGpuCommand> current = std::span<const KeyedGpuCommand>(keyed).first(*count);
        CanvasPacket written;
        buildCanvasPacket({&*frame, current, view.history->keyedCommands(), PacketLoadAction::clear, 1}, written);

        std::vector<std::uint8_t> binary(std::size_t{16} << 20);
        std::vector<char> json(std::size_t{64} << 20);
        const PacketWriteResult b = writeBinaryCanvasPacket(written, binary);
        const PacketWriteResult j = writeJsonCanvasPacket(written, json);
        ASSERT_TRUE(b.fits && j.fits);
        const std::optional<CanvasPacket> fromBinary = readBinaryCanvasPacket(std::span(binary).first(b.size));
        const std::optional<CanvasPacket> fromJson = readJsonCanvasPacket(std::string_view(json.data(), j.size));
        ASSERT_TRUE(fromBinary && fromJson);

        // Every text shows the lines and ellipses the reference renderer draws.
        std::map<std::uint64_t, std::uint64_t> indexOfKey;
        for (const KeyedGpuCommand& k : current) indexOfKey[k.key] = k.index;
        std::size_t texts = 0;
        bool cutTextEndsInEllipsis = false;
        Rect ellipsisBox;
        for (std::size_t i = 0; i < fromBinary->commands->size(); ++i) {
            const PacketCommand& command = fromBinary->commands->at(i);
            if (!command.text) continue;
            const RenderCommand& render = frame->render_commands[indexOfKey.at(fromBinary->command_keys->at(i))];
            const DrawTextCommand& text = render.command.draw_text;
            SCOPED_TRACE(std::string(text.text));
            EXPECT_EQ(presenterLines(*command.text), referenceLines(text));
            ++texts;
            // The gallery's text 28: "Plain text, cut when too long for its box", cut to its box
            // on its one line; where the reference renderer draws the ellipsis.
            if (!text.text.starts_with("Plain text, cut when")) continue;
            const std::vector<std::string> shown = presenterLines(*command.text);
            cutTextEndsInEllipsis = shown.size() == 1 && shown[0].ends_with(kTextEllipsis);
            const TextRun run = textRunOfDrawText(text);
            TextLineIterator lines(run, run.layout);
            if (std::optional<TextLine> line = lines.next()) {
                ellipsisBox = {line->x + line->width - line->ellipsis_width, line->baseline - run.size,
                               line->ellipsis_width, run.size * 1.25f};
            }
        }
        EXPECT_GT(texts, 50u);
        EXPECT_TRUE(cutTextEndsInEllipsis);

        // Both forms of the frame draw the same pixels.
        const Buffer cpu = drawPacket(*fromBinary, gallery, width, height, scale);
        EXPECT_EQ(drawPacket(*fromJson, gallery, width, height, scale).bytes, cpu.bytes);

        const Comparison compared = compare(cpu, reference, shadowReach(*frame, scale, width, height), scale);
        std::printf("scale %g: %.3f %% of pixels disagree, %.3f %% outside shadows, %.1f %% in the worst tile\n", scale,
                    100 * compared.share, 100 * compared.shareOutsideShadows, 100 * compared.worstTile);
        EXPECT_LE(compared.share, kMaxShare);
        EXPECT_LE(compared.shareOutsideShadows, kMaxShareOutsideShadows);
        EXPECT_LE(compared.worstTile, kMaxTileShare);
        // The registered image shows in the image widget: the middle of each quarter in its colour.
        for (const Point& at : imageQuarterCentres()) {
            const std::array<std::uint8_t, 4> want = imageColourAt(at);
            const auto x = static_cast<std::uint32_t>(at.x * scale);
            const auto y = static_cast<std::uint32_t>(at.y * scale);
            EXPECT_EQ(cpu.at(x, y), want) << at.x << "," << at.y;
            EXPECT_EQ(reference.at(x, y), want) << at.x << "," << at.y;
        }
        // The ellipsis of text 28 is where the reference renderer draws it.
        const double ellipsis = disagreeingShare(cpu, reference, ellipsisBox, scale);
        std::printf("scale %g: %.1f %% of the ellipsis disagrees\n", scale, 100 * ellipsis);
        EXPECT_LE(ellipsis, kMaxEllipsisShare);
        if (const char* path = std::getenv("KELVO_WIDGET_GALLERY_PNG")) savePngs(path, scale, cpu, reference);
    }
}

}  // namespace
}  // namespace kelvo::testing
