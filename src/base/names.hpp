#pragma once

#include <string_view>

namespace kelvo {

// A name that can stand as one component of a path on every platform the program runs on: not
// empty, not "." or "..", and free of NUL, "/" and "\". Application names, window and view
// labels, roles and command names all obey it (some with further rules of their own).
constexpr bool isValidName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("\0/\\", 3)) == std::string_view::npos;
}

}  // namespace kelvo
