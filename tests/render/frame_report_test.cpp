#include "render/frame_report.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace kelvo {
namespace {

RenderCommand solidAt(Rect bounds) {
    RenderCommand render;
    render.command = CanvasCommand::fillRect({16, Paint::solid({0, 0, 0, 1}), bounds});
    render.bounds = bounds;
    return render;
}

// A frame of `commands` solid rectangles on a 100 x 100 surface, one batch each.
struct HandFrame {
    std::vector<RenderCommand> commands;
    std::vector<RenderBatch> batches;
    std::vector<VisualEffect> effects;
    std::vector<RetainedCacheAction> uploads;
    CanvasFrame frame;

    explicit HandFrame(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            commands.push_back(solidAt({float(i), 0, 1, 1}));
            batches.push_back({i, 1, 1, {}, false, std::nullopt, PipelineKind::solid});
        }
        frame.width = 100;
        frame.height = 100;
    }

    CanvasFrame& build() {
        frame.render_commands = commands;
        frame.batches = batches;
        frame.effects = effects;
        frame.resource_cache.actions = uploads;
        return frame;
    }
};

TEST(CanvasFrameReport, FramesWithNothingToDrawCostNothing) {
    HandFrame hand(3);
    const CanvasFrameReport report = canvasFrameReport(hand.build());
    EXPECT_EQ(report.diagnostics.commands, 3u);
    EXPECT_EQ(report.diagnostics.encoder_commands, 0u);
    EXPECT_EQ(report.diagnostics.encoder_pipeline_binds, 0u);
    EXPECT_EQ(report.diagnostics.encoder_draws, 0u);
    EXPECT_EQ(report.diagnostics.packet.commands, 0u);
    EXPECT_EQ(report.diagnostics.packet.mode, 0u);
    EXPECT_FALSE(report.diagnostics.requires_render);
    EXPECT_EQ(report.profile.work_units, 0u);
    EXPECT_EQ(report.profile.risk, CanvasFrameRiskGrade::none);
}

TEST(CanvasFrameReport, EncoderCountsAndPacketSummaryOfADirtyPatch) {
    HandFrame hand(4);
    hand.batches[2].pipeline = PipelineKind::text;
    hand.commands[3].bounds = {10, 10, 5, 5};  // only touches the dirty rectangle's corner
    hand.uploads.resize(2);
    hand.frame.dirty = Rect{10, 10, -10, -10};
    const CanvasFrameDiagnostics d = diagnosticsWithoutBudgetStatus(hand.build());
    EXPECT_EQ(d.encoder_pipeline_binds, 3u);  // solid, solid | text | solid
    EXPECT_EQ(d.encoder_cache_actions, 2u);
    EXPECT_EQ(d.encoder_commands, 2u + 4 + 1 + 3 + 2);
    EXPECT_EQ(d.packet.mode, 1u);
    EXPECT_EQ(d.packet.commands, 3u);
    EXPECT_EQ(d.packet.cache_actions, 2u);
    EXPECT_TRUE(d.representable);
}

TEST(CanvasFrameReport, BudgetsOfZeroNeverFlagAndEqualCountsPass) {
    HandFrame hand(5);
    CanvasFrame& frame = hand.build();
    frame.budgets[0] = 5;  // commands: equal passes
    frame.budgets[1] = 4;  // batches: one over
    EXPECT_EQ(budgetStatus(frame), (CanvasBudgetStatus{false, true}));
    EXPECT_TRUE(checkBudget(0, 1'000'000).ok);
    EXPECT_FALSE(checkBudget(0, 1'000'000).exceeded);
    EXPECT_TRUE(checkBudget(16, 17).exceeded);
}

TEST(CanvasFrameReport, RiskFollowsDirtyRatioWorkUploadsAndEffects) {
    HandFrame hand(1);
    hand.frame.dirty = Rect{0, 0, 50, 50};  // exactly a quarter: 10 more work units, no longer low
    CanvasFrameProfile profile = canvasFrameProfile(hand.build());
    const std::uint64_t encoder = 0 + 1 + 1 + 1 + 2;
    EXPECT_FLOAT_EQ(profile.dirty_ratio, 0.25f);
    EXPECT_EQ(profile.work_units, 1 + encoder + 2 * 1 + 10);
    EXPECT_EQ(profile.risk, CanvasFrameRiskGrade::medium);

    hand.frame.dirty = Rect{0, 0, 10, 10};
    EXPECT_EQ(canvasFrameProfile(hand.build()).risk, CanvasFrameRiskGrade::low);
    hand.effects.push_back({0, 0, {}, 0, 1});  // a blur keeps a small patch at medium
    profile = canvasFrameProfile(hand.build());
    EXPECT_EQ(profile.risk, CanvasFrameRiskGrade::medium);
    EXPECT_EQ(profile.work_units, 1 + encoder + 2 * 1 + 24);
    hand.frame.dirty = Rect{0, 0, 50, 60};  // a blur over more than a quarter: high
    EXPECT_EQ(canvasFrameProfile(hand.build()).risk, CanvasFrameRiskGrade::high);
    hand.effects.clear();
    hand.uploads.resize(17);
    EXPECT_EQ(canvasFrameProfile(hand.build()).risk, CanvasFrameRiskGrade::high);

    hand.uploads.clear();
    hand.frame.dirty = Rect{0, 0, 100, 75};  // three quarters
    profile = canvasFrameProfile(hand.build());
    EXPECT_EQ(profile.risk, CanvasFrameRiskGrade::high);
    EXPECT_EQ(profile.work_units, 1 + encoder + 2 * 1 + 25);

    hand.frame.width = 0;  // no surface: any dirty area is all of it
    EXPECT_FLOAT_EQ(canvasFrameProfile(hand.build()).dirty_ratio, 1.0f);
}

}  // namespace
}  // namespace kelvo
