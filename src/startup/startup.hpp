#pragma once

// Start-up and shutdown of Vostra Studio: the one place where the runtime record, the platform
// record and the host are made and released. `main` runs it with the process's own system (its
// environment, the POSIX file system, the GTK stand-in); tests run it with an in-memory file
// system, the headless stand-in and host functions of their own, so that every way start-up can
// end is tried without a display.
//
// In order: the process is prepared (alternate signal stack; SIGIO and SIGPIPE caught and
// ignored), the environment copied, the front-end folder named, the application's record and
// command table made, the state folder resolved and the main window's frame restored when it
// asks for that, the icon chosen, the host created, the dock icon rendered on its own thread when
// the program runs outside a bundle without an icon file, the trace log set up, the runtime
// record allocated and filled, "runtime.init" traced, the command list checked, the security
// policy, menus and shortcuts handed to the platform, and the platform run. Afterwards:
// "runtime.done" (after a clean run only), the runtime released, the dock-icon thread joined, the
// host destroyed, the failure's line "error: <Name>" written, and the process restored.

#include <span>
#include <string_view>

#include "base/env.hpp"
#include "base/error.hpp"
#include "base/io.hpp"
#include "platform/macos/appkit_functions.hpp"
#include "platform/standin/standin.hpp"
#include "platform/types/service_records.hpp"
#include "platform/types/validation.hpp"
#include "platform/types/window_records.hpp"

namespace kelvo {

struct Runtime;

// What start-up takes from the process.
struct StartupSystem {
    // The environment block ("NAME=value" entries up to a null entry) and how it is copied.
    const char* const* environment = nullptr;
    Result<EnvMap> (*copyEnvironment)(const char* const* block) = &EnvMap::fromBlock;
    Io io{};
    // The running executable: its folder names the front-end folder, and a path inside
    // "<name>.app/Contents/MacOS/" means the program runs from a bundle.
    std::string_view executablePath{};
    // The backend under the host, installed before the host is created.
    standin::StandIn* standIn = nullptr;
    // The host functions the platform adapter calls.
    const AppKitFunctions* appkit = nullptr;
    // Allocates the runtime record (`allocateRuntime` of the runtime).
    Result<Runtime*> (*allocateRuntime)() = nullptr;
};

// What the application declares beyond its bridge commands: its configuration and the lists
// start-up checks and hands to the platform. The texts and lists must outlive the run.
struct StartupApp {
    // `config.windows` is ignored: start-up points it at the main window, as restored.
    AppConfig config{};
    std::string_view appId{};
    std::span<const RuntimeCommand> commands{};
    std::span<const AppMenu> menus{};
    std::span<const GlobalShortcut> shortcuts{};
    // The kinds of files the application works with, its own documents first: an open dialog
    // that names no kinds offers them.
    std::span<const DialogFileFilter> documentTypes{};
};

// Vostra Studio's declaration: one resizable 1280 x 820 window "main" at the origin, titled
// "Vostra Studio", that does not ask for its frame to be restored; no commands, menus or
// shortcuts; its documents (".vrs") and the other kinds it reads as document types.
StartupApp vostraStudioApp();

// The process's own system over `standIn`: `environ`, the POSIX I/O, the executable's path from
// /proc/self/exe, the host's functions and the page allocator.
StartupSystem processStartupSystem(standin::StandIn& standIn);

// Starts the program, runs it until its run loop ends and tears it down. Returns 0 after a clean
// run, 1 after a failure, whose line was written to standard error.
int runApplication(const StartupSystem& system, const StartupApp& app);

}  // namespace kelvo
