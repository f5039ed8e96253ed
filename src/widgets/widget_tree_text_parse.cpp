#include <array>
#include <optional>

#include "base/fixed.hpp"
#include "base/number_text.hpp"
#include "widgets/widget_tree.hpp"
#include "widgets/widget_tree_fields.hpp"
#include "widgets/widget_tree_text.hpp"

namespace kelvo {

namespace {

using tree_text::FieldDescription;
using tree_text::TextSink;

tl::unexpected<Error> malformed() { return fail(Error::InvalidWidgetTreeText); }

// The next "name=value" pair of a line; false at the end of the line.
Result<bool> nextPair(std::string_view& rest, std::string_view& name, std::string_view& value) {
    std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) return false;
    rest = rest.substr(start);
    std::size_t equals = rest.find('=');
    std::size_t space = rest.find(' ');
    if (equals == std::string_view::npos || equals > space || equals == 0) return malformed();
    name = rest.substr(0, equals);
    std::size_t end = equals + 1;
    if (end < rest.size() && rest[end] == '"') {
        ++end;
        while (end < rest.size() && rest[end] != '"') end += rest[end] == '\\' ? 2 : 1;
        if (end >= rest.size()) return malformed();
        ++end;
        if (end < rest.size() && rest[end] != ' ') return malformed();
    } else {
        end = std::min(rest.find(' ', end), rest.size());
    }
    value = rest.substr(equals + 1, end - equals - 1);
    rest = rest.substr(end);
    return true;
}

const FieldDescription* findField(std::span<const FieldDescription> fields, std::string_view name) {
    for (const FieldDescription& field : fields) {
        if (field.name == name) return &field;
    }
    return nullptr;
}

// Parses a comma-separated list of numbers (possibly empty) onto the end of the value pool.
Result<std::span<const float>> parseValueList(std::string_view value, WidgetTreeStorage& out) {
    float* start = out.chart_values.data() + out.chart_value_count;
    std::size_t count = 0;
    while (!value.empty()) {
        std::size_t comma = value.find(',');
        if (out.chart_value_count + count >= kMaxWidgetChartValues) return fail(Error::WidgetDataListFull);
        if (!tree_text::parseFloatToken(value.substr(0, comma), start[count])) return malformed();
        ++count;
        if (comma == std::string_view::npos) break;
        value = value.substr(comma + 1);
        if (value.empty()) return malformed();
    }
    out.chart_value_count += static_cast<std::uint32_t>(count);
    return std::span<const float>(start, count);
}

Status applyToken(std::string_view name, std::string_view value, WidgetTokens& tokens) {
    TextSink noTexts;
    if (name.starts_with("palette.")) {
        std::string_view entry = name.substr(8);
        for (unsigned i = 0; i < kPaletteSize; ++i) {
            if (tree_text::paletteEntryName(i) == entry) {
                return tree_text::parseFieldValue(tree_text::FieldType::color, value, &tokens.palette[i], noTexts);
            }
        }
        return malformed();
    }
    if (name.starts_with("block.")) {
        std::string_view rest = name.substr(6);
        std::size_t dot = rest.find('.');
        if (dot == std::string_view::npos) return malformed();
        for (unsigned b = 0; b < kControlBlockCount; ++b) {
            if (tree_text::controlBlockName(static_cast<ControlBlock>(b)) != rest.substr(0, dot)) continue;
            const FieldDescription* field = findField(tree_text::blockFields(), rest.substr(dot + 1));
            if (field == nullptr) return malformed();
            return tree_text::parseFieldValue(field->type, value, field->address(&tokens.blocks[b]), noTexts);
        }
        return malformed();
    }
    const FieldDescription* field = findField(tree_text::tokenFields(), name);
    if (field == nullptr) return malformed();
    return tree_text::parseFieldValue(field->type, value, field->address(&tokens), noTexts);
}

class TreeTextParser {
public:
    explicit TreeTextParser(WidgetTreeStorage& out) : out_(out) {}

    Status line(std::string_view text) {
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        std::size_t indent = text.find_first_not_of(' ');
        if (indent == std::string_view::npos || text[indent] == '#') return {};
        std::string_view content = text.substr(indent);
        if (content.front() == '\t') return malformed();
        if (indent % 2 != 0) return malformed();
        const std::size_t depth = indent / 2;
        if (content == "tokens" || content.starts_with("tokens ")) {
            if (depth != 0) return malformed();
            return tokens(content.substr(6));
        }
        if (content.front() == '@') return record(depth, content);
        return node(depth, content);
    }

private:
    Status tokens(std::string_view rest) {
        std::string_view name, value;
        while (TRY(nextPair(rest, name, value))) TRY(applyToken(name, value, out_.tokens));
        return {};
    }

    Status node(std::size_t depth, std::string_view content) {
        if (out_.node_count >= kMaxWidgetNodes) return fail(Error::WidgetNodeLimitReached);
        std::size_t space = std::min(content.find(' '), content.size());
        std::string_view kindText = content.substr(0, space);
        std::uint8_t kind = 0;
        if (std::optional<WidgetKind> named = widgetKindFromName(kindText)) {
            kind = static_cast<std::uint8_t>(*named);
        } else if (std::optional<std::uint64_t> code = parseU64(kindText); code && *code < 64) {
            kind = static_cast<std::uint8_t>(*code);
        } else {
            return malformed();
        }
        const bool first = out_.node_count == 0;
        if ((first && depth != 0) || (!first && depth > out_.nodes[out_.node_count - 1].depth + 1)) {
            return malformed();
        }
        if (depth > kMaxWidgetDepth) return fail(Error::WidgetDepthExceeded);

        const std::size_t index = out_.node_count;
        WidgetLayoutNode& node = out_.nodes[index];
        resetRecord(node);
        node.kind = kind;
        node.depth = depth;
        if (depth > 0) {
            node.has_parent = 1;
            node.parent = lastAtDepth_[depth - 1];
        }
        bool frameGiven = false;
        std::string_view rest = content.substr(space), name, value;
        while (TRY(nextPair(rest, name, value))) {
            const FieldDescription* field = findField(tree_text::nodeFields(), name);
            if (field == nullptr) return malformed();
            TRY(tree_text::parseFieldValue(field->type, value, field->address(&node), texts_));
            frameGiven = frameGiven || name == "frame";
        }
        if (!frameGiven) node.frame = node.rect;
        lastAtDepth_[depth] = static_cast<std::uint16_t>(index);
        recordOwner_ = index;
        ++out_.node_count;
        return {};
    }

    Status record(std::size_t depth, std::string_view content) {
        if (!recordOwner_ || depth != out_.nodes[*recordOwner_].depth + 1) return malformed();
        WidgetLayoutNode& owner = out_.nodes[*recordOwner_];
        std::size_t space = std::min(content.find(' '), content.size());
        std::string_view kind = content.substr(0, space), rest = content.substr(space), name, value;
        if (kind == "@series") {
            if (out_.chart_series_count >= kMaxWidgetChartSeries) return fail(Error::WidgetDataListFull);
            ChartSeries& series = out_.chart_series[out_.chart_series_count];
            series = ChartSeries{};
            while (TRY(nextPair(rest, name, value))) {
                if (name == "values") {
                    series.values = TRY(parseValueList(value, out_));
                } else if (name == "upper") {
                    series.upper = TRY(parseValueList(value, out_));
                } else if (name == "name") {
                    TRY(tree_text::parseQuotedText(value, texts_, series.name));
                } else if (name == "kind" || name == "color") {
                    TRY(tree_text::parseFieldValue(tree_text::FieldType::u8, value,
                                                   name == "kind" ? &series.kind : &series.color_token, texts_));
                } else if (name == "area") {
                    TRY(tree_text::parseFieldValue(tree_text::FieldType::boolean, value, &series.area, texts_));
                } else {
                    return malformed();
                }
            }
            owner.chart.series = extend(owner.chart.series, &series);
            ++out_.chart_series_count;
        } else if (kind == "@category") {
            if (out_.chart_label_count >= kMaxWidgetChartLabels) return fail(Error::WidgetDataListFull);
            std::string_view& label = out_.chart_labels[out_.chart_label_count];
            label = {};
            while (TRY(nextPair(rest, name, value))) {
                if (name != "text") return malformed();
                TRY(tree_text::parseQuotedText(value, texts_, label));
            }
            owner.chart.labels = extend(owner.chart.labels, &label);
            ++out_.chart_label_count;
        } else if (kind == "@menu_item") {
            if (out_.context_menu_item_count >= kMaxWidgetContextMenuItems) return fail(Error::WidgetDataListFull);
            WidgetContextMenuItem& item = out_.context_menu_items[out_.context_menu_item_count];
            item = WidgetContextMenuItem{};
            while (TRY(nextPair(rest, name, value))) {
                if (name == "label") {
                    TRY(tree_text::parseQuotedText(value, texts_, item.label));
                } else if (name == "enabled" || name == "separator") {
                    TRY(tree_text::parseFieldValue(tree_text::FieldType::boolean, value,
                                                   name == "enabled" ? &item.enabled : &item.separator, texts_));
                } else {
                    return malformed();
                }
            }
            owner.context_menu = extend(owner.context_menu, &item);
            ++out_.context_menu_item_count;
        } else if (kind == "@span") {
            if (out_.text_span_count >= kMaxWidgetTextSpans) return fail(Error::WidgetDataListFull);
            TextSpan& span = out_.text_spans[out_.text_span_count];
            span = TextSpan{};
            while (TRY(nextPair(rest, name, value))) TRY(spanField(span, name, value));
            owner.span_count = owner.span_count == 0 ? 1 : owner.span_count + 1;
            if (owner.span_count == 1) owner.spans = &span;
            ++out_.text_span_count;
        } else {
            return malformed();
        }
        return {};
    }

    Status spanField(TextSpan& span, std::string_view name, std::string_view value) {
        using tree_text::FieldType;
        if (name == "text") return tree_text::parseQuotedText(value, texts_, span.text);
        if (name == "scale") return tree_text::parseFieldValue(FieldType::f32, value, &span.size_scale, texts_);
        if (name == "weight") {
            static constexpr std::string_view kWeights[] = {"regular", "medium", "bold"};
            for (std::size_t w = 0; w < std::size(kWeights); ++w) {
                if (value == kWeights[w]) {
                    span.weight = static_cast<TextSpanWeight>(w);
                    return {};
                }
            }
            return malformed();
        }
        if (name == "color" || name == "background") {
            std::optional<std::uint8_t>& token = name == "color" ? span.color : span.background;
            std::uint8_t code = 0;
            TRY(tree_text::parseFieldValue(FieldType::u8, value, &code, texts_));
            token = code;
            return {};
        }
        bool* flag = name == "italic"          ? &span.italic
                     : name == "monospace"     ? &span.monospace
                     : name == "underline"     ? &span.underline
                     : name == "strikethrough" ? &span.strikethrough
                                               : nullptr;
        if (flag == nullptr) return malformed();
        return tree_text::parseFieldValue(FieldType::boolean, value, flag, texts_);
    }

    // A node's records are contiguous in their pool: the first starts the span, later ones grow it.
    template <class T>
    static std::span<const T> extend(std::span<const T> records, const T* added) {
        return records.empty() ? std::span<const T>(added, 1) : std::span<const T>(records.data(), records.size() + 1);
    }

    WidgetTreeStorage& out_;
    TextSink texts_{out_.text.data(), &out_.text_length, out_.text.size()};
    std::array<std::uint16_t, kMaxWidgetDepth + 1> lastAtDepth_{};
    // The node that record lines may still attach to: the last node line, until a child follows.
    std::optional<std::size_t> recordOwner_;
};

}  // namespace

Status applyWidgetTokenAssignment(std::string_view assignment, WidgetTokens& tokens) {
    std::size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) return malformed();
    return applyToken(assignment.substr(0, equals), assignment.substr(equals + 1), tokens);
}

Status parseWidgetTreeText(std::string_view text, WidgetTreeStorage& out, std::uint32_t* errorLine) {
    out.node_count = out.text_length = 0;
    out.chart_series_count = out.chart_value_count = out.chart_label_count = out.context_menu_item_count = 0;
    out.text_span_count = 0;
    resetRecord(out.tokens);
    TreeTextParser parser(out);
    std::uint32_t lineNumber = 0;
    while (!text.empty() || lineNumber == 0) {
        ++lineNumber;
        std::size_t end = std::min(text.find('\n'), text.size());
        Status status = parser.line(text.substr(0, end));
        if (!status) {
            if (errorLine != nullptr) *errorLine = lineNumber;
            out.node_count = 0;
            return status;
        }
        text = end < text.size() ? text.substr(end + 1) : std::string_view{};
    }
    return {};
}

}  // namespace kelvo
