#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/geometry.hpp"

namespace kelvo {

// Where views and web views lie in their window, and which addresses a web view may show.

struct Runtime;

// The frame of a labelled object in window coordinates.
Result<RectF> absoluteViewFrame(const Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                unsigned depth = 0);
// A frame relative to `parent` (or the window) in window coordinates.
Result<RectF> platformFrameForView(const Runtime& runtime, std::uint64_t windowId,
                                   std::optional<std::string_view> parent, const RectF& frame);
// Moves every web view nested below `label` to its new window coordinates.
Status relayoutDescendantWebViewBackendsDepth(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                              unsigned depth = 0);
// The address rule of web views: a scheme, "://" and a host (or "about:"), at most 4,096 bytes, no
// control bytes or spaces, and an origin on the trusted list.
Status validateWebViewUrl(const Runtime& runtime, std::string_view url);
// The origin of a web view address ("about://local" for "about:" addresses); InvalidWebViewOptions
// when it has none.
Result<std::string_view> webViewUrlOrigin(std::string_view url);

}  // namespace kelvo
