#include "debug/trace_format.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "debug/named_record.hpp"

namespace kelvo {
namespace {

std::string text(const TraceRecord& record, std::size_t capacity = kTraceFileTextCapacity) {
    std::string buffer(capacity, '\0');
    return std::string(formatTextBounded(record, {buffer.data(), capacity}));
}

std::string json(const TraceRecord& record) {
    std::array<char, kTraceJsonLineCapacity> buffer;
    return std::string(formatJsonLine(record, buffer));
}

using testing::named;

TEST(TraceFormat, LinesMatchTheDocumentedShapesByteForByte) {
    const TraceField frameFields[] = {traceText("label", "main"), traceF64("x", 100), traceF64("y", 80),
                                      traceF64("width", 1280), traceF64("height", 820)};
    TraceRecord frame = named("window.frame");
    frame.timestampNs = 1700000000123456789;
    frame.message = "window frame updated";
    frame.fields = frameFields;
    EXPECT_EQ(text(frame),
              "ts=1700000000123456789 level=info kind=event name=\"window.frame\" message=\"window frame updated\" "
              "label=\"main\" x=100 y=80 width=1280 height=820");

    const TraceField initFields[] = {traceText("app", "vostra-studio"), traceText("platform", "macos")};
    TraceRecord init = named("runtime.init");
    init.timestampNs = 42;
    init.message = "runtime initialized";
    init.fields = initFields;
    EXPECT_EQ(json(init),
              "{\"timestamp_ns\":42,\"level\":\"info\",\"kind\":\"event\",\"name\":\"runtime.init\",\"message\":"
              "\"runtime initialized\",\"fields\":{\"app\":\"vostra-studio\",\"platform\":\"macos\"}}\n");
}

TEST(TraceFormat, EveryOptionalPieceHasItsPlace) {
    const TraceField fields[] = {traceBool("ok", true), traceI64("delta", -5), traceU64("frame", 7)};
    TraceRecord record = named("span.done");
    record.timestampNs = -3;
    record.spanId = 11;
    record.parentSpanId = 10;
    record.durationNs = 999;
    record.leading = traceText("lead", "first");
    record.fields = fields;
    record.level = static_cast<TraceLevel>(7);
    record.kind = static_cast<TraceKind>(6);
    EXPECT_EQ(text(record),
              "ts=-3 level=fatal kind=frame name=\"span.done\" span_id=11 parent_span_id=10 duration_ns=999 "
              "lead=\"first\" ok=true delta=-5 frame=7");
    EXPECT_EQ(json(record),
              "{\"timestamp_ns\":-3,\"level\":\"fatal\",\"kind\":\"frame\",\"name\":\"span.done\",\"span_id\":11,"
              "\"parent_span_id\":10,\"duration_ns\":999,\"fields\":{\"lead\":\"first\",\"ok\":true,\"delta\":-5,"
              "\"frame\":7}}\n");

    TraceRecord bare = named("bare");
    EXPECT_EQ(text(bare), "ts=0 level=info kind=event name=\"bare\"");
    EXPECT_EQ(json(bare),
              "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"bare\",\"fields\":{}}\n");
    bare.message = "";
    EXPECT_EQ(text(bare), "ts=0 level=info kind=event name=\"bare\" message=\"\"");
}

TEST(TraceFormat, NumbersTakeTheirPlainForms) {
    struct Case {
        TraceField field;
        std::string_view shown;
    };
    const Case cases[] = {
        {traceF64("v", 0.1), "0.1"},
        {traceF64("v", 0.25), "0.25"},
        {traceF64("v", 3), "3"},
        {traceF64("v", 1e21), "1000000000000000000000"},
        {traceF64("v", -0.0), "-0"},
        {traceF64("v", std::numeric_limits<double>::quiet_NaN()), "nan"},
        {traceF64("v", -std::numeric_limits<double>::quiet_NaN()), "nan"},
        {traceF64("v", std::numeric_limits<double>::signaling_NaN()), "nan"},
        {traceF64("v", std::numeric_limits<double>::infinity()), "inf"},
        {traceF64("v", -std::numeric_limits<double>::infinity()), "-inf"},
        {traceI64("v", -5), "-5"},
        {traceI64("v", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {traceU64("v", std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
        {traceBool("v", false), "false"},
    };
    for (const auto& c : cases) {
        TraceRecord record = named("n");
        record.fields = {&c.field, 1};
        EXPECT_EQ(text(record), "ts=0 level=info kind=event name=\"n\" v=" + std::string(c.shown));
        EXPECT_EQ(json(record),
                  "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"n\",\"fields\":{"
                  "\"v\":" +
                      std::string(c.shown) + "}}\n");
    }
}

TEST(TraceFormat, TextIsRawWhileJsonEscapesAndKeepsUtf8Valid) {
    const TraceField fields[] = {traceText("quote", "say \"hi\"\n"), traceText("bytes", "\x7f\xc3\xa9\x1b")};
    TraceRecord record = named("esc");
    record.message = "line one\nline two";
    record.fields = fields;
    EXPECT_EQ(text(record),
              "ts=0 level=info kind=event name=\"esc\" message=\"line one\nline two\" quote=\"say \"hi\"\n\" "
              "bytes=\"\x7f\xc3\xa9\x1b\"");
    EXPECT_EQ(json(record),
              "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"esc\",\"message\":\"line "
              "one\\nline two\",\"fields\":{\"quote\":\"say \\\"hi\\\"\\n\",\"bytes\":\"\x7f\xc3\xa9\\u001b\"}}\n");

    // Invalid sequences become U+FFFD in JSON (one per maximal bad run); text keeps the raw bytes.
    const TraceField bad[] = {traceText("k\xff",
                                        "a\xff"
                                        "b\xe2\x82"
                                        "c\xc0\xaf"
                                        "d\xed\xa0\x80"
                                        "e\xf0\x9f\x99\x82")};
    TraceRecord invalid = named("bad\xfe");
    invalid.fields = bad;
    std::string replacement = "\xef\xbf\xbd";
    EXPECT_EQ(json(invalid), "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"bad" + replacement +
                                 "\",\"fields\":{\"k" + replacement + "\":\"a" + replacement + "b" + replacement + "c" +
                                 replacement + replacement + "d" + replacement + replacement + replacement +
                                 "e\xf0\x9f\x99\x82\"}}\n");
    EXPECT_EQ(text(invalid),
              "ts=0 level=info kind=event name=\"bad\xfe\" k\xff=\"a\xff"
              "b\xe2\x82"
              "c\xc0\xaf"
              "d\xed\xa0\x80"
              "e\xf0\x9f\x99\x82\"");
}

TEST(TraceFormat, TextLinesAreCutAtTheirCapacity) {
    const std::size_t overhead = text(named("")).size();
    for (std::size_t capacity : {kTraceFileTextCapacity, kTraceTerminalTextCapacity}) {
        std::string name(capacity - overhead, 'n');
        std::string exact = text(named(name), capacity);
        EXPECT_EQ(exact.size(), capacity);
        EXPECT_EQ(exact.substr(exact.size() - 2), "n\"") << "a line of exactly the capacity is kept whole";

        name.push_back('n');
        std::string cut = text(named(name), capacity);
        ASSERT_EQ(cut.size(), capacity);
        EXPECT_EQ(cut.substr(0, capacity - 14), ("ts=0 level=info kind=event name=\"" + name).substr(0, capacity - 14));
        EXPECT_EQ(cut.substr(capacity - 14), "...[truncated]");
    }
    // Many fields overflow the same way.
    std::vector<TraceField> many(1000, traceU64("field", 1234567890));
    TraceRecord record = named("many");
    record.fields = many;
    std::string cut = text(record);
    EXPECT_EQ(cut.size(), kTraceFileTextCapacity);
    EXPECT_EQ(cut.substr(4081), "...[truncated]");
}

TEST(TraceFormat, JsonLinesFallBackToTheShortForm) {
    const std::size_t overhead = json(named("")).size();
    std::string name(kTraceJsonLineCapacity - overhead, 'n');
    std::string exact = json(named(name));
    EXPECT_EQ(exact.size(), kTraceJsonLineCapacity);
    EXPECT_EQ(exact.substr(exact.size() - 13), "\"fields\":{}}\n");

    name.push_back('n');
    EXPECT_EQ(json(named(name)), "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"" +
                                     std::string(128, 'n') + "\",\"truncated\":true}\n");

    std::string long5000(5000, 'x');
    TraceRecord record = named(long5000);
    record.message = "dropped in the short form";
    record.spanId = 5;
    EXPECT_EQ(json(record), "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"" +
                                std::string(128, 'x') + "\",\"truncated\":true}\n");

    // A message too long for the line also gives the short form; the cut never splits a character.
    std::string accented = std::string(127, 'a') + "\xc3\xa9" + std::string(5000, 'b');
    EXPECT_EQ(json(named(accented)), "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"" +
                                         std::string(127, 'a') + "\",\"truncated\":true}\n");
    TraceRecord longMessage = named("m");
    std::string message(5000, 'm');
    longMessage.message = message;
    EXPECT_EQ(json(longMessage),
              "{\"timestamp_ns\":0,\"level\":\"info\",\"kind\":\"event\",\"name\":\"m\",\"truncated\":true}\n");

    // When even the short form does not fit, the line is empty.
    std::array<char, 40> small;
    EXPECT_TRUE(formatJsonLine(named("tiny"), small).empty());
}

}  // namespace
}  // namespace kelvo
