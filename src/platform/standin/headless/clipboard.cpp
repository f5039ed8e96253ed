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
    return true;
}

std::string read(void* self, ClipboardType type) {
    HeadlessState& state = headlessState(self);
    state.note(std::string("clipboard.read ") + typeName(type));
    auto item = state.services.clipboard.find(type);
    return item == state.services.clipboard.end() ? std::string() : item->second;
}

}  // namespace

ClipboardService headlessClipboard() {
    ClipboardService clipboard;
    KELVO_STANDIN_FILL(clipboard, KELVO_STANDIN_CLIPBOARD_FUNCTIONS)
    return clipboard;
}

}  // namespace kelvo::standin
