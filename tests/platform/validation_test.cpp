#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/types/validation.hpp"
#include "support/error_of.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

TEST(ShortcutKey, ValidityAndModifierRule) {
    auto rows = testing::readTable("platform/shortcut_keys.txt");
    const std::vector<std::vector<std::string>> special = {
        {"", "0", "0"},         {std::string(33, 'a'), "0", "0"}, {" ", "0", "1"}, {std::string(1, '\0'), "0", "1"},
        {"\xc3\xa9", "0", "0"},                             // a two-byte character
        {"escape ", "0", "0"},  {"\xc5\xbftab", "0", "0"},  // no folding beyond ASCII
    };
    rows.insert(rows.end(), special.begin(), special.end());
    for (const auto& row : rows) {
        EXPECT_EQ(isValidShortcutKey(row[0]), row[1] == "1") << '"' << row[0] << '"';
        EXPECT_EQ(shortcutRequiresModifier(row[0]), row[2] == "1") << '"' << row[0] << '"';
    }
}

// Commands borrow their names, so the names live as long as the test program.
std::vector<RuntimeCommand> commandsNamed(const std::vector<std::string>& names) {
    static std::deque<std::string> storage;
    std::vector<RuntimeCommand> commands;
    for (const std::string& name : names) commands.push_back({storage.emplace_back(name), "", "runtime"});
    return commands;
}

using testing::errorOf;

TEST(CommandList, EachRuleInOrder) {
    const std::string max(128, 'n');
    const std::string tooLong(129, 'n');
    const std::string tooLongWithSlash = tooLong + "/";
    struct Row {
        RuntimeCommand command;
        std::optional<Error> expected;
    };
    const std::vector<Row> rows = {
        {{"save"}, std::nullopt},
        {{max}, std::nullopt},
        {{"..."}, std::nullopt},
        {{"with space"}, std::nullopt},
        {{"bell\x07"}, std::nullopt},
        {{"caf\xc3\xa9"}, std::nullopt},
        {{"save", std::string_view(max)}, std::nullopt},
        {{""}, Error::InvalidCommand},
        {{tooLong}, Error::InvalidCommand},
        {{"."}, Error::InvalidName},
        {{".."}, Error::InvalidName},
        {{"a/b"}, Error::InvalidName},
        {{"a\\b"}, Error::InvalidName},
        {{std::string_view("a\0b", 3)}, Error::InvalidName},
        {{"a\tb"}, Error::InvalidCommand},
        {{"a\nb"}, Error::InvalidCommand},
        {{"a\rb"}, Error::InvalidCommand},
        {{"save", std::string_view(tooLong)}, Error::InvalidName},
        {{"save", std::string_view("t\0", 2)}, Error::InvalidName},
        // When several rules fail, the earlier rule names the fault.
        {{tooLongWithSlash}, Error::InvalidCommand},
        {{"a/\tb"}, Error::InvalidName},
        {{"a\tb", std::string_view("\0", 1)}, Error::InvalidCommand},
    };
    for (const Row& row : rows) {
        Status status = validateCommandList(std::span(&row.command, 1));
        if (row.expected) {
            ASSERT_FALSE(status) << row.command.name;
            EXPECT_EQ(status.error(), *row.expected) << row.command.name;
        } else {
            EXPECT_TRUE(status) << row.command.name;
        }
    }
}

TEST(CommandList, CountLimitDuplicatesAndListOrder) {
    std::vector<std::string> names;
    for (int i = 0; i < 257; ++i) names.push_back("command." + std::to_string(i));
    auto commands = commandsNamed(names);
    EXPECT_TRUE(validateCommandList(std::span(commands).first(256)));
    EXPECT_EQ(errorOf(validateCommandList(commands)), Error::InvalidCommand);
    EXPECT_TRUE(validateCommandList({}));

    // The duplicate is reported at the second entry, after the entries before it passed.
    auto duplicate = commandsNamed({"save", "open", "save", "a/b"});
    EXPECT_EQ(errorOf(validateCommandList(duplicate)), Error::DuplicateCommand);
    auto faultFirst = commandsNamed({"save", "a/b", "save"});
    EXPECT_EQ(errorOf(validateCommandList(faultFirst)), Error::InvalidName);
    auto caseDiffers = commandsNamed({"save", "Save"});
    EXPECT_TRUE(validateCommandList(caseDiffers));
}

}  // namespace
}  // namespace kelvo
