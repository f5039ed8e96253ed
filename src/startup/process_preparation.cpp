#include "startup/process_preparation.hpp"

#include <cstddef>

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
    // SIGTERM waits until the host's loop watches it: one that arrives while start-up is still
    // going ends the run cleanly once the loop runs, instead of killing the process half made.
    // Threads started from here on inherit the mask; the loop lets the signal in on this thread.
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    preparation.maskReplaced = pthread_sigmask(SIG_BLOCK, &terminate, &preparation.previousMask) == 0;
}

void restoreProcess(ProcessPreparation& preparation) {
    if (preparation.maskReplaced) pthread_sigmask(SIG_SETMASK, &preparation.previousMask, nullptr);
    if (preparation.pipeReplaced) sigaction(SIGPIPE, &preparation.previousPipe, nullptr);
    if (preparation.ioReplaced) sigaction(SIGIO, &preparation.previousIo, nullptr);
    if (preparation.stackInstalled) sigaltstack(&preparation.previousStack, nullptr);
    preparation = {};
}

}  // namespace kelvo
