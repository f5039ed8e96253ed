// Slots of canvas views, their images, fonts and scroll drivers, text measuring and image decoding.

#include <algorithm>
#include <array>

#include "base/utf16_offsets.hpp"
#include "platform/macos/mac_slots.hpp"

namespace kelvo {

namespace {

// A dirty rectangle with a negative extent starts at its other corner.
RectF normalised(RectF rect) {
    if (rect.width < 0) {
        rect.x += rect.width;
        rect.width = -rect.width;
    }
    if (rect.height < 0) {
        rect.y += rect.height;
        rect.height = -rect.height;
    }
    return rect;
}

Status presentGpuSurfacePixels(void* services, std::uint64_t windowId, std::string_view label,
                               const GpuSurfacePixels& pixels) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    const RectF dirty = normalised(pixels.dirty.value_or(RectF{}));
    const SurfaceImage& image = pixels.image;
    if (mac.appkit->present_gpu_surface_pixels(mac.host, windowId, label.data(), label.size(), image.width,
                                               image.height, pixels.scale, pixels.dirty ? 1 : 0, dirty.x, dirty.y,
                                               dirty.width, dirty.height, image.pixels.data(),
                                               image.pixels.size()) == 0) {
        return fail(Error::ViewNotFound);
    }
    return {};
}

Status packetPresented(std::int32_t hostResult) {
    switch (hostResult) {
        case 1:
            return {};
        case 0:
            return fail(Error::UnsupportedService);
        case -1:
            return fail(Error::ViewNotFound);
        default:
            return fail(Error::InvalidGpuSurfacePacket);
    }
}

Status presentGpuSurfacePacket(void* services, std::uint64_t windowId, std::string_view label,
                               const GpuSurfacePacketInfo& info, std::string_view json) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    return packetPresented(mac.appkit->present_gpu_surface_packet(
        mac.host, windowId, label.data(), label.size(), info.width, info.height, info.scale, info.clearColor[0],
        info.clearColor[1], info.clearColor[2], info.clearColor[3], info.requiresRender ? 1 : 0, info.commandCount,
        info.unsupportedCommandCount, info.representable ? 1 : 0, json.data(), json.size()));
}

Status presentGpuSurfacePacketBinary(void* services, std::uint64_t windowId, std::string_view label,
                                     const GpuSurfacePacketInfo& info, std::span<const std::uint8_t> packet) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    return packetPresented(mac.appkit->present_gpu_surface_packet_binary(
        mac.host, windowId, label.data(), label.size(), info.width, info.height, info.scale, info.clearColor[0],
        info.clearColor[1], info.clearColor[2], info.clearColor[3], info.requiresRender ? 1 : 0, info.commandCount,
        info.unsupportedCommandCount, info.representable ? 1 : 0, packet.data(), packet.size()));
}

Status uploadGpuSurfaceImage(void* services, std::uint64_t imageId, const SurfaceImage& image) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    if (mac.appkit->upload_gpu_surface_image(mac.host, imageId, image.width, image.height, image.pixels.data(),
                                             image.pixels.size()) == 0) {
        return fail(Error::InvalidGpuSurfaceImage);
    }
    return {};
}

Status removeGpuSurfaceImage(void* services, std::uint64_t imageId) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    if (mac.appkit->remove_gpu_surface_image(mac.host, imageId) == 0) return fail(Error::InvalidGpuSurfaceImage);
    return {};
}

Status registerGpuSurfaceFont(void* services, std::uint64_t fontId, std::span<const std::uint8_t> font) {
    MacPlatform& mac = macOf(services);
    if (mac.appkit->register_font(mac.host, fontId, font.data(), font.size()) == 0) {
        return fail(Error::InvalidGpuSurfaceFont);
    }
    return {};
}

// The slot's contract is a width or -1: anything the host answers that is not a usable width
// (its -1, a NaN, a width beyond a float) comes back as -1, which layout treats as a failure.
float measureText(void* services, std::uint64_t fontId, float size, std::string_view text) {
    MacPlatform& mac = macOf(services);
    const double width = mac.appkit->measure_text(mac.host, fontId, text.data(), text.size(), size);
    if (!(width >= 0.0 && width <= 3.4028234e38)) return -1.0f;
    return static_cast<float>(width);
}

bool measureTextAdvances(void* services, std::uint64_t fontId, float size, std::string_view text,
                         std::span<float> advances) {
    MacPlatform& mac = macOf(services);
    // The host writes one advance per byte and cannot see the span's length.
    if (text.empty() || advances.size() < text.size()) return false;
    return mac.appkit->measure_text_advances(mac.host, fontId, text.data(), text.size(), advances.data(), size) == 1;
}

constexpr std::size_t kMaxScrollDrivers = 16;

Status setGpuSurfaceScrollDrivers(void* services, std::uint64_t windowId, std::string_view label,
                                  std::span<const ScrollDriverRegion> regions) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedService);
    std::array<KelvoScrollDriverRecord, kMaxScrollDrivers> records{};
    const std::size_t count = std::min(regions.size(), kMaxScrollDrivers);
    for (std::size_t i = 0; i < count; ++i) {
        const ScrollDriverRegion& region = regions[i];
        records[i] = KelvoScrollDriverRecord{region.widgetId,
                                             region.frame.x,
                                             region.frame.y,
                                             region.frame.width,
                                             region.frame.height,
                                             region.contentWidth,
                                             region.contentHeight,
                                             region.offsetY,
                                             region.applyOffset ? 1 : 0,
                                             region.verticalElasticity ? 1 : 0};
    }
    if (mac.appkit->set_gpu_surface_scroll_drivers(mac.host, windowId, label.data(), label.size(), records.data(),
                                                   count) == 0) {
        return fail(Error::ViewNotFound);
    }
    return {};
}

constexpr std::size_t kMaxAccessibilityNodes = 64;

template <class T, class U>
void present(std::int32_t& has, T& value, const std::optional<U>& from) {
    has = from ? 1 : 0;
    value = from ? static_cast<T>(*from) : T{};
}

std::uint32_t stateBits(const WidgetAccessibilityNode& node) {
    std::uint32_t bits = 0;
    bits |= node.enabled ? 1u << 0 : 0;
    bits |= node.focused ? 1u << 1 : 0;
    bits |= node.selected ? 1u << 2 : 0;
    bits |= node.pressed ? 1u << 3 : 0;
    if (node.expanded) bits |= *node.expanded ? 1u << 4 : 1u << 5;
    bits |= node.required ? 1u << 6 : 0;
    bits |= node.readOnly ? 1u << 7 : 0;
    bits |= node.invalid ? 1u << 8 : 0;
    return bits;
}

std::uint32_t actionBits(const AccessibilityActions& a) {
    const bool in_order[] = {a.focus,        a.press,  a.toggle, a.increment, a.decrement, a.setText,
                             a.setSelection, a.select, a.drag,   a.dropFiles, a.dismiss};
    std::uint32_t bits = 0;
    for (std::uint32_t i = 0; i < std::size(in_order); ++i) bits |= in_order[i] ? 1u << i : 0;
    return bits;
}

KelvoWidgetAccessibilityNodeRecord nodeRecord(const WidgetAccessibilityNode& node) {
    KelvoWidgetAccessibilityNodeRecord r;
    r.widgetId = node.widgetId;
    r.role = static_cast<std::int32_t>(node.role);
    r.label = node.label.data();
    r.labelLength = node.label.size();
    r.value = node.valueText.data();
    r.valueLength = node.valueText.size();
    r.placeholder = node.placeholder.data();
    r.placeholderLength = node.placeholder.size();
    // The runtime's selection counts bytes of the value text; the view's counts UTF-16 units.
    if (node.selection) {
        r.hasSelection = 1;
        r.selectionStart = utf16OffsetOfByte(node.valueText, static_cast<std::size_t>(node.selection->start));
        r.selectionEnd = utf16OffsetOfByte(node.valueText, static_cast<std::size_t>(node.selection->end));
    }
    if (node.composition) {
        r.hasComposition = 1;
        r.compositionStart = node.composition->start;
        r.compositionEnd = node.composition->end;
    }
    present(r.hasNumericValue, r.numericValue, node.numericValue);
    present(r.hasRowIndex, r.rowIndex, node.rowIndex);
    present(r.hasColumnIndex, r.columnIndex, node.columnIndex);
    present(r.hasRowCount, r.rowCount, node.rowCount);
    present(r.hasColumnCount, r.columnCount, node.columnCount);
    present(r.hasPositionInSet, r.positionInSet, node.listIndex);
    present(r.hasSetSize, r.setSize, node.listCount);
    // A scrolling node's range: its offset within 0 ... content less viewport.
    present(r.hasRangeValue, r.rangeValue, node.scrollOffset);
    present(r.hasRangeMin, r.rangeMin, node.viewportExtent);
    present(r.hasRangeMax, r.rangeMax, node.contentExtent);
    r.x = node.frame.x;
    r.y = node.frame.y;
    r.width = node.frame.width;
    r.height = node.frame.height;
    r.stateFlags = stateBits(node);
    r.actionFlags = actionBits(node.actions);
    return r;
}

Status updateWidgetAccessibility(void* services, std::uint64_t windowId, std::string_view label,
                                 std::span<const WidgetAccessibilityNode> nodes) {
    MacPlatform& mac = macOf(services);
    if (mac.nativeFeaturesDisabled) return fail(Error::UnsupportedViewKind);
    if (nodes.size() > kMaxAccessibilityNodes) return fail(Error::InvalidViewOptions);
    // 19 KB: kept off the stack.
    thread_local std::array<KelvoWidgetAccessibilityNodeRecord, kMaxAccessibilityNodes> records;
    for (std::size_t i = 0; i < nodes.size(); ++i) records[i] = nodeRecord(nodes[i]);
    if (mac.appkit->update_widget_accessibility(mac.host, windowId, label.data(), label.size(), records.data(),
                                                nodes.size()) == 0) {
        return fail(Error::ViewNotFound);
    }
    return {};
}

Result<DecodedImage> decodeImage(void* services, std::span<const std::uint8_t> encoded,
                                 std::span<std::uint8_t> pixels) {
    MacPlatform& mac = macOf(services);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::int32_t decoded = mac.appkit->decode_image(mac.host, encoded.data(), encoded.size(), pixels.data(),
                                                    pixels.size(), &width, &height);
    if (decoded == -1) return fail(Error::ImageTooLarge);
    if (decoded != 1) return fail(Error::ImageDecodeFailed);
    // A host that claims more pixels than the buffer holds is not believed.
    const std::uint64_t bytes = std::uint64_t{width} * height * 4;
    if (bytes > pixels.size()) return fail(Error::ImageTooLarge);
    return DecodedImage{width, height, static_cast<std::size_t>(bytes)};
}

}  // namespace

void fillCanvasSlots(PlatformSlots& slots, const AppKitFunctions& appkit) {
    if (appkit.present_gpu_surface_pixels) slots.presentGpuSurfacePixels = presentGpuSurfacePixels;
    if (appkit.present_gpu_surface_packet) slots.presentGpuSurfacePacket = presentGpuSurfacePacket;
    if (appkit.present_gpu_surface_packet_binary) slots.presentGpuSurfacePacketBinary = presentGpuSurfacePacketBinary;
    if (appkit.upload_gpu_surface_image) slots.uploadGpuSurfaceImage = uploadGpuSurfaceImage;
    if (appkit.remove_gpu_surface_image) slots.removeGpuSurfaceImage = removeGpuSurfaceImage;
    if (appkit.register_font) slots.registerGpuSurfaceFont = registerGpuSurfaceFont;
    if (appkit.measure_text) slots.measureText = measureText;
    if (appkit.measure_text_advances) slots.measureTextAdvances = measureTextAdvances;
    if (appkit.decode_image) slots.decodeImage = decodeImage;
    if (appkit.set_gpu_surface_scroll_drivers) slots.setGpuSurfaceScrollDrivers = setGpuSurfaceScrollDrivers;
    if (appkit.update_widget_accessibility) slots.updateWidgetAccessibility = updateWidgetAccessibility;
}

}  // namespace kelvo
