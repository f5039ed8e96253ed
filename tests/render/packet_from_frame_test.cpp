#include <gtest/gtest.h>

#include "render/frame_fixture.hpp"
#include "render/frame_history.hpp"
#include "render/packet/packet_from_frame.hpp"
#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_writers.hpp"

namespace kelvo {
namespace {

using testing::PlannedView;
using testing::solidRect;

struct Written {
    CanvasPacket model;
    CanvasPacketCounts counts;
};

Written write(const CanvasFrame& frame, const CanvasFrameHistory& history, PacketLoadAction action) {
    static std::array<KeyedGpuCommand, kMaxKeyedGpuCommands> keyed;
    std::span<const KeyedGpuCommand> current;
    if (frame.packet_keys) {
        current = *frame.packet_keys;
    } else {
        const auto n = gatherCanvasPacketCurrentCommandsFromPlan(
            frame.render_commands, frame.width, frame.height, frame.content_bounds, keyed, frame.command_fingerprints);
        current = std::span<const KeyedGpuCommand>(keyed).first(n.value_or(0));
    }
    CanvasPacketPlan plan{&frame, current, history.keyedCommands(), action, 3};
    Written out;
    out.counts = buildCanvasPacket(plan, out.model);
    return out;
}

// Both forms of the packet read back to the model written.
void expectBothFormsReadBack(const CanvasPacket& model) {
    std::vector<std::uint8_t> binary(1 << 20);
    std::vector<char> json(1 << 20);
    const PacketWriteResult b = writeBinaryCanvasPacket(model, binary);
    const PacketWriteResult j = writeJsonCanvasPacket(model, json);
    ASSERT_TRUE(b.fits && j.fits);
    EXPECT_EQ(readBinaryCanvasPacket(std::span(binary).first(b.size)), model);
    EXPECT_EQ(readJsonCanvasPacket(std::string_view(json.data(), j.size)), model);
}

std::vector<CanvasCommand> scene() {
    DrawLineCommand line{4, Stroke{Paint::solid({0, 0, 1, 1}), 4}, {10, 80}, {150, 80}};
    std::vector<CanvasCommand> list = {solidRect(1, {0, 0, 200, 100}, {1, 1, 1, 1}), solidRect(2, {10, 10, 30, 20}),
                                       CanvasCommand::drawLine(line), testing::textRun(5, "hello", {20, 50})};
    return list;
}

TEST(PacketFromFrame, AClearCarriesEveryVisibleCommandInDrawingOrderAndReadsBack) {
    PlannedView view;
    view.list = scene();
    const CanvasFrame frame = *view.plan();
    const Written w = write(frame, *view.history, PacketLoadAction::clear);
    ASSERT_TRUE(w.model.commands);
    EXPECT_EQ(w.model.command_keys, (std::vector<std::uint64_t>{1, 2, 4, 5}));
    EXPECT_EQ(w.model.commands->at(2).kind, 6);  // draw_line_solid
    EXPECT_EQ(w.model.commands->at(3).text->text, "hello");
    EXPECT_EQ(w.counts.upserts, 4u);
    expectBothFormsReadBack(w.model);
}

TEST(PacketFromFrame, BoundsAreInSurfaceSpaceWithTheStrokeAndAFringe) {
    PlannedView view;
    view.scale = 2;
    std::vector<CanvasCommand> list = {
        CanvasCommand::transformBy(Affine{1, 0, 0, 1, 100, 40}),
        CanvasCommand::drawLine({4, Stroke{Paint::solid({0, 0, 0, 1}), 4}, {0, 0}, {20, 0}})};
    view.list = list;
    const CanvasFrame frame = *view.plan();
    const Written w = write(frame, *view.history, PacketLoadAction::clear);
    ASSERT_EQ(w.model.commands->size(), 1u);
    const PacketCommand& line = w.model.commands->front();
    // The line runs from (100, 40) to (120, 40) on the surface, 2 points each side of it, and half
    // a point (one pixel at scale 2) of fringe.
    EXPECT_EQ(line.bounds, (PacketRect{97.5, 37.5, 25, 5}));
    EXPECT_TRUE(line.transform);
    EXPECT_EQ(line.shape->from, (PacketPoint{0, 0}));
}

TEST(PacketFromFrame, APatchSendsOnlyWhatChangedAndTheWholeOrder) {
    PlannedView view;
    view.list = scene();
    view.present();
    std::vector<CanvasCommand> next = scene();
    next[1] = solidRect(2, {12, 10, 30, 20});  // moved
    next.erase(next.begin() + 2);              // the line goes
    next.push_back(solidRect(9, {150, 10, 20, 20}));
    view.show(next);
    const CanvasFrame frame = *view.plan();
    const Written w = write(frame, *view.history, PacketLoadAction::patch);
    EXPECT_EQ(w.model.patch_evicts, std::vector<std::uint64_t>{4});
    ASSERT_TRUE(w.model.patch_upserts);
    std::vector<std::uint64_t> upserted;
    for (const PacketUpsert& u : *w.model.patch_upserts) upserted.push_back(u.key);
    EXPECT_EQ(upserted, (std::vector<std::uint64_t>{2, 9}));
    EXPECT_EQ(w.model.patch_order, (std::vector<std::uint64_t>{1, 2, 5, 9}));
    ASSERT_TRUE(w.model.scissor);
    ASSERT_TRUE(w.model.dirty_rects);
    EXPECT_LE(w.model.dirty_rects->size(), kPacketMaxDirtyRects);
    expectBothFormsReadBack(w.model);
}

TEST(PacketFromFrame, AnImageTheViewDoesNotHoldIsDrawnButNeverUploaded) {
    PlannedView view;
    view.list = scene();
    DrawImageCommand missing;
    missing.id = 7;
    missing.image = 42;  // registered nowhere
    missing.dst = {100, 20, 40, 30};
    view.list.push_back(CanvasCommand::drawImage(missing));
    const CanvasFrame frame = *view.plan();
    const Written w = write(frame, *view.history, PacketLoadAction::clear);
    ASSERT_TRUE(w.model.commands);
    EXPECT_EQ(w.model.commands->size(), 5u);
    EXPECT_TRUE(w.model.images.empty());
    // An upload names an image the packet carries; with none to carry, nothing is uploaded.
    for (const PacketImageAction& action : w.model.image_actions) {
        EXPECT_NE(action.kind, PacketImageActionKind::upload) << action.image_id;
    }
    expectBothFormsReadBack(w.model);
}

TEST(PacketFromFrame, DirtyRectanglesGrowByTheWindowOfABlurInThem) {
    PlannedView view;
    std::vector<CanvasCommand> list = {solidRect(1, {0, 0, 200, 100}), solidRect(2, {50, 40, 10, 10}),
                                       CanvasCommand::blurOf({3, {0, 0, 200, 100}, 6})};
    view.list = list;
    view.present();
    list[1] = solidRect(2, {50, 40, 10, 10}, {1, 0, 0, 1});
    view.show(list);
    const CanvasFrame frame = *view.plan();
    ASSERT_TRUE(frame.dirty);
    const Written w = write(frame, *view.history, PacketLoadAction::patch);
    ASSERT_TRUE(w.model.dirty_rects);
    const PacketRect d = w.model.dirty_rects->front();
    EXPECT_LE(d.x, frame.dirty->x - 6);
    EXPECT_GE(d.x + d.width, frame.dirty->x + frame.dirty->width + 6);
    EXPECT_EQ(*w.model.scissor, d);
}

}  // namespace
}  // namespace kelvo
