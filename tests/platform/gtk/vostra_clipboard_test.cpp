// Vostra Studio's page puts text on the clipboard through the application and reads it back
// through the runtime, on the real GTK host (label "gtk"): another program reads exactly the bytes
// the page sent, no-break spaces included, and so does the page. It uses the display's one
// clipboard, and so runs alone.

#include <atomic>
#include <cstdio>
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

// The page's text sent as the application takes it: its UTF-8 in base64 chunks of at most
// 73,728 bytes, between a begin and a finish. `window.copied` is the finish's answer.
std::string copyThroughTheApplication() {
    return "(() => { const bytes = new TextEncoder().encode(" + std::string(kLineScript) + ".repeat(" +
           std::to_string(kLines) +
           "));"
           " const chunks = [];"
           " for (let at = 0; at < bytes.length; at += 73728) {"
           "   let binary = ''; for (const b of bytes.subarray(at, at + 73728)) binary += String.fromCharCode(b);"
           "   chunks.push(btoa(binary)); }"
           " (async () => { await vexa.invoke('vostra.clipboard.begin');"
           "   for (const chunk of chunks) await vexa.invoke('vostra.clipboard.append', chunk);"
           "   return vexa.invoke('vostra.clipboard.finish'); })()"
           " .then(r => { window.copied = JSON.stringify(r); }, e => { window.copied = 'failed: ' + e.message; });"
           " return 'copying'; })()";
}

// What the page reads from the clipboard, compared with what it sent: `window.pasted`.
std::string readThroughTheRuntime() {
    return "(() => { vexa.invoke('kelvo.clipboard.readText').then(t => { window.pasted = t === " +
           std::string(kLineScript) + ".repeat(" + std::to_string(kLines) +
           ") ? 'same' : 'differs: ' + t.length + ' ' + JSON.stringify(t.slice(0, 40)); },"
           " e => { window.pasted = 'failed: ' + e.message; }); return 'reading'; })()";
}

TEST(GtkSerialVostraClipboard, PageTextReachesOtherProgramsAndComesBackExactly) {
    std::string expected;
    for (int i = 0; i < kLines; ++i) expected += kLine;
    ASSERT_GT(expected.size(), 2 * 73'728u);

    std::string copied, pasted, outside;
    std::thread reader;
    std::atomic<bool> read{false};
    UserSteps steps;
    steps.until(pageReady())
        .page(copyThroughTheApplication())
        .until("window.copied !== undefined")
        .read("window.copied", copied)
        // Another program reads while this one's loop answers it.
        .then([&] {
            if (!reader.joinable()) {
                reader = std::thread([&] {
                    if (FILE* pipe = popen("xclip -o -selection clipboard -t UTF8_STRING", "r")) {
                        char chunk[4096];
                        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
                            outside.append(chunk, n);
                        pclose(pipe);
                    }
                    read = true;
                });
            }
            return read.load();
        })
        .page(readThroughTheRuntime())
        .until("window.pasted !== undefined")
        .read("window.pasted", pasted);
    EXPECT_EQ(steps.runProgram(), steps.size());
    if (reader.joinable()) reader.join();

    EXPECT_EQ(copied, R"({"ok":true,"bytes":)" + std::to_string(expected.size()) + "}");
    EXPECT_EQ(outside.size(), expected.size());
    EXPECT_TRUE(outside == expected) << "another program reads other bytes than the page sent";
    EXPECT_EQ(pasted, "same");
}

}  // namespace
}  // namespace kelvo
