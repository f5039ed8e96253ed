// Feeds arbitrary command files to the automation drain of a started runtime on the scripted test
// platform and the in-memory I/O interface. Whatever the file holds, the frame request must
// succeed (a command's failure is recorded, never returned), a complete or oversized file must be
// consumed, an incomplete one left, the bridge router must be free again, and a published
// snapshot must start with its header.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "automation/automation.hpp"
#include "base/memory_io.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"
#include "support/test_platform.hpp"

namespace {

using namespace kelvo;

void check(bool condition) {
    if (!condition) std::abort();
}

constexpr std::string_view kCommandPath = "/auto/command-1.txt";

struct Rig {
    Rig() {
        runtime = *allocateRuntime();
        runtime->platform = platform.platform();
        runtime->io = memoryIo(memory);
        runtime->appConfig.mainWindow = WindowConfig{1, "main", "Studio", RectF{0, 0, 800, 600}};
        check(configureAutomationServer(automation->server, runtime->io, "/auto", "Studio", 1'000'000'000).has_value());
        attachAutomation(*runtime, *automation);
        binding.defaultSource = WindowSource{"<p>hi</p>", {}, WindowSourceKind::html};
        memory.setRecordCalls(false);
        check(dispatchPlatformEvent(*runtime, binding, AppStartEvent{}).has_value());
    }

    TestPlatform platform;
    MemoryIo memory;
    std::unique_ptr<Automation> automation = std::make_unique<Automation>();
    AppBinding binding{};
    Runtime* runtime = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    rig.memory.putFile(kCommandPath, text);
    rig.runtime->stateDirty = true;
    check(dispatchPlatformEvent(*rig.runtime, rig.binding, FrameRequestedEvent{}).has_value());
    rig.platform.clearCalls();

    const bool complete = !text.empty() && text.back() == '\n';
    const bool consumed = complete || size >= kCommandBufferBytes;
    check(rig.memory.exists(kCommandPath) != consumed);
    check(!rig.runtime->bridgeRouter.busy);
    const std::optional<std::string> snapshot = rig.memory.fileText("/auto/snapshot.txt");
    check(snapshot && snapshot->starts_with("ready=true protocol=6 frame="));
    return 0;
}
