#include "base/stderr.hpp"

#include <unistd.h>
#include <atomic>
#include <cerrno>

namespace kelvo {

namespace {
std::atomic<StderrCapture> gCapture{nullptr};
std::atomic<void*> gCaptureContext{nullptr};
}  // namespace

std::mutex& stderrLock() {
    static std::mutex lock;
    return lock;
}

void writeStderrLocked(std::string_view text) {
    if (auto capture = gCapture.load(std::memory_order_acquire)) {
        capture(gCaptureContext.load(std::memory_order_acquire), text);
        return;
    }
    while (!text.empty()) {
        ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

void writeStderr(std::string_view text) {
    std::lock_guard guard(stderrLock());
    writeStderrLocked(text);
}

bool stderrIsTerminal() { return gCapture.load(std::memory_order_acquire) == nullptr && ::isatty(STDERR_FILENO) == 1; }

void setStderrCapture(void* context, StderrCapture capture) {
    std::lock_guard guard(stderrLock());
    gCaptureContext.store(context, std::memory_order_release);
    gCapture.store(capture, std::memory_order_release);
}

}  // namespace kelvo
