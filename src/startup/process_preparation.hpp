#pragma once

// Private to src/startup: what start-up changes in the process before anything else and gives
// back at the end.

#include <signal.h>

namespace kelvo {

struct ProcessPreparation {
    stack_t previousStack{};
    bool stackInstalled = false;
    struct sigaction previousIo {};
    struct sigaction previousPipe {};
    bool ioReplaced = false;
    bool pipeReplaced = false;
    struct sigaction previousTerminate {};
    bool terminateReplaced = false;
};

// Installs the alternate signal stack (262,144 bytes), routes std::terminate to the panic
// handler, and catches SIGIO and SIGPIPE with a handler that does nothing, so that a closed pipe
// is a write error rather than the end of the process; notes a SIGTERM, on any thread, until the
// host's loop watches it and takes the note (base/terminate_record.hpp). What cannot be installed
// is left as it was.
void prepareProcess(ProcessPreparation& preparation);

// Puts back the previous SIGIO and SIGPIPE actions and signal stack, and SIGTERM's action when no
// loop took it over.
void restoreProcess(ProcessPreparation& preparation);

}  // namespace kelvo
