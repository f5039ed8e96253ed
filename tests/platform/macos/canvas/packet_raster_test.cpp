// The frame draw's rules (clearing, scissor and dirty rects, failures, counters), single commands
// against a table of expected pixels, the box blur and the incremental verification.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "canvas_fixture.hpp"
#include "platform/macos/canvas/raster_cache.hpp"
#include "render/packet/packet_writers.hpp"
#include "support/bar_cells.hpp"

namespace kelvo::testing {
namespace {

std::string packetOf(const std::string& commands, const std::string& keys = "") {
    return R"({"loadAction":"clear","commands":[)" + commands + R"(],"commandKeys":[)" + keys + "]}";
}

std::string rectCommand(double x, double y, double w, double h, const char* colour = "[1,0,0,1]") {
    char text[320];
    std::snprintf(
        text, sizeof text,
        R"({"kind":"fill_rect_solid","bounds":[%g,%g,%g,%g],"opacity":1,"shape":{"kind":"rect","rect":[%g,%g,%g,%g]},"paint":{"kind":"color","color":%s}})",
        x, y, w, h, x, y, w, h, colour);
    return text;
}

TEST(CanvasCommandPixels, EachCaseDrawsItsPixel) {
    for (const std::string& line : readLines("canvas/command_pixels.txt")) {
        const std::vector<std::string> cells = barCellsOf(line);
        ASSERT_EQ(cells.size(), 5u) << line;
        SCOPED_TRACE(cells[0]);
        Scene scene = jsonScene(packetOf(cells[4]));
        scene.images.add(PacketImage{
            7, 1, 2, 2, std::vector<std::uint8_t>{255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255}});
        ASSERT_EQ(scene.commands.size(), 1u);
        Buffer buffer(20, 20);
        Drawing drawing(scene);
        EXPECT_EQ(drawing.draw(buffer), std::stoi(cells[1]));
        std::istringstream at(cells[2]);
        std::uint32_t x = 0, y = 0;
        at >> x >> y;
        std::istringstream expect(cells[3]);
        std::array<int, 4> want{};
        for (int& channel : want) expect >> channel;
        std::array<std::uint8_t, 4> got = buffer.at(x, y);
        EXPECT_EQ((std::array<int, 4>{got[0], got[1], got[2], got[3]}), want);
    }
}

TEST(CanvasCommandPixels, QuadIsTheCubicOfItsControlPoint) {
    auto path = [](const char* second) {
        return std::string(
                   R"({"kind":"fill_path","bounds":[0,0,20,20],"opacity":1,"shape":{"kind":"path","path":[{"verb":"move_to","points":[[0,10]]},)") +
               second + R"(,{"verb":"close","points":[]}]},"paint":{"kind":"color","color":[0,0,1,1]}})";
    };
    Scene quad = jsonScene(packetOf(path(R"({"verb":"quad_to","points":[[9,19],[18,10]]})")));
    Scene cubic = jsonScene(packetOf(path(R"({"verb":"cubic_to","points":[[6,16],[12,16],[18,10]]})")));
    Buffer a(20, 20), b(20, 20);
    Drawing(quad).draw(a);
    Drawing(cubic).draw(b);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.at(9, 12)[3], 255);
    EXPECT_EQ(a.at(9, 15)[3], 0);
}

TEST(CanvasFrame, FullPassCopiesATranslucentClearColour) {
    Scene scene = jsonScene(packetOf(""));
    Buffer buffer(8, 8, 200);
    Drawing drawing(scene);
    drawing.frame.clear_color = {1, 0.5, 0, 0.5};
    EXPECT_EQ(drawing.draw(buffer), 1);
    for (std::uint32_t y = 0; y < 8; ++y) {
        for (std::uint32_t x = 0; x < 8; ++x)
            EXPECT_EQ(buffer.at(x, y), (std::array<std::uint8_t, 4>{128, 64, 0, 128}));
    }
}

TEST(CanvasFrame, PartialPassesClearAndDrawOnlyWhereTheyMay) {
    Scene scene = jsonScene(packetOf(rectCommand(0, 0, 4, 4) + "," + rectCommand(12, 12, 4, 4), "1,2"));
    std::vector<PacketRect> dirty = {{0, 0, 8, 8}};

    // Without the scissor flag nothing is cleared and the dirty rects do not count.
    Buffer buffer(16, 16, 50);
    Drawing plain(scene);
    plain.frame.full_surface_pass = false;
    plain.frame.dirty_rects = dirty;
    EXPECT_EQ(plain.draw(buffer), 1);
    EXPECT_EQ(buffer.at(6, 6), (std::array<std::uint8_t, 4>{50, 50, 50, 50}));
    EXPECT_EQ(buffer.at(13, 13)[0], 255);
    EXPECT_EQ(plain.counters.drawn, 2u);

    // With it, the dirty rect is cleared, and a command with bounds outside every dirty rect is
    // neither drawn nor counted.
    Buffer partial(16, 16, 50);
    Drawing scissored(scene);
    scissored.frame.full_surface_pass = false;
    scissored.frame.has_scissor = true;
    scissored.frame.scissor = {0, 0, 16, 16};
    scissored.frame.dirty_rects = dirty;
    EXPECT_EQ(scissored.draw(partial), 1);
    EXPECT_EQ(partial.at(6, 6), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(partial.at(1, 1)[0], 255);
    EXPECT_EQ(partial.at(13, 13), (std::array<std::uint8_t, 4>{50, 50, 50, 50}));
    EXPECT_EQ(partial.at(10, 10), (std::array<std::uint8_t, 4>{50, 50, 50, 50}));
    EXPECT_EQ(scissored.counters.drawn, 1u);

    // A scissor alone clears and limits to itself; a command outside it is skipped uncounted.
    Buffer cut(16, 16, 50);
    Drawing scissor_only(scene);
    scissor_only.frame.full_surface_pass = false;
    scissor_only.frame.has_scissor = true;
    scissor_only.frame.scissor = {2, 2, 6, 6};
    EXPECT_EQ(scissor_only.draw(cut), 1);
    EXPECT_EQ(cut.at(1, 1), (std::array<std::uint8_t, 4>{50, 50, 50, 50}));
    EXPECT_EQ(cut.at(3, 3)[0], 255);
    EXPECT_EQ(cut.at(7, 7), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_EQ(scissor_only.counters.drawn, 1u);
}

TEST(CanvasFrame, AFailingCommandStopsTheFrameThere) {
    std::string failing =
        R"({"kind":"fill_rect_solid","bounds":[0,0,4,4],"opacity":1,"shape":{"kind":"rect","rect":[0,0,4,4]}})";
    Scene scene = jsonScene(packetOf(rectCommand(0, 0, 2, 2) + "," + failing + "," + rectCommand(8, 8, 2, 2)));
    Buffer buffer(16, 16);
    Drawing drawing(scene);
    EXPECT_EQ(drawing.draw(buffer), 0);
    EXPECT_EQ(buffer.at(1, 1)[0], 255);
    EXPECT_EQ(buffer.at(9, 9)[3], 0);
    Buffer none(0, 0);
    EXPECT_EQ(drawing.draw(none), -1);
}

TEST(CanvasFrame, DegenerateImageDrawsNothingAndTheFrameGoesOn) {
    std::string image =
        R"({"kind":"draw_image","bounds":[0,0,8,8],"opacity":1,"image":{"image":3,"dst":[0,0,8,-0],"opacity":1}})";
    Scene scene = jsonScene(packetOf(image + "," + rectCommand(8, 8, 2, 2)));
    scene.images.add(PacketImage{3, 1, 1, 1, std::vector<std::uint8_t>{0, 255, 0, 255}});
    Buffer buffer(16, 16);
    EXPECT_EQ(Drawing(scene).draw(buffer), 1);
    EXPECT_EQ(buffer.at(9, 9)[0], 255);
}

TEST(CanvasFrame, CountsHitsFillsAndDirectDraws) {
    std::string transformed =
        R"({"kind":"fill_rect_solid","bounds":[0,0,4,4],"opacity":1,"transform":[1,0,0,1,1,1],"shape":{"kind":"rect","rect":[0,0,2,2]},"paint":{"kind":"color","color":[0,0,1,1]}})";
    Scene scene =
        jsonScene(packetOf(rectCommand(0, 0, 4, 4) + "," + rectCommand(8, 8, 4, 4) + "," + transformed, "1,2,3"));
    RasterCache cache;
    rasterCacheEnsure(cache, 1, 16, 16);
    Buffer buffer(16, 16);
    Drawing drawing(scene, &cache);
    ASSERT_EQ(drawing.draw(buffer), 1);
    // The two cacheable misses were built by the pre-fill; the draws then hit them.
    EXPECT_EQ(drawing.counters, (PacketTraceCounters{3, 2, 2, 1, 0, drawing.counters.cache_fill_ns, 0}));
    ASSERT_EQ(drawing.draw(buffer), 1);
    EXPECT_EQ(drawing.counters.cache_hits, 2u);
    EXPECT_EQ(drawing.counters.cache_fills, 0u);

    // An equal command in a new object is a stale entry: removed and filled again.
    auto copy = std::make_shared<const PacketCommand>(*scene.commands[0]);
    scene.commands[0] = copy;
    drawing.frame.commands = scene.commands;
    ASSERT_EQ(drawing.draw(buffer), 1);
    EXPECT_EQ(drawing.counters.cache_hits, 1u);
    EXPECT_EQ(drawing.counters.cache_fills, 1u);
    EXPECT_EQ(cache.entries.at(1)->command, copy);
    EXPECT_EQ(cache.tick, 6u);
}

TEST(CanvasFrame, SlowCommandsAreTracedWithTheirMode) {
    // A paragraph of large text takes long enough in a debug build; the threshold is 0.3 ms.
    std::string text =
        R"({"kind":"draw_text","bounds":[0,0,400,400],"opacity":1,"transform":[1,0,0,1,0,0],"text":{"size":90,"origin":[0,90],"color":[0,0,0,1],"text":"WWWWWWWWWWWWWWWWWWWWWWWWWWWW","layout":{"maxWidth":400}}})";
    Scene scene = jsonScene(packetOf(text, "5"));
    Buffer buffer(400, 400);
    Drawing drawing(scene);
    drawing.environment.draw_trace = true;
    drawing.environment.draw_trace_kinds = true;
    std::FILE* out = std::tmpfile();
    drawing.environment.trace_out = out;
    ASSERT_EQ(drawing.draw(buffer), 1);
    EXPECT_GT(drawing.counters.direct_ns, 0u);
    std::rewind(out);
    char line[256] = {};
    if (drawing.counters.direct_ns >= 300'001) {
        ASSERT_NE(std::fgets(line, sizeof line, out), nullptr);
        EXPECT_EQ(std::string(line).rfind("kelvo: gpu cmd-trace mode=direct kind=draw_text us=", 0), 0u) << line;
        EXPECT_NE(std::string(line).find(" key=1 transform=1 clip=0 cacheable=0 bounds=0,0 400x400\n"),
                  std::string::npos);
    }
    std::fclose(out);
}

TEST(CanvasFrame, HugeAndNonFiniteNumbersDrawSafely) {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 1e30, -1e30};
    for (double v : values) {
        PacketCommand base;
        base.bounds = {v, v, v, v};
        base.opacity = v;
        base.stroke_width = v;
        base.clip = PacketRect{0, 0, v, v};
        base.shape = PacketShape{PacketShapeKind::rounded_rect, {v, 0, v, 4}, {v, v, v, v}, v, {v, v}, {v, 0}, {}};
        base.paint = PacketPaint{
            PacketPaintKind::linear_gradient, PacketColor{v, v, v, v}, {v, 0}, {0, v}, {{v, PacketColor{v, 1, 0, v}}}};
        base.text = PacketText{1, v, {v, v}, PacketColor{1, 0, 0, 1}, "Wv", PacketTextLayout{v, v}, std::nullopt};
        base.image = PacketImageDraw{
            1, PacketRect{v, 0, v, 1}, {v, v, v, v}, v, PacketImageFit::cover, PacketSampling::linear, {v, v, v, v}};
        base.effect =
            PacketEffect{PacketEffectKind::blur, {v, v, v, v}, {v, v, v, v}, {v, v}, v, v, PacketColor{0, 0, 0, v}, v};
        Scene scene;
        scene.images.add(PacketImage{1, 1, 1, 1, std::vector<std::uint8_t>{9, 9, 9, 255}});
        for (std::uint8_t kind = 0; kind < kPacketCommandKindCount; ++kind) {
            PacketCommand command = base;
            command.kind = kind;
            if (kind == 12) command.effect->kind = PacketEffectKind::shadow;
            scene.commands.push_back(std::make_shared<const PacketCommand>(command));
            PacketCommand transformed = command;
            transformed.clip.reset();
            transformed.bounds = {0, 0, 8, 8};
            transformed.transform = PacketTransform{v, v, v, v, v, v};
            scene.commands.push_back(std::make_shared<const PacketCommand>(transformed));
        }
        Buffer buffer(8, 8);
        Drawing drawing(scene);
        drawing.frame.scale = v;
        drawing.frame.clear_color = {v, v, v, v};
        EXPECT_GE(drawing.draw(buffer), 0);
    }
}

TEST(CanvasText, SizeIsBoundedBelowAndAbove) {
    auto text = [](double size) {
        char command[256];
        std::snprintf(
            command, sizeof command,
            R"({"kind":"draw_text","bounds":[0,0,64,64],"opacity":1,"text":{"size":%g,"origin":[0,40],"color":[0,0,0,1],"text":"H"}})",
            size);
        return jsonScene(packetOf(command));
    };
    Scene tiny = text(0);
    Scene one = text(1);
    Buffer a(64, 64), b(64, 64);
    Drawing(tiny).draw(a);
    Drawing(one).draw(b);
    EXPECT_EQ(a.bytes, b.bytes);
    // A size far beyond any screen is drawn at the cap, clipped to the target: it fills the canvas.
    Scene huge = text(1e12);
    Buffer c(64, 64);
    EXPECT_EQ(Drawing(huge).draw(c), 1);
}

// A line of a JSON text that is not an object fails the text there: the lines before it stay
// drawn, the lines after it and the commands after the text are not drawn.
TEST(CanvasText, ALineThatIsNoObjectFailsTheTextWhereItStands) {
    const std::string text =
        R"({"kind":"draw_text","bounds":[0,0,64,32],"opacity":1,"text":{"size":20,"origin":[0,20],"color":[0,0,0,1],)"
        R"("text":"HH","layout":{},"lines":[{"x":0,"baseline":20,"text":"H"},7,{"x":32,"baseline":20,"text":"H"}]}})";
    Scene scene = jsonScene(packetOf(text + "," + rectCommand(0, 28, 4, 4)));
    Buffer buffer(64, 32);
    Drawing drawing(scene);
    EXPECT_EQ(drawing.draw(buffer), 0);
    const auto inked = [&](std::uint32_t x0, std::uint32_t x1) {
        int count = 0;
        for (std::uint32_t y = 0; y < 24; ++y) {
            for (std::uint32_t x = x0; x < x1; ++x) count += buffer.at(x, y)[3] > 128 ? 1 : 0;
        }
        return count;
    };
    EXPECT_GT(inked(0, 20), 10);
    EXPECT_EQ(inked(32, 52), 0);
    EXPECT_EQ(buffer.at(1, 29)[3], 0);
}

// The scene of a JSON packet written in the binary form and read back.
Scene binaryTwin(const Scene& json) {
    std::vector<std::uint8_t> bytes(1 << 16);
    const PacketWriteResult written = writeBinaryCanvasPacket(json.packet, bytes);
    EXPECT_TRUE(written.fits);
    bytes.resize(written.size);
    Scene scene;
    std::optional<CanvasPacket> packet = readBinaryCanvasPacket(bytes);
    EXPECT_TRUE(packet.has_value());
    if (packet) scene.packet = std::move(*packet);
    adoptPacket(scene);
    return scene;
}

// A JSON text and its binary twin draw alike: a line the JSON form cannot read fails the text in
// both forms, and lines a text without a layout does not draw stay undrawn in both.
TEST(CanvasText, BothFormsDrawATextAlike) {
    for (const std::string& line : readLines("canvas/text_forms.txt")) {
        const std::vector<std::string> cells = barCellsOf(line);
        ASSERT_EQ(cells.size(), 3u) << line;
        SCOPED_TRACE(cells[0]);
        Scene json = jsonScene(packetOf(cells[2] + "," + rectCommand(0, 28, 4, 4)));
        Scene binary = binaryTwin(json);
        ASSERT_EQ(binary.commands.size(), 2u);
        Buffer fromJson(64, 32), fromBinary(64, 32);
        EXPECT_EQ(Drawing(json).draw(fromJson), std::stoi(cells[1]));
        EXPECT_EQ(Drawing(binary).draw(fromBinary), std::stoi(cells[1]));
        EXPECT_EQ(maxChannelDelta(fromJson, fromBinary), 0);
        EXPECT_EQ(fromJson.at(1, 29)[3], cells[1] == "1" ? 255 : 0);
    }
}

Buffer blurredColumn(double radius, double scale, double opacity) {
    // One bright pixel at (200, 0) of a 401 x 1 row.
    Buffer buffer(401, 1);
    std::fill_n(buffer.bytes.begin() + 800, 4, std::uint8_t{255});
    PacketEffect effect;
    effect.kind = PacketEffectKind::blur;
    effect.rect = {0, 0, 401 / scale, 1 / scale};
    effect.radius = radius;
    EXPECT_TRUE(applyPacketBlur(effect, std::nullopt, std::nullopt, opacity, scale, buffer.pixels()));
    return buffer;
}

TEST(CanvasBlur, WindowIsCappedAtSixtyFourPixels) {
    Buffer wide = blurredColumn(100, 2, 1);
    EXPECT_EQ(wide.at(200, 0)[0], 255 / 129);
    EXPECT_EQ(wide.at(200 - 64, 0)[0], 255 / 129);
    EXPECT_EQ(wide.at(200 + 64, 0)[0], 255 / 129);
    EXPECT_EQ(wide.at(200 - 65, 0)[0], 0);
    EXPECT_EQ(wide.at(200 + 65, 0)[0], 0);
    // Near the edge the window holds fewer pixels, and the division follows.
    Buffer edge(10, 1);
    std::fill_n(edge.bytes.begin(), 4, std::uint8_t{240});
    PacketEffect effect;
    effect.kind = PacketEffectKind::blur;
    effect.rect = {0, 0, 10, 1};
    effect.radius = 2;
    ASSERT_TRUE(applyPacketBlur(effect, std::nullopt, std::nullopt, 1, 1, edge.pixels()));
    EXPECT_EQ(edge.at(0, 0)[0], 80);
    EXPECT_EQ(edge.at(2, 0)[0], 48);
}

TEST(CanvasBlur, OpacityMovesPixelsPartWayAndDegenerateBlursDoNothing) {
    Buffer half = blurredColumn(2, 1, 0.5);
    EXPECT_EQ(half.at(200, 0)[0], 153);           // 255 + (51 - 255) / 2, rounded
    EXPECT_EQ(half.at(201, 0)[0], 26);            // 0 + (51 - 0) / 2, halves away from 0
    Buffer untouched = blurredColumn(0.2, 1, 1);  // rounds to radius 0
    EXPECT_EQ(untouched.at(200, 0)[0], 255);
    Buffer outside(4, 4, 7);
    PacketEffect effect;
    effect.kind = PacketEffectKind::blur;
    effect.rect = {50, 50, 10, 10};
    effect.radius = 3;
    EXPECT_TRUE(applyPacketBlur(effect, std::nullopt, std::nullopt, 1, 1, outside.pixels()));
    EXPECT_EQ(outside.bytes, std::vector<std::uint8_t>(64, 7));
    // Writes stay inside the repaint rects given.
    Buffer limited = blurredColumn(0, 1, 1);
    std::vector<PacketRect> repaint = {{201, 0, 1, 1}};
    PacketEffect spot;
    spot.kind = PacketEffectKind::blur;
    spot.rect = {0, 0, 401, 1};
    spot.radius = 2;
    ASSERT_TRUE(applyPacketBlur(spot, std::nullopt, std::nullopt, 1, 1, limited.pixels(), repaint));
    EXPECT_EQ(limited.at(200, 0)[0], 255);
    EXPECT_EQ(limited.at(201, 0)[0], 51);
    EXPECT_EQ(limited.at(202, 0)[0], 0);
    // The transform moves and scales the region and the radius.
    PacketTransform shift{2, 0, 0, 2, 40, 0};
    EXPECT_EQ(packetTransformRect(shift, {-5, 0, -10, 1}), (PacketRect{10, 0, 20, 2}));
    EXPECT_DOUBLE_EQ(packetTransformScale(shift), 2);
    EXPECT_DOUBLE_EQ(packetTransformScale(PacketTransform{0, 0, 0, 0, 0, 0}), 0.0001);
}

TEST(CanvasBlur, APartialPassBlursOnlyInsideItsDirtyRects) {
    Scene scene = loadScene("blur");
    Buffer buffer(192, 128);
    Drawing full(scene);
    full.frame.scale = 2;
    ASSERT_EQ(full.draw(buffer), 1);
    Buffer before = buffer;
    std::vector<PacketRect> dirty = {{30, 10, 10, 10}};
    Drawing partial(scene);
    partial.frame.scale = 2;
    partial.frame.full_surface_pass = false;
    partial.frame.has_scissor = true;
    partial.frame.scissor = {0, 0, 96, 64};
    partial.frame.dirty_rects = dirty;
    ASSERT_EQ(partial.draw(buffer), 1);
    for (std::uint32_t y = 0; y < 128; ++y) {
        for (std::uint32_t x = 0; x < 192; ++x) {
            bool inside = x >= 60 && x < 80 && y >= 20 && y < 40;
            if (!inside) {
                ASSERT_EQ(buffer.at(x, y), before.at(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(CanvasVerify, ComparesAgainstAFullRedrawAndKeepsTheFrameCounters) {
    Scene scene = jsonScene(packetOf(rectCommand(0, 0, 4, 4), "1"));
    Buffer buffer(8, 8);
    Drawing drawing(scene);
    ASSERT_EQ(drawing.draw(buffer), 1);
    drawing.counters.drawn = 41;  // what the frame reported must survive the redraw
    std::FILE* out = std::tmpfile();
    drawing.environment.trace_out = out;
    PacketVerifyState state;
    drawing.frame.scissor = {1, 2, 3, 4};
    for (int check = 0; check < 30; ++check) {
        verifyIncrementalBacking(state, buffer.bytes, drawing.frame, 8, 8, "main", drawing.environment);
    }
    EXPECT_EQ(drawing.counters.drawn, 41u);
    buffer.bytes[(3 * 8 + 5) * 4 + 1] = 9;
    verifyIncrementalBacking(state, buffer.bytes, drawing.frame, 8, 8, "main", drawing.environment);
    EXPECT_EQ(state.check_count, 31u);
    EXPECT_EQ(state.mismatch_count, 1u);
    std::rewind(out);
    std::string text;
    for (char line[256]; std::fgets(line, sizeof line, out) != nullptr;) text += line;
    std::fclose(out);
    EXPECT_EQ(text,
              "kelvo: gpu incremental verify view=main checks=1 mismatches=0\n"
              "kelvo: gpu incremental verify view=main checks=30 mismatches=0\n"
              "kelvo: gpu incremental verify MISMATCH view=main check=31 pixel=(5,3) scissor=(1.00,2.00 3.00x4.00)\n"
              "kelvo: gpu incremental verify view=main checks=31 mismatches=1\n");
}

}  // namespace
}  // namespace kelvo::testing
