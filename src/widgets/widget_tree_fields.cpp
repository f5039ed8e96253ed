#include "widgets/widget_tree_fields.hpp"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>

#include "base/number_text.hpp"

namespace kelvo::tree_text {

namespace {

#define KELVO_FIELD(Record, path, name, type)                                                  \
    FieldDescription {                                                                         \
        name, FieldType::type, [](void* r) -> void* { return &static_cast<Record*>(r)->path; } \
    }
#define NODE(field, type) KELVO_FIELD(WidgetLayoutNode, field, #field, type)
#define TOKEN(field, type) KELVO_FIELD(WidgetTokens, field, #field, type)
#define BLOCK(field, type) KELVO_FIELD(ControlVisualTokens, field, #field, type)

const FieldDescription kNodeFields[] = {
    NODE(id, u64),
    NODE(rect, rect),
    NODE(frame, rect),
    NODE(label, text),
    NODE(text, text),
    NODE(placeholder, text),
    NODE(icon, text),
    NODE(action, text),
    NODE(semantic_value, opt_f32),
    NODE(position, opt_u32),
    NODE(row_count, opt_u32),
    NODE(role, u8),
    NODE(actions, actions),
    NODE(hidden, u8),
    NODE(focusable, u8),
    NODE(composition, opt_range),
    NODE(selection, opt_range),
    NODE(columns, u64),
    NODE(virtual_count, u64),
    NODE(virtual_first, u64),
    NODE(insets, insets),
    NODE(gap, f32),
    NODE(item_extent, f32),
    NODE(content_extent, f32),
    NODE(out_of_flow, u8),
    NODE(min_size, size2),
    NODE(max_size, size2),
    NODE(clips, u8),
    NODE(scrollable, u8),
    NODE(chart_interactive, u8),
    KELVO_FIELD(WidgetLayoutNode, chart.minimum, "chart_minimum", opt_f32),
    KELVO_FIELD(WidgetLayoutNode, chart.maximum, "chart_maximum", opt_f32),
    KELVO_FIELD(WidgetLayoutNode, chart.grid_count, "chart_grid_count", u8),
    KELVO_FIELD(WidgetLayoutNode, chart.baseline, "chart_baseline", boolean),
    KELVO_FIELD(WidgetLayoutNode, chart.axis_labels, "chart_axis_labels", boolean),
    KELVO_FIELD(WidgetLayoutNode, chart.hover_detail, "chart_hover_detail", boolean),
    NODE(stroke_override, opt_f32),
    NODE(z_index, opt_i32),
    NODE(transform, affine),
    NODE(image_opacity, f32),
    NODE(opacity, f32),
    NODE(value, f32),
    NODE(hovered, u8),
    NODE(pressed, u8),
    NODE(focused, u8),
    NODE(disabled, u8),
    NODE(selected, u8),
    NODE(expanded, opt_bool),
    NODE(required, u8),
    NODE(read_only, u8),
    NODE(invalid, u8),
    NODE(variant, u8),
    NODE(size, u8),
    NODE(platform_driven, u8),
    NODE(overscroll_mode, u8),
    NODE(window_drag_region, u8),
    NODE(fill_override, opt_color),
    NODE(text_color_override, opt_color),
    NODE(active_fill_override, opt_color),
    NODE(active_text_color_override, opt_color),
    NODE(border_color_override, opt_color),
    NODE(focus_ring_color_override, opt_color),
    NODE(radius_override, opt_f32),
    NODE(no_hover, u8),
    NODE(blur_radius, f32),
    NODE(label_no_ellipsis, u8),
    NODE(icon_trailing, u8),
    NODE(blur_level, u8),
    NODE(blur_from_token, u8),
    NODE(attach_position, u8),
    NODE(accent_override, opt_color),
    NODE(accent_text_override, opt_color),
    NODE(text_align, u8),
    NODE(text_wrap, u8),
    NODE(text_ellipsis, u8),
    NODE(image_id, u64),
    NODE(image_src, opt_rect),
    NODE(image_fit, u8),
    NODE(image_sampling, u8),
};

const FieldDescription kTokenFields[] = {
    TOKEN(default_font, u64),
    TOKEN(monospace_font, u64),
    TOKEN(label_font, opt_u64),
    TOKEN(font_size_body, f32),
    TOKEN(font_size_caption, f32),
    TOKEN(font_size_title, f32),
    TOKEN(font_size_label, f32),
    TOKEN(font_size_heading_1, f32),
    TOKEN(font_size_heading_2, f32),
    TOKEN(inset_xs, f32),
    TOKEN(inset_s, f32),
    TOKEN(inset_m, f32),
    TOKEN(inset_l, f32),
    TOKEN(inset_xl, f32),
    TOKEN(radius_xsmall, f32),
    TOKEN(radius_small, f32),
    TOKEN(radius_medium, f32),
    TOKEN(radius_large, f32),
    TOKEN(surface_border_width, f32),
    TOKEN(control_border_width, f32),
    TOKEN(focus_ring_width, f32),
    TOKEN(focus_ring_offset, f32),
    TOKEN(accent_hover_alpha, f32),
    TOKEN(accent_pressed_alpha, f32),
    TOKEN(disabled_opacity, f32),
    TOKEN(selection_alpha, f32),
    TOKEN(tint_alpha, f32),
    TOKEN(tint_hover_alpha, f32),
    TOKEN(tint_pressed_alpha, f32),
    TOKEN(badge_tint_alpha, f32),
    TOKEN(control_hover_alpha, f32),
    TOKEN(slider_track_thickness, f32),
    TOKEN(control_height_medium, f32),
    TOKEN(control_height_large, f32),
    TOKEN(button_inset_small, f32),
    TOKEN(button_inset_medium, f32),
    TOKEN(button_inset_large, f32),
    TOKEN(font_step_small, f32),
    TOKEN(font_step_large, f32),
    TOKEN(icon_label_gap, f32),
    TOKEN(icon_extra_size, f32),
    TOKEN(row_height, f32),
    TOKEN(control_size_step, f32),
    TOKEN(control_height_small, f32),
    TOKEN(slider_knob_size, size2),
    TOKEN(segmented_indicator_thickness, f32),
    TOKEN(tab_list_gap, f32),
    TOKEN(spaced_row_gap, f32),
    TOKEN(spinner_dot_count, u32),
    TOKEN(spinner_ring, f32),
    TOKEN(spinner_dot, f32),
    TOKEN(spinner_radius, f32),
    TOKEN(spinner_min_alpha, f32),
    TOKEN(spinner_period, u32),
    TOKEN(spinner_style, u8),
    TOKEN(panel_shadow_offset_y, f32),
    TOKEN(panel_shadow_blur, f32),
    TOKEN(panel_shadow_spread, f32),
    TOKEN(overlay_shadow_offset_y, f32),
    TOKEN(overlay_shadow_blur, f32),
    TOKEN(overlay_shadow_spread, f32),
    TOKEN(blur_small, f32),
    TOKEN(blur_medium, f32),
    TOKEN(blur_large, f32),
    TOKEN(scrim_blur, f32),
    TOKEN(duration_short, u32),
    TOKEN(duration_medium, u32),
    TOKEN(duration_long, u32),
    TOKEN(spring_mass, f32),
    TOKEN(spring_stiffness, f32),
    TOKEN(spring_damping, f32),
    TOKEN(motion_easing, u8),
    TOKEN(scroll_wheel_scale, f32),
    TOKEN(scroll_velocity_factor, f32),
    TOKEN(scroll_deceleration, f32),
    TOKEN(scroll_stop_velocity, f32),
    TOKEN(overscroll_fraction, f32),
    TOKEN(overscroll_max, f32),
    TOKEN(overscroll_resistance, f32),
    TOKEN(overscroll_spring_rate, f32),
    TOKEN(overscroll_velocity_decay, f32),
    TOKEN(scroll_settle_distance, f32),
    TOKEN(elastic_scroll, boolean),
    TOKEN(z_base, i32),
    TOKEN(z_tooltip, i32),
    TOKEN(z_overlay, i32),
    TOKEN(pixel_scale, f32),
    TOKEN(snap_geometry, boolean),
    TOKEN(snap_text, boolean),
    TOKEN(attached_groups, boolean),
    TOKEN(tabs_underline, boolean),
    TOKEN(density, u8),
};

const FieldDescription kBlockFields[] = {
    BLOCK(fill, opt_color),         BLOCK(hover_fill, opt_color),        BLOCK(active_fill, opt_color),
    BLOCK(pressed_fill, opt_color), BLOCK(disabled_fill, opt_color),     BLOCK(disabled_foreground, opt_color),
    BLOCK(foreground, opt_color),   BLOCK(active_foreground, opt_color), BLOCK(border, opt_color),
    BLOCK(corner_radius, opt_f32),  BLOCK(border_width, opt_f32),
};

#undef BLOCK
#undef TOKEN
#undef NODE
#undef KELVO_FIELD

constexpr std::array<std::string_view, kPaletteSize> kPaletteNames = {
    "background",
    "control",
    "control_hover",
    "control_active",
    "text",
    "text_muted",
    "border",
    "accent",
    "accent_text",
    "tint",
    "10",
    "11",
    "12",
    "13",
    "14",
    "15",
    "16",
    "focus_ring",
    "shadow",
    "scrim",
    "control_disabled",
};

constexpr std::array<std::string_view, kControlBlockCount> kBlockNames = {
#define KELVO_CONTROL_BLOCK_NAME(name) #name,
    KELVO_CONTROL_BLOCKS(KELVO_CONTROL_BLOCK_NAME)
#undef KELVO_CONTROL_BLOCK_NAME
};

constexpr std::array<std::string_view, 11> kActionNames = {
    "focus",         "press",  "toggle", "increment",  "decrement", "set_text",
    "set_selection", "select", "drag",   "drop_files", "dismiss",
};

static_assert(sizeof(WidgetActionSet) == kActionNames.size());

tl::unexpected<Error> malformed() { return fail(Error::InvalidWidgetTreeText); }

// Splits a comma-separated list into exactly `count` floats.
bool parseFloats(std::string_view value, float* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t comma = value.find(',');
        if ((comma == std::string_view::npos) != (i + 1 == count)) return false;
        if (!parseFloatToken(value.substr(0, comma), out[i])) return false;
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
    }
    return true;
}

void writeFloats(BoundedWriter& out, const float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out.put(',');
        writeFloatToken(out, values[i]);
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "#rrggbb", "#rrggbbaa" (each channel byte / 255) or "r,g,b,a".
bool parseColor(std::string_view value, Color& color) {
    if (value.empty() || value[0] != '#') return parseFloats(value, &color.r, 4);
    if (value.size() != 7 && value.size() != 9) return false;
    int bytes[4] = {0, 0, 0, 255};
    for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
        int high = hexDigit(value[i + 1]), low = hexDigit(value[i + 2]);
        if (high < 0 || low < 0) return false;
        bytes[i / 2] = high * 16 + low;
    }
    color = colorFromBytes(bytes[0], bytes[1], bytes[2], bytes[3]);
    return true;
}

// Channels that are exact bytes are written as "#rrggbbaa", others as four numbers.
void writeColor(BoundedWriter& out, const Color& color) {
    const float channels[4] = {color.r, color.g, color.b, color.a};
    int bytes[4];
    for (int i = 0; i < 4; ++i) {
        float scaled = channels[i] * 255.0f;
        if (!(scaled >= 0 && scaled <= 255)) return writeFloats(out, channels, 4);
        bytes[i] = static_cast<int>(std::lround(scaled));
        if (static_cast<float>(bytes[i]) / 255.0f != channels[i] || std::signbit(channels[i])) {
            return writeFloats(out, channels, 4);
        }
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out.put('#');
    for (int byte : bytes) {
        out.put(kHex[byte >> 4]);
        out.put(kHex[byte & 15]);
    }
}

template <class T>
bool parseInteger(std::string_view value, T& out) {
    if constexpr (std::is_signed_v<T>) {
        std::optional<std::int64_t> parsed = parseI64(value);
        if (!parsed || *parsed < std::numeric_limits<T>::min() || *parsed > std::numeric_limits<T>::max()) return false;
        out = static_cast<T>(*parsed);
    } else {
        if (!value.empty() && value[0] == '-') return false;
        std::optional<std::uint64_t> parsed = parseU64(value);
        if (!parsed || *parsed > std::numeric_limits<T>::max()) return false;
        out = static_cast<T>(*parsed);
    }
    return true;
}

template <class T>
Status parseOptional(std::string_view value, void* field, bool (*parse)(std::string_view, T&)) {
    T parsed{};
    if (!parse(value, parsed)) return malformed();
    *static_cast<std::optional<T>*>(field) = parsed;
    return {};
}

bool parseBool(std::string_view value, bool& out) {
    if (value != "0" && value != "1") return false;
    out = value == "1";
    return true;
}

bool parseRange(std::string_view value, WidgetTextRange& range) {
    std::size_t comma = value.find(',');
    return comma != std::string_view::npos && parseInteger(value.substr(0, comma), range.start) &&
           parseInteger(value.substr(comma + 1), range.end);
}

bool parseRect(std::string_view value, Rect& rect) { return parseFloats(value, &rect.x, 4); }

Status parseActions(std::string_view value, WidgetActionSet& actions) {
    actions = {};
    std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&actions);
    while (!value.empty()) {
        std::size_t comma = value.find(',');
        std::string_view name = value.substr(0, comma);
        std::size_t i = 0;
        while (i < kActionNames.size() && kActionNames[i] != name) ++i;
        if (i == kActionNames.size()) return malformed();
        bytes[i] = 1;
        if (comma == std::string_view::npos) break;
        value = value.substr(comma + 1);
        if (value.empty()) return malformed();
    }
    return {};
}

template <class T>
bool sameBits(const void* a, const void* b) {
    return std::memcmp(a, b, sizeof(T)) == 0;
}

template <class T>
bool sameOptional(const void* a, const void* b, bool (*same)(const void*, const void*)) {
    const auto& x = *static_cast<const std::optional<T>*>(a);
    const auto& y = *static_cast<const std::optional<T>*>(b);
    if (!x || !y) return !x && !y;
    return same(&*x, &*y);
}

bool sameFloats(const void* a, const void* b, std::size_t count) {
    return std::memcmp(a, b, count * sizeof(float)) == 0;
}

}  // namespace

std::span<const FieldDescription> nodeFields() { return kNodeFields; }
std::span<const FieldDescription> tokenFields() { return kTokenFields; }
std::span<const FieldDescription> blockFields() { return kBlockFields; }
std::string_view paletteEntryName(unsigned index) { return index < kPaletteSize ? kPaletteNames[index] : ""; }
std::string_view controlBlockName(ControlBlock block) { return kBlockNames[static_cast<unsigned>(block)]; }

bool parseFloatToken(std::string_view token, float& value) {
    if (token == "nan") {
        value = NAN;
    } else if (token == "inf") {
        value = INFINITY;
    } else if (token == "-inf") {
        value = -INFINITY;
    } else if (std::optional<float> parsed = parseF32(token)) {
        value = *parsed;
    } else {
        return false;
    }
    return true;
}

void writeFloatToken(BoundedWriter& out, float value) { writeFloatPlain(out, value); }

void writeQuotedText(BoundedWriter& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.put('"');
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.put('\\');
            out.put(c);
        } else if (c == '\n') {
            out.write("\\n");
        } else if (c == '\t') {
            out.write("\\t");
        } else if (byte < 0x20 || byte == 0x7F) {
            out.write("\\x");
            out.put(kHex[byte >> 4]);
            out.put(kHex[byte & 15]);
        } else {
            out.put(c);
        }
    }
    out.put('"');
}

Status parseQuotedText(std::string_view token, TextSink& texts, std::string_view& text) {
    if (token.size() < 2 || token.front() != '"' || token.back() != '"') return malformed();
    if (texts.data == nullptr) return malformed();
    char* start = texts.data + *texts.length;
    std::size_t written = 0;
    auto put = [&](char c) -> Status {
        if (*texts.length + written >= texts.capacity) return fail(Error::WidgetTextTooLarge);
        start[written++] = c;
        return {};
    };
    for (std::size_t i = 1; i + 1 < token.size(); ++i) {
        char c = token[i];
        if (c == '"') return malformed();
        if (c != '\\') {
            TRY(put(c));
            continue;
        }
        if (++i + 1 >= token.size()) return malformed();
        switch (token[i]) {
            case '"':
            case '\\':
                TRY(put(token[i]));
                break;
            case 'n':
                TRY(put('\n'));
                break;
            case 't':
                TRY(put('\t'));
                break;
            case 'r':
                TRY(put('\r'));
                break;
            case 'x': {
                if (i + 3 >= token.size()) return malformed();
                int high = hexDigit(token[i + 1]), low = hexDigit(token[i + 2]);
                if (high < 0 || low < 0) return malformed();
                TRY(put(static_cast<char>(high * 16 + low)));
                i += 2;
                break;
            }
            default:
                return malformed();
        }
    }
    *texts.length += static_cast<std::uint32_t>(written);
    text = {start, written};
    return {};
}

Status parseFieldValue(FieldType type, std::string_view value, void* field, TextSink& texts) {
    bool ok = true;
    switch (type) {
        case FieldType::f32:
            ok = parseFloatToken(value, *static_cast<float*>(field));
            break;
        case FieldType::u8:
            ok = parseInteger(value, *static_cast<std::uint8_t*>(field));
            break;
        case FieldType::u32:
            ok = parseInteger(value, *static_cast<std::uint32_t*>(field));
            break;
        case FieldType::u64:
            ok = parseInteger(value, *static_cast<std::uint64_t*>(field));
            break;
        case FieldType::i32:
            ok = parseInteger(value, *static_cast<std::int32_t*>(field));
            break;
        case FieldType::boolean:
            ok = parseBool(value, *static_cast<bool*>(field));
            break;
        case FieldType::opt_f32:
            return parseOptional<float>(value, field, parseFloatToken);
        case FieldType::opt_u32:
            return parseOptional<std::uint32_t>(value, field, parseInteger<std::uint32_t>);
        case FieldType::opt_u64:
            return parseOptional<std::uint64_t>(value, field, parseInteger<std::uint64_t>);
        case FieldType::opt_i32:
            return parseOptional<std::int32_t>(value, field, parseInteger<std::int32_t>);
        case FieldType::opt_bool:
            return parseOptional<bool>(value, field, parseBool);
        case FieldType::text:
            return parseQuotedText(value, texts, *static_cast<std::string_view*>(field));
        case FieldType::opt_range:
            return parseOptional<WidgetTextRange>(value, field, parseRange);
        case FieldType::insets:
            ok = parseFloats(value, &static_cast<WidgetInsets*>(field)->top, 4);
            break;
        case FieldType::size2:
            ok = parseFloats(value, &static_cast<WidgetSize*>(field)->width, 2);
            break;
        case FieldType::rect:
            ok = parseRect(value, *static_cast<Rect*>(field));
            break;
        case FieldType::opt_rect:
            return parseOptional<Rect>(value, field, parseRect);
        case FieldType::affine:
            ok = parseFloats(value, &static_cast<Affine*>(field)->a, 6);
            break;
        case FieldType::color:
            ok = parseColor(value, *static_cast<Color*>(field));
            break;
        case FieldType::opt_color:
            return parseOptional<Color>(value, field, parseColor);
        case FieldType::actions:
            return parseActions(value, *static_cast<WidgetActionSet*>(field));
    }
    return ok ? Status{} : malformed();
}

void writeFieldValue(BoundedWriter& out, FieldType type, const void* field) {
    switch (type) {
        case FieldType::f32:
            return writeFloatToken(out, *static_cast<const float*>(field));
        case FieldType::u8:
            return out.writeUnsigned(*static_cast<const std::uint8_t*>(field));
        case FieldType::u32:
            return out.writeUnsigned(*static_cast<const std::uint32_t*>(field));
        case FieldType::u64:
            return out.writeUnsigned(*static_cast<const std::uint64_t*>(field));
        case FieldType::i32:
            return out.writeSigned(*static_cast<const std::int32_t*>(field));
        case FieldType::boolean:
            return out.put(*static_cast<const bool*>(field) ? '1' : '0');
        case FieldType::opt_f32:
            return writeFloatToken(out, **static_cast<const std::optional<float>*>(field));
        case FieldType::opt_u32:
            return out.writeUnsigned(**static_cast<const std::optional<std::uint32_t>*>(field));
        case FieldType::opt_u64:
            return out.writeUnsigned(**static_cast<const std::optional<std::uint64_t>*>(field));
        case FieldType::opt_i32:
            return out.writeSigned(**static_cast<const std::optional<std::int32_t>*>(field));
        case FieldType::opt_bool:
            return out.put(**static_cast<const std::optional<bool>*>(field) ? '1' : '0');
        case FieldType::text:
            return writeQuotedText(out, *static_cast<const std::string_view*>(field));
        case FieldType::opt_range: {
            const WidgetTextRange& range = **static_cast<const std::optional<WidgetTextRange>*>(field);
            out.writeUnsigned(range.start);
            out.put(',');
            return out.writeUnsigned(range.end);
        }
        case FieldType::insets:
            return writeFloats(out, &static_cast<const WidgetInsets*>(field)->top, 4);
        case FieldType::size2:
            return writeFloats(out, &static_cast<const WidgetSize*>(field)->width, 2);
        case FieldType::rect:
            return writeFloats(out, &static_cast<const Rect*>(field)->x, 4);
        case FieldType::opt_rect:
            return writeFloats(out, &(**static_cast<const std::optional<Rect>*>(field)).x, 4);
        case FieldType::affine:
            return writeFloats(out, &static_cast<const Affine*>(field)->a, 6);
        case FieldType::color:
            return writeColor(out, *static_cast<const Color*>(field));
        case FieldType::opt_color:
            return writeColor(out, **static_cast<const std::optional<Color>*>(field));
        case FieldType::actions: {
            const auto* bytes = static_cast<const std::uint8_t*>(field);
            bool first = true;
            for (std::size_t i = 0; i < kActionNames.size(); ++i) {
                if ((bytes[i] & 1u) == 0) continue;
                if (!first) out.put(',');
                out.write(kActionNames[i]);
                first = false;
            }
            return;
        }
    }
}

bool fieldHasValue(FieldType type, const void* field) {
    switch (type) {
        case FieldType::opt_f32:
            return static_cast<const std::optional<float>*>(field)->has_value();
        case FieldType::opt_u32:
            return static_cast<const std::optional<std::uint32_t>*>(field)->has_value();
        case FieldType::opt_u64:
            return static_cast<const std::optional<std::uint64_t>*>(field)->has_value();
        case FieldType::opt_i32:
            return static_cast<const std::optional<std::int32_t>*>(field)->has_value();
        case FieldType::opt_bool:
            return static_cast<const std::optional<bool>*>(field)->has_value();
        case FieldType::opt_range:
            return static_cast<const std::optional<WidgetTextRange>*>(field)->has_value();
        case FieldType::opt_rect:
            return static_cast<const std::optional<Rect>*>(field)->has_value();
        case FieldType::opt_color:
            return static_cast<const std::optional<Color>*>(field)->has_value();
        default:
            return true;
    }
}

bool fieldValuesSame(FieldType type, const void* a, const void* b) {
    switch (type) {
        case FieldType::f32:
            return sameBits<float>(a, b);
        case FieldType::u8:
            return sameBits<std::uint8_t>(a, b);
        case FieldType::u32:
            return sameBits<std::uint32_t>(a, b);
        case FieldType::u64:
            return sameBits<std::uint64_t>(a, b);
        case FieldType::i32:
            return sameBits<std::int32_t>(a, b);
        case FieldType::boolean:
            return *static_cast<const bool*>(a) == *static_cast<const bool*>(b);
        case FieldType::opt_f32:
            return sameOptional<float>(a, b, sameBits<float>);
        case FieldType::opt_u32:
            return sameOptional<std::uint32_t>(a, b, sameBits<std::uint32_t>);
        case FieldType::opt_u64:
            return sameOptional<std::uint64_t>(a, b, sameBits<std::uint64_t>);
        case FieldType::opt_i32:
            return sameOptional<std::int32_t>(a, b, sameBits<std::int32_t>);
        case FieldType::opt_bool:
            return sameOptional<bool>(a, b, [](const void* x, const void* y) {
                return *static_cast<const bool*>(x) == *static_cast<const bool*>(y);
            });
        case FieldType::text:
            return *static_cast<const std::string_view*>(a) == *static_cast<const std::string_view*>(b);
        case FieldType::opt_range:
            return sameOptional<WidgetTextRange>(a, b, sameBits<WidgetTextRange>);
        case FieldType::insets:
        case FieldType::rect:
        case FieldType::color:
            return sameFloats(a, b, 4);
        case FieldType::size2:
            return sameFloats(a, b, 2);
        case FieldType::affine:
            return sameFloats(a, b, 6);
        case FieldType::opt_rect:
            return sameOptional<Rect>(a, b, sameBits<Rect>);
        case FieldType::opt_color:
            return sameOptional<Color>(a, b, sameBits<Color>);
        case FieldType::actions: {
            const auto* x = static_cast<const std::uint8_t*>(a);
            const auto* y = static_cast<const std::uint8_t*>(b);
            for (std::size_t i = 0; i < kActionNames.size(); ++i) {
                if ((x[i] & 1u) != (y[i] & 1u)) return false;
            }
            return true;
        }
    }
    return false;
}

}  // namespace kelvo::tree_text
