#pragma once

// Input of one canvas view: pointer buttons, motion, wheel, keys and input-method text become
// canvas-input host events for the runtime, which hit-tests and routes them to its widgets.
// Motion and wheel input are coalesced to at most one event each per refresh interval (wheel
// deltas summed, so no movement is lost); delays are measured on the monotonic clock, the
// events carry the wall-clock time of the last merged system event. Every event sent asks the
// view for a frame, so the runtime gets to show the result.
//
// Keys arrive as X keysyms (the unshifted key) with the character it types; modifiers, points
// and ranges are already in the host's terms: modifier bits 1|2 command, 4 control, 8 option,
// 16 shift; points in the view, y down; text ranges in UTF-16 units.
//
// Main thread only. Delayed emission goes through `CanvasInputPort::post`, whose owner drops the
// step when the view is gone.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/utf16_offsets.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

enum class CanvasInputKind : std::int32_t {
    pointerDown = 0,
    pointerUp = 1,
    pointerMove = 2,
    pointerDrag = 3,
    wheel = 4,
    keyDown = 5,
    keyUp = 6,
    textInsert = 7,
    compositionUpdate = 8,
    compositionCommit = 9,
    compositionCancel = 10,
    pointerLeave = 11,
};

inline constexpr std::uint32_t kInputModifierPrimary = 1;
inline constexpr std::uint32_t kInputModifierCommand = 2;
inline constexpr std::uint32_t kInputModifierControl = 4;
inline constexpr std::uint32_t kInputModifierOption = 8;
inline constexpr std::uint32_t kInputModifierShift = 16;
// The Command key sets both of its bits.
inline constexpr std::uint32_t kInputCommandKey = kInputModifierPrimary | kInputModifierCommand;

// A range of UTF-16 units; `location` kUtf16RangeNone names no place.
inline constexpr std::uint64_t kUtf16RangeNone = UINT64_MAX;
struct Utf16Range {
    std::uint64_t location = 0;
    std::uint64_t length = 0;
    friend bool operator==(const Utf16Range&, const Utf16Range&) = default;
};

// A rectangle in the view, points, y down.
using CanvasRect = standin::RectD;

// The focused text widget as its accessibility element shows it: its frame in the view and its
// number of characters.
struct CanvasTextElement {
    CanvasRect frame;
    std::uint64_t characters = 0;
};

// One wheel movement as the system reports it: precise deltas in points, positive x moving the
// content right and positive y moving it down (the finger's direction on a touchpad).
enum class WheelPhase : std::uint8_t { none, began, changed, ended, momentum };
struct CanvasWheelInput {
    double x = 0;
    double y = 0;
    double deltaX = 0;
    double deltaY = 0;
    std::uint32_t modifiers = 0;
    WheelPhase phase = WheelPhase::none;
};

struct CanvasKeyInput {
    std::uint32_t keysym = 0;     // of the key without modifiers (level 0)
    std::uint32_t character = 0;  // the code point that key types without modifiers; 0: none
    std::uint32_t modifiers = 0;
    // The input method took the key; whatever text it made follows as its own calls.
    bool inputMethodTook = false;
};

enum class CanvasInputStep : std::uint8_t { pointerMotion = 0, wheel = 1 };

// The edit menu's items that act on a canvas view.
enum class CanvasEditCommand : std::uint8_t { copy, cut, paste, selectAll };

struct CanvasInputPort {
    void* context = nullptr;
    // Runs `runCanvasInputStep(input, step)` on the main queue after `delayNs`.
    void (*post)(void* context, std::uint64_t delayNs, CanvasInputStep step) = nullptr;
    // Where an input method shows its candidates: the caret's rectangle in the view (optional).
    void (*showCaret)(void* context, const CanvasRect& caret) = nullptr;

    // Hooks of the view's other parts, none by default. The focused text widget, when one is
    // focused (the view's accessibility elements know it).
    bool (*focusedTextElement)(void* hookContext, CanvasTextElement* element) = nullptr;
    void* textElementContext = nullptr;
    // A scroll driver under the pointer may take a wheel movement before the runtime sees it;
    // true: taken, nothing is sent.
    bool (*routeWheel)(void* hookContext, const CanvasWheelInput& wheel) = nullptr;
    void* routeWheelContext = nullptr;
};

struct CanvasInput {
    SurfaceView* surface = nullptr;  // the view whose identity the events carry
    CanvasInputPort port;

    bool motionPending = false;
    CanvasInputKind motionKind = CanvasInputKind::pointerMove;
    double motionX = 0;
    double motionY = 0;
    std::int32_t motionButton = 0;
    std::uint32_t motionModifiers = 0;
    std::uint64_t motionWallNs = 0;
    std::optional<std::uint64_t> motionLastEmitNs;  // monotonic

    bool wheelPending = false;
    double wheelX = 0;
    double wheelY = 0;
    double wheelDeltaX = 0;  // sums, in the event's sign
    double wheelDeltaY = 0;
    std::uint32_t wheelModifiers = 0;
    std::uint64_t wheelWallNs = 0;
    std::optional<std::uint64_t> wheelLastEmitNs;  // monotonic

    bool controlClickActive = false;
    bool interpretedKeyEmittedInput = false;

    std::string markedText;  // UTF-8
    Utf16Range markedRange{kUtf16RangeNone, 0};
    Utf16Range selectedRange{0, 0};
};

void initCanvasInput(CanvasInput& input, SurfaceView& surface, const CanvasInputPort& port);

// Pointer buttons: 0 primary, 1 secondary, 2 and up the others. A primary press with control
// held counts as secondary, down and matching up.
void canvasPointerButton(CanvasInput& input, bool down, double x, double y, std::int32_t button,
                         std::uint32_t modifiers);
void canvasPointerMotion(CanvasInput& input, bool drag, double x, double y, std::int32_t button,
                         std::uint32_t modifiers);
void canvasPointerLeave(CanvasInput& input, double x, double y, std::uint32_t modifiers);
void canvasWheel(CanvasInput& input, const CanvasWheelInput& wheel);

void canvasKeyDown(CanvasInput& input, const CanvasKeyInput& key);
void canvasKeyUp(CanvasInput& input, const CanvasKeyInput& key);

// Input-method text.
void canvasSetMarkedText(CanvasInput& input, std::string_view text, Utf16Range selected);
void canvasUnmarkText(CanvasInput& input);
void canvasInsertText(CanvasInput& input, std::string_view text);
[[nodiscard]] bool canvasHasMarkedText(const CanvasInput& input);

// Edit menu items and whether each is enabled.
void canvasEditCommand(CanvasInput& input, CanvasEditCommand command);
[[nodiscard]] bool canvasEditCommandEnabled(const CanvasInput& input, CanvasEditCommand command);

// The rectangle of a character range for the input method's candidate window, and the range it
// stands for; characters are taken as evenly spread over the focused text widget.
CanvasRect canvasCaretRect(const CanvasInput& input, Utf16Range range, Utf16Range* actual);

// A delayed step came due.
void runCanvasInputStep(CanvasInput& input, CanvasInputStep step);

// The key name the runtime matches: "enter", "arrowleft", "pageup", "a", "1" for Shift+1 ...;
// "" for a key that types nothing and has no name.
std::string canvasKeyName(std::uint32_t keysym, std::uint32_t character);

// The editing command a key stands for while a text widget has focus, as the key and modifiers
// it is sent as; none for other keys.
struct CanvasEditingKey {
    std::string_view key;
    std::uint32_t modifiers = 0;
};
std::optional<CanvasEditingKey> canvasEditingKey(std::uint32_t keysym, std::uint32_t modifiers);

// Delay of a coalesced event: 0 before the first emission, else until one interval after the
// last, never below 0.
std::uint64_t coalescingDelayNs(std::optional<std::uint64_t> lastEmitNs, std::uint64_t nowNs, std::uint64_t intervalNs);

}  // namespace kelvo
