#pragma once

// An application record over the in-memory or the POSIX I/O, and a caller of its command rows as
// the bridge calls them.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
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

// A clipboard of the test's own. Each text written is recorded and held, under the next serial
// number; reads get what it holds. `offer` puts a text there as another program does. With
// `failure` set, writes and reads fail with it.
struct RecordingClipboard {
    std::vector<std::string> written;
    std::optional<Error> failure;
    std::string text;
    std::uint64_t writes = 0;
    std::uint64_t held = 0;  // the serial number of the write it holds, 0 for another program's text
    int reads = 0;

    void offer(std::string other) {
        text = std::move(other);
        held = 0;
    }

    ClipboardAccess access() {
        return {this,
                [](void* context, std::string_view bytes) -> Result<std::uint64_t> {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    if (self.failure) return fail(*self.failure);
                    self.written.emplace_back(bytes);
                    self.text = bytes;
                    self.held = ++self.writes;
                    return self.held;
                },
                [](void* context) { return static_cast<RecordingClipboard*>(context)->held; },
                [](void* context, ClipboardTextSink sink) -> Status {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    ++self.reads;
                    if (self.failure) return fail(*self.failure);
                    return sink.take(sink.context, self.text);
                }};
    }
};

class AppHarness {
    EnvMap environment_;

public:
    explicit AppHarness(Io io, EnvMap environment = {}) : environment_(std::move(environment)) {
        auto created =
            createApp(environment_, io, links.opener(), clipboard.access(), "/bundle/Contents/Resources/frontend/dist");
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
        if (!result) return enclosed('<', errorName(result.error()), '>');
        return std::string(*result);
    }

    // The payload of a JSON string holding `text` (which must need no escapes).
    static std::string quoted(std::string_view text) { return enclosed('"', text, '"'); }

    // (Built by appending: g++ 12 warns falsely about `"x" + std::string(...)` at -O3.)
    static std::string enclosed(char open, std::string_view text, char close) {
        std::string out(1, open);
        out.append(text);
        out.push_back(close);
        return out;
    }

    RecordingOpener links;
    RecordingClipboard clipboard;
    AppPtr app;
    std::vector<char> output = std::vector<char>(kBridgeHandlerOutputBytes);
};

}  // namespace kelvo::testing
