#include "widgets/widget_kind.hpp"

#include <array>

namespace kelvo {

namespace {

constexpr std::uint8_t kF = 1, kP = 2, kH = 4, kR = 8;
constexpr std::uint8_t kFPH = kF | kP | kH, kFPHR = kFPH | kR;

constexpr std::array<std::uint8_t, kWidgetKindCount> kKindFlags = {
#define KELVO_WIDGET_KIND_FLAGS(name, flags) flags,
    KELVO_WIDGET_KINDS(KELVO_WIDGET_KIND_FLAGS)
#undef KELVO_WIDGET_KIND_FLAGS
};

// Trailing underscores keep C++ keywords out of the enum; the written name drops them.
constexpr std::string_view writtenName(std::string_view name) {
    return name.ends_with('_') ? name.substr(0, name.size() - 1) : name;
}

constexpr std::array<std::string_view, kWidgetKindCount> kKindNames = {
#define KELVO_WIDGET_KIND_NAME(name, flags) writtenName(#name),
    KELVO_WIDGET_KINDS(KELVO_WIDGET_KIND_NAME)
#undef KELVO_WIDGET_KIND_NAME
};

std::uint8_t flagsOf(WidgetKind kind) {
    return widgetKindDefined(kind) ? kKindFlags[static_cast<unsigned>(kind)] : std::uint8_t{0};
}

}  // namespace

bool isKeyboardFocusKind(WidgetKind kind) { return (flagsOf(kind) & kF) != 0; }
bool isPointerTargetKind(WidgetKind kind) { return (flagsOf(kind) & kP) != 0; }
bool isHoverTargetKind(WidgetKind kind) { return (flagsOf(kind) & kH) != 0; }
bool drawsFocusRing(WidgetKind kind) { return (flagsOf(kind) & kR) != 0; }

std::string_view widgetKindName(WidgetKind kind) {
    return widgetKindDefined(kind) ? kKindNames[static_cast<unsigned>(kind)] : std::string_view{};
}

std::optional<WidgetKind> widgetKindFromName(std::string_view name) {
    for (unsigned i = 0; i < kWidgetKindCount; ++i) {
        if (kKindNames[i] == name) return static_cast<WidgetKind>(i);
    }
    return std::nullopt;
}

}  // namespace kelvo
