#include "widgets/widget_tree_fields.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {

namespace {

using tree_text::FieldDescription;
using tree_text::fieldIn;

void writeTokenLine(BoundedWriter& out, std::string_view prefix, std::string_view name, const FieldDescription& field,
                    const void* value) {
    out.write("tokens ");
    out.write(prefix);
    out.write(name);
    out.put('=');
    tree_text::writeFieldValue(out, field.type, value);
    out.put('\n');
}

void writeRecords(BoundedWriter& out, const WidgetLayoutNode& node) {
    auto indent = [&] {
        for (std::uint64_t i = 0; i <= node.depth; ++i) out.write("  ");
    };
    auto values = [&](std::span<const float> list) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (i > 0) out.put(',');
            tree_text::writeFloatToken(out, list[i]);
        }
    };
    for (const ChartSeries& series : node.chart.series) {
        indent();
        out.write("@series kind=");
        out.writeUnsigned(series.kind);
        out.write(" color=");
        out.writeUnsigned(series.color_token);
        out.write(series.area ? " area=1" : " area=0");
        out.write(" name=");
        tree_text::writeQuotedText(out, series.name);
        out.write(" values=");
        values(series.values);
        if (!series.upper.empty()) {
            out.write(" upper=");
            values(series.upper);
        }
        out.put('\n');
    }
    for (std::string_view label : node.chart.labels) {
        indent();
        out.write("@category text=");
        tree_text::writeQuotedText(out, label);
        out.put('\n');
    }
    for (const TextSpan& span : node.textSpans()) {
        static constexpr std::string_view kWeights[] = {"regular", "medium", "bold"};
        indent();
        out.write("@span text=");
        tree_text::writeQuotedText(out, span.text);
        if (span.size_scale != 1.0f) {
            out.write(" scale=");
            tree_text::writeFloatToken(out, span.size_scale);
        }
        const unsigned weight = static_cast<unsigned>(span.weight) & 3u;
        if (weight != 0) {
            out.write(" weight=");
            out.write(weight < 3 ? kWeights[weight] : kWeights[0]);
        }
        const std::pair<std::string_view, bool> flags[] = {{" italic=1", span.italic},
                                                           {" monospace=1", span.monospace},
                                                           {" underline=1", span.underline},
                                                           {" strikethrough=1", span.strikethrough}};
        for (const auto& [text, set] : flags) {
            if (set) out.write(text);
        }
        if (span.color) {
            out.write(" color=");
            out.writeUnsigned(*span.color);
        }
        if (span.background) {
            out.write(" background=");
            out.writeUnsigned(*span.background);
        }
        out.put('\n');
    }
    for (const WidgetContextMenuItem& item : node.context_menu) {
        indent();
        out.write("@menu_item label=");
        tree_text::writeQuotedText(out, item.label);
        out.write(item.enabled ? " enabled=1" : " enabled=0");
        out.write(item.separator ? " separator=1\n" : " separator=0\n");
    }
}

void writeNode(BoundedWriter& out, const WidgetLayoutNode& node) {
    static const WidgetLayoutNode kDefaultNode{};
    for (std::uint64_t i = 0; i < node.depth; ++i) out.write("  ");
    std::string_view kindName = widgetKindName(node.widgetKind());
    if (kindName.empty()) {
        out.writeUnsigned(node.kind & 0x3Fu);
    } else {
        out.write(kindName);
    }
    for (const FieldDescription& field : tree_text::nodeFields()) {
        const void* value = fieldIn(field, &node);
        // The frame is read back as the rect when left out.
        const void* unchanged = field.name == "frame" ? &node.rect : fieldIn(field, &kDefaultNode);
        if (!tree_text::fieldHasValue(field.type, value) || tree_text::fieldValuesSame(field.type, value, unchanged)) {
            continue;
        }
        out.put(' ');
        out.write(field.name);
        out.put('=');
        tree_text::writeFieldValue(out, field.type, value);
    }
    out.put('\n');
    writeRecords(out, node);
}

}  // namespace

void writeWidgetTokenLines(BoundedWriter& out, const WidgetTokens& tokens, bool everyField) {
    const WidgetTokens& defaults = defaultWidgetTokens();
    for (const FieldDescription& field : tree_text::tokenFields()) {
        const void* value = fieldIn(field, &tokens);
        if (!tree_text::fieldHasValue(field.type, value)) continue;
        if (everyField || !tree_text::fieldValuesSame(field.type, value, fieldIn(field, &defaults))) {
            writeTokenLine(out, "", field.name, field, value);
        }
    }
    static const FieldDescription kPaletteField{"", tree_text::FieldType::color, nullptr};
    for (unsigned i = 0; i < kPaletteSize; ++i) {
        if (everyField || !tree_text::fieldValuesSame(kPaletteField.type, &tokens.palette[i], &defaults.palette[i])) {
            writeTokenLine(out, "palette.", tree_text::paletteEntryName(i), kPaletteField, &tokens.palette[i]);
        }
    }
    char prefix[64];
    for (unsigned b = 0; b < kControlBlockCount; ++b) {
        BoundedWriter name(prefix);
        name.write("block.");
        name.write(tree_text::controlBlockName(static_cast<ControlBlock>(b)));
        name.put('.');
        for (const FieldDescription& field : tree_text::blockFields()) {
            const void* value = fieldIn(field, &tokens.blocks[b]);
            if (!tree_text::fieldHasValue(field.type, value)) continue;
            if (everyField || !tree_text::fieldValuesSame(field.type, value, fieldIn(field, &defaults.blocks[b]))) {
                writeTokenLine(out, name.text(), field.name, field, value);
            }
        }
    }
}

bool writeWidgetTreeText(BoundedWriter& out, WidgetLayoutTree tree, const WidgetTokens& tokens) {
    writeWidgetTokenLines(out, tokens, false);
    for (const WidgetLayoutNode& node : tree) writeNode(out, node);
    return !out.overflowed();
}

}  // namespace kelvo
