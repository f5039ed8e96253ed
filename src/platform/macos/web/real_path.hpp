#pragma once

#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Resolves an existing path to the one the file system ends at: every symbolic link followed and
// every ".", ".." and repeated "/" folded, written into `out`. Relative paths start at the current
// folder. FileNotFound (or the system's error) when a component is missing, NameTooLong when the
// result does not fit.
using RealPathFn = Result<std::string_view> (*)(std::string_view path, std::span<char> out);

// The operating system's resolution (POSIX realpath).
Result<std::string_view> posixRealPath(std::string_view path, std::span<char> out);

}  // namespace kelvo
