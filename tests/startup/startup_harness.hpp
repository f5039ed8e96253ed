#pragma once

// Start-up over the in-memory file system and the headless stand-in, with the host's own
// functions (each page load a window asks for is recorded on its way) and standard error
// captured. The program "lies" in /opt/Vostra Studio.app and runs in /work with HOME /home/ada.

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/memory_io.hpp"
#include "platform/standin/headless/headless.hpp"
#include "runtime/runtime.hpp"
#include "startup/startup.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo::testing {

inline constexpr std::string_view kBundledExecutable = "/opt/Vostra Studio.app/Contents/MacOS/vostra-studio";
inline constexpr std::string_view kLogFile = "/home/ada/Library/Logs/com.example.vostra-studio.app/kelvo.jsonl";
inline constexpr std::string_view kStateFile =
    "/home/ada/Library/Application Support/com.example.vostra-studio.app/State/windows.zon";

// A page a window was asked to load.
struct PageLoad {
    std::uint64_t windowId = 0;
    std::string text;
    std::int32_t kind = 0;
    std::string assetRoot;
    std::string entry;
    std::string origin;
};

// The loads of the running harness (one harness runs at a time).
inline std::vector<PageLoad> gPageLoads;
inline decltype(AppKitFunctions::load_window_webview) gHostPageLoad = nullptr;

inline void recordPageLoad(KelvoAppKitHost* host, std::uint64_t windowId, const char* text, std::size_t textLength,
                           std::int32_t kind, const char* root, std::size_t rootLength, const char* entry,
                           std::size_t entryLength, const char* origin, std::size_t originLength,
                           std::int32_t spaFallback) {
    auto view = [](const char* bytes, std::size_t length) {
        return std::string(bytes == nullptr ? "" : bytes, length);
    };
    gPageLoads.push_back({windowId, view(text, textLength), kind, view(root, rootLength), view(entry, entryLength),
                          view(origin, originLength)});
    if (gHostPageLoad != nullptr) {
        gHostPageLoad(host, windowId, text, textLength, kind, root, rootLength, entry, entryLength, origin,
                      originLength, spaFallback);
    }
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class StartupHarness {
public:
    StartupHarness() {
        files.putFolder("/work");
        files.putFolder("/home/ada");
        files.setCurrentFolder("/work");
        gPageLoads.clear();
        gHostPageLoad = appkitFunctions().load_window_webview;
        appkit.load_window_webview = recordPageLoad;
    }

    // Runs start-up to the end of the run and returns the exit status.
    int run() {
        std::vector<const char*> block;
        for (const std::string& entry : environment) block.push_back(entry.c_str());
        block.push_back(nullptr);
        StartupSystem system;
        system.environment = block.data();
        system.copyEnvironment = copyEnvironment;
        system.io = memoryIo(files);
        system.executablePath = executable;
        system.standIn = &platform.record();
        system.appkit = &appkit;
        system.allocateRuntime = allocate;
        return runApplication(system, app);
    }

    // Ends the run by SIGTERM after `ns` of virtual time.
    void terminateAt(std::uint64_t ns) {
        platform.at(ns, [this] { platform.raiseTerminate(); });
    }

    [[nodiscard]] std::vector<std::string> stderrLines() const { return splitLines(errors.text()); }
    [[nodiscard]] std::vector<std::string> errorLines() const {
        std::vector<std::string> found;
        for (std::string& line : stderrLines()) {
            if (line.starts_with("error:")) found.push_back(std::move(line));
        }
        return found;
    }
    [[nodiscard]] std::vector<std::string> fileLines(std::string_view path) const {
        return splitLines(files.fileText(path).value_or(""));
    }

    MemoryIo files;
    standin::HeadlessStandIn platform;
    AppKitFunctions appkit = appkitFunctions();
    std::vector<std::string> environment{"HOME=/home/ada"};
    std::string executable{kBundledExecutable};
    StartupApp app = vostraStudioApp();
    Result<EnvMap> (*copyEnvironment)(const char* const*) = &EnvMap::fromBlock;
    Result<Runtime*> (*allocate)() = &allocateRuntime;
    ScopedStderrCapture errors;
};

}  // namespace kelvo::testing
