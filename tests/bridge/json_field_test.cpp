#include "bridge/json_field.hpp"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(JsonField, ReturnsTheRawValueOfATopLevelMember) {
    struct Case {
        std::string_view json;
        std::string_view name;
        std::optional<std::string_view> value;
    };
    const Case cases[] = {
        {"{\"a\":1}", "a", "1"},
        {" \v{ \"a\" :\t\"x y\" \n, \"b\": 2}", "a", "\"x y\""},
        {"{\"a\":1,\"b\":{\"c\": [1, 2]} }", "b", "{\"c\": [1, 2]}"},
        {"{\"a\":1,\"a\":2}", "a", "1"},                 // the first member wins
        {"{\"a\":{\"b\":1}}", "b", std::nullopt},        // nested members are not found
        {"[{\"a\":1}]", "a", std::nullopt},              // not an object
        {"{\"l\\u0061bel\":1}", "label", std::nullopt},  // keys are not decoded
        {"{\"l\\u0061bel\":1}", "l\\u0061bel", "1"},
        {"{\"A\":1}", "a", std::nullopt},  // case matters
        {"{\"a\":1,\"b\":2}", "c", std::nullopt},
        {"{}", "a", std::nullopt},
        {"", "a", std::nullopt},
        {"{\"a\":1 \"b\":2}", "b", std::nullopt},    // missing comma before the member
        {"{\"a\":tru,\"b\":2}", "b", std::nullopt},  // malformed value before the member
        {"{\"b\":2,\"a\":tru", "b", "2"},            // the rest is not looked at
        {"{\"a\":1,}", "b", std::nullopt},
        {"{\"\":5}", "", "5"},
    };
    for (const Case& c : cases) EXPECT_EQ(fieldValue(c.json, c.name), c.value) << c.json << " / " << c.name;
}

}  // namespace
}  // namespace kelvo
