#pragma once

// Private to src/platform/macos: what each host kind of native view is built as, and the texts a
// native view shows: its caption, a segmented control's segments and its accessibility label.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/standin.hpp"

namespace kelvo {

inline constexpr std::int32_t kCanvasViewKind = 12;

struct NativeViewKind {
    standin::NativeControl control = standin::NativeControl::container;
    standin::NativeBackground background = standin::NativeBackground::clear;
    standin::AccessibilityRole role = standin::AccessibilityRole::group;
};

// The build of a host kind number (1 ... 18); none for any other number. Kind 12, the canvas
// view, has an entry although it cannot be built yet.
std::optional<NativeViewKind> nativeViewKind(std::int32_t hostKind);

// Whether views of the kind are controls: they enable and disable, and send an action when the
// user operates them (containers, spinners and canvas views do neither).
bool isNativeControl(standin::NativeControl control);

// The caption: the text if not empty, else the role if not empty, else the label.
std::string_view nativeViewCaption(std::string_view text, std::string_view role, std::string_view label);

// A segmented control's segments from its text: "One|Two" for an empty text; the pieces between
// "|" trimmed of white space and line breaks, empty ones dropped; "Segment" when none is left.
std::vector<std::string> segmentLabels(std::string_view text);

}  // namespace kelvo
