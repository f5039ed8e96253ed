// Vostra Studio's declaration: what start-up makes of this application.

#include "app/app_identity.hpp"
#include "app/document_types.hpp"
#include "startup/startup.hpp"

namespace kelvo {

StartupApp vostraStudioApp() {
    StartupApp app;
    AppConfig& config = app.config;
    config.appName = kAppName;
    config.windowTitle = kAppName;
    config.bundleId = kBundleIdentifier;
    // The configuration keeps the icon's name even when the host is given none (outside a bundle
    // without the file, the dock icon is rendered instead).
    config.iconPath = "assets/icon.png";
    config.mainWindow.id = 1;
    config.mainWindow.label = "main";
    config.mainWindow.title = kAppName;
    config.mainWindow.frame = RectF{0, 0, 1280, 820};
    config.mainWindow.resizable = true;
    config.mainWindow.restoreFrame = false;
    config.webContent = true;
    config.platform = PlatformConfig{{}, SizeF{720, 480}, 1.0f};
    app.appId = kAppId;
    app.documentTypes = documentFileTypes();
    return app;
}

}  // namespace kelvo
