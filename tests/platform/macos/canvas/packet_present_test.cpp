// Presentation of packets on the CPU path: the retained state through clears and patches, image
// actions, the pixel buffer a partial pass needs, and the raw pixel upload.

#include <gtest/gtest.h>

#include <sstream>

#include "platform/macos/canvas/packet_images.hpp"
#include "platform/macos/canvas/presenter_fixture.hpp"
#include "render/packet/packet_readers.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::clearPacket;
using testing::patchPacket;
using testing::solidRect;
using testing::surface;
using testing::TestCanvasView;

constexpr PacketColor kRed{1, 0, 0, 1};
constexpr PacketColor kBlue{0, 0, 1, 1};

std::array<std::uint8_t, 4> pixelAt(const std::vector<std::uint8_t>& bytes, std::uint32_t width, std::uint32_t x,
                                    std::uint32_t y) {
    std::size_t at = (std::size_t{y} * width + x) * 4;
    return {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
}

// The cells of a table line, apart by '|', without the spaces around them.
std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, '|');) {
        const std::size_t first = cell.find_first_not_of(' ');
        const std::size_t last = cell.find_last_not_of(' ');
        cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    }
    return cells;
}

CanvasPacket twoRects(std::uint64_t generation) {
    return clearPacket(generation, {solidRect({0, 0, 4, 4}, kRed), solidRect({4, 0, 4, 4}, kBlue)}, {10, 11});
}

TEST(CanvasRetainedState, PatchNeedsAClearOfTheSameGeneration) {
    TestCanvasView view;
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(1, {}, {}, {}), surface(8, 4, 1)), 0);
    EXPECT_FALSE(view.state.hasRetainedState);

    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    ASSERT_TRUE(view.state.hasRetainedState);
    // Another generation is refused and leaves the state as it was: the right one still applies.
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(6, {}, {}, {11, 10}), surface(8, 4, 1)), 0);
    EXPECT_TRUE(view.state.hasRetainedState);
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(5, {10}, {{12, solidRect({0, 0, 4, 4}, kBlue)}}, {12, 11}),
                                  surface(8, 4, 1)),
              1);
    EXPECT_EQ(pixelAt(view.shown(), 8, 1, 1), (std::array<std::uint8_t, 4>{0, 0, 255, 255}));
    EXPECT_EQ(view.state.retainedOrder, (std::vector<std::uint64_t>{12, 11}));
}

TEST(CanvasRetainedState, BadPatchEntriesDropTheState) {
    struct Case {
        const char* name;
        CanvasPacket patch;
    };
    std::vector<Case> cases = {
        {"evict of a key not retained", patchPacket(5, {99}, {}, {10, 11})},
        {"order naming an unknown key", patchPacket(5, {}, {}, {10, 99})},
        {"order count differs", patchPacket(5, {}, {}, {10})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestCanvasView view;
        ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
        EXPECT_EQ(presentCanvasPacket(view.state, c.patch, surface(8, 4, 1)), 0);
        EXPECT_FALSE(view.state.hasRetainedState);
        // And the next patch, however good, is refused until a new clear.
        EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(5, {}, {}, {10, 11}), surface(8, 4, 1)), 0);
    }
}

TEST(CanvasRetainedState, JsonPatchesFollowTheTable) {
    for (const std::string& line : testing::readLines("canvas/json_patches.txt")) {
        const std::vector<std::string> cells = cellsOf(line);
        ASSERT_EQ(cells.size(), 4u) << line;
        SCOPED_TRACE(cells[0]);
        const std::optional<CanvasPacket> patch = readJsonCanvasPacket(cells[3]);
        ASSERT_TRUE(patch);
        TestCanvasView view;
        ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
        EXPECT_EQ(presentCanvasPacket(view.state, *patch, surface(8, 4, 1)), std::stoi(cells[1]));
        EXPECT_EQ(view.state.hasRetainedState, cells[2] == "kept");
        if (cells[2] == "dropped") {
            // Nothing patches the dropped state; the next frame goes whole.
            EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(5, {}, {}, {10, 11}), surface(8, 4, 1)), 0);
            EXPECT_EQ(presentCanvasPacket(view.state, twoRects(6), surface(8, 4, 1)), 1);
            EXPECT_TRUE(view.state.hasRetainedState);
        }
    }
}

TEST(CanvasRetainedState, ALoadNeverRecordsRetainedState) {
    TestCanvasView view;
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    ASSERT_TRUE(view.state.hasRetainedState);
    // A "load" with everything a "clear" would be retained with: a generation, unique keys.
    CanvasPacket load = twoRects(7);
    load.load_action = PacketLoadAction::load;
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 4, 1)), 1);
    EXPECT_FALSE(view.state.hasRetainedState);
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(7, {}, {}, {10, 11}), surface(8, 4, 1)), 0);
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(5, {}, {}, {10, 11}), surface(8, 4, 1)), 0);
}

TEST(CanvasRetainedState, ACommandCountMismatchDropsThePatchedState) {
    TestCanvasView view;
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    PacketPresentArgs counted = surface(8, 4, 1);
    counted.commandCount = 3;
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(5, {}, {}, {10, 11}), counted), 0);
    EXPECT_FALSE(view.state.hasRetainedState);
    // The right count no longer helps: the state is gone until the next clear.
    counted.commandCount = 2;
    EXPECT_EQ(presentCanvasPacket(view.state, patchPacket(5, {}, {}, {10, 11}), counted), 0);
}

TEST(CanvasRetainedState, OrderMayRepeatAKeyAndLeaveOneOut) {
    TestCanvasView view;
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    ASSERT_EQ(presentCanvasPacket(view.state, patchPacket(5, {}, {}, {10, 10}), surface(8, 4, 1)), 1);
    // Key 11 is not drawn (the right half shows the clear colour) but stays retained.
    EXPECT_EQ(pixelAt(view.shown(), 8, 6, 1), (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
    EXPECT_EQ(view.state.retainedCommands.count(11), 1u);
    EXPECT_EQ(view.state.retainedOrder, (std::vector<std::uint64_t>{10, 10}));
}

TEST(CanvasRetainedState, ClearsThatCannotBeRetainedStillPresent) {
    std::vector<PacketCommand> many(2049, solidRect({0, 0, 1, 1}, kRed));
    std::vector<std::uint64_t> keys(2049);
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = i + 1;
    struct Case {
        const char* name;
        CanvasPacket packet;
    };
    std::vector<Case> cases = {
        {"2049 commands", clearPacket(1, many, keys)},
        {"two equal keys", clearPacket(1, {solidRect({0, 0, 1, 1}, kRed), solidRect({0, 0, 1, 1}, kRed)}, {3, 3})},
        {"key count differs", clearPacket(1, {solidRect({0, 0, 1, 1}, kRed)}, {3, 4})},
        {"generation 0", clearPacket(0, {solidRect({0, 0, 1, 1}, kRed)}, {3})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestCanvasView view;
        ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
        EXPECT_EQ(presentCanvasPacket(view.state, c.packet, surface(8, 4, 1)), 1);
        EXPECT_FALSE(view.state.hasRetainedState);
    }
}

TEST(CanvasRetainedState, PartialPassNeedsAValidBufferOfTheSameSize) {
    CanvasPacket load;
    load.load_action = PacketLoadAction::load;
    load.commands = std::vector<PacketCommand>{solidRect({0, 0, 2, 2}, kRed)};
    load.scissor = PacketRect{0, 0, 2, 2};
    TestCanvasView view;
    // The very first packet of a view must be a clear.
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 4, 1)), 0);
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 4, 1)), 1);
    // Another size: nothing to draw over.
    EXPECT_EQ(presentCanvasPacket(view.state, load, surface(8, 4, 2)), 0);
    // A command count that does not match refuses the packet.
    PacketPresentArgs counted = surface(8, 4, 1);
    counted.commandCount = 3;
    EXPECT_EQ(presentCanvasPacket(view.state, twoRects(5), counted), 0);
}

TEST(CanvasRetainedState, DirtyRectListsThatDoNotCount) {
    // Without scissor bounds, or with more than eight, dirty rects are ignored: the whole scissor
    // (or the whole surface) is uploaded.
    TestCanvasView view;
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    CanvasPacket patch = patchPacket(5, {}, {{10, solidRect({0, 0, 4, 4}, kBlue)}}, {10, 11});
    patch.scissor = PacketRect{0, 0, 4, 4};
    patch.dirty_rects = std::vector<PacketRect>(9, PacketRect{0, 0, 1, 1});
    ASSERT_EQ(presentCanvasPacket(view.state, patch, surface(8, 4, 1)), 1);
    EXPECT_EQ(pixelAt(view.shown(), 8, 3, 3), (std::array<std::uint8_t, 4>{0, 0, 255, 255}));
}

TEST(CanvasRetainedState, DrawTraceLine) {
    TestCanvasView view;
    view.state.switches.drawTracePresent = true;
    view.state.hooks.clockNs = [](void*) -> std::uint64_t { return 1500; };  // every duration 0
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(8, 4, 1)), 1);
    CanvasPacket patch = patchPacket(5, {}, {}, {10, 11});
    patch.scissor = PacketRect{0.5, 0, 3, 2};
    patch.dirty_rects = std::vector<PacketRect>{{0, 0, 1, 1}, {2, 0, 1, 1}};
    ASSERT_EQ(presentCanvasPacket(view.state, patch, surface(8, 4, 1)), 1);
    std::string trace = view.traceText();
    EXPECT_NE(trace.find("kelvo: gpu draw-trace action=clear scissor=0 rect=0x0 rects=0 draw_us=0 present_us=0 "
                         "drawn=2 hit="),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("action=patch scissor=1 rect=4x2 rects=2 draw_us=0 present_us=0 drawn="), std::string::npos)
        << trace;
}

TEST(CanvasRetainedState, PacketEntryPresentsThroughTheView) {
    TestCanvasView view;
    PacketPresenter presenter = canvasPacketPresenter(view.state);
    PacketEntryArgs args;
    args.width = 8;
    args.height = 4;
    args.scale = 1;
    args.requiresRender = true;
    std::string_view json = R"({"loadAction":"clear","generation":2,"commandKeys":[1],"commands":[)"
                            R"({"kind":"fill_rect_solid","bounds":[0,0,8,4],"opacity":1,"shape":{"kind":"rect",)"
                            R"("rect":[0,0,8,4]},"paint":{"kind":"color","color":[0,1,0,1]}}]})";
    PacketTimings timings;
    auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size());
    EXPECT_EQ(enterCanvasPacket(presenter, args, PacketForm::json, bytes, timings), PacketEntryResult::presented);
    EXPECT_EQ(pixelAt(view.shown(), 8, 7, 3), (std::array<std::uint8_t, 4>{0, 255, 0, 255}));
    EXPECT_TRUE(view.state.hasRetainedState);
    view.state.device = nullptr;  // a view that cannot present
    EXPECT_EQ(enterCanvasPacket(presenter, args, PacketForm::json, bytes, timings), PacketEntryResult::unavailable);
}

PacketImage packetImage(std::uint64_t id, double width, double height, std::vector<std::uint8_t> pixels) {
    PacketImage image;
    image.image_id = id;
    image.width = width;
    image.height = height;
    image.pixels = std::move(pixels);
    return image;
}

PacketImageAction action(PacketImageActionKind kind, std::uint64_t id, std::optional<std::uint64_t> index = {}) {
    PacketImageAction a;
    a.kind = kind;
    a.image_id = id;
    a.image_index = index;
    return a;
}

TEST(CanvasImageActions, EvictsRunBeforeUploadsAndFailuresChangeNothing) {
    CanvasPresenterState state;
    CanvasPacket packet;
    packet.images = {packetImage(7, 1, 1, {255, 0, 0, 128})};
    packet.image_actions = {action(PacketImageActionKind::upload, 7, 0), action(PacketImageActionKind::evict, 7)};
    ASSERT_TRUE(applyImageActions(state, packet));
    ASSERT_EQ(state.imageCache.count(7), 1u);
    EXPECT_EQ(state.imageCache[7]->rgba, (std::vector<std::uint8_t>{128, 0, 0, 128}));  // premultiplied

    // An evict followed by an action that cannot be taken: nothing is applied.
    for (PacketImageAction bad :
         {action(PacketImageActionKind::unknown, 7), action(PacketImageActionKind::upload, 7, 3),
          action(PacketImageActionKind::upload, 7)}) {
        packet.image_actions = {action(PacketImageActionKind::evict, 7), bad};
        EXPECT_FALSE(applyImageActions(state, packet));
        EXPECT_EQ(state.imageCache.count(7), 1u);
    }
    packet.image_actions = {action(PacketImageActionKind::retain, 7)};
    EXPECT_TRUE(applyImageActions(state, packet));
    EXPECT_EQ(state.imageCache.count(7), 1u);
}

TEST(CanvasImageActions, UploadSources) {
    CanvasPresenterState state;
    CanvasImageMap store;
    store[7] = makeCanvasImage(2, 1, std::vector<std::uint8_t>{1, 2, 3, 255, 4, 5, 6, 255});
    state.imageStore = &store;
    CanvasPacket packet;
    packet.images = {packetImage(7, 1, 1, {255, 0, 0, 255}), packetImage(8, 2, 2, {1, 2, 3}),
                     packetImage(9, 0.4, 1, {1, 2, 3, 4})};
    state.imageCache[8] = store[7];
    state.imageCache[9] = store[7];
    packet.image_actions = {action(PacketImageActionKind::upload, 7, 0), action(PacketImageActionKind::upload, 8, 1),
                            action(PacketImageActionKind::upload, 9, 2)};
    ASSERT_TRUE(applyImageActions(state, packet));
    EXPECT_EQ(state.imageCache[7], store[7]);  // the store wins over packet pixels
    EXPECT_EQ(state.imageCache.count(8), 0u);  // too few pixels
    EXPECT_EQ(state.imageCache.count(9), 0u);  // a side that rounds to 0
}

struct RawFrame {
    std::vector<std::uint8_t> bytes;
    RawPixelFrame frame;
    RawFrame(std::uint32_t width, std::uint32_t height, std::uint8_t fill)
        : bytes(std::size_t{width} * height * 4, fill) {
        frame.width = width;
        frame.height = height;
        frame.rgba8 = bytes.data();
        frame.byteLength = bytes.size();
    }
};

TEST(CanvasRawPixels, SizesAndLengthsAreChecked) {
    TestCanvasView view;
    RawFrame good(4, 2, 9);
    EXPECT_TRUE(presentPixels(view.state, good.frame));
    RawPixelFrame shortBytes = good.frame;
    shortBytes.byteLength -= 1;
    EXPECT_FALSE(presentPixels(view.state, shortBytes));
    // Sides past the limit, and a product that wraps 64 bits to the byte length, are refused.
    RawPixelFrame wide = good.frame;
    wide.width = 8193;
    wide.byteLength = 8193 * 4 * 2;
    EXPECT_FALSE(presentPixels(view.state, wide));
    RawPixelFrame wrapping = good.frame;
    wrapping.width = std::uint64_t{1} << 62;
    wrapping.height = 4;
    wrapping.byteLength = 0;
    EXPECT_FALSE(presentPixels(view.state, wrapping));
    EXPECT_EQ(view.state.canvasTexture->width, 4u);
}

TEST(CanvasRawPixels, DirtyRegions) {
    TestCanvasView view;
    RawFrame first(4, 4, 0);
    ASSERT_TRUE(presentPixels(view.state, first.frame));
    int renders = view.renders;

    // An empty list uploads nothing, yet marks the texture and renders.
    RawFrame second(4, 4, 200);
    second.frame.hasDirtyRect = true;
    second.frame.dirtyRect = PacketRect{0, 0, 2, 2};
    second.frame.dirtyRects = std::span<const PacketRect>{};
    ASSERT_TRUE(presentPixels(view.state, second.frame));
    EXPECT_EQ(view.renders, renders + 1);
    EXPECT_EQ(view.shown()[0], 0);

    // One rect wholly outside: yes at once, without rendering.
    second.frame.dirtyRects.reset();
    second.frame.dirtyRect = PacketRect{10, 10, 2, 2};
    ASSERT_TRUE(presentPixels(view.state, second.frame));
    EXPECT_EQ(view.renders, renders + 1);

    // A region at scale 2: points (0.5, 0.5, 0.5, 0.5) are pixels 1..1.
    second.frame.scale = 2;
    second.frame.dirtyRect = PacketRect{0.5, 0.5, 0.5, 0.5};
    ASSERT_TRUE(presentPixels(view.state, second.frame));
    std::vector<std::uint8_t> shown = view.shown();
    EXPECT_EQ(pixelAt(shown, 4, 1, 1)[0], 200);
    EXPECT_EQ(pixelAt(shown, 4, 2, 1)[0], 0);
    EXPECT_EQ(pixelAt(shown, 4, 0, 0)[0], 0);
    EXPECT_EQ(pixelAt(view.state.pixels, 4, 1, 1)[0], 200);  // the mirror follows
}

TEST(CanvasRawPixels, UploadWaitsForTheCompositeInFlight) {
    TestCanvasView view(true);
    ASSERT_EQ(presentCanvasPacket(view.state, twoRects(5), surface(4, 4, 1)), 1);
    ASSERT_FALSE(view.device.inFlight.empty());  // the composite has not run yet
    RawFrame raw(4, 4, 77);
    ASSERT_TRUE(presentPixels(view.state, raw.frame));
    // Had the composite run after the upload, it would have painted over it.
    EXPECT_EQ(view.shown()[0], 77);
}

}  // namespace
}  // namespace kelvo
