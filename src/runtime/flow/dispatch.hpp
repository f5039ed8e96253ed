#pragma once

#include "base/error.hpp"
#include "platform/types/platform_event.hpp"
#include "platform/types/runtime_event.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

// The event flow: every platform event a backend delivers becomes runtime work here, one at a
// time, each to its end before the next. Around every event: the session journal's begin step,
// the "platform.event" trace (skipped for frame events while nothing changed), the kind's work,
// then the journal's commit and checkpoint steps.
//
// Errors have one of two fates. Returned, which ends the run (the backend reports it and `run`
// fails with CallbackFailed): failures of the start and stop sequences, and runtime-event errors
// that `dispatchEvent` itself returns. Recorded as dispatch errors and swallowed:
// application-handler and canvas errors (unless `stopOnHandlerError` is set), a malformed single
// event from a backend, a bridge reply that could not be delivered, and a failed automation
// snapshot publication (the state then stays dirty). Page events that cannot be sent and failed relayouts and
// window-state saves are only traced.

struct Runtime;

// What the runtime hands to the platform's `run` together with `handlePlatformEvent`.
struct RunContext {
    Runtime* runtime = nullptr;
    AppBinding binding{};
};

// The event handler given to `run`; `runContext` is a RunContext.
Status handlePlatformEvent(void* runContext, const PlatformEvent& event);

// Turns one platform event into runtime work. May be re-entered from inside a dispatch (the
// automation drain dispatches synthesised events from a frame event).
Status dispatchPlatformEvent(Runtime& runtime, const AppBinding& binding, const PlatformEvent& event);

// Delivers one runtime event: the "runtime.event" trace, the application's event handler, the
// extension modules for commands, and the state-dirty flag for the kinds that change what the
// user sees. A handler error is recorded under the kind's scope and returned only when
// `stopOnHandlerError` is set; a module error is recorded as "extension.command".
Status dispatchEvent(Runtime& runtime, const AppBinding& binding, const RuntimeEvent& event);

}  // namespace kelvo
