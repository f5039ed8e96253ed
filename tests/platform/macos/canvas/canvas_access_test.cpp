#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/macos/canvas/canvas_accessibility.hpp"
#include "platform/macos/canvas/scroll_drivers.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "platform/standin/element_text.hpp"
#include "platform/standin/element_text_units.hpp"
#include "support/golden.hpp"
#include "support/text_cells.hpp"

namespace kelvo {
namespace {

// A bound canvas view on a virtual clock with its drivers and elements; posted report flushes
// wait until the clock reaches them.
struct AccessRig {
    struct Seen {
        KelvoHostEvent event;
        std::string label;
        std::string text;
        std::uint64_t atNs;
        std::uint64_t wallNs;
    };

    SurfaceView view;
    ScrollDriverSet drivers;
    WidgetAccessibilityModel model;
    std::uint64_t nowNs = 0;
    std::uint64_t wallOffsetNs = 1'700'000'000'000'000'000;
    std::multimap<std::uint64_t, int> flushes;  // due time
    std::vector<Seen> events;

    AccessRig() {
        SurfacePort port;
        port.context = this;
        port.monotonicNs = [](void* c) { return rig(c).nowNs; };
        port.wallNs = [](void* c) { return rig(c).nowNs + rig(c).wallOffsetNs; };
        port.emitEvent = [](void* c, const KelvoHostEvent& e) {
            AccessRig& r = rig(c);
            r.events.push_back(Seen{e, std::string(e.viewLabel.view()), std::string(e.actionText.view()), r.nowNs,
                                    r.nowNs + r.wallOffsetNs});
        };
        port.screenMaxFps = [](void*) { return 60.0; };
        initSurfaceView(view, nullptr, port, SurfaceFrame{0, 0, 400, 300});
        bindSurfaceView(view, 7, "list");
        drivers.postContext = this;
        drivers.postFlush = [](void* c, std::uint64_t delay) { rig(c).flushes.emplace(rig(c).nowNs + delay, 0); };
    }

    static AccessRig& rig(void* context) { return *static_cast<AccessRig*>(context); }

    void runUntil(std::uint64_t untilNs) {
        while (!flushes.empty() && flushes.begin()->first <= untilNs) {
            nowNs = std::max(nowNs, flushes.begin()->first);
            flushes.erase(flushes.begin());
            flushScrollDriverEvent(drivers, view);
        }
        nowNs = std::max(nowNs, untilNs);
    }
};

// The event with its texts checked and their pointers cleared, so that the rest compares byte
// for byte with a record built from nothing.
KelvoHostEvent withoutTextPointers(KelvoHostEvent event) {
    for (KelvoHostString* s : {&event.windowLabel, &event.shortcutId, &event.shortcutKey, &event.command,
                               &event.viewLabel, &event.keyText, &event.inputText, &event.paths, &event.actionText}) {
        EXPECT_NE(s->bytes, nullptr);
        s->bytes = nullptr;
    }
    return event;
}

void expectSameBytes(const KelvoHostEvent& seen, KelvoHostEvent expected, const std::string& where) {
    const KelvoHostEvent actual = withoutTextPointers(seen);
    expected = withoutTextPointers(expected);
    EXPECT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0) << where;
}

KelvoHostEvent identity(HostEventKind kind, const AccessRig::Seen& seen) {
    KelvoHostEvent e = hostEventOfKind(kind);
    e.windowId = 7;
    e.viewLabel = hostString("list");
    e.timestampNs = seen.wallNs;
    return e;
}

std::vector<std::string> split(const std::string& text, char by) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, by);) parts.push_back(part);
    return parts;
}

ScrollPhase phaseNamed(const std::string& name) {
    static const std::map<std::string, ScrollPhase> phases{
        {"none", ScrollPhase::none},   {"may_begin", ScrollPhase::may_begin},
        {"began", ScrollPhase::began}, {"changed", ScrollPhase::changed},
        {"ended", ScrollPhase::ended}, {"cancelled", ScrollPhase::cancelled}};
    return phases.at(name);
}

KelvoScrollDriverRecord driverRecord(const std::string& cell) {
    const std::vector<std::string> f = split(cell, ',');
    KelvoScrollDriverRecord r;
    r.id = std::stoull(f.at(0));
    double* numbers[] = {&r.x, &r.y, &r.width, &r.height, &r.contentWidth, &r.contentHeight, &r.offsetY};
    for (std::size_t i = 0; i < std::size(numbers); ++i) *numbers[i] = std::strtod(f.at(i + 1).c_str(), nullptr);
    r.applyOffset = std::stoi(f.at(8));
    r.verticalElasticity = std::stoi(f.at(9));
    return r;
}

TEST(ScrollDrivers, ScriptsOfDiffingClampingRoutingAndCoalescing) {
    std::unique_ptr<AccessRig> rig;
    std::size_t matched = 0;
    std::string scenario;
    for (const std::string& line : testing::readLines("platform/canvas/scroll_drivers.txt")) {
        std::vector<std::string> w = split(line, ' ');
        const std::string where = scenario + ": " + line;
        if (w[0] == "scenario") {
            rig = std::make_unique<AccessRig>();
            matched = 0;
            scenario = line;
        } else if (w[0] == "drivers") {
            std::vector<KelvoScrollDriverRecord> records;
            for (std::size_t i = 1; i < w.size(); ++i) records.push_back(driverRecord(w[i]));
            setScrollDrivers(rig->drivers, rig->view, records);
        } else if (w[0] == "wheel") {
            const bool taken = routeScrollDriverWheel(rig->drivers, rig->view, std::stod(w[1]), std::stod(w[2]), 0,
                                                      std::stod(w[3]), phaseNamed(w[4]), phaseNamed(w[5]));
            EXPECT_EQ(taken, w[6] == "taken") << where;
        } else if (w[0] == "at") {
            rig->runUntil(std::stoull(w[1]));
        } else if (w[0] == "wallback") {
            rig->wallOffsetNs -= 3'600'000'000'000;
        } else if (w[0] == "event") {
            ASSERT_LT(matched, rig->events.size()) << where;
            const AccessRig::Seen& seen = rig->events[matched++];
            EXPECT_EQ(seen.atNs, std::stoull(w[3])) << where;
            EXPECT_EQ(seen.label, "list") << where;
            KelvoHostEvent expected = identity(HostEventKind::scroll_driver, seen);
            expected.targetId = std::stoull(w[1]);
            expected.scrollOffsetY = std::stod(w[2]);
            expectSameBytes(seen.event, expected, where);
        } else if (w[0] == "quiet") {
            EXPECT_EQ(rig->events.size(), matched) << where;
        } else if (w[0] == "offset") {
            bool found = false;
            for (std::size_t i = 0; i < rig->drivers.count; ++i) {
                if (rig->drivers.drivers[i].id != std::stoull(w[1])) continue;
                EXPECT_EQ(rig->drivers.drivers[i].offsetY, std::stod(w[2])) << where;
                found = true;
            }
            EXPECT_TRUE(found) << where;
        } else if (w[0] == "count") {
            EXPECT_EQ(rig->drivers.count, std::stoull(w[1])) << where;
        } else {
            FAIL() << "unknown step " << where;
        }
    }
}

// Node cells name the record's fields; "has" flags follow from a field being named.
KelvoWidgetAccessibilityNodeRecord nodeRecord(const std::map<std::string, std::string>& cells,
                                              std::vector<std::string>& texts) {
    KelvoWidgetAccessibilityNodeRecord r;
    r.widgetId = 7;
    r.stateFlags = 1;
    auto text = [&](const char* key, const char*& bytes, std::uint64_t& length) {
        if (!cells.contains(key)) return;
        const std::string& kept = texts.emplace_back(testing::unescapedCell(cells.at(key)));
        bytes = kept.data();
        length = kept.size();
    };
    auto number = [&](const char* key, std::int32_t& has, auto& value) {
        if (!cells.contains(key)) return;
        has = 1;
        value = static_cast<std::remove_reference_t<decltype(value)>>(std::stod(cells.at(key)));
    };
    texts.reserve(8);
    text("label", r.label, r.labelLength);
    text("value", r.value, r.valueLength);
    text("placeholder", r.placeholder, r.placeholderLength);
    number("numeric", r.hasNumericValue, r.numericValue);
    number("row", r.hasRowIndex, r.rowIndex);
    number("col", r.hasColumnIndex, r.columnIndex);
    number("rows", r.hasRowCount, r.rowCount);
    number("cols", r.hasColumnCount, r.columnCount);
    if (cells.contains("pos")) {
        r.hasPositionInSet = 1;
        r.positionInSet = static_cast<std::uint32_t>(std::stoul(cells.at("pos")));
    }
    number("size", r.hasSetSize, r.setSize);
    number("range", r.hasRangeValue, r.rangeValue);
    number("min", r.hasRangeMin, r.rangeMin);
    number("max", r.hasRangeMax, r.rangeMax);
    if (cells.contains("sel")) {
        const std::vector<std::string> ends = split(cells.at("sel"), ',');
        r.hasSelection = 1;
        r.selectionStart = std::stoull(ends[0]);
        r.selectionEnd = std::stoull(ends[1]);
    }
    if (cells.contains("role")) r.role = std::stoi(cells.at("role"));
    if (cells.contains("state")) r.stateFlags = static_cast<std::uint32_t>(std::stoul(cells.at("state")));
    if (cells.contains("actions")) r.actionFlags = static_cast<std::uint32_t>(std::stoul(cells.at("actions")));
    return r;
}

std::string roleName(standin::ElementRole role) {
    static const char* const names[] = {
        "group", "static_text", "image",     "button", "text_field",         "menu",        "menu_item", "list", "row",
        "table", "cell",        "check_box", "slider", "progress_indicator", "radio_button"};
    return names[static_cast<std::size_t>(role)];
}

std::string optionalText(const std::optional<std::uint64_t>& value) {
    return value ? std::to_string(*value) : std::string();
}

// What an element field reads as in the table.
std::string elementField(const WidgetAccessibilityElement& e, const std::string& key) {
    const standin::AccessibleElement& s = e.shape;
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    if (key == "role") return roleName(s.role);
    if (key == "ident") return e.identifier;
    if (key == "label") return e.label;
    if (key == "value") return e.value;
    if (key == "placeholder") return e.placeholder;
    if (key == "desc") return e.valueDescription;
    if (key == "seltext") return e.selectedText;
    if (key == "text") return e.text;
    if (key == "caret") return optionalText(s.caretOffset);
    if (key == "numeric") return s.numericValue ? ::testing::PrintToString(*s.numericValue) : "";
    if (key == "listpos") {
        if (!s.positionInSet) return "";
        return std::to_string(*s.positionInSet) + "," + (s.setSize ? std::to_string(*s.setSize) : "");
    }
    if (key == "chars") return optionalText(s.characterCount);
    if (key == "sel")
        return s.selectionStart ? std::to_string(*s.selectionStart) + "," + std::to_string(s.selectionLength) : "";
    if (key == "index") return optionalText(s.index);
    if (key == "rowindex") return optionalText(s.rowIndex);
    if (key == "colindex") return optionalText(s.columnIndex);
    if (key == "rows") return optionalText(s.rowCount);
    if (key == "cols") return optionalText(s.columnCount);
    if (key == "expanded") return s.expanded ? flag(*s.expanded) : "";
    if (key == "required") return flag(s.required);
    if (key == "range") {
        if (!s.range) return "";
        char text[96];
        std::snprintf(text, sizeof text, "%g,%g,%g", s.range->minimum, s.range->maximum, s.range->value);
        return text;
    }
    if (key == "offers") {
        std::string offers;
        const std::pair<bool, const char*> all[] = {{s.canPress, "press"},
                                                    {s.canIncrement, "increment"},
                                                    {s.canDecrement, "decrement"},
                                                    {s.canCancel, "cancel"},
                                                    {s.canFocus, "focus"},
                                                    {s.valueSettable, "value"},
                                                    {s.selectionSettable, "selection"}};
        for (const auto& [on, name] : all) {
            if (on) offers += offers.empty() ? name : std::string(",") + name;
        }
        return offers;
    }
    ADD_FAILURE() << "unknown element field " << key;
    return "";
}

std::map<std::string, std::string> cellsOf(const std::vector<std::string>& words, std::size_t from, std::size_t to) {
    std::map<std::string, std::string> cells;
    for (std::size_t i = from; i < to; ++i) {
        const std::size_t eq = words[i].find('=');
        cells[words[i].substr(0, eq)] = words[i].substr(eq + 1);
    }
    return cells;
}

TEST(WidgetAccessibility, ElementsFollowTheirNodeRecords) {
    for (const std::string& line : testing::readLines("platform/canvas/accessibility_elements.txt")) {
        const std::vector<std::string> w = split(line, ' ');
        const std::size_t arrow = static_cast<std::size_t>(std::find(w.begin(), w.end(), "->") - w.begin());
        std::vector<std::string> texts;
        const KelvoWidgetAccessibilityNodeRecord record = nodeRecord(cellsOf(w, 0, arrow), texts);
        WidgetAccessibilityModel model;
        buildWidgetAccessibility(model, std::span(&record, 1));
        ASSERT_EQ(model.count, 1u);
        for (const auto& [key, expected] : cellsOf(w, arrow + 1, w.size())) {
            EXPECT_EQ(elementField(model.elements[0], key), testing::unescapedCell(expected))
                << line << " [" << key << "]";
        }
    }
}

standin::ElementAction actionOf(const std::string& cell) {
    static const std::map<std::string, standin::ElementActionKind> kinds{
        {"focus", standin::ElementActionKind::focus},
        {"press", standin::ElementActionKind::press},
        {"increment", standin::ElementActionKind::increment},
        {"decrement", standin::ElementActionKind::decrement},
        {"cancel", standin::ElementActionKind::cancel},
        {"set_value", standin::ElementActionKind::set_value},
        {"set_selection", standin::ElementActionKind::set_selection}};
    const std::size_t colon = cell.find(':');
    standin::ElementAction action{kinds.at(cell.substr(0, colon))};
    if (colon == std::string::npos) return action;
    const std::string argument = cell.substr(colon + 1);
    if (action.kind == standin::ElementActionKind::set_selection) {
        const std::vector<std::string> range = split(argument, ',');
        action.location = std::stoull(range[0]);
        action.length = std::stoull(range[1]);
    } else {
        action.text = std::string_view(cell).substr(colon + 1);
    }
    return action;
}

TEST(WidgetAccessibility, ActionsBecomeEventsWhereTheElementAllowsThem) {
    for (const std::string& line : testing::readLines("platform/canvas/accessibility_actions.txt")) {
        const std::vector<std::string> w = split(line, ' ');
        AccessRig rig;
        KelvoWidgetAccessibilityNodeRecord record;
        record.stateFlags = static_cast<std::uint32_t>(std::stoul(w[0]));
        record.actionFlags = static_cast<std::uint32_t>(std::stoul(w[1]));
        record.widgetId = std::stoull(w[2]);
        buildWidgetAccessibility(rig.model, std::span(&record, 1));
        const std::string act = w[4];
        const bool sent = performWidgetAccessibilityAction(rig.model, rig.view, std::stoull(w[3]), actionOf(act));
        if (w[6] == "none") {
            EXPECT_FALSE(sent) << line;
            EXPECT_TRUE(rig.events.empty()) << line;
            continue;
        }
        ASSERT_TRUE(sent) << line;
        ASSERT_EQ(rig.events.size(), 1u) << line;
        const AccessRig::Seen& seen = rig.events[0];
        KelvoHostEvent expected = identity(HostEventKind::widget_accessibility_action, seen);
        expected.targetId = record.widgetId;
        expected.action = std::stoi(w[6]);
        const std::map<std::string, std::string> rest = cellsOf(w, 7, w.size());
        const std::string text = rest.contains("text") ? rest.at("text") : "";
        EXPECT_EQ(seen.text, text) << line;
        expected.actionText = hostString(text);
        if (rest.contains("sel")) {
            const std::vector<std::string> ends = split(rest.at("sel"), ',');
            expected.hasSelection = 1;
            expected.selectionStart = std::stoull(ends[0]);
            expected.selectionEnd = std::stoull(ends[1]);
        }
        expectSameBytes(seen.event, expected, line);
    }
}

// Every update replaces the whole list; an element gone takes its actions with it.
TEST(WidgetAccessibility, AnUpdateReplacesTheWholeList) {
    AccessRig rig;
    std::array<KelvoWidgetAccessibilityNodeRecord, 70> records{};
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].widgetId = i + 1;
        records[i].stateFlags = 1;
        records[i].actionFlags = 2;
    }
    buildWidgetAccessibility(rig.model, records);
    EXPECT_EQ(rig.model.count, kMaxAccessibilityElements);
    buildWidgetAccessibility(rig.model, std::span(records).subspan(3, 1));
    ASSERT_EQ(rig.model.count, 1u);
    EXPECT_FALSE(performWidgetAccessibilityAction(rig.model, rig.view, 1, {standin::ElementActionKind::press}));
    EXPECT_TRUE(performWidgetAccessibilityAction(rig.model, rig.view, 4, {standin::ElementActionKind::press}));
    std::array<standin::AccessibleElement, kMaxAccessibilityElements> shapes{};
    ASSERT_EQ(accessibleElements(rig.model, shapes), 1u);
    EXPECT_EQ(shapes[0].identifier, "kelvo-widget-4");
    buildWidgetAccessibility(rig.model, {});
    EXPECT_EQ(rig.model.count, 0u);
}

// The character under a point, as input methods and assistive technology ask for it.
TEST(WidgetAccessibility, TheCharacterAtAPointFollowsTheEvenSpread) {
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/character_index_at.txt")) {
        const std::vector<std::string> f = split(row[0], ',');
        const standin::RectD frame{std::stod(f[0]), std::stod(f[1]), std::stod(f[2]), std::stod(f[3])};
        EXPECT_EQ(standin::elementCharacterIndexAt(frame, std::stoull(row[1]), std::stod(row[2])), std::stoull(row[3]))
            << row[0] << " " << row[1] << " " << row[2];
    }
}

// The characters, words and lines assistive technology reads a widget's text by.
TEST(WidgetAccessibility, TextStretchesRunFromBoundaryToBoundary) {
    using standin::ElementTextPlace;
    using standin::ElementTextUnit;
    const std::map<std::string, ElementTextUnit> units = {{"character", ElementTextUnit::character},
                                                          {"word_start", ElementTextUnit::word_start},
                                                          {"word_end", ElementTextUnit::word_end},
                                                          {"line_start", ElementTextUnit::line_start},
                                                          {"line_end", ElementTextUnit::line_end}};
    const std::map<std::string, ElementTextPlace> places = {
        {"at", ElementTextPlace::at}, {"before", ElementTextPlace::before}, {"after", ElementTextPlace::after}};
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/element_text_stretches.txt")) {
        ASSERT_EQ(row.size(), 7u);
        const standin::ElementTextStretch stretch = standin::elementTextStretch(
            testing::unquote(row[0]), units.at(row[1]), places.at(row[2]), std::stoull(row[3]));
        EXPECT_EQ(std::to_string(stretch.start) + " " + std::to_string(stretch.end), row[5] + " " + row[6])
            << row[0] << " " << row[1] << " " << row[2] << " " << row[3];
    }
}

}  // namespace
}  // namespace kelvo
