#pragma once

// The style functions every emitter picks state colours, border widths and component blocks with.
// Each reads its arguments only and cannot fail.

#include "widgets/commands.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// Puts a thin border (1 to 2 device pixels wide once scaled) on whole device pixels, inside the
// frame: its edges move in by half the snapped width, its radii shrink by as much. Unchanged when
// snapping is off, the scale is not finite and positive, the width is outside that range or the
// snapped rectangle would be empty.
StrokeRectCommand snapHairlineStrokeRect(const StrokeRectCommand& payload, bool snapGeometry, float pixelScale);

// Each field from the primary block when present there, else from the fallback; the attached
// button's active foreground is never carried over.
ControlVisualTokens controlVisualTokensWithFallback(const ControlVisualTokens& primary,
                                                    const ControlVisualTokens& fallback);

// The block of the kinds each family draws; every field absent for other kinds.
ControlVisualTokens componentControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens);
ControlVisualTokens surfaceControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens);
ControlVisualTokens selectionControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens);
ControlVisualTokens listItemControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens);
ControlVisualTokens textEntryControlVisualTokens(WidgetKind kind, const WidgetTokens& tokens);

// A button-like widget's block: the button group's when it is attached, else its variant's (with
// the toggle-button block over it for toggle buttons).
ControlVisualTokens buttonControlVisualTokens(const WidgetDescription& widget, const WidgetTokens& tokens);

Color buttonFillColor(const WidgetDescription& widget, const WidgetTokens& tokens);
Color buttonTextColorForWidget(const WidgetDescription& widget, const WidgetTokens& tokens);
// The widget's explicit stroke, the block's, 0 for variants 4 and 5 and attached buttons, else the
// control border width; never below 0.
float buttonStrokeWidth(const WidgetDescription& widget, const WidgetTokens& tokens);

// Caret and composition-underline colour of text entries.
Color textEditingInkColor(const WidgetDescription& widget, const WidgetTokens& tokens);

struct ListItemState {
    bool hovered = false;
    bool pressed = false;
    bool selected = false;
    bool no_hover = false;
};

// Background of list items, menu items, data rows and data cells; no background is drawn when its
// alpha is 0.
Color listItemFillColor(WidgetKind kind, const WidgetTokens& tokens, const ListItemState& state);

}  // namespace kelvo
