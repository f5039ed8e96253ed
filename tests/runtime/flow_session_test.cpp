// One scripted session with every platform event kind, recorded by a session journal, compared
// byte for byte with stored goldens: the journal, the trace records and the page events.
// Run with KELVO_UPDATE_GOLDEN=1 to rewrite the goldens after a deliberate change.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "flow_scenario.hpp"
#include "journal_text.hpp"
#include "runtime/flow/automation_hooks.hpp"
#include "runtime/persist/session_journal.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime_fixture.hpp"
#include "support/golden.hpp"
#include "text/measure_generation.hpp"

// Events are written with designated initializers that name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kelvo {
namespace {

struct Session {
    FlowScenario scenario;
    std::unique_ptr<SessionRecorder> recorder = std::make_unique<SessionRecorder>();
    std::vector<std::uint8_t> journal;
    bool nestTimer = false;

    Session() {
        recorder->writer = SessionWriter{this, [](void* context, std::span<const std::uint8_t> bytes) -> Status {
                                             auto* self = static_cast<Session*>(context);
                                             self->journal.insert(self->journal.end(), bytes.begin(), bytes.end());
                                             return {};
                                         }};
        recorder->enabled = true;
        Runtime& runtime = scenario.runtime();
        runtime.sessionRecorder = recorder.get();
        // What the checkpoints fingerprint: a small text of the visible state.
        runtime.sessionSnapshot = SessionSnapshotSource{
            &runtime, [](void* context, const SnapshotTextSink& out) {
                auto* r = static_cast<Runtime*>(context);
                std::string text = std::string("windows=").append(std::to_string(r->windows.size())) +
                                   std::string(" views=").append(std::to_string(r->views.size()));
                return out.write(out.context, text);
            }};
        // Automation that synthesises one timer event inside a frame when asked to.
        runtime.automation = AutomationHooks{this, [](void* context, Runtime& r, const AppBinding& binding) -> Status {
                                                 auto* self = static_cast<Session*>(context);
                                                 if (!self->nestTimer) return {};
                                                 self->nestTimer = false;
                                                 return dispatchPlatformEvent(r, binding, TimerEvent{77, 1234});
                                             }};
    }
};

TEST(FlowSession, EveryEventKindMatchesTheStoredJournalTracesAndPageEvents) {
    Session session;
    FlowScenario& s = session.scenario;
    const std::array<std::string_view, 2> paths = {"/Users/me/a.vrs", "/Users/me/b.vrs"};
    const GpuSurfaceFrame frame{.windowId = 1,
                                .label = "canvas",
                                .width = 300,
                                .height = 200,
                                .scale = 2,
                                .frameIndex = 9,
                                .timestampNs = 1'700'000'000'100'000'000,
                                .frameIntervalNs = 16'666'667};
    const GpuSurfaceInput input{
        .windowId = 1, .label = "canvas", .kind = GpuSurfaceInputKind::pointer_down, .x = 12.5f, .y = 30, .text = ""};
    AudioEvent audio{.positionMs = 1500, .durationMs = 180000, .kind = AudioEventKind::state, .playing = true};
    audio.bands[0] = 200;

    auto dispatch = [&](const PlatformEvent& event) { ASSERT_TRUE(s.dispatch(event)) << platformEventName(event); };
    dispatch(AppStartEvent{});
    dispatch(SurfaceResizedEvent{1, 1280, 820, 2, {28, 0, 0, 0}, {}});
    dispatch(WindowFrameChangedEvent{1, "main", "Vostra Studio", RectF{100, 80, 1280, 820}, 2, true, true});
    dispatch(FrameRequestedEvent{});
    dispatch(FrameRequestedEvent{});  // nothing changed: no trace, no frame, no checkpoint

    const ViewOptions canvas = testing::canvasOptions("canvas", RectF{0, 40, 300, 200});
    ASSERT_TRUE(createView(s.runtime(), canvas));

    dispatch(AppActivatedEvent{});
    dispatch(AppDeactivatedEvent{});
    const std::uint64_t measureGeneration = textMeasureGeneration().load();
    dispatch(AppearanceChangedEvent{true, false, false});
    EXPECT_EQ(textMeasureGeneration().load(), measureGeneration + 1);  // cached text measures are stale
    dispatch(WindowFocusedEvent{1});
    dispatch(BridgeMessage{R"({"id":"1","command":"vostra.file.cancel","payload":null})", "vexa://app", 1, "main"});
    dispatch(TrayActionEvent{3});
    dispatch(ShortcutEvent{"file.save", "s", 1, KeyModifiers{true, true, false, false, false}});
    dispatch(NativeCommandEvent{"view.toggle", 1, "canvas"});
    dispatch(MenuCommandEvent{"edit.undo", 1});
    dispatch(TimerEvent{5, 1'700'000'000'200'000'000});
    dispatch(WakeEvent{});
    dispatch(FilesDroppedEvent{1, "canvas", paths, 40, 50, true});
    dispatch(frame);
    dispatch(GpuSurfaceResizedEvent{1, "canvas", RectF{0, 40, 320, 200}, 2});
    dispatch(input);
    dispatch(GpuSurfaceScrollDriverEvent{1, "canvas", 4, 1'700'000'000'300'000'000, 24});
    s.runtime().pendingContextMenu = PendingContextMenu{1, 99, ContextMenuKind::widget, true};
    dispatch(ContextMenuActionEvent{1, "canvas", 99, 2});
    dispatch(WidgetAccessibilityActionEvent{1, "canvas", 4, "", std::nullopt, 1});
    dispatch(audio);
    session.nestTimer = true;
    dispatch(FrameRequestedEvent{});
    dispatch(WindowFrameChangedEvent{1, "main", "Vostra Studio", RectF{100, 80, 1280, 820}, 2, false, false});
    dispatch(AppShutdownEvent{});

    EXPECT_TRUE(s.runtime().appearance.dark);
    ASSERT_NE(surfaceMetricsFor(s.runtime(), 1), nullptr);
    EXPECT_EQ(surfaceMetricsFor(s.runtime(), 1)->safeArea.top, 28.0f);
    EXPECT_FALSE(session.recorder->failed);
    EXPECT_TRUE(session.recorder->finished);
    EXPECT_EQ(session.recorder->checkpoints, 2u);
    testing::expectGolden("flow_session/journal.hex", testing::journalText(session.journal));

    std::string traces;
    for (const std::string& line : s.traces()) traces += line + "\n";
    testing::expectGolden("flow_session/traces.jsonl", traces);

    std::string pageEvents;
    for (const std::string& line : s.pageEvents()) pageEvents += line + "\n";
    testing::expectGolden("flow_session/page_events.txt", pageEvents);
}

}  // namespace
}  // namespace kelvo
