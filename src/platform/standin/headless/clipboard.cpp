// The headless clipboard: one item per type in memory.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

const char* typeName(ClipboardType type) {
    switch (type) {
        case ClipboardType::plain_text:
            return "text";
        case ClipboardType::html:
            return "html";
        case ClipboardType::rtf:
            return "rtf";
    }
    return "?";
}

bool write(void* self, ClipboardType type, std::string_view bytes) {
    HeadlessState& state = headlessState(self);
    state.note(std::string("clipboard.write ") + typeName(type) + " bytes=" + std::to_string(bytes.size()));
    if (state.services.clipboardRefusesWrites) return false;
    state.services.clipboard.clear();
    state.services.clipboard[type] = std::string(bytes);
    state.services.clipboardHeldWrite =
        type == ClipboardType::plain_text ? ++state.services.clipboardTextWrites : std::uint64_t{0};
    return true;
}

std::string read(void* self, ClipboardType type) {
    HeadlessState& state = headlessState(self);
    state.note(std::string("clipboard.read ") + typeName(type));
    auto item = state.services.clipboard.find(type);
    return item == state.services.clipboard.end() ? std::string() : item->second;
}

// The text is kept as it was written, so every byte comes back, on the next turn of the loop.
void readTextLater(void* self, std::uint64_t limit, ClipboardReadDone done) {
    HeadlessState& state = headlessState(self);
    HeadlessServices& services = state.services;
    const std::uint64_t read = ++services.clipboardReads;
    services.clipboardRead = read;
    state.note("clipboard.readTextLater limit=" + std::to_string(limit));
    state.post([&state, read, limit, done = std::move(done)] {
        HeadlessServices& now = state.services;
        if (now.clipboardRead != read) return;
        now.clipboardRead = 0;
        ClipboardRead answer;
        auto item = now.clipboard.find(ClipboardType::plain_text);
        if (now.clipboardReadEnd) {
            answer.end = *now.clipboardReadEnd;
        } else if (item != now.clipboard.end() && item->second.size() > limit) {
            answer.end = ClipboardReadEnd::too_large;
        } else if (item != now.clipboard.end()) {
            answer.bytes = item->second;
        }
        done(std::move(answer));
    });
}

void cancelTextRead(void* self) {
    HeadlessState& state = headlessState(self);
    if (state.services.clipboardRead != 0) state.note("clipboard.cancelTextRead");
    state.services.clipboardRead = 0;
}

std::uint64_t heldTextWrite(void* self) { return headlessState(self).services.clipboardHeldWrite; }

// There is no input: a mark is the takes counted so far.
std::uint64_t markTakes(void* self, std::uint64_t) { return headlessState(self).services.clipboardTakes; }

// A claim empties the clipboard and holds it until its text comes; a take counted since the mark
// refuses it.
std::uint64_t claimText(void* self, std::uint64_t mark) {
    HeadlessState& state = headlessState(self);
    HeadlessServices& services = state.services;
    state.note("clipboard.claimText");
    if (services.clipboardTakes != mark || services.clipboardRefusesWrites) return 0;
    services.clipboard.clear();
    services.clipboardHeldWrite = ++services.clipboardTextWrites;
    services.clipboardClaim = services.clipboardHeldWrite;
    return services.clipboardClaim;
}

bool fillClaim(void* self, std::uint64_t serial, std::string_view bytes) {
    HeadlessServices& services = headlessState(self).services;
    if (serial == 0 || services.clipboardClaim != serial || services.clipboardHeldWrite != serial) return false;
    services.clipboard[ClipboardType::plain_text] = std::string(bytes);
    services.clipboardClaim = 0;
    return true;
}

void dropClaim(void* self, std::uint64_t serial) {
    HeadlessServices& services = headlessState(self).services;
    if (serial == 0 || services.clipboardClaim != serial) return;
    services.clipboardClaim = 0;
    if (services.clipboardHeldWrite == serial) services.clipboardHeldWrite = 0;
}

}  // namespace

ClipboardService headlessClipboard() {
    ClipboardService clipboard;
    KELVO_STANDIN_FILL(clipboard, KELVO_STANDIN_CLIPBOARD_FUNCTIONS)
    return clipboard;
}

}  // namespace kelvo::standin
