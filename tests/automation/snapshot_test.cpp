// The snapshot model and its three texts, byte for byte, and the session fingerprint made of it.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "automation/automation.hpp"
#include "automation/snapshot_model.hpp"
#include "automation/snapshot_text.hpp"
#include "automation_scenario.hpp"
#include "base/wyhash.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_lookup.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using Text = Status (*)(const AutomationSnapshotModel&, const SnapshotTextSink&);

std::string textOf(const AutomationSnapshotModel& model, Text writer) {
    std::string out;
    SnapshotTextSink sink{&out, [](void* context, std::string_view text) -> Status {
                              static_cast<std::string*>(context)->append(text);
                              return {};
                          }};
    EXPECT_TRUE(writer(model, sink));
    return out;
}

// The process id is the one value that changes from run to run.
std::string withPidMarked(std::string text) {
    const std::string pid = "publisher_pid=" + std::to_string(::getpid()) + " ";
    if (std::size_t at = text.find(pid); at != std::string::npos) text.replace(at, pid.size(), "publisher_pid=PID ");
    return text;
}

// Two windows: the first with its main web view, a toolbar, a child web view and a canvas view
// showing the gallery tree; the second, reported by the platform without a title, with a button.
class SnapshotFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Runtime& runtime = flow.runtime();
        runtime.securityPolicy.origins = testing::kTrustedOrigins;
        flow.start();
        flow.reportWindow(2, "second");
        ViewOptions toolbar{.windowId = 1,
                            .label = "tools",
                            .role = "toolbar",
                            .accessibilityLabel = "Main tools",
                            .frame = {0, 0, 1280, 40},
                            .layer = -2,
                            .kind = ViewKind::toolbar};
        ASSERT_TRUE(createView(runtime, toolbar));
        ViewOptions panel{.windowId = 1,
                          .label = "panel",
                          .url = "vexa://app/panel.html",
                          .frame = {900, 40, 380, 780},
                          .kind = ViewKind::webview,
                          .bridge = true};
        ASSERT_TRUE(createView(runtime, panel));
        ASSERT_TRUE(createView(runtime, testing::canvasOptions("gallery", {16, 40, 320, 420})));
        ViewOptions ok{.windowId = 2, .label = "ok", .text = "OK", .frame = {10, 10, 80, 24}, .kind = ViewKind::button};
        Result<ViewInfo> okView = createView(runtime, ok);
        ASSERT_TRUE(okView) << errorName(okView.error());
        std::optional<std::size_t> gallery = findViewIndex(runtime, 1, "gallery");
        ASSERT_TRUE(gallery);
        std::uint32_t line = 0;
        ASSERT_TRUE(
            installCanvasWidgetTreeText(runtime, *gallery, testing::readData("automation/gallery_tree.txt"), &line))
            << "line " << line;
        recordDispatchErrorDetail(runtime, "automation.widget_click", Error::ViewNotFound, "nowhere 3");
    }

    FlowScenario flow;
};

TEST_F(SnapshotFixture, TheThreeTextsAreWrittenExactly) {
    const AutomationSnapshotModel model = automationSnapshot(flow.runtime(), "Studio");
    testing::expectGolden("automation/snapshot.txt", withPidMarked(textOf(model, &writeSnapshotText)));
    testing::expectGolden("automation/accessibility.txt", textOf(model, &writeAccessibilityText));
    testing::expectGolden("automation/windows.txt", textOf(model, &writeWindowsText));
}

}  // namespace
}  // namespace kelvo

namespace kelvo {
namespace {

TEST_F(SnapshotFixture, WithProfilingOnTheProfileLineFollowsTheHeader) {
    FrameProfile& profile = flow.runtime().frameProfile;
    profile.enabled = true;
    for (std::uint64_t micros : {30u, 10u, 20u}) profile.recordNs(0, micros * 1000 + 999);
    for (std::uint64_t i = 1; i <= 500; ++i) profile.recordNs(11, i * 1000);
    profile.recordNs(10, std::uint64_t{1} << 60);  // saturates at 2^32 - 1 microseconds

    const std::string off = testing::readData("automation/snapshot.txt");
    const std::string on = withPidMarked(textOf(automationSnapshot(flow.runtime(), "Studio"), &writeSnapshotText));
    const std::size_t header = off.find('\n') + 1;
    ASSERT_EQ(on.substr(0, header), off.substr(0, header));
    const std::size_t profileEnd = on.find('\n', header) + 1;
    testing::expectGolden("automation/frame_profile_line.txt", on.substr(header, profileEnd - header));
    EXPECT_EQ(on.substr(profileEnd), off.substr(header));
}

TEST_F(SnapshotFixture, TheJournalCheckpointFingerprintsTheAccessibilityText) {
    std::vector<std::uint8_t> journal;
    auto recorder = std::make_unique<SessionRecorder>();
    recorder->enabled = true;
    recorder->writer = SessionWriter{&journal, [](void* context, std::span<const std::uint8_t> bytes) -> Status {
                                         auto* out = static_cast<std::vector<std::uint8_t>*>(context);
                                         out->insert(out->end(), bytes.begin(), bytes.end());
                                         return {};
                                     }};
    Runtime& runtime = flow.runtime();
    attachSessionSnapshotSource(runtime);
    runtime.sessionRecorder = recorder.get();
    ASSERT_TRUE(flow.dispatch(FrameRequestedEvent{}));
    runtime.sessionRecorder = nullptr;

    // The last record is the checkpoint: kind 4, 24 bytes, the fingerprint in the last eight.
    ASSERT_GE(journal.size(), 29u);
    const std::size_t checkpoint = journal.size() - 29;
    ASSERT_EQ(journal[checkpoint], 4);
    std::uint64_t fingerprint = 0;
    for (int i = 7; i >= 0; --i) fingerprint = (fingerprint << 8) | journal[journal.size() - 8 + i];
    const std::string text = textOf(automationSnapshot(runtime, "session"), &writeAccessibilityText);
    EXPECT_EQ(fingerprint, wyhash(text, 0));
    EXPECT_NE(text.find("\n@w1/gallery#4 role=textbox"), std::string::npos);
}

TEST(SnapshotModel, WithoutWindowsOneWindowStandsInUnderTheName) {
    testing::RuntimePtr runtime = testing::makeRuntime();
    runtime->appConfig.mainWindow.frame = RectF{5, 5, 640, 400};
    const AutomationSnapshotModel model = automationSnapshot(*runtime, "Lab");
    ASSERT_EQ(model.windows.size(), 1u);
    EXPECT_EQ(textOf(model, &writeWindowsText), "window @w1 \"Lab\" focused=true\n");
    EXPECT_EQ(textOf(model, &writeAccessibilityText),
              "a11y root=@w1 nodes=1\n@w1 role=window name=\"Lab\" bounds=(0,0 640x400)\n");
}

// The parts no runtime state of this program reaches yet: the status-bar item and audio.
TEST(SnapshotModel, TrayAndAudioLinesArePrintedWhenPresent) {
    const AutomationSnapshotTrayItem tray[] = {
        {"Open", "app.open", 3, false, true}, {"", "", 0, true, true}, {"Quit", "app.quit", 9, false, false}};
    std::array<std::uint8_t, kSnapshotSpectrumBands> bands{};
    for (std::size_t i = 0; i < bands.size(); ++i) bands[i] = static_cast<std::uint8_t>(i * 8);
    AutomationSnapshotModel model;
    model.trayTitle = "Studio";
    model.trayItems = tray;
    model.audio = AutomationSnapshotAudio{42, "cache", 1500, 90000, 7, bands, true, true};
    std::string text = textOf(model, &writeSnapshotText);
    model.audio->spectrumEvents = 0;
    model.audio->buffering = false;
    text += textOf(model, &writeSnapshotText);
    testing::expectGolden("automation/tray_and_audio.txt", text);
}

TEST(FrameProfileStats, PercentilesAreTakenOverTheRingsValidSamples) {
    FrameProfile profile;
    profile.recordNs(2, 5000);
    EXPECT_EQ(profile.stats(2), FrameProfileStats{}) << "nothing is recorded while disabled";
    profile.enabled = true;
    for (std::uint64_t micros : {30u, 10u, 20u}) profile.recordNs(2 + 16, micros * 1000);  // stages wrap at 16
    EXPECT_EQ(profile.stats(2), (FrameProfileStats{20, 30, 30, 3, 3}));
    for (std::uint64_t micros = 1; micros <= 10; ++micros) profile.recordNs(4, (11 - micros) * 1000);
    EXPECT_EQ(profile.stats(4), (FrameProfileStats{5, 9, 10, 10, 10}));
    for (std::uint64_t i = 1; i <= 500; ++i) profile.recordNs(5, i * 1000);
    EXPECT_EQ(profile.stats(5), (FrameProfileStats{436, 488, 500, 128, 500}));
    profile.recordNs(12, 1000);  // no such stage
    EXPECT_EQ(profile.stats(12), FrameProfileStats{});
}

}  // namespace
}  // namespace kelvo
