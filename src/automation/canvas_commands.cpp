#include "automation/canvas_commands.hpp"

namespace kelvo {

Status runAutomationCanvasCommand(Runtime&, const AppBinding&, const AutomationServer&, AutomationVerb,
                                  const AutomationCanvasArguments&) {
    return fail(Error::UnsupportedService);
}

Status publishAutomationScreenshot(Runtime&, const AutomationServer&, std::string_view) {
    return fail(Error::UnsupportedService);
}

}  // namespace kelvo
