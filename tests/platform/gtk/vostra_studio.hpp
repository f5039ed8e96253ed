#pragma once

// Vostra Studio, started as the program starts from the bundle the build lays out, with its real
// front-end in a real web view, and used as a user uses it: steps run on its main loop, keys put
// into its window's queue, documents dropped on it, its dialogs answered and the clipboard filled
// as another program fills it.

#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "startup/startup.hpp"
#include "web_page.hpp"

namespace kelvo {

inline std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Answers the file chooser on screen once it holds `path`: an open dialog has it selected, a save
// dialog is in its folder under its name. A chooser drops a choice made before it has read the
// folder, and a choice made again starts the reading anew: so the choice is made again, until it
// holds, at ever longer intervals (up to five seconds), however long the chooser takes to read the
// folder. A dialog answered otherwise meanwhile (the test's end cancels it) is left as it is.
inline void acceptWhenChosen(GtkDialog* dialog, const std::filesystem::path& path) {
    struct Choosing {
        GtkDialog* dialog;
        std::filesystem::path path;
        int polls = 0;
        int nextChoice = 1;
    };
    g_object_ref(dialog);
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* choosing = static_cast<Choosing*>(data);
            GtkFileChooser* chooser = GTK_FILE_CHOOSER(choosing->dialog);
            gchar* held = gtk_file_chooser_get_filename(chooser);
            const bool chosen = held != nullptr && choosing->path == held;
            g_free(held);
            const bool shown = gtk_widget_get_visible(GTK_WIDGET(choosing->dialog));
            if (shown && !chosen) {
                if (++choosing->polls == choosing->nextChoice) {
                    choosing->nextChoice += std::min(choosing->polls, 100);
                    if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE) {
                        gtk_file_chooser_set_current_folder(chooser, choosing->path.parent_path().c_str());
                    } else {
                        gtk_file_chooser_select_filename(chooser, choosing->path.c_str());
                    }
                }
                return G_SOURCE_CONTINUE;
            }
            if (shown) gtk_dialog_response(choosing->dialog, GTK_RESPONSE_ACCEPT);
            g_object_unref(choosing->dialog);
            delete choosing;
            return G_SOURCE_REMOVE;
        },
        new Choosing{dialog, path});
}

// Scripts asked of the main page one at a time: `waiting` holds while an answer is on its way.
struct PageQuestions {
    bool waiting = false;

    void ask(const std::string& script, std::function<void(const std::string&)> then) {
        waiting = true;
        evaluate(mainWebView(), script.c_str(), [this, then](std::string answer) {
            waiting = false;
            then(answer);
        });
    }
};

// The program's system, as if it ran from the bundle the build laid out: its front-end is there.
inline StartupSystem bundledSystem() {
    StartupSystem system = processStartupSystem(standin::gtkStandIn());
    system.executablePath = KELVO_BUNDLE_DIR "/Contents/MacOS/vostra-studio";
    return system;
}

// Cancels every dialog on screen; answers whether there was one.
inline bool closeShownDialogs() {
    GList* toplevels = gtk_window_list_toplevels();
    bool closed = false;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        if (GTK_IS_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            gtk_dialog_response(GTK_DIALOG(item->data), GTK_RESPONSE_CANCEL);
            closed = true;
        }
    }
    g_list_free(toplevels);
    return closed;
}

// While it lives, what the program traces (on its standard error) goes to a file, so that a
// failing test's own report stands out in a long run's output; a failed test ends with the
// traces' last lines.
class TracesAside {
public:
    TracesAside() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        std::FILE* file = std::tmpfile();
        if (saved_ < 0 || file == nullptr) return;
        file_ = file;
        dup2(fileno(file_), STDERR_FILENO);
    }
    TracesAside(const TracesAside&) = delete;
    TracesAside& operator=(const TracesAside&) = delete;
    ~TracesAside() {
        if (file_ == nullptr) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        if (::testing::Test::HasFailure()) {
            std::string traces;
            std::rewind(file_);
            char chunk[4096];
            for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) traces.append(chunk, n);
            std::size_t from = traces.size();
            for (int lines = 0; lines <= 30 && from != std::string::npos && from > 0; ++lines) {
                from = traces.rfind('\n', from - 1);
            }
            const std::size_t start = from == std::string::npos ? 0 : from + 1;
            std::fprintf(stderr, "the program's last traces:\n%s", traces.c_str() + std::min(start, traces.size()));
        }
        std::fclose(file_);
    }

private:
    int saved_ = -1;
    std::FILE* file_ = nullptr;
};

// Watches a run of the program from beside its loop, which may stop turning the steps: a step that
// runs a loop of its own which never ends (a dialog no one answers), a program that does not end
// on SIGTERM. Once the loop has not counted a turn (`turns`) for two minutes, the test fails saying
// what the steps waited for (`waiting`), and SIGTERM ends the run; two minutes later, a run still
// going ends the test's process, so that no test waits for ever.
class LoopWatch {
public:
    LoopWatch(const std::atomic<int>& turns, std::function<std::string()> waiting)
        : turns_(turns), waiting_(std::move(waiting)), thread_([this] { watch(); }) {}
    LoopWatch(const LoopWatch&) = delete;
    LoopWatch& operator=(const LoopWatch&) = delete;
    ~LoopWatch() {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

private:
    static constexpr std::chrono::seconds kStall{120};

    void watch() {
        std::unique_lock lock(mutex_);
        int seen = turns_.load();
        bool signalled = false;
        while (!wake_.wait_for(lock, kStall, [this] { return ended_; })) {
            if (turns_.load() != seen) {
                seen = turns_.load();
                continue;
            }
            // Printed at once: the program's traces, and so the test's failures, may be held back.
            std::printf("the run went on %lld s without a turn of the steps, waiting for %s\n",
                        static_cast<long long>(kStall.count() * (signalled ? 2 : 1)), waiting_().c_str());
            std::fflush(stdout);
            if (signalled) std::abort();
            ADD_FAILURE() << "the run stopped turning the steps, waiting for " << waiting_();
            signalled = true;
            kill(getpid(), SIGTERM);
        }
    }

    const std::atomic<int>& turns_;
    std::function<std::string()> waiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ended_ = false;
    std::thread thread_;
};

// What a user does to the program, as steps run one after another on its main loop: a step done
// hands on to the next at once, and a step not yet done is tried again, a step of the test's own
// every 100 ms, a condition of the page as soon as the page answered otherwise (50 ms later: each
// question costs the page and the web process a little). Page steps evaluate a script in the page;
// `until` waits for a condition of the page to hold; `then` runs a step of the test's own. The
// program ends (by SIGTERM, its own way) after the last step, or once 60 s (or as many as `within`
// says) went by without a step done, which fails the test naming the step: the time a run may take
// grows with the steps it does, so that a long run on a busy machine is not cut short while it goes
// on. A run whose loop stops turning the steps ends all the same (see LoopWatch).
class UserSteps {
public:
    UserSteps& within(int seconds) {
        polls_ = seconds * 10;
        return *this;
    }
    UserSteps& page(std::string script) {
        steps_.push_back({std::move(script), false, nullptr});
        return *this;
    }
    UserSteps& until(std::string condition) {
        steps_.push_back({"String(" + condition + ")", true, nullptr});
        return *this;
    }
    UserSteps& then(std::function<bool()> step) {
        steps_.push_back({{}, false, std::move(step)});
        return *this;
    }
    // Keeps a page value for the test to look at afterwards.
    UserSteps& read(std::string script, std::string& into) {
        std::string* target = &into;
        return then([this, script = std::move(script), target] {
                   evaluate(mainWebView(), script.c_str(),
                            [this, target, running = running_](const std::string& value) {
                                *target = value;
                                read_ = true;
                                if (*running) advance();
                            });
                   return true;
               })
            .then([this] { return std::exchange(read_, false); });
    }

    // Runs the program through the steps; answers how many were done.
    std::size_t runProgram() {
        int polls = 0;  // turns of 100 ms since the last step done
        std::size_t done = at_;
        bool ending = false;
        // The steps end with the program, however it ended: left running, they would act in the
        // next one.
        running_ = std::make_shared<bool>(true);
        every(100, [&, running = running_] {
            if (!*running) return false;
            turns_.fetch_add(1);
            if (at_ != done) {
                done = at_;
                polls = 0;
            }
            if (ending || ++polls > polls_ || at_ == steps_.size()) {
                if (!ending && at_ < steps_.size()) {
                    ADD_FAILURE() << "waited " << polls_ / 10 << " s for " << waiting();
                }
                // A dialog left open is cancelled first; the program's end would answer it so too.
                if (!std::exchange(ending, true) && closeShownDialogs()) return true;
                kill(getpid(), SIGTERM);
                return false;
            }
            advance();
            return true;
        });
        {
            LoopWatch watch(turns_, [this] { return waiting(); });
            TracesAside traces;
            EXPECT_EQ(runApplication(bundledSystem(), vostraStudioApp()), 0);
        }
        *running_ = false;
        return at_;
    }

    [[nodiscard]] std::size_t size() const { return steps_.size(); }

private:
    struct Step {
        std::string script;
        bool waits = false;
        std::function<bool()> native;
    };

    // Does the steps from the one waited for, one after another, until one is not done yet: a
    // step of the test's own is tried again on the next turn; a page step goes on once the page
    // answered, and a condition that did not hold is asked again 50 ms later. A step may run the
    // main loop (a dialog, a wait for the page): what that loop runs meanwhile leaves the steps
    // alone.
    void advance() {
        if (advancing_ || !*running_) return;
        advancing_ = true;
        while (at_ < steps_.size() && mainWebView() != nullptr && !questions_.waiting) {
            Step& step = steps_[at_];
            if (step.native) {
                if (!step.native()) break;
                ++at_;
                continue;
            }
            questions_.ask(step.script,
                           [this, at = at_.load(), waits = step.waits, running = running_](const std::string& answer) {
                               if (!*running || at_ != at) return;
                               if (!waits || answer == "true") {
                                   ++at_;
                                   advance();
                                   return;
                               }
                               every(50, [this, at, running] {
                                   if (*running && at_ == at) advance();
                                   return false;
                               });
                           });
            break;
        }
        advancing_ = false;
    }

    // The step the steps wait for, as a failure names it.
    [[nodiscard]] std::string waiting() const {
        const std::size_t at = at_;
        if (at >= steps_.size()) return "the program to end";
        const Step& step = steps_[at];
        return "step " + std::to_string(at + 1) + " of " + std::to_string(steps_.size()) + " (" +
               (step.native ? std::string("a step of the test's own") : step.script.substr(0, 300)) + ")";
    }

    std::vector<Step> steps_;
    std::atomic<std::size_t> at_ = 0;
    std::atomic<int> turns_ = 0;
    int polls_ = 600;
    PageQuestions questions_;
    bool read_ = false;
    bool advancing_ = false;
    std::shared_ptr<bool> running_ = std::make_shared<bool>(false);
};

// Page scripts the steps use.
inline std::string pageReady() { return "typeof vexa === 'object' && document.readyState === 'complete'"; }

inline std::string clickButton(std::string_view id) {
    return "document.getElementById('" + std::string(id) + "').click(), 'clicked'";
}

inline std::string shown(std::string_view id) { return "!document.getElementById('" + std::string(id) + "').hidden"; }

inline std::string textOf(std::string_view id) {
    return "document.getElementById('" + std::string(id) + "').textContent";
}

// The text the editor shows.
inline constexpr std::string_view kEditorText = "VostraEditorText.readText(document.getElementById('editor'))";

// Counts the keys the page sees (`keysSeen`), wherever the focus is in it: a test waits for that
// count before it looks at what its keys did. `lastKeyAt` is when the last came, by the page's
// clock (milliseconds). Clicks made through the display server are counted too (`clicksSeen`): keys
// put straight into the program's queue would overtake a click still on its way from the server.
inline constexpr std::string_view kCountKeys =
    "window.keysSeen = 0, window.lastKeyAt = 0, window.clicksSeen = 0, "
    "addEventListener('keydown', () => { keysSeen++; lastKeyAt = performance.now(); }, true), "
    "addEventListener('mouseup', () => { clicksSeen++; }, true), 'counting'";
// Lays the editor's text out in a monospaced font in lines 20 pixels high, so that a test can tell
// where a caret key goes by columns.
inline constexpr std::string_view kMonospacedEditor =
    "document.getElementById('editor').style.font = \"16px/20px 'DejaVu Sans Mono'\", 'monospaced'";
// Replaces the editor's text with `text` as a paste over everything would.
inline std::string typeText(std::string_view text) {
    return "(() => { const e = document.getElementById('editor'); const t = " + std::string(text) +
           "; e.focus(); getSelection().selectAllChildren(e); document.execCommand('insertText', false, t);"
           " return 'typed'; })()";
}

inline std::string dropFile(const std::filesystem::path& path) {
    return "vexa._emit('drop:files', {paths: ['" + path.string() + "']}), 'dropped'";
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The display server's time now, which GDK asks of it (declared here: its header brings in
// Xlib's macros).
extern "C" guint32 gdk_x11_get_server_time(GdkWindow* window);

// The display server's time of the last key pressKeys delivered.
inline guint32& lastKeyTime() {
    static guint32 time = 0;
    return time;
}

// A key as the X server delivers it to a window, with the key's code (the page's editing keys
// are found by it), typed at the server's time `time` (0: now), as the page judges keys by.
inline void deliverKey(GtkWidget* window, guint keyval, guint state, guint32 time = 0) {
    GdkDisplay* display = gdk_display_get_default();
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->key.keyval = keyval;
    event->key.state = state;
    event->key.time = time != 0 ? time : gdk_x11_get_server_time(gtk_widget_get_window(window));
    lastKeyTime() = event->key.time;
    GdkKeymapKey* codes = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &codes, &count) && count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(codes[0].keycode);
        event->key.group = static_cast<guint8>(codes[0].group);
    }
    g_free(codes);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gdk_event_put(event);
    gdk_event_free(event);
}

// Keys as the X server delivers them to the program's window, to whatever holds its keyboard,
// typed now, or at the server's time `time`: keys that reach the program long after they were
// typed, as on a busy machine.
inline bool pressKeys(const std::vector<std::pair<guint, guint>>& keys, guint32 time = 0) {
    WebKitWebView* view = mainWebView();
    if (view == nullptr) return false;
    for (auto [keyval, state] : keys) deliverKey(gtk_widget_get_toplevel(GTK_WIDGET(view)), keyval, state, time);
    return true;
}

// Types a path into the Open dialog once it shows (it runs a main loop of its own, in which this
// looks for it) as a user does: Ctrl+L, and once the location field has the keyboard, the path
// over what it holds and Return; again while the dialog stays past the time it takes to answer
// (keys typed while it answers go on to the document once it has). A dialog still there ten
// seconds after it showed is cancelled, so that a test never waits for it for ever. However long
// the dialog takes to come, this waits for it while the program's run goes on, and never acts in
// a later one.
inline void typeIntoOpenDialogWhenShown(const std::filesystem::path& path) {
    struct Waiting {
        std::filesystem::path path;
        GWeakRef program;  // the run's web view
        int shown = 0;     // turns of 50 ms the dialog has shown
        bool typed = false;
        bool typedThisTry = false;
    };
    auto* waiting = new Waiting{path, {}};
    g_weak_ref_init(&waiting->program, mainWebView());
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* waiting = static_cast<Waiting*>(data);
            GObject* program = G_OBJECT(g_weak_ref_get(&waiting->program));
            if (program != nullptr) g_object_unref(program);
            GtkDialog* dialog = shownFileChooser();
            const bool ready = dialog != nullptr && gtk_widget_get_mapped(GTK_WIDGET(dialog));
            waiting->shown = ready ? waiting->shown + 1 : 0;
            GtkWidget* window = GTK_WIDGET(dialog);
            // A try each 7 s: Ctrl+L a moment after the dialog showed, and again each half second
            // until the location field has the keyboard; then the path.
            const int turn = waiting->shown % 140;
            if (ready && turn == 2) waiting->typedThisTry = false;
            GtkWidget* focus = ready ? gtk_window_get_focus(GTK_WINDOW(dialog)) : nullptr;
            const bool fieldFocused = focus != nullptr && GTK_IS_ENTRY(focus) && gtk_widget_get_realized(focus);
            if (ready && turn >= 2 && (turn - 2) % 10 == 0 && !waiting->typedThisTry && !fieldFocused) {
                deliverKey(window, GDK_KEY_l, GDK_CONTROL_MASK);
            }
            if (ready && turn > 2 && !waiting->typedThisTry && fieldFocused) {
                deliverKey(window, GDK_KEY_a, GDK_CONTROL_MASK);
                for (char c : waiting->path.string()) {
                    deliverKey(window, gdk_unicode_to_keyval(static_cast<guchar>(c)), 0);
                }
                deliverKey(window, GDK_KEY_Return, 0);
                waiting->typed = waiting->typedThisTry = true;
            }
            if (ready && waiting->shown > 200) gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
            if ((waiting->typed && !ready) || program == nullptr) {
                g_weak_ref_clear(&waiting->program);
                delete waiting;
                return G_SOURCE_REMOVE;
            }
            return G_SOURCE_CONTINUE;
        },
        waiting);
}

// The clipboard's text as another program reads it, waited for on the main loop ("<none>" when
// it holds none).
inline std::string clipboardText() {
    auto got = std::make_shared<std::optional<std::string>>();
    gtk_clipboard_request_text(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD),
        [](GtkClipboard*, const gchar* text, gpointer data) {
            auto* into = static_cast<std::shared_ptr<std::optional<std::string>>*>(data);
            **into = text != nullptr ? text : "<none>";
            delete into;
        },
        new std::shared_ptr<std::optional<std::string>>(got));
    pumpUntil([&] { return got->has_value(); }, std::chrono::seconds(5));
    return got->value_or("<none>");
}

// The clipboard's UTF8_STRING as another program reads it, every byte (GTK's own text reading
// would stop at a NUL), waited for on the main loop ("<none>" when it offers none).
inline std::string clipboardBytes() {
    auto got = std::make_shared<std::optional<std::string>>();
    gtk_clipboard_request_contents(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), gdk_atom_intern_static_string("UTF8_STRING"),
        [](GtkClipboard*, GtkSelectionData* selection, gpointer data) {
            auto* into = static_cast<std::shared_ptr<std::optional<std::string>>*>(data);
            const gint length = gtk_selection_data_get_length(selection);
            const guchar* bytes = gtk_selection_data_get_data(selection);
            **into = length >= 0 && bytes != nullptr
                         ? std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length))
                         : std::string("<none>");
            delete into;
        },
        new std::shared_ptr<std::optional<std::string>>(got));
    pumpUntil([&] { return got->has_value(); }, std::chrono::seconds(5));
    return got->value_or("<none>");
}

// A real click (through the X server) in the middle of the page's element found by `selector`;
// answers whether it was made.
inline bool clickInPage(const std::string& selector) {
    WebKitWebView* view = mainWebView();
    if (view == nullptr) return false;
    const std::string box =
        evaluateNow(view,
                    "(r => Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2))"
                    "(document.querySelector('" +
                        selector + "').getBoundingClientRect())");
    int x = 0;
    int y = 0;
    int screenX = 0;
    int screenY = 0;
    if (std::sscanf(box.c_str(), "%d %d", &x, &y) != 2 || !onScreen(GTK_WIDGET(view), x, y, screenX, screenY)) {
        return false;
    }
    // Told to move where it already is, xdotool waits for a move that never comes.
    int pointerX = 0;
    int pointerY = 0;
    gdk_device_get_position(screenPointer(), nullptr, &pointerX, &pointerY);
    const std::string command =
        pointerX == screenX && pointerY == screenY
            ? std::string("xdotool click 1")
            : "xdotool mousemove --sync " + std::to_string(screenX) + " " + std::to_string(screenY) + " click 1";
    return std::system(command.c_str()) == 0;
}

// The Edit menu's item of the program's menu bar.
inline GtkWidget* editMenuItem(std::string_view label) {
    WebKitWebView* view = mainWebView();
    if (view == nullptr) return nullptr;
    GtkWidget* edit = itemLabelled(findOfType(gtk_widget_get_toplevel(GTK_WIDGET(view)), GTK_TYPE_MENU_BAR), "Edit");
    return edit != nullptr ? itemLabelled(gtk_menu_item_get_submenu(GTK_MENU_ITEM(edit)), label) : nullptr;
}

// Puts plain text on the clipboard as another program would, every byte of it (NULs too, which
// GTK's own text offer would cut), with HTML beside it when `html` is given (as a browser offers a
// copied part of a page).
inline void offerOnClipboard(const std::string& text, const std::string& html = {}) {
    static const GtkTargetEntry kTargets[] = {{const_cast<gchar*>("UTF8_STRING"), 0, 1},
                                              {const_cast<gchar*>("text/plain;charset=utf-8"), 0, 1},
                                              {const_cast<gchar*>("text/html"), 0, 0}};
    gtk_clipboard_set_with_data(
        gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), kTargets, html.empty() ? 2 : 3,
        [](GtkClipboard*, GtkSelectionData* data, guint kind, gpointer owner) {
            const auto* offered = static_cast<std::pair<std::string, std::string>*>(owner);
            const std::string& bytes = kind == 0 ? offered->second : offered->first;
            gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                                   reinterpret_cast<const guchar*>(bytes.data()), static_cast<gint>(bytes.size()));
        },
        [](GtkClipboard*, gpointer owner) { delete static_cast<std::pair<std::string, std::string>*>(owner); },
        new std::pair<std::string, std::string>(text, html));
}

// Answers the save dialog with `name` in `folder`, as a user types it there and saves: a step
// for UserSteps. The chooser may complete a name it sees in the folder once the folder is read;
// the step waits until its name stays the one typed.
inline std::function<bool()> answerSaveDialog(const std::filesystem::path& folder, std::string name) {
    auto steady = std::make_shared<int>(-1);
    return [folder, name = std::move(name), steady] {
        GtkDialog* dialog = shownFileChooser();
        if (dialog == nullptr) return false;
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        if (*steady < 0) gtk_file_chooser_set_current_folder(chooser, folder.c_str());
        gchar* current = gtk_file_chooser_get_current_name(chooser);
        const bool typed = current != nullptr && std::string_view(current) == name;
        g_free(current);
        if (!typed) {
            gtk_file_chooser_set_current_name(chooser, name.c_str());
            *steady = 0;
            return false;
        }
        if (++*steady < 5) return false;
        *steady = -1;
        gtk_dialog_response(dialog, GTK_RESPONSE_ACCEPT);
        return true;
    };
}

}  // namespace kelvo
