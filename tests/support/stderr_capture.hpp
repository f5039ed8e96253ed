#pragma once

#include <mutex>
#include <string>

namespace kelvo {

// Collects everything the process writes to standard error while it lives (through the
// program's standard-error functions), instead of printing it.
class ScopedStderrCapture {
public:
    ScopedStderrCapture();
    ~ScopedStderrCapture();
    ScopedStderrCapture(const ScopedStderrCapture&) = delete;
    ScopedStderrCapture& operator=(const ScopedStderrCapture&) = delete;

    [[nodiscard]] std::string text() const;
    void clear();

private:
    static void append(void* context, std::string_view text);

    mutable std::mutex mutex_;
    std::string text_;
};

}  // namespace kelvo
