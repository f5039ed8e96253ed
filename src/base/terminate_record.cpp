#include "base/terminate_record.hpp"

#include <atomic>

namespace kelvo {

namespace {

// Written from a signal handler: a lock-free flag is all it may touch.
std::atomic<bool> gTerminateNoted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void noteTerminate(int) { gTerminateNoted.store(true); }

}  // namespace

bool recordTerminateSignals(struct sigaction& previous) {
    struct sigaction action {};
    action.sa_handler = noteTerminate;
    sigemptyset(&action.sa_mask);
    // Calls the signal interrupts on other threads go on as if it had not come.
    action.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &action, &previous) == 0;
}

bool recordsTerminateSignals() {
    struct sigaction current {};
    if (sigaction(SIGTERM, nullptr, &current) != 0) return false;
    return (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == noteTerminate;
}

bool takeRecordedTerminate() { return gTerminateNoted.exchange(false); }

}  // namespace kelvo
