// Large bridge replies on the GTK backend (label "gtk"): a page that reads megabytes through the
// bridge, as a document is read, gets every byte, and the program keeps none of them afterwards.
// The allocator's counts tell what it keeps; where they read nothing (the sanitizer build),
// LeakSanitizer finds a reply never freed as the program ends, with GLib allocating through
// malloc (scripts/gtk-tests.sh sets G_SLICE=always-malloc): its own slabs would hide the reply.

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/gtk/gtk_harness.hpp"
#include "platform/gtk/web_page.hpp"

namespace kelvo {
namespace {

constexpr std::size_t kReplyCharacters = 1024 * 1024;
constexpr int kWarmUpReplies = 4;
constexpr int kReplies = 48;

// What the program's allocator hands out and has not had back, in bytes; nothing where the
// allocator does not count (AddressSanitizer's reads 0 throughout), where a reply kept for ever
// is LeakSanitizer's to find when the program ends.
std::optional<std::size_t> heldBytes() {
    const struct mallinfo2 info = mallinfo2();
    const std::size_t held = info.uordblks + info.hblkhd;
    if (held == 0) return std::nullopt;  // a program with a web view holds memory
    return held;
}

// Answers each "test.chunk" request with a megabyte-long string, as the runtime answers: from
// inside its handling of the message.
void answerWithChunk(void* context, std::uint64_t windowId, const char*, std::uint64_t, const char* message,
                     std::uint64_t length, const char*, std::uint64_t) {
    auto* host = static_cast<KelvoAppKitHost*>(context);
    const std::string request(message, length);
    const std::size_t at = request.find("\"id\":\"") + 6;
    const std::string id = request.substr(at, request.find('"', at) - at);
    const std::string reply =
        R"({"id":")" + id + R"(","ok":true,"result":")" + std::string(kReplyCharacters, 'Q') + R"("})";
    kelvo_appkit_bridge_respond_window(host, windowId, reply.data(), reply.size());
}

// Has the page ask for `count` chunks one after the other and answers the characters it got.
std::string readChunks(int count) {
    evaluateNow(mainWebView(), "window.got = -1; (async () => { let n = 0; for (let i = 0; i < " +
                                   std::to_string(count) +
                                   "; i++) n += (await vexa.invoke('test.chunk')).length; window.got = n; })(), 'ok'");
    std::string got;
    pumpUntil(
        [&] {
            got = evaluateNow(mainWebView(), "String(window.got)");
            return got != "-1";
        },
        std::chrono::seconds(60));
    return got;
}

TEST_F(GtkHost, MegabytesOfRepliesReachThePageAndTheProgramKeepsNoneOfThem) {
    const std::string page = "<!doctype html><p>page</p>";
    kelvo_appkit_load_window_webview(host, 1, page.data(), page.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    kelvo_appkit_set_bridge_callback(host, answerWithChunk, host);
    std::string warmedUp;
    std::string got;
    std::optional<std::size_t> before;
    std::optional<std::size_t> after;
    this->after(0, [&] {
        pumpUntil([] { return evaluateNow(mainWebView(), "String(typeof vexa === 'object')") == "true"; },
                  std::chrono::seconds(30));
        // The first replies grow what is reused for every reply.
        warmedUp = readChunks(kWarmUpReplies);
        before = heldBytes();
        got = readChunks(kReplies);
        after = heldBytes();
        kelvo_appkit_stop(host);
    });
    run();

    EXPECT_EQ(warmedUp, std::to_string(kWarmUpReplies * kReplyCharacters));
    ASSERT_EQ(got, std::to_string(kReplies * kReplyCharacters));
    if (!before || !after) {
        RecordProperty("held_bytes", "not counted by this allocator; left to the leak checker");
        std::printf("note: the allocator counts no bytes here; what the program keeps is left to LeakSanitizer\n");
        return;
    }
    // Not one reply's worth stays per reply: a quarter of what passed is far beyond anything the
    // program reuses.
    EXPECT_LT(*after, *before + kReplies * kReplyCharacters / 4) << "held before: " << *before << ", after: " << *after;
}

}  // namespace
}  // namespace kelvo
