#pragma once

// The widget description (what one widget is and shows), the layout node (a description placed in
// a laid-out tree) and the layout tree (the nodes in pre-order). Texts and arrays are borrowed:
// the records point into the storage the tree was installed into (widget_tree_storage.hpp).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "raster/canvas_geometry.hpp"
#include "text/text_spans.hpp"
#include "widgets/widget_kind.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo {

// The widget's own actions; bit 0 of each byte counts. focus, press and toggle also make the
// widget a focus, pointer and hover target.
struct WidgetActionSet {
    std::uint8_t focus = 0;
    std::uint8_t press = 0;
    std::uint8_t toggle = 0;
    std::uint8_t increment = 0;
    std::uint8_t decrement = 0;
    std::uint8_t set_text = 0;
    std::uint8_t set_selection = 0;
    std::uint8_t select = 0;
    std::uint8_t drag = 0;
    std::uint8_t drop_files = 0;
    std::uint8_t dismiss = 0;
};

// Byte offsets into the widget's text.
struct WidgetTextRange {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
};

struct WidgetInsets {
    float top = 0;
    float right = 0;
    float bottom = 0;
    float left = 0;
};

// One series of a chart: values (and for a band the upper values), name, kind 0 line, 1 bar,
// 2 band, a palette colour token and whether a line fills the area under it.
struct ChartSeries {
    std::span<const float> values;
    std::span<const float> upper;
    std::string_view name;
    std::uint8_t kind = 0;
    std::uint8_t color_token = 0;
    bool area = false;
};

struct ChartData {
    std::span<const ChartSeries> series;
    std::span<const std::string_view> labels;  // category labels, one per point index
    std::optional<float> minimum;
    std::optional<float> maximum;
    std::uint8_t grid_count = 0;
    bool baseline = false;
    bool axis_labels = false;
    bool hover_detail = false;
};

// One entry of a widget's own context menu.
struct WidgetContextMenuItem {
    std::string_view label;
    bool enabled = true;
    bool separator = false;
};

struct WidgetDescription {
    std::string_view label;  // accessible name; empty: the text names the widget
    std::optional<float> semantic_value;
    std::optional<std::uint32_t> position;   // index within its list, grid or row set
    std::optional<std::uint32_t> row_count;  // rows of a grid; on a virtual list item, the list size
    std::uint8_t role = 0;                   // low 5 bits; 0 leaves the role to the kind
    WidgetActionSet actions;
    std::uint8_t hidden = 0;  // neither drawn, hit, focused nor published, with its subtree
    std::uint8_t focusable = 0;
    // The child descriptions, contiguous and in order (intrinsic sizing walks these).
    const WidgetDescription* children = nullptr;
    std::uint64_t child_count = 0;
    std::optional<WidgetTextRange> composition;
    std::optional<WidgetTextRange> selection;
    std::uint64_t id = 0;  // 0: anonymous, never hit, focused, hovered or published
    std::uint64_t columns = 0;
    std::uint64_t virtual_count = 0;  // 0: not virtual
    std::uint64_t virtual_first = 0;
    WidgetInsets insets;
    float gap = 0;
    float item_extent = 0;
    float content_extent = 0;
    std::uint8_t out_of_flow = 0;
    WidgetSize min_size;
    WidgetSize max_size;  // 0 or less: none
    std::uint8_t clips = 0;
    std::uint8_t scrollable = 0;
    ChartData chart;
    std::uint8_t chart_interactive = 0;
    std::string_view text;
    const TextSpan* spans = nullptr;  // rich text; at most 32 are measured and laid out
    std::uint64_t span_count = 0;
    std::string_view placeholder;
    std::string_view icon;
    std::string_view action;
    std::optional<float> stroke_override;
    std::optional<std::int32_t> z_index;
    Affine transform;
    float image_opacity = 1;
    float opacity = 1;
    Rect frame;
    float value = 0;
    std::uint8_t hovered = 0;
    std::uint8_t pressed = 0;
    std::uint8_t focused = 0;
    std::uint8_t disabled = 0;
    std::uint8_t selected = 0;  // also checked, on, and the open state of an accordion
    std::optional<bool> expanded;
    std::uint8_t required = 0;
    std::uint8_t read_only = 0;
    std::uint8_t invalid = 0;
    std::uint8_t variant = 0;
    std::uint8_t size = 0;  // low 3 bits: 0 default, 1 small, 2 large, 3 icon, 4 and 5 heading texts
    std::uint8_t platform_driven = 0;
    std::uint8_t overscroll_mode = 0;  // low 2 bits: 0 the tokens' default, 2 elastic, 1 and 3 not
    std::uint8_t window_drag_region = 0;
    std::uint8_t kind = 0;  // low 6 bits: a WidgetKind
    // Read only by the renderers.
    std::optional<Color> fill_override;
    std::optional<Color> text_color_override;
    std::optional<Color> active_fill_override;
    std::optional<Color> active_text_color_override;
    std::optional<Color> border_color_override;
    std::optional<Color> focus_ring_color_override;
    std::optional<float> radius_override;
    std::uint8_t no_hover = 0;
    float blur_radius = 0;
    std::uint8_t label_no_ellipsis = 0;
    std::uint8_t icon_trailing = 0;
    std::uint8_t blur_level = 0;  // 2 bits
    std::uint8_t blur_from_token = 0;
    std::uint8_t attach_position = 0;  // 2 bits: 0 alone, 1 first, 2 middle, 3 last
    // The accent colours of bubbles, badges, static selections and split dividers.
    std::optional<Color> accent_override;
    std::optional<Color> accent_text_override;
    // How texts, titles and reactions are laid out: alignment (a TextAlign in 2 bits), word
    // wrapping, and cutting a line too long for its box with an ellipsis.
    std::uint8_t text_align = 0;
    std::uint8_t text_wrap = 0;
    std::uint8_t text_ellipsis = 0;
    // The image of an image or avatar widget.
    std::uint64_t image_id = 0;
    std::optional<Rect> image_src;
    ImageFit image_fit = ImageFit::stretch;
    ImageSampling image_sampling = ImageSampling::linear;
    // The widget's own context menu (at most 32 entries are shown).
    std::span<const WidgetContextMenuItem> context_menu;

    [[nodiscard]] WidgetKind widgetKind() const { return widgetKindFromBits(kind); }
    [[nodiscard]] std::span<const WidgetDescription> childDescriptions() const {
        return {children, static_cast<std::size_t>(child_count)};
    }
    [[nodiscard]] std::span<const TextSpan> textSpans() const {
        return {spans, spans != nullptr ? static_cast<std::size_t>(span_count) : 0};
    }
};

// A description placed in a laid-out tree.
struct WidgetLayoutNode : WidgetDescription {
    // 0 for a root; a node's descendants are exactly the nodes after it with a greater depth.
    std::uint64_t depth = 0;
    std::uint64_t parent = 0;  // index of the parent node, read only when has_parent is set
    std::uint8_t has_parent = 0;
    Rect rect;  // in view coordinates, after scrolling
};

// A node's state bytes in description order (bit 0 of each), as hit, focus and semantics results
// carry them.
struct WidgetStateBytes {
    std::uint8_t hovered = 0;
    std::uint8_t pressed = 0;
    std::uint8_t focused = 0;
    std::uint8_t disabled = 0;
    std::uint8_t selected = 0;
    std::uint8_t expanded = 0;
    std::uint8_t expanded_present = 0;
    std::uint8_t required = 0;
    std::uint8_t read_only = 0;
    std::uint8_t invalid = 0;
};

WidgetStateBytes widgetStateBytes(const WidgetDescription& widget);

// The nodes of a view's tree in pre-order (parents before their descendants).
using WidgetLayoutTree = std::span<const WidgetLayoutNode>;

}  // namespace kelvo
