// Feeds arbitrary bytes to the window-state reader the way a save reads "windows.zon": scan the
// records, read their labels and fields, write the surviving records back and read that text
// again. The reader must never crash, and what it wrote must read back as the same records.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "base/fixed.hpp"
#include "runtime/window_state.hpp"

namespace {

using kelvo::BoundedWriter;
using kelvo::FixedVec;
using kelvo::kMaxWindowStateRecords;
using kelvo::kWindowStateTextBytes;
using kelvo::UnescapeBuffer;
using kelvo::WindowStateRecord;
using kelvo::WindowStateScanner;

struct Buffers {
    char unescape[kWindowStateTextBytes];
    char again[kWindowStateTextBytes];
    char output[kWindowStateTextBytes * 2];
};

void readRecords(std::string_view text, std::span<char> unescapeStorage,
                 FixedVec<WindowStateRecord, kMaxWindowStateRecords>& records) {
    UnescapeBuffer unescape{unescapeStorage, 0};
    WindowStateScanner scanner{text};
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto buffers = std::make_unique<Buffers>();
    if (size > kWindowStateTextBytes) size = kWindowStateTextBytes;
    std::string_view text(reinterpret_cast<const char*>(data), size);

    FixedVec<WindowStateRecord, kMaxWindowStateRecords> records;
    readRecords(text, buffers->unescape, records);

    BoundedWriter out(buffers->output);
    out.write(kelvo::kWindowStateHeader);
    for (const auto& record : records) kelvo::writeWindowStateRecord(out, record);
    out.write(kelvo::kWindowStateFooter);
    if (out.overflowed()) std::abort();

    FixedVec<WindowStateRecord, kMaxWindowStateRecords> again;
    readRecords(out.text(), buffers->again, again);
    if (again.size() != records.size()) std::abort();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!sameRecord(records[i], again[i])) std::abort();
    }
    return 0;
}
