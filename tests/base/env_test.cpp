#include "base/env.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

extern char** environ;

#include "base/stderr.hpp"

namespace kelvo {
namespace {

TEST(EnvMap, PresentButEmptyIsDistinctFromAbsentAndTheCopyIsTakenOnce) {
    ::setenv("KELVO_ENV_TEST_VALUE", "a=b", 1);
    ::setenv("KELVO_ENV_TEST_EMPTY", "", 1);
    EnvMap env = EnvMap::fromBlock(environ).value();
    ::setenv("KELVO_ENV_TEST_VALUE", "changed", 1);
    EXPECT_EQ(env.get("KELVO_ENV_TEST_VALUE"), "a=b");
    EXPECT_EQ(env.get("KELVO_ENV_TEST_EMPTY"), "");
    EXPECT_FALSE(env.has("KELVO_ENV_TEST_ABSENT"));
    ::unsetenv("KELVO_ENV_TEST_VALUE");
    ::unsetenv("KELVO_ENV_TEST_EMPTY");

    EnvMap listed = EnvMap::fromList({{"HOME", "/home/me"}, {"HOME", "/again"}});
    EXPECT_EQ(listed.get("HOME"), "/again");
    EXPECT_FALSE(listed.has("home"));
}

TEST(Stderr, CaptureReceivesWholeWritesUntilRemoved) {
    std::string captured;
    setStderrCapture(&captured,
                     [](void* context, std::string_view text) { static_cast<std::string*>(context)->append(text); });
    writeStderr("one line\n");
    {
        std::lock_guard guard(stderrLock());
        writeStderrLocked("two ");
        writeStderrLocked("parts\n");
    }
    setStderrCapture(nullptr, nullptr);
    EXPECT_EQ(captured, "one line\ntwo parts\n");
}

}  // namespace
}  // namespace kelvo
