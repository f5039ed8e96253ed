#pragma once

#include <optional>
#include <string_view>

namespace kelvo {

// The raw text of the top-level member `name` of the JSON object `json`: from the value's first
// byte to its last (a string keeps its quotes), without white space around it. Keys are compared
// byte for byte as written (escapes are not decoded) and the first matching member wins; members
// of nested objects are never found. None when the member is missing or the object is malformed
// up to and including that member (the rest of the text is not looked at).
std::optional<std::string_view> fieldValue(std::string_view json, std::string_view name);

}  // namespace kelvo
