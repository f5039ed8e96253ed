// The menus in real windows (label "gtk"): the menu bar above the page, clicked with the pointer
// (XTEST, through xdotool), its items doing what they say, the inspector's key, a context menu
// over a native view, and an open dialog that takes files and folders alike.

#include <webkit2/webkit2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "platform/macos/menu_config.hpp"
#include "screen_input.hpp"
#include "support/app_on_host.hpp"
#include "support/temp_folder.hpp"
#include "web_page.hpp"

// After the test framework: the X headers define names (None, Bool) it uses.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::string_view kPage =
    "<!doctype html><style>html,body{margin:0;height:100%;overflow:hidden;background:#ff00ff}</style>"
    "<p id=text>Menu page text</p>";

GtkWidget* mainWindow() { return windowTitled("Vostra Studio"); }

bool pageShows() {
    GtkWidget* window = mainWindow();
    return window != nullptr && magentaInRow(window, menuBarHeight(window) + 4) >= 1000;
}

// The menu of the window's bar with this title, and an item of it.
GtkWidget* barMenu(std::string_view title) {
    GtkWidget* window = mainWindow();
    return window != nullptr ? itemLabelled(findOfType(window, GTK_TYPE_MENU_BAR), title) : nullptr;
}
GtkWidget* barItem(std::string_view menu, std::string_view item) {
    GtkWidget* top = barMenu(menu);
    return top != nullptr ? itemLabelled(gtk_menu_item_get_submenu(GTK_MENU_ITEM(top)), item) : nullptr;
}

// Keys typed into a window, as a user types them.
void type(GtkWidget* window, const char* keys) {
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(window));
    char command[160];
    std::snprintf(command, sizeof command, "xdotool windowfocus --sync %lu key %s", xid, keys);
    ASSERT_EQ(std::system(command), 0) << command;
}

// They move the display's one pointer and type into the focused window: they run alone.
class GtkSerialMenus : public GtkHost {
protected:
    void loadPage() {
        kelvo_appkit_load_window_webview(host, 1, kPage.data(), kPage.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    }
    // Runs `then` once the page shows below the bar, or stops the host after 15 s.
    void whenPageShows(std::function<void()> then) { when("the page below the bar", pageShows, std::move(then), 15s); }
};

TEST_F(GtkSerialMenus, TheBarShowsAboveThePageAndFileCloseWindowClosesTheWindow) {
    loadPage();
    int bar = 0;
    int barRowMagenta = -1;
    int pageRowMagenta = -1;
    whenPageShows([&] {
        GtkWidget* window = mainWindow();
        bar = menuBarHeight(window);
        barRowMagenta = magentaInRow(window, bar / 2);
        pageRowMagenta = magentaInRow(window, bar + 4);
        click(barMenu("File"));
        when(
            "the File menu open", [] { return laidOut(barItem("File", "Close Window")); },
            [] { click(barItem("File", "Close Window")); });
    });
    // Closing the window ends the run; should the click miss, the run ends here.
    const standin::TimerId deadline =
        gtk().loop.startTimer(gtk().self, 20'000'000'000, false, [this] { kelvo_appkit_stop(host); });
    run();
    gtk().loop.cancelTimer(gtk().self, deadline);
    EXPECT_GT(bar, 10);
    EXPECT_EQ(barRowMagenta, 0);
    EXPECT_EQ(pageRowMagenta, 1280);
    // The window closed, which ended the application; the frame it reported is the content.
    EXPECT_EQ(mainWindow(), nullptr);
    EXPECT_EQ(count(HostEventKind::app_shutdown), 1u);
    const KelvoHostEvent* opened = nullptr;
    for (const Seen& s : seen) {
        if (s.kind == HostEventKind::window_frame_changed && s.event.open != 0) opened = &s.event;
    }
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->width, 1280);
    EXPECT_EQ(opened->height, 820);
}

// The About panels on screen.
std::vector<GtkWidget*> shownAboutPanels() {
    std::vector<GtkWidget*> found;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (GTK_IS_ABOUT_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            found.push_back(GTK_WIDGET(item->data));
        }
    }
    g_list_free(toplevels);
    return found;
}

bool aboutShown() {
    const std::vector<GtkWidget*> shown = shownAboutPanels();
    return !shown.empty() && shownOnScreen(shown.front());
}

// The pixels of the window below its menu bar, as the screen shows them.
std::vector<guchar> contentPixels(GtkWidget* window) {
    const int bar = menuBarHeight(window);
    GdkPixbuf* shot =
        gdk_pixbuf_get_from_window(gtk_widget_get_window(window), 0, bar, gtk_widget_get_allocated_width(window),
                                   gtk_widget_get_allocated_height(window) - bar);
    if (shot == nullptr) return {};
    std::vector<guchar> pixels(gdk_pixbuf_get_pixels(shot),
                               gdk_pixbuf_get_pixels(shot) + gdk_pixbuf_get_byte_length(shot));
    g_object_unref(shot);
    return pixels;
}

// Closed menus and dialogs leave the page as it was, without the pointer moving over it.
TEST_F(GtkSerialMenus, ThePageShowsAgainWhereAClosedMenuOrDialogWas) {
    loadPage();
    std::vector<guchar> before;
    std::vector<guchar> afterMenu;
    std::vector<guchar> afterDialog;
    bool menuShown = false;
    bool dialogShown = false;
    whenPageShows([&] {
        before = contentPixels(mainWindow());
        click(barMenu("Edit"));
        inTurn({{"the Edit menu open", [] { return laidOut(GTK_WIDGET(shownMenu())); },
                 [&] {
                     menuShown = true;
                     ASSERT_EQ(std::system("xdotool key Escape"), 0);
                 }},
                {"the page shown again where the menu was",
                 [&] { return shownMenu() == nullptr && contentPixels(mainWindow()) == before; },
                 [&] {
                     afterMenu = contentPixels(mainWindow());
                     gtk_menu_item_activate(GTK_MENU_ITEM(barItem("Vostra Studio", "About Vostra Studio")));
                 }},
                {"the About panel on the screen", aboutShown,
                 [&] {
                     dialogShown = true;
                     for (GtkWidget* panel : shownAboutPanels()) gtk_widget_destroy(panel);
                 }},
                {"the page shown again where the panel was", [&] { return contentPixels(mainWindow()) == before; },
                 [&] {
                     afterDialog = contentPixels(mainWindow());
                     kelvo_appkit_stop(host);
                 }}});
    });
    run();
    EXPECT_TRUE(menuShown);
    EXPECT_TRUE(dialogShown);
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(afterMenu == before);
    EXPECT_TRUE(afterDialog == before);
}

// With the application's real icon, as large as a dock icon, the panel fits a small screen; asked
// for again, the open panel comes forward instead of a second one.
TEST_F(GtkSerialMenus, AboutOpensOnePanelThatNamesTheApplicationAndFitsTheScreen) {
    ASSERT_TRUE(gtk().windows.setAppIconFromFile(gtk().self, KELVO_BUNDLE_DIR "/Contents/Resources/icon.png"));
    loadPage();
    std::string title;
    std::string program;
    int logoSide = 0;
    GdkRectangle frame{};
    std::size_t panels = 0;
    whenPageShows([&] {
        click(barMenu("Vostra Studio"));
        inTurn({{"the application's menu open", [] { return laidOut(barItem("Vostra Studio", "About Vostra Studio")); },
                 [] { click(barItem("Vostra Studio", "About Vostra Studio")); }},
                {"the About panel on the screen", aboutShown, [&] {
                     gtk_menu_item_activate(GTK_MENU_ITEM(barItem("Vostra Studio", "About Vostra Studio")));
                     // The item acts in a task of the main loop: a task queued after it sees what it did.
                     gtk().loop.post(gtk().self, [&] {
                         std::vector<GtkWidget*> shown = shownAboutPanels();
                         panels = shown.size();
                         if (!shown.empty()) {
                             GtkAboutDialog* about = GTK_ABOUT_DIALOG(shown.front());
                             title = gtk_window_get_title(GTK_WINDOW(about));
                             program = gtk_about_dialog_get_program_name(about);
                             GdkPixbuf* logo = gtk_about_dialog_get_logo(about);
                             if (logo != nullptr) {
                                 logoSide = std::max(gdk_pixbuf_get_width(logo), gdk_pixbuf_get_height(logo));
                             }
                             gdk_window_get_frame_extents(gtk_widget_get_window(shown.front()), &frame);
                         }
                         for (GtkWidget* panel : shown) gtk_widget_destroy(panel);
                         kelvo_appkit_stop(host);
                     });
                 }}});
    });
    run();
    EXPECT_EQ(panels, 1u);
    EXPECT_NE(title.find("Vostra Studio"), std::string::npos) << title;
    EXPECT_EQ(program, "Vostra Studio");
    EXPECT_GT(logoSide, 0);
    EXPECT_LE(logoSide, 128);
    EXPECT_GT(frame.width, 0);
    EXPECT_LE(frame.width, 1280);
    EXPECT_LE(frame.height, 800);
}

TEST_F(GtkSerialMenus, TheInspectorKeyOpensTheInspectorWindow) {
    loadPage();
    bool inspector = false;
    bool docked = true;
    whenPageShows([&] {
        type(mainWindow(), "ctrl+alt+i");
        when(
            "the inspector's window",
            [&] {
                GList* toplevels = gtk_window_list_toplevels();
                for (GList* item = toplevels; item != nullptr; item = item->next) {
                    if (std::string_view(G_OBJECT_TYPE_NAME(item->data)) == "WebKitInspectorWindow" &&
                        gtk_widget_get_visible(GTK_WIDGET(item->data))) {
                        inspector = true;
                    }
                }
                g_list_free(toplevels);
                return inspector;
            },
            [&] {
                docked = webkit_web_inspector_is_attached(webkit_web_view_get_inspector(mainWebView()));
                kelvo_appkit_stop(host);
            });
    });
    run();
    EXPECT_TRUE(inspector);
    EXPECT_FALSE(docked);  // the page keeps its size
}

// Copy counts from the click that chose it, as its key from the key: the clipboard's mark is the
// click's time, which orders the copy among other programs' copies; asked as of a key made a while
// ago (a busy page gets its keys late), it is the display server's time that long ago.
TEST_F(GtkSerialMenus, SelectAllThenCopyFromTheEditMenuCopiesThePagesText) {
    loadPage();
    std::string copied;
    std::thread reader;
    guint32 clicked = 0;
    std::uint64_t marked = 0;
    std::uint64_t older = 0;
    std::uint64_t recent = 0;
    whenPageShows([&] {
        g_signal_connect(barItem("Edit", "Copy"), "activate",
                         G_CALLBACK(+[](GtkMenuItem*, guint32* at) { *at = gtk_get_current_event_time(); }), &clicked);
        // A click in the page gives it the keyboard, as a user would.
        click(GTK_WIDGET(mainWebView()));
        inTurn({{"the page to have the keyboard", [] { return gtk_widget_is_focus(GTK_WIDGET(mainWebView())); },
                 [] { click(barMenu("Edit")); }},
                {"the Edit menu open", [] { return laidOut(barItem("Edit", "Select All")); },
                 [] { click(barItem("Edit", "Select All")); }},
                {"the Edit menu closed", [] { return shownMenu() == nullptr; }, [] { click(barMenu("Edit")); }},
                {"the Edit menu open again", [] { return laidOut(barItem("Edit", "Copy")); },
                 [] { click(barItem("Edit", "Copy")); }},
                {"the page's text on the clipboard",
                 [] { return gdk_selection_owner_get(GDK_SELECTION_CLIPBOARD) != nullptr; },
                 // The clipboard is read by another program while this one's loop answers it.
                 [&] {
                     reader = std::thread([&] {
                         std::string text;
                         if (FILE* pipe = popen("xclip -o -selection clipboard 2>&1", "r")) {
                             char chunk[256];
                             for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
                                 text.append(chunk, n);
                             }
                             pclose(pipe);
                         }
                         gtk().loop.post(gtk().self, [&, text] {
                             copied = text;
                             marked = gtk().clipboard.markTakes(gtk().self, 0);
                             older = gtk().clipboard.markTakes(gtk().self, 600'000);
                             recent = gtk().clipboard.markTakes(gtk().self, 1);
                             kelvo_appkit_stop(host);
                         });
                     });
                 }}});
    });
    run();
    if (reader.joinable()) reader.join();
    EXPECT_EQ(copied, "Menu page text");
    EXPECT_EQ(marked, clicked);
    // Ten minutes ago: a mark goes back a minute at most, from the server's time now. A key made a
    // moment ago, after the click (which the loop may not have seen yet), is marked as the click.
    EXPECT_GE(older, clicked - 60'000);
    EXPECT_LT(older, clicked);
    EXPECT_EQ(recent, clicked);
}

// Types `keys` (xdotool's key words) into `window` from another program while this one's loop
// runs, as a user types; `typist` is joinable until the keys are typed.
void typeInto(GtkWidget* window, const std::string& keys, std::thread& typist) {
    const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(window));
    typist = std::thread([&typist, xid, keys] {
        const std::string command = "xdotool windowfocus --sync " + std::to_string(xid) + " " + keys;
        const int status = std::system(command.c_str());
        standin::gtkStandIn().loop.post(standin::gtkStandIn().self, [&typist, status, command] {
            EXPECT_EQ(status, 0) << command;
            typist.join();
        });
    });
}

// The Edit menu's keys in a page do what its items do: typing is undone and redone by key, and the
// page's own cut and paste keys keep working.
TEST_F(GtkSerialMenus, EditKeysUndoAndRedoTypingInThePage) {
    constexpr std::string_view kEditor =
        "<!doctype html><textarea id=text style='position:fixed;left:0;top:0;width:100%;height:100%'></textarea>";
    kelvo_appkit_load_window_webview(host, 1, kEditor.data(), kEditor.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    // Each step: keys for xdotool, then the text the page should hold after them. The page undoes
    // what was typed and deleted in one go as one step, as its Edit menu's Undo does.
    const std::vector<std::pair<std::string, std::string>> steps = {{"type --delay 30 draft", "draft"},
                                                                    {"key BackSpace BackSpace", "dra"},
                                                                    {"key ctrl+z", ""},
                                                                    {"key ctrl+shift+z", "dra"},
                                                                    {"key ctrl+a ctrl+x", ""},
                                                                    {"key ctrl+v", "dra"},
                                                                    {"key ctrl+z", ""},
                                                                    {"key ctrl+shift+z", "dra"}};
    std::vector<std::string> held;
    std::thread typist;
    std::size_t step = 0;
    bool clicked = false;
    bool focused = false;
    every(100, [&, polls = 0]() mutable {
        WebKitWebView* view = mainWebView();
        if (++polls > 300 || held.size() == steps.size()) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (view == nullptr || typist.joinable()) return true;
        evaluate(view, "document.getElementById('text') ? document.getElementById('text').value : '<none>'",
                 [&, view](const std::string& text) {
                     if (typist.joinable() || held.size() == steps.size() || text == "<none>") return;
                     if (!clicked) {
                         clicked = true;  // into the text area, once the page is there
                         clickUntilFocused(view, "text", [&focused] { focused = true; });
                     }
                     if (!focused) return;
                     if (step > 0 && text != steps[step - 1].second) return;
                     if (step > 0) held.push_back(text);
                     if (step == steps.size()) return;
                     typeInto(mainWindow(), steps[step++].first, typist);
                 });
        return true;
    });
    run();
    if (typist.joinable()) typist.join();
    std::vector<std::string> wanted;
    for (const auto& [keys, text] : steps) wanted.push_back(text);
    EXPECT_EQ(held, wanted);
}

// An editor with an undo of its own cancels the undo and redo keys: the page sees them first, and
// the web view's undo does not run over its text. Once it stops cancelling them, they undo and
// redo as before.
TEST_F(GtkSerialMenus, APageSeesUndoKeysFirstAndKeepsItsTextWhenItCancelsThem) {
    constexpr std::string_view kEditor =
        "<!doctype html><textarea id=text style='position:fixed;left:0;top:0;width:100%;height:100%'></textarea>"
        "<script>window.seen = []; window.cancels = false;"
        "addEventListener('keydown', e => { if (!e.ctrlKey || (e.key !== 'z' && e.key !== 'Z')) return;"
        "  seen.push(e.key); if (cancels) e.preventDefault(); });</script>";
    kelvo_appkit_load_window_webview(host, 1, kEditor.data(), kEditor.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    struct Step {
        const char* script;  // run in the page before the keys
        const char* keys;    // for xdotool
        const char* shown;   // the text, then the undo keys the page saw
    };
    const std::vector<Step> steps = {{"", "type --delay 30 draft", "draft|"},
                                     {"cancels = true", "key ctrl+z", "draft|z"},
                                     {"", "key ctrl+shift+z", "draft|z,Z"},
                                     {"cancels = false", "key ctrl+z", "|z,Z,z"},
                                     {"", "key ctrl+shift+z", "draft|z,Z,z,Z"}};
    std::vector<std::string> held;
    std::thread typist;
    std::size_t step = 0;
    bool clicked = false;
    bool focused = false;
    bool preparing = false;
    int steady = 0;  // polls in a row that showed what the last step should leave
    every(100, [&, polls = 0]() mutable {
        WebKitWebView* view = mainWebView();
        if (++polls > 300 || held.size() == steps.size()) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (view == nullptr || typist.joinable() || preparing) return true;
        const char* state =
            "document.getElementById('text') ? document.getElementById('text').value + '|' + seen.join(',') : '<none>'";
        evaluate(view, state, [&, view](const std::string& text) {
            if (typist.joinable() || preparing || held.size() == steps.size() || text == "<none>") return;
            if (!clicked) {
                clicked = true;  // into the text area, once the page is there
                clickUntilFocused(view, "text", [&focused] { focused = true; });
            }
            if (!focused) return;
            // What a step leaves must hold for a moment: an undo that should not run would come
            // right after the page saw its key.
            if (step > 0 && (text != steps[step - 1].shown || ++steady < 3)) {
                if (text != steps[step - 1].shown) steady = 0;
                return;
            }
            steady = 0;
            if (step > 0) held.push_back(text);
            if (step == steps.size()) return;
            const Step next = steps[step++];
            // The page is set up first; then the keys are typed.
            preparing = true;
            evaluate(view, *next.script != '\0' ? next.script : "0", [&, next](const std::string&) {
                preparing = false;
                typeInto(mainWindow(), next.keys, typist);
            });
        });
        return true;
    });
    run();
    if (typist.joinable()) typist.join();
    std::vector<std::string> wanted;
    for (const Step& s : steps) wanted.emplace_back(s.shown);
    EXPECT_EQ(held, wanted);
}

TEST_F(GtkSerialMenus, AContextMenuOverANativeViewOpensAtThePointInTheView) {
    loadPage();
    const KelvoContextMenuItemRecord items[] = {{4, 0, "Cut", 3, 1, 0}, {5, 0, "Paste", 5, 1, 0}};
    int menuX = 0;
    int menuY = 0;
    int pointX = 0;
    int pointY = 0;
    std::vector<std::pair<std::string, std::uint32_t>> chosen;
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(HostEventKind::context_menu_action)) {
            chosen.emplace_back(std::string(event.viewLabel.view()), event.menuItemId);
        }
    };
    whenPageShows([&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "panel", 5, 3, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 200, 100,
                                           150, 80),
                  1);
        inTurn({{"the panel laid out", [] { return laidOut(named("panel")); },
                 [&] {
                     // Where (210, 120) of the content lies on the screen; the pointer goes there first.
                     ASSERT_TRUE(onScreen(named("panel"), 10, 20, pointX, pointY));
                     char command[128];
                     std::snprintf(command, sizeof command, "xdotool mousemove --sync %d %d", pointX, pointY);
                     ASSERT_EQ(std::system(command), 0);
                     EXPECT_EQ(kelvo_appkit_show_context_menu(host, 1, "panel", 5, 10, 20, 31, items, 2), 1);
                 }},
                {"the context menu on the screen", [] { return laidOut(GTK_WIDGET(shownMenu())); },
                 [&] {
                     GtkMenuShell* menu = shownMenu();
                     gdk_window_get_origin(gtk_widget_get_window(gtk_widget_get_toplevel(GTK_WIDGET(menu))), &menuX,
                                           &menuY);
                     GList* entries = gtk_container_get_children(GTK_CONTAINER(menu));
                     click(GTK_WIDGET(g_list_nth_data(entries, 1)));
                     g_list_free(entries);
                 }},
                // Anything else the click sends is queued by then: the stop is queued after it.
                {"the chosen item to reach the runtime", [&] { return !chosen.empty(); },
                 [&] { gtk().loop.post(gtk().self, [&] { kelvo_appkit_stop(host); }); }}});
    });
    run();
    // The menu's corner is under the pointer, at the point asked for in the view.
    EXPECT_NEAR(menuX, pointX, 2);
    EXPECT_NEAR(menuY, pointY, 2);
    GtkWidget* window = mainWindow();
    ASSERT_NE(window, nullptr);
    int contentX = 0;
    int contentY = 0;
    ASSERT_TRUE(onScreen(window, 0, menuBarHeight(window), contentX, contentY));
    EXPECT_EQ(pointX - contentX, 210);
    EXPECT_EQ(pointY - contentY, 120);
    EXPECT_EQ(chosen, (std::vector<std::pair<std::string, std::uint32_t>>{{"panel", 5}}));
}

// An application that configures its own menus and hands each menu command to its page.
class GtkSerialApplicationMenus : public testing::GtkHostFixture {
protected:
    void SetUp() override {
        GtkHostFixture::SetUp();
        const fs::path root = place.path("root");
        fs::create_directories(root);
        std::ofstream(root / "index.html")
            << kPage << "<script>window.__menu=[];vexa.on('menu',function(d){window.__menu.push(d.command)})</script>";
        app = std::make_unique<testing::AppOnHost>(host, root.string());
        app->onEvent = [this](Runtime& runtime, const RuntimeEvent& event) {
            const auto* command = std::get_if<CommandEvent>(&event);
            if (command == nullptr || command->source != CommandSource::menu) return;
            commands.push_back(std::string(command->name) + " window=" + std::to_string(command->windowId));
            const std::string detail = R"({"command":")" + std::string(command->name) + R"("})";
            EXPECT_TRUE(
                runtime.platform.slots.emitWindowEvent(runtime.platform.services, command->windowId, "menu", detail));
        };
    }
    void TearDown() override {
        app.reset();
        GtkHostFixture::TearDown();
    }

    testing::TempFolder place;
    std::unique_ptr<testing::AppOnHost> app;
    std::vector<std::string> commands;
};

TEST_F(GtkSerialApplicationMenus, AClickedItemsCommandReachesThePage) {
    const AppMenuItem document[] = {{"Save", "doc.save", "s", {false, true}},
                                    {"Export", "doc.export", "", {}},
                                    {"Wrap", "doc.wrap", "", {}, false, true, true}};
    const AppMenu menus[] = {{"Document", document}};
    std::string received;
    bool wrapChecked = false;
    inTurn(
        {{"the page below the bar", [] { return mainWebView() != nullptr && pageShows(); },
          // The application's menus replace the standard ones.
          [&] {
              EXPECT_TRUE(app->runtime->platform.slots.configureMenus(app->runtime->platform.services,
                                                                      std::span<const AppMenu>(menus, 1)));
          }},
         {"the Document menu in the bar", [] { return laidOut(barMenu("Document")); },
          [] { click(barMenu("Document")); }},
         {"the Document menu open", [] { return laidOut(barItem("Document", "Export")); },
          [&] {
              GtkWidget* wrap = barItem("Document", "Wrap");
              wrapChecked = wrap != nullptr && GTK_IS_CHECK_MENU_ITEM(wrap) &&
                            gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(wrap));
              click(barItem("Document", "Export"));
          }},
         {"the command to reach the page",
          pageAnswers(
              mainWebView, "window.__menu.join(',')", [](const std::string& text) { return !text.empty(); }, &received),
          [&] { kelvo_appkit_stop(host); }}},
        20s);
    ASSERT_TRUE(app->run());
    EXPECT_TRUE(wrapChecked);
    EXPECT_EQ(commands, std::vector<std::string>{"doc.export window=1"});
    EXPECT_EQ(received, "doc.export");
}

// Dialogs answered from the test's timers, and a chromeless window's keys: nothing moves the
// pointer.
using GtkMenus = GtkHost;

// The files a file chooser has selected.
std::vector<std::string> chosenPaths(GtkDialog* dialog) {
    std::vector<std::string> paths;
    GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
    for (GSList* file = files; file != nullptr; file = file->next) paths.emplace_back(static_cast<char*>(file->data));
    g_slist_free_full(files, g_free);
    return paths;
}

TEST_F(GtkMenus, AnOpenDialogThatAllowsFoldersTakesAFileOrAFolder) {
    testing::TempFolder place;
    const fs::path folder = place.path("documents");
    fs::create_directories(folder / "drafts");
    std::ofstream(folder / "a.vrs") << "x";
    const std::string start = folder.string();
    std::vector<std::string> answers;
    auto ask = [&](std::function<void(GtkDialog*)> answer) {
        when(
            "the open dialog on the screen", [] { return laidOut(GTK_WIDGET(shownFileChooser())); },
            [answer] { answer(shownFileChooser()); });
        KelvoOpenDialogOptions options{"Open", 4, start.data(), start.size(), nullptr, 0, 1, 0};
        char paths[1024];
        KelvoOpenDialogResult result = kelvo_appkit_show_open_dialog(host, &options, paths, sizeof paths);
        answers.emplace_back(paths, std::min<std::size_t>(result.length, sizeof paths));
    };
    // The dialog selects a file only once it has read the folder that holds it: the file is
    // selected again until it is.
    auto selected = [](GtkDialog* dialog, std::string path) {
        return [dialog, path] {
            if (chosenPaths(dialog) == std::vector<std::string>{path}) return true;
            gtk_file_chooser_select_filename(GTK_FILE_CHOOSER(dialog), path.c_str());
            return false;
        };
    };
    auto folderButton = [](GtkDialog* dialog) {
        gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(dialog, 1)));
    };
    cancelFileChoosersOnFailure();
    whenShown([&] {
        // A file, with the Open button.
        ask([&](GtkDialog* dialog) {
            when("the file selected", selected(dialog, (folder / "a.vrs").string()),
                 [dialog] { gtk_dialog_response(dialog, GTK_RESPONSE_ACCEPT); });
        });
        // A folder, with the button that takes folders.
        ask([&](GtkDialog* dialog) {
            when("the folder selected", selected(dialog, (folder / "drafts").string()),
                 [&, dialog] { folderButton(dialog); });
        });
        // Nothing chosen, with the same button: the folder shown. A file is chosen first, so that
        // the folder is read before the choice is taken back.
        ask([&](GtkDialog* dialog) {
            when("the file selected", selected(dialog, (folder / "a.vrs").string()), [&, dialog] {
                gtk_file_chooser_unselect_all(GTK_FILE_CHOOSER(dialog));
                folderButton(dialog);
            });
        });
        kelvo_appkit_stop(host);
    });
    run();
    EXPECT_EQ(answers, (std::vector<std::string>{(folder / "a.vrs").string(), (folder / "drafts").string(), start}));
}

// A field's selection and the clipboard are the display's, which another program's selection
// takes: this test runs alone.
class GtkSerialEditItems : public GtkHost {};

TEST_F(GtkSerialEditItems, EditItemsActOnAFocusedTextField) {
    std::string copied;
    std::string pasted;
    auto clipboardText = [] {
        gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
        std::string copy = text != nullptr ? text : "";
        g_free(text);
        return copy;
    };
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "field", 5, 8, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 20, 20,
                                           300, 30),
                  1);
    });
    inTurn({{"the field laid out", [] { return laidOut(named("field")); },
             [&] {
                 GtkWidget* field = named("field");
                 ASSERT_TRUE(GTK_IS_ENTRY(field));
                 gtk_entry_set_text(GTK_ENTRY(field), "typed words");
                 ASSERT_EQ(kelvo_appkit_focus_view(host, 1, "field", 5), 1);
                 gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "before", -1);
                 gtk_menu_item_activate(GTK_MENU_ITEM(barItem("Edit", "Select All")));
                 gtk_menu_item_activate(GTK_MENU_ITEM(barItem("Edit", "Copy")));
             }},
            {"the copy on the clipboard", [&] { return clipboardText() != "before"; },
             [&] {
                 copied = clipboardText();
                 // Pasted over the selection, new words replace the field's.
                 gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), "new words", -1);
                 gtk_menu_item_activate(GTK_MENU_ITEM(barItem("Edit", "Paste")));
             }},
            {"the paste in the field",
             [] { return std::string_view(gtk_entry_get_text(GTK_ENTRY(named("field")))) != "typed words"; },
             [&] {
                 pasted = gtk_entry_get_text(GTK_ENTRY(named("field")));
                 kelvo_appkit_stop(host);
             }}});
    run();
    EXPECT_EQ(copied, "typed words");
    EXPECT_EQ(pasted, "new words");
}

// The key an item's label shows, as "ctrl+shift+z"; "-" for none.
std::string shownKey(GtkWidget* item) {
    if (item == nullptr) return "<no item>";
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    guint key = 0;
    GdkModifierType mods{};
    if (GTK_IS_ACCEL_LABEL(label)) gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &key, &mods);
    if (key == 0) return "-";
    std::string text;
    if (mods & GDK_CONTROL_MASK) text += "ctrl+";
    if (mods & GDK_MOD1_MASK) text += "alt+";
    if (mods & GDK_SUPER_MASK) text += "super+";
    if (mods & GDK_SHIFT_MASK) text += "shift+";
    return text + gdk_keyval_name(gdk_keyval_to_lower(key));
}

bool checked(GtkWidget* item) {
    return item != nullptr && GTK_IS_CHECK_MENU_ITEM(item) && gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item));
}

// What the menu bar's own widgets show: the keys, the items that are off, and check marks that stay
// as the application set them when clicked.
TEST_F(GtkMenus, TheBarsItemsShowTheirKeysTheirStateAndTheirMarks) {
    std::vector<std::string> keys;
    bool hideOthersOff = false;
    bool quitOn = false;
    bool wrapBefore = false;
    bool wrapAfterClick = false;
    bool wrapAfterUnset = true;
    bool exportIsCheck = true;
    bool offItemOff = false;
    whenShown([&] {
        for (auto [menu, item] :
             {std::pair("File", "Close Window"), std::pair("Edit", "Undo"), std::pair("Edit", "Redo"),
              std::pair("Edit", "Select All"), std::pair("View", "Toggle Web Inspector"),
              std::pair("View", "Enter Full Screen"), std::pair("Window", "Zoom")}) {
            keys.push_back(shownKey(barItem(menu, item)));
        }
        hideOthersOff = !gtk_widget_get_sensitive(barItem("Vostra Studio", "Hide Others"));
        quitOn = gtk_widget_get_sensitive(barItem("Vostra Studio", "Quit Vostra Studio"));
        testing::setMenus(host, {"Document"},
                          {{0, "Wrap", "doc.wrap", "", 0, false, true, true},
                           {0, "Export", "doc.export", "e", 1 | 16},
                           {0, "Off", "doc.off", "", 0, false, false}});
        wrapBefore = checked(barItem("Document", "Wrap"));
        exportIsCheck = GTK_IS_CHECK_MENU_ITEM(barItem("Document", "Export"));
        offItemOff = !gtk_widget_get_sensitive(barItem("Document", "Off"));
        keys.push_back(shownKey(barItem("Document", "Export")));
        gtk_menu_item_activate(GTK_MENU_ITEM(barItem("Document", "Wrap")));
        when(
            "the click's command", [&] { return count(HostEventKind::menu_command) >= 1; },
            [&] {
                // The mark is the application's: a click leaves it, a new configuration takes it away.
                wrapAfterClick = checked(barItem("Document", "Wrap"));
                testing::setMenus(host, {"Document"}, {{0, "Wrap", "doc.wrap", "", 0}});
                wrapAfterUnset = checked(barItem("Document", "Wrap"));
                kelvo_appkit_stop(host);
            });
    });
    run();
    EXPECT_EQ(keys, (std::vector<std::string>{"ctrl+w", "ctrl+z", "ctrl+shift+z", "ctrl+a", "ctrl+alt+i",
                                              "ctrl+super+f", "-", "ctrl+shift+e"}));
    EXPECT_TRUE(hideOthersOff);
    EXPECT_TRUE(quitOn);
    EXPECT_TRUE(wrapBefore);
    EXPECT_TRUE(wrapAfterClick);
    EXPECT_FALSE(wrapAfterUnset);
    EXPECT_FALSE(exportIsCheck);
    EXPECT_TRUE(offItemOff);
    EXPECT_EQ(count(HostEventKind::menu_command), 1u);
}

TEST_F(GtkMenus, AChromelessWindowShowsNoMenuButItsKeysWork) {
    bool hadBar = true;
    bool stillOpen = true;
    auto bareWindow = [] {
        GList* toplevels = gtk_window_list_toplevels();
        GtkWidget* found = nullptr;
        for (GList* item = toplevels; item != nullptr; item = item->next) {
            const gchar* title = gtk_window_get_title(GTK_WINDOW(item->data));
            if (title != nullptr && std::string_view(title) == "Bare") found = GTK_WIDGET(item->data);
        }
        g_list_free(toplevels);
        return found;
    };
    whenShown(
        [&] { ASSERT_EQ(kelvo_appkit_create_window(host, 2, "Bare", 4, "bare", 4, 0, 1, 3, 0, 0, 0, 400, 300), 1); });
    inTurn({{"the chromeless window on the screen", [&] { return shownOnScreen(bareWindow()); },
             [&] {
                 GtkWidget* bare = bareWindow();
                 hadBar = findOfType(bare, GTK_TYPE_MENU_BAR) != nullptr;
                 // Ctrl+W as the X server would deliver it to the window.
                 putKeyPress(bare, GDK_KEY_w, GDK_CONTROL_MASK);
             }},
            {"the chromeless window to close", [&] { return bareWindow() == nullptr; },
             [&] {
                 stillOpen = false;
                 kelvo_appkit_stop(host);
             }}});
    run();
    EXPECT_FALSE(hadBar);
    EXPECT_FALSE(stillOpen);
    ASSERT_NE(mainWindow(), nullptr);
    EXPECT_NE(findOfType(mainWindow(), GTK_TYPE_MENU_BAR), nullptr);
}

}  // namespace
}  // namespace kelvo
