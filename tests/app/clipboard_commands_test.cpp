// Text put on the clipboard through the application's commands: exact bytes whatever the chunks,
// one web view's text at a time, the size limit, UTF-8 checked, and memory held only meanwhile.

#include <gtest/gtest.h>

#include "app/app_fixture.hpp"
#include "app/base64.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::AppHarness;
using testing::Caller;

constexpr std::string_view kOk = R"({"ok":true})";

// The append payload that carries `bytes`.
std::string chunkPayload(std::string_view bytes) {
    std::string text(base64EncodedSize(bytes.size()), '\0');
    encodeBase64({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, text.data());
    return AppHarness::quoted(text);
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
    // Whether the record holds no text and no memory for one.
    bool released() const {
        const PendingClipboardText& text = harness.app->clipboardText;
        return !text.begun && text.bytes == nullptr && text.size == 0 && text.capacity == 0;
    }

    MemoryIo memory;
    AppHarness harness{memoryIo(memory)};
};

// No-break spaces and longer characters, the first split between two chunks; memory grows with
// the text and is released once the text is on the clipboard.
TEST_F(ClipboardCommands, ChunkedTextReachesTheClipboardExactly) {
    std::string text(kAppendBytesLimit - 1, 'x');
    for (int i = 0; i < 20'000; ++i) text += "\u00A0caf\u00E9 \u20AC \U0001D11E\n";
    EXPECT_EQ(harness.call("vostra.clipboard.begin"), kOk);
    EXPECT_EQ(harness.app->clipboardText.capacity, 0u);
    EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload("")), kOk);
    for (std::size_t at = 0; at < text.size(); at += kAppendBytesLimit) {
        ASSERT_EQ(harness.call("vostra.clipboard.append", chunkPayload(text.substr(at, kAppendBytesLimit))), kOk);
        EXPECT_LT(harness.app->clipboardText.capacity, 2 * (at + kAppendBytesLimit));
    }
    EXPECT_TRUE(harness.clipboard.written.empty());
    EXPECT_EQ(harness.call("vostra.clipboard.finish"), bytesReply(text.size()));
    ASSERT_EQ(harness.clipboard.written.size(), 1u);
    EXPECT_TRUE(harness.clipboard.written[0] == text);
    EXPECT_TRUE(released());
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QUJD")"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.clipboard.finish"), "<NoOpenFile>");
}

TEST_F(ClipboardCommands, TheTextBelongsToTheWebViewThatBeganIt) {
    EXPECT_EQ(harness.call("vostra.clipboard.begin"), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QUJD")"), kOk);
    for (Caller other : {Caller{2, "main"}, Caller{1, "sidebar"}}) {
        EXPECT_EQ(harness.call("vostra.clipboard.append", R"("WFla")", other), "<NoOpenFile>");
        EXPECT_EQ(harness.call("vostra.clipboard.finish", "null", other), "<NoOpenFile>");
    }
    // A chunk that cannot be decoded is refused and the text goes on.
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QQ=B")"), "<InvalidBase64>");
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("REVG")"), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.finish"), bytesReply(6));
    EXPECT_EQ(harness.clipboard.written, std::vector<std::string>{"ABCDEF"});

    // Another view's begin drops the text: the first view's chunks then fail.
    EXPECT_EQ(harness.call("vostra.clipboard.begin"), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QUJD")"), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.begin", "null", {2, "main"}), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QUJD")"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("WFla")", {2, "main"}), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.finish", "null", {2, "main"}), bytesReply(3));
    EXPECT_EQ(harness.clipboard.written.back(), "XYZ");
}

TEST_F(ClipboardCommands, TextBeyondTheLimitIsDropped) {
    const std::string full = chunkPayload(std::string(kAppendBytesLimit, '\0'));
    ASSERT_EQ(harness.call("vostra.clipboard.begin"), kOk);
    std::size_t sent = 0;
    for (; sent + kAppendBytesLimit <= kClipboardTextLimit; sent += kAppendBytesLimit) {
        ASSERT_EQ(harness.call("vostra.clipboard.append", full), kOk);
    }
    ASSERT_EQ(harness.call("vostra.clipboard.append", chunkPayload(std::string(kClipboardTextLimit - sent, '\0'))),
              kOk);
    EXPECT_EQ(harness.app->clipboardText.size, kClipboardTextLimit);
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QQ==")"), "<ClipboardFieldTooLarge>");
    EXPECT_TRUE(released());
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QUJD")"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.clipboard.finish"), "<NoOpenFile>");
    EXPECT_TRUE(harness.clipboard.written.empty());
}

// Text the clipboard would not hold as sent, or a clipboard that refuses it: the page hears of it.
TEST_F(ClipboardCommands, FinishPutsOnlyUtf8OnTheClipboard) {
    for (const auto& row : testing::readTable("app/clipboard_texts.txt")) {
        ASSERT_EQ(row.size(), 2u);
        const std::string bytes = fromHex(row[0]);
        const std::size_t before = harness.clipboard.written.size();
        EXPECT_EQ(harness.call("vostra.clipboard.begin"), kOk);
        EXPECT_EQ(harness.call("vostra.clipboard.append", chunkPayload(bytes)), kOk) << row[0];
        EXPECT_EQ(harness.call("vostra.clipboard.finish"), row[1]) << row[0];
        const bool taken = row[1].starts_with('{');
        ASSERT_EQ(harness.clipboard.written.size(), before + (taken ? 1 : 0)) << row[0];
        if (taken) {
            EXPECT_TRUE(harness.clipboard.written.back() == bytes) << row[0];
        }
        EXPECT_TRUE(released()) << row[0];
    }
    harness.clipboard.failure = Error::UnsupportedService;
    EXPECT_EQ(harness.call("vostra.clipboard.begin"), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.append", R"("QUJD")"), kOk);
    EXPECT_EQ(harness.call("vostra.clipboard.finish"), "<UnsupportedService>");
    EXPECT_TRUE(released());
}

}  // namespace
}  // namespace kelvo
