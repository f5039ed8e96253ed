#include "security/command_name.hpp"

namespace kelvo {

Status validateCommandName(std::string_view name) {
    if (name.empty() || name.size() > kMaxCommandNameBytes) return fail(Error::InvalidCommand);
    if (name == "." || name == "..") return fail(Error::InvalidCommand);
    for (char byte : name) {
        if (byte == '\0' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '/' || byte == '\\') {
            return fail(Error::InvalidCommand);
        }
    }
    return {};
}

}  // namespace kelvo
