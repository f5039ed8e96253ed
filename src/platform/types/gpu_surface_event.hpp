#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/types/geometry.hpp"
#include "platform/types/view_records.hpp"

namespace kelvo {

// The two records a canvas view sends every frame and on every input. The canvas widget
// runtime reads them; the session journal copies them field by field, in the order below.

// One presented (or due) frame of a canvas view.
struct GpuSurfaceFrame {
    std::uint64_t windowId = 0;
    std::string_view label{};
    float width = 0;
    float height = 0;
    float scale = 1.0f;
    std::uint64_t frameIndex = 0;
    std::uint64_t timestampNs = 0;      // wall clock
    std::uint64_t frameIntervalNs = 0;  // the display's refresh interval; 0 when the surface gave none
    // A fourth timing word and a flag that no backend fills yet; kept so that a journal can
    // carry them once one does.
    std::uint64_t reservedTimingNs = 0;
    bool reservedFlag = false;
    bool nonblank = false;  // the presented frame was not blank
    std::uint32_t sampleColor = 0;
    std::uint64_t packetDecodeNs = 0;  // how long the last canvas packet took to decode
    std::uint64_t packetDrawNs = 0;    // and to draw
    bool occluded = false;
    std::uint64_t frameBudgetNs = 16'666'667;
    std::uint64_t firstFrameBudgetNs = 150'000'000;
    GpuSurfaceOptions surface{};  // the GPU options the surface presents with
    GpuSurfaceStatus status = GpuSurfaceStatus::unavailable;
    std::uint8_t presentPath = 0;  // how the surface presented the frame; 0 when it does not say
    friend bool operator==(const GpuSurfaceFrame&, const GpuSurfaceFrame&) = default;
};

// Kinds of canvas input; 0..4 are pointer phases.
enum class GpuSurfaceInputKind : std::uint8_t {
    pointer_down = 0,
    pointer_up = 1,
    pointer_leave = 2,
    pointer_move = 3,
    pointer_drag = 4,
    wheel = 5,
    key_down = 6,
    key_up = 7,
    text_insert = 8,
    composition_update = 9,
    composition_commit = 10,
    composition_cancel = 11,
};
inline constexpr std::uint8_t kGpuSurfaceInputKindCount = 12;

// One pointer, wheel, key or text event of a canvas view.
struct GpuSurfaceInput {
    std::uint64_t windowId = 0;
    std::string_view label{};
    GpuSurfaceInputKind kind = GpuSurfaceInputKind::pointer_move;
    std::uint64_t timestampNs = 0;   // 0 when the platform gave none
    std::uint64_t reservedWord = 0;  // a second time word no backend fills yet
    float x = 0;                     // pointer position in view coordinates
    float y = 0;
    std::uint32_t button = 0;             // 0 primary, 1 secondary, 2 and above other buttons
    std::uint32_t reservedClickData = 0;  // the four bytes after the button; no backend fills them yet
    float dx = 0;                         // wheel deltas, already negated so that positive values scroll forward
    float dy = 0;
    std::string_view key{};                           // key name of a key event ("enter", "arrowleft", "a", ...)
    std::string_view text{};                          // text typed, composed or committed
    std::optional<std::uint64_t> replacementRange{};  // cursor inside the text being composed
    KeyModifiers modifiers{};
    friend bool operator==(const GpuSurfaceInput&, const GpuSurfaceInput&) = default;
};

}  // namespace kelvo
