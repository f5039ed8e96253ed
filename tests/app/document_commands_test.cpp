// The document and link commands on the in-memory disk: replies, errors, limits, ownership and
// what an interrupted save leaves behind.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/app_fixture.hpp"
#include "app/base64.hpp"
#include "app/policies.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::AppHarness;
using testing::Caller;

constexpr Caller kOther{2, "main"};
constexpr Caller kSameWindowOtherView{1, "sidebar"};

// A disk with two small files and two folders named like documents.
struct DocumentDisk {
    DocumentDisk() {
        memory.putFile("/docs/a.vrs", "abc");
        memory.putFile("/docs/photo.JPEG", "abc");
        memory.putFolder("/docs/folder.vrs");
        memory.putFolder("/docs/folder.png");
    }

    // Every path on the disk: a save in progress or abandoned would show as an extra file.
    std::vector<std::string> disk() const { return memory.paths(); }
    std::vector<std::string> untouchedDisk() const {
        return {"/docs", "/docs/a.vrs", "/docs/folder.png", "/docs/folder.vrs", "/docs/photo.JPEG"};
    }

    MemoryIo memory;
    AppHarness harness{memoryIo(memory)};
};

class DocumentCommands : public ::testing::Test, public DocumentDisk {};

TEST(DocumentCommandTable, EachCommandOnAFreshApplication) {
    for (const auto& row : testing::readTable("app/commands.txt")) {
        ASSERT_EQ(row.size(), 3u);
        DocumentDisk fresh;
        std::string reply = fresh.harness.call(row[0], row[1]);
        EXPECT_EQ(reply, row[2]) << row[0] << " " << row[1];
        EXPECT_EQ(fresh.memory.fileText("/docs/a.vrs"), "abc") << row[1];
    }
}

TEST(DocumentCommandTable, RowsAreThePolicyCommandsInOrder) {
    MemoryIo memory;
    AppHarness harness{memoryIo(memory)};
    auto table = appCommandTable(*harness.app);
    auto deferred = appDeferredCommandTable(*harness.app);
    ASSERT_EQ(table.size() + deferred.size(), kFilePolicies.size());
    // The deferred rows take their places in the policies' order; the others follow it.
    std::size_t row = 0;
    std::size_t later = 0;
    for (const auto& policy : kFilePolicies) {
        const bool isDeferred = later < deferred.size() && deferred[later].name == policy.command;
        const std::string_view name = isDeferred ? deferred[later].name : table[row].name;
        const void* context = isDeferred ? deferred[later].context : table[row].context;
        EXPECT_EQ(name, policy.command);
        EXPECT_EQ(context, harness.app.get());
        ++(isDeferred ? later : row);
    }
}

TEST_F(DocumentCommands, SaveReplacesTheDocumentOnlyWhenItFinishes) {
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("REVG")"), R"({"ok":true})");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc");
    EXPECT_EQ(disk().size(), untouchedDisk().size() + 1) << "one temporary file beside the document";
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":6})");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "ABCDEF");
    EXPECT_EQ(disk(), untouchedDisk());
    EXPECT_EQ(memory.callCount(IoOp::sync_folder, "/docs"), 1u);
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");

    // Padding: one byte, two bytes, only in the last group.
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/new.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJDQQ==")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUI=")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":6})");
    EXPECT_EQ(memory.fileText("/docs/new.vrs"), "ABCAAB");
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST_F(DocumentCommands, CancelAndANewBeginDropTheSaveAndKeepTheDocument) {
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.cancel"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
    EXPECT_EQ(disk(), untouchedDisk());

    // A begin that replaces a save, even one that then fails, leaves no count behind.
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/nowhere/b.vrs")"), "<FileNotFound>");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
    EXPECT_EQ(disk(), untouchedDisk());

    // A refused path changes nothing: the save in progress goes on.
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/../a.vrs")"), "<InvalidVrsPath>");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "ABC");
}

TEST_F(DocumentCommands, ReleasingTheApplicationRemovesAnUnfinishedSave) {
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/photo.JPEG")"), R"({"ok":true,"bytes":3})");
    harness.app.reset();
    EXPECT_EQ(disk(), untouchedDisk());
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc");
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST_F(DocumentCommands, FailedWritesEndTheSaveWithoutTouchingTheDocument) {
    // No space left on the second append; then a write that makes no progress.
    memory.failOn(IoOp::write_positional, "/docs/*", Error::NoSpaceLeft, 1);
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("REVG")"), "<NoSpaceLeft>");
    EXPECT_EQ(harness.call("vostra.file.append", R"("REVG")"), "<NoOpenFile>");
    EXPECT_EQ(disk(), untouchedDisk());
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc");

    memory.clearFaults();
    memory.shortWrites("/docs/*", 0);
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), "<WriteFailed>");
    EXPECT_EQ(disk(), untouchedDisk());
}

// A document its owner may not write is not replaced by a save either, though its folder may be
// written; one they may write but not read is.
TEST_F(DocumentCommands, ADocumentItsOwnerMayNotWriteIsNotReplaced) {
    for (std::uint16_t mode : {0444, 0555, 0400, 0000}) {
        memory.putFile("/docs/a.vrs", "abc", mode);
        EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), "<AccessDenied>") << mode;
        EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), "<NoOpenFile>") << mode;
        EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})") << mode;
        EXPECT_EQ(disk(), untouchedDisk()) << mode;
        EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc") << mode;
        EXPECT_EQ(memory.mode("/docs/a.vrs"), mode) << mode;
    }
    memory.putFile("/docs/a.vrs", "abc", 0200);
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/a.vrs")"), "<AccessDenied>");
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "ABC");
    EXPECT_EQ(memory.mode("/docs/a.vrs"), 0200);
}

TEST_F(DocumentCommands, AFinishThatCannotCompleteReportsItAndKeepsTheDocument) {
    for (IoOp op : {IoOp::set_length, IoOp::sync, IoOp::close, IoOp::rename}) {
        memory.clearFaults();
        memory.failOn(op, "/docs/.*", Error::InputOutput);  // temporary files only
        EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
        EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
        EXPECT_EQ(harness.call("vostra.file.finish"), "<InputOutput>") << ioOpName(op);
        EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc") << ioOpName(op);
        EXPECT_EQ(disk(), untouchedDisk()) << ioOpName(op);
        EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
    }
    // The folder sync comes after the rename: the document is new, but durability is not promised.
    memory.clearFaults();
    memory.failOn(IoOp::sync_folder, "/docs", Error::InputOutput);
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), "<InputOutput>");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "ABC");
    EXPECT_EQ(disk(), untouchedDisk());
}

TEST_F(DocumentCommands, OpenFilesBelongToTheWebViewThatBeganThem) {
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    for (Caller other : {kOther, kSameWindowOtherView}) {
        EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")", other), "<NoOpenFile>");
        EXPECT_EQ(harness.call("vostra.file.finish", "null", other), "<NoOpenFile>");
        EXPECT_EQ(harness.call("vostra.file.cancel", "null", other), "<NoOpenFile>");
    }
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");

    // Another view's begin takes the slot over; the first view's save then fails instead of
    // writing into the other document.
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/b.vrs")", kOther), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("REVG")"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.file.append", R"("WFla")", kOther), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish", "null", kOther), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc");
    EXPECT_EQ(memory.fileText("/docs/b.vrs"), "XYZ");

    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/a.vrs")"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(harness.call("vostra.file.read.chunk", "null", kOther), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.file.read.finish", "null", kOther), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("YWJj")");
    EXPECT_EQ(harness.call("vostra.file.read.finish"), R"({"ok":true})");

    std::string tooLong(kWebViewLabelBytes + 1, 'w');
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")", {1, tooLong}), "<WebViewLabelTooLarge>");
}

// A file name that is not UTF-8 comes from the page with each such byte escaped alone (as the
// dialogs write it): the document is read and saved under its own bytes.
TEST_F(DocumentCommands, APathsBytesThatAreNotUtf8ComeEscaped) {
    memory.putFile("/docs/caf\xE9.vrs", "old");
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/caf\udce9.vrs")"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/\udcc3\udca9\uDCFF.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("bmV3")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(memory.fileText("/docs/\xC3\xA9\xFF.vrs"), "new");
}

TEST_F(DocumentCommands, ReadsCheckTheReplyBeforeTakingAChunk) {
    std::string content(kReadChunkBytes + 1, 'z');
    memory.putFile("/docs/big.txt", content);
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/big.txt")"), R"({"ok":true,"bytes":196609})");
    std::vector<char> small(base64EncodedSize(kReadChunkBytes) + 1);
    EXPECT_EQ(harness.callInto(small, "vostra.file.read.chunk", "null"), "<Base64OutputTooSmall>");
    std::string first = harness.call("vostra.file.read.chunk");
    EXPECT_EQ(first.size(), 262'146u);
    EXPECT_EQ(first.substr(0, 5), "\"enp6");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("eg==")");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("")");
    EXPECT_EQ(harness.call("vostra.file.read.finish"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), "<NoOpenFile>");

    // An empty file ends at once; a failed size query leaves nothing open.
    memory.putFile("/docs/empty.txt", "");
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/empty.txt")"), R"({"ok":true,"bytes":0})");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("")");
    memory.failOn(IoOp::file_stat, "/docs/a.vrs", Error::InputOutput);
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/a.vrs")"), "<InputOutput>");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), "<NoOpenFile>");
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST_F(DocumentCommands, ReadsStopAtTheSizeFoundWhenTheyBegan) {
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/a.vrs")"), R"({"ok":true,"bytes":3})");
    memory.putFile("/docs/a.vrs", "abcdef");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("YWJj")");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("")");

    // A file that shrinks ends early.
    EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/a.vrs")"), R"({"ok":true,"bytes":6})");
    memory.putFile("/docs/a.vrs", "ab");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("YWI=")");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("")");
}

TEST_F(DocumentCommands, PayloadAndPathLimits) {
    // A path of 1,023 bytes can be saved, even with a name shorter than the temporary file's;
    // 1,024 bytes fail in the I/O layer; 1,025 are too long to decode.
    std::string folder;
    while (folder.size() < 1023 - 8)
        folder += "/" + std::string(std::min<std::size_t>(200, 1023 - 8 - folder.size() - 1), 'd');
    ASSERT_EQ(folder.size(), 1023u - 8);
    memory.putFolder(folder);
    const std::string shortest = folder + "/abc.vrs";
    ASSERT_EQ(shortest.size(), 1023u);
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(shortest)), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(memory.fileText(shortest), "ABC");
    EXPECT_EQ(harness.call("vostra.file.read.begin", AppHarness::quoted(shortest)), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("QUJD")");
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(folder + "/abcd.vrs")), "<NameTooLong>");
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(folder + "/abcde.vrs")), "<StringTooLong>");

    auto pathOf = [&](std::size_t bytes) { return "/docs/" + std::string(bytes - 10, 'n') + ".vrs"; };
    EXPECT_EQ(harness.call("vostra.file.read.begin", AppHarness::quoted(pathOf(2048))), "<NameTooLong>");
    EXPECT_EQ(harness.call("vostra.file.read.begin", AppHarness::quoted(pathOf(2049))), "<StringTooLong>");
    std::string url = "https://vostra.example/";
    EXPECT_EQ(harness.call("vostra.url.open", AppHarness::quoted(url + std::string(2048 - url.size(), 'p'))),
              "<InvalidExternalUrl>");
    EXPECT_EQ(harness.call("vostra.url.open", AppHarness::quoted(url + std::string(2049 - url.size(), 'p'))),
              "<StringTooLong>");
    EXPECT_EQ(harness.call("vostra.url.open", AppHarness::quoted(url + std::string(2047 - url.size(), 'p'))),
              R"({"ok":true})");
    EXPECT_EQ(harness.links.opened.size(), 1u);

    // The largest append decodes to the largest chunk; one group more is too long to decode.
    std::string chunk;
    for (std::size_t i = 0; i < kAppendTextLimit / 4; ++i) chunk += "QUJD";
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", AppHarness::quoted(chunk + "QUJD")), "<StringTooLong>");
    EXPECT_EQ(harness.call("vostra.file.append", AppHarness::quoted(chunk)), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":73728})");
}

// Every saved document can be opened again: a save reaches the read limit exactly, and the append
// that would pass it ends the save with the document as it was.
TEST_F(DocumentCommands, ASaveStopsAtTheReadLimit) {
    std::string full;
    for (std::size_t i = 0; i < kAppendTextLimit / 4; ++i) full += "QUJD";
    const std::string fullPayload = AppHarness::quoted(full);
    const std::size_t fullChunks = kReadableFileLimit / kAppendBytesLimit;
    std::string rest;
    for (std::size_t i = 0; i < (kReadableFileLimit % kAppendBytesLimit) / 3; ++i) rest += "QUJD";
    rest += "QUI=";  // the last two bytes
    for (const char* last : {"", R"("QQ==")"}) {
        EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
        for (std::size_t i = 0; i < fullChunks; ++i)
            ASSERT_EQ(harness.call("vostra.file.append", fullPayload), R"({"ok":true})");
        EXPECT_EQ(harness.call("vostra.file.append", AppHarness::quoted(rest)), R"({"ok":true})");
        if (*last == '\0') {
            EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":33554432})");
            EXPECT_EQ(harness.call("vostra.file.read.begin", R"("/docs/a.vrs")"), R"({"ok":true,"bytes":33554432})");
            EXPECT_EQ(harness.call("vostra.file.read.finish"), R"({"ok":true})");
            memory.putFile("/docs/a.vrs", "abc");
            continue;
        }
        EXPECT_EQ(harness.call("vostra.file.append", last), "<VrsFileTooLarge>");
        EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), "<NoOpenFile>");
        EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
        EXPECT_EQ(memory.fileText("/docs/a.vrs"), "abc");
        EXPECT_EQ(disk(), untouchedDisk());
    }
}

// A begin clears what earlier saves of its document left behind, and nothing else: not the
// temporary file of another document being saved, not a file that only looks like a leftover.
TEST_F(DocumentCommands, TheStaleTemporarySweepTakesOnlyThisDocumentsLeftovers) {
    auto extraFiles = [&] {
        std::vector<std::string> extra;
        auto known = untouchedDisk();
        for (const std::string& path : disk()) {
            if (std::find(known.begin(), known.end(), path) == known.end()) extra.push_back(path);
        }
        return extra;
    };
    // A temporary file as a save that ended with its process leaves it.
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    ASSERT_EQ(extraFiles().size(), 1u);
    const std::string stale = extraFiles()[0];
    EXPECT_EQ(harness.call("vostra.file.cancel"), R"({"ok":true})");
    memory.putFile(stale, "left behind");
    // A user's file that differs from it in one digit, and one of another name.
    std::string lookalike = stale;
    lookalike[lookalike.rfind('/') + 10] = lookalike[lookalike.rfind('/') + 10] == '0' ? '1' : '0';
    memory.putFile(lookalike, "mine");
    memory.putFile("/docs/.a.vrs.tmp", "mine too");
    // Another document's save in progress, in another process.
    AppHarness other{memoryIo(memory)};
    EXPECT_EQ(other.call("vostra.file.begin", R"("/docs/b.vrs")"), R"({"ok":true})");
    EXPECT_EQ(other.call("vostra.file.append", R"("WFla")"), R"({"ok":true})");
    ASSERT_EQ(extraFiles().size(), 4u);

    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_FALSE(memory.exists(stale));
    EXPECT_EQ(memory.fileText(lookalike), "mine");
    EXPECT_EQ(memory.fileText("/docs/.a.vrs.tmp"), "mine too");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(other.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "ABC");
    EXPECT_EQ(memory.fileText("/docs/b.vrs"), "XYZ");
    std::vector<std::string> left = extraFiles();
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {"/docs/.a.vrs.tmp", "/docs/b.vrs", lookalike};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

// The replaced document's permission bits carry over to the new one (the in-memory disk has no
// umask; the real file system's tests try the umask).
TEST_F(DocumentCommands, ASaveKeepsTheDocumentsPermissionBits) {
    auto file = ioOpenFile(memoryIo(memory), "/docs/a.vrs");
    ASSERT_TRUE(file);
    ASSERT_TRUE(ioSetMode(memoryIo(memory), *file, 0640));
    ASSERT_TRUE(ioClose(memoryIo(memory), *file));
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
    EXPECT_EQ(memory.mode("/docs/a.vrs"), 0640);
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/new.vrs")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
    EXPECT_EQ(memory.mode("/docs/new.vrs"), 0666);

    // A save that cannot set the bits is dropped before anything is written.
    memory.failOn(IoOp::set_mode, "/docs/.*", Error::AccessDenied);
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), "<AccessDenied>");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), "<NoOpenFile>");
    EXPECT_EQ(memory.fileText("/docs/a.vrs"), "");
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(AppSource, TheDevelopmentServerWinsOverTheBundle) {
    MemoryIo memory;
    AppHarness bundled{memoryIo(memory), EnvMap::fromList({{"KELVO_FRONTEND_URL", ""}})};
    auto assets = appSource(bundled.app.get());
    ASSERT_TRUE(assets);
    EXPECT_EQ(assets->kind, WindowSourceKind::assets);
    EXPECT_EQ(assets->text, "vexa://app");
    ASSERT_TRUE(assets->assets);
    EXPECT_TRUE(assets->assets->assetRoot.ends_with("/frontend/dist")) << assets->assets->assetRoot;
    EXPECT_EQ(assets->assets->entry, "index.html");
    EXPECT_EQ(assets->assets->origin, "vexa://app");
    EXPECT_TRUE(assets->assets->spaFallback);

    AppHarness developing{memoryIo(memory), EnvMap::fromList({{"KELVO_FRONTEND_URL", "http://127.0.0.1:5173/"}})};
    auto served = appSource(developing.app.get());
    ASSERT_TRUE(served);
    EXPECT_EQ(*served, (WindowSource{"http://127.0.0.1:5173/", std::nullopt, WindowSourceKind::url}));
}

}  // namespace
}  // namespace kelvo
