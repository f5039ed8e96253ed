// Vostra Studio opening and saving large documents as a user does, through its real front-end in
// a real web view (run under a display: `xvfb-run -a`). The program starts from the bundle folder
// the build lays out; a document of 1, 8 or 32 MiB (32 MiB is the largest that opens) is dropped
// on the window and opened, then saved in place with the Save button.
//
// A run's time is measured in the page, from the action to the first moment after the editor
// shows the outcome ("Opened ..." or "Saved ..." in the status line) and has painted it. A typed
// key in the open 32 MiB document is measured from just before the key reaches the window until
// the page painted the text it changed; so is selecting all of it with Ctrl+A and typing one key
// over it, from just before Ctrl+A (an error, with its time, when more than that key is left).
// Counters:
//   outcome_ms         the time until the status line told the outcome, before that was painted
//   longest_frame_ms   the longest time the page went without painting during the run
//   peak_rss_mib       the web process's peak resident memory during the run
//   peak_growth_mib    that peak less the web process's resident memory before the run
//   growth_x_document  peak_growth_mib over the document's size
// Undoing a replacement of the whole document: the open 32 MiB document is selected with Ctrl+A
// and one key typed over it (as above), then Ctrl+Z is measured from just before the key until
// the page painted the editor's text at the document's length again (counted over the editor's
// nodes, without joining the text; an error when that has not happened within three minutes):
//   rss_before_mib     the web process's resident memory before the replacement
//   rss_after_mib      the same after the undo (each the least it held over ten seconds)
//   after_over_before  their ratio
// beside peak_rss_mib and the other counters above, which here are the undo's.
// Opening documents in turn gives back what the one before held: the 32 MiB document is opened
// five times in a row, then a 72-byte one; the resident memory of the web process ("web_") and of
// the program's own process ("program_", this one) is read a few seconds after each has opened
// (the page does nothing meanwhile), and the label lists both after each 32 MiB document:
//   *_rss_first_mib, *_rss_fifth_mib   after the first and after the fifth 32 MiB document
//   *_fifth_over_first                 their ratio (at most 1.3 is the mark)
//   *_rss_small_mib                    after the 72-byte document that followed them
// An open document that nobody touches costs processor time: the 32 MiB document and the 72-byte
// one ("BM_IdleCpu/0") are opened in the active window, the caret at the start of the text, and
// the processor time (user and system) of the web process and of the program's own is read over
// the five seconds after the page painted the opened document and over the ten seconds after
// those, each as a percentage of one core:
//   web_first_5s_cpu_pct, program_first_5s_cpu_pct   the first five seconds
//   web_idle_cpu_pct, program_idle_cpu_pct           the ten seconds after them
// A copy that another program reads: the open 32 MiB document is selected with Ctrl+A and copied
// with Ctrl+C, and another program (xclip -o) reads the clipboard as soon as the copy took it,
// then another reads it again; beside them, xclip serving the same text to another xclip:
//   copy_read_ms, second_read_ms, xclip_read_ms
//
//   xvfb-run -a build/release/bench/frontend_documents_bench

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/standin/gtk/gtk.hpp"
#include "startup/startup.hpp"

namespace {

using namespace kelvo;
namespace fs = std::filesystem;

constexpr std::size_t kMiB = 1024 * 1024;
constexpr auto kRunLimit = std::chrono::minutes(15);

fs::path gFolder;
std::map<std::int64_t, fs::path> gDocuments;
fs::path gSmallDocument;

// Text of exactly `bytes` bytes in lines of prose with a few characters beyond ASCII.
std::string documentText(std::size_t bytes) {
    std::string text;
    text.reserve(bytes);
    for (std::size_t line = 0; text.size() < bytes; ++line) {
        text += "Line " + std::to_string(line) +
                ": the quick brown fox jumps over the lazy dog \xE2\x80\x94 caf\xC3\xA9 na\xC3\xAFve "
                "r\xC3\xA9sum\xC3\xA9\n";
    }
    // Cut back to a line end, then fill up with ASCII so no character is split.
    text.resize(text.rfind('\n', bytes - 2) + 1);
    text.append(bytes - text.size() - 1, 'x');
    text.push_back('\n');
    return text;
}

// --- The web view ---------------------------------------------------------------------------------

WebKitWebView* webViewIn(GtkWidget* widget) {
    if (WEBKIT_IS_WEB_VIEW(widget)) return WEBKIT_WEB_VIEW(widget);
    if (!GTK_IS_CONTAINER(widget)) return nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    WebKitWebView* found = nullptr;
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        found = webViewIn(GTK_WIDGET(child->data));
    }
    g_list_free(children);
    return found;
}

WebKitWebView* mainWebView() {
    GList* toplevels = gtk_window_list_toplevels();
    WebKitWebView* found = nullptr;
    for (GList* item = toplevels; item != nullptr && found == nullptr; item = item->next) {
        if (gtk_widget_get_visible(GTK_WIDGET(item->data))) found = webViewIn(GTK_WIDGET(item->data));
    }
    g_list_free(toplevels);
    return found;
}

// Runs the main loop until `done` holds or the limit passes; false on the limit.
template <class Done>
bool pumpUntil(Done done, std::chrono::steady_clock::duration limit = kRunLimit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(500);
    }
    return true;
}

// The string value of `script` evaluated in the page; empty when it failed.
std::string evaluate(const std::string& script) {
    struct Answer {
        bool done = false;
        std::string text;
    } answer;
    webkit_web_view_evaluate_javascript(
        mainWebView(), script.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto& out = *static_cast<Answer*>(data);
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
            if (value != nullptr) {
                gchar* text = jsc_value_to_string(value);
                out.text = text;
                g_free(text);
                g_object_unref(value);
            }
            out.done = true;
        },
        &answer);
    pumpUntil([&] { return answer.done; });
    return answer.text;
}

// Asks the page every 20 ms whether `condition` holds (while the page is busy the answer waits
// for it); false when it did not within the limit.
bool waitForPage(const std::string& condition, std::chrono::steady_clock::duration limit = kRunLimit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        pumpUntil([] { return false; }, std::chrono::milliseconds(20));
        if (evaluate("String(" + condition + ")") == "true") return true;
    }
    return false;
}

// --- Memory of the web process and of the program's own -------------------------------------------

std::string statusField(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":")) return line.substr(name.size() + 1);
    }
    return {};
}

double kibToMib(const std::string& field) { return field.empty() ? 0 : std::stod(field) / 1024.0; }

// The web engine's content process: a descendant of this process.
pid_t webProcess() {
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, std::string> names;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        std::string ppid = statusField(pid, "PPid");
        if (ppid.empty()) continue;
        parents[pid] = std::stoi(ppid);
        std::string command = statusField(pid, "Name");
        names[pid] = command.substr(command.find_first_not_of(" \t"));
    }
    for (const auto& [pid, name] : names) {
        if (!name.starts_with("WebKitWebProces")) continue;
        for (pid_t up = parents[pid]; up > 1; up = parents[up]) {
            if (up == getpid()) return pid;
        }
    }
    return 0;
}

// --- Runs -------------------------------------------------------------------------------------------

struct Outcome {
    bool ok = false;
    std::string failure;
    double milliseconds = 0;
    double toldMs = 0;
    double longestFrameMs = 0;
};

// Starts `action` in the page and waits for the status line to tell its outcome, then for the
// next painted frame.
Outcome runInPage(const std::string& action) {
    const std::string started = evaluate(R"JS((() => {
  const run = window.benchRun = { start: performance.now(), told: 0, end: 0, last: performance.now(), longest: 0, failure: "" };
  const status = document.getElementById("status-text");
  const frame = () => {
    const now = performance.now();
    run.longest = Math.max(run.longest, now - run.last);
    run.last = now;
    if (!run.end) requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
  const observer = new MutationObserver(() => {
    const text = status.textContent;
    if (!/^(Opened|Saved)/.test(text) && !/failed|cancel/i.test(text)) return;
    observer.disconnect();
    run.told = performance.now();
    if (!/^(Opened|Saved)/.test(text)) run.failure = text;
    requestAnimationFrame(() => setTimeout(() => { run.end = performance.now(); }));
  });
  observer.observe(status, { childList: true, characterData: true, subtree: true });
)JS" + action + R"JS(
  return "started";
})())JS");
    Outcome outcome;
    if (started != "started") {
        outcome.failure = "the page did not start the run: " + started;
        return outcome;
    }
    if (!waitForPage("benchRun.end > 0")) {
        outcome.failure = "no outcome within the limit";
        return outcome;
    }
    const std::string values = evaluate(
        "[benchRun.end - benchRun.start, benchRun.told - benchRun.start, benchRun.longest, "
        "benchRun.failure].join('|')");
    std::istringstream fields(values);
    std::string milliseconds, told, longest;
    std::getline(fields, milliseconds, '|');
    std::getline(fields, told, '|');
    std::getline(fields, longest, '|');
    std::getline(fields, outcome.failure);
    outcome.milliseconds = std::stod(milliseconds);
    outcome.toldMs = std::stod(told);
    outcome.longestFrameMs = std::stod(longest);
    outcome.ok = outcome.failure.empty();
    return outcome;
}

// (Built by appending: g++ 12 warns falsely about `"x" + std::string(...)` at -O3.)
std::string quotedPath(const fs::path& path) {
    std::string quoted(1, '"');
    quoted += path.string();
    quoted += '"';
    return quoted;
}

Outcome openDocument(const fs::path& path) {
    return runInPage("vexa._emit('drop:files', { paths: [" + quotedPath(path) + "] });");
}

Outcome saveDocument() { return runInPage("document.getElementById('save-button').click();"); }

// Puts a key press into the window's queue, as the X server would deliver it; the web view has
// the keyboard.
void pressKey(guint keyval, guint state = 0) {
    GtkWidget* view = GTK_WIDGET(mainWebView());
    gtk_widget_grab_focus(view);
    GdkDisplay* display = gdk_display_get_default();
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(gtk_widget_get_toplevel(view))));
    event->key.keyval = keyval;
    event->key.state = state;
    event->key.time = GDK_CURRENT_TIME;
    // The page's editing keys are found by the key's code.
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

// Types one key into the editor, which has the caret, after pressing `before` (each a key and its
// modifiers): the time from just before the first key until the page painted the change.
Outcome typeKey(guint keyval, std::vector<std::pair<guint, guint>> before = {}) {
    // The run ends once the page painted the first change the last key made to the editor's text,
    // whether the web view made it or the editor did (over text the web view has not laid out).
    const std::string armed = evaluate(R"JS(((keys) => {
  const editor = document.getElementById("editor");
  const run = window.benchKey = { start: performance.now(), end: 0 };
  let seen = 0;
  const counting = () => { seen++; };
  addEventListener("keydown", counting, true);
  const watcher = new MutationObserver(() => {
    if (seen < keys) return;
    watcher.disconnect();
    removeEventListener("keydown", counting, true);
    requestAnimationFrame(() => setTimeout(() => { run.end = performance.now(); }));
  });
  watcher.observe(editor, { childList: true, characterData: true, subtree: true });
  return "armed";
})()JS" + std::to_string(before.size() + 1) +
                                       R"JS())JS");
    Outcome outcome;
    if (armed != "armed") {
        outcome.failure = "the page did not take the key: " + armed;
        return outcome;
    }
    for (auto [key, state] : before) pressKey(key, state);
    pressKey(keyval);
    if (!waitForPage("benchKey.end > 0")) {
        outcome.failure = "the key changed nothing within the limit";
        return outcome;
    }
    outcome.milliseconds = std::stod(evaluate("String(benchKey.end - benchKey.start)"));
    outcome.toldMs = outcome.milliseconds;
    outcome.ok = true;
    return outcome;
}

// An empty editor, so the next open starts from nothing; changes typed by an earlier run are
// discarded when the page asks.
void emptyEditor() {
    evaluate("document.getElementById('new-button').click(), 'new'");
    pumpUntil(
        [] {
            return evaluate(
                       "(() => { if (!document.getElementById('confirm-bar').hidden) "
                       "document.getElementById('confirm-yes').click();"
                       " return VostraEditorText.readText(document.getElementById('editor')).length; })()") == "0";
        },
        std::chrono::seconds(30));
    pumpUntil([] { return false; }, std::chrono::milliseconds(500));
}

void report(benchmark::State& state, const Outcome& outcome, pid_t process, double baselineMib) {
    if (!outcome.ok) {
        state.SkipWithError(outcome.failure.c_str());
        return;
    }
    const double documentMib = static_cast<double>(state.range(0));
    const double peakMib = kibToMib(statusField(process, "VmHWM"));
    state.SetIterationTime(outcome.milliseconds / 1000.0);
    state.counters["outcome_ms"] = outcome.toldMs;
    state.counters["longest_frame_ms"] = outcome.longestFrameMs;
    state.counters["peak_rss_mib"] = peakMib;
    state.counters["peak_growth_mib"] = peakMib - baselineMib;
    state.counters["growth_x_document"] = (peakMib - baselineMib) / documentMib;
}

// Resets the web process's peak memory to what it holds now and answers that, in MiB.
double resetPeak(pid_t process) {
    std::ofstream("/proc/" + std::to_string(process) + "/clear_refs") << "5";
    return kibToMib(statusField(process, "VmRSS"));
}

void BM_OpenDocument(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    for (auto _ : state) {
        emptyEditor();
        const double baseline = resetPeak(process);
        report(state, openDocument(document), process, baseline);
    }
}

// Opens the run's document in an empty editor before the run; false (the run skipped) when it
// does not open.
bool openBeforeRun(benchmark::State& state, const fs::path& document) {
    emptyEditor();
    Outcome opened = openDocument(document);
    if (!opened.ok) state.SkipWithError(("the document did not open: " + opened.failure).c_str());
    return opened.ok;
}

// The same, with the editor taking the keys.
bool openForKeys(benchmark::State& state, const fs::path& document) {
    if (!openBeforeRun(state, document)) return false;
    evaluate("document.getElementById('editor').focus(), 'focused'");
    return true;
}

void BM_SaveDocument(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    if (!openBeforeRun(state, document)) return;
    const auto size = fs::file_size(document);
    for (auto _ : state) {
        const double baseline = resetPeak(process);
        Outcome saved = saveDocument();
        if (saved.ok && fs::file_size(document) != size) {
            saved.ok = false;
            saved.failure = "the saved document has another size";
        }
        report(state, saved, process, baseline);
    }
}

// A key typed at the end of a document, until the page painted it.
void BM_TypeKey(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    if (!openForKeys(state, document)) return;
    // At the end of the document, which the view shows once the caret is there.
    pressKey(GDK_KEY_End, GDK_CONTROL_MASK);
    if (!waitForPage("(e => e.scrollTop > 0 && e.scrollTop + e.clientHeight >= e.scrollHeight - 2)"
                     "(document.getElementById('editor'))")) {
        state.SkipWithError("Ctrl+End did not reach the end of the document");
        return;
    }
    for (auto _ : state) {
        const double baseline = resetPeak(process);
        report(state, typeKey(GDK_KEY_x), process, baseline);
    }
}

// Selects all of the open document with Ctrl+A and types one key over it, until the page painted
// the text that is left: that key alone (an error otherwise).
Outcome typeOverAll() {
    Outcome typed = typeKey(GDK_KEY_x, {{GDK_KEY_a, GDK_CONTROL_MASK}});
    const std::string left = evaluate(
        "(t => t.length <= 2 ? JSON.stringify(t) : t.length + ' characters')"
        "(VostraEditorText.readText(document.getElementById('editor')))");
    if (typed.ok && left != R"("x")" && left != R"("x\n")") {
        typed.ok = false;
        typed.failure = "the editor holds " + left + ", not the typed key alone, " +
                        std::to_string(static_cast<long>(typed.milliseconds)) + " ms after Ctrl+A";
    }
    return typed;
}

// All of a document selected with Ctrl+A and one key typed over it, until the page painted the
// text that is left: that key alone.
void BM_SelectAllAndType(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    for (auto _ : state) {
        if (!openForKeys(state, document)) return;
        const double baseline = resetPeak(process);
        report(state, typeOverAll(), process, baseline);
    }
}

// The page's document code alone reading the document (the bridge's chunks and the decoding to
// text), without the editor: what opening costs before the editor lays the text out.
void BM_ReadDocumentWithoutEditor(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    for (auto _ : state) {
        emptyEditor();
        const double baseline = resetPeak(process);
        evaluate(
            "window.benchRead = { start: performance.now(), end: 0, failure: '' };"
            "VostraDocument.readDocument(vexa, " +
            quotedPath(document) +
            ").then(() => { benchRead.end = performance.now(); },"
            " (e) => { benchRead.failure = String(e && e.message); benchRead.end = performance.now(); }), 'ok'");
        const bool ended = waitForPage("benchRead.end > 0");
        const std::string failure = evaluate("benchRead.failure");
        if (!ended || !failure.empty()) {
            state.SkipWithError(ended ? failure.c_str() : "no outcome within the limit");
            break;
        }
        state.SetIterationTime(std::stod(evaluate("String(benchRead.end - benchRead.start)")) / 1000.0);
        const double growthMib = kibToMib(statusField(process, "VmHWM")) - baseline;
        state.counters["peak_growth_mib"] = growthMib;
        state.counters["growth_x_document"] = growthMib / static_cast<double>(state.range(0));
    }
}

// The resident memory of the web process and of the program's own, in MiB, read after the page
// had a few seconds to itself.
struct Resident {
    double web = 0;
    double program = 0;
};

// The web process gives memory back some seconds after its collector ran, and when varies from run
// to run: what a process keeps is the least it held over ten seconds, read twice a second.
Resident settledMemory(pid_t process) {
    Resident least{1e12, 1e12};
    for (int read = 0; read < 20; ++read) {
        pumpUntil([] { return false; }, std::chrono::milliseconds(500));
        least.web = std::min(least.web, kibToMib(statusField(process, "VmRSS")));
        least.program = std::min(least.program, kibToMib(statusField(getpid(), "VmRSS")));
    }
    return least;
}

void reportInTurn(benchmark::State& state, const std::string& process, const std::vector<double>& resident,
                  double small) {
    state.counters[process + "_rss_first_mib"] = resident.front();
    state.counters[process + "_rss_fifth_mib"] = resident.back();
    state.counters[process + "_fifth_over_first"] = resident.back() / resident.front();
    state.counters[process + "_rss_small_mib"] = small;
}

std::string listed(const std::string& process, const std::vector<double>& resident) {
    std::string each = process + " MiB after each:";
    for (double mib : resident) {
        each += ' ';
        each += std::to_string(static_cast<int>(mib));
    }
    return each;
}

void BM_OpenDocumentsInTurn(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    for (auto _ : state) {
        emptyEditor();
        std::vector<double> web;
        std::vector<double> program;
        double milliseconds = 0;
        for (int run = 0; run < 5; ++run) {
            const Outcome opened = openDocument(document);
            if (!opened.ok) {
                state.SkipWithError(opened.failure.c_str());
                return;
            }
            milliseconds += opened.milliseconds;
            const Resident resident = settledMemory(process);
            web.push_back(resident.web);
            program.push_back(resident.program);
        }
        const Outcome small = openDocument(gSmallDocument);
        if (!small.ok) {
            state.SkipWithError(small.failure.c_str());
            return;
        }
        state.SetIterationTime(milliseconds / 1000.0);
        const Resident afterSmall = settledMemory(process);
        reportInTurn(state, "web", web, afterSmall.web);
        reportInTurn(state, "program", program, afterSmall.program);
        state.SetLabel(listed("web", web) + "; " + listed("program", program));
    }
}

// The length of the editor's text, in UTF-16 units, counted over its nodes as the editor reads
// them without joining the text into one string (about 15 ms for 32 MiB).
constexpr const char* kTextLength =
    "(e => VostraEditorText.measure(e, e.firstChild, [[e, e.childNodes.length]]).offsets[0])"
    "(document.getElementById('editor'))";

// The longest an undo of the whole document may take before its run ends with an error.
constexpr auto kUndoLimit = std::chrono::minutes(3);

// Presses Ctrl+Z and waits until the page painted the editor's text at its whole length again
// (`benchWholeLength`, read before it was replaced): the time from just before the key. An undo
// that puts the text back over several tasks is done at the first painted frame after the one
// that completed it.
Outcome undoToWhole() {
    const std::string armed = evaluate(std::string(R"JS((() => {
  const editor = document.getElementById("editor");
  const run = window.benchUndo = { start: performance.now(), end: 0, length: -1 };
  let seen = false;
  let changes = 0;
  let checking = false;
  const seeing = (event) => { if (event.ctrlKey && event.key.toLowerCase() === "z") seen = true; };
  addEventListener("keydown", seeing, true);
  // After the frame that follows a change: done once nothing changed since and the text is whole.
  const check = () => {
    checking = true;
    const at = changes;
    requestAnimationFrame(() => setTimeout(() => {
      if (changes !== at) return check();
      const painted = performance.now();
      checking = false;
      run.length = )JS") + kTextLength +
                                       R"JS(;
      if (run.length !== benchWholeLength) return;
      watcher.disconnect();
      removeEventListener("keydown", seeing, true);
      run.end = painted;
    }));
  };
  const watcher = new MutationObserver(() => {
    if (!seen) return;
    changes++;
    if (!checking) check();
  });
  watcher.observe(editor, { childList: true, characterData: true, subtree: true });
  return "armed";
})())JS");
    Outcome outcome;
    if (armed != "armed") {
        outcome.failure = "the page did not take the key: " + armed;
        return outcome;
    }
    pressKey(GDK_KEY_z, GDK_CONTROL_MASK);
    if (!waitForPage("benchUndo.end > 0", kUndoLimit)) {
        outcome.failure = "Ctrl+Z did not bring the whole text back within " +
                          std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kUndoLimit).count()) +
                          " s: the editor holds " + evaluate(std::string("String(") + kTextLength + ")") + " of " +
                          evaluate("String(benchWholeLength)") + " characters";
        return outcome;
    }
    outcome.milliseconds = std::stod(evaluate("String(benchUndo.end - benchUndo.start)"));
    outcome.toldMs = outcome.milliseconds;
    outcome.ok = true;
    return outcome;
}

// The whole document selected with Ctrl+A and replaced by one key, then Ctrl+Z: from just before
// Ctrl+Z until the page painted the whole text back, with the web process's memory before the
// replacement, at its peak during the undo and once it settled after.
void BM_SelectAllTypeAndUndo(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    for (auto _ : state) {
        if (!openForKeys(state, document)) return;
        const std::string whole = evaluate(std::string("String(window.benchWholeLength = ") + kTextLength + ")");
        if (whole.empty() || std::stod(whole) < static_cast<double>(state.range(0) * kMiB / 2)) {
            state.SkipWithError(("the editor's text is not the document's: " + whole + " characters").c_str());
            return;
        }
        const Resident before = settledMemory(process);
        const Outcome typed = typeOverAll();
        if (!typed.ok) {
            state.SkipWithError(("the key over the whole document: " + typed.failure).c_str());
            return;
        }
        const double baseline = resetPeak(process);
        const Outcome undone = undoToWhole();
        report(state, undone, process, baseline);
        if (!undone.ok) return;
        const Resident after = settledMemory(process);
        state.counters["rss_before_mib"] = before.web;
        state.counters["rss_after_mib"] = after.web;
        state.counters["after_over_before"] = after.web / before.web;
    }
}

// The processor time (user and system, all threads) a process has taken so far, in seconds;
// negative when it cannot be read.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The fields after the command's name, which stands in parentheses and may hold anything.
    const auto close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    double ticks = 0;
    // The state is the line's third field, the user time its 14th and the system time its 15th.
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index >= 14) ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Lets the main loop sleep until its next event for `duration`, as the program's own loop does
// while nobody uses it (pumpUntil polls, which would count as work of the program's process).
void idleFor(std::chrono::milliseconds duration) {
    bool over = false;
    g_timeout_add(
        static_cast<guint>(duration.count()),
        [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &over);
    while (!over) g_main_context_iteration(nullptr, TRUE);
}

// Gives the program's window the X server's input focus, as the window a user works in has it
// (there is no window manager here), and the web view the keyboard in it: the editor's caret
// blinks only in an active window. False when the window did not become active.
bool activateWindow() {
    GtkWidget* view = GTK_WIDGET(mainWebView());
    GtkWidget* window = gtk_widget_get_toplevel(view);
    gdk_window_focus(gtk_widget_get_window(window), GDK_CURRENT_TIME);
    const bool active =
        pumpUntil([window] { return gtk_window_is_active(GTK_WINDOW(window)) != FALSE; }, std::chrono::seconds(10));
    gtk_widget_grab_focus(view);
    return active;
}

// The processor time of the web process and of the program's own process over a time, each as a
// percentage of one core.
struct Busy {
    double web = 0;
    double program = 0;
};

// What the two processes take over `duration` of idling; negative when a time cannot be read.
Busy idleCpu(pid_t process, std::chrono::milliseconds duration) {
    const double webStart = cpuSeconds(process);
    const double programStart = cpuSeconds(getpid());
    const auto start = std::chrono::steady_clock::now();
    idleFor(duration);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double web = cpuSeconds(process);
    const double program = cpuSeconds(getpid());
    if (webStart < 0 || web < 0 || programStart < 0 || program < 0) return {-1, -1};
    return {100 * (web - webStart) / seconds, 100 * (program - programStart) / seconds};
}

constexpr auto kSettling = std::chrono::seconds(5);
constexpr auto kIdle = std::chrono::seconds(10);

// An open document that nobody touches, in the active window with the caret in the editor: the
// processor time the web process and the program's own process take over the five seconds after
// the page painted the opened document, and over the ten seconds after those, as a percentage of
// one core. Argument 0 is the 72-byte document.
void BM_IdleCpu(benchmark::State& state) {
    const bool small = state.range(0) == 0;
    const fs::path& document = small ? gSmallDocument : gDocuments.at(state.range(0));
    const pid_t process = webProcess();
    for (auto _ : state) {
        if (!activateWindow()) {
            state.SkipWithError("the program's window did not become active");
            return;
        }
        if (!openBeforeRun(state, document)) return;
        if (evaluate("String(document.hasFocus() && document.activeElement === document.getElementById('editor')"
                     " && getSelection().isCollapsed)") != "true") {
            state.SkipWithError("the editor does not have the keyboard and a caret after the document opened");
            return;
        }
        const Busy settling = idleCpu(process, kSettling);
        const Busy idle = idleCpu(process, kIdle);
        if (settling.web < 0 || idle.web < 0) {
            state.SkipWithError("the processor time of a process could not be read");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(kIdle).count());
        state.counters["web_first_5s_cpu_pct"] = settling.web;
        state.counters["program_first_5s_cpu_pct"] = settling.program;
        state.counters["web_idle_cpu_pct"] = idle.web;
        state.counters["program_idle_cpu_pct"] = idle.program;
    }
    if (small) state.SetLabel("the 72-byte document");
}

// --- Copies that other programs read ---------------------------------------------------------------

// Another program (xclip) started with `arguments`, its output in `output` (none: to nowhere); it
// takes `input` as its standard input when that is given.
pid_t startXclip(std::vector<std::string> arguments, const fs::path& output, const fs::path& input = {}) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.empty() ? "/dev/null" : output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    arguments.insert(arguments.begin(), "xclip");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, "xclip", &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs the main loop until the program `pid` ended; false when it had not within the limit (it
// is ended then).
bool waitForProgram(pid_t pid, std::chrono::steady_clock::duration limit = std::chrono::minutes(2)) {
    if (pid <= 0) return false;
    const bool ended = pumpUntil([pid] { return ::waitpid(pid, nullptr, WNOHANG) == pid; }, limit);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return ended;
}

// The milliseconds from `start` until another program (xclip -o) has read `expected` from the
// clipboard (into `read`): a program refused while the copy's text is still on its way (it waits
// 10 s) asks again, as a clipboard keeper does; negative when another text came, or none within
// two minutes.
double readWhole(std::chrono::steady_clock::time_point start, const fs::path& read, const std::string& expected) {
    const auto limit = start + std::chrono::minutes(2);
    for (;;) {
        if (!waitForProgram(startXclip({"-selection", "clipboard", "-o"}, read))) return -1;
        const auto now = std::chrono::steady_clock::now();
        std::ifstream in(read, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (text.str() == expected) return std::chrono::duration<double, std::milli>(now - start).count();
        if (!text.str().empty() || now > limit) return -1;
    }
}

// Select All and Copy of the open document, from just before Ctrl+A until another program (xclip
// -o, started as soon as the copy took the clipboard, and again while it is refused) has read the
// whole text; a second read by another program once the first ended; and beside them the same
// text copied by xclip (-i) and read by another xclip, from the second one's start:
//   copy_read_ms        Ctrl+A and Ctrl+C until the first read ended
//   second_read_ms      the second read
//   xclip_read_ms       xclip -o reading the text that xclip -i holds
void BM_CopyDocument(benchmark::State& state) {
    const fs::path& document = gDocuments.at(state.range(0));
    const fs::path read = gFolder / "read.txt";
    std::ifstream in(document, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string expected = text.str();
    const standin::StandIn& gtk = standin::gtkStandIn();
    for (auto _ : state) {
        if (!openForKeys(state, document)) return;
        const std::uint64_t before = gtk.clipboard.heldTextWrite(gtk.self);
        const auto start = std::chrono::steady_clock::now();
        pressKey(GDK_KEY_a, GDK_CONTROL_MASK);
        pressKey(GDK_KEY_c, GDK_CONTROL_MASK);
        if (!pumpUntil([&] {
                const std::uint64_t held = gtk.clipboard.heldTextWrite(gtk.self);
                return held != 0 && held != before;
            })) {
            state.SkipWithError("the copy never took the clipboard");
            return;
        }
        const double copied = readWhole(start, read, expected);
        const double again = readWhole(std::chrono::steady_clock::now(), read, expected);
        const pid_t holder = startXclip({"-selection", "clipboard", "-quiet", "-i"}, {}, document);
        const bool held =
            pumpUntil([&] { return gtk.clipboard.heldTextWrite(gtk.self) == 0; }, std::chrono::seconds(30));
        const double xclip = held ? readWhole(std::chrono::steady_clock::now(), read, expected) : -1;
        if (holder > 0) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
        fs::remove(read);
        if (copied < 0 || again < 0 || xclip < 0) {
            state.SkipWithError("another program did not read the whole text");
            return;
        }
        state.SetIterationTime(copied / 1000.0);
        state.counters["copy_read_ms"] = copied;
        state.counters["second_read_ms"] = again;
        state.counters["xclip_read_ms"] = xclip;
    }
}

BENCHMARK(BM_OpenDocument)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveDocument)->Arg(1)->Arg(8)->Arg(32)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeKey)->Arg(32)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAllAndType)->Arg(32)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDocumentWithoutEditor)
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDocumentsInTurn)->Arg(32)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectAllTypeAndUndo)->Arg(32)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleCpu)->Arg(32)->Arg(0)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyDocument)->Arg(32)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The program as it starts from its bundle, with a home of its own.
StartupSystem bundledSystem() {
    StartupSystem system = processStartupSystem(standin::gtkStandIn());
    system.executablePath = KELVO_BUNDLE_DIR "/Contents/MacOS/vostra-studio";
    return system;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::string pattern = (fs::temp_directory_path() / "kelvo-bench-XXXXXX").string();
    gFolder = ::mkdtemp(pattern.data());
    fs::create_directories(gFolder / "home");
    ::setenv("HOME", (gFolder / "home").c_str(), 1);
    ::setenv("KELVO_LOG_DIR", (gFolder / "home").c_str(), 1);
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    for (std::int64_t mib : {1, 8, 32}) {
        gDocuments[mib] = gFolder / ("document-" + std::to_string(mib) + ".vrs");
        std::ofstream(gDocuments[mib], std::ios::binary) << documentText(static_cast<std::size_t>(mib) * kMiB);
    }
    gSmallDocument = gFolder / "small.vrs";
    std::ofstream(gSmallDocument, std::ios::binary) << documentText(72);

    // Once the page is ready the benchmarks run inside the program's main loop; then the program
    // ends the way SIGTERM ends it.
    auto* timer = new standin::TimerId(0);
    *timer = standin::gtkStandIn().loop.startTimer(standin::gtkStandIn().self, 100'000'000, true, [timer] {
        if (mainWebView() == nullptr) return;
        standin::gtkStandIn().loop.cancelTimer(standin::gtkStandIn().self, *timer);
        pumpUntil([] { return evaluate("typeof vexa === 'object' && document.readyState") == "complete"; },
                  std::chrono::seconds(60));
        benchmark::RunSpecifiedBenchmarks();
        kill(getpid(), SIGTERM);
    });
    const int status = runApplication(bundledSystem(), vostraStudioApp());
    benchmark::Shutdown();
    fs::remove_all(gFolder);
    return status;
}
