#include "runtime/canvas/canvas_frame_present.hpp"

#include <gtest/gtest.h>

#include "canvas_display_scenario.hpp"
#include "render/packet/packet_readers.hpp"
#include "runtime/canvas/canvas_frame_tick.hpp"
#include "runtime/flow/app_binding.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {
namespace {

constexpr const char* kTwoButtons =
    "column id=1 rect=0,0,320,240\n"
    "  button id=2 rect=10,10,120,40 text=\"a\"\n"
    "  button id=3 rect=10,60,120,40 text=\"b\"\n";

// The canvas view of the display scenario, ticked by frame events, with what it sent the
// platform's present services read back.
class FramePresent : public testing::CanvasDisplayScenario {
protected:
    void tick(std::uint64_t n, float width = 320) {
        GpuSurfaceFrame frame;
        frame.windowId = 1;
        frame.label = "canvas";
        frame.width = width;
        frame.height = 240;
        frame.frameIndex = n;
        frame.timestampNs = 1'000'000'000 + n * 16'666'667;
        ASSERT_TRUE(dispatchGpuSurfaceFrame(*runtime, binding, frame));
    }

    // The binary packets sent since the last look, decoded.
    std::vector<CanvasPacket> packets() {
        std::vector<CanvasPacket> out;
        for (const auto& call : test.callsTo(PlatformSlot::presentGpuSurfacePacketBinary)) {
            const std::string& bytes = call.texts.at(0);
            std::optional<CanvasPacket> packet =
                readBinaryCanvasPacket(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
            EXPECT_TRUE(packet);
            if (packet) out.push_back(std::move(*packet));
        }
        test.clearCalls();
        return out;
    }

    const CanvasPresentInfo& report() { return canvas().canvas.present.info; }

    // Changes the label of button 3: a new display list, drawn as a change (a new tree alone
    // would ask for a whole frame).
    void relabel(std::string_view text) {
        std::string tree = kTwoButtons;
        tree.replace(tree.find("text=\"b\""), 8, "text=\"" + std::string(text) + "\"");
        install(tree);
        canvas().canvas.fullFrameDue = false;
    }

    void withoutSlot(PlatformSlot slot) {
        test.emptySlot(slot);
        runtime->platform.slots = test.platform().slots;
    }

    AppBinding binding;
};

TEST_F(FramePresent, AClearComesFirstThenKeyedPatchesThenNothingForAnUnchangedFrame) {
    install(kTwoButtons);
    tick(1);
    std::vector<CanvasPacket> sent = packets();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].load_action, PacketLoadAction::clear);
    ASSERT_TRUE(sent[0].commands);
    EXPECT_FALSE(sent[0].commands->empty());
    EXPECT_EQ(report().mode, CanvasPresentMode::full);
    EXPECT_EQ(report().path, CanvasPresentPath::packet);
    const std::uint64_t visible = sent[0].commands->size();
    EXPECT_EQ(report().retainedCommands, visible);
    const std::uint64_t cleared = sent[0].generation.value_or(0);
    EXPECT_NE(cleared, 0u);

    relabel("bb");
    tick(2);
    sent = packets();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].load_action, PacketLoadAction::patch);
    // A patch names the "clear" it edits, which is what the surface checks it against.
    EXPECT_EQ(sent[0].generation, cleared);
    ASSERT_TRUE(sent[0].patch_upserts && sent[0].patch_order && sent[0].scissor);
    EXPECT_LT(sent[0].patch_upserts->size(), visible);
    EXPECT_EQ(report().mode, CanvasPresentMode::patch);
    EXPECT_EQ(report().patchUpserts, sent[0].patch_upserts->size());
    EXPECT_GT(report().patchBytes, 28u);
    EXPECT_EQ(viewInfo(canvas()).canvas.present, report());

    tick(3);
    EXPECT_TRUE(packets().empty());
    EXPECT_FALSE(canvas().canvas.frameInfo.requiresRender);

    // A new size starts over with a clear.
    tick(4, 300);
    sent = packets();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].load_action, PacketLoadAction::clear);
    EXPECT_GT(sent[0].generation.value_or(0), cleared);
}

TEST_F(FramePresent, ARefusedPatchIsFollowedByOneClear) {
    install(kTwoButtons);
    tick(1);
    packets();
    relabel("c");
    test.failSlot(PlatformSlot::presentGpuSurfacePacketBinary, Error::UnsupportedService, 1);
    tick(2);
    const std::vector<CanvasPacket> sent = packets();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].load_action, PacketLoadAction::patch);
    EXPECT_EQ(sent[1].load_action, PacketLoadAction::clear);
    EXPECT_EQ(report().fallback, CanvasPresentFallback::patch_refused);
    EXPECT_EQ(report().fallbackFrames, 1u);
    EXPECT_EQ(report().mode, CanvasPresentMode::full);
    // The next change patches again.
    relabel("d");
    tick(3);
    ASSERT_EQ(packets().at(0).load_action, PacketLoadAction::patch);
    EXPECT_EQ(report().fallback, CanvasPresentFallback::none);
}

TEST_F(FramePresent, WithoutPacketServicesTheFrameGoesAsPixels) {
    withoutSlot(PlatformSlot::presentGpuSurfacePacketBinary);
    withoutSlot(PlatformSlot::presentGpuSurfacePacket);
    install(kTwoButtons);
    tick(1);
    const auto call = test.lastCall(PlatformSlot::presentGpuSurfacePixels);
    ASSERT_TRUE(call);
    EXPECT_NE(call->args.find("size=320x240"), std::string::npos) << call->args;
    EXPECT_EQ(report().path, CanvasPresentPath::pixels);
    EXPECT_EQ(report().fallback, CanvasPresentFallback::missing_service);
    EXPECT_EQ(report().fallbackFrames, 1u);
    EXPECT_FALSE(slot().frames.history.has_previous_packet);
}

TEST_F(FramePresent, TheJsonFormGoesWhenOnlyItsServiceIsThere) {
    withoutSlot(PlatformSlot::presentGpuSurfacePacketBinary);
    install(kTwoButtons);
    tick(1);
    const auto call = test.lastCall(PlatformSlot::presentGpuSurfacePacket);
    ASSERT_TRUE(call);
    const std::optional<CanvasPacket> packet = readJsonCanvasPacket(call->texts.at(0));
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->load_action, PacketLoadAction::clear);
}

}  // namespace
}  // namespace kelvo
