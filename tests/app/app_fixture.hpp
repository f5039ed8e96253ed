#pragma once

// An application record over the in-memory or the POSIX I/O, and a caller of its command rows as
// the bridge calls them.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// A clipboard of the test's own. A claim holds it under the next serial number, refused where a
// take was counted since its mark, and empties it until its text comes; each text written is
// recorded. Reads get what it holds, during the call, unless `holding` keeps them waiting for
// `answer` or a claim for its text (or for being given up). `offer` puts a text there as another program does, and
// counts it in `takes`, which is what a mark holds. With `failure` set, claims, writes and reads fail with it.
struct RecordingClipboard {
    std::vector<std::string> written;
    std::optional<Error> failure;
    std::string text;
    std::uint64_t writes = 0;
    std::uint64_t held = 0;  // the serial number of the write it holds, 0 for another program's text
    std::uint64_t takes = 0;
    std::uint64_t markedAge = 0;  // the age the last mark was asked for
    std::uint64_t claim = 0;      // the claim whose text has not come yet
    int reads = 0;
    int cancels = 0;
    bool holding = false;
    std::optional<ClipboardTextSink> waiting;

    void offer(std::string other) {
        text = std::move(other);
        held = claim = 0;
        ++takes;
    }

    // Ends the read that waits as the holder answers: with the text it holds, or `failure`.
    void answer(std::size_t limit = kClipboardTextLimit) {
        if (!waiting) return;
        const ClipboardTextSink sink = *std::exchange(waiting, std::nullopt);
        if (failure) return sink.done(sink.context, fail(*failure));
        if (text.size() > limit) return sink.done(sink.context, fail(Error::ClipboardFieldTooLarge));
        sink.done(sink.context, std::string_view(text));
    }

    ClipboardAccess access() {
        return {this,
                [](void* context, std::uint64_t ageMs) {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    self.markedAge = ageMs;
                    return self.takes;
                },
                [](void* context, std::uint64_t mark) -> Result<std::uint64_t> {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    if (self.failure) return fail(*self.failure);
                    if (self.takes != mark) return 0;
                    self.text.clear();
                    self.held = self.claim = ++self.writes;
                    return self.held;
                },
                [](void* context, std::uint64_t serial, std::string_view bytes) -> Result<bool> {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    if (self.failure) return fail(*self.failure);
                    if (serial != self.claim || serial != self.held) return false;
                    self.written.emplace_back(bytes);
                    self.text = bytes;
                    self.claim = 0;
                    if (!self.holding) self.answer();
                    return true;
                },
                [](void* context, std::uint64_t serial) {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    if (serial != self.claim) return;
                    self.claim = 0;
                    if (self.held == serial) self.held = 0;
                    if (!self.holding) self.answer();
                },
                [](void* context) { return static_cast<RecordingClipboard*>(context)->held; },
                [](void* context, std::size_t limit, ClipboardTextSink sink) {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    ++self.reads;
                    self.waiting = sink;
                    if (!self.holding && self.claim == 0) self.answer(limit);
                },
                [](void* context) {
                    auto& self = *static_cast<RecordingClipboard*>(context);
                    ++self.cancels;
                    self.waiting.reset();
                }};
    }
};

// Where a deferred command's reply goes: the reply text once the command completed it.
struct ReplySlot {
    std::optional<std::string> reply;

    static Status respond(void* slot, std::uint64_t, std::string_view reply) {
        auto& self = *static_cast<ReplySlot*>(slot);
        if (self.reply) return fail(Error::AsyncBridgeResponseAlreadyCompleted);
        self.reply.emplace(reply);
        return {};
    }
};

// A reply's result, or "<ErrorName>" for an error reply's message.
inline std::string resultOf(std::string_view reply) {
    constexpr std::string_view kResult = R"("ok":true,"result":)";
    constexpr std::string_view kMessage = R"("message":")";
    if (const std::size_t at = reply.find(kResult); at != std::string_view::npos) {
        return std::string(reply.substr(at + kResult.size(), reply.size() - at - kResult.size() - 1));
    }
    const std::size_t at = reply.find(kMessage);
    if (at == std::string_view::npos) return "<bad reply " + std::string(reply) + ">";
    const std::size_t start = at + kMessage.size();
    return "<" + std::string(reply.substr(start, reply.find('"', start) - start)) + ">";
}

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
        auto deferred = appDeferredCommandTable(*app);
        auto later = std::find_if(deferred.begin(), deferred.end(), [&](const auto& r) { return r.name == command; });
        if (later != deferred.end()) return callDeferred(*later, payload, caller);
        auto table = appCommandTable(*app);
        auto row = std::find_if(table.begin(), table.end(), [&](const auto& r) { return r.name == command; });
        if (row == table.end()) return "<no such row>";
        BridgeInvocation invocation{"1", command, payload, "vexa://app", caller.windowId, caller.label};
        auto result = row->handle(row->context, invocation, buffer);
        if (!result) return enclosed('<', errorName(result.error()), '>');
        return std::string(*result);
    }

    // A deferred command's reply as `call` gives it when the command answered during the call, else
    // "<waiting>": the reply then comes to `slots.back()`.
    std::string callDeferred(const AsyncBridgeCommandHandler& row, std::string_view payload, Caller caller) {
        ReplySlot& slot = slots.emplace_back();
        AsyncBridgeResponder responder{&slot, "vexa://app", caller.windowId, caller.label, 1, ReplySlot::respond};
        BridgeInvocation invocation{"1", row.name, payload, "vexa://app", caller.windowId, caller.label};
        Status handled = row.handle(row.context, invocation, responder);
        if (!handled && !slot.reply) return enclosed('<', errorName(handled.error()), '>');
        return slot.reply ? resultOf(*slot.reply) : "<waiting>";
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
    std::deque<ReplySlot> slots;
    AppPtr app;
    std::vector<char> output = std::vector<char>(kBridgeHandlerOutputBytes);
};

}  // namespace kelvo::testing
