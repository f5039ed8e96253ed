#pragma once

// Running the text of one complete command file. Private to src/automation.

#include <string_view>

#include "automation/automation_server.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// Splits `text` into verb (up to the first space byte; TAB, CR and LF do not end it) and
// arguments, and runs the verb. Empty text does nothing; every failure is recorded as a dispatch
// error under the verb's name (file-level refusals under "automation.command").
void runAutomationCommandText(Runtime& runtime, const AppBinding& binding, const AutomationServer& server,
                              std::string_view text);

}  // namespace kelvo
