#pragma once

// Vostra Studio's runtime over a host that a test made on its chosen backend: the runtime record
// with this application's command table and policies, the platform adapter over the host, and
// front-end files from a folder of the test's own. Header-only: only the host's test programs,
// which link the host and the application, include it.
//
//   AppOnHost app(host, assetRoot);
//   app.run();  // returns when the host's loop ends

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "app/app.hpp"
#include "app/policies.hpp"
#include "base/posix_io.hpp"
#include "platform/macos/mac_platform.hpp"
#include "runtime/flow/dispatch.hpp"
#include "runtime/runtime.hpp"

namespace kelvo::testing {

class AppOnHost {
public:
    AppOnHost(KelvoAppKitHost* host, std::string assetRoot) : assetRoot_(std::move(assetRoot)) {
        Result<AppPtr> made = createApp(environment_, posixIo(), WorkspaceOpener{}, ClipboardAccess{}, assetRoot_);
        EXPECT_TRUE(made) << "createApp";
        if (made) app = std::move(*made);
        Result<Runtime*> allocated = allocateRuntime();
        EXPECT_TRUE(allocated) << "allocateRuntime";
        if (!allocated || !app) return;
        runtime = *allocated;
        commands_ = appCommandTable(*app);
        deferredCommands_ = appDeferredCommandTable(*app);

        window_.id = 1;
        window_.label = "main";
        window_.title = "Vostra Studio";
        window_.frame = RectF{0, 0, 800, 600};
        config_.appName = "Vostra Studio";
        config_.mainWindow = window_;
        runtime->appConfig = config_;
        runtime->securityPolicy = appSecurityPolicy();
        runtime->builtinPolicy = builtinCommandPolicy();
        runtime->bridgeConfig = BridgeConfig{appCommandPolicy(), commands_, deferredCommands_};

        mac.host = host;
        mac.app = config_;
        fillMacPlatform(runtime->platform, mac);

        context_.runtime = runtime;
        context_.binding.appContext = this;
        context_.binding.appId = "vostra-studio";
        context_.binding.eventHandler = [](void* self, Runtime& runtime, const RuntimeEvent& event) -> Status {
            auto& owner = *static_cast<AppOnHost*>(self);
            if (owner.onEvent) owner.onEvent(runtime, event);
            return {};
        };
        context_.binding.sourceCallback = [](void* self) -> Result<WindowSource> {
            const std::string& root = static_cast<AppOnHost*>(self)->assetRoot_;
            return WindowSource{"vexa://app", WindowAssets{root, "index.html", "vexa://app", true},
                                WindowSourceKind::assets};
        };
    }

    ~AppOnHost() { releaseRuntime(runtime); }
    AppOnHost(const AppOnHost&) = delete;
    AppOnHost& operator=(const AppOnHost&) = delete;

    Status run() { return runtime->platform.run(runtime->platform.context, handlePlatformEvent, &context_); }

    AppPtr app;
    Runtime* runtime = nullptr;
    MacPlatform mac;
    // Sees every runtime event the application is handed.
    std::function<void(Runtime&, const RuntimeEvent&)> onEvent;

private:
    EnvMap environment_;
    std::string assetRoot_;
    std::array<BridgeCommandHandler, kAppCommandCount> commands_{};
    std::array<AsyncBridgeCommandHandler, kAppDeferredCommandCount> deferredCommands_{};
    WindowConfig window_;
    AppConfig config_;
    RunContext context_;
};

}  // namespace kelvo::testing
