#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/geometry.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

// Operations on a window's views and child web views. Views are found by (window id, label);
// indices are valid only until the next removal. Each operation tells the platform first and
// changes the tables only when the platform call succeeded.

struct Runtime;

// Nesting limit of parent chains: frames resolve through at most 48 levels above an object, and
// the walks over descendants stop at depth 48.
inline constexpr unsigned kMaxViewDepth = 48;

// ---- lookups ----

// The first open view of the window with that label.
std::optional<std::size_t> findViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view label);
// The first open child web view of the window with that label.
std::optional<std::size_t> findWebViewIndex(const Runtime& runtime, std::uint64_t windowId, std::string_view label);
// Whether the label names something in the window: "main" (its main web view), an open view or an
// open child web view.
bool windowHasViewLabel(const Runtime& runtime, std::uint64_t windowId, std::string_view label);

// ---- creating and updating ----

// Makes a view (kinds 1 to 18) or a child web view (kind webview) after checking every option.
Result<ViewInfo> createView(Runtime& runtime, const ViewOptions& options);

// Applies a partial update to a view, a child web view or the main web view ("main").
Result<ViewInfo> updateView(Runtime& runtime, std::uint64_t windowId, std::string_view label, const ViewUpdate& update);

// ---- geometry ----

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

// ---- removing ----

// Removes one record; later records move down one slot. The platform objects are the caller's.
void removeViewAt(Runtime& runtime, std::size_t index);
void removeWebViewAt(Runtime& runtime, std::size_t index);

// Closes a view or child web view with everything nested in it, then repairs the window's focus
// when the focus was inside.
Status closeView(Runtime& runtime, std::uint64_t windowId, std::string_view label);

// Closes on the platform every web view below `parent`, deepest first; records stay. A web view
// the platform no longer knows counts as closed.
Status closeDescendantWebViewBackendsDepth(Runtime& runtime, std::uint64_t windowId, std::string_view parent,
                                           unsigned depth = 0);
// Remove the records below `parent`, views and web views alike, with no platform call.
void removeDescendantViewsForParent(Runtime& runtime, std::uint64_t windowId, std::string_view parent);
void removeDescendantWebViewsForParent(Runtime& runtime, std::uint64_t windowId, std::string_view parent);
// Whether the object labelled `label` or anything nested in it holds the focus.
bool viewTreeHasFocusedDepth(const Runtime& runtime, std::uint64_t windowId, std::string_view label,
                             unsigned depth = 0);

// ---- focus ----

// Moves the window's view focus to the labelled object ("main", a view or a child web view).
Status focusView(Runtime& runtime, std::uint64_t windowId, std::string_view label);
// Focuses the next (or previous) focus candidate; no entry when the window has none.
Result<std::optional<ViewInfo>> focusAdjacentView(Runtime& runtime, std::uint64_t windowId, bool backwards);
// Leaves a focused candidate alone, else focuses the first candidate, else clears the focus.
void ensureFocusableViewFocused(Runtime& runtime, std::uint64_t windowId);
// Clears every focus flag of the window (no platform call).
void clearFocusedView(Runtime& runtime, std::uint64_t windowId);

// ---- listing ----

// Everything the window shows, in focus order: the main web view (when the window has a source),
// its open views, then its open child web views. Returns the filled prefix of `out`.
std::span<ViewInfo> listViews(const Runtime& runtime, std::uint64_t windowId, std::span<ViewInfo> out);
// The main web view entry of a window's list.
ViewInfo mainWebViewListInfo(const Runtime& runtime, std::size_t windowIndex);
// The main web view of the window at `windowIndex` (a valid index) as a web view.
WebViewInfo mainWebViewInfo(const Runtime& runtime, std::size_t windowIndex);

}  // namespace kelvo
