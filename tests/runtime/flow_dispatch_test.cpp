// Rules of the dispatcher that the session golden (flow_session_test) does not show: frame
// publication, failed sends, window closing, command sources, malformed events and the error
// policy of handlers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flow_scenario.hpp"
#include "runtime/flow/automation_hooks.hpp"
#include "runtime/views/view_create.hpp"
#include "runtime/views/view_lookup.hpp"
#include "runtime/windows/shell_views.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;

std::string traceLine(std::string_view name, std::string_view message, std::string_view fields,
                      std::string_view level = "info") {
    std::string line = R"({"timestamp_ns":1700000000000000000,"level":")";
    line.append(level).append(R"(","kind":"event","name":")").append(name);
    line.append(R"(","message":")").append(message).append(R"(","fields":{)").append(fields).append("}}");
    return line;
}

TEST(FrameRequested, PublishesOnlyChangesAndCountsAtMostEightDirtyRegions) {
    FlowScenario scenario;
    scenario.start();
    for (int i = 1; i <= 9; ++i) ASSERT_TRUE(scenario.dispatch(SurfaceResizedEvent{1, 100.0f * i, 50, 1, {}, {}}));
    EXPECT_EQ(scenario.runtime().dirtyRegions[5], (RectF{0, 0, 600, 50}));  // the sixth counts
    ASSERT_TRUE(scenario.dispatch(BridgeMessage{"{}", "vexa://app", 1, "main"}));
    ASSERT_TRUE(scenario.dispatch(BridgeMessage{"{}", "vexa://app", 1, "main"}));
    scenario.clearRecords();
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    EXPECT_EQ(scenario.traces().back(),
              traceLine("runtime.frame", "frame published", R"("frame":1,"dirty_regions":8)"));
    EXPECT_EQ(scenario.events(), (Lines{"frame"}));  // straight to the handler: no "runtime.event"
    EXPECT_EQ(scenario.runtime().lastFrame.changeCount, 2u);
    EXPECT_EQ(scenario.runtime().lastFrame.dirtyRegionCount, 8u);
    EXPECT_EQ(scenario.runtime().changeCounter, 0u);
    EXPECT_TRUE(scenario.runtime().dirtyRegions.empty());

    scenario.clearRecords();
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    EXPECT_TRUE(scenario.traces().empty());
    EXPECT_TRUE(scenario.events().empty());
    EXPECT_EQ(scenario.runtime().frameCounter, 1u);
}

TEST(FrameRequested, FrameWorkIsTimedOnTheMonotonicClockAndSnapshotsOnlyChanges) {
    FlowScenario scenario;
    scenario.start();
    struct Probe {
        MemoryIo* memory;
        int drains = 0;
        int snapshots = 0;
        std::optional<Error> snapshotError{};
    } probe{&scenario.memory()};
    scenario.runtime().automation =
        AutomationHooks{&probe,
                        [](void* context, Runtime&, const AppBinding&) -> Status {
                            auto* p = static_cast<Probe*>(context);
                            ++p->drains;
                            p->memory->setWallClockNs(5);  // a wall-clock step back must not disturb the duration
                            p->memory->setMonotonicNs(p->memory->monotonicNs() + 2500);
                            return {};
                        },
                        [](void* context, Runtime&) -> Status {
                            auto* p = static_cast<Probe*>(context);
                            ++p->snapshots;
                            return p->snapshotError ? Status(fail(*p->snapshotError)) : Status{};
                        }};
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    EXPECT_EQ(scenario.runtime().lastFrame.workNs, 2500u);
    EXPECT_EQ(probe.drains, 2);
    EXPECT_EQ(probe.snapshots, 1);

    // A failed publication is recorded and the frame goes on; the state stays dirty, so the next
    // frame writes the snapshots again.
    markStateDirty(scenario.runtime());
    probe.snapshotError = Error::NoSpaceLeft;
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    EXPECT_EQ(scenario.runtime().frameCounter, 2u);
    EXPECT_TRUE(scenario.runtime().stateDirty);
    ASSERT_EQ(scenario.runtime().dispatchErrors.recent.size(), 1u);
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent[0].scope, "automation.publish_failed");
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent[0].error, Error::NoSpaceLeft);
    probe.snapshotError.reset();
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    EXPECT_EQ(probe.snapshots, 3);
    EXPECT_FALSE(scenario.runtime().stateDirty);
}

TEST(Activation, TheFirstFailedSendEndsTheLoopAndClosedWindowsHearNothing) {
    FlowScenario scenario;
    scenario.start();
    scenario.reportWindow(2, "second");
    scenario.reportWindow(3, "third");
    ASSERT_TRUE(scenario.dispatch(WindowFrameChangedEvent{2, "second", "", RectF{0, 0, 10, 10}, 1, false}));
    scenario.clearRecords();
    scenario.platform().failSlot(PlatformSlot::emitWindowEvent, Error::WebViewNotFound, 1);
    ASSERT_TRUE(scenario.dispatch(AppActivatedEvent{}));
    EXPECT_EQ(scenario.pageEvents(), (Lines{"1 app:activate {}"}));
    EXPECT_EQ(scenario.traces(), (Lines{traceLine("platform.event", "", R"("event":"app_activated")"),
                                        traceLine("runtime.event", "", R"("event":"activate")"),
                                        traceLine("app.activate.emit_failed", "WebViewNotFound", "")}));
    EXPECT_EQ(scenario.runtime().dispatchErrors.total, 0u);  // a lost page event is no dispatch error
    scenario.clearRecords();
    ASSERT_TRUE(scenario.dispatch(AppDeactivatedEvent{}));
    EXPECT_EQ(scenario.pageEvents(), (Lines{"1 app:deactivate {}", "3 app:deactivate {}"}));
}

TEST(PageEvents, AnUnsendableDetailIsTracedNeverSent) {
    FlowScenario scenario;
    scenario.start();
    ASSERT_TRUE(scenario.dispatch(SurfaceResizedEvent{1, std::numeric_limits<float>::infinity(), 700, 1, {}, {}}));
    EXPECT_TRUE(scenario.pageEvents().empty());
    EXPECT_EQ(scenario.traces()[1], traceLine("window.resize.emit_failed", "InvalidJsonEventDetail", ""));

    scenario.platform().emptySlot(PlatformSlot::emitWindowEvent);
    scenario.syncPlatform();
    ASSERT_TRUE(scenario.dispatch(ShortcutEvent{"view.zoom", "=", 1, {}}));
    EXPECT_NE(std::find(scenario.traces().begin(), scenario.traces().end(),
                        traceLine("shortcut.emit_failed", "UnsupportedService", R"("id":"view.zoom")")),
              scenario.traces().end());
    EXPECT_EQ(scenario.runtime().dispatchErrors.total, 0u);
}

// A shell of a toolbar docked at the top and a web view filling the rest.
std::array<ShellViewDescription, 2> toolbarAndPanel() {
    std::array<ShellViewDescription, 2> shell{};
    shell[0].label = "toolbar";
    shell[0].dock = ShellEdge::top;
    shell[0].height = 40.0f;
    shell[1].label = "panel";
    shell[1].kind = ViewKind::webview;
    shell[1].url = "vexa://app/panel.html";
    shell[1].fill = true;
    return shell;
}

TEST(WindowFrameChanged, ClosingRaisesWindowClosedOnceAndDropsTheWindowsViews) {
    FlowScenario scenario;
    scenario.start();
    scenario.runtime().securityPolicy.origins = testing::kTrustedOrigins;
    scenario.reportWindow(2, "tools");
    const auto shell = toolbarAndPanel();
    ASSERT_TRUE(createShellViews(scenario.runtime(), 2, shell, windowContentRect(scenario.runtime(), 2)));
    ViewOptions status{1, "status"};
    status.kind = ViewKind::label;
    status.frame = RectF{0, 0, 100, 20};
    ASSERT_TRUE(createView(scenario.runtime(), status));
    scenario.clearRecords();
    const WindowFrameChangedEvent closed{2, "tools", "Tools", RectF{10, 20, 300, 200}, 2, false, false};
    ASSERT_TRUE(scenario.dispatch(closed));
    ASSERT_TRUE(scenario.dispatch(closed));
    EXPECT_EQ(scenario.events(), (Lines{"window_closed"}));
    const Runtime& runtime = scenario.runtime();
    EXPECT_FALSE(runtime.windows[1].open);
    ASSERT_EQ(runtime.views.size(), 1u);  // window 1 keeps its own
    EXPECT_EQ(runtime.views[0].label.view(), "status");
    EXPECT_TRUE(runtime.webViews.empty());
    EXPECT_TRUE(runtime.shellViews.empty());
}

TEST(SurfaceResized, TheShellIsLaidOutAgainWithinTheNewInsets) {
    FlowScenario scenario;
    scenario.start();
    scenario.runtime().securityPolicy.origins = testing::kTrustedOrigins;
    const auto shell = toolbarAndPanel();
    ASSERT_TRUE(createShellViews(scenario.runtime(), 1, shell, windowContentRect(scenario.runtime(), 1)));
    ASSERT_TRUE(scenario.dispatch(SurfaceResizedEvent{1, 1000, 700, 2, {28, 0, 0, 0}, {0, 0, 300, 0}}));
    const Runtime& runtime = scenario.runtime();
    EXPECT_EQ(runtime.views[*findViewIndex(runtime, 1, "toolbar")].frame, (RectF{0, 28, 1000, 40}));
    EXPECT_EQ(runtime.webViews[0].frame, (RectF{0, 68, 1000, 332}));
}

TEST(WindowFrameChanged, AdoptsUnknownWindowsAndMovesTheFocus) {
    FlowScenario scenario;
    scenario.start();
    const WindowFrameChangedEvent palette{5, "palette", "", RectF{1, 2, 30, 40}, 2, true, true};
    ASSERT_TRUE(scenario.dispatch(palette));
    ASSERT_TRUE(scenario.dispatch(palette));
    EXPECT_EQ(scenario.runtime().windows.size(), 2u);  // adopted once
    for (const RuntimeWindow& window : scenario.runtime().windows) EXPECT_EQ(window.focused, window.id == 5);
    EXPECT_EQ(scenario.runtime().windows[1].mainWebViewFrame, (RectF{0, 0, 30, 40}));
    EXPECT_EQ(scenario.runtime().nextWindowId, 6u);
    ASSERT_TRUE(scenario.dispatch(WindowFocusedEvent{1}));
    for (const RuntimeWindow& window : scenario.runtime().windows) EXPECT_EQ(window.focused, window.id == 1);

    scenario.clearRecords();
    ASSERT_TRUE(scenario.dispatch(WindowFrameChangedEvent{0, "ghost", "", RectF{0, 0, 1, 1}, 1, true, false}));
    EXPECT_EQ(scenario.traces()[1],
              traceLine("window.state.update_failed", "InvalidWindowOptions", R"("label":"ghost")"));
    EXPECT_EQ(scenario.traceNames().back(), "window.frame");
}

TEST(WindowFrameChanged, SavesTheWindowStateUnderTheTablesLabelAndTitle) {
    FlowScenario scenario;
    scenario.start();
    ASSERT_TRUE(configureWindowStateStore(scenario.runtime().windowStateStore, scenario.runtime().io, "/state"));
    // The platform's label and title for window 1 differ from the table's; the table's are saved.
    WindowFrameChangedEvent moved{1, "renamed", "Other", RectF{100, 80, 1280, 820}, 2, true, true};
    moved.fullScreen = true;
    ASSERT_TRUE(scenario.dispatch(moved));
    const std::string saved = *scenario.memory().fileText("/state/windows.zon");
    EXPECT_NE(saved.find(R"(.{ .id = 1, .label = "main", .title = "Vostra Studio", .open = true, .focused = true, )"
                         R"(.x = 100, .y = 80, .width = 1280, .height = 820, .scale = 2, .maximized = false, )"
                         R"(.fullscreen = true },)"),
              std::string::npos)
        << saved;

    // A failed save is traced with the event's label and leaves the file; the dispatch goes on.
    scenario.memory().failOn(IoOp::rename, "/state/windows.zon", Error::AccessDenied);
    scenario.clearRecords();
    ASSERT_TRUE(scenario.dispatch(WindowFrameChangedEvent{1, "renamed", "", RectF{5, 6, 1280, 820}, 2}));
    EXPECT_EQ(scenario.memory().fileText("/state/windows.zon"), saved);
    EXPECT_EQ(scenario.traces()[1], traceLine("window.state.save_failed", "AccessDenied", R"("label":"renamed")"));
}

TEST(Commands, NativeCommandSourceFollowsTheParentChain) {
    FlowScenario scenario;
    scenario.start();
    const std::pair<const char*, std::optional<std::string_view>> tree[] = {
        {"bar", std::nullopt}, {"group", "bar"}, {"save", "group"}, {"loose", std::nullopt}};
    for (const auto& [label, parent] : tree) {
        ViewOptions options{1, label, parent};
        options.kind = std::string_view(label) == "bar" ? ViewKind::toolbar : ViewKind::button;
        options.frame = RectF{0, 0, 20, 20};
        ASSERT_TRUE(createView(scenario.runtime(), options)) << label;
    }
    std::vector<CommandEvent> seen;
    scenario.onRuntimeEvent([&](const RuntimeEvent& event) {
        if (const auto* command = std::get_if<CommandEvent>(&event)) seen.push_back(*command);
    });
    ASSERT_TRUE(scenario.dispatch(NativeCommandEvent{"file.save", 1, "save"}));
    ASSERT_TRUE(scenario.dispatch(NativeCommandEvent{"file.open", 1, "loose"}));
    ASSERT_TRUE(scenario.dispatch(NativeCommandEvent{"file.close", 1, "nowhere"}));
    ASSERT_TRUE(scenario.dispatch(TrayActionEvent{7}));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0], (CommandEvent{"file.save", 1, "save", 0, CommandSource::toolbar}));
    EXPECT_EQ(seen[1].source, CommandSource::native_control);
    EXPECT_EQ(seen[2], (CommandEvent{"file.close", 1, "nowhere", 0, CommandSource::native_control}));
    EXPECT_EQ(seen[3], (CommandEvent{"tray.action", 0, "", 7, CommandSource::tray}));
}

TEST(Commands, AMalformedEventIsRecordedAndTheRunGoesOn) {
    FlowScenario scenario;
    scenario.start();
    const std::string tooLong(129, 'c');
    const std::string longLabel(65, 'v');
    const std::array<std::string_view, 1> paths = {"/a.vrs"};
    ASSERT_TRUE(scenario.dispatch(ShortcutEvent{"bad/id", "s", 1, {}}));
    ASSERT_TRUE(scenario.dispatch(MenuCommandEvent{tooLong, 1}));
    ASSERT_TRUE(scenario.dispatch(NativeCommandEvent{"..", 1, "x"}));
    EXPECT_TRUE(scenario.events().empty());
    EXPECT_TRUE(scenario.pageEvents().empty());
    // An overlong view label only skips the canvas step of a drop.
    ASSERT_TRUE(scenario.dispatch(FilesDroppedEvent{1, longLabel, paths, 4, 5, true}));
    EXPECT_EQ(scenario.events(), (Lines{"files_dropped"}));
    EXPECT_EQ(scenario.pageEvents().size(), 1u);
    Lines recorded;
    for (const DispatchErrorDetail& error : scenario.runtime().dispatchErrors.recent) {
        recorded.push_back(std::string(error.scope) + " " + std::string(error.errorName()));
    }
    EXPECT_EQ(recorded, (Lines{"shortcut InvalidCommand", "menu_command InvalidCommand",
                               "native_command InvalidCommand", "files_dropped ViewLabelTooLarge"}));
}

TEST(RuntimeEvents, DirtyFlagFollowsTheKind) {
    FlowScenario scenario;
    scenario.binding().eventHandler = nullptr;
    const std::vector<std::pair<RuntimeEvent, bool>> cases = {
        {RuntimeEvent(TimerEvent{}), false},
        {RuntimeEvent(CommandEvent{"doc.new", 1, {}, 0, CommandSource::bridge}), true},
    };
    for (const auto& [event, dirty] : cases) {
        scenario.runtime().stateDirty = false;
        EXPECT_TRUE(dispatchEvent(scenario.runtime(), scenario.binding(), event));
        EXPECT_EQ(scenario.runtime().stateDirty, dirty) << runtimeEventTraceName(event);
    }
    EXPECT_EQ(scenario.traces()[1], traceLine("runtime.event", "", R"("event":"doc.new")"));
}

TEST(RuntimeEvents, HandlerErrorsAreRecordedUnderTheKindsScopeAndReturnedOnlyWhenStopping) {
    FlowScenario scenario;
    scenario.start();
    scenario.failHandlerFor(RuntimeEventKind::timer, Error::WriteFailed);
    ASSERT_TRUE(scenario.dispatch(TimerEvent{1, 2}));
    EXPECT_EQ(scenario.traces().back(), traceLine("dispatch.error", "WriteFailed", R"("event":"timer")", "err"));
    scenario.runtime().stopOnHandlerError = true;
    Status status = scenario.dispatch(TimerEvent{1, 2});
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), Error::WriteFailed);

    // The frame hook follows the same rule, under "lifecycle".
    scenario.failHandlerFor(RuntimeEventKind::lifecycle);
    scenario.runtime().stopOnHandlerError = false;
    markStateDirty(scenario.runtime());
    ASSERT_TRUE(scenario.dispatch(FrameRequestedEvent{}));
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().scope, "lifecycle");
}

TEST(RunHandler, AHandlerErrorStopsTheRunWithTheBackendsLine) {
    FlowScenario scenario;
    scenario.binding().startHook = [](void*, Runtime&) -> Status { return fail(Error::AccessDenied); };
    RunContext context{&scenario.runtime(), scenario.binding()};
    scenario.platform().script({AppStartEvent{}, TimerEvent{1, 1}});
    ScopedStderrCapture stderrText;  // keeps the backend's failure line out of the test output
    Status status = scenario.platform().run(&handlePlatformEvent, &context);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), Error::CallbackFailed);
    EXPECT_EQ(scenario.platform().deliveredKinds(), (std::vector<PlatformEventKind>{PlatformEventKind::app_start}));
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent[0].scope, "app_start");
}

}  // namespace
}  // namespace kelvo
