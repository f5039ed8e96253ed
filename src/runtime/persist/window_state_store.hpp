#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "base/io.hpp"
#include "platform/types/platform_event.hpp"
#include "runtime/persist/window_state_text.hpp"

namespace kelvo {

// Where the window-state file lives. The entry point fills it once; a store that is not enabled
// is never read or written.
inline constexpr std::size_t kWindowStatePathBytes = 1200;

struct WindowStateStore {
    Io io;
    InlineBytes<kWindowStatePathBytes> folder;    // ends with "/"
    InlineBytes<kWindowStatePathBytes> filePath;  // folder + "windows.zon"
    bool enabled = false;
};

// Fills the store from the resolved state folder ("/" appended when missing). When the folder is
// empty or the folder or file path does not fit, the store is left empty and disabled and false is
// returned.
bool configureWindowStateStore(WindowStateStore& store, const Io& io, std::string_view folder);

// The fixed buffers of one save or start-up read: the file text, the unescaped strings, the new
// text and the records. Too large for the stack; take the per-thread one or keep one in a record.
struct WindowStateScratch {
    std::array<char, kWindowStateTextBytes> text;
    std::array<char, kWindowStateTextBytes> unescape;
    std::array<char, kWindowStateTextBytes> output;
    FixedVec<WindowStateRecord, kMaxWindowStateRecords> records;
};

// This thread's scratch, allocated on first use.
WindowStateScratch& windowStateScratch();

// Reads at most `buffer.size()` bytes of the file. A missing file reads as empty; any other
// failure to open or read is an error, so a caller never mistakes an unreadable file for an empty
// one.
Result<std::string_view> readWindowStateText(const Io& io, std::string_view path, std::span<char> buffer);

// Rewrites the file with `update` merged in: read the old records (at most 16), replace the
// first with the same label (or the same non-zero id) in place, otherwise append while fewer
// than 16 are held, then write the text to "windows.zon.tmp" in the same folder, sync it and
// rename it over the file. Any failure leaves the old file as it was. Old records that no longer
// fit the 64 KiB text are dropped; the new record always goes in (or WriteFailed). A disabled
// store or an empty label does nothing.
Status saveWindowState(const WindowStateStore& store, const WindowStateRecord& update, WindowStateScratch& scratch);

// The record a window_frame_changed event saves: the event's id, frame, scale and flags with the
// label and title the caller chose (the window table's when it holds the window, else the event's).
WindowStateRecord windowStateFromEvent(const WindowFrameChangedEvent& event, std::string_view label,
                                       std::string_view title);

// The frame a window asks to have restored at start-up.
struct RestoredWindowFrame {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// A restored frame's coordinates and size stay within this many points (a file edited by hand or
// written by a broken build cannot put the window out of reach or make it absurdly large).
inline constexpr float kMaxRestoredCoordinate = 100'000;

// The frame of the first record labelled `label`, or nothing when the file is missing or
// unreadable, no record matches, or the matching record's size is not above 0 or its position or
// size is beyond kMaxRestoredCoordinate (NaN included).
std::optional<RestoredWindowFrame> readRestoredWindowFrame(const Io& io, std::string_view path, std::string_view label,
                                                           WindowStateScratch& scratch);

}  // namespace kelvo
