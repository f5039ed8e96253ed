#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "runtime/shell_spec.hpp"
#include "runtime/view.hpp"

namespace kelvo {

// The stored shell descriptions of the windows, one entry per window, kept for relayouts. A
// stored spec keeps everything but the five optional strings (command, text, url, accessibility
// label, role), which only the creation of the views needs.

struct StoredShellViewSpec {
    LabelBytes label;
    OptionalLabel parent;
    ViewKind kind = ViewKind::toolbar;
    std::optional<float> width;
    std::optional<float> height;
    std::optional<float> minWidth;
    std::optional<float> minHeight;
    std::optional<float> maxWidth;
    std::optional<float> maxHeight;
    std::optional<float> x;
    std::optional<float> y;
    std::optional<ShellEdge> dock;
    bool fill = false;
    std::optional<bool> vertical;
    std::int32_t layer = 0;
    bool visible = true;
    bool enabled = true;
    std::optional<GpuBackend> gpuBackend;
    std::optional<GpuPixelFormat> gpuPixelFormat;
    std::optional<GpuPresentMode> gpuPresentMode;
    std::optional<GpuAlphaMode> gpuAlphaMode;
    std::optional<GpuColorSpace> gpuColorSpace;
    std::optional<bool> gpuVsync;
};

struct ShellViewsEntry {
    std::uint64_t windowId = 0;
    std::uint32_t count = 0;
    std::array<StoredShellViewSpec, kMaxShellViews> specs{};
};

using ShellViewsTable = FixedVec<ShellViewsEntry, 16>;

// Copies a spec for storage; NoSpaceLeft when its label or parent is over 64 bytes.
Result<StoredShellViewSpec> storeShellViewSpec(const ShellViewSpec& spec);
// The stored spec as a spec whose strings refer to the stored record (the optional strings absent).
ShellViewSpec shellViewSpecFromStored(const StoredShellViewSpec& stored);

}  // namespace kelvo
