// The host's system services on the GTK backend (label "gtk"): the clipboard as other programs
// see it, the session keyring, a save dialog answered while events wait, and the recently used
// documents of this application beside another's.

#include <libsecret/secret.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/gtk/gtk_harness.hpp"
#include "platform/gtk/gtk_widgets.hpp"
#include "platform/gtk/screen_input.hpp"
#include "platform/gtk/web_page.hpp"

namespace kelvo {
namespace {

std::string outputOf(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[256];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
        pclose(pipe);
    }
    return output;
}

std::string readClipboard(KelvoAppKitHost* host, std::string_view mime) {
    std::string buffer(256, '\0');
    std::uint64_t length = kelvo_appkit_clipboard_read_data(
        host, mime.data(), mime.size(), reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size());
    buffer.resize(std::min<std::size_t>(length, buffer.size()));
    return buffer;
}

// The display has one clipboard: the tests that use it run alone.
class GtkSerialClipboard : public GtkHost {};

TEST_F(GtkSerialClipboard, ClipboardHoldsTextHtmlAndRtfForOtherPrograms) {
    struct Step {
        std::string mime;
        std::string data;
        std::string target;  // what another program asks for
        std::string inProcess;
        std::string outside;
    };
    std::vector<Step> steps = {{"text/plain", "plain é €", "UTF8_STRING", {}, {}},
                               {"TEXT/HTML", "<b>bold</b>", "text/html", {}, {}},
                               {"application/rtf", "{\\rtf1 x}", "text/rtf", {}, {}}};
    std::thread reader;
    std::function<void(std::size_t)> step = [&](std::size_t i) {
        if (i == steps.size()) {
            kelvo_appkit_stop(host);
            return;
        }
        Step& s = steps[i];
        ASSERT_EQ(
            kelvo_appkit_clipboard_write_data(host, s.mime.data(), s.mime.size(),
                                              reinterpret_cast<const std::uint8_t*>(s.data.data()), s.data.size()),
            1);
        s.inProcess = readClipboard(host, s.mime);
        // Another program reads while this one's loop runs and answers it.
        reader = std::thread([&s, &reader, &step, i] {
            std::string outside = outputOf("xclip -o -selection clipboard -t " + s.target + " 2>&1");
            gtk().loop.post(gtk().self, [&s, &reader, &step, i, outside] {
                reader.join();
                s.outside = outside;
                step(i + 1);
            });
        });
    };
    whenShown([&] { step(0); });
    run();
    if (reader.joinable()) reader.join();
    for (const Step& s : steps) {
        EXPECT_EQ(s.inProcess, s.data) << s.mime;
        EXPECT_EQ(s.outside, s.data) << s.mime;
    }
}

const SecretSchema& otherApplication() {
    static const SecretSchema schema = {"org.example.other",
                                        SECRET_SCHEMA_NONE,
                                        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return schema;
}

TEST_F(GtkHost, CredentialsLiveInTheKeyringUnderThisApplication) {
    auto set = [&](std::string_view secret) {
        return kelvo_appkit_set_credential(host, "vostra.sync", 11, "bob", 3,
                                           reinterpret_cast<const std::uint8_t*>(secret.data()), secret.size());
    };
    auto get = [&] {
        std::string buffer(64, '\0');
        std::uint64_t length = kelvo_appkit_get_credential(
            host, "vostra.sync", 11, "bob", 3, reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size());
        buffer.resize(length);
        return buffer;
    };
    GError* error = nullptr;
    ASSERT_TRUE(secret_password_store_sync(&otherApplication(), SECRET_COLLECTION_DEFAULT, "theirs", "theirs", nullptr,
                                           &error, "service", "vostra.sync", "account", "bob", nullptr))
        << (error != nullptr ? error->message : "");

    EXPECT_EQ(get(), "");
    ASSERT_EQ(set("first"), 1);
    EXPECT_EQ(get(), "first");
    ASSERT_EQ(set("second"), 1);
    EXPECT_EQ(get(), "second");
    EXPECT_EQ(kelvo_appkit_delete_credential(host, "vostra.sync", 11, "bob", 3), 1);
    EXPECT_EQ(get(), "");
    EXPECT_EQ(kelvo_appkit_delete_credential(host, "vostra.sync", 11, "bob", 3), 0);

    // Searched for with its secret rather than looked up: a lookup leaves the service's answer
    // behind.
    GHashTable* attributes =
        secret_attributes_build(&otherApplication(), "service", "vostra.sync", "account", "bob", nullptr);
    GList* items = secret_service_search_sync(nullptr, &otherApplication(), attributes, SECRET_SEARCH_LOAD_SECRETS,
                                              nullptr, nullptr);
    g_hash_table_unref(attributes);
    ASSERT_NE(items, nullptr);
    SecretValue* theirs = secret_item_get_secret(SECRET_ITEM(items->data));
    ASSERT_NE(theirs, nullptr);
    EXPECT_STREQ(secret_value_get_text(theirs), "theirs");
    secret_value_unref(theirs);
    g_list_free_full(items, g_object_unref);
    secret_password_clear_sync(&otherApplication(), nullptr, nullptr, "service", "vostra.sync", "account", "bob",
                               nullptr);
}

TEST_F(GtkHost, SaveDialogAnswersWhileAPageMessageAndEventsWaitInOrder) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kelvo-save-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string start = folder.string();
    const std::string page = "<!doctype html><p>page</p>";
    kelvo_appkit_load_window_webview(host, 1, page.data(), page.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    // What reaches the runtime, in order: frame requests, timers and the page's messages.
    std::vector<std::string> arrivals;
    kelvo_appkit_set_bridge_callback(
        host,
        [](void* context, std::uint64_t, const char*, std::uint64_t, const char* message, std::uint64_t length,
           const char*, std::uint64_t) {
            std::string text(message, length);
            static_cast<std::vector<std::string>*>(context)->push_back(
                text.find("kelvo.ping") != std::string::npos ? "message" : "other message");
        },
        &arrivals);
    std::string chosen;
    std::size_t atOpen = 0;
    std::size_t whileOpen = 0;
    std::size_t returned = 0;
    std::size_t batchEnd = 0;
    bool opened = false;
    // The runtime answers its timer by asking where to save; the page sends a message, frames are
    // requested and a timer runs out while the dialog is open; then it is answered.
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(HostEventKind::frame_requested)) arrivals.push_back("frame");
        if (event.kind == static_cast<std::uint32_t>(HostEventKind::timer)) {
            arrivals.push_back("timer " + std::to_string(event.timerId));
        }
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::timer) || event.timerId != 7 || opened) return;
        opened = true;
        atOpen = arrivals.size();
        // The page's message crosses from the web process before the answer to the script that
        // sent it; then the frames are requested.
        when(
            "the save dialog on the screen", [] { return laidOut(GTK_WIDGET(shownFileChooser())); },
            [&] {
                evaluate(mainWebView(), "vexa.invoke('kelvo.ping').catch(() => 0), 'sent'", [&](const std::string&) {
                    kelvo_appkit_request_frame(host);
                    kelvo_appkit_request_frame(host);
                    kelvo_appkit_start_timer(host, 8, 150'000'000, 0);
                    // Nothing may arrive while the dialog is open: it stays open until the timer is
                    // well past due.
                    after(400, [&] {
                        whileOpen = arrivals.size();
                        gtk_dialog_response(GTK_DIALOG(shownFileChooser()), GTK_RESPONSE_ACCEPT);
                    });
                });
            });
        KelvoSaveDialogOptions options{"Save", 4, start.data(), start.size(), "doc.vrs", 7, "vrs", 3};
        char path[512];
        std::uint64_t length = kelvo_appkit_show_save_dialog(host, &options, path, sizeof path);
        chosen.assign(path, std::min<std::size_t>(length, sizeof path));
        returned = arrivals.size();
        gtk().loop.post(gtk().self, [&] {
            batchEnd = arrivals.size();
            kelvo_appkit_stop(host);
        });
    };
    cancelFileChoosersOnFailure();
    when("the page's bridge",
         pageAnswers(mainWebView, "typeof vexa", [](const std::string& type) { return type == "object"; }),
         [&] { kelvo_appkit_start_timer(host, 7, 10'000'000, 0); });
    run();
    std::filesystem::remove_all(folder);

    ASSERT_TRUE(opened);
    EXPECT_EQ(chosen, (folder / "doc.vrs").string());
    EXPECT_EQ(whileOpen, atOpen);
    EXPECT_EQ(returned, atOpen);
    EXPECT_EQ(deepest, 1);
    // What waited came right after, in arrival order, the frame requests merged into one.
    std::vector<std::string> batch(arrivals.begin() + static_cast<std::ptrdiff_t>(returned),
                                   arrivals.begin() + static_cast<std::ptrdiff_t>(batchEnd));
    EXPECT_EQ(batch, (std::vector<std::string>{"message", "frame", "timer 8"}));
}

std::vector<std::string> recentApplications(const std::string& uri) {
    std::vector<std::string> names;
    GtkRecentInfo* info = gtk_recent_manager_lookup_item(gtk_recent_manager_get_default(), uri.c_str(), nullptr);
    if (info == nullptr) return names;
    gsize count = 0;
    gchar** applications = gtk_recent_info_get_applications(info, &count);
    for (gsize i = 0; i < count; ++i) names.emplace_back(applications[i]);
    g_strfreev(applications);
    gtk_recent_info_unref(info);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(GtkHost, ClearingRecentDocumentsLeavesOtherApplicationsEntries) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kelvo-recent-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto file = [&](const char* name) {
        std::filesystem::path path = folder / name;
        std::ofstream(path) << "x";
        return path.string();
    };
    const std::string ours = file("ours é #1 100%.vrs");
    const std::string theirs = file("theirs.txt");
    const std::string shared = file("shared.vrs");
    auto uri = [](const std::string& path) {
        gchar* text = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        std::string copy(text);
        g_free(text);
        return copy;
    };
    std::vector<std::string> before;
    std::vector<std::string> afterClear[3];
    whenShown([&] {
        GtkRecentData other{};
        other.mime_type = const_cast<gchar*>("text/plain");
        other.app_name = const_cast<gchar*>("Other Editor");
        other.app_exec = const_cast<gchar*>("other-editor %u");
        for (const std::string* path : {&theirs, &shared}) {
            gtk_recent_manager_add_full(gtk_recent_manager_get_default(), uri(*path).c_str(), &other);
        }
        EXPECT_EQ(kelvo_appkit_add_recent_document(host, ours.data(), ours.size()), 1);
        EXPECT_EQ(kelvo_appkit_add_recent_document(host, shared.data(), shared.size()), 1);
    });
    // The list takes a document in once it has read the file's type.
    when(
        "the documents in the list",
        [&] { return !recentApplications(uri(ours)).empty() && recentApplications(uri(shared)).size() == 2; },
        [&] {
            before = recentApplications(uri(shared));
            EXPECT_EQ(kelvo_appkit_clear_recent_documents(host), 1);
            int i = 0;
            for (const std::string* path : {&ours, &theirs, &shared}) afterClear[i++] = recentApplications(uri(*path));
            kelvo_appkit_stop(host);
        });
    run();
    std::filesystem::remove_all(folder);

    EXPECT_EQ(before, (std::vector<std::string>{"Other Editor", "Vostra Studio"}));
    EXPECT_TRUE(afterClear[0].empty());
    EXPECT_EQ(afterClear[1], std::vector<std::string>{"Other Editor"});
    EXPECT_EQ(afterClear[2], std::vector<std::string>{"Other Editor"});
}

// A key press, as the X server would deliver it to the main window.
void pressKey(guint keyval, guint state) {
    GtkWindow* window = nullptr;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        const gchar* title = gtk_window_get_title(GTK_WINDOW(item->data));
        if (title != nullptr && std::string_view(title) == "Vostra Studio") window = GTK_WINDOW(item->data);
    }
    g_list_free(toplevels);
    ASSERT_NE(window, nullptr);
    putKeyPress(GTK_WIDGET(window), keyval, state);
}

TEST_F(GtkHost, KeysReachShortcutsAndContextMenusAnswer) {
    const char* id = "zoom.in";
    const std::uint64_t idLength = 7;
    const char* key = "=";
    const std::uint64_t keyLength = 1;
    const std::uint32_t command = 1;
    kelvo_appkit_set_shortcuts(host, &id, &idLength, &key, &keyLength, &command, 1);
    std::vector<std::string> texts;
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind == static_cast<std::uint32_t>(HostEventKind::shortcut)) {
            texts.push_back("shortcut " + std::string(event.shortcutId.view()) + " " +
                            std::string(event.shortcutKey.view()));
        } else if (event.kind == static_cast<std::uint32_t>(HostEventKind::context_menu_action)) {
            texts.push_back("context " + std::to_string(event.targetId) + " " + std::to_string(event.menuItemId));
        }
    };
    const KelvoContextMenuItemRecord items[] = {{4, 0, "Cut", 3, 1, 0}, {5, 0, "Paste", 5, 1, 0}};
    whenShown([&] {
        // Ctrl and Shift with "=" type "+": the shortcut on Command and "=" fires.
        pressKey(GDK_KEY_plus, GDK_CONTROL_MASK | GDK_SHIFT_MASK);
        pressKey(GDK_KEY_plus, GDK_MOD1_MASK | GDK_SHIFT_MASK);
        EXPECT_EQ(kelvo_appkit_show_context_menu(host, 1, "", 0, 30, 40, 99, items, 2), 1);
        inTurn({{"the context menu on the screen", [] { return laidOut(GTK_WIDGET(shownMenu())); },
                 [] {
                     GtkMenuShell* menu = shownMenu();
                     GList* entries = gtk_container_get_children(GTK_CONTAINER(menu));
                     gtk_menu_shell_activate_item(menu, GTK_WIDGET(g_list_nth_data(entries, 1)), TRUE);
                     g_list_free(entries);
                 }},
                // The keys were handled before the menu showed; anything else the choice sends is
                // queued by then, and the stop after it.
                {"the menu's choice to reach the runtime", [&] { return texts.size() >= 2; },
                 [&] { gtk().loop.post(gtk().self, [&] { kelvo_appkit_stop(host); }); }}});
    });
    run();
    EXPECT_EQ(texts, (std::vector<std::string>{"shortcut zoom.in =", "context 99 5"}));
}

}  // namespace
}  // namespace kelvo
