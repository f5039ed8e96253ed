#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "runtime/flow/page_events.hpp"

namespace kelvo {
namespace {

// The plain details are pinned by the session golden (flow_session_test); these are the escapes,
// the optional position and the strict check that guards what the host evaluates.
TEST(PageEventDetails, TextsAreEscapedAndThePositionIsOptional) {
    std::array<char, 512> buffer{};
    BoundedWriter out(buffer);
    writeShortcutDetail(out, ShortcutEvent{"say \"hi\"\n", "\\", 18446744073709551615ull, {}});
    EXPECT_EQ(out.text(),
              R"({"id":"say \"hi\"\n","command":"say \"hi\"\n","key":"\\","windowId":18446744073709551615,)"
              R"("modifiers":{"primary":false,"command":false,"control":false,"option":false,"shift":false}})");
    out.reset();
    const std::array<std::string_view, 2> paths = {"/tmp/\x01.txt", "/tmp/caf\xE9.vrs"};
    writeDropFilesDetail(out, FilesDroppedEvent{7, "", paths, 0, 0, false});
    EXPECT_EQ(out.text(), R"({"windowId":7,"viewLabel":"","paths":["/tmp/\u0001.txt","/tmp/caf\udce9.vrs"]})");
}

TEST(PageEventDetails, OnlyOneStrictJsonValueIsAValidDetail) {
    struct Case {
        std::string_view detail;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"{}", true},
        {"\t\n\v\f\r {\"a\":[1,2.5e3,true,null,\"x\"]} \v", true},
        {"", false},
        {"   ", false},
        {"{} {}", false},
        {"{\"width\":nan}", false},
        {"{\"width\":inf}", false},
        {"[1,]", false},
        {"{\"a\":\"\x01\"}", false},
        {"\"\xff\"", false},
        {"{\"a\":1}</script><script>alert(1)</script>", false},
        {"alert(1)", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isValidEventDetail(c.detail), c.valid) << c.detail;
}

}  // namespace
}  // namespace kelvo
