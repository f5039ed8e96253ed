// The process's own system: what `main` hands to start-up.

#include <array>

#include "app/bundle_paths.hpp"
#include "base/posix_io.hpp"
#include "runtime/runtime.hpp"
#include "startup/startup.hpp"

extern char** environ;

namespace kelvo {

StartupSystem processStartupSystem(standin::StandIn& standIn) {
    StartupSystem system;
    system.environment = environ;
    system.io = posixIo();
    // At most 4,096 bytes; read once, kept for the life of the process.
    static std::array<char, 4096> executable;
    system.executablePath = runningExecutablePath(executable);
    system.standIn = &standIn;
    system.appkit = &appkitFunctions();
    system.allocateRuntime = &allocateRuntime;
    return system;
}

}  // namespace kelvo
