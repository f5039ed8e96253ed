#include "runtime/bridge/view_payloads.hpp"

#include <array>
#include <utility>

#include "bridge/json_field.hpp"
#include "runtime/bridge/view_value_names.hpp"
#include "runtime/views/view_checks.hpp"

namespace kelvo {
namespace {

// The camelCase spellings a payload may use for kinds whose names have an underscore.
constexpr std::array<std::pair<std::string_view, ViewKind>, 8> kViewKindAliases = {{
    {"titlebarAccessory", ViewKind::titlebar_accessory},
    {"iconButton", ViewKind::icon_button},
    {"listItem", ViewKind::list_item},
    {"segmentedControl", ViewKind::segmented_control},
    {"textField", ViewKind::text_field},
    {"searchField", ViewKind::search_field},
    {"gpuSurface", ViewKind::gpu_surface},
    {"progressIndicator", ViewKind::progress_indicator},
}};

// The four numbers of a frame from `object` (a JSON object's raw text): width and height must
// read, x and y fall back to 0, and nothing may be below 0.
Result<RectF> frameNumbers(std::string_view object, Error invalid) {
    NumberField<float> width = jsonPlainFloatField(object, "width");
    if (!width.present()) return fail(invalid);
    NumberField<float> height = jsonPlainFloatField(object, "height");
    if (!height.present()) return fail(invalid);
    NumberField<float> x = jsonPlainFloatField(object, "x");
    NumberField<float> y = jsonPlainFloatField(object, "y");
    RectF frame{x.present() ? x.value : 0.0f, y.present() ? y.value : 0.0f, width.value, height.value};
    if (hasNegative(frame)) return fail(invalid);
    return frame;
}

// A string member, else its alternative name when the first reads as absent.
Result<std::optional<std::string_view>> readEitherString(std::string_view payload, std::string_view name,
                                                         std::string_view alternative, PayloadScratch& scratch,
                                                         Error tooLarge) {
    std::optional<std::string_view> text = TRY(readStringMember(payload, name, scratch, tooLarge));
    if (text) return text;
    return readStringMember(payload, alternative, scratch, tooLarge);
}

// A GPU option given by value name under either of its member names; `fallback` when both read as
// absent, UnsupportedViewKind for a name outside the option's list.
template <class Enum, std::size_t N>
Result<Enum> gpuOption(std::string_view payload, std::string_view name, std::string_view alternative,
                       const std::array<std::string_view, N>& names, Enum fallback, PayloadScratch& scratch) {
    std::optional<std::string_view> text =
        TRY(readEitherString(payload, name, alternative, scratch, Error::UnsupportedViewKind));
    if (!text) return fallback;
    std::optional<Enum> value = enumValueFromName<Enum>(names, *text);
    if (!value) return fail(Error::UnsupportedViewKind);
    return *value;
}

Result<GpuSurfaceOptions> gpuOptionsFromJson(std::string_view payload, PayloadScratch& scratch) {
    GpuSurfaceOptions gpu;
    gpu.backend = TRY(gpuOption(payload, "gpuBackend", "gpu_backend", kGpuBackendNames, GpuBackend::metal, scratch));
    gpu.pixelFormat = TRY(gpuOption(payload, "gpuPixelFormat", "gpu_pixel_format", kGpuPixelFormatNames,
                                    GpuPixelFormat::bgra8_unorm, scratch));
    gpu.presentMode = TRY(
        gpuOption(payload, "gpuPresentMode", "gpu_present_mode", kGpuPresentModeNames, GpuPresentMode::timer, scratch));
    gpu.alphaMode =
        TRY(gpuOption(payload, "gpuAlphaMode", "gpu_alpha_mode", kGpuAlphaModeNames, GpuAlphaMode::opaque, scratch));
    gpu.colorSpace =
        TRY(gpuOption(payload, "gpuColorSpace", "gpu_color_space", kGpuColorSpaceNames, GpuColorSpace::srgb, scratch));
    std::optional<bool> vsync = jsonBoolField(payload, "gpuVsync");
    if (!vsync) vsync = jsonBoolField(payload, "gpu_vsync");
    gpu.vsync = vsync.value_or(true);
    return gpu;
}

// The "layer" of a view payload: InvalidViewOptions unless missing (state absent, value 0) or a
// whole number in the signed 32-bit range.
Result<NumberField<std::int32_t>> viewLayerFromJson(std::string_view payload) {
    NumberField<std::int32_t> layer = jsonWholeNumberField(payload, "layer");
    if (layer.state != NumberFieldState::absent && !layer.present()) return fail(Error::InvalidViewOptions);
    return layer;
}

}  // namespace

Result<std::optional<RectF>> viewFrameFromJson(std::string_view payload, bool required) {
    std::optional<std::string_view> frame = fieldValue(payload, "frame");
    if (!frame) {
        if (required) return fail(Error::InvalidViewOptions);
        return std::optional<RectF>();
    }
    return std::optional<RectF>(TRY(frameNumbers(*frame, Error::InvalidViewOptions)));
}

Result<RectF> webViewFrameFromJson(std::string_view payload) {
    std::string_view source = fieldValue(payload, "frame").value_or(payload);
    RectF frame = TRY(frameNumbers(source, Error::InvalidWebViewOptions));
    if (!(frame.width > 0 && frame.height > 0)) return fail(Error::InvalidWebViewOptions);
    return frame;
}

std::optional<ViewKind> viewKindFromPayloadName(std::string_view name) {
    if (std::optional<ViewKind> kind = viewKindFromName(name)) return kind;
    for (const auto& [alias, kind] : kViewKindAliases) {
        if (alias == name) return kind;
    }
    return std::nullopt;
}

Status checkPayloadWindowId(std::string_view payload, std::uint64_t callerWindowId, Error invalid, Error cross) {
    if (!fieldValue(payload, "windowId")) return {};
    std::optional<std::uint64_t> windowId = jsonIntegerField(payload, "windowId");
    if (!windowId) return fail(invalid);
    if (*windowId != callerWindowId) return fail(cross);
    return {};
}

bool hasControlByte(std::string_view text) {
    for (unsigned char byte : text) {
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

Result<std::string_view> viewLabelFromJson(std::string_view payload, PayloadScratch& scratch) {
    std::optional<std::string_view> label = TRY(readStringMember(payload, "label", scratch, Error::ViewLabelTooLarge));
    if (!label || hasControlByte(*label)) return fail(Error::InvalidViewOptions);
    return *label;
}

Result<ViewOptions> viewCreateOptionsFromJson(std::string_view payload, std::uint64_t callerWindowId,
                                              PayloadScratch& scratch) {
    ViewOptions options;
    options.windowId = callerWindowId;
    options.label = TRY(viewLabelFromJson(payload, scratch));
    std::optional<std::string_view> kindName =
        TRY(readStringMember(payload, "kind", scratch, Error::UnsupportedViewKind));
    if (!kindName) return fail(Error::InvalidViewOptions);
    std::optional<ViewKind> kind = viewKindFromPayloadName(*kindName);
    if (!kind) return fail(Error::UnsupportedViewKind);
    options.kind = *kind;
    TRY(checkPayloadWindowId(payload, callerWindowId, Error::InvalidViewWindowId, Error::CrossWindowViewDenied));

    options.role = TRY(readStringMember(payload, "role", scratch, Error::ViewRoleTooLarge)).value_or("");
    options.accessibilityLabel = TRY(readEitherString(payload, "accessibilityLabel", "accessibility_label", scratch,
                                                      Error::ViewAccessibilityLabelTooLarge))
                                     .value_or("");
    options.text = TRY(readStringMember(payload, "text", scratch, Error::ViewTextTooLarge)).value_or("");
    options.command = TRY(readStringMember(payload, "command", scratch, Error::InvalidCommand)).value_or("");
    options.parent = TRY(readStringMember(payload, "parent", scratch, Error::InvalidViewOptions));
    if (options.parent && hasControlByte(*options.parent)) return fail(Error::InvalidViewOptions);
    options.url = TRY(readStringMember(payload, "url", scratch, Error::WebViewUrlTooLarge)).value_or("");

    options.frame = TRY(viewFrameFromJson(payload, options.kind == ViewKind::webview)).value_or(RectF{});
    options.layer = TRY(viewLayerFromJson(payload)).value;
    options.visible = jsonBoolField(payload, "visible").value_or(true);
    options.enabled = jsonBoolField(payload, "enabled").value_or(true);
    options.transparent = jsonBoolField(payload, "transparent").value_or(false);
    options.bridge = jsonBoolField(payload, "bridge").value_or(false);
    options.gpu = TRY(gpuOptionsFromJson(payload, scratch));
    return options;
}

Result<ViewUpdateRequest> viewUpdateFromJson(std::string_view payload, std::uint64_t callerWindowId,
                                             PayloadScratch& scratch) {
    ViewUpdateRequest request;
    request.label = TRY(viewLabelFromJson(payload, scratch));
    TRY(checkPayloadWindowId(payload, callerWindowId, Error::InvalidViewWindowId, Error::CrossWindowViewDenied));
    ViewUpdate& update = request.update;
    update.frame = TRY(viewFrameFromJson(payload, false));
    if (NumberField<std::int32_t> layer = TRY(viewLayerFromJson(payload)); layer.present()) update.layer = layer.value;
    update.visible = jsonBoolField(payload, "visible");
    update.enabled = jsonBoolField(payload, "enabled");
    update.role = TRY(readStringMember(payload, "role", scratch, Error::ViewRoleTooLarge));
    update.accessibilityLabel = TRY(readEitherString(payload, "accessibilityLabel", "accessibility_label", scratch,
                                                     Error::ViewAccessibilityLabelTooLarge));
    update.text = TRY(readStringMember(payload, "text", scratch, Error::ViewTextTooLarge));
    update.command = TRY(readStringMember(payload, "command", scratch, Error::InvalidCommand));
    update.url = TRY(readStringMember(payload, "url", scratch, Error::WebViewUrlTooLarge));
    return request;
}

}  // namespace kelvo
