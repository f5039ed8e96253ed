#pragma once

#include <mutex>
#include <string_view>

namespace kelvo {

// The one lock that serialises everything the process writes to standard error.
std::mutex& stderrLock();

// Writes `text` whole to standard error while holding the lock.
void writeStderr(std::string_view text);

// Writes `text` to standard error; the caller already holds stderrLock().
void writeStderrLocked(std::string_view text);

// Whether standard-error text reaches a terminal (never while a capture is installed), so that
// messages may be coloured.
bool stderrIsTerminal();

// Tests redirect standard-error output into a sink of their own; null restores the real stream.
using StderrCapture = void (*)(void* context, std::string_view text);
void setStderrCapture(void* context, StderrCapture capture);

}  // namespace kelvo
