// Text put on the clipboard and read back through the application's commands: exact bytes
// whatever the chunks, each copy its own transfer, one web view's text at a time, the size limit,
// UTF-8 checked on the way out and mended on the way in, and memory held only meanwhile.

#include <gtest/gtest.h>

#include "app/app_fixture.hpp"
#include "app/base64.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::AppHarness;
using testing::Caller;
using namespace std::string_literals;

constexpr std::string_view kOk = R"({"ok":true})";

std::string base64Of(std::string_view bytes) {
    std::string text(base64EncodedSize(bytes.size()), '\0');
    encodeBase64({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, text.data());
    return text;
}

std::string transferPayload(std::uint64_t transfer) { return R"({"transfer":)" + std::to_string(transfer) + "}"; }
std::string copyPayload(std::uint64_t transfer) { return R"({"copy":)" + std::to_string(transfer) + "}"; }

// The append payload of `transfer` that carries `bytes`.
std::string chunkPayload(std::uint64_t transfer, std::string_view bytes) {
    return R"({"transfer":)" + std::to_string(transfer) + R"(,"data":")" + base64Of(bytes) + "\"}";
}

std::string bytesReply(std::size_t count) { return R"({"ok":true,"bytes":)" + std::to_string(count) + "}"; }

std::string fromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t at = 0; hex != "-" && at < hex.size(); at += 2) {
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(at, 2)), nullptr, 16)));
    }
    return bytes;
}

class ClipboardCommands : public ::testing::Test {
protected:
    // Begins a copy and answers its transfer number (0 when the reply is not a begin's).
    std::uint64_t begin(Caller caller = {}) {
        const std::string reply = harness.call("vostra.clipboard.begin", "null", caller);
        constexpr std::string_view kStart = R"({"ok":true,"transfer":)";
        EXPECT_TRUE(reply.starts_with(kStart) && reply.ends_with('}')) << reply;
        if (!reply.starts_with(kStart)) return 0;
        return std::stoull(reply.substr(kStart.size()));
    }

    // The text the chunks of the read in progress hand out, each at most kReadChunkBytes long.
    std::string readChunks(Caller caller = {}) {
        std::string text;
        for (int chunks = 0; chunks < 1000; ++chunks) {
            const std::string reply = harness.call("vostra.clipboard.read.chunk", "null", caller);
            if (reply == R"("")") return text;
            EXPECT_TRUE(reply.size() >= 2 && reply.front() == '"' && reply.back() == '"') << reply;
            if (reply.size() < 2) return text;
            std::string bytes(kReadChunkBytes, '\0');
            auto count = decodeBase64(std::string_view(reply).substr(1, reply.size() - 2),
                                      {reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()});
            EXPECT_TRUE(count) << "a chunk larger than kReadChunkBytes";
            if (!count) return text;
            text.append(bytes, 0, *count);
        }
        ADD_FAILURE() << "the chunks do not end";
        return text;
    }

    // Whether the record holds no text and no memory for one, on its way or read.
    bool released() const {
        const PendingClipboardText& text = harness.app->clipboardText;
        const ClipboardTextRead& read = harness.app->clipboardRead;
        return text.transfer == 0 && text.bytes == nullptr && text.size == 0 && text.capacity == 0 && !read.open &&
               read.bytes == nullptr && read.size == 0;
    }

    MemoryIo memory;
    AppHarness harness{memoryIo(memory)};
};

// No-break spaces and longer characters, the first split between two chunks; memory grows with
// the text and is released once the text is on the clipboard.
TEST_F(ClipboardCommands, ChunkedTextReachesTheClipboardExactly) {
    std::string text(kAppendBytesLimit - 1, 'x');
    for (int i = 0; i < 20'000; ++i) text += "\u00A0caf\u00E9 \u20AC \U0001D11E\n";
    const std::uint64_t transfer = begin();
    EXPECT_EQ(transfer, 1u);
    EXPECT_EQ(harness.app->clipboardText.capacity, 0u);
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, "")), kOk);
    for (std::size_t at = 0; at < text.size(); at += kAppendBytesLimit) {
        ASSERT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, text.substr(at, kAppendBytesLimit))),
                  kOk);
        EXPECT_LT(harness.app->clipboardText.capacity, 2 * (at + kAppendBytesLimit));
    }
    EXPECT_TRUE(harness.clipboard.written.empty());
    EXPECT_EQ(harness.call("vostra.clipboard.finish", transferPayload(transfer)), bytesReply(text.size()));
    ASSERT_EQ(harness.clipboard.written.size(), 1u);
    EXPECT_TRUE(harness.clipboard.written[0] == text);
    EXPECT_TRUE(released());
}

// Overlapping copies, stale and finished transfers, other web views, reads of the application's
// own copy and of another program's text, one command after another.
TEST_F(ClipboardCommands, SessionOfCopiesAndReads) {
    for (const auto& row : testing::readTable("app/clipboard_session.txt")) {
        if (row.size() == 2 && row[0] == "offer") {
            harness.clipboard.offer(row[1]);
            continue;
        }
        if (row.size() == 2 && row[0] == "marked") {
            EXPECT_EQ(harness.clipboard.markedAge, std::stoull(row[1])) << "the mark before";
            continue;
        }
        ASSERT_TRUE(row.size() == 4 || row.size() == 5) << row[0];
        const std::size_t colon = row[0].find(':');
        ASSERT_NE(colon, std::string::npos) << row[0];
        const Caller caller{std::stoull(row[0].substr(0, colon)), std::string_view(row[0]).substr(colon + 1)};
        EXPECT_EQ(harness.call(row[1], row[2], caller), row[3]) << row[0] << " " << row[1] << " " << row[2];
        if (row.size() == 5) {
            EXPECT_EQ(harness.clipboard.text, row[4] == "-" ? "" : row[4]) << row[1] << " " << row[2];
        }
    }
}

// Text the clipboard would not hold as sent, or a clipboard that refuses it: the page hears of it.
TEST_F(ClipboardCommands, FinishPutsOnlyUtf8OnTheClipboardAndAnswersWhatItHolds) {
    std::uint64_t lastTaken = 0;
    for (const auto& row : testing::readTable("app/clipboard_texts.txt")) {
        ASSERT_EQ(row.size(), 2u);
        const std::string bytes = fromHex(row[0]);
        const std::size_t before = harness.clipboard.written.size();
        const std::uint64_t transfer = begin();
        EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, bytes)), kOk) << row[0];
        EXPECT_EQ(harness.call("vostra.clipboard.finish", transferPayload(transfer)), row[1]) << row[0];
        const bool taken = row[1].starts_with('{');
        ASSERT_EQ(harness.clipboard.written.size(), before + (taken ? 1 : 0)) << row[0];
        if (taken) {
            EXPECT_TRUE(harness.clipboard.written.back() == bytes) << row[0];
            lastTaken = transfer;
        }
        EXPECT_TRUE(released()) << row[0];
    }
    // A copy that failed gave the clipboard it claimed up: it holds nothing of the application's.
    EXPECT_EQ(harness.clipboard.held, 0u);
    lastTaken = begin();
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(lastTaken, "kept")), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.finish", transferPayload(lastTaken)), bytesReply(4));
    harness.clipboard.failure = Error::UnsupportedService;
    const std::uint64_t transfer = begin();
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, "ABC")), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.finish", transferPayload(transfer)), "<UnsupportedService>");
    EXPECT_TRUE(released());
    // The clipboard still holds the last text taken: it is named; another program's is read.
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin", copyPayload(lastTaken)),
              R"({"ok":true,"copy":)" + std::to_string(lastTaken) + "}");
    harness.clipboard.offer("other");
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin", copyPayload(lastTaken)), "<UnsupportedService>");
    EXPECT_TRUE(released());
}

// Another program's text comes back whole through the chunks, NULs and all, with what is not
// UTF-8 mended; the application's own copy is named instead of read.
TEST_F(ClipboardCommands, ReadBeginAnswersTheCopyOrReadsTheTextMended) {
    for (const auto& row : testing::readTable("app/clipboard_reads.txt")) {
        ASSERT_EQ(row.size(), 3u);
        harness.clipboard.offer(fromHex(row[0]));
        EXPECT_EQ(harness.call("vostra.clipboard.read.begin"), row[1]) << row[0];
        EXPECT_TRUE(readChunks() == fromHex(row[2])) << row[0];
        EXPECT_EQ(harness.call("vostra.clipboard.read.finish"), kOk);
        EXPECT_TRUE(released()) << row[0];
    }

    const std::uint64_t transfer = begin();
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, std::string("a\0b", 3))), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.finish", transferPayload(transfer)), bytesReply(3));
    const int reads = harness.clipboard.reads;
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin", copyPayload(transfer)),
              R"({"ok":true,"copy":)" + std::to_string(transfer) + "}");
    EXPECT_EQ(harness.clipboard.reads, reads) << "the copy is not read";
    EXPECT_TRUE(released());
}

// The clipboard's holder answers in its own time: begin answers once it handed its text over or
// failed; a begin meanwhile ends the waiting one, whose page hears NoOpenFile; a record released
// while a read waits ends the read and answers nobody.
TEST_F(ClipboardCommands, ReadBeginAnswersOnceTheHolderAnswered) {
    harness.clipboard.holding = true;
    harness.clipboard.offer("late");
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin"), "<waiting>");
    EXPECT_EQ(harness.call("vostra.clipboard.read.chunk"), "<NoOpenFile>");
    harness.clipboard.answer();
    ASSERT_TRUE(harness.slots.back().reply);
    EXPECT_EQ(testing::resultOf(*harness.slots.back().reply), bytesReply(4));
    EXPECT_EQ(readChunks(), "late");

    EXPECT_EQ(harness.call("vostra.clipboard.read.begin"), "<waiting>");
    const testing::ReplySlot& replaced = harness.slots.back();
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin", "null", {2, "main"}), "<waiting>");
    ASSERT_TRUE(replaced.reply);
    EXPECT_EQ(testing::resultOf(*replaced.reply), "<NoOpenFile>");
    EXPECT_EQ(harness.clipboard.cancels, 1);
    harness.clipboard.failure = Error::ClipboardNotAnswering;
    harness.clipboard.answer();
    ASSERT_TRUE(harness.slots.back().reply);
    EXPECT_EQ(testing::resultOf(*harness.slots.back().reply), "<ClipboardNotAnswering>");
    EXPECT_TRUE(released());

    harness.clipboard.failure.reset();
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin"), "<waiting>");
    harness.app.reset();
    EXPECT_EQ(harness.clipboard.cancels, 2);
    EXPECT_FALSE(harness.slots.back().reply);
}

// A paste of many chunks, of many short lines: every byte in order, and the memory goes with the
// read's finish.
TEST_F(ClipboardCommands, LongTextIsReadInChunks) {
    std::string text;
    while (text.size() < 3 * kReadChunkBytes + 100) text += "ab\u00A0\0cdefg\n"s;
    harness.clipboard.offer(text);
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin", "null", {2, "main"}), bytesReply(text.size()));
    EXPECT_EQ(harness.call("vostra.clipboard.read.chunk"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.clipboard.read.finish"), "<NoOpenFile>");
    EXPECT_TRUE(readChunks({2, "main"}) == text);
    EXPECT_FALSE(released()) << "the text stays until the read finishes";
    EXPECT_EQ(harness.call("vostra.clipboard.read.finish", "null", {2, "main"}), kOk);
    EXPECT_TRUE(released());
}

TEST_F(ClipboardCommands, TextBeyondTheLimitIsDropped) {
    const std::string full = base64Of(std::string(kAppendBytesLimit, '\0'));
    const std::uint64_t transfer = begin();
    const std::string fullPayload = R"({"transfer":)" + std::to_string(transfer) + R"(,"data":")" + full + "\"}";
    std::size_t sent = 0;
    for (; sent + kAppendBytesLimit <= kClipboardTextLimit; sent += kAppendBytesLimit) {
        ASSERT_EQ(harness.call("vostra.clipboard.append", fullPayload), kOk);
    }
    ASSERT_EQ(
        harness.call("vostra.clipboard.append", chunkPayload(transfer, std::string(kClipboardTextLimit - sent, '\0'))),
        kOk);
    EXPECT_EQ(harness.app->clipboardText.size, kClipboardTextLimit);
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, "A")), "<ClipboardFieldTooLarge>");
    EXPECT_TRUE(released());
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(transfer, "ABC")), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.clipboard.finish", transferPayload(transfer)), "<NoOpenFile>");
    EXPECT_TRUE(harness.clipboard.written.empty());

    // A read of the largest text is taken; one byte more, or a mended byte that makes it longer,
    // is refused and keeps nothing, the read before included.
    std::string text(kClipboardTextLimit, 'x');
    harness.clipboard.offer(text);
    EXPECT_EQ(harness.call("vostra.clipboard.read.begin"), bytesReply(kClipboardTextLimit));
    std::string mended = text;
    mended[0] = '\xff';
    for (const std::string& larger : {text + "x", mended}) {
        harness.clipboard.offer(larger);
        EXPECT_EQ(harness.call("vostra.clipboard.read.begin"), "<ClipboardFieldTooLarge>");
        EXPECT_TRUE(released());
        EXPECT_EQ(harness.call("vostra.clipboard.read.chunk"), "<NoOpenFile>");
    }
}

}  // namespace
}  // namespace kelvo
