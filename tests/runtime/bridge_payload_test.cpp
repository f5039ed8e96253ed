#include "runtime/bridge/payload_fields.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "support/golden.hpp"

namespace kelvo {
namespace {

class StringFieldTest : public ::testing::Test {
protected:
    std::array<char, 16> area_{};
    PayloadScratch scratch_{area_, 0};

    Result<std::optional<std::string_view>> read(std::string_view json, std::string_view name = "s") {
        return jsonStringField(json, name, scratch_);
    }
};

TEST_F(StringFieldTest, DecodesTheNamedEscapes) {
    struct Case {
        std::string_view json;
        std::string_view decoded;
    };
    const Case cases[] = {
        {R"({"s":"\u0041"})", "A"},
        {R"({"s":"\u007f\u007F"})", "\x7f\x7f"},
        {R"({"s":"a\"b\\c\/d"})", "a\"b\\c/d"},
        {R"({"s":"\b\f\n\r\t"})", "\b\f\n\r\t"},
        {R"({"s":"\u0000"})", std::string_view("\0", 1)},
        {"{\"s\":\"\xc3\xa9\\n\"}", "\xc3\xa9\n"},
    };
    for (const Case& c : cases) {
        scratch_.used = 0;
        auto field = read(c.json);
        ASSERT_TRUE(field.has_value() && field->has_value()) << c.json;
        EXPECT_EQ(**field, c.decoded) << c.json;
        EXPECT_EQ(field->value().data(), area_.data()) << c.json;
        EXPECT_EQ(scratch_.used, c.decoded.size());
    }
}

TEST_F(StringFieldTest, AStringWithoutEscapesPointsIntoThePayload) {
    std::string_view json = R"({"s":"plain text that is longer than the scratch area"})";
    auto field = read(json);
    ASSERT_TRUE(field.has_value() && field->has_value());
    EXPECT_EQ(**field, "plain text that is longer than the scratch area");
    EXPECT_GE(field->value().data(), json.data());
    EXPECT_LT(field->value().data(), json.data() + json.size());
    EXPECT_EQ(scratch_.used, 0u);

    auto empty = read(R"({"s":""})");
    ASSERT_TRUE(empty.has_value() && empty->has_value());
    EXPECT_TRUE(empty->value().empty());
}

TEST_F(StringFieldTest, ReadsAsAbsentWhenMissingOrNotAPlainAsciiEscapedString) {
    const std::string_view absent[] = {
        R"({"t":"x"})",      R"({"s":1})",        R"({"s":null})",       R"({"s":["x"]})",  R"(["s","x"])",
        R"({"s":"\u00e9"})", R"({"s":"\u0080"})", R"({"s":"\ud83d"})",   R"({"s":"\x41"})", R"({"s":"\u004"})",
        R"({"s":"\u00G1"})", R"({"s":"a\'b"})",   "{\"s\":\"a\\\x01\"}", R"({"s":"a)",
    };
    for (std::string_view json : absent) {
        scratch_.used = 3;
        auto field = read(json);
        ASSERT_TRUE(field.has_value()) << json;
        EXPECT_FALSE(field->has_value()) << json;
        EXPECT_EQ(scratch_.used, 3u) << json;
    }
}

TEST_F(StringFieldTest, AStringThatDoesNotFitIsTooLongNotAbsent) {
    // 16 bytes fit exactly; 17 do not, also when the escape comes last.
    std::string fits = R"({"s":"\n)" + std::string(15, 'x') + R"("})";
    auto field = read(fits);
    ASSERT_TRUE(field.has_value() && field->has_value());
    EXPECT_EQ(field->value().size(), 16u);

    scratch_.used = 0;
    for (std::string json :
         {R"({"s":"\n)" + std::string(16, 'x') + R"("})", R"({"s":")" + std::string(16, 'x') + R"(\n"})"}) {
        auto tooLong = read(json);
        ASSERT_FALSE(tooLong.has_value()) << json;
        EXPECT_EQ(tooLong.error(), Error::StringTooLong);
        EXPECT_EQ(scratch_.used, 0u) << "a failed read must give back what it took";
    }
}

TEST_F(StringFieldTest, FieldsAppendOneAfterTheOther) {
    std::string_view json = R"({"a":"1\n","b":"\t2","c":")"
                            "0123456789ab"
                            R"(\n"})";
    auto a = read(json, "a");
    auto b = read(json, "b");
    ASSERT_TRUE(a.has_value() && a->has_value() && b.has_value() && b->has_value());
    EXPECT_EQ(**a, "1\n");
    EXPECT_EQ(**b, "\t2");
    EXPECT_EQ(scratch_.used, 4u);
    // Thirteen more bytes do not fit in what is left, and the earlier fields stay intact.
    auto c = read(json, "c");
    ASSERT_FALSE(c.has_value());
    EXPECT_EQ(**a, "1\n");
    EXPECT_EQ(scratch_.used, 4u);
}

NumberFieldState stateNamed(const std::string& name) {
    if (name == "present") return NumberFieldState::present;
    if (name == "malformed") return NumberFieldState::malformed;
    return name == "out_of_range" ? NumberFieldState::out_of_range : NumberFieldState::absent;
}

// Each number reader against its table in tests/data/bridge: raw member value, state, value.
TEST(NumberFields, ReadWhatTheirTablesSay) {
    for (const auto& row : testing::readTable("bridge/integer_field.txt")) {
        std::optional<std::uint64_t> expected;
        if (row[1] != "-") expected = std::stoull(row[1]);
        EXPECT_EQ(jsonIntegerField(R"({"n":)" + row[0] + "}", "n"), expected) << row[0];
    }
    EXPECT_EQ(jsonIntegerField(R"({"m":1})", "n"), std::nullopt);
    for (const auto& row : testing::readTable("bridge/plain_float_field.txt")) {
        NumberField<float> field = jsonPlainFloatField(R"({"x":)" + row[0] + "}", "x");
        EXPECT_EQ(field.state, stateNamed(row[1])) << row[0];
        EXPECT_EQ(field.value, std::stof(row[2])) << row[0];
        EXPECT_EQ(std::signbit(field.value), row[2][0] == '-') << row[0];
    }
    EXPECT_EQ(jsonPlainFloatField(R"({"y":1})", "x").state, NumberFieldState::absent);
    for (const auto& row : testing::readTable("bridge/whole_number_field.txt")) {
        NumberField<std::int32_t> field = jsonWholeNumberField(R"({"layer":)" + row[0] + "}", "layer");
        EXPECT_EQ(field.state, stateNamed(row[1])) << row[0];
        EXPECT_EQ(field.value, std::stoi(row[2])) << row[0];
    }
    EXPECT_EQ(jsonWholeNumberField("{}", "layer").state, NumberFieldState::absent);
}

}  // namespace
}  // namespace kelvo
