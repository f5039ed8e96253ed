#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "base/io.hpp"
#include "debug/trace_sinks.hpp"

namespace kelvo {

inline constexpr std::string_view kPanicFileName = "last-panic.txt";
// "panic: ", the message and a line feed fit in this many bytes; a longer message is cut.
inline constexpr std::size_t kPanicLineCapacity = 1024;

// Where a panic leaves its traces: "last-panic.txt" (one line, the last panic's) and a "panic"
// record in the trace log. Filled once at start-up, when there is a log folder.
struct PanicState {
    Io io;
    InlineBytes<kLogFolderCapacity> folder;  // empty: the working folder
    InlineBytes<kLogPathCapacity> logPath;
    InlineBytes<kLogPathCapacity> panicPath;
    std::atomic<bool> installed{false};

    // Fills the state for the log folder `folder` and installs it; NameTooLong when a path does
    // not fit (the state then stays uninstalled).
    Status install(const Io& io, std::string_view folder);
    void uninstall() { installed.store(false, std::memory_order_release); }

    // Writes "panic: <message>" and a line feed as the whole panic file, then appends the JSON
    // record {"timestamp_ns":0,"level":"fatal","kind":"event","name":"panic","message":...} to the
    // log, whatever the log's format. A message too long for the line is cut between characters
    // and ends in "...[truncated]", in both places. Does nothing when not installed.
    Status write(std::string_view message) const;
};

// The one process-wide panic state.
PanicState& panicState();

// The program's panic handler: leaves the panic's traces through panicState(), writes the
// message and a stack trace on standard error, then aborts. Any thread may call it.
[[noreturn]] void capturePanic(std::string_view message);

// Routes std::terminate (an uncaught exception, a broken noexcept) through capturePanic.
void installTerminatePanic();

}  // namespace kelvo
