// One scripted session with every platform event kind, recorded by a session journal, compared
// byte for byte with stored goldens: the journal, the trace records and the page events.
// Run with KELVO_UPDATE_GOLDEN=1 to rewrite the goldens after a deliberate change.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "flow_scenario.hpp"
#include "runtime/automation_hooks.hpp"
#include "runtime/session_record.hpp"
#include "runtime/window_view_runtime.hpp"

namespace kelvo {
namespace {

const std::string kGoldenDir = std::string(KELVO_TEST_DATA_DIR) + "/flow_session/";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Compares `actual` with a golden file, or rewrites the file when asked to.
void expectGolden(const std::string& name, const std::string& actual) {
    const std::string path = kGoldenDir + name;
    if (std::getenv("KELVO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    EXPECT_EQ(actual, readFile(path)) << "golden " << path;
}

std::string recordName(std::uint8_t kind, const std::uint8_t* payload, std::uint32_t length) {
    switch (kind) {
        case 2: {
            if (length == 0) return "event";
            Result<PlatformEventKind> event = platformEventKindFromTag(payload[0] - 1u);
            return event ? std::string(platformEventKindName(*event)) : "event?";
        }
        case 4:
            return "checkpoint";
        case 5:
            return "screenshot";
        case 6:
            return "end";
        default:
            return std::string("record ").append(std::to_string(kind));
    }
}

// The journal as text: one record a line in hexadecimal, each after a "#" line naming it.
std::string journalText(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    std::size_t at = 0;
    while (at + 5 <= bytes.size()) {
        const std::uint32_t length = static_cast<std::uint32_t>(bytes[at + 1]) | (bytes[at + 2] << 8) |
                                     (bytes[at + 3] << 16) | (static_cast<std::uint32_t>(bytes[at + 4]) << 24);
        const std::size_t end = std::min(bytes.size(), at + 5 + length);
        out += "# " + recordName(bytes[at], bytes.data() + at + 5, length) + "\n";
        for (std::size_t i = at; i < end; ++i) {
            char pair[4];
            std::snprintf(pair, sizeof pair, i + 1 < end ? "%02x " : "%02x", bytes[i]);
            out += pair;
        }
        out += "\n";
        at = end;
    }
    return out;
}

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
    GpuSurfaceFrame frame;
    frame.windowId = 1;
    frame.label = "canvas";
    frame.width = 300;
    frame.height = 200;
    frame.scale = 2;
    frame.frameIndex = 9;
    frame.timestampNs = 1'700'000'000'100'000'000;
    frame.frameIntervalNs = 16'666'667;
    GpuSurfaceInput input;
    input.windowId = 1;
    input.label = "canvas";
    input.kind = GpuSurfaceInputKind::pointer_down;
    input.x = 12.5f;
    input.y = 30;
    input.text = "";
    AudioEvent audio;
    audio.positionMs = 1500;
    audio.durationMs = 180000;
    audio.kind = AudioEventKind::state;
    audio.playing = true;
    audio.bands[0] = 200;

    auto dispatch = [&](const PlatformEvent& event) { ASSERT_TRUE(s.dispatch(event)) << platformEventName(event); };
    dispatch(AppStartEvent{});
    dispatch(SurfaceResizedEvent{1, 1280, 820, 2, {28, 0, 0, 0}, {}});
    dispatch(WindowFrameChangedEvent{1, "main", "Vostra Studio", RectF{100, 80, 1280, 820}, 2, true, true});
    dispatch(FrameRequestedEvent{});
    dispatch(FrameRequestedEvent{});  // nothing changed: no trace, no frame, no checkpoint

    ViewOptions canvas{1, "canvas"};
    canvas.kind = ViewKind::gpu_surface;
    canvas.frame = RectF{0, 40, 300, 200};
    canvas.gpuBackend = GpuBackend::software;
    canvas.gpuPixelFormat = GpuPixelFormat::bgra8_unorm;
    canvas.gpuPresentMode = GpuPresentMode::timer;
    canvas.gpuAlphaMode = GpuAlphaMode::opaque;
    canvas.gpuColorSpace = GpuColorSpace::srgb;
    canvas.gpuVsync = true;
    ASSERT_TRUE(createView(s.runtime(), canvas));

    dispatch(AppActivatedEvent{});
    dispatch(AppDeactivatedEvent{});
    dispatch(AppearanceChangedEvent{true, false, false});
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
    expectGolden("journal.hex", journalText(session.journal));

    std::string traces;
    for (const std::string& line : s.traces()) traces += line + "\n";
    expectGolden("traces.jsonl", traces);

    std::string pageEvents;
    for (const std::string& line : s.pageEvents()) pageEvents += line + "\n";
    expectGolden("page_events.txt", pageEvents);
}

}  // namespace
}  // namespace kelvo
