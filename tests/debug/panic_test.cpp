#include "debug/panic.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/memory_io.hpp"
#include "base/posix_io.hpp"

namespace kelvo {
namespace {

std::string panicRecord(std::string_view jsonMessage) {
    return "{\"timestamp_ns\":0,\"level\":\"fatal\",\"kind\":\"event\",\"name\":\"panic\",\"message\":\"" +
           std::string(jsonMessage) + "\",\"fields\":{}}\n";
}

TEST(Panic, WritesThePanicFileAndAJsonRecord) {
    MemoryIo memory;
    memory.putFile("/logs/last-panic.txt", "panic: an older and much longer message\n");
    memory.putFile("/logs/kelvo.jsonl", "ts=5 level=info kind=event name=\"text.format\"\n");
    PanicState state;
    ASSERT_TRUE(state.install(memoryIo(memory), "/logs"));
    ASSERT_TRUE(state.write("boom"));
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt"), "panic: boom\n");
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt")->size(), 12u);
    EXPECT_EQ(memory.fileText("/logs/kelvo.jsonl"),
              "ts=5 level=info kind=event name=\"text.format\"\n" + panicRecord("boom"));

    ASSERT_TRUE(state.write("second \"quoted\"\nline"));
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt"), "panic: second \"quoted\"\nline\n");
    EXPECT_EQ(memory.fileText("/logs/kelvo.jsonl")->substr(memory.fileText("/logs/kelvo.jsonl")->rfind("{\"")),
              panicRecord("second \\\"quoted\\\"\\nline"));
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(Panic, ALongMessageIsCutToFitNotDropped) {
    MemoryIo memory;
    PanicState state;
    ASSERT_TRUE(state.install(memoryIo(memory), "/logs/"));
    EXPECT_EQ(state.panicPath.view(), "/logs/last-panic.txt");

    std::string fits(1016, 'f');
    ASSERT_TRUE(state.write(fits));
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt"), "panic: " + fits + "\n");
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt")->size(), 1024u);

    std::string over(1017, 'o');
    ASSERT_TRUE(state.write(over));
    std::string cut = std::string(1002, 'o') + "...[truncated]";
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt"), "panic: " + cut + "\n");
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt")->size(), 1024u);
    auto log = *memory.fileText("/logs/kelvo.jsonl");
    EXPECT_EQ(log.substr(log.rfind("{\"")), panicRecord(cut));

    // The cut falls between characters.
    std::string accented = std::string(1001, 'a') + "\xc3\xa9" + std::string(100, 'z');
    ASSERT_TRUE(state.write(accented));
    EXPECT_EQ(memory.fileText("/logs/last-panic.txt"), "panic: " + std::string(1001, 'a') + "...[truncated]\n");
}

TEST(Panic, NothingIsWrittenWithoutAnInstalledStateOrAWritableFolder) {
    MemoryIo memory;
    PanicState state;
    ASSERT_TRUE(state.write("early"));
    EXPECT_TRUE(memory.paths().empty());

    ASSERT_TRUE(state.install(memoryIo(memory), "/logs"));
    memory.failOn(IoOp::create_file, "/logs/last-panic.txt", Error::AccessDenied);
    EXPECT_EQ(state.write("denied").error(), Error::AccessDenied);
    EXPECT_FALSE(memory.exists("/logs/kelvo.jsonl")) << "no record without the panic file";

    EXPECT_EQ(state.install(memoryIo(memory), std::string(kLogFolderCapacity + 1, 'x')).error(), Error::NameTooLong);
    std::size_t callsBefore = memory.calls().size();
    ASSERT_TRUE(state.write("not installed"));
    EXPECT_EQ(memory.calls().size(), callsBefore);
}

TEST(Panic, AnEmptyFolderMeansTheWorkingFolder) {
    MemoryIo memory;
    memory.putFolder("/cwd");
    memory.setCurrentFolder("/cwd");
    PanicState state;
    ASSERT_TRUE(state.install(memoryIo(memory), ""));
    ASSERT_TRUE(state.write("here"));
    EXPECT_EQ(memory.fileText("/cwd/last-panic.txt"), "panic: here\n");
    EXPECT_EQ(memory.fileText("/cwd/kelvo.jsonl"), panicRecord("here"));
    EXPECT_EQ(memory.callCount(IoOp::make_path), 0u);
}

TEST(PanicDeathTest, CapturePanicLeavesItsTracesAndAborts) {
    std::string folder = ::testing::TempDir() + "kelvo-panic-death";
    std::filesystem::remove_all(folder);
    EXPECT_DEATH(
        {
            (void)panicState().install(posixIo(), folder);
            capturePanic("the end");
        },
        "panic: the end");
    std::string text;
    {
        FILE* file = std::fopen((folder + "/last-panic.txt").c_str(), "rb");
        ASSERT_NE(file, nullptr);
        char buffer[64];
        text.assign(buffer, std::fread(buffer, 1, sizeof buffer, file));
        std::fclose(file);
    }
    EXPECT_EQ(text, "panic: the end\n");
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kelvo
