#pragma once

// A runtime on the scripted test platform and the in-memory I/O interface, started, with
// automation attached over the folder "/auto".

#include <memory>
#include <string>
#include <vector>

#include "automation/automation.hpp"
#include "runtime/flow_scenario.hpp"

namespace kelvo::testing {

inline constexpr std::int64_t kAgeLimitNs = 2'000'000'000;

// A text of a data table with the escapes \t \n \r and \\ resolved.
inline std::string unescapeCase(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

// Recorded errors as one text, "; " between them, "-" for none (the form the tables write).
inline std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out.append(out.empty() ? "" : "; ").append(line);
    return out.empty() ? "-" : out;
}

class AutomationScenario {
public:
    AutomationScenario() {
        flow.start();
        EXPECT_TRUE(configureAutomationServer(automation->server, flow.runtime().io, "/auto", "Studio", kAgeLimitNs));
        attachAutomation(flow.runtime(), *automation);
        flow.memory().putFolder("/auto");
    }

    void command(std::string_view name, std::string_view text) {
        flow.memory().putFile("/auto/" + std::string(name), text);
    }
    Status frame() { return flow.dispatch(FrameRequestedEvent{}); }
    [[nodiscard]] bool exists(std::string_view name) { return flow.memory().exists("/auto/" + std::string(name)); }
    [[nodiscard]] std::string file(std::string_view name) {
        return flow.memory().fileText("/auto/" + std::string(name)).value_or("(missing)");
    }

    // The recorded dispatch errors, oldest first, as "scope error detail".
    [[nodiscard]] std::vector<std::string> errors() {
        std::vector<std::string> out;
        for (const DispatchErrorDetail& error : flow.runtime().dispatchErrors.recent) {
            out.push_back(
                cat(error.scope, " ", error.errorName(), error.detailText().empty() ? "" : " ", error.detailText()));
        }
        return out;
    }

    FlowScenario flow;
    std::unique_ptr<Automation> automation = std::make_unique<Automation>();
};

}  // namespace kelvo::testing
