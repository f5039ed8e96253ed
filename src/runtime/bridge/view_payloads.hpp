#pragma once

// Readers of the payloads of the view, web view and window commands: member names and their
// alternatives, defaults, accepted value names, and which malformed values are errors and which
// read as absent. Decoded strings go to the command's scratch area; numbers are refused unless
// finite.

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/bridge/payload_fields.hpp"

namespace kelvo {

// The member "frame" of a view payload. Its "width" and "height" are required and must be plain
// numbers (digits, "-" and "." only); "x" and "y" are 0 when missing or not plain; none of the
// four may be below 0. InvalidViewOptions otherwise, also for a "frame" that is not an object.
// Without "frame": InvalidViewOptions when `required`, else none.
Result<std::optional<RectF>> viewFrameFromJson(std::string_view payload, bool required);

// The frame of a web view payload, read by the same rules from the member "frame" when there is
// one, else from the payload's own members; the size must also be above 0. Fails with
// InvalidWebViewOptions.
Result<RectF> webViewFrameFromJson(std::string_view payload);

// A view kind by its name ("icon_button") or its camelCase alias ("iconButton"); letter case
// matters.
std::optional<ViewKind> viewKindFromPayloadName(std::string_view name);

// A payload's "windowId" only asserts the caller's own window: when the member is present it must
// be an unsigned decimal integer (else `invalid`) equal to the caller's window id (else `cross`).
Status checkPayloadWindowId(std::string_view payload, std::uint64_t callerWindowId, Error invalid, Error cross);

// Whether a label or address holds a NUL or another control byte; a platform that reads C strings
// or page script would see a different text.
bool hasControlByte(std::string_view text);

// The "label" of a view command: InvalidViewOptions when it is missing, not a string or holds a
// control byte.
Result<std::string_view> viewLabelFromJson(std::string_view payload, PayloadScratch& scratch);

// The arguments of creating a view, read in the order that decides which error wins: "label",
// "kind", the window check, the texts, "frame", "layer", the flags, the GPU options. The window
// id is always the caller's.
Result<ViewOptions> viewCreateOptionsFromJson(std::string_view payload, std::uint64_t callerWindowId,
                                              PayloadScratch& scratch);

// The target and changes of a view update; absent members leave their fields unchanged.
struct ViewUpdateRequest {
    std::string_view label;
    ViewUpdate update;
};
Result<ViewUpdateRequest> viewUpdateFromJson(std::string_view payload, std::uint64_t callerWindowId,
                                             PayloadScratch& scratch);

}  // namespace kelvo
