#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/env.hpp"
#include "flow_scenario.hpp"
#include "runtime/flow/extensions.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/views/view_lookup.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using Lines = std::vector<std::string>;

// Three extension modules (ids 10, 11, 12) and the application's start and stop hooks, writing
// into one journal; `failing` names the steps that fail ("m2.start", "app.stop", ...).
struct Lifecycle {
    Lines journal;
    std::vector<std::string> failing;
    std::array<std::pair<Lifecycle*, int>, 3> slots{};
    std::array<ModuleEntry, 3> entries{};
    ModuleRegistry registry{};

    explicit Lifecycle(FlowScenario& scenario) {
        for (int i = 0; i < 3; ++i) {
            slots[i] = {this, i + 1};
            entries[i] =
                ModuleEntry{static_cast<std::uint64_t>(10 + i), {}, &slots[i], moduleStart, moduleStop, moduleCommand};
        }
        registry.entries = entries;
        scenario.runtime().modules = &registry;
        scenario.binding().appContext = this;
        scenario.binding().eventHandler = [](void* c, Runtime&, const RuntimeEvent& event) {
            const auto* lifecycle = std::get_if<LifecycleEvent>(&event);
            if (lifecycle == nullptr) return Status{};
            return static_cast<Lifecycle*>(c)->step(std::string("event.") + std::string(runtimeEventTraceName(event)));
        };
        scenario.binding().startHook = [](void* c, Runtime&) { return static_cast<Lifecycle*>(c)->step("app.start"); };
        scenario.binding().stopHook = [](void* c, Runtime&) { return static_cast<Lifecycle*>(c)->step("app.stop"); };
    }
    Status step(const std::string& name) {
        journal.push_back(name);
        if (std::find(failing.begin(), failing.end(), name) != failing.end()) return fail(Error::Unexpected);
        return {};
    }
    static Status moduleStep(void* context, std::string_view what) {
        auto* slot = static_cast<std::pair<Lifecycle*, int>*>(context);
        return slot->first->step(std::string("m").append(std::to_string(slot->second)).append(".").append(what));
    }
    static Status moduleStart(void* c, const ModuleCallContext&) { return moduleStep(c, "start"); }
    static Status moduleStop(void* c, const ModuleCallContext&) { return moduleStep(c, "stop"); }
    static Status moduleCommand(void* c, const ModuleCallContext& call, const ModuleCommand& command) {
        return moduleStep(c, std::string(command.name) + "@" + std::string(call.platformName));
    }
};

// Launch timing on, stamped with the scenario's clock, for one test.
struct LaunchTimingOn {
    EnvMap env = EnvMap::fromList({{"KELVO_WINDOW_TIMING", "1"}});
    explicit LaunchTimingOn(FlowScenario& scenario) {
        setProcessEnv(&env);
        resetLaunchTimingForTests(memoryIo(scenario.memory()));
    }
    ~LaunchTimingOn() {
        setProcessEnv(nullptr);
        resetLaunchTimingForTests();
    }
};

TEST(AppStart, ReservesTheMainWindowStartsEverythingAndLoadsTheWindows) {
    FlowScenario scenario;
    Lifecycle lifecycle(scenario);
    scenario.runtime().stateDirty = false;
    LaunchTimingOn timing(scenario);
    ScopedStderrCapture stderrText;
    ASSERT_TRUE(scenario.dispatch(AppStartEvent{}));
    EXPECT_EQ(lifecycle.journal, (Lines{"app.start", "m1.start", "m2.start", "m3.start", "event.start"}));
    EXPECT_EQ(stderrText.text(),
              "kelvo: launch app_start wall_ns=1700000000000000000\n"
              "kelvo: launch app_started wall_ns=1700000000000000000\n"
              "kelvo: launch scene_loaded wall_ns=1700000000000000000\n");
    const RuntimeWindow& main = scenario.runtime().windows[0];
    EXPECT_EQ(scenario.runtime().windows.size(), 1u);
    EXPECT_EQ(main.label.view(), "main");
    EXPECT_EQ(main.frame, (RectF{0, 0, 1280, 820}));
    EXPECT_TRUE(main.hasSource);
    EXPECT_EQ(scenario.runtime().nextWindowId, 2u);
    EXPECT_TRUE(scenario.runtime().stateDirty);
    EXPECT_EQ(scenario.platform().callNames(), (Lines{"loadWindowWebView"}));
}

TEST(AppStart, StartFailuresAreRecordedAndEndTheDispatch) {
    struct Case {
        const char* name;
        std::uint64_t secondId;
        std::vector<std::string> failing;
        Error error;
        Lines journal;
    };
    const std::vector<Case> cases = {
        // a repeated id is refused before any module starts
        {"repeated id", 10, {}, Error::DuplicateModule, {"app.start"}},
        {"missing dependency", 11, {}, Error::MissingDependency, {"app.start"}},
        {"failing module", 11, {"m2.start"}, Error::ModuleFailed, {"app.start", "m1.start", "m2.start"}},
        {"failing hook", 11, {"app.start"}, Error::Unexpected, {"app.start"}},
    };
    for (const Case& c : cases) {
        FlowScenario scenario;
        Lifecycle lifecycle(scenario);
        lifecycle.entries[1].id = c.secondId;
        const std::uint64_t absent[] = {99};
        if (c.error == Error::MissingDependency) lifecycle.entries[2].dependencies = absent;
        lifecycle.failing = c.failing;
        Status status = scenario.dispatch(AppStartEvent{});
        ASSERT_FALSE(status) << c.name;
        EXPECT_EQ(status.error(), c.error) << c.name;
        EXPECT_EQ(lifecycle.journal, c.journal) << c.name;
        EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().scope, "app_start") << c.name;
        EXPECT_TRUE(scenario.platform().calls().empty()) << c.name;
    }
}

TEST(ExtensionCommands, AFailingModuleIsRecordedAndTheCommandStillSucceeds) {
    FlowScenario scenario;
    Lifecycle lifecycle(scenario);
    ASSERT_TRUE(scenario.dispatch(AppStartEvent{}));
    lifecycle.journal.clear();
    lifecycle.failing = {"m2.doc.export@test"};
    ASSERT_TRUE(scenario.dispatch(MenuCommandEvent{"doc.export", 1}));
    EXPECT_EQ(lifecycle.journal, (Lines{"m1.doc.export@test", "m2.doc.export@test"}));
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().scope, "extension.command");
    EXPECT_EQ(scenario.runtime().dispatchErrors.recent.back().error, Error::ModuleFailed);
}

TEST(AppShutdown, EveryStopHookRunsAndTheFirstFailureIsReturned) {
    FlowScenario scenario;
    Lifecycle lifecycle(scenario);
    ASSERT_TRUE(scenario.dispatch(AppStartEvent{}));
    lifecycle.journal.clear();
    lifecycle.failing = {"m2.stop", "app.stop"};
    scenario.clearRecords();
    Status status = scenario.dispatch(AppShutdownEvent{});
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error(), Error::ModuleFailed);
    EXPECT_EQ(lifecycle.journal, (Lines{"event.stop", "m3.stop", "m2.stop", "m1.stop", "app.stop"}));
    EXPECT_EQ(scenario.traceNames(), (Lines{"platform.event", "runtime.event"}));  // no "app.stop"
}

struct SceneBox {
    std::vector<SceneWindow> windows;
};

Result<AppScene> provideScene(void* context) { return AppScene{static_cast<SceneBox*>(context)->windows}; }

void useScene(FlowScenario& scenario, SceneBox& box) {
    scenario.binding().appContext = &box;
    scenario.binding().sceneProvider = provideScene;
    scenario.binding().eventHandler = nullptr;
}

TEST(AppStart, ASceneOpensItsWindowsWithTheirShells) {
    FlowScenario scenario;
    SceneBox box;
    std::array<ShellViewDescription, 1> toolbar{};
    toolbar[0].label = "toolbar";
    toolbar[0].dock = ShellEdge::top;
    toolbar[0].height = 40.0f;
    box.windows.push_back(SceneWindow{WindowConfig{1, "main", "Editor", RectF{0, 0, 800, 600}}, {}, {}, toolbar});
    box.windows.push_back(SceneWindow{WindowConfig{0, "inspector", "Inspector", RectF{0, 0, 300, 600}}});
    useScene(scenario, box);
    ASSERT_TRUE(scenario.dispatch(AppStartEvent{}));
    EXPECT_EQ(scenario.runtime().windows.size(), 2u);
    EXPECT_TRUE(findViewIndex(scenario.runtime(), 1, "toolbar"));
    EXPECT_EQ(scenario.platform().callCount(PlatformSlot::createWindow), 1u);
    const Lines& traces = scenario.traces();
    EXPECT_EQ(traces[traces.size() - 2],
              R"({"timestamp_ns":1700000000000000000,"level":"info","kind":"event","name":"scene.load",)"
              R"("message":"loaded app scene","fields":{"app":"vostra-studio"}})");

    FlowScenario empty;
    SceneBox nothing;
    useScene(empty, nothing);
    ASSERT_TRUE(empty.dispatch(AppStartEvent{}));
    EXPECT_NE(empty.traces()[empty.traces().size() - 2].find(R"("message":"loaded empty app scene")"),
              std::string::npos);
}

TEST(AppStart, SceneRulesAreCheckedBeforeAnythingIsCreated) {
    std::array<ShellViewDescription, 2> twins{};
    twins[0].label = "panel";
    twins[1].label = "panel";
    const std::string longLabel(65, 'v');
    std::array<ShellViewDescription, 1> overlong{};
    overlong[0].label = longLabel;
    const std::vector<std::pair<std::vector<SceneWindow>, Error>> cases = {
        {std::vector<SceneWindow>(17, SceneWindow{WindowConfig{0, "w"}}), Error::InvalidLayout},
        {{SceneWindow{WindowConfig{0, "a/b"}}}, Error::InvalidName},
        {{SceneWindow{WindowConfig{0, "w", "", RectF{0, 0, 10, 0}}}}, Error::InvalidDimension},
        {{SceneWindow{WindowConfig{0, "w"}, {}, {}, twins}}, Error::DuplicateView},
        {{SceneWindow{WindowConfig{0, "w"}, {}, {}, overlong}}, Error::InvalidName},
    };
    for (const auto& [windows, error] : cases) {
        FlowScenario scenario;
        SceneBox box{windows};
        useScene(scenario, box);
        Status status = scenario.dispatch(AppStartEvent{});
        ASSERT_FALSE(status) << errorName(error);
        EXPECT_EQ(status.error(), error);
        EXPECT_TRUE(scenario.platform().calls().empty()) << errorName(error);
    }
}

}  // namespace
}  // namespace kelvo
