#pragma once

// An application record over the in-memory or the POSIX I/O, and a caller of its command rows as
// the bridge calls them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "app/app.hpp"
#include "base/memory_io.hpp"

namespace kelvo::testing {

// The web view a command comes from.
struct Caller {
    std::uint64_t windowId = 1;
    std::string_view label = "main";
};

// Records the links it is asked to open and accepts them.
struct RecordingOpener {
    std::vector<std::string> opened;

    WorkspaceOpener opener() {
        return {this, [](void* context, std::string_view url) {
                    static_cast<RecordingOpener*>(context)->opened.emplace_back(url);
                    return true;
                }};
    }
};

class AppHarness {
    EnvMap environment_;

public:
    explicit AppHarness(Io io, EnvMap environment = {}) : environment_(std::move(environment)) {
        auto created = createApp(environment_, io, links.opener());
        EXPECT_TRUE(created) << "createApp";
        if (created) app = std::move(*created);
    }

    // The reply text of the row named `command`, or "<ErrorName>".
    std::string call(std::string_view command, std::string_view payload = "null", Caller caller = {}) {
        return callInto(output, command, payload, caller);
    }

    std::string callInto(std::span<char> buffer, std::string_view command, std::string_view payload,
                         Caller caller = {}) {
        auto table = appCommandTable(*app);
        auto row = std::find_if(table.begin(), table.end(), [&](const auto& r) { return r.name == command; });
        if (row == table.end()) return "<no such row>";
        BridgeInvocation invocation{"1", command, payload, "vexa://app", caller.windowId, caller.label};
        auto result = row->handle(row->context, invocation, buffer);
        if (!result) return "<" + std::string(errorName(result.error())) + ">";
        return std::string(*result);
    }

    // The payload of a JSON string holding `text` (which must need no escapes).
    static std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

    RecordingOpener links;
    AppPtr app;
    std::vector<char> output = std::vector<char>(kBridgeHandlerOutputBytes);
};

}  // namespace kelvo::testing
