#pragma once

#include <cstdint>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/error.hpp"
#include "platform/types/platform_event.hpp"

namespace kelvo {

// Page events: named events with a JSON detail that the runtime raises in a window's front-end
// through the platform's `emitWindowEvent`. The host evaluates the detail as script, so only a
// detail that is exactly one strict JSON value is ever handed over.

inline constexpr std::string_view kPageEventActivate = "app:activate";
inline constexpr std::string_view kPageEventDeactivate = "app:deactivate";
inline constexpr std::string_view kPageEventResize = "resize";
inline constexpr std::string_view kPageEventShortcut = "shortcut";
inline constexpr std::string_view kPageEventDropFiles = "drop:files";

// The detail writers: compact JSON, members in a fixed order, numbers in the shortest plain
// decimal form that reads back as the same 32-bit value. A writer that overflows leaves the
// overflow recorded in `out`.

// {"width":W,"height":H,"scale":S,"safeAreaInsets":{"top":..,"right":..,"bottom":..,"left":..},
//  "keyboardInsets":{...}}
void writeResizeDetail(BoundedWriter& out, const SurfaceResizedEvent& event);

// {"id":..,"command":..,"key":..,"windowId":N,"modifiers":{"primary":b,"command":b,"control":b,
//  "option":b,"shift":b}}; the command is the shortcut id.
void writeShortcutDetail(BoundedWriter& out, const ShortcutEvent& event);

// {"windowId":N,"viewLabel":"..",["x":X,"y":Y,]"paths":[..]}; the position only when the event
// has one. A path's bytes that are not UTF-8 are written as escapes the page sends back unchanged
// (writeJsonStringOfBytes).
void writeDropFilesDetail(BoundedWriter& out, const FilesDroppedEvent& event);

// Whether `detail` is exactly one strict JSON value, optionally surrounded by the bytes 9 to 13
// and 32.
bool isValidEventDetail(std::string_view detail);

struct Runtime;

// A writer over the runtime's page-event detail buffer (1 MiB), emptied.
BoundedWriter pageEventDetailWriter(Runtime& runtime);

// Sends the detail `written` holds; a detail that overflowed its buffer is not sent and fails
// with NoSpaceLeft.
Status sendWrittenPageEvent(Runtime& runtime, std::uint64_t windowId, std::string_view name,
                            const BoundedWriter& written);

// Hands a page event to the window's front-end. InvalidJsonEventDetail for a detail that is not
// one strict JSON value, UnsupportedService without an `emitWindowEvent` slot, else the slot's
// answer. A failed send is the caller's to trace; it never ends a dispatch.
Status sendPageEvent(Runtime& runtime, std::uint64_t windowId, std::string_view name, std::string_view detail);

}  // namespace kelvo
