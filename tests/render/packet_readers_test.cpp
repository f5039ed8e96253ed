#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "render/packet/packet_readers.hpp"
#include "render/packet/packet_writers.hpp"
#include "render/packet_bytes.hpp"
#include "support/bar_cells.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::appendU32;
using testing::bytesFromHex;

std::vector<std::uint8_t> hexData(std::string_view name) { return bytesFromHex(testing::readData(name)); }

std::optional<CanvasPacket> readJsonData(std::string_view name) {
    return readJsonCanvasPacket(testing::readData(name));
}

std::string number(double v) {
    if (std::isnan(v)) return "absent";
    std::ostringstream out;
    out << v;
    return out.str();
}

std::string colour(const std::optional<PacketColor>& c) {
    if (!c) return "absent";
    return number((*c)[0]) + " " + number((*c)[1]) + " " + number((*c)[2]) + " " + number((*c)[3]);
}

// One field of a command read from JSON, as the defaults table writes it.
std::string describeField(const PacketCommand& c, std::string_view field) {
    if (field == "opacity") return number(c.opacity);
    if (field == "shape") return c.shape ? std::string(packetShapeKindName(c.shape->kind)) : "absent";
    if (field == "paint.color") return c.paint ? colour(c.paint->color) : "no paint";
    if (field == "stop.offsets" || field == "stop.colors") {
        if (!c.paint) return "no paint";
        std::string out;
        for (const PacketGradientStop& stop : c.paint->stops) {
            out += (out.empty() ? "" : ", ") + (field == "stop.offsets" ? number(stop.offset) : colour(stop.color));
        }
        return out;
    }
    if (field == "image.opacity") return c.image ? number(c.image->opacity) : "no image";
    if (field == "text.size") return c.text ? number(c.text->size) : "no text";
    if (field == "text.font") return c.text ? std::to_string(c.text->font) : "no text";
    if (field == "text.color") return c.text ? colour(c.text->color) : "no text";
    if (field == "text.lines") {
        if (!c.text || !c.text->lines) return "no lines";
        std::string out;
        for (const PacketTextLine& line : *c.text->lines) {
            out += (out.empty() ? "" : ", ") +
                   (line.readable ? number(line.x) + " " + number(line.baseline) + " " + line.text : "unreadable");
        }
        return out;
    }
    if (field == "effect.color") return c.effect ? colour(c.effect->color) : "no effect";
    return "unknown field";
}

std::vector<std::uint8_t> binaryOf(const CanvasPacket& packet) {
    std::vector<std::uint8_t> out(1 << 16);
    const PacketWriteResult written = writeBinaryCanvasPacket(packet, out);
    EXPECT_TRUE(written.fits);
    out.resize(written.size);
    return out;
}

TEST(PacketReaders, TheGoldenPacketsDecodeToTheirJsonTwins) {
    const std::vector<std::uint8_t> empty = hexData("render/packets/empty_load.hex");
    ASSERT_EQ(empty.size(), 28u);
    const std::optional<CanvasPacket> emptyBinary = readBinaryCanvasPacket(empty);
    ASSERT_TRUE(emptyBinary);
    EXPECT_EQ(*emptyBinary, readJsonData("render/packets/empty_load.json"));

    const std::vector<std::uint8_t> red = hexData("render/packets/red_rect.hex");
    ASSERT_EQ(red.size(), 97u);
    const std::optional<CanvasPacket> redBinary = readBinaryCanvasPacket(red);
    ASSERT_TRUE(redBinary);
    EXPECT_EQ(*redBinary, readJsonData("render/packets/red_rect.json"));
    EXPECT_EQ(redBinary->command_keys, std::vector<std::uint64_t>{42});
    // Writing the model gives the golden bytes back.
    EXPECT_EQ(binaryOf(*redBinary), red);
}

TEST(PacketReaders, BuffersThatAreTooShortOrTooLongAreRefused) {
    const std::vector<std::uint8_t> empty = hexData("render/packets/empty_load.hex");
    EXPECT_FALSE(readBinaryCanvasPacket(std::span(empty).first(15)));
    EXPECT_FALSE(readBinaryCanvasPacket(std::span(empty).first(27)));
    std::vector<std::uint8_t> longer = empty;
    longer.push_back(0);
    EXPECT_FALSE(readBinaryCanvasPacket(longer));
    // A patch followed by a command list: the list is left over.
    CanvasPacket patch;
    patch.load_action = PacketLoadAction::patch;
    std::vector<std::uint8_t> bytes = binaryOf(patch);
    ASSERT_TRUE(readBinaryCanvasPacket(bytes));
    appendU32(bytes, 0);
    EXPECT_FALSE(readBinaryCanvasPacket(bytes));
}

TEST(PacketReaders, EditsOfTheRedRectangleAreTakenOrRefusedAsTheTableSays) {
    const std::vector<std::uint8_t> red = hexData("render/packets/red_rect.hex");
    for (const std::string& line : testing::readLines("render/packets/red_rect_mutations.txt")) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(':');
        const std::size_t arrow = line.find("->");
        std::vector<std::uint8_t> bytes = red;
        const std::size_t offset = std::stoul(line.substr(0, colon));
        const std::vector<std::uint8_t> edit = bytesFromHex(line.substr(colon + 1, arrow - colon - 1));
        std::copy(edit.begin(), edit.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        const bool accept = line.compare(arrow + 3, 6, "accept") == 0;
        EXPECT_EQ(readBinaryCanvasPacket(bytes).has_value(), accept) << line;
    }
}

// The empty load with scissor bounds and `count` dirty rectangles (flags 3).
std::vector<std::uint8_t> withDirtyRects(std::uint32_t count) {
    std::vector<std::uint8_t> bytes = hexData("render/packets/empty_load.hex");
    bytes[6] = 3;
    std::vector<std::uint8_t> body(16, 0);
    appendU32(body, count);
    body.resize(body.size() + std::size_t{count} * 16, 0);
    bytes.insert(bytes.begin() + 16, body.begin(), body.end());
    return bytes;
}

TEST(PacketReaders, DirtyRectanglesCountOneToEightAfterScissorBounds) {
    EXPECT_FALSE(readBinaryCanvasPacket(withDirtyRects(0)));
    EXPECT_FALSE(readBinaryCanvasPacket(withDirtyRects(9)));
    const std::optional<CanvasPacket> eight = readBinaryCanvasPacket(withDirtyRects(8));
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->dirty_rects->size(), 8u);
    EXPECT_TRUE(eight->scissor);
}

// A clear packet of one command with an image and a text block (text "", layout, no lines).
CanvasPacket imageAndText() {
    PacketCommand command;
    command.kind = 10;
    command.image.emplace();
    command.text.emplace().layout.emplace();
    CanvasPacket packet;
    packet.load_action = PacketLoadAction::clear;
    packet.commands = std::vector<PacketCommand>{command};
    packet.command_keys = std::vector<std::uint64_t>{1};
    return packet;
}

TEST(PacketReaders, ByteCodedChoicesOutsideTheirTablesTakeTheDefault) {
    std::vector<std::uint8_t> bytes = binaryOf(imageAndText());
    // After the 28-byte head and key come the 27-byte fixed part, the image block (has-src at
    // 71, fit at 92, sampling at 93) and the text block (wrap at 159, align at 160).
    ASSERT_EQ(bytes.size(), 162u);
    bytes[92] = 7;
    bytes[93] = 9;
    bytes[159] = 1;
    bytes[160] = 0;
    std::optional<CanvasPacket> packet = readBinaryCanvasPacket(bytes);
    ASSERT_TRUE(packet);
    const PacketCommand& command = packet->commands->front();
    EXPECT_EQ(command.image->fit, PacketImageFit::stretch);
    EXPECT_EQ(command.image->sampling, PacketSampling::linear);
    EXPECT_EQ(command.text->layout->wrap, PacketTextWrap::word);
    EXPECT_EQ(command.text->layout->align, PacketTextAlign::start);
    EXPECT_EQ(command.text->text, "");

    // A one-byte text (its length at 146, the byte at 150): 0xFF is no UTF-8.
    std::vector<std::uint8_t> invalid = binaryOf(imageAndText());
    invalid[146] = 1;
    invalid.insert(invalid.begin() + 150, 0xFF);
    EXPECT_FALSE(readBinaryCanvasPacket(invalid));
    invalid[150] = 'a';
    EXPECT_TRUE(readBinaryCanvasPacket(invalid));
}

// A copy of some bytes that ends where readable memory ends: reading past its end faults.
class AtEndOfMemory {
public:
    explicit AtEndOfMemory(std::span<const std::uint8_t> bytes)
        : page_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) {
        readable_ = (bytes.size() / page_ + 1) * page_;
        void* mapped = ::mmap(nullptr, readable_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(mapped, MAP_FAILED);
        base_ = static_cast<std::uint8_t*>(mapped);
        EXPECT_EQ(::mprotect(base_ + readable_, page_, PROT_NONE), 0);
        bytes_ = {base_ + readable_ - bytes.size(), bytes.size()};
        std::memcpy(base_ + readable_ - bytes.size(), bytes.data(), bytes.size());
    }
    ~AtEndOfMemory() { ::munmap(base_, readable_ + page_); }
    AtEndOfMemory(const AtEndOfMemory&) = delete;
    AtEndOfMemory& operator=(const AtEndOfMemory&) = delete;

    [[nodiscard]] std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::size_t page_;
    std::size_t readable_ = 0;
    std::uint8_t* base_ = nullptr;
    std::span<const std::uint8_t> bytes_;
};

// A text line's length is checked against the bytes left before its text is read: a packet that
// ends inside a line's text is refused without a byte past its end being read.
TEST(PacketReaders, ALineLengthPastTheEndOfThePacketIsRefusedUnread) {
    PacketCommand command;
    command.kind = 10;
    PacketText& text = command.text.emplace();
    text.layout.emplace();
    text.lines = std::vector<PacketTextLine>{{1, 2, "", true}};
    CanvasPacket packet;
    packet.load_action = PacketLoadAction::clear;
    packet.commands = std::vector<PacketCommand>{command};
    packet.command_keys = std::vector<std::uint64_t>{1};
    const std::vector<std::uint8_t> empty = binaryOf(packet);
    ASSERT_EQ(std::vector<std::uint8_t>(empty.end() - 4, empty.end()), bytesFromHex("00000000"));
    for (const std::string& line : testing::readLines("render/packets/text_line_lengths.txt")) {
        const std::vector<std::string> cells = testing::barCellsOf(line);
        ASSERT_EQ(cells.size(), 3u) << line;
        std::vector<std::uint8_t> bytes(empty.begin(), empty.end() - 4);
        appendU32(bytes, static_cast<std::uint32_t>(std::stoul(cells[0])));
        bytes.insert(bytes.end(), cells[1].begin(), cells[1].end());
        const AtEndOfMemory placed(bytes);
        EXPECT_EQ(readBinaryCanvasPacket(placed.bytes()).has_value(), cells[2] == "accept") << line;
    }
}

// A text line the JSON form could not read travels in the binary form as the marker in place of
// its text's length, and reads back as such; a text without a layout sends no lines.
TEST(PacketReaders, AnUnreadableTextLineTravelsAsTheMarkerInPlaceOfItsLength) {
    const std::optional<CanvasPacket> json = readJsonCanvasPacket(
        R"({"loadAction":"clear","commandKeys":[1,2],"commands":[)"
        R"({"kind":"draw_text","text":{"color":[0,0,0,1],"layout":{},"lines":[{"x":1,"baseline":2,"text":"a"},7]}},)"
        R"({"kind":"draw_text","text":{"lines":[{"x":1,"baseline":2,"text":"b"},null]}}]})");
    ASSERT_TRUE(json);
    const std::vector<PacketTextLine> lines = *json->commands->at(0).text->lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].readable);
    EXPECT_EQ(lines[1], (PacketTextLine{0, 0, "", false}));

    std::vector<std::uint8_t> bytes = binaryOf(*json);
    const std::optional<CanvasPacket> binary = readBinaryCanvasPacket(bytes);
    ASSERT_TRUE(binary);
    EXPECT_EQ(binary->commands->at(0), json->commands->at(0));
    EXPECT_FALSE(binary->commands->at(1).text->layout);
    EXPECT_FALSE(binary->commands->at(1).text->lines);
    // The first command ends with its second line: x 0, baseline 0 and the marker. The second
    // command follows: key, fixed part and a text block without a layout (font, size, origin,
    // colour, an empty text and has-layout 0).
    const std::size_t second = bytes.size() - (8 + 27 + 8 + 4 + 8 + 16 + 4 + 1);
    const std::vector<std::uint8_t> tail(bytes.begin() + static_cast<std::ptrdiff_t>(second) - 12,
                                         bytes.begin() + static_cast<std::ptrdiff_t>(second));
    EXPECT_EQ(tail, bytesFromHex("00000000 00000000 FFFFFFFF"));

    // The marker is no length: nothing need follow it. A length one short of it is one, and
    // more than the bytes left.
    const std::size_t marker = second - 4;
    bytes[marker] = 0xFE;
    EXPECT_FALSE(readBinaryCanvasPacket(bytes));
}

TEST(PacketReaders, AnImageActionWithoutAnIndexLeavesItOut) {
    CanvasPacket packet;
    packet.load_action = PacketLoadAction::load;
    packet.commands.emplace();
    packet.command_keys.emplace();
    packet.image_actions = {{PacketImageActionKind::evict, 5, 6, std::nullopt},
                            {PacketImageActionKind::upload, 5, 6, 0}};
    const std::vector<std::uint8_t> bytes = binaryOf(packet);
    EXPECT_EQ(bytes[24 + 17], 0xFF);  // 0xFFFFFFFF on the wire
    const std::optional<CanvasPacket> read = readBinaryCanvasPacket(bytes);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->image_actions[0].image_index);
    EXPECT_EQ(read->image_actions[1].image_index, 0u);
    std::vector<std::uint8_t> badKind = bytes;
    badKind[24] = 3;
    EXPECT_FALSE(readBinaryCanvasPacket(badKind));
}

TEST(PacketReaders, PathVerbsAboveCloseAreRefused) {
    PacketCommand command;
    command.kind = 8;
    PacketShape& shape = command.shape.emplace();
    shape.kind = PacketShapeKind::path;
    shape.path = {{PacketPathVerb::move_to, 1, {}}, {PacketPathVerb::close, 0, {}}};
    PacketEffect& effect = command.effect.emplace();
    effect.kind = PacketEffectKind::blur;
    CanvasPacket packet;
    packet.load_action = PacketLoadAction::clear;
    packet.commands = std::vector<PacketCommand>{command};
    packet.command_keys = std::vector<std::uint64_t>{1};
    std::vector<std::uint8_t> bytes = binaryOf(packet);
    ASSERT_TRUE(readBinaryCanvasPacket(bytes));
    // Shape tag at 63, element count 64..67, move_to 68 and its point, close at 77, effect tag 78.
    bytes[77] = 5;
    EXPECT_FALSE(readBinaryCanvasPacket(bytes));
    bytes[77] = 4;
    bytes[78] = 0;
    EXPECT_FALSE(readBinaryCanvasPacket(bytes));
}

TEST(PacketReaders, JsonTextsAreTakenOrRefusedAsTheTableSays) {
    for (const std::string& line : testing::readLines("render/packets/json_cases.txt")) {
        if (line.empty() || line[0] == '#') continue;
        const bool accept = line.rfind("accept", 0) == 0;
        const std::string text = line.size() > 7 ? line.substr(7) : "";
        EXPECT_EQ(readJsonCanvasPacket(text).has_value(), accept) << line;
    }
}

TEST(PacketReaders, JsonNestsUpTo512AndKeepsKeysExact) {
    auto nested = [](std::size_t depth) {
        return "{\"a\":" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
    };
    EXPECT_TRUE(readJsonCanvasPacket(nested(512)));
    EXPECT_FALSE(readJsonCanvasPacket(nested(513)));

    const std::optional<CanvasPacket> packet =
        readJsonCanvasPacket(R"({"loadAction":"clear","generation":18446744073709551615,"generation":9007199254740993,)"
                             R"("commands":[{"kind":"blur"},7],"commandKeys":[9007199254740993,9007199254740992]})");
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->generation, 9007199254740993u);  // the last duplicate
    EXPECT_EQ(packet->command_keys, (std::vector<std::uint64_t>{9007199254740993u, 9007199254740992u}));
    ASSERT_EQ(packet->commands->size(), 2u);  // a command that is not an object keeps its place
    EXPECT_EQ(packet->commands->at(1).kind, kPacketUnknownKind);
    // A key that is not an exact integer drops the list rather than taking it for another.
    EXPECT_FALSE(readJsonCanvasPacket(R"({"commandKeys":[1,2.5]})")->command_keys);
    EXPECT_FALSE(readJsonCanvasPacket(R"({"commandKeys":[18446744073709551616]})")->command_keys);
}

TEST(PacketReaders, JsonIsReadLeniently) {
    const std::optional<CanvasPacket> packet = readJsonCanvasPacket(
        R"({"loadAction":"clear","scissorBounds":[1,"x",3,4,5],"dirtyRects":[[1,2,3,4],[1,2]],)"
        R"("images":[{"imageId":3,"width":2,"height":1,"pixels":[-5,300,127.5,"a"]}],)"
        R"("commands":[{"kind":"stroke_path","opacity":"1","cap":"round","transform":[1,0,0,1,5],)"
        R"("shape":{"kind":"path","path":[{"verb":"cubic_to","points":[[1,2]]},{"verb":"arc"}]}}]})");
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->scissor, (PacketRect{1, 0, 3, 4}));
    EXPECT_FALSE(packet->dirty_rects);  // one malformed entry drops them all
    EXPECT_EQ(packet->images[0].pixels, (std::vector<std::uint8_t>{0, 255, 128, 0}));
    const PacketCommand& command = packet->commands->front();
    EXPECT_EQ(command.kind, 9);
    EXPECT_EQ(command.opacity, 1);  // a string is no number: the default
    EXPECT_EQ(command.cap, PacketCap::round);
    EXPECT_FALSE(command.transform);
    // A verb short of its points, and one that is no verb, leave no shape to draw.
    EXPECT_FALSE(command.shape);
}

// What a JSON command leaves out takes the default drawing gives it; a colour it leaves out stays
// absent (the drawing that needs it fails). Each row: the command, a field of the model, its value.
TEST(PacketReaders, JsonDefaultsFollowTheTable) {
    for (const std::string& line : testing::readLines("render/packets/json_defaults.txt")) {
        const std::vector<std::string> cells = testing::barCellsOf(line);
        ASSERT_EQ(cells.size(), 3u) << line;
        const std::optional<CanvasPacket> packet =
            readJsonCanvasPacket(R"({"loadAction":"clear","commands":[)" + cells[0] + "]}");
        ASSERT_TRUE(packet && packet->commands && packet->commands->size() == 1) << line;
        EXPECT_EQ(describeField(packet->commands->front(), cells[1]), cells[2]) << line;
    }
}

TEST(PacketReaders, JsonAboveTheSizeCapIsRefusedUnread) {
    std::string text = "{\"a\":\"" + std::string(kPacketJsonMaxBytes, 'x') + "\"}";
    EXPECT_FALSE(readJsonCanvasPacket(text));
}

}  // namespace
}  // namespace kelvo
