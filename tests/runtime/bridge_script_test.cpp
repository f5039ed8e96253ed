#include "bridge_scene.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

using testing::cat;

class CommandScript : public testing::BridgeScene {};

// The canvas members of a native view hold their never-drawn values (a golden of its own pins
// them); the transcript leaves them out.
std::string withoutCanvasMembers(std::string reply) {
    constexpr std::string_view kFirst = R"(,"gpuWidth":)";
    constexpr std::string_view kLast = R"(,"cursor":"arrow")";
    for (std::size_t at = reply.find(kFirst); at != std::string::npos; at = reply.find(kFirst, at + 1)) {
        std::size_t end = reply.find(kLast, at);
        if (end == std::string::npos) break;
        reply.replace(at, end + kLast.size() - at, ",...");
    }
    return reply;
}

// Every request and reply, then the platform calls, the application's command events and the
// tables left behind.
TEST_F(CommandScript, LeavesTablesAndPlatformCallsAsExpected) {
    std::string transcript;
    for (const std::string& line : testing::readLines("bridge/commands/script.txt")) {
        std::size_t first = line.find(' ');
        std::size_t second = line.find(' ', first + 1);
        std::size_t third = line.find(' ', second + 1);
        const std::uint64_t windowId = std::stoull(line.substr(0, first));
        const std::string label = line.substr(first + 1, second - first - 1);
        const std::string command = line.substr(second + 1, third - second - 1);
        transcript +=
            cat("> ", line, "\n< ", withoutCanvasMembers(send(command, line.substr(third + 1), windowId, label)), "\n");
    }
    transcript += cat("\nplatform calls:\n", platformCalls());
    transcript += "\ncommand events:\n";
    for (const std::string& command : commands) transcript += command + "\n";
    transcript += cat("\ntables:\n", tables());
    testing::expectGolden("bridge/commands/script.golden", transcript);
}

}  // namespace
}  // namespace kelvo
