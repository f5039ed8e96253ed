#pragma once

// The JSON objects bridge replies describe windows, web views and views with. Each writer emits
// one object with its members in a fixed order and without white space; numbers are plain
// decimal (32-bit floats with the fewest digits that read back the same value, the web view zoom
// as a 64-bit float). The writers never emit "nan" or "inf": a record holding a non-finite number
// fails with WriteFailed, as does a buffer that fills up. Part of the object may then stand in
// the writer; callers discard it.

#include <span>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/error.hpp"
#include "platform/types/window_records.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

Status writeWindowJsonToWriter(const WindowInfo& window, BoundedWriter& out);
Status writeWebViewJsonToWriter(const WebViewInfo& webView, BoundedWriter& out);
Status writeViewJsonToWriter(const ViewInfo& view, BoundedWriter& out);

// Writes "[", each element with `writeOne(BoundedWriter&, element) -> Status` apart by ",", then
// "]"; the first failure stops it.
template <class Range, class WriteOne>
Status writeJsonArray(BoundedWriter& out, const Range& elements, WriteOne&& writeOne) {
    out.put('[');
    bool first = true;
    for (const auto& element : elements) {
        if (!first) out.put(',');
        first = false;
        TRY(writeOne(out, element));
    }
    out.put(']');
    if (out.overflowed()) return fail(Error::WriteFailed);
    return {};
}

// The text `write(BoundedWriter&) -> Status` writes over `buffer`; WriteFailed when it does not
// fit.
template <class Write>
Result<std::string_view> writeJsonText(std::span<char> buffer, Write&& write) {
    BoundedWriter out(buffer);
    TRY(write(out));
    if (out.overflowed()) return fail(Error::WriteFailed);
    return out.text();
}

}  // namespace kelvo
