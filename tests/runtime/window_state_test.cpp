#include "runtime/persist/window_state_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/memory_io.hpp"
#include "runtime/persist/window_state_store.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

std::string zonString(std::string_view bytes) {
    std::array<char, 1024> buffer;
    BoundedWriter out(buffer);
    writeZonString(out, bytes);
    EXPECT_FALSE(out.overflowed());
    return std::string(out.text());
}

std::string recordLine(const WindowStateRecord& record) {
    std::array<char, 4096> buffer;
    BoundedWriter out(buffer);
    writeWindowStateRecord(out, record);
    EXPECT_FALSE(out.overflowed());
    return std::string(out.text());
}

std::vector<std::string> scanAll(std::string_view text) {
    std::vector<std::string> records;
    WindowStateScanner scanner{text};
    while (auto record = nextWindowStateRecord(scanner)) records.emplace_back(*record);
    return records;
}

// Reads one record line back the way a save reads it.
WindowStateRecord readBack(std::string_view line, std::array<char, 4096>& storage) {
    UnescapeBuffer unescape{storage, 0};
    WindowStateScanner scanner{line};
    auto record = nextWindowStateRecord(scanner);
    EXPECT_TRUE(record.has_value());
    auto label = parseStringField(*record, ".label", unescape);
    EXPECT_TRUE(label.has_value());
    return parseRecord(*record, label.value_or(""), unescape);
}

TEST(WindowStateText, StringEscapes) {
    const struct {
        std::string bytes;
        std::string written;
    } cases[] = {
        {std::string("a\"b\\c\t\x01", 7), "\"a\\\"b\\\\c\\t\\x01\""},
        {"\r\n", "\"\\r\\n\""},
        {std::string("\x00\x1b\x1f", 3), "\"\\x00\\x1b\\x1f\""},
        {"\x7f\xc3\xa9 ", "\"\x7f\xc3\xa9 \""},
    };
    // That every escaped string reads back as the same bytes is checked by RandomRecordsRoundTrip.
    for (const auto& c : cases) EXPECT_EQ(zonString(c.bytes), c.written);
}

TEST(WindowStateText, BadStringsAreAbsent) {
    const char* records[] = {
        "{ .label = \"a\\qb\" }",       // unknown escape
        "{ .label = \"a\\x4\" }",       // \x with one digit
        "{ .label = \"a\\xg0\" }",      // not hexadecimal
        "{ .label = \"a\tb\" }",        // raw control byte
        "{ .label = \"unterminated }",  // no closing quote
        "{ .label = 5 }",               // no string at all
        "{ .title = \"t\" }",           // no such field
    };
    for (const char* record : records) {
        std::array<char, 64> storage;
        UnescapeBuffer unescape{storage, 0};
        EXPECT_FALSE(parseStringField(record, ".label", unescape).has_value()) << record;
    }
    // Upper-case hexadecimal digits are accepted.
    std::array<char, 64> storage;
    UnescapeBuffer unescape{storage, 0};
    EXPECT_EQ(parseStringField("{ .label = \"\\x1B\" }", ".label", unescape), std::string_view("\x1b"));
}

TEST(WindowStateText, UnescapedStringNeedsRoomInTheBuffer) {
    std::string record = "{ .label = \"ab\\tcd\" }";
    std::array<char, 4> small;
    UnescapeBuffer tight{small, 0};
    EXPECT_FALSE(parseStringField(record, ".label", tight).has_value());
    EXPECT_EQ(tight.used, 0u);
    std::array<char, 5> exact;
    UnescapeBuffer fits{exact, 0};
    EXPECT_EQ(parseStringField(record, ".label", fits), std::string_view("ab\tcd"));
    EXPECT_EQ(fits.used, 5u);
}

TEST(WindowStateReader, FieldValuesAndDefaults) {
    for (const std::string& line : testing::readLines("window_state/field_values.txt")) {
        std::istringstream expected(line.substr(line.find(" | ") + 3));
        float width = 0;
        float height = 0;
        bool open = false;
        std::uint64_t id = 0;
        expected >> width >> height >> open >> id;
        std::array<char, 64> storage;
        UnescapeBuffer unescape{storage, 0};
        WindowStateRecord record = parseRecord(line.substr(0, line.find(" | ")), "a", unescape);
        EXPECT_EQ(record.width, width) << line;
        EXPECT_EQ(record.height, height) << line;
        EXPECT_EQ(record.open, open) << line;
        EXPECT_EQ(record.id, id) << line;
        EXPECT_EQ(record.title, "") << line;
        EXPECT_EQ(record.scale, 1) << line;
        EXPECT_FALSE(record.focused || record.maximized || record.fullscreen) << line;
    }
}

TEST(WindowStateReader, NamesInsideStringsNeverStandInForFields) {
    // A title such as "report.xlsx" or a label holding ".title = " must not hijack a field.
    WindowStateRecord original;
    original.id = 3;
    original.label = ".title = \"x\", .x = 9";
    original.title = "report.xlsx, .width = 1";
    original.x = 40;
    original.width = 640;
    std::string line = recordLine(original);
    std::array<char, 4096> storage;
    WindowStateRecord back = readBack(line, storage);
    EXPECT_EQ(back.label, original.label);
    EXPECT_EQ(back.title, original.title);
    EXPECT_EQ(back.x, 40);
    EXPECT_EQ(back.width, 640);

    // A longer name that merely starts with the wanted one is another field.
    std::array<char, 16> small;
    UnescapeBuffer unescape{small, 0};
    WindowStateRecord prefixed = parseRecord("{ .xyz = 5, .label = \"a\" }", "a", unescape);
    EXPECT_EQ(prefixed.x, 0);
}

TEST(WindowStateReader, RandomRecordsRoundTrip) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    for (int round = 0; round < 300; ++round) {
        std::string label(static_cast<std::size_t>(length(random)) + 1, '\0');
        std::string title(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : label) c = static_cast<char>(byte(random));
        for (char& c : title) c = static_cast<char>(byte(random));
        WindowStateRecord original;
        original.id = random();
        original.label = label;
        original.title = title;
        original.open = round % 2 == 0;
        original.focused = round % 3 == 0;
        original.maximized = round % 5 == 0;
        original.fullscreen = round % 7 == 0;
        original.x = static_cast<float>(random()) / 1024.0f - 1e6f;
        original.y = -static_cast<float>(round) / 3.0f;
        original.width = static_cast<float>(round) + 0.25f;
        original.height = 1e-3f * static_cast<float>(round + 1);
        original.scale = 2;
        std::array<char, 4096> storage;
        std::string line = recordLine(original);
        WindowStateRecord back = readBack(line, storage);
        EXPECT_EQ(back.label, original.label);
        EXPECT_EQ(back.title, original.title);
        EXPECT_EQ(recordLine(back), line);  // every other field, bit for bit
    }
}

TEST(WindowStateScan, FindsRecordSpans) {
    const struct {
        std::string text;
        std::vector<std::string> records;
    } cases[] = {
        // A "}" inside a quoted title does not close the record.
        {"x { .label = \"a\", .title = \"}\\\"}\" } y { .label = \"b\" }",
         {"{ .label = \"a\", .title = \"}\\\"}\" }", "{ .label = \"b\" }"}},
        // No closing brace: the scan ends.
        {"{ .label = \"a\" } { .label = \"b\"", {"{ .label = \"a\" }"}},
        // No opening brace before the first ".label": that one is passed over.
        {".label { .label = \"a\" }", {"{ .label = \"a\" }"}},
        // A stray ".label" after a record never leads back into that record.
        {"{ .label = \"a\" } .label } { .label = \"b\" }", {"{ .label = \"a\" }", "{ .label = \"b\" }"}},
        {"", {}},
        {"{ .id = 1 }", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(scanAll(c.text), c.records) << c.text;
}

constexpr std::string_view kFolder = "/home/me/Library/Application Support/app.vostra/State";
constexpr std::string_view kFile = "/home/me/Library/Application Support/app.vostra/State/windows.zon";
constexpr std::string_view kTemporary = "/home/me/Library/Application Support/app.vostra/State/windows.zon.tmp";

WindowStateRecord windowRecord(std::uint64_t id, std::string_view label) {
    WindowStateRecord record;
    record.id = id;
    record.label = label;
    record.title = "Vostra Studio";
    record.x = 10;
    record.y = 20;
    record.width = 800;
    record.height = 600;
    return record;
}

std::string fileOf(const std::vector<WindowStateRecord>& records) {
    std::string text(kWindowStateHeader);
    for (const auto& record : records) text += recordLine(record);
    return text + std::string(kWindowStateFooter);
}

class WindowStateSave : public ::testing::Test {
protected:
    void SetUp() override {
        memory.putFolder("/home/me");
        ASSERT_TRUE(configureWindowStateStore(store, memoryIo(memory), kFolder));
    }

    Status save(const WindowStateRecord& update) { return saveWindowState(store, update, windowStateScratch()); }
    std::string file() const { return memory.fileText(kFile).value_or("<missing>"); }

    MemoryIo memory;
    WindowStateStore store;
};

TEST_F(WindowStateSave, FirstSaveCreatesTheFolderAndWritesTheExactText) {
    WindowStateRecord main = windowRecord(1, "main");
    main.title = "";
    main.focused = true;
    main.x = 100;
    main.y = 120.5f;
    main.width = 1280;
    main.height = 820;
    main.scale = 2;
    ASSERT_TRUE(save(main));
    EXPECT_TRUE(memory.isFolder(kFolder));
    EXPECT_EQ(file(), testing::readData("window_state/first_save.zon"));
    EXPECT_FALSE(memory.exists(kTemporary));
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST_F(WindowStateSave, MergesByLabelOrIdInPlaceAndAppendsNewWindows) {
    memory.putFile(kFile, fileOf({windowRecord(1, "main"), windowRecord(2, "inspector")}));

    WindowStateRecord sameLabel = windowRecord(7, "inspector");
    sameLabel.width = 333;
    ASSERT_TRUE(save(sameLabel));
    EXPECT_EQ(file(), fileOf({windowRecord(1, "main"), sameLabel}));

    WindowStateRecord sameId = windowRecord(1, "renamed");
    ASSERT_TRUE(save(sameId));
    EXPECT_EQ(file(), fileOf({sameId, sameLabel}));

    WindowStateRecord fresh = windowRecord(9, "palette");
    ASSERT_TRUE(save(fresh));
    EXPECT_EQ(file(), fileOf({sameId, sameLabel, fresh}));

    // Id 0 matches by label only.
    WindowStateRecord noId = windowRecord(0, "other");
    ASSERT_TRUE(save(noId));
    EXPECT_EQ(file(), fileOf({sameId, sameLabel, fresh, noId}));
}

TEST_F(WindowStateSave, SixteenRecordsAreTheCap) {
    std::vector<std::string> labels;
    for (int i = 0; i < 17; ++i) labels.push_back(std::string("window-").append(std::to_string(i)));
    std::vector<WindowStateRecord> sixteen;
    for (int i = 0; i < 16; ++i) sixteen.push_back(windowRecord(static_cast<std::uint64_t>(i + 1), labels[i]));
    memory.putFile(kFile, fileOf(sixteen));
    ASSERT_TRUE(save(windowRecord(100, labels[16])));
    EXPECT_EQ(file(), fileOf(sixteen));

    // A seventeenth record in the file is dropped on the next save.
    std::vector<WindowStateRecord> seventeen = sixteen;
    seventeen.push_back(windowRecord(17, labels[16]));
    memory.putFile(kFile, fileOf(seventeen));
    WindowStateRecord update = windowRecord(3, labels[2]);
    update.x = -5;
    ASSERT_TRUE(save(update));
    sixteen[2] = update;
    EXPECT_EQ(file(), fileOf(sixteen));
}

TEST_F(WindowStateSave, UnreadableRecordsAreDroppedAndTheRestKept) {
    memory.putFile(kFile, testing::readData("window_state/three_windows.zon"));
    ASSERT_TRUE(save(windowRecord(4, "extra")));
    std::array<char, 4096> storage;
    std::vector<std::string> labels;
    std::string text = file();
    WindowStateScanner scanner{text};
    UnescapeBuffer unescape{storage, 0};
    while (auto record = nextWindowStateRecord(scanner)) {
        labels.emplace_back(parseStringField(*record, ".label", unescape).value_or("<none>"));
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"main", "inspector\n2", "palette", "extra"}));
}

TEST_F(WindowStateSave, OnlyTheFirst64KiBAreRead) {
    std::string text(kWindowStateHeader);
    text += recordLine(windowRecord(1, "main"));
    text += std::string(kWindowStateTextBytes - text.size() - 20, ' ');
    text += recordLine(windowRecord(2, "beyond"));  // starts inside the limit, ends outside it
    text += kWindowStateFooter;
    memory.putFile(kFile, text);
    ASSERT_TRUE(save(windowRecord(3, "new")));
    EXPECT_EQ(file(), fileOf({windowRecord(1, "main"), windowRecord(3, "new")}));
}

TEST_F(WindowStateSave, OldRecordsThatNoLongerFitAreDroppedButTheNewOneGoesIn) {
    // Short hand-written records grow when their defaults are written out, so a file just under
    // 64 KiB can come out over it: the records that do not fit are dropped, the new one goes in.
    std::string text(kWindowStateHeader);
    std::vector<WindowStateRecord> kept{windowRecord(1, "main")};
    text += recordLine(kept[0]);
    std::vector<std::string> labels;
    for (int i = 0; i < 13; ++i) labels.push_back(std::string("w").append(std::to_string(i)));
    for (const auto& label : labels) {
        text.append("    .{ .label = \"").append(label).append("\" },\n");
        WindowStateRecord minimal;
        minimal.label = label;
        kept.push_back(minimal);
    }
    text += "    .{ .id = 5, .label = \"huge\", .title = \"";
    for (int i = 0; i < 15950; ++i) text += "\\x01";
    text += "\" },\n";
    text += kWindowStateFooter;
    ASSERT_LT(text.size(), kWindowStateTextBytes);
    memory.putFile(kFile, text);
    ASSERT_TRUE(save(windowRecord(3, "new")));
    kept.push_back(windowRecord(3, "new"));
    EXPECT_EQ(file(), fileOf(kept));

    // A new record that cannot fit at all fails the save and leaves the file alone.
    std::string before = file();
    std::string longLabel(kWindowStateTextBytes, 'l');
    EXPECT_EQ(save(windowRecord(6, longLabel)).error(), Error::WriteFailed);
    EXPECT_EQ(file(), before);
}

TEST_F(WindowStateSave, EmptyLabelOrDisabledStoreDoesNothing) {
    memory.clearCalls();
    ASSERT_TRUE(save(windowRecord(1, "")));
    store.enabled = false;
    ASSERT_TRUE(save(windowRecord(1, "main")));
    EXPECT_TRUE(memory.calls().empty());
    EXPECT_FALSE(memory.exists(kFile));
}

// Whatever fails, the previous file stays byte-identical and no temporary file is left behind.
TEST_F(WindowStateSave, AFailedSaveLeavesThePreviousFileIntact) {
    const std::string previous = fileOf({windowRecord(1, "main"), windowRecord(2, "tools")});
    const std::string temporary(kTemporary);
    const std::string path(kFile);
    const struct {
        const char* name;
        IoOp op;
        std::string path;
        Error error;
        Error expected;
        std::optional<std::size_t> writeAtMost;
    } cases[] = {
        {"folder cannot be created", IoOp::make_path, "", Error::AccessDenied, Error::AccessDenied, {}},
        {"file cannot be opened", IoOp::open_file, path, Error::AccessDenied, Error::AccessDenied, {}},
        {"file cannot be read", IoOp::read_positional, path, Error::InputOutput, Error::InputOutput, {}},
        {"temporary file cannot be created", IoOp::create_file, temporary, Error::NoSpaceLeft, Error::NoSpaceLeft, {}},
        {"disk full while writing", IoOp::write, temporary, Error::NoSpaceLeft, Error::NoSpaceLeft, {}},
        {"write makes no progress", IoOp::write, temporary, Error::Unexpected, Error::WriteFailed, 0},
        {"sync fails", IoOp::sync, temporary, Error::InputOutput, Error::InputOutput, {}},
        {"interrupted before the rename", IoOp::rename, temporary, Error::AccessDenied, Error::AccessDenied, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        memory.clearFaults();
        memory.putFile(kFile, previous);
        IoFault fault;
        fault.op = c.op;
        fault.path = c.path;
        fault.error = c.error;
        fault.writeAtMost = c.writeAtMost;
        fault.times = 0;
        memory.addFault(fault);
        auto status = save(windowRecord(3, "new"));
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error(), c.expected);
        EXPECT_EQ(file(), previous);
        EXPECT_FALSE(memory.exists(kTemporary));
        EXPECT_EQ(memory.openFileCount(), 0u);
    }

    // Short writes that still make progress are finished.
    memory.clearFaults();
    memory.shortWrites(kTemporary, 7);
    ASSERT_TRUE(save(windowRecord(3, "new")));
    EXPECT_EQ(file(), fileOf({windowRecord(1, "main"), windowRecord(2, "tools"), windowRecord(3, "new")}));
}

TEST(WindowStateStore, FolderAndFilePathsMustFit) {
    MemoryIo memory;
    WindowStateStore store;
    ASSERT_TRUE(configureWindowStateStore(store, memoryIo(memory), "/state"));
    EXPECT_EQ(store.folder.view(), "/state/");
    EXPECT_EQ(store.filePath.view(), "/state/windows.zon");
    ASSERT_TRUE(configureWindowStateStore(store, memoryIo(memory), "/state/"));
    EXPECT_EQ(store.filePath.view(), "/state/windows.zon");
    EXPECT_TRUE(store.enabled);

    std::string folder(kWindowStatePathBytes - 12, 'f');  // folder + "/" + name = 1,200
    folder[0] = '/';
    EXPECT_TRUE(configureWindowStateStore(store, memoryIo(memory), folder));
    EXPECT_EQ(store.filePath.size(), kWindowStatePathBytes);
    folder.push_back('f');
    EXPECT_FALSE(configureWindowStateStore(store, memoryIo(memory), folder));
    EXPECT_FALSE(store.enabled);
    EXPECT_TRUE(store.filePath.empty());
    EXPECT_FALSE(configureWindowStateStore(store, memoryIo(memory), ""));
    EXPECT_FALSE(store.enabled);
}

TEST(WindowStateStartup, RestoresTheFirstMainRecordWhenItsFrameIsUsable) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    const std::string path = "/state/windows.zon";
    auto frameOf = [&](const std::string& text) {
        memory.putFile(path, text);
        return readRestoredWindowFrame(io, path, "main", windowStateScratch());
    };

    WindowStateRecord main = windowRecord(1, "main");
    main.x = -200;
    auto frame = frameOf(fileOf({windowRecord(2, "mainly"), main, windowRecord(3, "main")}));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->x, -200);
    EXPECT_EQ(frame->y, 20);
    EXPECT_EQ(frame->width, 800);
    EXPECT_EQ(frame->height, 600);

    // Records well past the first 8 KiB are read too.
    std::string padded = std::string(kWindowStateHeader) + std::string(20000, ' ') + recordLine(main);
    EXPECT_TRUE(frameOf(padded).has_value());

    for (const char* fields :
         {".x = 1, .width = 0, .height = 600", ".x = 1, .width = -800, .height = 600",
          ".x = 1, .width = 800, .height = 0", ".x = 1, .width = 100001, .height = 600",
          ".x = 1, .width = 800, .height = 1000000", ".x = -100001, .width = 800", ".y = 300000, .width = 800"}) {
        std::string text = std::string("{ .label = \"main\", ") + fields + " }";
        EXPECT_FALSE(frameOf(text).has_value()) << fields;
    }
    EXPECT_TRUE(frameOf("{ .label = \"main\", .x = -100000, .y = 100000, .width = 100000, .height = 1 }"));
    // Without a size the defaults apply and are usable.
    auto defaults = frameOf("{ .label = \"main\" }");
    ASSERT_TRUE(defaults.has_value());
    EXPECT_EQ(defaults->width, 720);
    EXPECT_EQ(defaults->height, 480);

    EXPECT_FALSE(frameOf(fileOf({windowRecord(2, "other")})).has_value());
    EXPECT_FALSE(readRestoredWindowFrame(io, "/state/missing.zon", "main", windowStateScratch()).has_value());
    memory.failOn(IoOp::open_file, path, Error::AccessDenied);
    EXPECT_FALSE(readRestoredWindowFrame(io, path, "main", windowStateScratch()).has_value());
}

}  // namespace
}  // namespace kelvo
