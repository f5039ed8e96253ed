// Vostra Studio's page puts text on the clipboard and reads it back through the application, on the
// real GTK host (label "gtk"): another program reads exactly the bytes the page sent, no-break
// spaces and NULs included, an empty text empties the clipboard, the page is told when the
// clipboard still holds its own copy, and reads another program's text of any size exactly. It
// uses the display's one clipboard, and so runs alone.

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "vostra_studio.hpp"

namespace kelvo {
namespace {

// A line of every kind of character the web view's own clipboard handling would change or split.
constexpr std::string_view kLine = "tab\tno\u00A0break\u00A0space caf\u00E9 \u20AC \U0001D11E\n";
constexpr std::string_view kLineScript = R"('tab\tno\u00a0break\u00a0space caf\u00e9 \u20ac \ud834\udd1e\n')";
// More than the runtime's own clipboard write takes (64 KiB), and more than one chunk.
constexpr int kLines = 6000;
// Another program's paste: 1,000,000 bytes of 10-byte lines, which as a JSON string (every line
// feed escaped) does not fit the runtime's 1 MiB reply. The first line holds a NUL.
constexpr std::string_view kPasteLine = "abc\u00A0defg\n";
constexpr std::string_view kPasteScript = R"('abc\u00a0def\0\n' + 'abc\u00a0defg\n'.repeat(99999))";

// The page's text `text` (a script expression) sent as the application takes it: its UTF-8 in
// base64 chunks of at most 73,728 bytes, under the transfer number begin answers. `window[into]`
// is the finish's answer.
std::string copyThroughTheApplication(std::string_view text, std::string_view into) {
    return "(() => { const bytes = new TextEncoder().encode(" + std::string(text) +
           "); const chunks = [];"
           " for (let at = 0; at < bytes.length; at += 73728) {"
           "   let binary = ''; for (const b of bytes.subarray(at, at + 73728)) binary += String.fromCharCode(b);"
           "   chunks.push(btoa(binary)); }"
           " (async () => { const {transfer} = await vexa.invoke('vostra.clipboard.begin');"
           "   for (const data of chunks) await vexa.invoke('vostra.clipboard.append', {transfer, data});"
           "   return vexa.invoke('vostra.clipboard.finish', {transfer}); })()"
           " .then(r => { window." +
           std::string(into) + " = JSON.stringify(r); }, e => { window." + std::string(into) +
           " = 'failed: ' + e.message; });"
           " return 'copying'; })()";
}

// What the page reads from the clipboard through the application: read.begin's answer, and when it
// read, whether the chunks' text is `expected` (a script expression). `window[into]`. The page
// names the first copy it made, as the editor names the one it holds.
std::string readThroughTheApplication(std::string_view expected, std::string_view into) {
    return "(() => { (async () => { const begun = await vexa.invoke('vostra.clipboard.read.begin', {copy: 1});"
           "   if (begun.bytes === undefined) return JSON.stringify(begun);"
           "   const parts = [];"
           "   for (let chunk; (chunk = await vexa.invoke('vostra.clipboard.read.chunk')) !== '';)"
           "     parts.push(Uint8Array.from(atob(chunk), c => c.charCodeAt(0)));"
           "   await vexa.invoke('vostra.clipboard.read.finish');"
           "   const all = new Uint8Array(parts.reduce((n, p) => n + p.length, 0)); let at = 0;"
           "   for (const p of parts) { all.set(p, at); at += p.length; }"
           "   const text = new TextDecoder().decode(all), expected = " +
           std::string(expected) +
           ";"
           "   return JSON.stringify(begun) + (text === expected ? ' same' :"
           "     ' differs: ' + text.length + ' ' + JSON.stringify(text.slice(0, 40))); })()"
           " .then(r => { window." +
           std::string(into) + " = r; }, e => { window." + std::string(into) +
           " = 'failed: ' + e.message; }); return 'reading'; })()";
}

// What the page reads from the clipboard through the runtime, compared with what it sent.
std::string readThroughTheRuntime() {
    return "(() => { vexa.invoke('kelvo.clipboard.readText').then(t => { window.pasted = t === " +
           std::string(kLineScript) + ".repeat(" + std::to_string(kLines) +
           ") ? 'same' : 'differs: ' + t.length + ' ' + JSON.stringify(t.slice(0, 40)); },"
           " e => { window.pasted = 'failed: ' + e.message; }); return 'reading'; })()";
}

// Another program, run on a thread of its own while this one's loop answers it.
class OtherProgram {
public:
    ~OtherProgram() {
        if (thread_.joinable()) thread_.join();
    }

    // A step that runs `command` and is done once it ended, its output in `output`.
    std::function<bool()> runs(std::string command, std::string& output) {
        return [this, command, &output] {
            if (!thread_.joinable()) {
                done_ = false;
                thread_ = std::thread([this, command, &output] {
                    output.clear();
                    if (FILE* pipe = popen(command.c_str(), "r")) {
                        char chunk[4096];
                        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
                            output.append(chunk, n);
                        pclose(pipe);
                    }
                    done_ = true;
                });
            }
            if (!done_) return false;
            thread_.join();
            return true;
        };
    }

private:
    std::thread thread_;
    std::atomic<bool> done_{false};
};

// GTK's complaints about the clipboard while the program runs.
void countClipboardComplaints(const gchar*, GLogLevelFlags level, const gchar* message, gpointer count) {
    if (std::string_view(message).find("clipboard") != std::string_view::npos) ++*static_cast<int*>(count);
    g_log_default_handler("Gtk", level, message, nullptr);
}

// xclip offering the file's text on the clipboard from the background until another program takes
// it. It keeps no descriptor of this process open (the test's output would not end while it runs).
std::string takeClipboardFrom(const std::filesystem::path& file) {
    return "bash -c 'for fd in /proc/self/fd/*; do n=${fd##*/}; [ $n -gt 2 ] && eval \"exec $n>&-\"; done;"
           " xclip -i -selection clipboard \"" +
           file.string() + "\" </dev/null >/dev/null 2>&1' 2>/dev/null && echo started";
}

constexpr std::string_view kUtf8Reader = "timeout 20 xclip -o -selection clipboard -t UTF8_STRING";

TEST(GtkSerialVostraClipboard, PageTextReachesOtherProgramsAndComesBackExactly) {
    std::string expected;
    for (int i = 0; i < kLines; ++i) expected += kLine;
    ASSERT_GT(expected.size(), 2 * 73'728u);
    std::string paste;
    for (int i = 0; i < 100'000; ++i) paste += kPasteLine;
    paste[8] = '\0';
    ASSERT_EQ(paste.size(), 1'000'000u);
    const std::filesystem::path pasteFile =
        std::filesystem::temp_directory_path() / ("vostra-paste-" + std::to_string(getpid()) + ".txt");
    writeFile(pasteFile, paste);
    int complaints = 0;
    const guint handler = g_log_set_handler("Gtk", GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
                                            countClipboardComplaints, &complaints);

    std::string copied, outside, pasted, ownCopy, nulCopied, nulOutside, nulLatin, targets, emptyCopied, emptyOutside,
        otherRead, started, longRead, latin;
    OtherProgram other;
    UserSteps steps;
    steps.until(pageReady())
        .page(copyThroughTheApplication(std::string(kLineScript) + ".repeat(" + std::to_string(kLines) + ")", "copied"))
        .until("window.copied !== undefined")
        .read("window.copied", copied)
        .then(other.runs(std::string(kUtf8Reader), outside))
        .page(readThroughTheRuntime())
        .until("window.pasted !== undefined")
        .read("window.pasted", pasted)
        // The clipboard holds the page's copy: the application names it instead of reading it.
        .page(readThroughTheApplication("''", "ownCopy"))
        .until("window.ownCopy !== undefined")
        .read("window.ownCopy", ownCopy)
        // Programs that ask for Latin-1 get it.
        .page(copyThroughTheApplication(R"('caf\u00e9\u00a0')", "latinCopied"))
        .until("window.latinCopied !== undefined")
        .then(other.runs("timeout 20 xclip -o -selection clipboard -t STRING", latin))
        .page(copyThroughTheApplication(R"('a\0b\u00a0c')", "nulCopied"))
        .until("window.nulCopied !== undefined")
        .read("window.nulCopied", nulCopied)
        .then(other.runs(std::string(kUtf8Reader), nulOutside))
        .then(other.runs("timeout 20 xclip -o -selection clipboard -t STRING", nulLatin))
        .then(other.runs("timeout 20 xclip -o -selection clipboard -t TARGETS", targets))
        .page(copyThroughTheApplication("''", "emptyCopied"))
        .until("window.emptyCopied !== undefined")
        .read("window.emptyCopied", emptyCopied)
        .then(other.runs(std::string(kUtf8Reader) + "; echo \"<$?>\"", emptyOutside))
        // This process's own GTK text write counts as another owner's.
        .then([] {
            offerOnClipboard("from another\u00A0program");
            return true;
        })
        .page(readThroughTheApplication(R"('from another\u00a0program')", "otherRead"))
        .until("window.otherRead !== undefined")
        .read("window.otherRead", otherRead)
        // A program of its own takes the clipboard; once it owns it, the page reads its text.
        .then(other.runs(takeClipboardFrom(pasteFile), started))
        .then([] {
            GdkWindow* owner = gdk_selection_owner_get(GDK_SELECTION_CLIPBOARD);
            return owner == nullptr || gdk_window_get_window_type(owner) == GDK_WINDOW_FOREIGN;
        })
        .page(readThroughTheApplication(kPasteScript, "longRead"))
        .until("window.longRead !== undefined")
        .read("window.longRead", longRead)
        // Taking the clipboard back ends that program.
        .then([] {
            offerOnClipboard("done");
            return true;
        });
    EXPECT_EQ(steps.runProgram(), steps.size());
    g_log_remove_handler("Gtk", handler);
    std::filesystem::remove(pasteFile);

    EXPECT_EQ(copied, R"({"ok":true,"bytes":)" + std::to_string(expected.size()) + "}");
    EXPECT_EQ(outside.size(), expected.size());
    EXPECT_TRUE(outside == expected) << "another program reads other bytes than the page sent";
    EXPECT_EQ(pasted, "same");
    EXPECT_EQ(ownCopy, R"({"ok":true,"copy":1})");

    EXPECT_EQ(latin, "caf\xE9\xA0");
    EXPECT_EQ(nulCopied, R"({"ok":true,"bytes":6})");
    EXPECT_TRUE(nulOutside == std::string("a\0b\u00A0c", 6)) << nulOutside.size() << " bytes";
    EXPECT_TRUE(nulLatin == std::string("a\0b\xA0"
                                        "c",
                                        5))
        << nulLatin.size() << " bytes";
    for (std::string_view target : {"UTF8_STRING", "STRING", "TEXT", "COMPOUND_TEXT", "text/plain;charset=utf-8"}) {
        EXPECT_NE(targets.find(target), std::string::npos) << target << " in " << targets;
    }

    EXPECT_EQ(emptyCopied, R"({"ok":true,"bytes":0})");
    EXPECT_EQ(emptyOutside, "<0>\n") << "an empty text, offered";
    EXPECT_EQ(complaints, 0);

    EXPECT_EQ(otherRead, R"({"ok":true,"bytes":21} same)");
    EXPECT_EQ(started, "started\n");
    EXPECT_EQ(longRead, R"({"ok":true,"bytes":1000000} same)");
}

}  // namespace
}  // namespace kelvo
