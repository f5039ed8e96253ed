#include "runtime/flow/dispatch_errors.hpp"

#include "base/utf8.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

std::string_view DispatchErrorDetail::errorName() const { return kelvo::errorName(error); }

void appendDispatchError(DispatchErrorLog& log, std::string_view scope, Error error, std::string_view detail,
                         std::int64_t wallClockNs) {
    ++log.total;
    if (log.recent.full()) log.recent.removeAt(0);
    DispatchErrorDetail* entry = log.recent.pushDefault();
    entry->timeNs = wallClockNs > 0 ? static_cast<std::uint64_t>(wallClockNs) : 0;
    entry->scope = scope;
    entry->error = error;
    (void)entry->detail.assign(detail.substr(0, utf8CutLength(detail, kDispatchErrorDetailBytes)));
}

void recordDispatchErrorDetail(Runtime& runtime, std::string_view scope, Error error, std::string_view detail) {
    appendDispatchError(runtime.dispatchErrors, scope, error, detail, runtimeWallClockNs(runtime));
    runtimeTrace(runtime, "dispatch.error", errorName(error), {traceText("event", scope)}, TraceLevel::err);
    markStateDirty(runtime);
}

}  // namespace kelvo
