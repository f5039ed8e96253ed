#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "runtime/views/view_table.hpp"
#include "runtime/windows/shell_description.hpp"

namespace kelvo {

// The stored shell descriptions of the windows, one entry per window, kept for relayouts. A
// stored declaration keeps its label and parent inline, its kind and its whole placement; the five
// optional strings (command, text, url, accessibility label, role) only the creation of the views
// needs.

struct StoredShellViewDescription {
    LabelBytes label;
    OptionalLabel parent;
    ViewKind kind = ViewKind::toolbar;
    KELVO_SHELL_VIEW_PLACEMENT(KELVO_SHELL_VIEW_PLACEMENT_MEMBER)
};

struct ShellViewsEntry {
    std::uint64_t windowId = 0;
    std::uint32_t count = 0;
    std::array<StoredShellViewDescription, kMaxShellViews> descriptions{};
};

using ShellViewsTable = FixedVec<ShellViewsEntry, 16>;

// Copies a declared view for storage; NoSpaceLeft when its label or parent is over 64 bytes.
Result<StoredShellViewDescription> storeShellViewDescription(const ShellViewDescription& shellView);
// The stored copy as a declared view whose strings refer to the stored record (the optional
// strings absent).
ShellViewDescription shellViewDescriptionFromStored(const StoredShellViewDescription& stored);

}  // namespace kelvo
