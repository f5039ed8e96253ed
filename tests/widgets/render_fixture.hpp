#pragma once

// Rendering for the renderer tests: a staging list to emit into, and a text dump of a display list
// (one command a line) that goldens compare. Paths are dumped by element count and bounds, colours
// as 8-bit channels, hashed ids as "#" and 16 hex digits, widget ids as "<widget>.<part>".

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "widgets/display_list.hpp"
#include "widgets/display_list_diff.hpp"
#include "widgets/widget_render.hpp"

namespace kelvo::testing {

struct RenderedList {
    std::vector<CanvasCommand> items = std::vector<CanvasCommand>(kMaxCanvasCommands);
    std::unique_ptr<CanvasDisplayListScratch> pools = std::make_unique<CanvasDisplayListScratch>();
    CanvasCommandArray array{items.data(), items.size(), 0};
    WidgetRenderTarget target{array, *pools};

    void clear() {
        array.count = 0;
        pools->reset();
    }
    [[nodiscard]] std::span<const CanvasCommand> commands() const { return array.commands(); }
};

// Ids at or above this are hashed keys; a widget's part ids lie below it in the tests' trees.
inline constexpr std::uint64_t kHashedIdFloor = std::uint64_t{1} << 40;

inline std::string numberText(float value) {
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc{} ? std::string(text, end) : std::string("?");
}

inline std::string rectText(Rect r) {
    return numberText(r.x) + "," + numberText(r.y) + "," + numberText(r.width) + "," + numberText(r.height);
}

inline std::string colorText(Color c) {
    char text[16];
    const auto byte = [](float v) { return static_cast<unsigned>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); };
    std::snprintf(text, sizeof text, "#%02x%02x%02x%02x", byte(c.r), byte(c.g), byte(c.b), byte(c.a));
    return text;
}

inline std::string paintText(const Paint& paint) {
    return paint.kind == PaintKind::solid ? colorText(paint.color) : std::string("gradient");
}

inline std::string radiiText(const CornerRadii& r) {
    if (r.top_left == r.top_right && r.top_left == r.bottom_right && r.top_left == r.bottom_left) {
        return numberText(r.top_left);
    }
    return numberText(r.top_left) + "/" + numberText(r.top_right) + "/" + numberText(r.bottom_right) + "/" +
           numberText(r.bottom_left);
}

inline std::string idText(std::uint64_t id) {
    if (id >= kHashedIdFloor) {
        char text[24];
        std::snprintf(text, sizeof text, "#%016llx", static_cast<unsigned long long>(id));
        return text;
    }
    return std::to_string(id >> 4) + "." + std::to_string(id & 15);
}

// Text with its line feeds and tabs escaped, so a dump keeps one command a line.
inline std::string escapedText(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out;
}

inline std::string commandText(const CanvasCommand& c) {
    const std::string id = idText(canvasCommandId(c));
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(c))) {
        case CanvasCommandTag::push_clip:
            return "push_clip " + id + " " + rectText(c.push_clip.rect) + " r=" + radiiText(c.push_clip.radii);
        case CanvasCommandTag::pop_clip:
            return "pop_clip";
        case CanvasCommandTag::push_opacity:
            return "push_opacity " + numberText(c.push_opacity.opacity);
        case CanvasCommandTag::pop_opacity:
            return "pop_opacity";
        case CanvasCommandTag::transform: {
            const Affine& m = c.transform;
            return "transform " + numberText(m.a) + "," + numberText(m.b) + "," + numberText(m.c) + "," +
                   numberText(m.d) + "," + numberText(m.tx) + "," + numberText(m.ty);
        }
        case CanvasCommandTag::fill_rect:
            return "fill_rect " + id + " " + rectText(c.fill_rect.rect) + " " + paintText(c.fill_rect.paint);
        case CanvasCommandTag::stroke_rect:
            return "stroke_rect " + id + " " + rectText(c.stroke_rect.rect) + " r=" + radiiText(c.stroke_rect.radii) +
                   " w=" + numberText(c.stroke_rect.stroke.width) + " " + paintText(c.stroke_rect.stroke.paint);
        case CanvasCommandTag::fill_rounded_rect:
            return "fill_rounded_rect " + id + " " + rectText(c.fill_rounded_rect.rect) +
                   " r=" + radiiText(c.fill_rounded_rect.radii) + " " + paintText(c.fill_rounded_rect.paint);
        case CanvasCommandTag::draw_line:
            return "draw_line " + id + " " + numberText(c.draw_line.from.x) + "," + numberText(c.draw_line.from.y) +
                   "-" + numberText(c.draw_line.to.x) + "," + numberText(c.draw_line.to.y) +
                   " w=" + numberText(c.draw_line.stroke.width) + " " + paintText(c.draw_line.stroke.paint);
        case CanvasCommandTag::fill_path:
        case CanvasCommandTag::stroke_path: {
            const bool fill = canvasCommandTagBits(c) == static_cast<unsigned>(CanvasCommandTag::fill_path);
            const std::size_t n = fill ? c.fill_path.elements.size() : c.stroke_path.elements.size();
            const std::optional<Rect> bounds = canvasCommandBounds(c);
            std::string text = std::string(fill ? "fill_path " : "stroke_path ") + id + " n=" + std::to_string(n) +
                               " bounds=" + (bounds ? rectText(*bounds) : std::string("none"));
            if (fill) return text + " " + paintText(c.fill_path.paint);
            return text + " w=" + numberText(c.stroke_path.stroke.width) +
                   (c.stroke_path.cap == LineCap::round ? " round " : " butt ") + paintText(c.stroke_path.stroke.paint);
        }
        case CanvasCommandTag::draw_image:
            return "draw_image " + id + " image=" + std::to_string(c.draw_image.image) + " " +
                   rectText(c.draw_image.dst) + " fit=" + std::to_string(static_cast<int>(c.draw_image.fit)) +
                   " opacity=" + numberText(c.draw_image.opacity);
        case CanvasCommandTag::draw_text: {
            const DrawTextCommand& t = c.draw_text;
            std::string text = "draw_text " + id + " font=" + std::to_string(t.font) + " size=" + numberText(t.size) +
                               " at=" + numberText(t.origin.x) + "," + numberText(t.origin.y) + " " +
                               colorText(t.color) + " \"" + escapedText(t.text) + "\"";
            if (t.layout) {
                text += " box=" + numberText(t.layout->max_width) + "," + numberText(t.layout->line_height) + ",wrap" +
                        std::to_string(static_cast<int>(t.layout->wrap)) + ",align" +
                        std::to_string(static_cast<int>(t.layout->align)) +
                        (t.layout->no_ellipsis ? ",noellipsis" : "");
            }
            return text;
        }
        case CanvasCommandTag::shadow:
            return "shadow " + id + " " + rectText(c.shadow.rect) + " off=" + numberText(c.shadow.offset.y) +
                   " blur=" + numberText(c.shadow.blur) + " spread=" + numberText(c.shadow.spread) + " " +
                   colorText(c.shadow.color);
        case CanvasCommandTag::blur:
            return "blur " + id + " " + rectText(c.blur.rect) + " radius=" + numberText(c.blur.radius);
    }
    return "?";
}

inline std::string dumpCommands(std::span<const CanvasCommand> commands) {
    std::string text;
    for (const CanvasCommand& command : commands) text += commandText(command) + "\n";
    return text;
}

}  // namespace kelvo::testing
