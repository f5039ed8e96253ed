#include "startup/startup.hpp"

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/app.hpp"
#include "app/bundle_paths.hpp"
#include "app/dock_icon_thread.hpp"
#include "app/policies.hpp"
#include "base/stderr.hpp"
#include "debug/panic.hpp"
#include "debug/trace_sinks.hpp"
#include "platform/macos/mac_platform.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"
#include "startup/process_preparation.hpp"
#include "startup/startup_paths.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kAppOrigin = "vexa://app";
constexpr std::string_view kEntryFile = "index.html";

// The application opens links with the desktop's handler, through the stand-in's workspace (as
// the application's own code would through the system's, beside the host).
bool openWithDesktop(void* context, std::string_view url) {
    const auto* standIn = static_cast<const standin::StandIn*>(context);
    return standIn != nullptr && standIn->workspace.openUrl != nullptr &&
           standIn->workspace.openUrl(standIn->self, url);
}

void setHostDockIcon(void* host, const std::uint8_t* rgba, std::uint64_t width, std::uint64_t height) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (width > kMax || height > kMax) return;
    kelvo_appkit_set_dock_icon_rgba(static_cast<KelvoAppKitHost*>(host), rgba, static_cast<std::uint32_t>(width),
                                    static_cast<std::uint32_t>(height));
}

// The backend's dialogs learn the application's document types before the host shows any.
void declareDocumentTypes(const standin::StandIn& standIn, std::span<const DialogFileFilter> declared) {
    if (standIn.dialogs.setDocumentTypes == nullptr) return;
    std::vector<standin::DocumentType> types;
    for (const DialogFileFilter& filter : declared) {
        types.push_back({std::string(filter.name), {filter.extensions.begin(), filter.extensions.end()}});
    }
    standIn.dialogs.setDocumentTypes(standIn.self, std::move(types));
}

// Everything start-up makes that must live until shutdown: the runtime and the host keep
// pointers into it. One allocation, made before anything else.
struct Launch {
    EnvMap environment;
    std::array<char, kResourcePathBytes> frontendBuffer{};
    std::string_view frontendFolder;
    std::array<char, kIconPathBytes> iconBuffer{};
    AppPtr app;
    std::array<BridgeCommandHandler, kAppCommandCount> handlers{};
    std::array<AsyncBridgeCommandHandler, kAppDeferredCommandCount> deferredHandlers{};
    WindowConfig mainWindow{};
    AppConfig config{};
    WindowStateStore windowState{};
    KelvoAppKitHost* host = nullptr;
    DockIconThread dockIcon;
    MacPlatform mac;
    FileTraceSink fileSink;
    std::array<TraceSink, 2> sinks{};
    FanoutTraceSink fanout;
    TraceSink traceSink{};
    bool hasLogFile = false;
    Runtime* runtime = nullptr;
    RunContext runContext{};
};

// The application's clipboard text goes through the stand-in's own plain-text clipboard, which
// takes and gives text of any length, every byte (the runtime's shared writer stops at 64 KiB, its
// reader at what its reply holds), takes the clipboard for a copy before its text is there, tells
// whether the clipboard still holds a write, and reads while the main loop goes on.
const standin::ClipboardService* standInClipboard(void* context) {
    const auto* standIn = static_cast<const standin::StandIn*>(context);
    return standIn != nullptr ? &standIn->clipboard : nullptr;
}

void* standInSelf(void* context) { return static_cast<const standin::StandIn*>(context)->self; }

std::uint64_t markClipboardTakes(void* context, std::uint64_t ageMs) {
    const standin::ClipboardService* clipboard = standInClipboard(context);
    if (clipboard == nullptr || clipboard->markTakes == nullptr) return 0;
    return clipboard->markTakes(standInSelf(context), ageMs);
}

Result<std::uint64_t> claimClipboardText(void* context, std::uint64_t mark) {
    const standin::ClipboardService* clipboard = standInClipboard(context);
    if (clipboard == nullptr || clipboard->claimText == nullptr) return fail(Error::UnsupportedService);
    return clipboard->claimText(standInSelf(context), mark);
}

Result<bool> fillClipboardClaim(void* context, std::uint64_t serial, std::string_view text) {
    const standin::ClipboardService* clipboard = standInClipboard(context);
    if (clipboard == nullptr || clipboard->fillClaim == nullptr) return fail(Error::UnsupportedService);
    return clipboard->fillClaim(standInSelf(context), serial, text);
}

void dropClipboardClaim(void* context, std::uint64_t serial) {
    const standin::ClipboardService* clipboard = standInClipboard(context);
    if (clipboard != nullptr && clipboard->dropClaim != nullptr) clipboard->dropClaim(standInSelf(context), serial);
}

std::uint64_t heldClipboardWrite(void* context) {
    const standin::ClipboardService* clipboard = standInClipboard(context);
    if (clipboard == nullptr || clipboard->heldTextWrite == nullptr) return 0;
    return clipboard->heldTextWrite(standInSelf(context));
}

Result<std::string_view> textOfRead(const standin::ClipboardRead& read) {
    switch (read.end) {
        case standin::ClipboardReadEnd::text:
            return std::string_view(read.bytes);
        case standin::ClipboardReadEnd::too_large:
            return fail(Error::ClipboardFieldTooLarge);
        case standin::ClipboardReadEnd::no_answer:
            return fail(Error::ClipboardNotAnswering);
        case standin::ClipboardReadEnd::too_slow:
            return fail(Error::ClipboardTransferTooSlow);
        case standin::ClipboardReadEnd::failed:
            break;
    }
    return fail(Error::ClipboardTransferFailed);
}

void readClipboardThroughStandIn(void* context, std::size_t limit, ClipboardTextSink sink) {
    const auto* standIn = static_cast<const standin::StandIn*>(context);
    if (standIn == nullptr || standIn->clipboard.readTextLater == nullptr) {
        return sink.done(sink.context, fail(Error::UnsupportedService));
    }
    standIn->clipboard.readTextLater(
        standIn->self, limit, [sink](standin::ClipboardRead read) { sink.done(sink.context, textOfRead(read)); });
}

void cancelClipboardRead(void* context) {
    const auto* standIn = static_cast<const standin::StandIn*>(context);
    if (standIn != nullptr && standIn->clipboard.cancelTextRead != nullptr) {
        standIn->clipboard.cancelTextRead(standIn->self);
    }
}

void writeErrorLine(std::string_view prefix, std::string_view name) {
    const bool colour = stderrIsTerminal();
    std::lock_guard guard(stderrLock());
    writeStderrLocked(colour ? "\x1b[1;31merror:\x1b[0m " : "error: ");
    writeStderrLocked(prefix);
    writeStderrLocked(name);
    writeStderrLocked("\n");
}

// A frame restored from the window-state file is placed where it was saved, brought inside the
// screen; any other frame gives the window its size, centred on the screen.
KelvoAppKitHost* createHost(const AppConfig& config, std::string_view iconPath, bool frameRestored) {
    const WindowConfig& window = config.mainWindow;
    auto text = [](std::string_view value) { return value.data(); };
    return kelvo_appkit_create(
        text(config.appName), config.appName.size(), text(config.displayName), config.displayName.size(),
        text(config.version), config.version.size(), text(config.aboutText), config.aboutText.size(),
        config.webContent ? 1 : 0, text(config.windowTitle), config.windowTitle.size(), text(config.bundleId),
        config.bundleId.size(), text(iconPath), iconPath.size(), text(window.label), window.label.size(),
        window.frame.x, window.frame.y, window.frame.width, window.frame.height, frameRestored ? 1 : 0,
        window.resizable ? 1 : 0, static_cast<std::int32_t>(window.titlebarStyle),
        static_cast<std::int32_t>(window.showPolicy));
}

// A terminal sink, and beside it a file sink when there is a log folder.
void setUpTraceSinks(Launch& launch, const Io& io) {
    std::array<char, kAppFolderPathCapacity> buffer;
    std::optional<std::string_view> folder = chooseLogFolder(launch.environment, launch.config.bundleId, buffer);
    const TraceFileFormat format = traceFileFormatFromEnv(launch.environment.get("KELVO_LOG_FORMAT"));
    launch.traceSink = StdoutTraceSink::sink();
    if (!folder || !initFileTraceSink(launch.fileSink, io, *folder, format)) return;
    if (!panicState().install(io, *folder)) return;
    launch.sinks = {StdoutTraceSink::sink(), launch.fileSink.sink()};
    launch.fanout.sinks = launch.sinks;
    launch.traceSink = launch.fanout.sink();
    launch.hasLogFile = true;
}

void fillRuntime(Launch& launch, const StartupSystem& system, const StartupApp& declared) {
    Runtime& runtime = *launch.runtime;
    fillMacPlatform(runtime.platform, launch.mac);
    runtime.appConfig = launch.config;
    runtime.io = system.io;
    runtime.commands = declared.commands;
    runtime.trace = TraceLog{launch.traceSink, true, 0};
    runtime.bridgeConfig = BridgeConfig{appCommandPolicy(), launch.handlers, launch.deferredHandlers};
    runtime.builtinPolicy = builtinCommandPolicy();
    runtime.securityPolicy = appSecurityPolicy();
    runtime.windowStateStore = launch.windowState;
    bindPlatformTextMeasurer(runtime);
    runtime.startMonotonicNs = ioMonotonicNs(system.io);
}

// The security policy always; menus and shortcuts when the platform takes them or there are some.
Status configurePlatform(const Runtime& runtime, const StartupApp& declared) {
    const Platform& platform = runtime.platform;
    TRY(callNeeded<&PlatformSlots::configureSecurityPolicy>(platform, runtime.securityPolicy));
    if (!declared.menus.empty() || hasSlot<&PlatformSlots::configureMenus>(platform)) {
        TRY(callNeeded<&PlatformSlots::configureMenus>(platform, declared.menus));
    }
    if (!declared.shortcuts.empty() || hasSlot<&PlatformSlots::configureShortcuts>(platform)) {
        TRY(callNeeded<&PlatformSlots::configureShortcuts>(platform, declared.shortcuts));
    }
    return {};
}

AppBinding appBinding(Launch& launch, const StartupApp& declared) {
    AppBinding binding;
    binding.appContext = launch.app.get();
    binding.appId = declared.appId;
    binding.defaultSource = WindowSource{kAppOrigin, WindowAssets{launch.frontendFolder, kEntryFile, kAppOrigin, true},
                                         WindowSourceKind::assets};
    binding.sourceCallback = appSource;
    return binding;
}

// Start-up, the run and the "runtime.done" record; the first failure ends it.
Status startAndRun(Launch& launch, const StartupSystem& system, const StartupApp& declared) {
    std::uint64_t length =
        frontendFolderOf(system.executablePath, launch.frontendBuffer.data(), launch.frontendBuffer.size());
    if (length == 0) return fail(Error::MissingBundleResources);
    launch.frontendFolder = std::string_view(launch.frontendBuffer.data(), length);

    launch.app = TRY(createApp(
        launch.environment, system.io, WorkspaceOpener{system.standIn, openWithDesktop},
        ClipboardAccess{system.standIn, markClipboardTakes, claimClipboardText, fillClipboardClaim, dropClipboardClaim,
                        heldClipboardWrite, readClipboardThroughStandIn, cancelClipboardRead},
        launch.frontendFolder));
    launch.handlers = appCommandTable(*launch.app);
    launch.deferredHandlers = appDeferredCommandTable(*launch.app);

    launch.config = declared.config;
    launch.mainWindow = declared.config.mainWindow;
    launch.windowState = chooseWindowStateStore(launch.environment, launch.config.bundleId, system.io);
    std::optional<RestoredWindowFrame> restored;
    if (launch.mainWindow.restoreFrame && launch.windowState.enabled) {
        restored = readRestoredWindowFrame(system.io, launch.windowState.filePath.view(), launch.mainWindow.label,
                                           windowStateScratch());
        if (restored) launch.mainWindow.frame = RectF{restored->x, restored->y, restored->width, restored->height};
    }
    launch.config.mainWindow = launch.mainWindow;
    launch.config.windows = std::span<const WindowConfig>(&launch.mainWindow, 1);

    const IconChoice icon = chooseIcon(system.io, system.executablePath, launch.iconBuffer);
    standin::installStandIn(system.standIn);
    if (system.standIn != nullptr) declareDocumentTypes(*system.standIn, declared.documentTypes);
    launch.host = createHost(launch.config, icon.hostIconPath, restored.has_value());
    if (launch.host == nullptr) return fail(Error::CreateFailed);
    // Without the thread the windows keep the system's icon; start-up goes on either way.
    if (icon.renderDockIcon) (void)startDockIconThread(launch.dockIcon, DockIconHost{launch.host, setHostDockIcon});

    launch.mac.host = launch.host;
    launch.mac.app = launch.config;
    launch.mac.appkit = system.appkit;
    setUpTraceSinks(launch, system.io);

    launch.runtime = TRY(system.allocateRuntime());
    Runtime& runtime = *launch.runtime;
    fillRuntime(launch, system, declared);
    if (launch.hasLogFile) {
        runtimeTrace(runtime, "runtime.init", "runtime initialized",
                     {traceText("app", declared.appId), traceText("platform", runtime.platform.name),
                      traceText("log_path", launch.fileSink.path.view())});
    } else {
        runtimeTrace(runtime, "runtime.init", "runtime initialized",
                     {traceText("app", declared.appId), traceText("platform", runtime.platform.name)});
    }
    TRY(validateCommandList(runtime.commands));
    TRY(configurePlatform(runtime, declared));
    // This application configures no automation, so no command watcher runs.

    launch.runContext = RunContext{launch.runtime, appBinding(launch, declared)};
    TRY(runtime.platform.run(runtime.platform.context, handlePlatformEvent, &launch.runContext));
    runtimeTrace(runtime, "runtime.done", "runtime finished");
    return {};
}

// Releases what start-up made, in the order that leaves nothing in use: the runtime, then the
// dock-icon thread (it may still be handing its picture to the host), then the host; then, its
// windows gone, the process lets other programs finish what they still send to it.
void tearDown(Launch& launch, standin::StandIn* standIn) {
    // A clipboard read still waiting would answer through the runtime.
    if (launch.app) endWaitingClipboardRead(*launch.app);
    releaseRuntime(launch.runtime);
    launch.runtime = nullptr;
    joinDockIconThread(launch.dockIcon);
    kelvo_appkit_destroy(launch.host);
    launch.host = nullptr;
    if (standIn != nullptr && standIn->loop.finish != nullptr) standIn->loop.finish(standIn->self);
    standin::installStandIn(nullptr);
    panicState().uninstall();
}

}  // namespace

int runApplication(const StartupSystem& system, const StartupApp& app) {
    ProcessPreparation process;
    prepareProcess(process);
    int status = 1;
    auto environment = system.copyEnvironment(system.environment);
    if (!environment) {
        writeErrorLine("failed to parse environment variables: ", errorName(environment.error()));
    } else if (auto launch = std::unique_ptr<Launch>(new (std::nothrow) Launch); launch == nullptr) {
        writeErrorLine({}, errorName(Error::OutOfMemory));
    } else {
        launch->environment = std::move(*environment);
        setProcessEnv(&launch->environment);
        Status ran = startAndRun(*launch, system, app);
        tearDown(*launch, system.standIn);
        if (!ran) writeErrorLine({}, errorName(ran.error()));
        status = ran ? 0 : 1;
        setProcessEnv(nullptr);
    }
    restoreProcess(process);
    return status;
}

}  // namespace kelvo
