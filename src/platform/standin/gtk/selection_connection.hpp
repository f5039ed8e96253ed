#pragma once

// Private to the GTK backend: the X connection of the CLIPBOARD selection's own (made by the
// first read or the first plain text offered, on GDK's display), which the reads of the clipboard
// (selection_reader.hpp) and this process's plain-text offers (selection_owner.hpp) share, watched
// by one main-loop source.

#include <cstdint>
#include <memory>

namespace kelvo::standin {

struct GtkState;
struct GtkSelectionConnection;

// Ends the reads and the offer (without the end's wait) and closes the connection.
void closeSelectionConnection(GtkSelectionConnection* connection);
struct GtkSelectionConnectionClose {
    void operator()(GtkSelectionConnection* connection) const { closeSelectionConnection(connection); }
};
using GtkSelectionConnectionPtr = std::unique_ptr<GtkSelectionConnection, GtkSelectionConnectionClose>;

// For the end of the process: the offer goes (the clipboard is given up where it is still this
// process's, and every program that asked for its text and was not answered yet is refused), and
// every read ends as cancelled; then the main loop runs until what is sent to other programs and
// what owners send to the windows of reads that ended is done, and every request the server sent
// before the give-up was refused, for at most `boundNs`. An answer still going then is ended where
// it stands, and the windows of reads go: the server tells of their going within a quarter of a
// second more.
void gtkFinishSelectionTransfers(GtkState& state, std::uint64_t boundNs);

}  // namespace kelvo::standin
