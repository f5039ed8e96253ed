// The lifecycle events: app_start with its start sequence and scene, app_shutdown with its stop
// sequence, activation changes and appearance changes.

#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/kind_handlers.hpp"
#include "runtime/flow/launch_timing.hpp"
#include "runtime/flow/page_events.hpp"
#include "runtime/runtime.hpp"
#include "runtime/windows/scene.hpp"
#include "runtime/windows/startup_windows.hpp"
#include "text/measure_generation.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kAppStartScope = "app_start";

Status lifecycle(Runtime& runtime, const AppBinding& binding, LifecycleStep step) {
    return dispatchEvent(runtime, binding, RuntimeEvent(LifecycleEvent{step}));
}

// The window the host made when it was created: the first configured window, or the main
// window's configuration when none is listed.
Status reserveMainWindow(Runtime& runtime) {
    const AppConfig& config = runtime.appConfig;
    const WindowConfig& main = config.windows.empty() ? config.mainWindow : config.windows.front();
    const std::uint64_t id = main.id == 0 ? 1 : main.id;
    const std::string_view label = main.label.empty() ? kMainWebViewLabel : main.label;
    const std::string_view title = main.title.empty() ? config.appName : main.title;
    const std::size_t index = TRY(findOrReserveWindow(runtime, id, label, title));
    RuntimeWindow& window = runtime.windows[index];
    window.frame = main.frame;
    window.mainWebViewFrame = RectF{0, 0, main.frame.width, main.frame.height};
    raiseNextWindowId(runtime, id);
    return {};
}

Status loadWindowsOrScene(Runtime& runtime, const AppBinding& binding) {
    if (binding.sceneProvider == nullptr) return loadStartupWindows(runtime, binding);
    const AppScene scene = TRY(binding.sceneProvider(binding.appContext));
    TRY(validateScene(scene));
    TRY(loadSceneWindows(runtime, binding, scene));
    runtimeTrace(runtime, "scene.load", scene.windows.empty() ? "loaded empty app scene" : "loaded app scene",
                 {traceText("app", binding.appId)});
    return {};
}

// Records a failure of the start sequence before it ends the dispatch.
Status startStep(Runtime& runtime, const Status& status) {
    if (!status) recordDispatchErrorDetail(runtime, kAppStartScope, status.error());
    return status;
}

}  // namespace

Status handleAppStart(Runtime& runtime, const AppBinding& binding) {
    lapLaunch(LaunchMark::app_start);
    TRY(startStep(runtime, reserveMainWindow(runtime)));
    if (binding.startHook != nullptr) TRY(startStep(runtime, binding.startHook(binding.appContext, runtime)));
    if (runtime.modules != nullptr) {
        TRY(startStep(runtime, startModules(runtime.modules->entries, moduleCallContext(runtime))));
    }
    TRY(startStep(runtime, lifecycle(runtime, binding, LifecycleStep::start)));
    lapLaunch(LaunchMark::app_started);
    TRY(startStep(runtime, loadWindowsOrScene(runtime, binding)));
    lapLaunch(LaunchMark::scene_loaded);
    markStateDirty(runtime);
    runtimeTrace(runtime, "app.start", "app started", {traceText("app", binding.appId)});
    return {};
}

Status handleAppShutdown(Runtime& runtime, const AppBinding& binding) {
    // Every part of the stop sequence runs, so that each module and the application get their
    // chance to put their state away; the first failure is what the dispatch returns.
    Status first = lifecycle(runtime, binding, LifecycleStep::stop);
    if (runtime.modules != nullptr) {
        Status stopped = stopModules(runtime.modules->entries, moduleCallContext(runtime));
        if (first && !stopped) first = stopped;
    }
    if (binding.stopHook != nullptr) {
        Status stopped = binding.stopHook(binding.appContext, runtime);
        if (first && !stopped) first = stopped;
    }
    if (!first) return first;
    runtimeTrace(runtime, "app.stop", "app stopped", {traceText("app", binding.appId)});
    return {};
}

Status handleAppActivation(Runtime& runtime, const AppBinding& binding, bool active) {
    TRY(lifecycle(runtime, binding, active ? LifecycleStep::activate : LifecycleStep::deactivate));
    const std::string_view name = active ? kPageEventActivate : kPageEventDeactivate;
    const std::string_view failure = active ? "app.activate.emit_failed" : "app.deactivate.emit_failed";
    for (std::size_t i = 0; i < runtime.windows.size(); ++i) {
        if (!runtime.windows[i].open) continue;
        Status sent = sendPageEvent(runtime, runtime.windows[i].id, name, "{}");
        if (!sent) {
            traceUnsentPageEvent(runtime, failure, sent.error());
            break;
        }
    }
    return {};
}

Status handleAppearanceChanged(Runtime& runtime, const AppBinding& binding, const AppearanceChangedEvent& event) {
    runtime.appearance = event;
    textMeasureGeneration().fetch_add(1, std::memory_order_relaxed);
    return dispatchEvent(runtime, binding, RuntimeEvent(event));
}

}  // namespace kelvo
