// Input in a canvas view of a host on the headless backend: what the user does becomes the
// canvas-input events the runtime gets, byte for byte.

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <map>
#include <sstream>

#include "host_harness.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using standin::CanvasInputEvent;
using standin::CanvasInputType;
using testing::HostHarness;

constexpr std::uint64_t kWallStartNs = 1'700'000'000'000'000'000;
constexpr std::string_view kLabel = "pad";

struct Seen {
    KelvoHostEvent event;
    std::string keyText;
    std::string inputText;
    std::uint64_t atNs = 0;
};

// A host with one canvas view at 10, 20 (300 x 200) in window 1, and the input events it sent.
struct CanvasHost {
    HostHarness h;
    std::vector<Seen> seen;

    CanvasHost() {
        h.create();
        h.platform.setWallClockStartNs(kWallStartNs);
        EXPECT_EQ(kelvo_appkit_create_view(h.host, 1, kLabel.data(), kLabel.size(), 12, "", 0, 0, 1, 1, "", 0, "", 0,
                                           "", 0, "", 0, 10, 20, 300, 200),
                  1);
        h.onEvent = [this](const KelvoHostEvent& event) {
            if (event.kind != static_cast<std::uint32_t>(HostEventKind::gpu_surface_input)) return;
            seen.push_back(
                {event, std::string(event.keyText.view()), std::string(event.inputText.view()), h.platform.nowNs()});
        };
    }

    standin::HeadlessStandIn::NativeView& view() { return *h.platform.nativeView(kLabel); }

    void runUntil(std::uint64_t endNs) {
        h.platform.at(endNs, [this] { kelvo_appkit_stop(h.host); });
        h.run();
    }
};

std::map<std::string, std::string, std::less<>> fieldsOf(std::istringstream& in, std::vector<double>* point) {
    std::map<std::string, std::string, std::less<>> fields;
    for (std::string token; in >> token;) {
        const std::size_t equals = token.find('=');
        if (equals == std::string::npos) {
            point->push_back(std::stod(token));
        } else {
            fields[token.substr(0, equals)] = token.substr(equals + 1);
        }
    }
    return fields;
}

std::uint32_t heldKeys(std::string_view names) {
    std::uint32_t keys = 0;
    if (names.find("command") != std::string_view::npos) keys |= standin::kKeyCommand;
    if (names.find("control") != std::string_view::npos) keys |= standin::kKeyControl;
    if (names.find("option") != std::string_view::npos) keys |= standin::kKeyOption;
    if (names.find("shift") != std::string_view::npos) keys |= standin::kKeyShift;
    return keys;
}

std::uint64_t number(std::string_view text) {
    std::uint64_t value = 0;
    const int base = text.starts_with("0x") ? 16 : 10;
    if (base == 16) text.remove_prefix(2);
    std::from_chars(text.data(), text.data() + text.size(), value, base);
    return value;
}

CanvasInputEvent actOf(const std::string& line, std::uint64_t* atNs) {
    std::istringstream in(line);
    std::string at;
    std::string act;
    in >> at >> act;
    *atNs = number(std::string_view(at).substr(1));
    std::vector<double> point;
    auto fields = fieldsOf(in, &point);
    static const std::map<std::string, CanvasInputType, std::less<>> kActs{
        {"down", CanvasInputType::pointerDown},
        {"up", CanvasInputType::pointerUp},
        {"move", CanvasInputType::pointerMove},
        {"drag", CanvasInputType::pointerDrag},
        {"exit", CanvasInputType::pointerExit},
        {"wheel", CanvasInputType::wheel},
        {"key", CanvasInputType::keyDown},
        {"keyup", CanvasInputType::keyUp},
        {"preedit", CanvasInputType::preeditChanged},
        {"commit", CanvasInputType::commit},
    };
    CanvasInputEvent event;
    event.type = kActs.at(act);
    if (point.size() == 2) {
        event.x = point[0];
        event.y = point[1];
    }
    event.button = static_cast<std::int32_t>(number(fields["button"]));
    event.deltaX = fields.contains("dx") ? std::stod(fields["dx"]) : 0;
    event.deltaY = fields.contains("dy") ? std::stod(fields["dy"]) : 0;
    event.keyval = static_cast<std::uint32_t>(number(fields["keyval"]));
    event.character = static_cast<std::uint32_t>(number(fields["char"]));
    event.inputMethodTook = fields["took"] == "1";
    event.text = fields["text"];
    event.cursor = number(fields["cursor"]);
    event.modifiers = heldKeys(fields["keys"]);
    return event;
}

// The event a ">" line names, with its texts; string pointers are left null.
Seen expectedOf(const std::string& line) {
    std::istringstream in(line);
    std::string arrow;
    std::string at;
    std::string kind;
    in >> arrow >> at >> kind;
    std::vector<double> point;
    auto fields = fieldsOf(in, &point);
    static const std::map<std::string, std::int32_t, std::less<>> kKinds{
        {"down", 0},  {"up", 1},     {"move", 2},   {"drag", 3},   {"wheel", 4},   {"keydown", 5},
        {"keyup", 6}, {"insert", 7}, {"update", 8}, {"commit", 9}, {"cancel", 10}, {"leave", 11},
    };
    Seen seen;
    seen.atNs = number(std::string_view(at).substr(1));
    KelvoHostEvent& e = seen.event;
    e.kind = static_cast<std::uint32_t>(HostEventKind::gpu_surface_input);
    e.windowId = 1;
    e.inputKind = kKinds.at(kind);
    if (point.size() == 2) {
        e.x = point[0];
        e.y = point[1];
    }
    e.modifiers = static_cast<std::uint32_t>(number(fields["mods"]));
    e.button = static_cast<std::int32_t>(number(fields["button"]));
    e.deltaX = fields.contains("dx") ? std::stod(fields["dx"]) : 0;
    e.deltaY = fields.contains("dy") ? std::stod(fields["dy"]) : 0;
    e.timestampNs = kWallStartNs + (fields.contains("ts") ? number(fields["ts"]) : seen.atNs);
    if (fields.contains("cursor")) {
        e.hasCompositionCursor = 1;
        e.compositionCursor = number(fields["cursor"]);
    }
    seen.keyText = fields["key"];
    seen.inputText = fields["text"];
    return seen;
}

// The record's bytes with the string pointers cleared; the lengths stay.
std::vector<std::uint8_t> bytesWithoutPointers(KelvoHostEvent event) {
    for (KelvoHostString* s : {&event.windowLabel, &event.shortcutId, &event.shortcutKey, &event.command,
                               &event.viewLabel, &event.keyText, &event.inputText, &event.paths, &event.actionText}) {
        s->bytes = nullptr;
    }
    std::vector<std::uint8_t> bytes(sizeof event);
    std::memcpy(bytes.data(), &event, sizeof event);
    return bytes;
}

void expectSame(const Seen& actual, Seen expected, const std::string& context) {
    expected.event.viewLabel = hostString(kLabel);
    expected.event.keyText.length = expected.keyText.size();
    expected.event.inputText.length = expected.inputText.size();
    EXPECT_EQ(actual.atNs, expected.atNs) << context;
    EXPECT_EQ(actual.keyText, expected.keyText) << context;
    EXPECT_EQ(actual.inputText, expected.inputText) << context;
    EXPECT_EQ(std::string(actual.event.viewLabel.view()), kLabel) << context;
    EXPECT_EQ(bytesWithoutPointers(actual.event), bytesWithoutPointers(expected.event)) << context;
}

struct Script {
    std::string title;
    std::vector<std::string> acts;
    std::vector<std::string> expected;
};

std::vector<Script> scripts() {
    std::vector<Script> all;
    for (const std::string& line : testing::readLines("platform/canvas/input_scripts.txt")) {
        if (line.starts_with("== ")) {
            all.push_back({line.substr(3), {}, {}});
        } else if (line.starts_with("> ")) {
            all.back().expected.push_back(line);
        } else {
            all.back().acts.push_back(line);
        }
    }
    return all;
}

TEST(HostCanvasInput, UserActsBecomeInputEvents) {
    for (const Script& script : scripts()) {
        CanvasHost c;
        std::map<std::uint64_t, std::vector<CanvasInputEvent>> byTime;
        for (const std::string& line : script.acts) {
            std::uint64_t at = 0;
            CanvasInputEvent event = actOf(line, &at);
            byTime[at].push_back(std::move(event));
        }
        for (auto& [at, events] : byTime) {
            c.h.platform.at(at, [&c, &acts = events] {
                for (const CanvasInputEvent& event : acts) c.h.platform.userCanvasInput(c.view(), event);
            });
        }
        c.runUntil(byTime.rbegin()->first + 100'000'000);
        ASSERT_EQ(c.seen.size(), script.expected.size()) << script.title;
        for (std::size_t i = 0; i < c.seen.size(); ++i) {
            expectSame(c.seen[i], expectedOf(script.expected[i]), script.title + ": " + script.expected[i]);
        }
    }
}

TEST(HostCanvasInput, KeysReachTheRuntimeByName) {
    CanvasHost c;
    std::vector<std::pair<std::string, std::uint32_t>> expected;
    std::uint64_t at = 0;
    for (const std::vector<std::string>& row : testing::readTable("platform/canvas/key_names.txt")) {
        CanvasInputEvent key;
        key.type = CanvasInputType::keyDown;
        key.keyval = static_cast<std::uint32_t>(number(row[0]));
        key.character = static_cast<std::uint32_t>(number(row[1]));
        key.modifiers = heldKeys(row[2]);
        expected.emplace_back(row[4] == "\"\"" ? "" : row[4], static_cast<std::uint32_t>(number(row[5])));
        c.h.platform.at(at += 1'000'000, [&c, key] { c.h.platform.userCanvasInput(c.view(), key); });
    }
    c.runUntil(at + 1'000'000);
    ASSERT_EQ(c.seen.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(c.seen[i].event.inputKind, 5) << i;
        EXPECT_EQ(c.seen[i].keyText, expected[i].first) << i;
        EXPECT_EQ(c.seen[i].event.modifiers, expected[i].second) << expected[i].first;
    }
}

// A press gives the view the keyboard; a composition shows the input method where the caret is;
// the runtime's cursor shows over the view.
TEST(HostCanvasInput, ViewTakesFocusShowsCaretAndCursor) {
    CanvasHost c;
    HostHarness& h = c.h;
    h.platform.at(500'000'000, [&] {
        CanvasInputEvent press;
        press.type = CanvasInputType::pointerDown;
        h.platform.userCanvasInput(c.view(), press);
        CanvasInputEvent preedit;
        preedit.type = CanvasInputType::preeditChanged;
        preedit.text = "ka";
        h.platform.userCanvasInput(c.view(), preedit);
    });
    h.platform.at(600'000'000, [&] {
        EXPECT_EQ(kelvo_appkit_set_view_cursor(h.host, 1, kLabel.data(), kLabel.size(), 2), 1);
        EXPECT_EQ(c.view().cursor, standin::CanvasCursor::text);
        EXPECT_EQ(kelvo_appkit_set_view_cursor(h.host, 1, kLabel.data(), kLabel.size(), 3), 1);
        EXPECT_EQ(c.view().cursor, standin::CanvasCursor::resizeHorizontal);
        EXPECT_EQ(kelvo_appkit_set_view_cursor(h.host, 1, kLabel.data(), kLabel.size(), 7), 1);
        EXPECT_EQ(c.view().cursor, standin::CanvasCursor::arrow);
        EXPECT_EQ(kelvo_appkit_set_view_cursor(h.host, 1, "none", 4, 1), 0);
    });
    c.runUntil(700'000'000);
    EXPECT_TRUE(c.view().focused);
    ASSERT_TRUE(c.view().caret.has_value());
    EXPECT_EQ(*c.view().caret, (standin::RectD{0, 0, 1, 200}));
}

// Input that arrives for a view closed meanwhile, or a motion due after it closed, goes nowhere.
TEST(HostCanvasInput, ClosedViewSendsNothing) {
    CanvasHost c;
    HostHarness& h = c.h;
    h.platform.at(1'000'000, [&] {
        CanvasInputEvent move;
        move.type = CanvasInputType::pointerMove;
        h.platform.userCanvasInput(c.view(), move);
    });
    h.platform.at(2'000'000, [&] {
        CanvasInputEvent move;
        move.type = CanvasInputType::pointerMove;
        standin::HeadlessStandIn::NativeView& view = c.view();
        h.platform.userCanvasInput(view, move);  // due one interval after the first
        EXPECT_EQ(kelvo_appkit_close_view(h.host, 1, kLabel.data(), kLabel.size()), 1);
        h.platform.userCanvasInput(view, move);
    });
    c.runUntil(100'000'000);
    EXPECT_EQ(c.seen.size(), 1u);
}

}  // namespace
}  // namespace kelvo
