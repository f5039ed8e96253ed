#include "platform/macos/native_view_kinds.hpp"

#include <array>

namespace kelvo {

namespace {

using standin::AccessibilityRole;
using standin::NativeBackground;
using standin::NativeControl;

constexpr std::int32_t kFirstKind = 1;
constexpr std::array<NativeViewKind, 18> kKinds = {{
    {NativeControl::container, NativeBackground::control, AccessibilityRole::toolbar},         // 1 toolbar
    {NativeControl::container, NativeBackground::control, AccessibilityRole::toolbar},         // 2 title-bar accessory
    {NativeControl::container, NativeBackground::window, AccessibilityRole::group},            // 3 sidebar
    {NativeControl::container, NativeBackground::control, AccessibilityRole::group},           // 4 status bar
    {NativeControl::container, NativeBackground::clear, AccessibilityRole::splitter},          // 5 split
    {NativeControl::container, NativeBackground::clear, AccessibilityRole::group},             // 6 stack
    {NativeControl::push_button, NativeBackground::clear, AccessibilityRole::button},          // 7 button
    {NativeControl::text_field, NativeBackground::clear, AccessibilityRole::text_field},       // 8
    {NativeControl::search_field, NativeBackground::clear, AccessibilityRole::text_field},     // 9
    {NativeControl::label, NativeBackground::clear, AccessibilityRole::static_text},           // 10
    {NativeControl::container, NativeBackground::clear, AccessibilityRole::group},             // 11 spacer
    {NativeControl::canvas, NativeBackground::clear, AccessibilityRole::group},                // 12 canvas view
    {NativeControl::checkbox, NativeBackground::clear, AccessibilityRole::check_box},          // 13
    {NativeControl::toggle_button, NativeBackground::clear, AccessibilityRole::button},        // 14
    {NativeControl::spinner, NativeBackground::clear, AccessibilityRole::progress_indicator},  // 15
    {NativeControl::segmented, NativeBackground::clear, AccessibilityRole::radio_group},       // 16
    {NativeControl::textured_button, NativeBackground::clear, AccessibilityRole::button},      // 17 icon button
    {NativeControl::list_button, NativeBackground::clear, AccessibilityRole::button},          // 18 list item
}};

constexpr std::string_view kDefaultSegments = "One|Two";
constexpr std::string_view kLoneSegment = "Segment";

// The length of the white space or line break at the start of `text`, 0 for none: ASCII's and
// the Unicode space and line separators.
std::size_t spaceAt(std::string_view text) {
    static constexpr std::array<std::string_view, 9> kWide = {
        "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\xA8", "\xE2\x80\xA9",
        "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80", "\xEF\xBB\xBF",
    };
    if (text.empty()) return 0;
    const char c = text.front();
    if (c == ' ' || (c >= '\t' && c <= '\r')) return 1;
    // U+2000 ... U+200A
    if (text.size() >= 3 && text[0] == '\xE2' && text[1] == '\x80' && static_cast<unsigned char>(text[2]) <= 0x8A) {
        return 3;
    }
    for (std::string_view wide : kWide) {
        if (text.starts_with(wide)) return wide.size();
    }
    return 0;
}

std::size_t spaceBefore(std::string_view text) {
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        if (spaceAt(text.substr(text.size() - length)) == length) return length;
    }
    return 0;
}

std::string_view trimmed(std::string_view text) {
    while (std::size_t n = spaceAt(text)) text.remove_prefix(n);
    while (std::size_t n = spaceBefore(text)) text.remove_suffix(n);
    return text;
}

}  // namespace

std::optional<NativeViewKind> nativeViewKind(std::int32_t hostKind) {
    if (hostKind < kFirstKind || hostKind >= kFirstKind + static_cast<std::int32_t>(kKinds.size())) return std::nullopt;
    return kKinds[static_cast<std::size_t>(hostKind - kFirstKind)];
}

bool isNativeControl(standin::NativeControl control) {
    return control != NativeControl::container && control != NativeControl::spinner && control != NativeControl::canvas;
}

std::string_view nativeViewCaption(std::string_view text, std::string_view role, std::string_view label) {
    if (!text.empty()) return text;
    if (!role.empty()) return role;
    return label;
}

std::vector<std::string> segmentLabels(std::string_view text) {
    if (text.empty()) text = kDefaultSegments;
    std::vector<std::string> labels;
    for (;;) {
        const std::size_t bar = text.find('|');
        std::string_view piece = trimmed(text.substr(0, bar));
        if (!piece.empty()) labels.emplace_back(piece);
        if (bar == std::string_view::npos) break;
        text.remove_prefix(bar + 1);
    }
    if (labels.empty()) labels.emplace_back(kLoneSegment);
    return labels;
}

}  // namespace kelvo
