// Menus, shortcuts, context menus, the status item and modal dialogs of the host on the headless
// backend.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/macos/host_harness.hpp"
#include "platform/macos/menu_config.hpp"

namespace kelvo {
namespace {

using testing::HostHarness;
using testing::HostOptions;
using testing::setMenus;

using testing::kMs;

std::uint32_t held(std::string_view names) {
    std::uint32_t keys = 0;
    if (names.find("cmd") != std::string_view::npos) keys |= standin::kKeyCommand;
    if (names.find("ctrl") != std::string_view::npos) keys |= standin::kKeyControl;
    if (names.find("opt") != std::string_view::npos) keys |= standin::kKeyOption;
    if (names.find("shift") != std::string_view::npos) keys |= standin::kKeyShift;
    return keys;
}

// A key press in the main window: "@name" for a named key, else the characters typed.
standin::KeyPress press(HostHarness& h, std::string_view typed, std::string_view modifiers) {
    standin::KeyPress key;
    key.window = h.platform.ref(*h.platform.windows()[0]);
    if (typed.starts_with('@')) {
        key.namedKey = typed.substr(1);
    } else {
        key.characters = typed;
    }
    key.modifiers = held(modifiers);
    return key;
}

struct Shortcuts {
    std::vector<std::string> ids;
    std::vector<std::string> keys;
    std::vector<std::uint32_t> masks;

    void set(KelvoAppKitHost* host) const {
        std::vector<const char*> idPointers;
        std::vector<std::uint64_t> idLengths;
        std::vector<const char*> keyPointers;
        std::vector<std::uint64_t> keyLengths;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            idPointers.push_back(ids[i].data());
            idLengths.push_back(ids[i].size());
            keyPointers.push_back(keys[i].data());
            keyLengths.push_back(keys[i].size());
        }
        kelvo_appkit_set_shortcuts(host, idPointers.data(), idLengths.data(), keyPointers.data(), keyLengths.data(),
                                   masks.data(), ids.size());
    }
};

// Records the texts of shortcut and menu events, which do not outlive the callback.
struct CommandLog {
    std::vector<std::string> lines;
    void attach(HostHarness& h) {
        h.onEvent = [this](const KelvoHostEvent& event) {
            std::ostringstream line;
            if (event.kind == static_cast<std::uint32_t>(HostEventKind::shortcut)) {
                line << "shortcut " << event.shortcutId.view() << " key=" << event.shortcutKey.view()
                     << " mask=" << event.modifiers << " window=" << event.windowId;
            } else if (event.kind == static_cast<std::uint32_t>(HostEventKind::menu_command)) {
                line << "menu " << event.command.view() << " window=" << event.windowId;
            } else if (event.kind == static_cast<std::uint32_t>(HostEventKind::context_menu_action)) {
                line << "context " << event.viewLabel.view() << " token=" << event.targetId
                     << " item=" << event.menuItemId << " window=" << event.windowId;
            } else {
                return;
            }
            lines.push_back(line.str());
        };
    }
};

TEST(HostShortcuts, MatchTheTable) {
    std::ifstream file(KELVO_TEST_DATA_DIR "/platform/shortcut_matching.txt");
    ASSERT_TRUE(file.is_open());
    struct Case {
        std::string line;
        std::string expect;
    };
    std::vector<Case> cases;
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    CommandLog log;
    log.attach(h);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string expect;
        std::string typed;
        std::string modifiers;
        fields >> expect >> typed >> modifiers;
        Shortcuts shortcuts;
        for (std::string entry; fields >> entry;) {
            std::size_t first = entry.find(':');
            std::size_t last = entry.rfind(':');
            shortcuts.ids.push_back(entry.substr(0, first));
            shortcuts.keys.push_back(entry.substr(first + 1, last - first - 1));
            shortcuts.masks.push_back(static_cast<std::uint32_t>(std::stoul(entry.substr(last + 1))));
        }
        // Each case at its own instant: the list, then the key press.
        h.platform.at((cases.size() + 1) * kMs, [&h, shortcuts, typed, modifiers] {
            shortcuts.set(h.host);
            h.platform.userKeyDown(press(h, typed, modifiers == "-" ? "" : modifiers));
        });
        cases.push_back({line, expect});
    }
    h.run();

    std::vector<std::string> outcomes;
    for (const std::string& entry : h.platform.log()) {
        if (entry.starts_with("key.consumed")) outcomes.push_back("fired");
        if (entry.starts_with("key.passed")) outcomes.push_back("-");
    }
    ASSERT_EQ(outcomes.size(), cases.size());
    const std::vector<std::string>& fired = log.lines;
    std::size_t next = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i].expect == "-") {
            EXPECT_EQ(outcomes[i], "-") << cases[i].line;
            continue;
        }
        ASSERT_EQ(outcomes[i], "fired") << cases[i].line;
        ASSERT_LT(next, fired.size());
        EXPECT_TRUE(fired[next].starts_with("shortcut " + cases[i].expect + " "))
            << cases[i].line << ": " << fired[next];
        next += 1;
    }
}

TEST(HostShortcuts, EventCarriesTheShortcutsOwnKeyMaskAndWindow) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    CommandLog log;
    log.attach(h);
    Shortcuts{{"zoom.in"}, {"="}, {1 | 2}}.set(h.host);
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 7, "Second", 6, "second", 6, 0, 1, 0, 0, 0, 0, 400, 300), 1);
    standin::KeyPress key = press(h, "+", "cmd,shift");
    key.window = h.platform.ref(*h.platform.windows()[1]);
    h.platform.userKeyDown(key);
    h.run();
    EXPECT_EQ(log.lines, std::vector<std::string>{"shortcut zoom.in key== mask=3 window=7"});
}

std::vector<std::string> titles(const std::vector<standin::MenuEntry>& items) {
    std::vector<std::string> out;
    for (const standin::MenuEntry& item : items) out.push_back(item.separator ? "-" : item.title);
    return out;
}

TEST(HostMenus, StandardBarFollowsWebContent) {
    HostHarness withWeb;
    ASSERT_NE(withWeb.create(), nullptr);
    const std::vector<standin::Menu>& bar = withWeb.platform.services().menuBar;
    ASSERT_EQ(bar.size(), 5u);
    EXPECT_EQ(titles(bar[0].items), (std::vector<std::string>{"About Vostra Studio", "-", "Hide Vostra Studio",
                                                              "Hide Others", "Show All", "-", "Quit Vostra Studio"}));
    EXPECT_EQ(bar[2].title, "Edit");
    EXPECT_EQ(titles(bar[2].items),
              (std::vector<std::string>{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Select All"}));
    EXPECT_EQ(bar[2].items[1].key, "z");
    EXPECT_EQ(bar[2].items[1].modifiers, standin::kKeyCommand | standin::kKeyShift);
    EXPECT_EQ(titles(bar[3].items),
              (std::vector<std::string>{"Reload", "Toggle Web Inspector", "-", "Enter Full Screen"}));
    EXPECT_EQ(bar[3].items[3].modifiers, standin::kKeyCommand | standin::kKeyControl);
    EXPECT_EQ(titles(bar[4].items), (std::vector<std::string>{"Minimize", "Zoom", "-", "Bring All to Front"}));

    HostHarness plain;
    HostOptions options;
    options.hasWebContent = false;
    ASSERT_NE(plain.create(options), nullptr);
    const std::vector<standin::Menu>& plainBar = plain.platform.services().menuBar;
    EXPECT_EQ(titles(plainBar[2].items), (std::vector<std::string>{"Cut", "Copy", "Paste", "Select All"}));
    EXPECT_EQ(titles(plainBar[3].items), std::vector<std::string>{"Enter Full Screen"});
}

TEST(HostMenus, ApplicationMenusReplaceTheStandardOnesAndAnswerTheirKeys) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    CommandLog log;
    log.attach(h);
    setMenus(h.host, {"Document", "Tools"},
             {{0, "Save", "doc.save", "s", 1},
              {1, "Export", "doc.export", "e", 2 | 16},
              {0, "", "", "", 0, true},
              {1, "Trace", "tools.trace", "t", 4},
              {5, "Lost", "lost", "l", 1},
              {0, "Blank", "", "b", 1},
              {1, "Off", "tools.off", "o", 1, false, false}});
    const std::vector<standin::Menu>& bar = h.platform.services().menuBar;
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].title, "Vostra Studio");
    EXPECT_EQ(titles(bar[1].items), (std::vector<std::string>{"Save", "-", "Blank"}));
    EXPECT_EQ(titles(bar[2].items), (std::vector<std::string>{"Export", "Trace", "Off"}));
    EXPECT_EQ(bar[1].items[0].modifiers, standin::kKeyCommand);
    EXPECT_EQ(bar[2].items[0].modifiers, standin::kKeyCommand | standin::kKeyShift);
    EXPECT_EQ(bar[2].items[1].modifiers, standin::kKeyControl);
    EXPECT_FALSE(bar[2].items[2].enabled);

    for (auto [typed, modifiers] : {std::pair("s", "cmd"), std::pair("E", "cmd,shift"), std::pair("t", "ctrl"),
                                    std::pair("b", "cmd"), std::pair("o", "cmd"), std::pair("l", "cmd"),
                                    std::pair("c", "cmd"), std::pair("w", "cmd"), std::pair("q", "cmd")}) {
        h.platform.userKeyDown(press(h, typed, modifiers));
    }
    h.run();
    // Items without a command send nothing; disabled items, items of no menu and the standard
    // menus' keys (gone with the standard bar) leave the key to the view; Quit stays.
    EXPECT_EQ(log.lines, (std::vector<std::string>{"menu doc.save window=1", "menu doc.export window=1",
                                                   "menu tools.trace window=1"}));
    std::vector<std::string> keys;
    for (const std::string& entry : h.platform.log()) {
        if (entry.starts_with("key.")) keys.push_back(entry);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"key.consumed s", "key.consumed E", "key.consumed t", "key.consumed b",
                                              "key.passed o", "key.passed l", "key.passed c", "key.passed w",
                                              "key.consumed q"}));
    EXPECT_EQ(h.count(HostEventKind::app_shutdown), 1u);

    testing::setNoMenus(h.host);
    EXPECT_EQ(h.platform.services().menuBar.size(), 5u);
}

TEST(HostMenus, StandardKeysActOnTheKeyWindowAndLeaveEditingToTheView) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Second", 6, "second", 6, 0, 1, 0, 0, 0, 0, 400, 300), 1);
    h.platform.at(kMs, [&h] {
        const standin::WindowRef second = h.platform.ref(*h.platform.windows()[1]);
        h.platform.userFocus(second);
        for (auto [typed, modifiers] :
             {std::pair("c", "cmd"), std::pair("Z", "cmd,shift"), std::pair("f", "cmd,ctrl"), std::pair("h", "cmd"),
              std::pair("h", "cmd,opt"), std::pair("m", "cmd"), std::pair("w", "cmd")}) {
            standin::KeyPress key = press(h, typed, modifiers);
            key.window = second;
            h.platform.userKeyDown(key);
        }
    });
    h.run();
    std::vector<std::string> acts;
    for (const std::string& entry : h.platform.log()) {
        if (entry.starts_with("key.") || entry.starts_with("window.action") ||
            entry.starts_with("window.miniaturize") || entry.starts_with("window.destroy")) {
            acts.push_back(entry);
        }
    }
    // Window 2 was made last and takes the keys.
    // The keys are all pressed before the first action runs; Hide Others is off and leaves its
    // key to the view.
    EXPECT_EQ(acts, (std::vector<std::string>{"key.passed c", "key.passed Z", "key.consumed f", "key.consumed h",
                                              "key.passed h", "key.consumed m", "key.consumed w",
                                              "window.action toggle_full_screen n=2", "window.action hide_app n=2",
                                              "window.miniaturize n=2", "window.destroy n=2"}));
}

// A page edits with its own keys and sees undo and redo first: those it does not cancel come back
// and do what the Edit menu's items do; those it cancels (an editor with an undo of its own) do
// nothing more. A text field keeps all of them.
TEST(HostMenus, UndoAndRedoKeysGoToThePageFirst) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    kelvo_appkit_load_window_webview(h.host, 1, "<p>x</p>", 8, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    auto typeEditingKeys = [&h] {
        for (auto [typed, modifiers] : {std::pair("z", "cmd"), std::pair("Z", "cmd,shift"), std::pair("c", "cmd"),
                                        std::pair("a", "cmd"), std::pair("z", "cmd,opt")}) {
            h.platform.userKeyDown(press(h, typed, modifiers));
        }
    };
    h.platform.at(kMs, typeEditingKeys);
    h.platform.at(10 * kMs, [&h] { h.platform.webViews()[0]->cancelsKeys = true; });
    h.platform.at(11 * kMs, typeEditingKeys);
    h.platform.at(20 * kMs, [&h] {
        ASSERT_EQ(kelvo_appkit_create_view(h.host, 1, "field", 5, 8, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 0, 0,
                                           100, 20),
                  1);
        ASSERT_EQ(kelvo_appkit_focus_view(h.host, 1, "field", 5), 1);
    });
    h.platform.at(30 * kMs, typeEditingKeys);
    h.platform.at(40 * kMs, [&h] { kelvo_appkit_stop(h.host); });
    h.run();
    std::vector<std::string> acts;
    for (const std::string& entry : h.platform.log()) {
        if (entry.starts_with("key.") || entry.starts_with("edit.") || entry.starts_with("page.")) {
            acts.push_back(entry);
        }
    }
    EXPECT_EQ(
        acts,
        (std::vector<std::string>{
            // The page lets every key pass: undo and redo come back and act.
            "key.passed z", "key.passed Z", "key.passed c", "key.passed a", "key.passed z", "edit.undo n=1 view=1",
            "page.key z given back, consumed", "edit.redo n=1 view=1", "page.key Z given back, consumed",
            "page.key c given back", "page.key a given back", "page.key z given back",
            // The page cancels them.
            "key.passed z", "page.key z cancelled", "key.passed Z", "page.key Z cancelled", "key.passed c",
            "page.key c cancelled", "key.passed a", "page.key a cancelled", "key.passed z", "page.key z cancelled",
            // A text field.
            "key.passed z", "key.passed Z", "key.passed c", "key.passed a", "key.passed z"}));
}

KelvoContextMenuItemRecord item(std::uint32_t id, std::string_view label, bool enabled = true) {
    return KelvoContextMenuItemRecord{id, 0, label.data(), label.size(), enabled ? 1 : 0, 0};
}

TEST(HostContextMenu, SendsOneEventAfterTheMenuClosed) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    CommandLog log;
    log.attach(h);
    const KelvoContextMenuItemRecord items[] = {item(3, "Cut"), KelvoContextMenuItemRecord{9, 0, "x", 1, 1, 1},
                                                item(4, "Paste", false)};
    EXPECT_EQ(kelvo_appkit_show_context_menu(h.host, 1, "canvas", 6, 10, 20, 77, items, 0), 0);
    EXPECT_EQ(kelvo_appkit_show_context_menu(h.host, 9, "", 0, 10, 20, 77, items, 3), 0);
    // Picked, dismissed, and a pick of a disabled item (which cannot be picked).
    h.platform.services().menuChoices = {3, 0, 4};
    for (std::uint64_t token : {71, 72, 73}) {
        EXPECT_EQ(kelvo_appkit_show_context_menu(h.host, 1, "canvas", 6, 10.5, 20, token, items, 3), 1);
    }
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(h.platform.logCount("menu.popup"), 0u);
    h.run();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"context canvas token=71 item=3 window=1",
                                                   "context canvas token=72 item=0 window=1",
                                                   "context canvas token=73 item=0 window=1"}));
    EXPECT_EQ(h.platform.logCount("menu.popup n=1 at=10.5,20 items=3:Cut,-,4:Paste:off,"), 3u);
    const testing::SeenEvent* first = h.all(HostEventKind::context_menu_action).front();
    EXPECT_EQ(first->event.timestampNs, first->atNs + 1'700'000'000'000'000'000ull);
}

TEST(HostContextMenu, WindowClosedBeforeThePopUpStillGetsItsEvent) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    CommandLog log;
    log.attach(h);
    ASSERT_EQ(kelvo_appkit_create_window(h.host, 2, "Second", 6, "second", 6, 0, 1, 0, 0, 0, 0, 400, 300), 1);
    const KelvoContextMenuItemRecord items[] = {item(1, "Open")};
    h.platform.services().menuChoices = {1};
    ASSERT_EQ(kelvo_appkit_show_context_menu(h.host, 2, "", 0, 0, 0, 5, items, 1), 1);
    ASSERT_EQ(kelvo_appkit_close_window(h.host, 2), 1);
    h.run();
    EXPECT_EQ(log.lines, std::vector<std::string>{"context  token=5 item=0 window=2"});
    EXPECT_EQ(h.platform.logCount("menu.popup"), 0u);
}

TEST(HostStatusItem, FallsBackToTheFirstCharacterOfTheName) {
    HostHarness h;
    HostOptions options;
    options.appName = "\xF0\x9D\x92\xB1ostra";  // an astral first character
    ASSERT_NE(h.create(options), nullptr);
    const auto& item = h.platform.services().statusItem;

    kelvo_appkit_update_tray_title(h.host, "x", 1);  // no item yet: nothing
    EXPECT_EQ(h.platform.logCount("status."), 0u);

    kelvo_appkit_create_tray(h.host, nullptr, 0, nullptr, 0, "Tip", 3);
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->variableLength);
    EXPECT_EQ(item->title, "\xF0\x9D\x92\xB1");
    EXPECT_EQ(item->tooltip, "Tip");

    h.platform.answers().iconFilesReadable = false;
    kelvo_appkit_create_tray(h.host, "/icons/tray.png", 15, "Sync", 4, nullptr, 0);
    EXPECT_TRUE(item->variableLength);
    EXPECT_EQ(item->title, "Sync");
    kelvo_appkit_update_tray_title(h.host, "", 0);
    EXPECT_EQ(item->title, "\xF0\x9D\x92\xB1");
    EXPECT_TRUE(item->variableLength);

    h.platform.answers().iconFilesReadable = true;
    kelvo_appkit_create_tray(h.host, "/icons/tray.png", 15, nullptr, 0, nullptr, 0);
    EXPECT_TRUE(item->hasImage);
    EXPECT_EQ(item->title, "");
    kelvo_appkit_update_tray_title(h.host, nullptr, 0);
    EXPECT_EQ(item->title, "");
    EXPECT_FALSE(item->variableLength);

    kelvo_appkit_remove_tray(h.host);
    EXPECT_FALSE(item);
}

// A title update sets the item's width after its title: as wide as the text, or square.
TEST(HostStatusItem, ATitleUpdateSetsTheWidthAfterTheTitle) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    const auto& item = h.platform.services().statusItem;
    ASSERT_EQ(kelvo_appkit_create_tray(h.host, "/icons/tray.png", 15, nullptr, 0, nullptr, 0), 1);
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->variableLength);
    h.platform.clearLog();
    kelvo_appkit_update_tray_title(h.host, "Syncing", 7);
    EXPECT_TRUE(item->variableLength);
    kelvo_appkit_update_tray_title(h.host, "", 0);
    EXPECT_FALSE(item->variableLength);
    kelvo_appkit_update_tray_title(h.host, "Done", 4);
    EXPECT_EQ(item->title, "Done");
    std::vector<std::string> lengths;
    for (const std::string& entry : h.platform.log()) {
        if (entry.starts_with("status.length")) lengths.push_back(entry);
    }
    EXPECT_EQ(lengths,
              (std::vector<std::string>{"status.length variable", "status.length square", "status.length variable"}));
}

TEST(HostStatusItem, NoItemWhereTheDesktopHasNowhereToShowIt) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    const auto& item = h.platform.services().statusItem;
    ASSERT_EQ(kelvo_appkit_create_tray(h.host, nullptr, 0, "Sync", 4, "Tip", 3), 1);
    ASSERT_TRUE(item);

    // The earlier item goes, and nothing takes its place.
    h.platform.answers().statusItemShows = false;
    h.platform.clearLog();
    EXPECT_EQ(kelvo_appkit_create_tray(h.host, nullptr, 0, "Sync", 4, "Tip", 3), 0);
    EXPECT_FALSE(item);
    const std::uint32_t ids[] = {1};
    const char* labels[] = {"Now"};
    const std::uint64_t lengths[] = {3};
    const std::uint32_t flags[] = {0};
    const std::uint32_t enabled[] = {1};
    kelvo_appkit_update_tray_menu(h.host, ids, labels, lengths, flags, enabled, 1);
    kelvo_appkit_update_tray_title(h.host, "Later", 5);
    EXPECT_EQ(h.platform.log(), (std::vector<std::string>{"status.remove", "status.create variable nowhere"}));
}

TEST(HostStatusItem, MenuChoicesReachTheTrayCallback) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    std::vector<std::uint32_t> actions;
    kelvo_appkit_set_tray_callback(
        h.host,
        [](void* context, std::uint32_t id) { static_cast<std::vector<std::uint32_t>*>(context)->push_back(id); },
        &actions);
    kelvo_appkit_create_tray(h.host, nullptr, 0, "Sync", 4, nullptr, 0);
    const std::uint32_t ids[] = {11, 12, 13};
    const char* labels[] = {"Now", "", "Paused"};
    const std::uint64_t lengths[] = {3, 0, 6};
    const std::uint32_t separators[] = {0, 1, 0};
    const std::uint32_t enabled[] = {1, 1, 0};
    kelvo_appkit_update_tray_menu(h.host, ids, labels, lengths, separators, enabled, 3);
    const auto& menu = h.platform.services().statusItem->menu;
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_TRUE(menu[1].separator);
    for (std::uint32_t tag : {11, 13, 12, 11}) h.platform.userPickStatusItem(tag);
    h.run();
    EXPECT_EQ(actions, (std::vector<std::uint32_t>{11, 11}));
}

TEST(HostModal, EventsWaitUntilTheDialogClosedAndFramesMerge) {
    HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    standin::WindowRef main = h.platform.ref(*h.platform.windows()[0]);
    std::uint64_t closedAt = 0;
    bool opened = false;
    std::vector<std::size_t> seenWhileOpen;
    // The runtime answers the first frame by asking for a save dialog that stays open 100 ms.
    h.onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::frame_requested) || opened) return;
        opened = true;
        const std::uint64_t start = h.platform.nowNs();
        h.platform.services().dialogAnswers.push_back({{"/docs/a.vrs"}, -1, 100 * kMs});
        h.platform.at(start + 10 * kMs, [&] {
            h.platform.userMove(main, 40, 50);
            kelvo_appkit_request_frame(h.host);
            kelvo_appkit_start_timer(h.host, 42, 5 * kMs, 0);
        });
        h.platform.at(start + 30 * kMs, [&] {
            seenWhileOpen.push_back(h.events.size());
            kelvo_appkit_request_frame(h.host);
        });
        KelvoSaveDialogOptions options{};
        char path[64];
        EXPECT_EQ(kelvo_appkit_show_save_dialog(h.host, &options, path, sizeof path), 11u);
        closedAt = h.platform.nowNs();
    };
    h.run();
    ASSERT_TRUE(opened);
    std::size_t before = 0;
    while (h.events[before].atNs < closedAt) ++before;
    EXPECT_EQ(seenWhileOpen, std::vector<std::size_t>{before});
    EXPECT_EQ(h.deepest, 1);
    // In arrival order, one frame request for the two made while the dialog was open.
    std::vector<HostEventKind> after;
    for (std::size_t i = before; i < h.events.size() && h.events[i].atNs == closedAt; ++i) {
        after.push_back(h.events[i].kind);
    }
    EXPECT_EQ(after, (std::vector<HostEventKind>{HostEventKind::window_frame_changed, HostEventKind::frame_requested,
                                                 HostEventKind::timer}));
}

// Reload (its item or its key) loads the key window's page again, the address it shows or the HTML
// text it was given, and the frame after it shows the result.
TEST(HostMenus, ReloadLoadsTheKeyWindowsPageAgain) {
    struct Case {
        std::int32_t kind;
        std::string_view source;
        std::string_view reloaded;
    };
    for (const Case& page : {Case{1, "vexa://app/index.html", "reload vexa://app/index.html"},
                             Case{0, "<p>Inline</p>", "reload html <p>Inline</p>"}}) {
        for (bool webContent : {true, false}) {
            HostHarness h;
            HostOptions options;
            options.hasWebContent = webContent;
            ASSERT_NE(h.create(options), nullptr);
            kelvo_appkit_load_window_webview(h.host, 1, page.source.data(), page.source.size(), page.kind, nullptr, 0,
                                             nullptr, 0, nullptr, 0, 0);
            // Long after the frames of the first load, when nothing asks for frames any more.
            std::size_t framesIdle = 0;
            std::size_t framesBefore = 0;
            std::size_t framesAfter = 0;
            h.platform.at(19'000 * kMs, [&h, &framesIdle] { framesIdle = h.count(HostEventKind::frame_requested); });
            h.platform.at(20'000 * kMs, [&h, &framesBefore] {
                framesBefore = h.count(HostEventKind::frame_requested);
                h.platform.userKeyDown(press(h, "r", "cmd"));
            });
            h.platform.at(20'100 * kMs, [&h, &framesAfter] {
                framesAfter = h.count(HostEventKind::frame_requested);
                kelvo_appkit_stop(h.host);
            });
            h.run();
            EXPECT_EQ(framesIdle, framesBefore);
            const std::vector<std::string>& loads = h.platform.webViews()[0]->loads;
            // Without web content the standard bar has no Reload, and the key goes on to the view.
            ASSERT_EQ(loads.size(), webContent ? 2u : 1u) << page.source;
            if (!webContent) continue;
            EXPECT_EQ(loads.back(), page.reloaded);
            EXPECT_GT(framesAfter, framesBefore) << page.source;
        }
    }
}

}  // namespace
}  // namespace kelvo
