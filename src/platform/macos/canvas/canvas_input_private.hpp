#pragma once

// Private to the canvas input files: the one writer of canvas-input events.

#include <string_view>

#include "platform/macos/canvas/canvas_input.hpp"

namespace kelvo {

struct CanvasInputRecord {
    CanvasInputKind kind = CanvasInputKind::pointerDown;
    double x = 0;
    double y = 0;
    std::uint64_t wallNs = 0;  // 0: now
    std::uint32_t modifiers = 0;
    std::string_view keyText{};
    std::string_view inputText{};
    std::int32_t button = 0;
    double deltaX = 0;
    double deltaY = 0;
    std::optional<std::uint64_t> compositionCursor;
};

// Sends the event (nothing from a view without a window id binding or label) and asks the view
// for a frame.
void emitCanvasInput(CanvasInput& input, const CanvasInputRecord& record);

// A key press made by the text system: sent at 0, 0, now.
void emitSyntheticKeyDown(CanvasInput& input, std::string_view key, std::uint32_t modifiers);

bool focusedTextElement(const CanvasInput& input, CanvasTextElement* element);

}  // namespace kelvo
