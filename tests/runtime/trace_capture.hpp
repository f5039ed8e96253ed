#pragma once

#include <string>
#include <variant>
#include <vector>

#include "debug/trace.hpp"
#include "runtime/core.hpp"

namespace kelvo::testing {

// A trace sink that keeps "name|message|key=value,..." of every record, and can refuse them.
struct TraceCapture {
    std::vector<std::string> lines;
    bool refuse = false;

    void attach(Runtime& runtime) {
        runtime.trace.sink = TraceSink{this, &write};
        runtime.trace.present = true;
    }

    static Status write(void* context, const TraceRecord& record) {
        auto* self = static_cast<TraceCapture*>(context);
        std::string line(record.name);
        line.append("|").append(record.message.value_or("<none>")).append("|");
        for (std::size_t i = 0; i < record.fields.size(); ++i) {
            const TraceField& field = record.fields[i];
            line.append(i ? "," : "").append(field.key).append("=");
            std::visit(
                [&](const auto& value) {
                    using T = std::decay_t<decltype(value)>;
                    if constexpr (std::is_same_v<T, std::string_view>) {
                        line += std::string(value);
                    } else {
                        line += std::to_string(value);
                    }
                },
                field.value);
        }
        self->lines.push_back(line);
        if (self->refuse) return fail(Error::WriteFailed);
        return {};
    }
};

}  // namespace kelvo::testing
