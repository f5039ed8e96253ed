#include "runtime/persist/session_journal.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/wyhash.hpp"
#include "journal_text.hpp"
#include "runtime/persist/session_fingerprint.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"

// Events are written with designated initializers that name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kelvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Collects the journal; can be told to fail one writer call.
struct JournalSink {
    Bytes bytes;
    std::size_t calls = 0;
    std::optional<std::size_t> failCall;  // index of the call that fails
    Error failWith = Error::NoSpaceLeft;

    SessionWriter writer() {
        return {this, [](void* context, std::span<const std::uint8_t> data) -> Status {
                    auto* sink = static_cast<JournalSink*>(context);
                    std::size_t index = sink->calls++;
                    if (sink->failCall && *sink->failCall == index) return fail(sink->failWith);
                    sink->bytes.insert(sink->bytes.end(), data.begin(), data.end());
                    return {};
                }};
    }
};

struct Fingerprint {
    std::uint64_t value = 0x1122334455667788;
    int asked = 0;
    SessionFingerprintSource source() {
        return {this, [](void* context) {
                    auto* self = static_cast<Fingerprint*>(context);
                    ++self->asked;
                    return self->value;
                }};
    }
};

class SessionJournal : public ::testing::Test {
public:
    void SetUp() override { startRecorder(); }

    void startRecorder() {
        sink = JournalSink{};
        recorder = std::make_unique<SessionRecorder>();
        recorder->writer = sink.writer();
        recorder->enabled = true;
    }

    // One whole dispatch of `event` with nothing nested.
    void dispatch(const PlatformEvent& event) {
        SessionEventScope scope(recorder.get(), event, frameCounter, fingerprint.source());
    }

    static std::string failureLine(std::string_view reason) {
        return std::string("session recording failed and stopped: ").append(reason) +
               " (the partial journal has no end record; replay will refuse it)\n";
    }

    std::vector<Bytes> records() const { return testing::splitJournal(sink.bytes); }

    JournalSink sink;
    Fingerprint fingerprint;
    std::unique_ptr<SessionRecorder> recorder;
    std::uint64_t frameCounter = 0;
    ScopedStderrCapture stderrCapture;
};

// One event of every kind but app_shutdown, in code order, with recognisable values.
struct SampleEvents {
    std::array<std::string_view, 2> paths{"/a.vrs", "/b c.txt"};
    std::vector<PlatformEvent> events;

    SampleEvents() {
        events.emplace_back(AppStartEvent{});
        events.emplace_back(AppActivatedEvent{});
        events.emplace_back(AppDeactivatedEvent{});
        events.emplace_back(AppearanceChangedEvent{true, false, true});
        events.emplace_back(FrameRequestedEvent{});
        events.emplace_back(SurfaceResizedEvent{1, 1280, 820, 2, {1, 2, 3, 4}, {0, 0, 300, 0}});
        events.emplace_back(
            WindowFrameChangedEvent{1, "main", "Vostra Studio", {100, 120.5f, 1280, 820}, 2, true, true, false, false});
        events.emplace_back(WindowFocusedEvent{2});
        events.emplace_back(BridgeMessage{"{\"id\":1}", "vexa://app", 1, "main"});
        events.emplace_back(TrayActionEvent{7});
        events.emplace_back(ShortcutEvent{"save", "s", 1, KeyModifiers{true, true, false, false, true}});
        events.emplace_back(NativeCommandEvent{"toolbar.open", 1, "tools"});
        events.emplace_back(MenuCommandEvent{"file.new", 1});
        events.emplace_back(TimerEvent{5, 1000000000});
        events.emplace_back(WakeEvent{});
        events.emplace_back(FilesDroppedEvent{1, "canvas", paths, 10.5f, 20, true});
        // Fields outside the journal's copy (nonblank, sampleColor) change nothing.
        events.emplace_back(GpuSurfaceFrame{.windowId = 1,
                                            .label = "canvas",
                                            .width = 800,
                                            .height = 600,
                                            .scale = 2,
                                            .frameIndex = 42,
                                            .timestampNs = 1700000000000000000,
                                            .frameIntervalNs = 16666667,
                                            .nonblank = true,
                                            .sampleColor = 0xFF00FF00});
        events.emplace_back(GpuSurfaceResizedEvent{1, "canvas", {0, 40, 800, 560}, 2});
        events.emplace_back(GpuSurfaceInput{.windowId = 1,
                                            .label = "canvas",
                                            .kind = GpuSurfaceInputKind::key_down,
                                            .timestampNs = 99,
                                            .x = 12.5f,
                                            .y = 7,
                                            .dy = -3,
                                            .key = "enter",
                                            .text = "\xc3\xa9",
                                            .replacementRange = 5,
                                            .modifiers = {.shift = true}});
        events.emplace_back(GpuSurfaceScrollDriverEvent{1, "canvas", 9, 77, 120.5f});
        events.emplace_back(ContextMenuActionEvent{1, "canvas", 0xABCDEF, 2});
        events.emplace_back(
            WidgetAccessibilityActionEvent{1, "canvas", 12, "hello", AccessibilityActionValue{1, 4}, 3});
        AudioEvent audio{.positionMs = 1500, .durationMs = 180000, .kind = AudioEventKind::spectrum, .playing = true};
        for (std::size_t i = 0; i < audio.bands.size(); ++i) audio.bands[i] = static_cast<std::uint8_t>(i);
        events.emplace_back(audio);
    }
};

TEST_F(SessionJournal, EveryEventKindCheckpointScreenshotAndEndMatchTheGolden) {
    SampleEvents samples;
    for (const PlatformEvent& event : samples.events) dispatch(event);
    const std::uint8_t png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    recorder->recordScreenshot("main", std::nullopt, png);
    frameCounter = 3;
    dispatch(AppShutdownEvent{});

    auto written = records();
    std::vector<std::vector<std::string>> words;
    for (const Bytes& record : written) words.push_back(testing::hexWords(record));
    EXPECT_EQ(words, testing::readTable("session_journal/all_records.hex"));
    EXPECT_TRUE(recorder->finished);
    EXPECT_EQ(recorder->journalBytes, sink.bytes.size());
    EXPECT_EQ(fingerprint.asked, 1);
    EXPECT_EQ(stderrCapture.text(), "");

    // The screenshot record carries the one-shot hash of the PNG bytes.
    ASSERT_EQ(written[23].size(), 5u + 32 + 4);
    std::uint64_t hash = 0;
    for (int i = 7; i >= 0; --i) hash = hash << 8 | written[23][5 + 8 + 4 + 4 + 4 + static_cast<std::size_t>(i)];
    EXPECT_EQ(hash, wyhash(std::span<const std::uint8_t>(png), 0));

    // A finished journal records nothing more.
    std::size_t length = sink.bytes.size();
    frameCounter = 4;
    dispatch(AppStartEvent{});
    recorder->recordScreenshot("main", 2.0f, png);
    EXPECT_EQ(sink.bytes.size(), length);
}

TEST_F(SessionJournal, NestedEventsAreWrittenBeforeTheOuterOne) {
    {
        SessionEventScope outer(recorder.get(), FrameRequestedEvent{}, frameCounter, fingerprint.source());
        {
            SessionEventScope inner(recorder.get(), TrayActionEvent{7}, frameCounter, fingerprint.source());
            SessionEventScope innermost(recorder.get(), WakeEvent{}, frameCounter, fingerprint.source());
            frameCounter = 1;  // published inside: the checkpoint waits for the outermost event
        }
        EXPECT_EQ(fingerprint.asked, 0);
    }
    auto written = records();
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(written[0], (Bytes{2, 1, 0, 0, 0, 16}));
    EXPECT_EQ(written[1], (Bytes{2, 5, 0, 0, 0, 11, 7, 0, 0, 0}));
    EXPECT_EQ(written[2], (Bytes{2, 1, 0, 0, 0, 5}));
    EXPECT_EQ(written[3][0], 4);  // the checkpoint after the outermost event
    EXPECT_EQ(recorder->committedEvents, 3u);
}

TEST_F(SessionJournal, CheckpointOnlyAfterAFrameWasPublished) {
    dispatch(AppStartEvent{});
    dispatch(WakeEvent{});
    EXPECT_EQ(fingerprint.asked, 0);
    frameCounter = 1;
    dispatch(FrameRequestedEvent{});
    dispatch(WakeEvent{});
    frameCounter = 2;
    fingerprint.value = 0;
    dispatch(FrameRequestedEvent{});
    auto written = records();
    ASSERT_EQ(written.size(), 7u);
    EXPECT_EQ(written[3], (Bytes{4, 24, 0, 0, 0, 3, 0,    0,    0,    0,    0,    0,    0,    1,   0,
                                 0, 0,  0, 0, 0, 0, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(written[6],
              (Bytes{4, 24, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(recorder->checkpoints, 2u);
    EXPECT_EQ(recorder->lastCheckpointFrame, 2u);
}

TEST_F(SessionJournal, NothingIsRecordedUnlessEnabled) {
    recorder->enabled = false;
    frameCounter = 1;
    dispatch(AppStartEvent{});
    dispatch(AppShutdownEvent{});
    EXPECT_TRUE(sink.bytes.empty());
    EXPECT_EQ(fingerprint.asked, 0);
    // A runtime without a recorder passes a null one.
    SessionEventScope scope(nullptr, AppStartEvent{}, frameCounter, fingerprint.source());
}

// Each limit stops recording with its own reason: one line on standard error, and nothing more
// reaches the writer afterwards.
TEST_F(SessionJournal, EveryLimitStopsRecordingWithItsReason) {
    std::string bigText(kMaxSessionEventBytes, 'x');
    std::array<std::string_view, 33> manyPaths;
    manyPaths.fill("/p");
    std::array<std::string_view, 32> enoughPaths;
    enoughPaths.fill("/p");
    const std::uint8_t png[] = {1, 2, 3};
    std::string longName(kMaxSessionRecordBytes - 31, 'n');

    struct Case {
        const char* name;
        std::string_view reason;
        std::function<void(SessionJournal&)> run;
    };
    const Case cases[] = {
        {"nesting deeper than 8", kSessionDepthExceeded,
         [](SessionJournal& t) {
             std::vector<std::unique_ptr<SessionEventScope>> scopes;
             for (int i = 0; i < 9; ++i) {
                 scopes.push_back(std::make_unique<SessionEventScope>(t.recorder.get(), WakeEvent{}, t.frameCounter,
                                                                      t.fingerprint.source()));
             }
             while (!scopes.empty()) scopes.pop_back();
         }},
        {"event over the event limit", kSessionEventTooLarge,
         [&](SessionJournal& t) {
             t.dispatch(BridgeMessage{bigText, "vexa://app", 1, "main"});
         }},
        {"33 dropped paths", kSessionEventTooLarge,
         [&](SessionJournal& t) {
             FilesDroppedEvent drop;
             drop.paths = enoughPaths;
             t.dispatch(drop);
             EXPECT_EQ(t.recorder->committedEvents, 1u);
             drop.paths = manyPaths;
             t.dispatch(drop);
         }},
        {"screenshot over the record limit", kSessionRecordTooLarge,
         [&](SessionJournal& t) {
             t.recorder->recordScreenshot(std::string_view(longName).substr(1), std::nullopt, png);
             EXPECT_EQ(t.recorder->screenshots, 1u);
             t.recorder->recordScreenshot(longName, std::nullopt, png);
         }},
        {"journal over its limit", kSessionJournalTooLarge,
         [](SessionJournal& t) {
             t.recorder->journalBytes = kMaxSessionJournalBytes - 6;
             t.dispatch(WakeEvent{});  // exactly at the limit
             EXPECT_EQ(t.recorder->journalBytes, kMaxSessionJournalBytes);
             t.dispatch(WakeEvent{});
         }},
        {"header write fails", "NoSpaceLeft",
         [](SessionJournal& t) {
             t.sink.failCall = 2;
             t.dispatch(WakeEvent{});
             t.dispatch(WakeEvent{});
         }},
        {"payload write fails", "AccessDenied",
         [](SessionJournal& t) {
             t.sink.failCall = 3;
             t.sink.failWith = Error::AccessDenied;
             t.dispatch(WakeEvent{});
             t.dispatch(WakeEvent{});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startRecorder();
        stderrCapture.clear();
        c.run(*this);
        EXPECT_TRUE(recorder->failed);
        EXPECT_EQ(stderrCapture.text(), failureLine(c.reason));
        std::size_t length = sink.bytes.size();
        // Further events, checkpoints, screenshots and the end record write nothing more.
        frameCounter += 10;
        dispatch(TimerEvent{1, 2});
        recorder->recordScreenshot("x", 1.0f, png);
        dispatch(AppShutdownEvent{});
        EXPECT_EQ(sink.bytes.size(), length);
        EXPECT_FALSE(recorder->finished);
        EXPECT_EQ(stderrCapture.text(), failureLine(c.reason));
    }
}

// Writes a fixed text in pieces, or fails after the first piece.
struct SnapshotStub {
    std::vector<std::string_view> pieces;
    bool failAfterFirst = false;

    SessionSnapshotSource source() {
        return {this, [](void* context, const SnapshotTextSink& out) -> Status {
                    auto* stub = static_cast<SnapshotStub*>(context);
                    for (std::size_t i = 0; i < stub->pieces.size(); ++i) {
                        TRY(out.write(out.context, stub->pieces[i]));
                        if (stub->failAfterFirst) return fail(Error::OutOfMemory);
                    }
                    return {};
                }};
    }
};

TEST(SessionStateFingerprint, IsTheOneShotHashOfTheSnapshotText) {
    std::string text =
        "window main open focused\n  view main web_view\n    widget 1 button \"Save\" enabled\n"
        "  view canvas gpu_surface\n";
    SnapshotStub stub;
    for (std::size_t at = 0; at < text.size(); at += 7) stub.pieces.push_back(std::string_view(text).substr(at, 7));
    EXPECT_EQ(sessionStateFingerprint(stub.source()), wyhash(text, 0));
    SessionSnapshotSource snapshot = stub.source();
    SessionFingerprintSource forCheckpoints = sessionFingerprintSource(snapshot);
    EXPECT_EQ(forCheckpoints.fingerprint(forCheckpoints.context), wyhash(text, 0));

    stub.failAfterFirst = true;
    EXPECT_EQ(sessionStateFingerprint(stub.source()), 0u);
    EXPECT_EQ(sessionStateFingerprint(SessionSnapshotSource{}), 0u);
}

}  // namespace
}  // namespace kelvo
