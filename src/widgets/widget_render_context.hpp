#pragma once

// What every widget emitter works with: the target it appends commands to, the interaction
// snapshot it draws states from, the command-id rule, and the renderer's per-thread scratch.

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "widgets/commands.hpp"
#include "widgets/display_list.hpp"

namespace kelvo {

// The interaction state a view's widgets are drawn in: four optional widget ids, the view's short
// id list (accordions in it draw their content while closing) and the pointer while a widget is
// hovered.
struct WidgetRenderState {
    std::optional<std::uint64_t> focused;
    std::optional<std::uint64_t> focus_visible;
    std::optional<std::uint64_t> hovered;
    std::optional<std::uint64_t> pressed;
    std::span<const std::uint64_t> ids;
    std::optional<Point> pointer;
};

// The staging list under construction: its command array and the pools every appended command's
// slices are copied into, so emitters may pass commands that point at their own temporary data.
struct WidgetRenderTarget {
    CanvasCommandArray& commands;
    CanvasDisplayListScratch& pools;

    Status append(const CanvasCommand& command) { return pools.appendCopiedCommand(commands, command); }
};

// A widget's commands carry its id x 16 + a part 0..15; an anonymous widget's carry 0.
inline std::uint64_t widgetCommandId(std::uint64_t widgetId, unsigned part) {
    return widgetId == 0 ? 0 : widgetId * 16 + part;
}

// Commands of a repeated family (selection rectangles, text runs, chart elements) are keyed by the
// wyhash, with the family's seed, of little-endian words (the widget id first, then indexes); the
// keys 0 and 1 become 1.
std::uint64_t widgetHashedCommandId(std::uint64_t seed, std::initializer_list<std::uint64_t> words);

inline constexpr std::size_t kWidgetRenderPathElementCapacity = 2048;
inline constexpr std::size_t kChartPolylineCapacity = 256;

// The renderer's per-thread scratch, emptied at the start of every tree emission: the path
// elements emitters build (check marks, spinners, chart series), the chart polyline buffer and the
// rectangle a modal scrim covers.
struct WidgetRenderScratch {
    std::array<PathElement, kWidgetRenderPathElementCapacity> elements{};
    std::size_t element_count = 0;
    std::array<Point, kChartPolylineCapacity> polyline{};
    std::array<std::uint32_t, kChartPolylineCapacity> polyline_index{};  // the value each point shows
    std::optional<Rect> scrim_viewport;

    void reset() {
        element_count = 0;
        scrim_viewport.reset();
    }
};

WidgetRenderScratch& widgetRenderScratch();

// Takes `count` elements of the calling thread's scratch; ChartPathElementListFull when fewer are
// left.
Result<std::span<PathElement>> takeWidgetPathElements(std::size_t count);

}  // namespace kelvo
