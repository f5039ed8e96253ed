#include "debug/app_folders.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kelvo {
namespace {

// "<ErrorName>", for comparing outcomes as text.
std::string shownError(Error error) {
    std::string shown("<");
    shown.append(errorName(error));
    shown.push_back('>');
    return shown;
}

std::string resolve(const AppIdentity& identity, std::optional<std::string_view> home, AppFolderKind kind) {
    FolderEnv env;
    env.home = home;
    std::array<char, kAppFolderPathCapacity> buffer;
    auto path = resolveOne(identity, env, kind, buffer);
    return path ? std::string(*path) : shownError(path.error());
}

TEST(AppFolders, LogsAndStateFoldersUnderTheHomeFolder) {
    struct Case {
        std::optional<std::string_view> home;
        std::string_view logs;
        std::string_view state;
    };
    const Case cases[] = {
        {"/Users/me", "/Users/me/Library/Logs/app.id", "/Users/me/Library/Application Support/app.id/State"},
        {"/Users/me/", "/Users/me/Library/Logs/app.id", "/Users/me/Library/Application Support/app.id/State"},
        {"/", "/Library/Logs/app.id", "/Library/Application Support/app.id/State"},
        {"", "Library/Logs/app.id", "Library/Application Support/app.id/State"},
        {std::nullopt, "<MissingHome>", "<MissingHome>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolve({"app.id"}, c.home, AppFolderKind::logs), c.logs);
        EXPECT_EQ(resolve({"app.id"}, c.home, AppFolderKind::state), c.state);
        EXPECT_EQ(resolve({"app.id"}, c.home, static_cast<AppFolderKind>(0)), c.state) << "any other kind is state";
    }
}

TEST(AppFolders, BadNamesAreRefusedBeforeHomeIsLookedAt) {
    const std::string_view bad[] = {"", ".", "..", "a/b", "a\\b", std::string_view("a\0b", 3)};
    for (auto name : bad) {
        EXPECT_EQ(resolve({name}, std::nullopt, AppFolderKind::logs), "<InvalidAppName>") << name;
        EXPECT_EQ(resolve({name}, "/home", AppFolderKind::state), "<InvalidAppName>") << name;
        EXPECT_EQ(resolve({"ok", {std::nullopt, name}}, "/home", AppFolderKind::logs), "<InvalidAppName>") << name;
    }
    EXPECT_EQ(resolve({"ok", {"org", "qualifier"}}, "/h", AppFolderKind::logs), "/h/Library/Logs/ok");
    EXPECT_EQ(resolve({"..."}, "/h", AppFolderKind::logs), "/h/Library/Logs/...");
}

TEST(AppFolders, PathsAreLimitedTo1024Bytes) {
    std::string home = "/" + std::string(999, 'h');
    std::string logs = resolve({"0123456789"}, home, AppFolderKind::logs);
    EXPECT_EQ(logs.size(), 1024u);
    EXPECT_EQ(logs.substr(1000), "/Library/Logs/0123456789");
    EXPECT_EQ(resolve({"0123456789"}, home, AppFolderKind::state), "<NoSpaceLeft>");
    EXPECT_EQ(resolve({"01234567890"}, home, AppFolderKind::logs), "<NoSpaceLeft>");
}

TEST(AppFolders, TheEnvironmentRecordBorrowsTheTenVariables) {
    EnvMap map = EnvMap::fromList({{"HOME", "/home/me"}, {"TMPDIR", ""}, {"XDG_STATE_HOME", "/state"}, {"home", "x"}});
    FolderEnv env = envFromMap(map);
    EXPECT_EQ(env.tmpDir, "");  // present but empty is not absent
    EXPECT_FALSE(env.xdgConfigHome);
    std::array<char, kAppFolderPathCapacity> buffer;
    EXPECT_EQ(*resolveOne({"n"}, env, AppFolderKind::logs, buffer), "/home/me/Library/Logs/n");
}

}  // namespace
}  // namespace kelvo
