// The host object: creation with its defaults, the run sequence, stopping, shutdown and
// tear-down.

#include <cstdio>
#include <cstdlib>

#include "base/env.hpp"
#include "base/posix_io.hpp"
#include "base/stderr.hpp"
#include "base/utf8.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kDefaultAppName = "kelvo";
constexpr std::string_view kDefaultBundleIdentifier = "org.example.kelvo";
constexpr std::string_view kDefaultWindowLabel = "main";

std::string orDefault(std::string_view text, std::string_view fallback) {
    return std::string(text.empty() ? fallback : text);
}

// Launch timing counts as on whenever the variable is set, whatever its value.
bool launchTimingRequested() {
    if (const EnvMap* env = processEnv()) return env->has("KELVO_WINDOW_TIMING");
    return std::getenv("KELVO_WINDOW_TIMING") != nullptr;
}

void configureApplication(KelvoAppKitHost& host) {
    // The desktop shows the display name, given when the loop opened.
    buildMenuBar(host);
    launchMark(host, "menu_built");
    if (!host.iconPath.empty()) {
        // An icon that cannot be read leaves the windows' icon as it is.
        (void)host.platform->windows.setAppIconFromFile(host.platform->self, host.iconPath);
    }
}

void onTerminate(KelvoAppKitHost& host, std::uint64_t) {
    // SIGTERM ends the loop the same way as quitting: one app_shutdown, then run returns and
    // start-up tears everything down. A modal dialog open then ends with the loop, answered as
    // cancelled, and the shutdown reaches the runtime after that answer.
    emitShutdown(host);
    stopHost(host);
}

}  // namespace

std::string_view hostText(const char* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0) return {};
    std::string_view text(bytes, length);
    return isValidUtf8(text) ? text : std::string_view{};
}

std::string_view hostPath(const char* bytes, std::size_t length) {
    return bytes == nullptr ? std::string_view{} : std::string_view(bytes, length);
}

std::uint64_t wallClockNs(const KelvoAppKitHost& host) { return host.platform->loop.wallClockNs(host.platform->self); }

void launchMark(const KelvoAppKitHost& host, std::string_view mark) {
    if (!host.launchTiming) return;
    char line[160];
    int length = std::snprintf(line, sizeof line, "kelvo: launch %.*s wall_ns=%llu\n", static_cast<int>(mark.size()),
                               mark.data(), static_cast<unsigned long long>(wallClockNs(host)));
    if (length > 0) writeStderr(std::string_view(line, static_cast<std::size_t>(length)));
}

void postToHost(KelvoAppKitHost& host, void (*task)(KelvoAppKitHost& host, std::uint64_t value), std::uint64_t value) {
    std::weak_ptr<HostLife> life = host.life;
    host.platform->loop.post(host.platform->self, [life, task, value] {
        if (std::shared_ptr<HostLife> alive = life.lock()) task(*alive->host, value);
    });
}

void postHostTask(KelvoAppKitHost& host, std::function<void(KelvoAppKitHost& host)> task) {
    std::weak_ptr<HostLife> life = host.life;
    host.platform->loop.post(host.platform->self, [life, task = std::move(task)] {
        if (std::shared_ptr<HostLife> alive = life.lock()) task(*alive->host);
    });
}

void runOnMainQueueAfter(KelvoAppKitHost& host, std::uint64_t delayNs, std::function<void()> task) {
    if (delayNs == 0) {
        postHostTask(host, [task = std::move(task)](KelvoAppKitHost&) { task(); });
        return;
    }
    host.platform->loop.startTimer(host.platform->self, delayNs, false, std::move(task));
}

void emitShutdown(KelvoAppKitHost& host) {
    if (host.didShutdown) return;
    host.didShutdown = true;
    emitEvent(host, hostEventOfKind(HostEventKind::app_shutdown));
}

void stopHost(KelvoAppKitHost& host) {
    standin::StandIn& platform = *host.platform;
    if (host.watchesTerminate) {
        platform.loop.unwatchTerminate(platform.self);
        host.watchesTerminate = false;
    }
    cancelFrameTimer(host);
    invalidateAppTimers(host);
    (void)audioStop(host);
    releaseAllHeldKeys(host);
    stopKeyMonitor(host);
    stopAppearanceObservers(host);
    stopActivationObservers(host);
    host.stopped = true;
    if (host.loopRunning) platform.loop.quit(platform.self);
}

KelvoAppKitHost* kelvo_appkit_create(const char* appName, std::size_t appNameLength, const char* displayName,
                                     std::size_t displayNameLength, const char* version, std::size_t versionLength,
                                     const char* about, std::size_t aboutLength, std::int32_t hasWebContent,
                                     const char* windowTitle, std::size_t windowTitleLength,
                                     const char* bundleIdentifier, std::size_t bundleIdentifierLength,
                                     const char* iconPath, std::size_t iconPathLength, const char* windowLabel,
                                     std::size_t windowLabelLength, double x, double y, double width, double height,
                                     std::int32_t restoreFrame, std::int32_t resizable, std::int32_t titlebarStyle,
                                     std::int32_t showPolicy) {
    standin::StandIn* platform = standin::installedStandIn();
    if (platform == nullptr) return nullptr;

    auto host = std::make_unique<KelvoAppKitHost>();
    host->platform = platform;
    host->life = std::make_shared<HostLife>(HostLife{host.get()});
    host->launchTiming = launchTimingRequested();
    launchMark(*host, "host_init");

    host->appName = orDefault(hostText(appName, appNameLength), kDefaultAppName);
    host->displayName = orDefault(hostText(displayName, displayNameLength), host->appName);
    if (!platform->loop.open(platform->self, standin::AppIdentity{host->appName, host->displayName})) return nullptr;
    launchMark(*host, "nsapp_ready");
    registerApplicationFontsOnce(*host);
    launchMark(*host, "fonts_registered");

    host->appVersion = std::string(hostText(version, versionLength));
    host->aboutDescription = std::string(hostText(about, aboutLength));
    host->hasWebContent = hasWebContent != 0;
    host->bundleIdentifier = orDefault(hostText(bundleIdentifier, bundleIdentifierLength), kDefaultBundleIdentifier);
    host->iconPath = std::string(hostText(iconPath, iconPathLength));
    host->windowLabel = orDefault(hostText(windowLabel, windowLabelLength), kDefaultWindowLabel);
    host->web.io = posixIo();

    configureApplication(*host);
    launchMark(*host, "app_configured");

    WindowRequest main;
    main.id = 1;
    main.title = hostText(windowTitle, windowTitleLength);
    main.label = host->windowLabel;
    main.x = x;
    main.y = y;
    main.width = width;
    main.height = height;
    main.restoreFrame = restoreFrame != 0;
    main.resizable = resizable != 0;
    main.titlebarStyle = titlebarStyle;
    main.showPolicy = showPolicy;
    main.makeMain = true;
    if (!createWindow(*host, main)) {
        destroyAllWindows(*host);
        return nullptr;
    }
    return host.release();
}

void kelvo_appkit_destroy(KelvoAppKitHost* host) {
    if (host == nullptr) return;
    // Tasks still queued for the host find it gone.
    host->life.reset();
    (void)audioStop(*host);
    invalidateAppTimers(*host);
    cancelFrameTimer(*host);
    stopAppearanceObservers(*host);
    stopKeyMonitor(*host);
    removeStatusItem(*host);
    if (host->watchesTerminate) host->platform->loop.unwatchTerminate(host->platform->self);
    dropHeldKeys(*host);
    closeAllWebViews(*host);
    destroyAllWindows(*host);
    delete host;
}

void kelvo_appkit_run(KelvoAppKitHost* host, KelvoEventCallback callback, void* context) {
    standin::StandIn& platform = *host->platform;
    host->callback = callback;
    host->context = context;

    if (host->mainWindow != nullptr && !host->mainWindow->deferredShow) {
        // Keys typed the moment the window shows reach its page once it can take them.
        holdKeysForPage(*host, *host->mainWindow);
        orderWindowFront(*host, *host->mainWindow);
    }
    platform.windows.activateApp(platform.self);
    startKeyMonitor(*host);
    startActivationObservers(*host);
    startAppearanceObservers(*host);

    emitEvent(*host, hostEventOfKind(HostEventKind::app_start));
    // The runtime failed on app start and stopped the host: no loop.
    if (host->didShutdown) return;
    // Start-up loads the main window's page while it handles app_start, if it loads one.
    if (host->mainWindow != nullptr) releaseHeldKeysWithoutPage(*host, host->mainWindow->id);

    // The same holds after each of the first events: a runtime that stopped the host gets
    // nothing after its app_shutdown.
    emitAppearanceChanged(*host);
    if (!host->didShutdown) emitResizeForWindow(*host, 1);
    if (!host->didShutdown) emitWindowFrameForWindow(*host, 1, true);
    if (host->didShutdown) return;
    flushFirstCanvasFrameRequests(*host);
    if (host->didShutdown) return;

    std::weak_ptr<HostLife> life = host->life;
    platform.loop.watchTerminate(platform.self, [life] {
        if (std::shared_ptr<HostLife> alive = life.lock()) onTerminate(*alive->host, 0);
    });
    host->watchesTerminate = true;

    scheduleFrame(*host);
    // A failure while the first events were handled has stopped the host already.
    if (!host->stopped) {
        host->loopRunning = true;
        platform.loop.run(platform.self);
        host->loopRunning = false;
    }
    // What waited for the runtime when the loop stopped still reaches it.
    deliverQueued(*host);
}

void kelvo_appkit_stop(KelvoAppKitHost* host) {
    emitShutdown(*host);
    stopHost(*host);
}

void kelvo_appkit_set_bridge_callback(KelvoAppKitHost* host, KelvoBridgeCallback callback, void* context) {
    host->bridgeCallback = callback;
    host->bridgeContext = context;
}

void kelvo_appkit_set_tray_callback(KelvoAppKitHost* host, KelvoTrayCallback callback, void* context) {
    host->trayCallback = callback;
    host->trayContext = context;
}

}  // namespace kelvo
