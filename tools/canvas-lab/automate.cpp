#include "automate.hpp"

#include <csignal>
#include <memory>

#include "automation/automation.hpp"
#include "automation/command_watcher.hpp"
#include "base/posix_io.hpp"
#include "lab_files.hpp"
#include "lab_platform.hpp"
#include "lab_scene.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

constexpr std::chrono::milliseconds kIdle{1000};
constexpr std::int64_t kIncompleteCommandAgeNs = 5'000'000'000;

struct RuntimeRelease {
    void operator()(Runtime* runtime) const { releaseRuntime(runtime); }
};

void stopOnSignal(int) { stopLabPlatforms(); }

bool stopListing(void*, std::string_view) { return false; }

// The automation folder is a folder the lab can list. The runtime itself finds no command in a
// folder that is missing or unreadable and says nothing, so the lab would idle out quietly.
Status checkAutomationFolder(const Io& io, std::string_view folder) {
    const FileStat stat = TRY(ioPathStat(io, folder));
    if (stat.kind != FileKind::directory) return fail(Error::NotDir);
    return ioListFolder(io, folder, nullptr, &stopListing);
}

}  // namespace

int automate(std::string_view treePath, std::string_view folder) {
    const Io io = posixIo();
    auto tree = std::make_unique<WidgetTreeStorage>();
    if (!readTreeFile(io, treePath, *tree)) return 1;
    if (tree->node_count == 0) return labFailed("no widgets in", treePath, Error::InvalidWidgetTreeText);
    if (Status usable = checkAutomationFolder(io, folder); !usable) {
        return labFailed("cannot automate through", folder, usable.error());
    }

    Result<Runtime*> allocated = allocateRuntime();
    if (!allocated) return labFailed("cannot start a runtime for", treePath, allocated.error());
    std::unique_ptr<Runtime, RuntimeRelease> runtime(*allocated);
    LabPlatform lab(kIdle);
    runtime->platform = lab.platform();
    runtime->io = io;
    runtime->startMonotonicNs = ioMonotonicNs(io);
    runtime->webViewLayer = false;  // the lab shows no pages
    if (Status built = buildLabScene(*runtime, *tree); !built) {
        return labFailed("cannot show the tree of", treePath, built.error());
    }

    auto automation = std::make_unique<Automation>();
    if (Status configured =
            configureAutomationServer(automation->server, io, folder, kLabWindowTitle, kIncompleteCommandAgeNs);
        !configured) {
        return labFailed("cannot automate through", folder, configured.error());
    }
    attachAutomation(*runtime, *automation);

    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    RunContext context{runtime.get(), AppBinding{}};
    AutomationWatcher watcher;
    startAutomationWatcher(*runtime, automation->server, watcher);
    const Status ran = runtime->platform.run(runtime->platform.context, &handlePlatformEvent, &context);
    stopAutomationWatcher(watcher);
    if (!ran) return labFailed("the run over", folder, ran.error());
    return 0;
}

}  // namespace kelvo
