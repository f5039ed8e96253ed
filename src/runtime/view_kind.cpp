#include "runtime/view_kind.hpp"

#include <array>

namespace kelvo {
namespace {

constexpr std::array<std::string_view, kViewKindCount> kViewKindNames = {
    "webview",
    "toolbar",
    "titlebar_accessory",
    "sidebar",
    "statusbar",
    "split",
    "stack",
    "button",
    "icon_button",
    "list_item",
    "checkbox",
    "toggle",
    "segmented_control",
    "text_field",
    "search_field",
    "label",
    "spacer",
    "gpu_surface",
    "progress_indicator",
};

}  // namespace

std::string_view viewKindName(ViewKind kind) {
    auto index = static_cast<std::size_t>(kind);
    return index < kViewKindNames.size() ? kViewKindNames[index] : std::string_view();
}

std::optional<ViewKind> viewKindFromName(std::string_view name) {
    for (std::size_t i = 0; i < kViewKindNames.size(); ++i) {
        if (kViewKindNames[i] == name) return static_cast<ViewKind>(i);
    }
    return std::nullopt;
}

}  // namespace kelvo
