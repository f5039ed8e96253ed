// The document and link commands on the in-memory disk: replies, errors, limits, ownership and
// what an interrupted save leaves behind.

#include <gtest/gtest.h>

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
    ASSERT_EQ(table.size(), kFilePolicies.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].name, kFilePolicies[i].command);
        EXPECT_EQ(table[i].context, harness.app.get());
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

    // A document the user may not write is not replaced either.
    memory.clearFaults();
    memory.failOn(IoOp::open_file, "/docs/a.vrs", Error::AccessDenied);
    EXPECT_EQ(harness.call("vostra.file.begin", R"("/docs/a.vrs")"), "<AccessDenied>");
    EXPECT_EQ(disk(), untouchedDisk());
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
    // Paths of 1,023 bytes can be saved; 1,024 fail in the I/O layer; 1,025 are too long to decode.
    std::string folder;
    for (int i = 0; i < 4; ++i) folder += "/" + std::string(200, 'd');
    memory.putFolder(folder);
    auto pathOf = [&](std::size_t bytes) {
        return folder + "/" + std::string(bytes - folder.size() - 5, 'n') + ".vrs";
    };
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(pathOf(1023))), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":0})");
    EXPECT_TRUE(memory.exists(pathOf(1023)));
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(pathOf(1024))), "<NameTooLong>");
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(pathOf(1025))), "<StringTooLong>");
    EXPECT_EQ(harness.call("vostra.file.read.begin", AppHarness::quoted(pathOf(1023))), R"({"ok":true,"bytes":0})");
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
