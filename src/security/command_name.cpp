#include "security/command_name.hpp"

#include "base/names.hpp"

namespace kelvo {

Status validateCommandName(std::string_view name) {
    if (name.size() > kMaxCommandNameBytes || !isValidName(name)) return fail(Error::InvalidCommand);
    if (name.find_first_of("\t\n\r") != std::string_view::npos) return fail(Error::InvalidCommand);
    return {};
}

}  // namespace kelvo
