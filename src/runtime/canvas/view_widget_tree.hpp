#pragma once

// Putting a widget tree and a display list on a canvas view, and what the view clears to.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "raster/canvas_geometry.hpp"
#include "widgets/commands.hpp"
#include "widgets/widget_description.hpp"

namespace kelvo {

struct Runtime;
struct RuntimeView;

// Replaces the widget tree and tokens of the canvas view at `viewIndex` (the installer's checks
// first: a refused tree changes nothing). ViewNotFound for an index past the table,
// UnsupportedViewKind for a view that is not a canvas view. The view then draws its display list
// from the tree: its semantics are collected and the whole view is invalidated; an error of
// those steps is returned with the tree installed.
Status installCanvasWidgetTree(Runtime& runtime, std::size_t viewIndex, WidgetLayoutTree nodes,
                               const WidgetTokens& tokens);

// The same from tree text; `errorLine` receives the line of a text the format refuses.
Status installCanvasWidgetTreeText(Runtime& runtime, std::size_t viewIndex, std::string_view text,
                                   std::uint32_t* errorLine = nullptr);

// Replaces the view's display list by a copy of `commands` (every capacity checked first).
Status copyCanvasDisplayList(Runtime& runtime, RuntimeView& view, std::span<const CanvasCommand> commands);

// The colour a canvas view's frame starts from: its tokens' background once a tree is installed,
// else transparent.
Color canvasClearColor(const Runtime& runtime, const RuntimeView& view);

}  // namespace kelvo
