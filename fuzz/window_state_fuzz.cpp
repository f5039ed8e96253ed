// Feeds arbitrary bytes to the window-state reader as the content of "windows.zon", then saves a
// new window's state over it through the in-memory I/O. The reader must never crash; the records
// it could read must all be written back unchanged, in order, with the new one merged in, unless
// the whole text would not fit (then only whole old records may be missing).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/fixed.hpp"
#include "base/memory_io.hpp"
#include "runtime/persist/window_state_store.hpp"
#include "runtime/persist/window_state_text.hpp"

namespace {

using kelvo::FixedVec;
using kelvo::kMaxWindowStateRecords;
using kelvo::kWindowStateTextBytes;
using kelvo::WindowStateRecord;
using Records = FixedVec<WindowStateRecord, kMaxWindowStateRecords>;

constexpr std::string_view kFolder = "/state";
constexpr std::string_view kFile = "/state/windows.zon";

struct Buffers {
    char before[kWindowStateTextBytes];
    char after[kWindowStateTextBytes];
    char output[kWindowStateTextBytes * 4];
};

void readRecords(std::string_view text, std::span<char> unescapeStorage, Records& records) {
    kelvo::UnescapeBuffer unescape{unescapeStorage, 0};
    kelvo::WindowStateScanner scanner{text};
    while (!records.full()) {
        auto record = kelvo::nextWindowStateRecord(scanner);
        if (!record) break;
        if (record->empty() || record->front() != '{' || record->back() != '}') std::abort();
        auto label = kelvo::parseStringField(*record, ".label", unescape);
        if (!label || label->empty()) continue;
        records.push(kelvo::parseRecord(*record, *label, unescape));
        if (unescape.used > unescapeStorage.size()) std::abort();
    }
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool sameRecord(const WindowStateRecord& a, const WindowStateRecord& b) {
    return a.id == b.id && a.label == b.label && a.title == b.title && a.open == b.open && a.focused == b.focused &&
           sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.width, b.width) && sameBits(a.height, b.height) &&
           sameBits(a.scale, b.scale) && a.maximized == b.maximized && a.fullscreen == b.fullscreen;
}

// The list a save should write: the first record with the update's label replaced in place, or
// the update appended while there is room.
Records expectedMerge(const Records& old, const WindowStateRecord& update) {
    Records merged = old;
    for (auto& record : merged) {
        if (record.label == update.label) {
            record = update;
            return merged;
        }
    }
    merged.push(update);
    return merged;
}

std::size_t formattedLength(const Records& records, std::span<char> output) {
    kelvo::BoundedWriter out(output);
    out.write(kelvo::kWindowStateHeader);
    for (const auto& record : records) kelvo::writeWindowStateRecord(out, record);
    out.write(kelvo::kWindowStateFooter);
    if (out.overflowed()) std::abort();
    return out.length();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto buffers = std::make_unique<Buffers>();
    std::string_view input(reinterpret_cast<const char*>(data), size);

    kelvo::MemoryIo memory;
    memory.setRecordCalls(false);
    memory.putFile(kFile, input);
    kelvo::WindowStateStore store;
    if (!kelvo::configureWindowStateStore(store, kelvo::memoryIo(memory), kFolder)) std::abort();

    Records before;
    readRecords(input.substr(0, kWindowStateTextBytes), buffers->before, before);

    WindowStateRecord update;
    update.id = 0;  // matched by label only
    update.label = "fuzz \"new\"\twindow";
    update.title = "\x01title\\";
    update.width = 640.5f;
    if (!kelvo::saveWindowState(store, update, kelvo::windowStateScratch())) std::abort();

    auto text = memory.fileText(kFile);
    if (!text || text->size() > kWindowStateTextBytes) std::abort();
    Records after;
    readRecords(*text, buffers->after, after);

    Records expected = expectedMerge(before, update);
    bool fits = formattedLength(expected, buffers->output) <= kWindowStateTextBytes;
    // The written records are the expected ones in order, all of them when they fit.
    std::size_t next = 0;
    bool updateWritten = false;
    for (const auto& record : after) {
        while (next < expected.size() && !sameRecord(expected[next], record)) {
            if (fits) std::abort();
            ++next;
        }
        if (next == expected.size()) std::abort();
        if (sameRecord(record, update)) updateWritten = true;
        ++next;
    }
    if (fits && after.size() != expected.size()) std::abort();
    bool updateExpected = false;
    for (const auto& record : expected) updateExpected = updateExpected || sameRecord(record, update);
    if (updateExpected != updateWritten) std::abort();
    return 0;
}
