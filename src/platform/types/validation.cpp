#include "platform/types/validation.hpp"

#include <array>

#include "base/ascii.hpp"
#include "base/names.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kPunctuationKeys = "',-./;=[\\]`";

constexpr std::array<std::string_view, 9> kNamedKeys = {
    "escape", "enter", "tab", "space", "backspace", "arrowleft", "arrowright", "arrowup", "arrowdown",
};

constexpr std::array<std::string_view, 4> kNamedKeysNeedingModifier = {"tab", "space", "enter", "backspace"};

template <std::size_t N>
bool isOneOf(std::string_view key, const std::array<std::string_view, N>& names) {
    for (std::string_view name : names) {
        if (matchesLowerCaseWord(key, name)) return true;
    }
    return false;
}

Status validateCommand(const RuntimeCommand& command) {
    std::string_view name = command.name;
    if (name.empty() || name.size() > kMaxRuntimeCommandName) return fail(Error::InvalidCommand);
    if (!isValidName(name)) return fail(Error::InvalidName);
    if (name.find_first_of("\t\n\r") != std::string_view::npos) return fail(Error::InvalidCommand);
    if (command.title.size() > kMaxRuntimeCommandTitle || command.title.find('\0') != std::string_view::npos) {
        return fail(Error::InvalidName);
    }
    return {};
}

}  // namespace

bool isValidShortcutKey(std::string_view key) {
    if (key.empty() || key.size() > 32) return false;
    if (key.size() == 1) return isAsciiAlnum(key[0]) || kPunctuationKeys.find(key[0]) != std::string_view::npos;
    return isOneOf(key, kNamedKeys);
}

bool shortcutRequiresModifier(std::string_view key) {
    return key.size() == 1 || isOneOf(key, kNamedKeysNeedingModifier);
}

Status validateCommandList(std::span<const RuntimeCommand> commands) {
    if (commands.size() > kMaxRuntimeCommands) return fail(Error::InvalidCommand);
    for (std::size_t i = 0; i < commands.size(); ++i) {
        TRY(validateCommand(commands[i]));
        for (std::size_t earlier = 0; earlier < i; ++earlier) {
            if (commands[earlier].name == commands[i].name) return fail(Error::DuplicateCommand);
        }
    }
    return {};
}

}  // namespace kelvo
