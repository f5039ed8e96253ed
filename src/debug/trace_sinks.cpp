#include "debug/trace_sinks.hpp"

#include <array>

#include "base/stderr.hpp"
#include "debug/trace_format.hpp"

namespace kelvo {

TraceFileFormat traceFileFormatFromEnv(std::optional<std::string_view> value) {
    return value && *value == "text" ? TraceFileFormat::text : TraceFileFormat::json_lines;
}

Status FanoutTraceSink::write(void* context, const TraceRecord& record) {
    const auto& fanout = *static_cast<const FanoutTraceSink*>(context);
    Status first;
    for (const auto& sink : fanout.sinks) {
        auto result = sink.write(sink.context, record);
        if (!result && first) first = result;
    }
    return first;
}

Status FileTraceSink::write(void* context, const TraceRecord& record) {
    const auto& sink = *static_cast<const FileTraceSink*>(context);
    (void)appendTraceRecord(sink.io, sink.folder.view(), sink.path.view(), sink.format == TraceFileFormat::json_lines,
                            record);
    return {};
}

Status initFileTraceSink(FileTraceSink& sink, const Io& io, std::string_view folder, TraceFileFormat format) {
    if (!sink.folder.assign(folder)) return fail(Error::NameTooLong);
    if (!joinLogPath(sink.path, folder, kTraceLogFileName)) return fail(Error::NameTooLong);
    sink.io = io;
    sink.format = format;
    return {};
}

Status StdoutTraceSink::write(void*, const TraceRecord& record) {
    std::array<char, kTraceTerminalTextCapacity + 1> buffer;
    std::string_view line = formatTextBounded(record, std::span<char>(buffer.data(), kTraceTerminalTextCapacity));
    buffer[line.size()] = '\n';
    writeStderr({buffer.data(), line.size() + 1});
    return {};
}

Status appendTraceRecord(const Io& io, std::string_view folder, std::string_view path, bool json,
                         const TraceRecord& record) {
    std::array<char, kTraceJsonLineCapacity> buffer;
    std::string_view line;
    if (json) {
        line = formatJsonLine(record, buffer);
    } else {
        line = formatTextBounded(record, std::span<char>(buffer.data(), kTraceFileTextCapacity));
        buffer[line.size()] = '\n';
        line = {buffer.data(), line.size() + 1};
    }
    if (line.empty()) return {};
    if (!folder.empty()) (void)ioMakePath(io, folder, 0777);
    FileHandle file = TRY(ioCreateFile(io, path, {.mode = 0666, .truncate = false, .append = true}));
    // One write of the whole line: with the file in append mode, concurrent appenders cannot
    // overwrite or split each other's lines.
    auto written = ioWriteAll(io, file, asBytes(line));
    auto closed = ioClose(io, file);
    TRY(written);
    return closed;
}

}  // namespace kelvo
