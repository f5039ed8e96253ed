#pragma once

#include <cmath>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/geometry.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

// Checks shared by the view operations.

inline bool hasNul(std::string_view text) { return text.find('\0') != text.npos; }

inline bool hasNegative(const RectF& frame) {
    return frame.x < 0 || frame.y < 0 || frame.width < 0 || frame.height < 0;
}

inline bool isFinite(const RectF& frame) {
    return std::isfinite(frame.x) && std::isfinite(frame.y) && std::isfinite(frame.width) &&
           std::isfinite(frame.height);
}

// A web view frame: finite, at a non-negative position, with a size above 0.
inline bool isUsableWebViewFrame(const RectF& frame) {
    return isFinite(frame) && frame.x >= 0 && frame.y >= 0 && frame.width > 0 && frame.height > 0;
}

// A label that names a view: InvalidViewOptions when empty, ViewLabelTooLarge over 64 bytes.
inline Status checkViewLabel(std::string_view label) {
    if (label.empty()) return fail(Error::InvalidViewOptions);
    if (label.size() > kMaxViewLabel) return fail(Error::ViewLabelTooLarge);
    return {};
}

inline Status checkViewTexts(std::string_view role, std::string_view accessibilityLabel, std::string_view text) {
    if (role.size() > kMaxViewRole) return fail(Error::ViewRoleTooLarge);
    if (accessibilityLabel.size() > kMaxViewAccessibilityLabel) return fail(Error::ViewAccessibilityLabelTooLarge);
    if (text.size() > kMaxViewText) return fail(Error::ViewTextTooLarge);
    return {};
}

}  // namespace kelvo
