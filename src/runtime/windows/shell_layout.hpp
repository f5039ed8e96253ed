#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/windows/shell_description.hpp"

namespace kelvo {

// Geometry of a window's shell: docking at the content edges, default sizes per kind, clamps and
// the flow of children inside containers. Frames are relative to the parent view.

inline constexpr float kShellStackSpacing = 8;

struct ShellDefaultSize {
    float width = 0;
    float height = 0;
};

// The default width and height of a kind (a spacer child is as tall as its parent instead).
ShellDefaultSize shellDefaultSize(ViewKind kind);

// max with the minimum, then min with the maximum; NaN operands are ignored.
float clampShellSize(float value, std::optional<float> minimum, std::optional<float> maximum);

// The frame of a view docked at `edge` of the remaining rectangle.
RectF dockedShellFrame(const RectF& remaining, const ShellViewDescription& shellView, ShellEdge edge);

// What is left of `remaining` after a view docked at `edge` took `frame`.
RectF shrinkShellRect(const RectF& remaining, const RectF& frame, ShellEdge edge);

struct ShellPlacedView {
    std::string_view label;  // borrowed from the declared view
    std::uint32_t descriptionIndex = 0;
    RectF frame;          // relative to the parent
    float absoluteX = 0;  // parent's absolute position plus the frame's
    float absoluteY = 0;
    ViewKind kind = ViewKind::toolbar;
    bool vertical = false;
};

struct ShellParentCursor {
    std::string_view label;
    float advanceX = 0;
    float advanceY = 0;
};

// Bookkeeping of one layout run; a fixed-size local of the run.
struct ShellLayout {
    FixedVec<ShellPlacedView, kMaxShellViews> placed;
    FixedVec<ShellParentCursor, kMaxShellViews> cursors;
};

// The cursor of a placed parent, created on first use (advances 0 under a split, else 8). There is
// at most one cursor per placed view, so the table cannot run out; null only if it somehow did.
ShellParentCursor* shellParentCursor(ShellLayout& layout, const ShellPlacedView& parent);

// The first placed view with that label, or null.
const ShellPlacedView* shellFindView(const ShellLayout& layout, std::string_view label);

// Places every declared view inside the content rectangle; `layout.placed` lists them in placing order.
// Fails with InvalidViewOptions when some parent is never placed and ViewLimitReached past 128 views.
Status runShellLayout(ShellLayout& layout, std::span<const ShellViewDescription> descriptions, const RectF& content);

}  // namespace kelvo
