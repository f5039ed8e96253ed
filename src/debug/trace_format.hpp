#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "debug/trace.hpp"

namespace kelvo {

// Line capacities: a text line bound for the log file (its line feed follows), a text line bound
// for the terminal (the line feed is written separately), and a JSON line with its line feed.
inline constexpr std::size_t kTraceFileTextCapacity = 4095;
inline constexpr std::size_t kTraceTerminalTextCapacity = 4096;
inline constexpr std::size_t kTraceJsonLineCapacity = 4096;

inline constexpr std::string_view kTraceTruncatedMarker = "...[truncated]";
// The JSON short form keeps at most this many bytes of the name.
inline constexpr std::size_t kTraceShortFormNameBytes = 128;

// One value in text form: a string in double quotes with its raw bytes, numbers and booleans bare.
void formatFieldValueText(const TraceValue& value, BoundedWriter& out);
// One value in JSON form: a string as a JSON string (valid UTF-8), numbers and booleans bare.
void formatFieldValueJson(const TraceValue& value, BoundedWriter& out);

// The record as one text line without a line feed, within `buffer`. A line that does not fit is
// cut to its first (capacity - 14) bytes followed by "...[truncated]", filling the buffer exactly.
// Nothing is escaped.
std::string_view formatTextBounded(const TraceRecord& record, std::span<char> buffer);

// The record as one JSON line ending in a line feed, within `buffer`. A line that does not fit is
// replaced by the short form (the head with at most 128 bytes of the name, then
// ,"truncated":true}); when even that does not fit, the result is empty. The line is valid UTF-8:
// invalid sequences become U+FFFD and cuts fall between characters.
std::string_view formatJsonLine(const TraceRecord& record, std::span<char> buffer);

}  // namespace kelvo
