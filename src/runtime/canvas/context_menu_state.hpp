#pragma once

#include <cstdint>
#include <optional>

#include "platform/types/platform_event.hpp"

namespace kelvo {

// The context menu a canvas view has open, kept in the runtime record from the moment the menu
// is shown (through the platform's `showContextMenu`) until the platform answers with a
// context_menu_action event. The token ties the answer to the menu that was asked for.

enum class ContextMenuKind : std::uint8_t {
    widget = 0,          // a widget's own menu; the choice goes to the application
    editable_text = 1,   // cut, copy, paste, select all on an editable text widget
    read_only_text = 2,  // copy on a read-only text widget
};

struct PendingContextMenu {
    std::uint64_t windowId = 0;
    std::uint64_t token = 0;
    ContextMenuKind kind = ContextMenuKind::widget;
    bool present = false;
};

// Item numbers of the text menus; 0 means the menu closed without a choice.
inline constexpr std::uint32_t kTextMenuCut = 1;
inline constexpr std::uint32_t kTextMenuCopy = 2;
inline constexpr std::uint32_t kTextMenuPaste = 3;
inline constexpr std::uint32_t kTextMenuSelectAll = 4;

// Takes the pending menu for an answer: the pending menu is cleared whatever the answer, and
// returned only when the answer names the same window and token and chose an item.
inline std::optional<PendingContextMenu> takeAnsweredContextMenu(PendingContextMenu& pending,
                                                                 const ContextMenuActionEvent& answer) {
    if (!pending.present) return std::nullopt;
    PendingContextMenu taken = pending;
    pending = PendingContextMenu{};
    if (answer.windowId != taken.windowId || answer.token != taken.token || answer.item == 0) return std::nullopt;
    return taken;
}

}  // namespace kelvo
