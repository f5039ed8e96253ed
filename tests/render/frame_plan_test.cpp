#include "render/frame_plan.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_fixture.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using testing::PlannedView;
using testing::solidRect;
using testing::textRun;

void expectRect(const std::optional<Rect>& actual, Rect expected) {
    ASSERT_TRUE(actual.has_value());
    EXPECT_FLOAT_EQ(actual->x, expected.x);
    EXPECT_FLOAT_EQ(actual->y, expected.y);
    EXPECT_FLOAT_EQ(actual->width, expected.width);
    EXPECT_FLOAT_EQ(actual->height, expected.height);
}

TEST(FramePlanWalk, StacksAreLimitedAndInvisibleCommandsDropped) {
    PlannedView view;
    std::vector<CanvasCommand> clips(32, CanvasCommand::pushClip({16, {0, 0, 50, 50}, {}}));
    clips.push_back(solidRect(32, {0, 0, 10, 10}));
    view.show(clips);
    ASSERT_TRUE(view.plan());
    clips.push_back(CanvasCommand::pushClip({16, {0, 0, 50, 50}, {}}));
    view.show(clips);
    EXPECT_EQ(view.plan().error(), Error::RenderStackOverflow);
    view.show({solidRect(16, {0, 0, 1, 1}), CanvasCommand::popOpacity()});
    EXPECT_EQ(view.plan().error(), Error::RenderStackUnderflow);

    view.show({
        CanvasCommand::pushOpacity(0),
        solidRect(16, {0, 0, 10, 10}),
        CanvasCommand::popOpacity(),
        solidRect(32, {0, 0, 0, 10}),  // no area
        CanvasCommand::pushClip({48, {0, 0, 5, 5}, {}}),
        solidRect(64, {20, 20, 5, 5}),  // clipped away
        CanvasCommand::popClip(),
        CanvasCommand::transformBy({1, 0, 0, 1, 30, 0}),
        solidRect(80, {0, 0, 4, 4}),
    });
    Result<CanvasFrame> frame = view.plan();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->render_commands.size(), 1u);
    EXPECT_EQ(frame->render_commands[0].id, 80u);
    expectRect(frame->content_bounds, {30, 0, 4, 4});
    // Every identified drawing command leaves a footprint; those not drawn have no bounds.
    ASSERT_EQ(frame->footprints.size(), 4u);
    EXPECT_FALSE(frame->footprints[0].bounds);
    EXPECT_EQ(frame->footprints[3].index, 8u);
}

TEST(FramePlanWalk, OverridesComposeInTheCommandsOwnSpace) {
    RenderCommand command;
    command.geometry = {0, 0, 5, 5};
    command.transform = {1, 0, 0, 1, 10, 0};
    const RenderOverride doubled{16, 0, false, {2, 0, 0, 2, 0, 0}, true};
    expectRect(renderCommandBoundsWithOverride(command, &doubled), {10, 0, 10, 10});
    expectRect(renderCommandBoundsWithOverride(command, nullptr), {10, 0, 5, 5});
    command.has_clip = true;
    command.clip = {0, 0, 12, 3};
    expectRect(renderCommandBoundsWithOverride(command, &doubled), {10, 0, 2, 3});
    command.clip = {0, 0, 10, 3};
    EXPECT_FALSE(renderCommandBoundsWithOverride(command, &doubled));

    // Sampled animations change the render commands with their key, moving them in their own
    // (here doubled) space.
    PlannedView view;
    view.show(
        {CanvasCommand::transformBy({2, 0, 0, 2, 0, 0}), solidRect(16, {0, 0, 10, 10}), solidRect(32, {0, 0, 10, 10})});
    WidgetAnimation fade;
    fade.key = 16;
    fade.duration_ms = 100;
    fade.from_opacity = 0.0f;
    fade.to_opacity = 1.0f;
    fade.from_transform = Affine{};
    fade.to_transform = Affine{1, 0, 0, 1, 40, 0};
    view.animations = {fade};
    CanvasFrameRequest request;
    request.frame_time = 50'000'000;
    Result<CanvasFrame> frame = view.plan(request);
    ASSERT_TRUE(frame);
    EXPECT_FLOAT_EQ(frame->render_commands[0].opacity, 0.5f);
    expectRect(frame->render_commands[0].bounds, {40, 0, 20, 20});
    EXPECT_FLOAT_EQ(frame->render_commands[1].opacity, 1.0f);
    expectRect(frame->content_bounds, {0, 0, 60, 20});
}

TEST(FramePlanWalk, EveryOverrideAppliesHoweverManyThereAre) {
    // Short lists are searched, long ones indexed: both must find every key, and the first
    // override with a key wins over a later one with the same key.
    for (std::size_t count : {10u, 63u, 64u, 65u, 200u}) {
        SCOPED_TRACE(count);
        PlannedView view;
        view.width = 2000;
        std::vector<CanvasCommand> list;
        for (std::size_t i = 0; i < count; ++i) {
            const auto id = static_cast<std::uint64_t>(16 * (i + 1));
            list.push_back(solidRect(id, {float(i % 100) * 20, float(i / 100) * 20, 10, 10}));
            WidgetAnimation settled;  // no duration: sampled at its end
            settled.key = id;
            settled.from_opacity = 1.0f;
            settled.to_opacity = 0.25f;
            settled.from_transform = Affine{};
            settled.to_transform = Affine{1, 0, 0, 1, 0, 5};
            view.animations.push_back(settled);
        }
        WidgetAnimation shadowed = view.animations[count / 2];
        shadowed.to_opacity = 0.75f;
        view.animations.push_back(shadowed);
        view.show(list);
        Result<CanvasFrame> frame = view.plan();
        ASSERT_TRUE(frame);
        ASSERT_EQ(frame->render_commands.size(), count);
        for (const RenderCommand& render : frame->render_commands) {
            EXPECT_FLOAT_EQ(render.opacity, 0.25f) << *render.id;
            EXPECT_FLOAT_EQ(render.transform.ty, 5) << *render.id;
        }
    }
}

TEST(FramePlanBatches, ClipOpacityAndPipelineSplitBatches) {
    const GradientStop stops[] = {{0, {0, 0, 0, 1}}};
    PlannedView view;
    view.show({
        CanvasCommand::pushClip({16, {0, 0, 50, 50}, {}}),
        solidRect(32, {0, 0, 10, 10}),
        solidRect(48, {10, 0, 10, 10}),  // same clip, adjacent: one batch
        CanvasCommand::popClip(),
        CanvasCommand::pushClip({64, {0, 0, 60, 50}, {}}),
        solidRect(80, {20, 0, 10, 10}),  // another clip: a second batch
        CanvasCommand::fillRect({96, Paint::linear({stops, {0, 0}, {1, 0}}), {0, 20, 10, 10}}),
        CanvasCommand::pushOpacity(0.5f),
        solidRect(112, {0, 30, 10, 10}),
        CanvasCommand::popOpacity(),
        CanvasCommand::popClip(),
    });
    CanvasFrame first = view.present();
    ASSERT_EQ(first.batches.size(), 4u);
    EXPECT_EQ(first.batches[0].count, 2u);
    expectRect(first.batches[0].bounds, {0, 0, 20, 10});
    EXPECT_EQ(first.batches[2].pipeline, PipelineKind::gradient);
    EXPECT_FLOAT_EQ(first.batches[3].opacity, 0.5f);
    ASSERT_EQ(first.pipelines.size(), 2u);
    for (const PipelineCacheAction& action : first.pipeline_actions) EXPECT_EQ(action.action, CacheAction::upload);

    view.show({solidRect(32, {0, 0, 10, 10}), textRun(48, "a", {0, 40})});
    Result<CanvasFrame> second = view.plan();
    ASSERT_TRUE(second);
    ASSERT_EQ(second->pipeline_actions.size(), 3u);
    EXPECT_EQ(second->pipeline_actions[0].action, CacheAction::retain);  // solid
    EXPECT_EQ(second->pipeline_actions[1].action, CacheAction::evict);   // gradient
    EXPECT_EQ(second->pipeline_actions[2].action, CacheAction::upload);  // text
}

TEST(FramePlanDirty, UnchangedResizedAnonymousAndIdentifiedLists) {
    PlannedView view;
    view.show({
        solidRect(16, {10, 10, 20, 20}),
        CanvasCommand::transformBy({1, 0, 0, 1, 100, 0}),
        solidRect(32, {0, 50, 10, 10}),
        solidRect(48, {0, 0, 10, 10}),
    });
    CanvasFrame first = view.present();
    EXPECT_TRUE(first.full_repaint);
    expectRect(first.dirty, {0, 0, 200, 100});

    {
        ScopedStderrCapture errors;
        Result<CanvasFrame> idle = view.plan();
        ASSERT_TRUE(idle);
        EXPECT_TRUE(idle->unchanged);
        EXPECT_FALSE(idle->dirty);
        EXPECT_FALSE(idle->full_repaint);
        EXPECT_TRUE(idle->render_commands.empty());
        EXPECT_EQ(errors.text(), "");
    }

    // Under the transform the change is repainted where it is drawn: 32 moved, 48 vanished, 64
    // is new and reaches past the surface.
    view.show({
        solidRect(16, {10, 10, 20, 20}),
        CanvasCommand::transformBy({1, 0, 0, 1, 100, 0}),
        solidRect(32, {0, 70, 10, 10}),
        solidRect(64, {95, 95, 20, 20}),
    });
    view.history->has_previous_packet = false;  // compare by command id only
    Result<CanvasFrame> moved = view.plan();
    ASSERT_TRUE(moved);
    EXPECT_FALSE(moved->full_repaint);
    ASSERT_EQ(moved->changes.size(), 4u);
    EXPECT_EQ(moved->changes[0].kind, CanvasChangeKind::removed);
    EXPECT_EQ(moved->changes[0].id, 48u);
    EXPECT_EQ(moved->changes[1].kind, CanvasChangeKind::changed);  // unchanged, but repainted all the same
    EXPECT_EQ(moved->changes[3].kind, CanvasChangeKind::added);
    expectRect(moved->changes[2].bounds, {100, 50, 10, 30});
    expectRect(moved->dirty, {10, 0, 190, 100});

    view.show({solidRect(16, {10, 10, 20, 20}), solidRect(0, {0, 0, 5, 5})});
    Result<CanvasFrame> anonymous = view.plan();
    ASSERT_TRUE(anonymous);
    EXPECT_TRUE(anonymous->full_repaint);
    EXPECT_TRUE(anonymous->changes.empty());

    view.width = 300;
    Result<CanvasFrame> resized = view.plan();
    ASSERT_TRUE(resized);
    EXPECT_TRUE(resized->full_repaint);
    expectRect(resized->dirty, {0, 0, 300, 100});
}

TEST(FramePlanDirty, PatchesNarrowToWhatChangedAndOverridesAloneDirtyTheirBounds) {
    PlannedView view;
    const auto screen = [](Color hover) {
        return std::vector<CanvasCommand>{solidRect(16, {0, 0, 20, 20}, hover), solidRect(32, {50, 0, 20, 20}),
                                          solidRect(48, {150, 50, 20, 20}, hover)};
    };
    view.show(screen({0, 0, 0, 1}));
    view.present();
    ASSERT_TRUE(view.history->has_previous_packet);
    view.show(screen({1, 0, 0, 1}));
    CanvasFrame hover = view.present();
    EXPECT_FALSE(hover.full_repaint);
    expectRect(hover.dirty, {0, 0, 170, 70});
    ASSERT_EQ(hover.patch_count, 2u);
    expectRect(hover.patch_rects[0], {0, 0, 20, 20});
    expectRect(hover.patch_rects[1], {150, 50, 20, 20});
    EXPECT_EQ(hover.changes.size(), 3u);  // the change list still names every identified command

    // Only an animation moves: the revision stays, the frame repaints where 32 was and is.
    WidgetAnimation slide;
    slide.key = 32;
    slide.duration_ms = 100;
    slide.from_transform = Affine{};
    slide.to_transform = Affine{1, 0, 0, 1, 0, 40};
    view.animations = {slide};
    CanvasFrameRequest request;
    request.frame_time = 100'000'000;
    CanvasFrame sliding = view.present(request);
    EXPECT_FALSE(sliding.full_repaint);
    EXPECT_TRUE(sliding.changes.empty());
    expectRect(sliding.dirty, {50, 0, 20, 60});
    // Still at its end: the same override as before dirties nothing.
    request.frame_time = 200'000'000;
    Result<CanvasFrame> resting = view.plan(request);
    ASSERT_TRUE(resting);
    EXPECT_FALSE(resting->dirty);
    view.animations.clear();
    Result<CanvasFrame> ended = view.plan();  // the previous override is gone: its bounds repaint
    ASSERT_TRUE(ended);
    expectRect(ended->dirty, {50, 0, 20, 60});
}

TEST(FramePlanText, CapacityWarningsAreWrittenExactly) {
    PlannedView view;
    std::vector<CanvasCommand> list = {CanvasCommand::pushOpacity(0)};
    list.insert(list.end(), 2049, textRun(0, "a", {0, 10}));
    view.show(list);
    {
        ScopedStderrCapture errors;
        EXPECT_EQ(view.plan().error(), Error::TextLayoutPlanListFull);
        EXPECT_EQ(errors.text(),
                  "warning(vexa_canvas_frame): text layout plan capacity exceeded: the per-frame budget is 2048 text "
                  "runs (canvas_limits.max_canvas_text_layouts_per_view) - reduce visible draw_text commands or "
                  "virtualize long text; snapshots report headroom as text_layout_plans=N/2048\n");
    }
    std::string lines;
    for (int i = 0; i < 8193; ++i) lines += "a\n";
    view.show({textRun(16, lines, {0, 10})});
    ScopedStderrCapture errors;
    EXPECT_EQ(view.plan().error(), Error::TextLayoutLineListFull);
    EXPECT_EQ(errors.text(),
              "warning(vexa_canvas_frame): text layout line capacity exceeded: the per-frame budget is 8192 wrapped "
              "lines across all text runs (canvas_limits.max_canvas_text_layout_lines_per_view) - clip or window long "
              "wrapped text; snapshots report headroom as text_layout_lines=N/8192\n");
}

TEST(FramePlanText, ATextDrawnAgainOverItselfSharesItsLines) {
    // 2,000 lines drawn five times, under a clip each time as an entry draws its selected glyphs:
    // the lines are laid out once, within the frame's 8,192.
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += "line\n";
    std::vector<CanvasCommand> list;
    for (int i = 0; i < 5; ++i) {
        list.push_back(CanvasCommand::pushClip({std::uint64_t(100 + i), {0, float(i) * 10, 100, 10}, {}}));
        CanvasCommand run = textRun(std::uint64_t(16 * (i + 1)), lines, {0, 10});
        run.draw_text.color = {float(i) / 5, 0, 0, 1};  // a colour of its own does not move a line
        list.push_back(run);
        list.push_back(CanvasCommand::popClip());
    }
    PlannedView view;
    view.show(list);
    Result<CanvasFrame> frame = view.plan();
    ASSERT_TRUE(frame) << errorName(frame.error());
    ASSERT_EQ(frame->text_plans.size(), 5u);
    EXPECT_EQ(frame->text_lines.size(), frame->text_plans[0].line_count);
    for (const TextLayoutPlan& plan : frame->text_plans) {
        EXPECT_EQ(plan.first_line, 0u);
        EXPECT_EQ(plan.line_count, frame->text_plans[0].line_count);
    }
    EXPECT_EQ(frame->text_plans[4].command_index, 13u);

    // Moved, the same text is laid out again: five such runs pass the frame's lines.
    for (int i = 0; i < 5; ++i) list[3 * i + 1].draw_text.origin.x = float(i);
    view.show(list);
    ScopedStderrCapture warnings;
    EXPECT_EQ(view.plan().error(), Error::TextLayoutLineListFull);
}

TEST(FramePlanGlyphs, GlyphsBucketByFractionAndAreListedOnce) {
    PlannedView view;
    const PositionedGlyph placed[] = {{0, 0, 0, 70, 0.5f, -0.75f, 6}, {3, 0, 0, 70, 0.5f, -0.75f, 6}};
    DrawTextCommand positioned;
    positioned.id = 48;
    positioned.font = 3;
    positioned.text = "x";
    positioned.glyphs = placed;
    positioned.size = 12;
    view.show({textRun(16, "aab a", {0.3f, 10}), CanvasCommand::drawText(positioned)});
    Result<CanvasFrame> frame = view.plan();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->glyphs.size(), 3u);  // a, b, and glyph 70 once (font 0 is the run's font 3)
    EXPECT_EQ(frame->glyphs[1].glyph, static_cast<std::uint32_t>('b'));
    EXPECT_EQ(frame->glyphs[1].glyph_index, 2u);
    EXPECT_EQ(frame->glyphs[1].bx, 1);  // 0.3 + 12: a quarter and a bit
    EXPECT_EQ(frame->glyphs[2].font, 3u);
    EXPECT_EQ(frame->glyphs[2].bx, 2);
    EXPECT_EQ(frame->glyphs[2].by, 1);  // -0.75 lies a quarter into its pixel

    // From 64 estimated glyphs on duplicates are found through the index: same answer.
    std::string long_text;
    for (int i = 0; i < 300; ++i) long_text += "abc";
    view.show({textRun(16, long_text, {0, 10}, 8)});
    frame = view.plan();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->glyphs.size(), 3u);
}

TEST(FramePlanCaches, ResourcesAreUploadedRetainedAndEvicted) {
    const GradientStop stops[] = {{0, {0, 0, 0, 1}}, {1, {1, 1, 1, 1}}};
    const Paint gradient = Paint::linear({stops, {0, 0}, {10, 0}});
    const std::uint8_t pixels[16] = {};
    const ReferenceImage images[] = {{9, 2, 2, pixels}};
    const auto image = [](std::uint64_t id) {
        return CanvasCommand::drawImage({id, 9, std::nullopt, {0, 0, 4, 4}, 1, {}, {}, {}});
    };
    PlannedView view;
    view.show({CanvasCommand::fillRect({16, gradient, {0, 0, 10, 10}}),
               CanvasCommand::fillRect({32, gradient, {0, 10, 10, 10}}), image(48), image(64),
               CanvasCommand::shadowOf({80, {0, 0, 5, 5}, {0, 0, 0, 1}, {1, 1}, 2, 0, {}})});
    CanvasFrameRequest request;
    request.images = images;
    CanvasFrame first = view.present(request);
    ASSERT_EQ(first.resources.size(), 5u);
    EXPECT_EQ(first.resource_cache.entries.size(), 3u);  // one gradient, one image, one shadow
    EXPECT_EQ(first.images.size(), 2u);
    EXPECT_TRUE(first.images[0].found);
    EXPECT_EQ(first.image_cache.entries.size(), 1u);
    EXPECT_EQ(first.effects.size(), 1u);

    view.show({CanvasCommand::fillRect({16, gradient, {0, 0, 10, 10}}), image(48)});
    Result<CanvasFrame> second = view.plan(request);
    ASSERT_TRUE(second);
    std::vector<CacheAction> actions;
    for (const RetainedCacheAction& action : second->resource_cache.actions) actions.push_back(action.action);
    EXPECT_EQ(actions, (std::vector{CacheAction::retain, CacheAction::retain, CacheAction::evict}));
    EXPECT_EQ(second->resource_cache.actions[2].previous_slot, 2u);
    EXPECT_EQ(second->image_cache.actions[0].action, CacheAction::retain);
    // An image missing from the list is fingerprinted by its id alone: another resource.
    Result<CanvasFrame> unknown = view.plan();
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(unknown->images[0].found);
    EXPECT_EQ(unknown->image_cache.actions[0].action, CacheAction::upload);
}

TEST(FramePlanCaches, GlyphsStayForTheirRetentionAndLayersFollowTheirState) {
    PlannedView view;
    CanvasFrameRequest request;
    request.glyph_retention = 2;
    view.show({textRun(16, "ab", {0, 10})});
    view.present(request);
    view.show({textRun(16, "a", {0, 10})});
    const auto glyphActions = [&] {
        view.show(view.list);  // a new revision: an unchanged list would not be planned, nor age the cache
        CanvasFrame frame = view.present(request);
        std::string out;
        for (const RetainedCacheAction& action : frame.glyph_cache.actions)
            out += "urE"[static_cast<int>(action.action)];
        return out;
    };
    EXPECT_EQ(glyphActions(), "rr");  // frame 2: b unused for 1 frame
    EXPECT_EQ(glyphActions(), "rr");  // frame 3: 2 frames
    EXPECT_EQ(glyphActions(), "rE");  // frame 4: gone
    EXPECT_EQ(glyphActions(), "r");

    view.show({
        CanvasCommand::pushOpacity(0.5f), solidRect(16, {0, 0, 10, 10}), solidRect(16, {10, 0, 10, 10}),
        solidRect(32, {20, 0, 10, 10}), CanvasCommand::popOpacity(),
        solidRect(48, {30, 0, 10, 10}),  // plain state: no layer
    });
    Result<CanvasFrame> frame = view.plan();
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->layers.size(), 2u);
    EXPECT_EQ(frame->layers[0].count, 2u);
    expectRect(frame->layers[0].bounds, {0, 0, 20, 10});
    EXPECT_NE(frame->layers[0].fingerprint, frame->layers[1].fingerprint);
}

TEST(FramePlanLimits, EveryListEndsThePlanWithItsError) {
    const GradientStop stops[] = {{0, {0, 0, 0, 1}}};
    const PathElement path[] = {PathElement::moveTo({0, 0}), PathElement::lineTo({5, 0}), PathElement::lineTo({0, 5})};
    PlannedView view;
    view.show({solidRect(16, {0, 0, 10, 10})});
    view.present();
    view.show({
        CanvasCommand::pushClip({16, {0, 0, 100, 100}, {}}),
        CanvasCommand::fillRect({32, Paint::linear({stops, {0, 0}, {1, 0}}), {0, 0, 10, 10}}),
        CanvasCommand::fillPath({48, path, Paint::solid({0, 0, 0, 1})}),
        CanvasCommand::drawImage({64, 9, std::nullopt, {0, 0, 4, 4}, 1, {}, {}, {}}),
        textRun(80, "ab", {0, 20}),
        CanvasCommand::blurOf({96, {0, 0, 5, 5}, 2}),
        CanvasCommand::popClip(),
    });
    WidgetAnimation blink;
    blink.key = 80;
    blink.from_opacity = 0.0f;
    blink.to_opacity = 1.0f;
    view.animations = {blink};
    ASSERT_TRUE(view.plan());

    using Shrink = void (*)(CanvasFrameStorage&);
    const std::pair<Shrink, Error> cases[] = {
        {[](auto& s) { s.render_commands = {}; }, Error::RenderListFull},
        {[](auto& s) { s.batches = {}; }, Error::RenderBatchListFull},
        {[](auto& s) { s.pipelines = {}; }, Error::RenderPipelineCacheListFull},
        {[](auto& s) { s.pipeline_actions = {}; }, Error::RenderPipelineCacheListFull},
        {[](auto& s) { s.resources = {}; }, Error::RenderResourceListFull},
        {[](auto& s) { s.resource_cache.entries = {}; }, Error::RenderResourceCacheListFull},
        {[](auto& s) { s.resource_cache.actions = {}; }, Error::RenderResourceCacheListFull},
        {[](auto& s) { s.paths = {}; }, Error::PathGeometryListFull},
        {[](auto& s) { s.path_cache.actions = {}; }, Error::PathGeometryCacheListFull},
        {[](auto& s) { s.images = {}; }, Error::ImageListFull},
        {[](auto& s) { s.image_cache.entries = {}; }, Error::ImageCacheListFull},
        {[](auto& s) { s.layers = {}; }, Error::LayerListFull},
        {[](auto& s) { s.layer_cache.actions = {}; }, Error::LayerCacheListFull},
        {[](auto& s) { s.effects = {}; }, Error::VisualEffectListFull},
        {[](auto& s) { s.effect_cache.entries = {}; }, Error::VisualEffectCacheListFull},
        {[](auto& s) { s.glyphs = s.glyphs.first(1); }, Error::GlyphAtlasListFull},
        {[](auto& s) { s.glyph_cache.actions = s.glyph_cache.actions.first(1); }, Error::GlyphAtlasCacheListFull},
        {[](auto& s) { s.text_cache.entries = {}; }, Error::TextLayoutCacheListFull},
        {[](auto& s) { s.changes = s.changes.first(2); }, Error::DiffListFull},
        {[](auto& s) { s.footprints = s.footprints.first(2); }, Error::DiffListFull},
        {[](auto& s) { s.overrides = {}; }, Error::RenderOverrideListFull},
    };
    for (const auto& [shrink, error] : cases) {
        SCOPED_TRACE(errorName(error));
        CanvasFrameStorage storage = canvasFrameStorageForThread();
        shrink(storage);
        EXPECT_EQ(view.plan({}, storage).error(), error);
    }
}

}  // namespace
}  // namespace kelvo
