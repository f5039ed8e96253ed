#pragma once

#include "base/io.hpp"

namespace kelvo {

// The I/O interface over the operating system: files and folders through POSIX calls (interrupted
// calls are retried, descriptors are close-on-exec), CLOCK_REALTIME and CLOCK_MONOTONIC, nanosleep
// and getrandom. It keeps no state; every call may come from any thread.
Io posixIo();

// The program's one table from errno values to error names (EACCES and EPERM are AccessDenied,
// ENOENT FileNotFound, ENOSPC NoSpaceLeft, EEXIST and ENOTEMPTY PathAlreadyExists, ...); anything not
// in the table is Unexpected.
Error errorFromErrno(int errnoValue);

}  // namespace kelvo
