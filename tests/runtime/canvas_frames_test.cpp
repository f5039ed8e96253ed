#include "runtime/canvas/canvas_frames.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/env.hpp"
#include "base/memory_io.hpp"
#include "runtime/canvas/canvas_events.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/views/view_lookup.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

const GradientStop kCool[] = {{0, {0.1f, 0.2f, 0.6f, 1}}, {1, {0.2f, 0.5f, 0.9f, 1}}};
const GradientStop kWarm[] = {{0, {0.9f, 0.4f, 0.1f, 1}}, {1, {1, 0.7f, 0.2f, 1}}};
const PathElement kIcon[] = {PathElement::moveTo({8, 8}), PathElement::lineTo({20, 8}), PathElement::lineTo({14, 20}),
                             PathElement::close()};

CanvasCommand label(std::uint64_t id, std::string_view text, Point origin) {
    DrawTextCommand payload;
    payload.id = id;
    payload.font = 1;
    payload.text = text;
    payload.size = 13;
    payload.origin = origin;
    payload.color = {0, 0, 0, 1};
    return CanvasCommand::drawText(payload);
}

// A toolbar with two buttons (the second hovered or not) and a list scrolled by `scroll`.
std::vector<CanvasCommand> screen(bool hovered, float scroll) {
    std::vector<CanvasCommand> list = {
        CanvasCommand::fillPath({16, kIcon, Paint::solid({0.2f, 0.2f, 0.2f, 1})}),
        CanvasCommand::fillRoundedRect({32, Paint::linear({kCool, {40, 0}, {120, 0}}), {40, 4, 80, 24}, {6, 6, 6, 6}}),
        label(48, "Open", {52, 21}),
        CanvasCommand::fillRoundedRect(
            {64, Paint::linear({hovered ? kWarm : kCool, {130, 0}, {210, 0}}), {130, 4, 80, 24}, {6, 6, 6, 6}}),
        label(80, "Save", {142, 21}),
        CanvasCommand::pushClip({96, {0, 40, 320, 200}, {}}),
        CanvasCommand::transformBy({1, 0, 0, 1, 0, -scroll}),
    };
    static const char* const kRows[] = {"Alpha", "Beta", "Gamma", "Delta"};
    for (int i = 0; i < 4; ++i) {
        const auto id = static_cast<std::uint64_t>(16 * (10 + i));
        list.push_back(
            CanvasCommand::fillRect({id, Paint::solid({0.95f, 0.95f, 0.95f, 1}), {0, 48.0f + 40 * i, 320, 36}}));
        list.push_back(label(id + 1, kRows[i], {12, 70.0f + 40 * i}));
    }
    list.push_back(CanvasCommand::transformBy({1, 0, 0, 1, 0, scroll}));
    list.push_back(CanvasCommand::popClip());
    return list;
}

std::string actions(const char* name, std::span<const RetainedCacheAction> list) {
    int counts[3] = {};
    for (const RetainedCacheAction& action : list) ++counts[static_cast<int>(action.action)];
    std::ostringstream out;
    out << " " << name << "=" << counts[0] << "/" << counts[1] << "/" << counts[2];
    return out.str();
}

std::string summary(std::string_view name, const CanvasFrame& frame, const CanvasFrameReport& report) {
    std::ostringstream out;
    out << name << ": full=" << frame.full_repaint << " unchanged=" << frame.unchanged << " dirty=";
    if (frame.dirty) {
        out << frame.dirty->x << "," << frame.dirty->y << "," << frame.dirty->width << "," << frame.dirty->height;
    } else {
        out << "none";
    }
    out << " patches=" << frame.patch_count << " changes=" << frame.changes.size()
        << " packet=" << report.diagnostics.packet.commands << "/" << report.diagnostics.packet.mode;
    out << actions("resources", frame.resource_cache.actions) << actions("paths", frame.path_cache.actions)
        << actions("glyphs", frame.glyph_cache.actions) << actions("texts", frame.text_cache.actions)
        << actions("layers", frame.layer_cache.actions);
    out << " work=" << report.profile.work_units << " risk=" << static_cast<int>(report.profile.risk) << "\n";
    return out.str();
}

class CanvasFrames : public testing::ViewScenario {
protected:
    void SetUp() override {
        ViewScenario::SetUp();
        create(gpuSurface("canvas"));
        index = *findViewIndex(*runtime, 1, "canvas");
    }

    CanvasSlot& slot() { return *canvasSlotOf(runtime->canvasSlots, runtime->views[index]); }

    void show(const std::vector<CanvasCommand>& list) {
        ASSERT_TRUE(copyCanvasDisplayList(*runtime, runtime->views[index], list));
    }

    // Plans, records and presents one frame as the frame tick does.
    CanvasFrame tick(CanvasFrameRequest request = {}) {
        request.frame_tag = ++tag;
        request.glyph_retention = 120;
        request.text_layout_retention = 120;
        Result<CanvasFrame> frame = planCanvasFrameForView(*runtime, index, request, canvasFrameStorageForThread());
        EXPECT_TRUE(frame) << (frame ? "" : errorName(frame.error()));
        if (!frame) return {};
        EXPECT_TRUE(commitPresentedCanvasFrameForView(*runtime, index, *frame));
        return *frame;
    }

    std::size_t index = 0;
    std::uint64_t tag = 0;
};

TEST_F(CanvasFrames, FirstHoverScrollIdleAndResize) {
    std::string log;
    show(screen(false, 0));
    log += summary("first", tick(), slot().frames.report);
    show(screen(true, 0));
    log += summary("hover", tick(), slot().frames.report);
    show(screen(true, 20));
    log += summary("scroll", tick(), slot().frames.report);
    log += summary("idle", tick(), slot().frames.report);
    runtime->views[index].gpuWidth = 400;
    runtime->views[index].gpuHeight = 300;
    noteGpuSurfaceResized(runtime->views[index], true);
    log += summary("resize", tick(), slot().frames.report);
    testing::expectGolden("runtime/canvas_frame_scenario.txt", log);
    EXPECT_FALSE(runtime->views[index].canvas.fullFrameDue);

    const CanvasFrameInfo info = canvasFrameInfoFromReport(slot().frames.report);
    EXPECT_TRUE(info.fullRepaint);
    EXPECT_EQ(info.glyphAtlasEntryCount, slot().frames.report.diagnostics.glyphs);
    EXPECT_TRUE(info.budgetOk);
}

TEST_F(CanvasFrames, UnusedGlyphsAndTextLayoutsStay120FramesThenGo) {
    show({label(16, "ab", {0, 20})});
    tick();
    int glyph_evicted_at = 0;
    int text_evicted_at = 0;
    for (int frame = 2; frame <= 130; ++frame) {
        show({label(16, "a", {0, 20})});
        CanvasFrame planned = tick();
        for (const RetainedCacheAction& action : planned.glyph_cache.actions) {
            if (action.action == CacheAction::evict) glyph_evicted_at = frame;
        }
        for (const RetainedCacheAction& action : planned.text_cache.actions) {
            if (action.action == CacheAction::evict && text_evicted_at == 0) text_evicted_at = frame;
        }
    }
    // "b" was last used by frame 1: kept while 120 frames or fewer have passed.
    EXPECT_EQ(glyph_evicted_at, 122);
    EXPECT_EQ(text_evicted_at, 122);
    EXPECT_EQ(slot().frames.history.glyphs.count, 1u);
}

TEST_F(CanvasFrames, AScreenshotRepaintsInFullAndLeavesThePresentedStateAlone) {
    show(screen(false, 0));
    tick();
    const std::uint64_t reported_tag = slot().frames.report.diagnostics.frame_tag;
    const std::uint32_t keyed = slot().frames.history.keyed_count;
    ASSERT_GT(keyed, 0u);

    CanvasFrameRequest request;
    request.frame_tag = 99;
    Result<CanvasFrame> shot =
        planCanvasFrameForView(*runtime, index, request, canvasFrameStorageForThread(), CanvasFramePurpose::screenshot);
    ASSERT_TRUE(shot);
    EXPECT_TRUE(shot->full_repaint);
    EXPECT_FALSE(shot->unchanged);
    EXPECT_EQ(slot().frames.report.diagnostics.frame_tag, reported_tag);
    EXPECT_EQ(slot().frames.history.keyed_count, keyed);
    // The live view still finds nothing changed.
    Result<CanvasFrame> live = planCanvasFrameForView(*runtime, index, {}, canvasFrameStorageForThread());
    ASSERT_TRUE(live);
    EXPECT_TRUE(live->unchanged);
}

TEST_F(CanvasFrames, TheSlotsWidgetAnimationsRepaintASettledViewAndPlansAreProfiled) {
    show(screen(false, 0));
    tick();
    WidgetAnimation* fade = slot().animations.upsert(64);
    fade->duration_ms = 100;
    fade->from_opacity = 0.0f;
    fade->to_opacity = 1.0f;
    runtime->frameProfile.enabled = true;
    CanvasFrameRequest request;
    request.frame_time = 50'000'000;
    const CanvasFrame frame = tick(request);
    EXPECT_FALSE(frame.unchanged);
    ASSERT_EQ(frame.overrides.size(), 1u);
    EXPECT_FLOAT_EQ(frame.overrides[0].opacity, 0.5f);
    ASSERT_TRUE(frame.dirty);
    EXPECT_EQ(frame.dirty->x, 130);
    EXPECT_EQ(frame.dirty->width, 80);
    const auto planStage = static_cast<std::uint32_t>(FrameProfileStage::plan);
    EXPECT_EQ(runtime->frameProfile.stats(planStage).total, 1u);
    // A screenshot's plan is not the view's frame time.
    request.frame_tag = 99;
    ASSERT_TRUE(planCanvasFrameForView(*runtime, index, request, canvasFrameStorageForThread(),
                                       CanvasFramePurpose::screenshot));
    EXPECT_EQ(runtime->frameProfile.stats(planStage).total, 1u);
}

// 8,200 different characters (past the 8,192 glyphs a frame lists) and 8,193 lines (past its 8,192
// lines), each in a text beside a checkbox: the view's frames plan and draw the checkbox, the text
// at fault is drawn cut short to what fits, and the cut is recorded once while it stays the same.
TEST_F(CanvasFrames, ATextPastAFramesLimitsIsCutShortAndTheRestOfTheViewDraws) {
    std::string characters;
    for (std::uint32_t c = 0x4E00; c < 0x4E00 + 8200; ++c) {
        characters += static_cast<char>(0xE0 | (c >> 12));
        characters += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        characters += static_cast<char>(0x80 | (c & 0x3F));
    }
    std::string lines;
    for (int i = 0; i < 8192; ++i) lines += "x\n";
    lines += "y";
    const auto view = [&](std::string_view text, std::string_view check = "Check") {
        return std::vector<CanvasCommand>{
            label(2 * 16 + 3, text, {10, 20}),
            CanvasCommand::fillRect({3 * 16 + 1, Paint::solid({0, 0, 0, 1}), {300, 10, 16, 16}}),
            label(3 * 16 + 3, check, {320, 22}),
        };
    };
    const auto drawn = [](const CanvasFrame& frame, std::uint64_t id) -> std::string_view {
        for (const RenderCommand& render : frame.render_commands) {
            if (render.command.draw_text.id == id &&
                canvasCommandTagBits(render.command) == static_cast<unsigned>(CanvasCommandTag::draw_text)) {
                return render.command.draw_text.text;
            }
            if (render.id == id) return "(drawn)";
        }
        return "(not drawn)";
    };
    ScopedStderrCapture captured;

    show(view(characters));
    CanvasFrame frame = tick();
    EXPECT_EQ(frame.glyphs.size(), kMaxFrameGlyphs);
    EXPECT_EQ(drawn(frame, 3 * 16 + 1), "(drawn)");
    EXPECT_EQ(drawn(frame, 3 * 16 + 3), "Check");
    // "Check" lists its five glyphs first: the text keeps 8,187 characters.
    EXPECT_EQ(drawn(frame, 2 * 16 + 3), characters.substr(0, 3 * (kMaxFrameGlyphs - 5)));
    ASSERT_EQ(runtime->dispatchErrors.total, 1u);
    const DispatchErrorDetail& glyphs = runtime->dispatchErrors.recent.back();
    EXPECT_EQ(glyphs.scope, "canvas_frame");
    EXPECT_EQ(glyphs.error, Error::GlyphAtlasListFull);
    EXPECT_EQ(glyphs.detailText(), "widget 2 in view canvas");
    // The same list draws alike and is not recorded again, in the view or in a screenshot.
    runtime->views[index].canvas.fullFrameDue = true;
    EXPECT_EQ(tick().glyphs.size(), kMaxFrameGlyphs);
    ASSERT_TRUE(
        planCanvasFrameForView(*runtime, index, {}, canvasFrameStorageForThread(), CanvasFramePurpose::screenshot));
    EXPECT_EQ(runtime->dispatchErrors.total, 1u);

    show(view(lines));
    frame = tick();
    EXPECT_EQ(frame.text_lines.size(), kMaxTextLayoutLines);
    EXPECT_EQ(drawn(frame, 3 * 16 + 3), "Check");
    EXPECT_EQ(drawn(frame, 2 * 16 + 3), lines.substr(0, 2 * (kMaxTextLayoutLines - 2) + 1));
    ASSERT_EQ(runtime->dispatchErrors.total, 2u);
    EXPECT_EQ(runtime->dispatchErrors.recent.back().error, Error::TextLayoutLineListFull);
    // The checkbox changes: the same text is cut, and not recorded again.
    show(view(lines, "Checked"));
    EXPECT_EQ(drawn(tick(), 3 * 16 + 3), "Checked");
    EXPECT_EQ(runtime->dispatchErrors.total, 2u);
    // A list that fits draws whole; the text coming back is recorded again.
    show(view("short"));
    EXPECT_EQ(drawn(tick(), 2 * 16 + 3), "short");
    show(view(lines));
    tick();
    EXPECT_EQ(runtime->dispatchErrors.total, 3u);
    // Each cut of too many lines was warned of once, as the plan warns of a list that does not fit.
    const std::string warned = captured.text();
    std::size_t warnings = 0;
    for (std::size_t at = warned.find("text layout line capacity exceeded"); at != std::string::npos;
         at = warned.find("text layout line capacity exceeded", at + 1)) {
        ++warnings;
    }
    EXPECT_EQ(warnings, 2u);
}

TEST_F(CanvasFrames, OnlyCanvasViewsPlanAndTheFirstPlanIsMarked) {
    MemoryIo clock;
    clock.setWallClockNs(5);
    resetLaunchTimingForTests(memoryIo(clock));
    EnvMap env = EnvMap::fromList({{"KELVO_WINDOW_TIMING", "1"}});
    setProcessEnv(&env);
    ScopedStderrCapture captured;
    create(view("button"));
    const std::size_t button = *findViewIndex(*runtime, 1, "button");
    const CanvasFrameStorage& storage = canvasFrameStorageForThread();
    EXPECT_EQ(planCanvasFrameForView(*runtime, button, {}, storage).error(), Error::UnsupportedViewKind);
    EXPECT_EQ(planCanvasFrameForView(*runtime, 40, {}, storage).error(), Error::ViewNotFound);
    EXPECT_TRUE(planCanvasFrameForView(*runtime, index, {}, storage));
    EXPECT_EQ(captured.text(),
              "kelvo: launch first_plan_begin wall_ns=5\n"
              "kelvo: launch first_plan_done wall_ns=5\n");
    setProcessEnv(nullptr);
    resetLaunchTimingForTests();
}

}  // namespace
}  // namespace kelvo
