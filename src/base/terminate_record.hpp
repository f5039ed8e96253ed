#pragma once

// A SIGTERM that comes before anything watches it: from the program's first line on, the process
// notes the signal instead of dying of it, on whichever thread the kernel hands it to. Whoever
// watches SIGTERM later (the main loop) takes the note and handles the signal then.

#include <signal.h>

namespace kelvo {

// Installs, for the whole process, a handler of SIGTERM that only notes it; `previous` gets the
// action it replaced. False (and nothing changed) when the handler cannot be installed.
bool recordTerminateSignals(struct sigaction& previous);

// Whether the note-taking handler is still SIGTERM's action (no watch took the signal over since).
bool recordsTerminateSignals();

// Whether a SIGTERM was noted since the last call; the note is cleared.
bool takeRecordedTerminate();

}  // namespace kelvo
