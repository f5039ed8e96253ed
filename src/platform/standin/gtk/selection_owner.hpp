#pragma once

// Private to the GTK backend: this process's plain text on the CLIPBOARD selection, offered by a
// window of the clipboard's X connection (selection_owner.cpp) and served from the main loop
// without waiting in any call. One text at a time: a new one replaces the one before. A text may
// be taken before it is there (pending): the programs that ask for it meanwhile wait in a list
// until it comes, and are refused when it never does.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvo::standin {

struct GtkState;

// Takes the clipboard for the text `serial` at the display server's time `time` (0: now), and
// offers `text`, or nothing yet when it is nullopt (pending: gtkFillText brings it); `page` names
// the web view whose request took it (0: none known), whose going ends a pending text. False, and
// the clipboard as it was, where the server refused the take: something else took the clipboard
// after `time`. The offer before goes either way when this one is taken.
bool gtkOfferText(GtkState& state, std::uint64_t serial, std::optional<std::string_view> text, std::uint32_t time,
                  std::uint64_t page);
// The display server's time now (asked of it); 0 where the clipboard's connection cannot be made.
std::uint32_t gtkServerTime(GtkState& state);
// The serial of the text the clipboard holds now (asked of the display server); 0 for none.
std::uint64_t gtkHeldText(GtkState& state);
// Brings the pending text `serial` its bytes, and answers the programs that wait for it; false,
// and nothing offered, where the clipboard no longer holds it. A text given up for its bound that
// no other offer followed is offered then, where nothing else took the clipboard since its take.
bool gtkFillText(GtkState& state, std::uint64_t serial, std::string_view bytes);
// Ends the pending text `serial` without text: the programs that wait for it are refused, and the
// clipboard is given up where it is still this one's. Nothing for a text that is there, or for
// another serial.
void gtkDropText(GtkState& state, std::uint64_t serial);
// The web view `page` is gone (or shows another document): a pending text it took ends as dropped.
void gtkDropTextOfPage(GtkState& state, std::uint64_t page);
// The window the texts are offered from, as the display server names it; 0 before the first.
std::uint64_t gtkTextOwnerWindow(const GtkState& state);

}  // namespace kelvo::standin
