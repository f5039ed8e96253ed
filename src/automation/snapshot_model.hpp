#pragma once

// What the running application shows, gathered once per publication into one model that the
// snapshot, accessibility and window texts are printed from: windows, the views each window lists,
// one row per canvas widget semantics node, header counters, the frame profile's statistics, the
// status-bar item, audio, the recent dispatch errors and the window source.
//
// Gathering changes nothing in the runtime and allocates nothing: the model's tables are a
// per-thread area that every gathering on the thread overwrites, so a model is valid until the
// next gathering (or until the runtime's tables change, since it borrows their texts).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/types/geometry.hpp"
#include "platform/types/window_records.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/flow/frame_profile.hpp"
#include "runtime/views/view_table.hpp"
#include "widgets/widget_semantics.hpp"

namespace kelvo {

struct Runtime;

inline constexpr std::size_t kMaxSnapshotWindows = 16;
inline constexpr std::size_t kMaxSnapshotViews = 64;
inline constexpr std::size_t kMaxSnapshotWidgets = 32768;
inline constexpr std::size_t kMaxSnapshotMenuItems = 16384;
inline constexpr std::size_t kMaxSnapshotTrayItems = 32;
inline constexpr std::size_t kSnapshotSpectrumBands = 32;

// The limits the snapshot prints beside a canvas view's counts.
inline constexpr std::uint64_t kSnapshotWidgetNodeLimit = 1024;
inline constexpr std::uint64_t kSnapshotWidgetSemanticsLimit = 1024;
inline constexpr std::uint64_t kSnapshotContextMenuItemLimit = 512;
inline constexpr std::uint64_t kSnapshotTextLayoutPlanLimit = 2048;
inline constexpr std::uint64_t kSnapshotTextLayoutLineLimit = 8192;

struct AutomationSnapshotWindow {
    std::uint64_t id = 0;
    std::string_view title;
    RectF frame{};
    bool focused = false;
};

struct AutomationSnapshotTrayItem {
    std::string_view label;
    std::string_view command;
    std::uint32_t id = 0;
    bool separator = false;
    bool enabled = true;
};

struct AutomationSnapshotMenuItem {
    std::string_view label;
    bool enabled = true;
    bool separator = false;
};

struct AutomationTextRange {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

struct AutomationScrollState {
    float offset = 0;
    float viewport = 0;
    float content = 0;
};

// The realised items of a virtual list for its scroll offset.
struct AutomationVirtualRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint32_t rendered = 0;
};

struct AutomationListPosition {
    std::uint32_t index = 0;
    std::uint32_t count = 0;
};

// One canvas widget, from its semantics node.
struct AutomationSnapshotWidget {
    std::uint64_t windowId = 0;
    std::string_view viewLabel;
    std::uint64_t widgetId = 0;
    std::string_view role;
    std::string_view name;
    std::string_view text;
    std::string_view placeholder;
    std::optional<std::uint64_t> parentId;
    std::optional<AutomationTextRange> selection;
    std::optional<AutomationTextRange> composition;
    std::optional<std::uint64_t> rowIndex;
    std::optional<std::uint64_t> columnIndex;
    std::optional<std::uint64_t> rowCount;
    std::optional<std::uint64_t> columnCount;
    std::optional<AutomationScrollState> scroll;
    std::optional<AutomationVirtualRange> virtualRange;
    std::optional<AutomationListPosition> listPosition;
    std::optional<float> value;
    RectF bounds{};  // window coordinates: the node's rectangle moved by its view's origin
    std::span<const AutomationSnapshotMenuItem> contextMenu;
    bool focused = false;
    bool enabled = true;
    bool hovered = false;
    bool pressed = false;
    bool selected = false;
    bool expandable = false;
    bool expanded = false;
    bool required = false;
    bool readOnly = false;
    bool invalid = false;
    // focus, press, toggle, increment, decrement, set_text, set_selection, select, drag,
    // drop_files, dismiss
    std::array<bool, kWidgetActionCount> actions{};
};

// One stage of the frame profile; `n` counts every sample the stage ever had.
struct FrameProfilePhaseStats {
    std::string_view name;
    std::uint64_t p50 = 0;
    std::uint64_t p90 = 0;
    std::uint64_t max = 0;
    std::uint64_t n = 0;
};

struct AutomationSnapshotSource {
    WindowSourceKind kind = WindowSourceKind::html;
    std::uint64_t bytes = 0;
    bool present = false;
};

struct AutomationSnapshotAudio {
    std::uint64_t key = 0;
    std::string_view sourceKind;  // "local", "cache" or "stream"
    std::uint64_t positionMs = 0;
    std::uint64_t durationMs = 0;
    std::uint64_t spectrumEvents = 0;
    std::span<const std::uint8_t> spectrumBands;
    bool playing = false;
    bool buffering = false;
};

struct AutomationSnapshotModel {
    std::span<const AutomationSnapshotWindow> windows;
    std::span<const ViewInfo> views;
    std::span<const AutomationSnapshotWidget> widgets;
    std::uint64_t frame = 0;
    std::uint64_t commands = 0;
    std::uint64_t uptimeNs = 0;
    std::uint64_t dispatchErrors = 0;
    std::uint64_t droppedTraceRecords = 0;
    std::uint32_t publisherPid = 0;
    bool markupWatch = false;
    // Present while frame profiling is on: one entry per stage.
    std::optional<std::span<const FrameProfilePhaseStats>> frameProfile;
    // Present when the application has a status-bar item.
    std::optional<std::string_view> trayTitle;
    std::span<const AutomationSnapshotTrayItem> trayItems;
    // Present while an audio source is active.
    std::optional<AutomationSnapshotAudio> audio;
    std::span<const DispatchErrorDetail> errors;
    AutomationSnapshotSource source;
};

// Gathers the model; `name` titles a window whose title is empty, and the one window reported
// when the runtime has none. Never fails: every table is bounded and what exceeds it is left out.
AutomationSnapshotModel automationSnapshot(const Runtime& runtime, std::string_view name);

// The statistics of every frame-profile stage, or none while profiling is off. The entries live
// in the same per-thread area as the model's tables.
std::optional<std::span<const FrameProfilePhaseStats>> automationFrameProfile(const Runtime& runtime);

// The name the snapshot prints for a semantics role ("switch"; 26 is a second "group").
std::string_view automationRoleName(WidgetSemanticRole role);

}  // namespace kelvo
