#pragma once

// The chrome of the widgets that frame others, drawn before their children: menus, popovers,
// panels (with the resize grip), dialogs, drawers and sheets (with their titles), cards, alerts,
// chat bubbles and their reactions, accordions and tab lists; and the scrim behind an open modal.

#include <cstdint>

#include "widgets/widget_description.hpp"
#include "widgets/widget_render_context.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

Status emitMenuSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                   const WidgetTokens& tokens);
Status emitPanelWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitPopoverWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
// The chrome of a dialog, drawer or sheet with the given block and base corner radius.
Status emitModalSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTokens& tokens, const ControlVisualTokens& block, float baseRadius);
Status emitDialogSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                     const WidgetTokens& tokens);
Status emitDrawerSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                     const WidgetTokens& tokens);
Status emitSheetSurfaceWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget,
                                    const WidgetTokens& tokens);
Status emitCardWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitAlertWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitBubbleWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
// A bubble's text is its reaction label, drawn as a pill over its bottom edge.
Status emitBubbleWidgetReactions(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
// The tokens a bubble's children are drawn with: text colours that suit the bubble's fill.
WidgetTokens bubbleContentTokens(const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitAccordionWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);
Status emitTabsListWidgetChrome(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);

// A dialog, drawer or sheet is open while its `expanded` state is present and true; the scrim
// then covers the thread's scrim viewport (the union of the root rectangles, set by the tree
// emission) or else the modal's own frame.
bool isOpenModalSurface(const WidgetDescription& widget);
Status emitModalSurfaceScrim(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens);

// How an accordion's children are drawn.
enum class AccordionDisclosure : std::uint8_t { collapsed = 0, clipped = 1, open = 2 };
AccordionDisclosure accordionLayoutDisclosure(WidgetLayoutTree tree, std::size_t index, const WidgetDescription& widget,
                                              const WidgetRenderState& state);

}  // namespace kelvo
