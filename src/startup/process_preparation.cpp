#include "startup/process_preparation.hpp"

#include <cstddef>

#include "base/terminate_record.hpp"
#include "debug/panic.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kSignalStackBytes = 262'144;

// The alternate signal stack: a handler that runs on it (a crash from a stack overflow) still has
// room. Static, so that it is not taken from the stack it stands in for.
alignas(16) char gSignalStack[kSignalStackBytes];

void ignoreSignal(int) {}

bool replaceAction(int signal, struct sigaction& previous) {
    struct sigaction action {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(signal, &action, &previous) == 0;
}

}  // namespace

void prepareProcess(ProcessPreparation& preparation) {
    stack_t stack{};
    stack.ss_sp = gSignalStack;
    stack.ss_size = kSignalStackBytes;
    preparation.stackInstalled = sigaltstack(&stack, &preparation.previousStack) == 0;
    installTerminatePanic();
    preparation.ioReplaced = replaceAction(SIGIO, preparation.previousIo);
    preparation.pipeReplaced = replaceAction(SIGPIPE, preparation.previousPipe);
    // A SIGTERM while start-up is still going, on any thread (the web engine's threads let it in
    // whatever this thread's mask), is noted instead of killing the process half made: the loop,
    // once it watches SIGTERM, takes the note and ends the run cleanly.
    preparation.terminateReplaced = recordTerminateSignals(preparation.previousTerminate);
}

void restoreProcess(ProcessPreparation& preparation) {
    // Once the loop watched SIGTERM its handler stays for what is left of the exit; a run that
    // ended before the loop watched it gives SIGTERM back its previous action.
    if (preparation.terminateReplaced && recordsTerminateSignals()) {
        sigaction(SIGTERM, &preparation.previousTerminate, nullptr);
        (void)takeRecordedTerminate();
    }
    if (preparation.pipeReplaced) sigaction(SIGPIPE, &preparation.previousPipe, nullptr);
    if (preparation.ioReplaced) sigaction(SIGIO, &preparation.previousIo, nullptr);
    if (preparation.stackInstalled) sigaltstack(&preparation.previousStack, nullptr);
    preparation = {};
}

}  // namespace kelvo
