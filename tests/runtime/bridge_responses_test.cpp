#include "runtime/bridge/builtin_errors.hpp"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "support/golden.hpp"

namespace kelvo {
namespace {

// Each row: error name, reply code and message (tests/data/bridge_errors.txt).
struct Row {
    Error error;
    std::string code;
    std::string message;
};

std::vector<Row> rows() {
    std::vector<Row> out;
    for (const std::string& line : testing::readLines("bridge_errors.txt")) {
        std::size_t name = line.find(' ');
        std::size_t code = line.find(' ', name + 1);
        std::optional<Error> error = errorFromName(line.substr(0, name));
        EXPECT_TRUE(error) << line;
        out.push_back(
            {error.value_or(Error::Unexpected), line.substr(name + 1, code - name - 1), line.substr(code + 1)});
    }
    return out;
}

TEST(BuiltinBridgeErrors, EveryRowHasItsCodeAndMessage) {
    ASSERT_EQ(rows().size(), 62u);
    for (const Row& row : rows()) {
        EXPECT_EQ(bridgeErrorCodeText(builtinBridgeErrorCode(row.error)), row.code) << errorName(row.error);
        EXPECT_EQ(builtinBridgeErrorMessage(row.error), row.message) << errorName(row.error);
    }
}

TEST(BuiltinBridgeErrors, EveryOtherErrorIsAnInternalNativeCommandFailure) {
    std::set<Error> listed;
    for (const Row& row : rows()) listed.insert(row.error);
    for (std::size_t value = 0; value < kErrorCount; ++value) {
        auto error = static_cast<Error>(value);
        if (listed.count(error)) continue;
        EXPECT_EQ(builtinBridgeErrorCode(error), BridgeErrorCode::internal_error) << errorName(error);
        EXPECT_EQ(builtinBridgeErrorMessage(error), "Native command failed") << errorName(error);
    }
    EXPECT_EQ(builtinBridgeErrorMessage(Error::PermissionDenied), "Native command failed");
}

TEST(BuiltinBridgeErrors, WritesTheErrorReply) {
    std::array<char, 512> buffer;
    EXPECT_EQ(std::string(writeBuiltinErrorResponse(buffer, "3", Error::ViewNotFound)),
              R"({"id":"3","ok":false,"error":{"code":"invalid_request","message":"View was not found"}})");
    EXPECT_EQ(
        std::string(writeBuiltinErrorResponse(buffer, "4", Error::ReservedWebViewLabel)),
        R"({"id":"4","ok":false,"error":{"code":"invalid_request","message":"WebView label \"main\" is reserved for the startup WebView"}})");
    EXPECT_EQ(std::string(writeBuiltinErrorResponse(buffer, "5", Error::WriteFailed)),
              R"({"id":"5","ok":false,"error":{"code":"internal_error","message":"Native command failed"}})");
}

}  // namespace
}  // namespace kelvo
