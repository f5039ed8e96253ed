// The menu bar as the host installs it and as a user clicks it, and where context menus open, on
// the headless backend.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/macos/host_harness.hpp"
#include "platform/macos/menu_config.hpp"
#include "support/bar_cells.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using testing::HostOptions;

using testing::kMs;

std::string heldText(std::uint32_t keys) {
    std::string text;
    auto add = [&text](const char* name) { text += (text.empty() ? "" : ",") + std::string(name); };
    if (keys & standin::kKeyCommand) add("cmd");
    if (keys & standin::kKeyOption) add("opt");
    if (keys & standin::kKeyControl) add("ctrl");
    if (keys & standin::kKeyShift) add("shift");
    return text.empty() ? "-" : text;
}

// The bar in the table's notation.
std::vector<std::string> describe(const std::vector<standin::Menu>& bar) {
    std::vector<std::string> lines;
    for (const standin::Menu& menu : bar) {
        lines.push_back("menu " + menu.title);
        for (const standin::MenuEntry& item : menu.items) {
            if (item.separator) {
                lines.emplace_back("-");
                continue;
            }
            lines.push_back(item.title + " | " + (item.key.empty() ? "-" : item.key) + " | " +
                            heldText(item.modifiers) + " | " + (item.enabled ? "on" : "off") + " | " +
                            (item.checked ? "checked" : "-"));
        }
    }
    return lines;
}

// The lines of one bar of the table.
std::vector<std::string> tableBar(std::string_view name) {
    std::vector<std::string> lines;
    bool inside = false;
    for (const std::string& line : testing::readLines("platform/menu_bars.txt")) {
        if (line.starts_with("bar ")) {
            inside = line.substr(4) == name;
            continue;
        }
        if (inside) lines.push_back(line);
    }
    EXPECT_FALSE(lines.empty()) << "no bar " << name;
    return lines;
}

// Every item a click can reach has a tag of its own; separators have none.
void expectTags(const std::vector<standin::Menu>& bar) {
    std::vector<std::uint32_t> seen;
    for (const standin::Menu& menu : bar) {
        for (const standin::MenuEntry& item : menu.items) {
            if (item.separator) {
                EXPECT_EQ(item.tag, 0u);
                continue;
            }
            EXPECT_NE(item.tag, 0u) << item.title;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), item.tag), 0) << item.title;
            seen.push_back(item.tag);
        }
    }
}

const std::vector<testing::MenuItemDescription> kDocumentAndTools = {
    {0, "Save", "doc.save", "s", 1},
    {1, "Export All", "doc.export_all", "E", 2},
    {0, "", "", "", 0, true},
    {1, "Trace", "tools.trace", "t", 4, false, true, true},
    {5, "Lost", "lost", "l", 1},
    {0, "Blank", "", "b", 1},
    {1, "Off", "tools.off", "o", 1, false, false},
    {0, "Export", "doc.export", "", 0},
    {1, "Wrap", "tools.wrap", "", 0, false, true, true},
};

TEST(HostMenuBar, BarsEqualTheTableItemByItem) {
    HostHarness standard;
    ASSERT_NE(standard.create(), nullptr);
    EXPECT_EQ(describe(standard.platform.services().menuBar), tableBar("standard"));
    expectTags(standard.platform.services().menuBar);

    HostHarness plain;
    HostOptions options;
    options.hasWebContent = false;
    ASSERT_NE(plain.create(options), nullptr);
    EXPECT_EQ(describe(plain.platform.services().menuBar), tableBar("without-web-content"));

    testing::setMenus(standard.host, {"Document", "Tools"}, kDocumentAndTools);
    EXPECT_EQ(describe(standard.platform.services().menuBar), tableBar("application"));
    expectTags(standard.platform.services().menuBar);

    testing::setNoMenus(standard.host);
    EXPECT_EQ(describe(standard.platform.services().menuBar), tableBar("standard"));
    expectTags(standard.platform.services().menuBar);

    // A configuration of no menus given as empty arrays, not null ones, brings the standard bar back
    // just the same.
    testing::setMenus(standard.host, {"Document", "Tools"}, kDocumentAndTools);
    testing::setMenus(standard.host, {}, kDocumentAndTools);
    EXPECT_EQ(describe(standard.platform.services().menuBar), tableBar("standard"));
    testing::setMenus(standard.host, {"Document", "Tools"}, kDocumentAndTools);
    const char* noTitle = "";
    const std::uint64_t noLength = 0;
    const std::uint32_t noIndex = 0;
    const std::int32_t noFlag = 0;
    kelvo_appkit_set_menus(standard.host, &noTitle, &noLength, 0, &noIndex, &noTitle, &noLength, &noTitle, &noLength,
                           &noTitle, &noLength, &noIndex, &noFlag, &noFlag, &noFlag, 0);
    EXPECT_EQ(describe(standard.platform.services().menuBar), tableBar("standard"));
    expectTags(standard.platform.services().menuBar);
}

TEST(HostMenuBar, OnlyThePlainTitledStyleCarriesTheBar) {
    for (std::int32_t style : {0, 1, 2, 3, 7}) {
        HostHarness h;
        HostOptions options;
        options.titlebarStyle = style;
        ASSERT_NE(h.create(options), nullptr);
        EXPECT_EQ(h.platform.windows()[0]->menuBar, style == 0 || style == 7) << style;
    }
}

// A menu_command event with its command text taken out, so that two events compare byte for byte.
struct CommandEvent {
    KelvoHostEvent event;
    std::string command;
};

TEST(HostMenuBar, AClickOnACommandItemSendsWhatItsKeySends) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    std::vector<CommandEvent> commands;
    h.onEvent = [&commands](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::menu_command)) return;
        CommandEvent seen{event, std::string(event.command.view())};
        seen.event.command = KelvoHostString{nullptr, seen.event.command.length};
        commands.push_back(seen);
    };
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Second", 6, "second", 6, 0, 1, 0, 0, 0, 0, 400, 300), 1);
    testing::setMenus(h.host, {"Document", "Tools"}, kDocumentAndTools);
    const standin::WindowRef second = h.platform.ref(*h.platform.windows()[1]);
    bool offClicked = true;
    bool lostClicked = true;
    h.platform.at(kMs, [&] {
        h.platform.userFocus(second);
        standin::KeyPress key;
        key.window = second;
        key.characters = "s";
        key.modifiers = standin::kKeyCommand;
        h.platform.userKeyDown(key);
    });
    h.platform.at(2 * kMs, [&] {
        EXPECT_TRUE(h.platform.userClickMenuBar(second, "Document", "Save"));
        EXPECT_TRUE(h.platform.userClickMenuBar(second, "Document", "Export"));
        EXPECT_TRUE(h.platform.userClickMenuBar(second, "Document", "Blank"));  // no command: nothing
        EXPECT_TRUE(h.platform.userClickMenuBar(second, "Tools", "Wrap"));
        offClicked = h.platform.userClickMenuBar(second, "Tools", "Off");
        lostClicked = h.platform.userClickMenuBar(second, "Document", "Lost");
        EXPECT_TRUE(h.platform.userClickMenuBar(h.platform.ref(*h.platform.windows()[0]), "Tools", "Trace"));
    });
    h.run();
    EXPECT_FALSE(offClicked);
    EXPECT_FALSE(lostClicked);
    ASSERT_EQ(commands.size(), 5u);
    std::vector<std::string> texts;
    for (const CommandEvent& seen : commands) {
        texts.push_back(seen.command + " window=" + std::to_string(seen.event.windowId));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"doc.save window=2", "doc.save window=2", "doc.export window=2",
                                               "tools.wrap window=2", "tools.trace window=1"}));
    EXPECT_EQ(std::memcmp(&commands[0].event, &commands[1].event, sizeof(KelvoHostEvent)), 0);
    // The check mark stays the application's to change.
    EXPECT_TRUE(h.platform.services().menuBar[2].items[3].checked);
}

TEST(HostMenuBar, StandardItemsActForTheWindowWhoseBarWasClicked) {
    for (const std::string& line : testing::readLines("platform/menu_clicks.txt")) {
        const std::vector<std::string> cells = testing::barCellsOf(line);
        ASSERT_EQ(cells.size(), 3u) << line;
        HostHarness h;
        HostOptions options;
        options.version = "2.1";
        options.about = "Notes, drawn.";
        ASSERT_NE(h.create(options), nullptr);
        ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Second", 6, "second", 6, 0, 1, 0, 0, 0, 0, 400, 300), 1);
        kelvo_appkit_load_window_webview(h.host, 2, "vexa://app/index.html", 21, 1, nullptr, 0, nullptr, 0, nullptr, 0,
                                         0);
        const standin::WindowRef first = h.platform.ref(*h.platform.windows()[0]);
        const standin::WindowRef second = h.platform.ref(*h.platform.windows()[1]);
        h.platform.at(kMs, [&] {
            h.platform.userFocus(first);
            h.platform.clearLog();
            EXPECT_TRUE(h.platform.userClickMenuBar(second, cells[0], cells[1])) << line;
        });
        h.platform.at(5 * kMs, [&] { kelvo_appkit_stop(h.host); });
        h.run();
        EXPECT_EQ(h.platform.logCount(cells[2]), 1u) << line;
    }
}

TEST(HostMenuBar, HideOthersTakesNoClick) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    EXPECT_FALSE(h.platform.userClickMenuBar(h.platform.ref(*h.platform.windows()[0]), "Vostra Studio", "Hide Others"));
}

TEST(HostMenuBar, EditItemsGiveAFocusedCanvasViewItsEditingKeys) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    ASSERT_EQ(
        kelvo_appkit_create_view(h.host, 1, "pad", 3, 12, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 10, 20, 300, 200),
        1);
    ASSERT_EQ(kelvo_appkit_focus_view(h.host, 1, "pad", 3), 1);
    std::vector<std::string> keys;
    h.onEvent = [&keys](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::gpu_surface_input) || event.inputKind != 5) return;
        keys.push_back(std::string(event.keyText.view()) + " " + std::to_string(event.modifiers));
    };
    const standin::WindowRef window = h.platform.ref(*h.platform.windows()[0]);
    h.platform.at(kMs, [&] {
        h.platform.clearLog();
        // Without a focused text widget only Copy has something to do.
        for (const char* item : {"Copy", "Cut", "Paste", "Select All", "Undo", "Redo"}) {
            EXPECT_TRUE(h.platform.userClickMenuBar(window, "Edit", item)) << item;
        }
    });
    h.platform.at(5 * kMs, [&] { kelvo_appkit_stop(h.host); });
    h.run();
    EXPECT_EQ(keys, std::vector<std::string>{"c 3"});
    EXPECT_EQ(h.platform.logCount("edit."), 0u);
}

TEST(HostContextMenu, OpensAtThePointInTheNamedView) {
    const KelvoContextMenuItemRecord items[] = {{1, 0, "Open", 4, 1, 0}};
    for (const auto& row : testing::readTable("platform/context_menu_points.txt")) {
        ASSERT_GE(row.size(), 6u);
        HostHarness h;
        h.platform.answers().contentFlipped = row[0] == "1";
        ASSERT_NE(h.create(), nullptr);
        for (std::size_t i = 6; i < row.size(); ++i) {
            std::vector<std::string> parts;
            std::istringstream view(row[i]);
            for (std::string part; std::getline(view, part, '/');) parts.push_back(part);
            ASSERT_EQ(parts.size(), 6u) << row[i];
            const std::string parent = parts[1] == "-" ? "" : parts[1];
            ASSERT_EQ(kelvo_appkit_create_view(h.host, 1, parts[0].data(), parts[0].size(), 3, parent.data(),
                                               parent.size(), 0, 1, 1, "", 0, "", 0, "", 0, "", 0, std::stod(parts[2]),
                                               std::stod(parts[3]), std::stod(parts[4]), std::stod(parts[5])),
                      1)
                << row[i];
        }
        const std::string label = row[1] == "-" ? "" : row[1];
        ASSERT_EQ(kelvo_appkit_show_context_menu(h.host, 1, label.data(), label.size(), std::stod(row[2]),
                                                 std::stod(row[3]), 7, items, 1),
                  1);
        h.run();
        const std::string at = " at=" + row[4] + "," + row[5] + " ";
        EXPECT_EQ(h.platform.logCount("menu.popup n=1" + at), 1u) << label << " flipped=" << row[0];
        ASSERT_EQ(h.all(HostEventKind::context_menu_action).size(), 1u);
        EXPECT_EQ(h.all(HostEventKind::context_menu_action)[0]->viewLabel, label);
    }
}

}  // namespace
}  // namespace kelvo
