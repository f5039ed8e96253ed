#include "debug/trace_sinks.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/memory_io.hpp"
#include "base/posix_io.hpp"
#include "debug/named_record.hpp"
#include "debug/trace_format.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

using testing::named;

// A sink that counts its calls and answers with a preset result.
struct CountingSink {
    int calls = 0;
    Status result;

    static Status write(void* context, const TraceRecord&) {
        auto& self = *static_cast<CountingSink*>(context);
        ++self.calls;
        return self.result;
    }
    TraceSink sink() { return {this, write}; }
};

// A sink that reports every file failure: the log append itself, over a fault-injected I/O.
struct StrictFileSink {
    Io io;
    std::string path;

    static Status write(void* context, const TraceRecord& record) {
        auto& self = *static_cast<StrictFileSink*>(context);
        return appendTraceRecord(self.io, "/logs", self.path, true, record);
    }
    TraceSink sink() { return {this, write}; }
};

TEST(TraceSinks, FanoutCallsEverySinkOnceAndReportsTheFirstFailure) {
    CountingSink first;
    CountingSink failing{0, fail(Error::AccessDenied)};
    CountingSink alsoFailing{0, fail(Error::NoSpaceLeft)};
    CountingSink last;
    const TraceSink sinks[] = {first.sink(), failing.sink(), alsoFailing.sink(), last.sink()};
    FanoutTraceSink fanout{sinks};
    auto result = FanoutTraceSink::write(&fanout, named("x"));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Error::AccessDenied);
    EXPECT_EQ(first.calls + failing.calls + alsoFailing.calls + last.calls, 4);
    EXPECT_EQ(last.calls, 1);

    FanoutTraceSink empty{};
    EXPECT_TRUE(FanoutTraceSink::write(&empty, named("x")));
}

TEST(TraceSinks, AFailingSinkCountsOneDroppedRecordPerRecord) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    // Records 3, 4 and 5 fail to open either strict log; the ordinary file sink swallows its own
    // failure on record 4.
    memory.failOn(IoOp::create_file, "/logs/a.jsonl", Error::AccessDenied, 2, 3);
    memory.failOn(IoOp::create_file, "/logs/b.jsonl", Error::NoSpaceLeft, 2, 3);
    memory.failOn(IoOp::write, "/logs/kelvo.jsonl", Error::NoSpaceLeft, 3, 1);
    StrictFileSink a{io, "/logs/a.jsonl"};
    StrictFileSink b{io, "/logs/b.jsonl"};
    FileTraceSink file;
    ASSERT_TRUE(initFileTraceSink(file, io, "/logs", TraceFileFormat::json_lines));
    const TraceSink sinks[] = {a.sink(), b.sink(), file.sink()};
    FanoutTraceSink fanout{sinks};

    TraceLog log{fanout.sink(), true, 0};
    for (int i = 0; i < 8; ++i) traceEvent(log, io, "tick", std::nullopt);
    EXPECT_EQ(log.droppedRecords, 3u);
    auto lines = [](const std::optional<std::string>& text) { return std::count(text->begin(), text->end(), '\n'); };
    EXPECT_EQ(lines(memory.fileText("/logs/a.jsonl")), 5);
    EXPECT_EQ(lines(memory.fileText("/logs/kelvo.jsonl")), 7);

    TraceLog absent{fanout.sink(), false, 0};
    traceEvent(absent, io, "tick", std::nullopt);
    EXPECT_EQ(absent.droppedRecords, 0u);
    EXPECT_EQ(lines(memory.fileText("/logs/kelvo.jsonl")), 7);
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(TraceSinks, FileFailuresLoseTheRecordForTheFileOnly) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.putFile("/blocked", "a file where the log folder should be");
    FileTraceSink file;
    ASSERT_TRUE(initFileTraceSink(file, io, "/blocked/logs", TraceFileFormat::json_lines));
    const TraceSink sinks[] = {StdoutTraceSink::sink(), file.sink()};
    FanoutTraceSink fanout{sinks};
    TraceLog log{fanout.sink(), true, 0};
    ScopedStderrCapture captured;
    memory.setWallClockNs(77);
    traceEvent(log, io, "runtime.init", "runtime initialized");
    EXPECT_EQ(log.droppedRecords, 0u);
    EXPECT_EQ(captured.text(), "ts=77 level=info kind=event name=\"runtime.init\" message=\"runtime initialized\"\n");
    EXPECT_EQ(memory.paths(), (std::vector<std::string>{"/blocked"}));
}

TEST(TraceSinks, AppendAddsWholeLinesInOrderAndKeepsWhatIsThere) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.putFile("/var/log/app/kelvo.jsonl", "earlier line\n");
    memory.shortWrites("/var/log/app/kelvo.jsonl", 5);
    TraceRecord first = named("first");
    TraceRecord second = named("second");
    ASSERT_TRUE(appendTraceRecord(io, "/var/log/app", "/var/log/app/kelvo.jsonl", true, first));
    ASSERT_TRUE(appendTraceRecord(io, "/var/log/app", "/var/log/app/kelvo.jsonl", false, second));
    EXPECT_EQ(memory.fileText("/var/log/app/kelvo.jsonl"),
              "earlier line\n"
              "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"first\",\"fields\":{}}\n"
              "ts=0 level=info kind=event name=\"second\"\n");

    // A text line over its bound is 4,081 bytes of the line, the marker and a line feed.
    memory.clearFaults();
    std::string longName(5000, 'n');
    ASSERT_TRUE(appendTraceRecord(io, "/new/folder", "/new/folder/kelvo.jsonl", false, named(longName)));
    auto written = memory.fileText("/new/folder/kelvo.jsonl");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->size(), 4096u);
    EXPECT_EQ(written->substr(4081), "...[truncated]\n");

    // An empty folder is the working folder.
    memory.putFolder("/work");
    memory.setCurrentFolder("/work");
    FileTraceSink file;
    ASSERT_TRUE(initFileTraceSink(file, io, "", TraceFileFormat::text));
    EXPECT_EQ(file.path.view(), "kelvo.jsonl");
    ASSERT_TRUE(FileTraceSink::write(&file, named("here")));
    EXPECT_EQ(memory.fileText("/work/kelvo.jsonl"), "ts=0 level=info kind=event name=\"here\"\n");
    EXPECT_EQ(memory.callCount(IoOp::make_path), 3u) << "no folder is made for the working folder";
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(TraceSinks, LogFormatAndPathsComeFromTheEnvironmentValues) {
    EXPECT_EQ(traceFileFormatFromEnv("text"), TraceFileFormat::text);
    EXPECT_EQ(traceFileFormatFromEnv("TEXT"), TraceFileFormat::json_lines);
    EXPECT_EQ(traceFileFormatFromEnv(std::nullopt), TraceFileFormat::json_lines);

    InlineBytes<kLogPathCapacity> path;
    ASSERT_TRUE(joinLogPath(path, "/logs/", kTraceLogFileName));
    EXPECT_EQ(path.view(), "/logs/kelvo.jsonl");

    FileTraceSink file;
    MemoryIo memory;
    EXPECT_TRUE(initFileTraceSink(file, memoryIo(memory), std::string(kLogFolderCapacity, 'd'), TraceFileFormat::text));
    EXPECT_EQ(file.path.size(), kLogFolderCapacity + 1 + kTraceLogFileName.size());
    EXPECT_EQ(initFileTraceSink(file, memoryIo(memory), std::string(kLogFolderCapacity + 1, 'd'), TraceFileFormat::text)
                  .error(),
              Error::NameTooLong);
}

// Runs under ThreadSanitizer too.
TEST(TraceFileThreads, TwoThreadsAppendingLoseAndTearNoLine) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvo-trace-XXXXXX").string();
    std::string folder = ::mkdtemp(pattern.data());
    FileTraceSink file;
    ASSERT_TRUE(initFileTraceSink(file, posixIo(), folder, TraceFileFormat::json_lines));
    constexpr std::uint64_t kRecords = 10'000;
    const std::string padding(150, 'p');

    auto append = [&](std::string_view name) {
        for (std::uint64_t i = 0; i < kRecords; ++i) {
            const TraceField fields[] = {traceU64("seq", i), traceText("pad", padding)};
            TraceRecord record = named(name);
            record.fields = fields;
            ASSERT_TRUE(FileTraceSink::write(&file, record));
        }
    };
    std::thread first(append, "thread.a");
    std::thread second(append, "thread.b");
    first.join();
    second.join();

    std::ifstream input(std::string(file.path.view()), std::ios::binary);
    std::string line;
    std::uint64_t next[2] = {0, 0};
    std::size_t lines = 0;
    while (std::getline(input, line)) {
        ++lines;
        int which = line.find("\"thread.a\"") != std::string::npos ? 0 : 1;
        std::string expected = "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"thread." +
                               std::string(which == 0 ? "a" : "b") +
                               "\",\"fields\":{\"seq\":" + std::to_string(next[which]) + ",\"pad\":\"" + padding +
                               "\"}}";
        ASSERT_EQ(line, expected) << "line " << lines;
        ++next[which];
    }
    EXPECT_EQ(lines, 2 * kRecords);
    EXPECT_EQ(next[0], kRecords);
    EXPECT_EQ(next[1], kRecords);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kelvo
