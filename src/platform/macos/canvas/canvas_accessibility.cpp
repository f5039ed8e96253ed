#include "platform/macos/canvas/canvas_accessibility.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "base/utf16_offsets.hpp"
#include "base/utf8.hpp"
#include "platform/macos/canvas/surface_view.hpp"

namespace kelvo {

namespace {

namespace state_flag {
inline constexpr std::uint32_t enabled = 1u << 0;
inline constexpr std::uint32_t focused = 1u << 1;
inline constexpr std::uint32_t selected = 1u << 2;
inline constexpr std::uint32_t expanded = 1u << 4;
inline constexpr std::uint32_t collapsed = 1u << 5;
inline constexpr std::uint32_t required = 1u << 6;
inline constexpr std::uint32_t read_only = 1u << 7;
inline constexpr std::uint32_t invalid = 1u << 8;
}  // namespace state_flag

constexpr std::uint32_t kPressFlags =
    widget_action_flag::press | widget_action_flag::press_alternate | widget_action_flag::press_default;

// Text that is absent, empty or not valid UTF-8 is empty.
std::string_view textOf(const char* bytes, std::uint64_t length) {
    if (bytes == nullptr || length == 0) return {};
    std::string_view text(bytes, static_cast<std::size_t>(length));
    return isValidUtf8(text) ? text : std::string_view{};
}

std::string printed(const char* format, auto... args) {
    char buffer[64];
    int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(sizeof buffer) - 1)));
}

void buildElement(WidgetAccessibilityElement& e, const KelvoWidgetAccessibilityNodeRecord& r) {
    e = WidgetAccessibilityElement{};
    standin::AccessibleElement& s = e.shape;
    const std::string_view label = textOf(r.label, r.labelLength);
    const std::string_view valueText = textOf(r.value, r.valueLength);
    s.widgetId = r.widgetId;
    s.role = elementRoleOf(r.role);
    e.actionFlags = r.actionFlags;
    e.identifier = printed("kelvo-widget-%" PRIu64, r.widgetId);
    e.label = label.empty() ? valueText : label;
    if (r.hasNumericValue != 0) {
        e.value = printed("%.3f", r.numericValue);
    } else {
        e.value = valueText;
    }
    e.placeholder = textOf(r.placeholder, r.placeholderLength);
    e.text = valueText;
    if (r.hasNumericValue != 0) s.numericValue = r.numericValue;
    if (r.hasRowCount != 0) s.rowCount = r.rowCount;
    if (r.hasColumnCount != 0) s.columnCount = r.columnCount;
    if (r.hasRowIndex != 0) {
        s.rowIndex = r.rowIndex;
        if (r.role == 12) s.index = r.rowIndex;
    }
    if (r.hasColumnIndex != 0) s.columnIndex = r.columnIndex;
    if (r.hasPositionInSet != 0) {
        s.index = r.positionInSet;
        s.positionInSet = r.positionInSet;
        if (r.hasSetSize != 0) s.setSize = r.setSize;
        if (r.hasNumericValue == 0 && r.hasSetSize != 0) {
            const std::uint32_t position =
                r.positionInSet == std::numeric_limits<std::uint32_t>::max() ? r.positionInSet : r.positionInSet + 1;
            e.valueDescription = printed("%u of %u", position, r.setSize);
        }
    }
    if (r.hasRangeValue != 0) {
        standin::ElementRange range;
        if (r.hasRangeMin != 0 && r.hasRangeMax != 0) {
            const double extent = r.rangeMax - r.rangeMin;
            range.maximum = extent > 0 ? extent : 0;  // NaN too
        }
        range.value = r.rangeValue;
        s.range = range;
        e.value = printed("%.3f", r.rangeValue);
    }
    const std::uint64_t length = utf16Length(valueText);
    if (r.hasSelection != 0) s.caretOffset = std::min(std::max(r.selectionStart, r.selectionEnd), length);
    if (!valueText.empty()) {
        s.characterCount = length;
        if (r.hasSelection != 0) {
            const std::uint64_t a = std::min(r.selectionStart, length);
            const std::uint64_t b = std::min(r.selectionEnd, length);
            s.selectionStart = std::min(a, b);
            s.selectionLength = std::max(a, b) - std::min(a, b);
            const std::size_t from = byteOffsetOfUtf16(valueText, *s.selectionStart);
            const std::size_t to = byteOffsetOfUtf16(valueText, *s.selectionStart + s.selectionLength);
            e.selectedText = valueText.substr(from, to - from);
        }
    }
    const std::uint32_t st = r.stateFlags;
    s.enabled = (st & state_flag::enabled) != 0;
    s.focused = (st & state_flag::focused) != 0;
    s.selected = (st & state_flag::selected) != 0;
    if ((st & (state_flag::expanded | state_flag::collapsed)) != 0) s.expanded = (st & state_flag::expanded) != 0;
    s.required = (st & state_flag::required) != 0;
    if (e.valueDescription.empty()) {
        if ((st & state_flag::read_only) != 0) e.valueDescription = "Read only";
        if ((st & state_flag::invalid) != 0) e.valueDescription += e.valueDescription.empty() ? "Invalid" : ", Invalid";
    }
    s.frame = standin::RectD{r.x, r.y, r.width, r.height};
    // A disabled element offers nothing.
    const std::uint32_t offered = s.enabled ? r.actionFlags : 0;
    s.canPress = (offered & kPressFlags) != 0;
    s.canIncrement = (offered & widget_action_flag::increment) != 0;
    s.canDecrement = (offered & widget_action_flag::decrement) != 0;
    s.canCancel = (offered & widget_action_flag::cancel) != 0;
    s.canFocus = (offered & widget_action_flag::focusable) != 0;
    s.valueSettable = (offered & widget_action_flag::value_settable) != 0;
    s.selectionSettable = (offered & widget_action_flag::selection_settable) != 0;
}

const WidgetAccessibilityElement* elementOf(const WidgetAccessibilityModel& model, std::uint64_t widgetId) {
    for (std::size_t i = 0; i < model.count; ++i) {
        if (model.elements[i].shape.widgetId == widgetId) return &model.elements[i];
    }
    return nullptr;
}

}  // namespace

standin::ElementRole elementRoleOf(std::int32_t roleCode) {
    using standin::ElementRole;
    switch (roleCode) {
        case 2:
            return ElementRole::static_text;
        case 3:
            return ElementRole::image;
        case 4:
        case 15:
            return ElementRole::button;
        case 5:
            return ElementRole::text_field;
        case 8:
            return ElementRole::menu;
        case 9:
            return ElementRole::menu_item;
        case 10:
            return ElementRole::list;
        case 12:
            return ElementRole::row;
        case 13:
            return ElementRole::table;
        case 14:
            return ElementRole::cell;
        case 16:
        case 17:
            return ElementRole::check_box;
        case 18:
            return ElementRole::slider;
        case 19:
            return ElementRole::progress_indicator;
        case 20:
            return ElementRole::radio_button;
        default:
            return ElementRole::group;
    }
}

std::optional<WidgetAccessibilityActionCode> pressActionOf(std::uint32_t actionFlags) {
    if ((actionFlags & widget_action_flag::press_alternate) != 0) return WidgetAccessibilityActionCode::press_alternate;
    if ((actionFlags & widget_action_flag::press) != 0) return WidgetAccessibilityActionCode::press;
    if ((actionFlags & widget_action_flag::press_default) != 0) return WidgetAccessibilityActionCode::press_default;
    return std::nullopt;
}

void buildWidgetAccessibility(WidgetAccessibilityModel& model,
                              std::span<const KelvoWidgetAccessibilityNodeRecord> records) {
    model.count = std::min(records.size(), kMaxAccessibilityElements);
    for (std::size_t i = 0; i < model.count; ++i) buildElement(model.elements[i], records[i]);
}

std::size_t accessibleElements(const WidgetAccessibilityModel& model,
                               std::span<standin::AccessibleElement, kMaxAccessibilityElements> out) {
    for (std::size_t i = 0; i < model.count; ++i) {
        const WidgetAccessibilityElement& e = model.elements[i];
        out[i] = e.shape;
        out[i].identifier = e.identifier;
        out[i].label = e.label;
        out[i].value = e.value;
        out[i].placeholder = e.placeholder;
        out[i].valueDescription = e.valueDescription;
        out[i].selectedText = e.selectedText;
        out[i].text = e.text;
    }
    return model.count;
}

bool performWidgetAccessibilityAction(const WidgetAccessibilityModel& model, SurfaceView& view, std::uint64_t widgetId,
                                      const standin::ElementAction& action) {
    const WidgetAccessibilityElement* e = elementOf(model, widgetId);
    if (e == nullptr || !e->shape.enabled) return false;
    const std::uint32_t flags = e->actionFlags;
    using standin::ElementActionKind;
    switch (action.kind) {
        case ElementActionKind::focus:
            if ((flags & widget_action_flag::focusable) == 0) return false;
            return emitWidgetAccessibilityAction(view, widgetId, WidgetAccessibilityActionCode::focus);
        case ElementActionKind::press: {
            std::optional<WidgetAccessibilityActionCode> press = pressActionOf(flags);
            return press && emitWidgetAccessibilityAction(view, widgetId, *press);
        }
        case ElementActionKind::increment:
            if ((flags & widget_action_flag::increment) == 0) return false;
            return emitWidgetAccessibilityAction(view, widgetId, WidgetAccessibilityActionCode::increment);
        case ElementActionKind::decrement:
            if ((flags & widget_action_flag::decrement) == 0) return false;
            return emitWidgetAccessibilityAction(view, widgetId, WidgetAccessibilityActionCode::decrement);
        case ElementActionKind::cancel:
            if ((flags & widget_action_flag::cancel) == 0) return false;
            return emitWidgetAccessibilityAction(view, widgetId, WidgetAccessibilityActionCode::cancel);
        case ElementActionKind::set_value:
            if ((flags & widget_action_flag::value_settable) == 0) return false;
            return emitWidgetAccessibilityAction(view, widgetId, WidgetAccessibilityActionCode::set_text, action.text);
        case ElementActionKind::set_selection:
            if ((flags & widget_action_flag::selection_settable) == 0) return false;
            return emitWidgetAccessibilityAction(view, widgetId, WidgetAccessibilityActionCode::set_selection, {},
                                                 std::pair{action.location, action.length});
    }
    return false;
}

bool emitWidgetAccessibilityAction(SurfaceView& view, std::uint64_t widgetId, WidgetAccessibilityActionCode action,
                                   std::string_view text,
                                   std::optional<std::pair<std::uint64_t, std::uint64_t>> selection) {
    if (!view.bound || view.label.empty() || widgetId == 0 || !view.port.emitEvent) return false;
    KelvoHostEvent event = hostEventOfKind(HostEventKind::widget_accessibility_action);
    event.windowId = view.windowId;
    event.viewLabel = hostString(view.label);
    event.timestampNs = view.port.wallNs ? view.port.wallNs(view.port.context) : 0;
    event.targetId = widgetId;
    event.action = static_cast<std::int32_t>(action);
    event.actionText = hostString(text);
    if (selection) {
        const auto [start, length] = *selection;
        event.hasSelection = 1;
        event.selectionStart = start;
        event.selectionEnd = length > std::numeric_limits<std::uint64_t>::max() - start
                                 ? std::numeric_limits<std::uint64_t>::max()
                                 : start + length;
    }
    view.port.emitEvent(view.port.context, event);
    requestRetainedCanvasFrame(view);
    return true;
}

}  // namespace kelvo
