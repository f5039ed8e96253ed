#pragma once

#include <string_view>

#include "base/error.hpp"

namespace kelvo {

inline constexpr std::size_t kMaxCommandNameBytes = 128;

// The rule for names in the runtime's command list: 1 to 128 bytes, not "." or "..", and no NUL,
// TAB, LF, CR, "/" or backslash. Spaces, other control bytes and non-ASCII bytes pass (a bridge
// request's own command rule is stricter). Fails with InvalidCommand.
Status validateCommandName(std::string_view name);

}  // namespace kelvo
