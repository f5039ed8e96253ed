#pragma once

#include <array>
#include <string>
#include <vector>

#include "debug/trace_format.hpp"
#include "runtime/runtime.hpp"

namespace kelvo::testing {

// A trace sink that keeps every record as its JSON line (without the line feed), and can refuse
// them.
struct TraceCapture {
    std::vector<std::string> lines;
    bool refuse = false;

    TraceSink sink() { return TraceSink{this, &write}; }
    void attach(Runtime& runtime) {
        runtime.trace.sink = sink();
        runtime.trace.present = true;
    }
    // The records' names, in order.
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const std::string& line : lines) {
            std::size_t start = line.find("\"name\":\"") + 8;
            out.push_back(line.substr(start, line.find('"', start) - start));
        }
        return out;
    }

    static Status write(void* context, const TraceRecord& record) {
        auto* self = static_cast<TraceCapture*>(context);
        if (self->refuse) return fail(Error::WriteFailed);
        std::array<char, kTraceJsonLineCapacity> line{};
        std::string_view text = formatJsonLine(record, line);
        if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
        self->lines.emplace_back(text);
        return {};
    }
};

}  // namespace kelvo::testing
