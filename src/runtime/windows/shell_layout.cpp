#include "runtime/windows/shell_layout.hpp"

#include <array>
#include <cmath>

namespace kelvo {
namespace {

constexpr std::array<ShellDefaultSize, kViewKindCount> kDefaultSizes = {{
    {0, 0},     // webview
    {0, 48},    // toolbar
    {0, 36},    // titlebar_accessory
    {240, 0},   // sidebar
    {0, 28},    // statusbar
    {0, 0},     // split
    {0, 0},     // stack
    {96, 32},   // button
    {32, 32},   // icon_button
    {220, 32},  // list_item
    {96, 32},   // checkbox
    {96, 32},   // toggle
    {168, 32},  // segmented_control
    {220, 28},  // text_field
    {220, 28},  // search_field
    {160, 24},  // label
    {12, 1},    // spacer
    {0, 0},     // gpu_surface
    {24, 24},   // progress_indicator
}};

// Max and min that return the other operand when one is NaN.
float maxOf(float a, float b) { return std::fmax(a, b); }
float minOf(float a, float b) { return std::fmin(a, b); }

float clampWidth(const ShellViewDescription& shellView, float value) {
    return clampShellSize(value, shellView.minWidth, shellView.maxWidth);
}
float clampHeight(const ShellViewDescription& shellView, float value) {
    return clampShellSize(value, shellView.minHeight, shellView.maxHeight);
}

// A child's default height: a spacer fills its parent's height (at least 1 point).
float childDefaultHeight(ViewKind kind, const ShellPlacedView& parent) {
    if (kind == ViewKind::spacer) return maxOf(parent.frame.height, 1);
    return shellDefaultSize(kind).height;
}

float centredY(const ShellPlacedView& parent, float height) {
    return parent.frame.height > height ? (parent.frame.height - height) / 2 : 0;
}

RectF splitChildFrame(const ShellViewDescription& shellView, const ShellPlacedView& parent, ShellParentCursor& cursor) {
    const bool vertical = parent.vertical;
    RectF frame;
    frame.x = shellView.x.value_or(vertical ? 0 : cursor.advanceX);
    frame.y = shellView.y.value_or(vertical ? cursor.advanceY : 0);
    float width = 0;
    if (shellView.width) {
        width = *shellView.width;
    } else if (vertical || shellView.fill) {
        width = maxOf(parent.frame.width - frame.x, 0);
    } else {
        width = shellDefaultSize(shellView.kind).width;
    }
    float height = 0;
    if (shellView.height) {
        height = *shellView.height;
    } else if (vertical && !shellView.fill) {
        height = childDefaultHeight(shellView.kind, parent);
    } else {
        height = maxOf(parent.frame.height - frame.y, 0);
    }
    frame.width = clampWidth(shellView, width);
    frame.height = clampHeight(shellView, height);
    if (vertical) {
        cursor.advanceY = maxOf(cursor.advanceY, frame.y + frame.height);
    } else {
        cursor.advanceX = maxOf(cursor.advanceX, frame.x + frame.width);
    }
    return frame;
}

RectF stackChildFrame(const ShellViewDescription& shellView, const ShellPlacedView& parent, ShellParentCursor& cursor) {
    const bool vertical = parent.vertical;
    RectF frame;
    frame.width = clampWidth(shellView, shellView.width.value_or(shellDefaultSize(shellView.kind).width));
    frame.height = clampHeight(shellView, shellView.height.value_or(childDefaultHeight(shellView.kind, parent)));
    auto flowY = [&] {
        if (shellView.y) return *shellView.y;
        if (!vertical) return centredY(parent, frame.height);
        float y = cursor.advanceY;
        cursor.advanceY += frame.height + kShellStackSpacing;
        return y;
    };
    if (shellView.x) {
        frame.x = *shellView.x;
        frame.y = flowY();
    } else if (vertical) {
        frame.x = kShellStackSpacing;
        frame.y = flowY();
    } else {
        frame.x = cursor.advanceX;
        cursor.advanceX += frame.width + kShellStackSpacing;
        frame.y = flowY();
    }
    return frame;
}

bool isDockedRoot(const ShellViewDescription& shellView) {
    return !shellView.parent && !shellView.fill && shellView.dock;
}

}  // namespace

ShellDefaultSize shellDefaultSize(ViewKind kind) {
    auto index = static_cast<std::size_t>(kind);
    return index < kDefaultSizes.size() ? kDefaultSizes[index] : ShellDefaultSize{};
}

float clampShellSize(float value, std::optional<float> minimum, std::optional<float> maximum) {
    if (minimum) value = maxOf(value, *minimum);
    if (maximum) value = minOf(value, *maximum);
    return value;
}

RectF dockedShellFrame(const RectF& remaining, const ShellViewDescription& shellView, ShellEdge edge) {
    const ShellDefaultSize defaults = shellDefaultSize(shellView.kind);
    RectF frame{remaining.x, remaining.y, 0, 0};
    switch (edge) {
        case ShellEdge::top:
        case ShellEdge::bottom:
            frame.width = clampWidth(shellView, shellView.width.value_or(remaining.width));
            frame.height = clampHeight(shellView, shellView.height.value_or(defaults.height));
            if (edge == ShellEdge::bottom) frame.y = remaining.y + maxOf(remaining.height - frame.height, 0);
            break;
        case ShellEdge::left:
        case ShellEdge::right:
            frame.width = clampWidth(shellView, shellView.width.value_or(defaults.width));
            frame.height = clampHeight(shellView, shellView.height.value_or(remaining.height));
            if (edge == ShellEdge::right) frame.x = remaining.x + maxOf(remaining.width - frame.width, 0);
            break;
    }
    return frame;
}

RectF shrinkShellRect(const RectF& remaining, const RectF& frame, ShellEdge edge) {
    RectF rest = remaining;
    switch (edge) {
        case ShellEdge::top:
            rest.y += frame.height;
            rest.height = maxOf(rest.height - frame.height, 0);
            break;
        case ShellEdge::bottom:
            rest.height = maxOf(rest.height - frame.height, 0);
            break;
        case ShellEdge::left:
            rest.x += frame.width;
            rest.width = maxOf(rest.width - frame.width, 0);
            break;
        case ShellEdge::right:
            rest.width = maxOf(rest.width - frame.width, 0);
            break;
    }
    return rest;
}

ShellParentCursor* shellParentCursor(ShellLayout& layout, const ShellPlacedView& parent) {
    for (ShellParentCursor& cursor : layout.cursors) {
        if (cursor.label == parent.label) return &cursor;
    }
    const float start = parent.kind == ViewKind::split ? 0 : kShellStackSpacing;
    return layout.cursors.push(ShellParentCursor{parent.label, start, start});
}

const ShellPlacedView* shellFindView(const ShellLayout& layout, std::string_view label) {
    for (const ShellPlacedView& view : layout.placed) {
        if (view.label == label) return &view;
    }
    return nullptr;
}

Status runShellLayout(ShellLayout& layout, std::span<const ShellViewDescription> descriptions, const RectF& content) {
    layout.placed.clear();
    layout.cursors.clear();
    if (descriptions.size() > kMaxShellViews) return fail(Error::ViewLimitReached);

    // The content area is what the docked root views leave of the window's content.
    RectF area = content;
    for (const ShellViewDescription& shellView : descriptions) {
        if (!isDockedRoot(shellView)) continue;
        area = shrinkShellRect(area, dockedShellFrame(area, shellView, *shellView.dock), *shellView.dock);
    }

    RectF remaining = content;
    std::array<bool, kMaxShellViews> done{};
    std::size_t doneCount = 0;
    while (doneCount < descriptions.size()) {
        bool placedAny = false;
        for (std::size_t i = 0; i < descriptions.size(); ++i) {
            if (done[i]) continue;
            const ShellViewDescription& shellView = descriptions[i];
            const ShellPlacedView* parent = nullptr;
            if (shellView.parent) {
                parent = shellFindView(layout, *shellView.parent);
                if (parent == nullptr) continue;
            }
            if (layout.placed.full()) return fail(Error::ViewLimitReached);

            RectF frame;
            if (parent != nullptr) {
                ShellParentCursor* cursor = shellParentCursor(layout, *parent);
                if (cursor == nullptr) return fail(Error::ViewLimitReached);
                frame = parent->kind == ViewKind::split ? splitChildFrame(shellView, *parent, *cursor)
                                                        : stackChildFrame(shellView, *parent, *cursor);
            } else if (shellView.fill) {
                frame.x = shellView.x.value_or(area.x);
                frame.y = shellView.y.value_or(area.y);
                frame.width = clampWidth(shellView, shellView.width.value_or(area.width));
                frame.height = clampHeight(shellView, shellView.height.value_or(area.height));
            } else if (shellView.dock) {
                frame = dockedShellFrame(remaining, shellView, *shellView.dock);
                remaining = shrinkShellRect(remaining, frame, *shellView.dock);
            } else {
                const ShellDefaultSize defaults = shellDefaultSize(shellView.kind);
                frame.x = shellView.x.value_or(0);
                frame.y = shellView.y.value_or(0);
                frame.width = clampWidth(shellView, shellView.width.value_or(defaults.width));
                frame.height = clampHeight(shellView, shellView.height.value_or(defaults.height));
            }

            ShellPlacedView placed;
            placed.label = shellView.label;
            placed.descriptionIndex = static_cast<std::uint32_t>(i);
            placed.frame = frame;
            placed.absoluteX = (parent != nullptr ? parent->absoluteX : 0) + frame.x;
            placed.absoluteY = (parent != nullptr ? parent->absoluteY : 0) + frame.y;
            placed.kind = shellView.kind;
            placed.vertical = shellView.isVertical();
            layout.placed.push(placed);
            done[i] = true;
            ++doneCount;
            placedAny = true;
        }
        if (!placedAny) return fail(Error::InvalidViewOptions);
    }
    return {};
}

}  // namespace kelvo
