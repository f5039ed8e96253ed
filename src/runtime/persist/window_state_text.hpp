#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/bounded_writer.hpp"

namespace kelvo {

// The window-state file "windows.zon" keeps, per window, the last frame and flags the platform
// reported, as object-notation text:
//
//   .{
//     .windows = .{
//       .{ .id = 1, .label = "main", .title = "", .open = true, ... .fullscreen = false },
//     },
//   }
//
// This header holds the record model, the text writer and the reader. The reader never trusts
// the file: unreadable records are dropped and unreadable fields take their defaults.

inline constexpr std::string_view kWindowStateFileName = "windows.zon";
inline constexpr std::size_t kMaxWindowStateRecords = 16;
// The most file text a save or a start-up read looks at, and the most text a save writes.
inline constexpr std::size_t kWindowStateTextBytes = 65536;

// One window's saved state. Label and title borrow either the file text or an unescape buffer.
struct WindowStateRecord {
    std::uint64_t id = 0;
    std::string_view label;
    std::string_view title;
    bool open = true;
    bool focused = false;
    float x = 0;
    float y = 0;
    float width = 720;
    float height = 480;
    float scale = 1;
    bool maximized = false;
    bool fullscreen = false;
};

// Where unescaped strings go: a caller's storage and how much of it is used.
struct UnescapeBuffer {
    std::span<char> storage;
    std::size_t used = 0;
};

// Writes `bytes` as a quoted string: \r \" \\ \t \n by name, other bytes below 0x20 as \xNN
// (lower-case hex), every other byte unchanged. Overflow is recorded by the writer.
void writeZonString(BoundedWriter& out, std::string_view bytes);

// One record line, from its four spaces of indentation to its line feed.
void writeWindowStateRecord(BoundedWriter& out, const WindowStateRecord& record);

inline constexpr std::string_view kWindowStateHeader = ".{\n  .windows = .{\n";
inline constexpr std::string_view kWindowStateFooter = "  },\n}\n";

// Finds the record spans of a file text in order. A record is found through its ".label", runs
// from the nearest "{" before it to the first "}" outside a quoted string, and the next search
// starts after that "}".
struct WindowStateScanner {
    std::string_view text;
    std::size_t position = 0;
};
std::optional<std::string_view> nextWindowStateRecord(WindowStateScanner& scanner);

// Field readers over one record's text. A field is found only where a field can stand (after "{"
// or ",", outside quoted strings) as its name followed by optional spaces and "=", so a title
// like "report.xlsx" never stands in for ".x".
std::optional<std::string_view> parseStringField(std::string_view record, std::string_view name,
                                                 UnescapeBuffer& buffer);
std::optional<float> parseFloatField(std::string_view record, std::string_view name);
std::optional<bool> parseBoolField(std::string_view record, std::string_view name);
// The run of digits at the value's start; no digit or a value over 2^64 - 1 gives 0.
std::uint64_t parseIdField(std::string_view record);

// Reads every field but the label (which the caller has read) and applies the defaults.
WindowStateRecord parseRecord(std::string_view record, std::string_view label, UnescapeBuffer& buffer);

}  // namespace kelvo
