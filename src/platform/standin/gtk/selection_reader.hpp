#pragma once

// Private to the GTK backend: reading the CLIPBOARD selection without waiting in any call
// (selection_reader.cpp), over the clipboard's X connection (selection_connection.hpp). Each read
// has a window of its own that the owner answers to, and ends through the main loop, when the
// owner's answer came or when it took too long. A read that ends while the owner is still sending
// keeps its window until the owner is done, also at the end of the process, for a moment.

#include <cstdint>

#include "platform/standin/standin.hpp"

namespace kelvo::standin {

struct GtkState;

// Starts reading the clipboard's item of `type` and returns the read's number (never 0) at once.
// Plain text comes as UTF-8 (every byte of UTF8_STRING as offered, Latin-1 and compound text
// converted); HTML and RTF as offered. `done` runs on the main loop when the read ends, exactly
// once unless the read is cancelled first, and never inside this call.
std::uint64_t gtkStartSelectionRead(GtkState& state, ClipboardType type, std::uint64_t limit, ClipboardReadDone done);
// Ends the read without running its `done`; nothing when it ended already (or for 0).
void gtkCancelSelectionRead(GtkState& state, std::uint64_t read);

}  // namespace kelvo::standin
