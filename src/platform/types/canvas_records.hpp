#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/types/geometry.hpp"

namespace kelvo {

// Records of the canvas-view, image and text slots. Bytes and texts are borrowed for the call.

// RGBA8 pixels, rows of width * 4 bytes, top row first.
struct SurfaceImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::span<const std::uint8_t> pixels{};
};

// What `decodeImage` wrote into the caller's buffer.
struct DecodedImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t byteLength = 0;  // width * height * 4
};

// Raw pixels for a canvas view, with the rectangle that changed when only part did.
struct GpuSurfacePixels {
    SurfaceImage image{};
    float scale = 1.0f;
    std::optional<RectF> dirty{};
};

// The summary that travels with a JSON or binary canvas packet.
struct GpuSurfacePacketInfo {
    float width = 0;
    float height = 0;
    float scale = 1.0f;
    std::uint8_t clearColor[4] = {0, 0, 0, 0};  // R, G, B, A
    bool requiresRender = false;
    std::uint32_t commandCount = 0;
    std::uint32_t unsupportedCommandCount = 0;
    bool representable = true;
};

struct AccessibilityRange {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    friend bool operator==(const AccessibilityRange&, const AccessibilityRange&) = default;
};

// The actions an assistive technology may perform on a widget, in their fixed order.
struct AccessibilityActions {
    bool focus = false;
    bool press = false;
    bool toggle = false;
    bool increment = false;
    bool decrement = false;
    bool setText = false;
    bool setSelection = false;
    bool select = false;
    bool drag = false;
    bool dropFiles = false;
    bool dismiss = false;
};

// One canvas widget as published to the platform's accessibility layer.
struct WidgetAccessibilityNode {
    std::optional<std::uint64_t> columnIndex{};
    std::optional<std::uint64_t> parentId{};
    std::uint64_t widgetId = 0;
    std::string_view label{};
    std::string_view valueText{};
    std::string_view placeholder{};
    std::optional<AccessibilityRange> selection{};
    std::optional<AccessibilityRange> composition{};
    std::optional<std::uint64_t> columnCount{};
    std::optional<std::uint64_t> rowCount{};
    std::optional<std::uint64_t> rowIndex{};
    std::optional<std::uint32_t> listIndex{};
    RectF frame{};  // view coordinates
    std::optional<float> numericValue{};
    std::uint32_t role = 0;  // the platform role code
    std::optional<std::uint32_t> listCount{};
    // Present exactly when the node scrolls.
    std::optional<float> scrollOffset{};
    std::optional<float> viewportExtent{};
    std::optional<float> contentExtent{};
    bool enabled = true;
    bool focused = false;
    bool hovered = false;
    bool pressed = false;
    bool selected = false;
    std::optional<bool> expanded{};
    bool required = false;
    bool readOnly = false;
    bool invalid = false;
    bool focusable = false;
    AccessibilityActions actions{};
};

// A scroll view that the platform scrolls natively on the runtime's behalf.
struct ScrollDriverRegion {
    std::uint64_t widgetId = 0;
    RectF frame{};
    float contentWidth = 0;
    float contentHeight = 0;
    float offsetY = 0;
    bool applyOffset = false;  // the platform moves to offsetY
    bool verticalElasticity = false;
};

struct ContextMenuItem {
    std::string_view label{};
    std::uint32_t id = 0;  // reported back in context_menu_action; 0 means dismissed
    bool enabled = true;
    bool separator = false;
};

// A context menu at a point of a view; the choice comes back with the same token.
struct ContextMenuRequest {
    float x = 0;
    float y = 0;
    std::uint64_t token = 0;
    std::span<const ContextMenuItem> items{};
};

}  // namespace kelvo
