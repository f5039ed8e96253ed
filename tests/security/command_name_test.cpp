#include "security/command_name.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kelvo {
namespace {

TEST(CommandName, TheRuleAcceptsAndRefusesExactly) {
    const std::string accepted[] = {
        "save", std::string(128, 'n'), "with space", "...", ".x", "caf\xc3\xa9", "a\x01z", "a\"b", "a\x7f",
    };
    const std::string refused[] = {
        "", std::string(129, 'n'), ".", "..", "a/b", "a\\b", "a\tb", "a\nb", "a\rb", std::string("a\0b", 3),
    };
    for (const std::string& name : accepted) EXPECT_TRUE(validateCommandName(name)) << name;
    for (const std::string& name : refused) {
        Status status = validateCommandName(name);
        EXPECT_EQ(status ? Error::Unexpected : status.error(), Error::InvalidCommand) << name;
    }
}

}  // namespace
}  // namespace kelvo
