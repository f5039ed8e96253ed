#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"

namespace kelvo {

// Errors met while events are delivered that must not stop the application (a failing
// application handler, a failing module command, a canvas operation that failed, a malformed
// event from a backend) are recorded here instead of returned: counted, the latest 16 kept with
// their details, and each traced as "dispatch.error".

inline constexpr std::size_t kMaxRecentDispatchErrors = 16;
inline constexpr std::size_t kDispatchErrorDetailBytes = 48;

struct DispatchErrorDetail {
    std::uint64_t timeNs = 0;  // wall clock when recorded; 0 when the clock gave nothing usable
    // Where it happened. Always a fixed text of the program (an event kind's name, "lifecycle",
    // "extension.command", "app_start", ...), so the entry refers to it instead of copying it.
    std::string_view scope;
    Error error = Error::Unexpected;
    InlineBytes<kDispatchErrorDetailBytes> detail;

    [[nodiscard]] std::string_view errorName() const;
    [[nodiscard]] std::string_view detailText() const { return detail.view(); }
};

struct DispatchErrorLog {
    std::uint64_t total = 0;                                         // every error recorded since start
    FixedVec<DispatchErrorDetail, kMaxRecentDispatchErrors> recent;  // oldest first
};

// Adds one entry: the total grows, the detail is cut to its first 48 bytes (never inside a
// character), and when 16 entries are held the oldest is dropped.
void appendDispatchError(DispatchErrorLog& log, std::string_view scope, Error error, std::string_view detail,
                         std::int64_t wallClockNs);

struct Runtime;

// Records a dispatch error in the runtime's log, writes the trace record "dispatch.error" (level
// err; message: the error's name; field "event": the scope) and sets the state-dirty flag so the
// next frame publishes the change. `scope` must outlive the runtime (a fixed text).
void recordDispatchErrorDetail(Runtime& runtime, std::string_view scope, Error error, std::string_view detail = {});

}  // namespace kelvo
