#include "platform/types/view_records.hpp"

#include <array>

namespace kelvo {

namespace {
constexpr std::array<std::string_view, kViewKindCount> kViewKindNames = {
#define KELVO_VIEW_KIND_NAME(name) std::string_view(#name),
    KELVO_VIEW_KINDS(KELVO_VIEW_KIND_NAME)
#undef KELVO_VIEW_KIND_NAME
};
}  // namespace

std::string_view viewKindName(ViewKind kind) {
    if (!isValidViewKind(kind)) return {};
    return kViewKindNames[static_cast<std::size_t>(kind)];
}

std::optional<ViewKind> viewKindFromName(std::string_view name) {
    for (std::size_t i = 0; i < kViewKindNames.size(); ++i) {
        if (kViewKindNames[i] == name) return static_cast<ViewKind>(i);
    }
    return std::nullopt;
}

}  // namespace kelvo
