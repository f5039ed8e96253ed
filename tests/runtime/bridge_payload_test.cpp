#include "runtime/bridge_payload.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

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

TEST(IntegerField, ReadsUnsignedDecimalDigitsOnly) {
    struct Case {
        std::string_view json;
        std::optional<std::uint64_t> value;
    };
    const Case cases[] = {
        {R"({"n":12})", 12},
        {R"({"n":007})", 7},
        {R"({"n":0})", 0},
        {R"({"n":18446744073709551615})", 18446744073709551615u},
        {R"({"n":18446744073709551616})", std::nullopt},
        {R"({"n":-1})", std::nullopt},
        {R"({"n":+1})", std::nullopt},
        {R"({"n":1.0})", std::nullopt},
        {R"({"n":1e2})", std::nullopt},
        {R"({"n":"12"})", std::nullopt},
        {R"({"n":1_2})", std::nullopt},
        {R"({"n":null})", std::nullopt},
        {R"({"m":1})", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(jsonIntegerField(c.json, "n"), c.value) << c.json;
}

TEST(PlainFloatField, AcceptsOnlyDigitsMinusAndPoint) {
    struct Case {
        std::string_view raw;
        NumberFieldState state;
        float value;
    };
    const Case cases[] = {
        {"100", NumberFieldState::present, 100},
        {"-1.5", NumberFieldState::present, -1.5f},
        {"0.1", NumberFieldState::present, 0.1f},
        {"007", NumberFieldState::present, 7},
        {"-0", NumberFieldState::present, -0.0f},
        {"1e3", NumberFieldState::malformed, 0},
        {"+1", NumberFieldState::malformed, 0},
        {"\"10\"", NumberFieldState::malformed, 0},
        {"5.", NumberFieldState::present, 5},
        {"-.5", NumberFieldState::present, -0.5f},
        // Texts the payload scanner refuses make the member unreadable.
        {"1-2", NumberFieldState::absent, 0},
        {"-", NumberFieldState::absent, 0},
        {"1.2.3", NumberFieldState::absent, 0},
        {"null", NumberFieldState::malformed, 0},
        {"{}", NumberFieldState::malformed, 0},
        {"99999999999999999999999999999999999999999", NumberFieldState::out_of_range, 0},
        {"0.000000000000000000000000000000000000000000000000001", NumberFieldState::out_of_range, 0},
    };
    for (const Case& c : cases) {
        std::string json = R"({"x":)" + std::string(c.raw) + "}";
        NumberField<float> field = jsonPlainFloatField(json, "x");
        EXPECT_EQ(field.state, c.state) << c.raw;
        EXPECT_EQ(field.value, c.value) << c.raw;
    }
    EXPECT_EQ(jsonPlainFloatField(R"({"y":1})", "x").state, NumberFieldState::absent);
}

TEST(WholeNumberField, ReadsWholeNumbersInTheSigned32BitRange) {
    struct Case {
        std::string_view raw;
        NumberFieldState state;
        std::int32_t value;
    };
    const Case cases[] = {
        {"2", NumberFieldState::present, 2},
        {"2.0", NumberFieldState::present, 2},
        {"1e2", NumberFieldState::present, 100},
        {"-3", NumberFieldState::present, -3},
        {"2147483647", NumberFieldState::present, 2147483647},
        {"-2147483648", NumberFieldState::present, -2147483647 - 1},
        {"2147483648", NumberFieldState::out_of_range, 0},
        {"3000000000", NumberFieldState::out_of_range, 0},
        {"-2147483649", NumberFieldState::out_of_range, 0},
        {"1e300", NumberFieldState::out_of_range, 0},
        {"1e400", NumberFieldState::absent, 0},
        {"2.5", NumberFieldState::malformed, 0},
        {"\"2\"", NumberFieldState::malformed, 0},
        {"+1", NumberFieldState::malformed, 0},
        {"0x10", NumberFieldState::malformed, 0},
        {"1_0", NumberFieldState::malformed, 0},
        {"inf", NumberFieldState::malformed, 0},
        {"nan", NumberFieldState::malformed, 0},
        {"true", NumberFieldState::malformed, 0},
    };
    for (const Case& c : cases) {
        std::string json = R"({"layer":)" + std::string(c.raw) + "}";
        NumberField<std::int32_t> field = jsonWholeNumberField(json, "layer");
        EXPECT_EQ(field.state, c.state) << c.raw;
        EXPECT_EQ(field.value, c.value) << c.raw;
    }
    EXPECT_EQ(jsonWholeNumberField("{}", "layer").state, NumberFieldState::absent);
}

}  // namespace
}  // namespace kelvo
