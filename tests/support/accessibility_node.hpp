#pragma once

// An enabled canvas widget as the host's accessibility update takes it: 80 x 24 points at (x, 20).

#include <cstring>

#include "platform/macos/appkit_functions.hpp"

namespace kelvo::testing {

inline KelvoWidgetAccessibilityNodeRecord accessibilityNode(std::uint64_t id, std::int32_t role, const char* label,
                                                            double x, std::uint32_t actions) {
    KelvoWidgetAccessibilityNodeRecord r;
    r.widgetId = id;
    r.role = role;
    r.label = label;
    r.labelLength = std::strlen(label);
    r.stateFlags = 1;
    r.actionFlags = actions;
    r.x = x;
    r.y = 20;
    r.width = 80;
    r.height = 24;
    return r;
}

}  // namespace kelvo::testing
