#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "base/fixed.hpp"
#include "base/io.hpp"
#include "debug/trace.hpp"

namespace kelvo {

inline constexpr std::string_view kTraceLogFileName = "kelvo.jsonl";
inline constexpr std::size_t kLogFolderCapacity = 1024;
inline constexpr std::size_t kLogPathCapacity = 1200;

enum class TraceFileFormat : std::uint8_t { text, json_lines };

// The log file's format from the value of KELVO_LOG_FORMAT: exactly "text" selects text lines;
// absent, empty or anything else selects JSON lines.
TraceFileFormat traceFileFormatFromEnv(std::optional<std::string_view> value);

// "<folder>/<name>", without a second "/" when the folder ends in one, or `name` alone when the
// folder is empty (the working folder). False when the result does not fit.
template <std::size_t N>
[[nodiscard]] bool joinLogPath(InlineBytes<N>& out, std::string_view folder, std::string_view name) {
    out.clear();
    if (!out.append(folder)) return false;
    if (!folder.empty() && folder.back() != '/' && !out.append("/")) return false;
    return out.append(name);
}

// Calls every sink of the list in order with the same record, each exactly once, also after one
// failed; reports the first failure. An empty list succeeds.
struct FanoutTraceSink {
    std::span<const TraceSink> sinks;

    static Status write(void* context, const TraceRecord& record);
    TraceSink sink() { return {this, write}; }
};

// Appends each record as one line to the log file. File failures lose the record for the file
// only: the write always succeeds.
struct FileTraceSink {
    Io io;
    InlineBytes<kLogFolderCapacity> folder;  // empty: the working folder
    InlineBytes<kLogPathCapacity> path;
    TraceFileFormat format = TraceFileFormat::json_lines;

    static Status write(void* context, const TraceRecord& record);
    TraceSink sink() { return {this, write}; }
};

// Sets up `sink` for "kelvo.jsonl" in `folder`; NameTooLong when the folder or the path does not fit.
Status initFileTraceSink(FileTraceSink& sink, const Io& io, std::string_view folder, TraceFileFormat format);

// The terminal sink: text lines on standard error, under the standard-error lock. Always succeeds.
struct StdoutTraceSink {
    static Status write(void* context, const TraceRecord& record);
    static TraceSink sink() { return {nullptr, write}; }
};

// Formats one line (text within 4,095 bytes plus a line feed, or a JSON line) and appends it to
// the log file at `path`, creating `folder` and the file when missing. The file is opened for
// appending, so every line lands whole after whatever other writers appended before it; it is
// never truncated and no handle stays open. An empty line leaves the file untouched.
Status appendTraceRecord(const Io& io, std::string_view folder, std::string_view path, bool json,
                         const TraceRecord& record);

}  // namespace kelvo
