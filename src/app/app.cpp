#include "app/app.hpp"

#include <algorithm>
#include <new>

#include "app/command_support.hpp"
#include "app/payload_string.hpp"
#include "base/bounded_writer.hpp"

namespace kelvo {

namespace {

template <Result<std::string_view> (*Handler)(App&, const BridgeInvocation&, std::span<char>)>
Result<std::string_view> appRow(void* context, const BridgeInvocation& call, std::span<char> output) {
    return Handler(*static_cast<App*>(context), call, output);
}

template <Status (*Handler)(App&, const BridgeInvocation&, AsyncBridgeResponder)>
Status deferredAppRow(void* context, const BridgeInvocation& call, AsyncBridgeResponder responder) {
    return Handler(*static_cast<App*>(context), call, responder);
}

}  // namespace

void AppRelease::operator()(App* app) const {
    if (app == nullptr) return;
    endWaitingClipboardRead(*app);
    endSave(*app);
    endRead(*app);
    delete app;
}

Result<AppPtr> createApp(const EnvMap& environment, Io io, WorkspaceOpener workspace, ClipboardAccess clipboard,
                         std::string_view frontendFolder) {
    if (frontendFolder.empty() || frontendFolder.size() >= kResourcePathBytes) {
        return fail(Error::MissingBundleResources);
    }
    AppPtr app(new (std::nothrow) App());
    if (!app) return fail(Error::OutOfMemory);
    app->environment = &environment;
    app->io = io;
    app->workspace = workspace;
    app->clipboard = clipboard;
    std::copy(frontendFolder.begin(), frontendFolder.end(), app->resourcePath.begin());
    app->resourcePathLength = frontendFolder.size();
    return app;
}

std::array<BridgeCommandHandler, kAppCommandCount> appCommandTable(App& app) {
    return {{
        {"vostra.file.begin", &app, appRow<beginFile>},
        {"vostra.file.append", &app, appRow<appendFile>},
        {"vostra.file.finish", &app, appRow<finishFile>},
        {"vostra.file.cancel", &app, appRow<cancelFile>},
        {"vostra.file.read.begin", &app, appRow<beginReadFile>},
        {"vostra.file.read.chunk", &app, appRow<readFileChunk>},
        {"vostra.file.read.finish", &app, appRow<finishReadFile>},
        {"vostra.url.open", &app, appRow<openUrl>},
        {"vostra.clipboard.mark", &app, appRow<markClipboard>},
        {"vostra.clipboard.begin", &app, appRow<beginClipboard>},
        {"vostra.clipboard.append", &app, appRow<appendClipboard>},
        {"vostra.clipboard.finish", &app, appRow<finishClipboard>},
        {"vostra.clipboard.read.chunk", &app, appRow<clipboardReadChunk>},
        {"vostra.clipboard.read.finish", &app, appRow<finishClipboardRead>},
    }};
}

std::array<AsyncBridgeCommandHandler, kAppDeferredCommandCount> appDeferredCommandTable(App& app) {
    return {{{"vostra.clipboard.read.begin", &app, deferredAppRow<beginClipboardRead>}}};
}

Result<WindowSource> appSource(void* appContext) {
    const App& app = *static_cast<const App*>(appContext);
    auto url = app.environment != nullptr ? app.environment->get("KELVO_FRONTEND_URL") : std::nullopt;
    if (url && !url->empty()) return WindowSource{*url, std::nullopt, WindowSourceKind::url};
    std::string_view root(app.resourcePath.data(), app.resourcePathLength);
    return WindowSource{"vexa://app", WindowAssets{root, "index.html", "vexa://app", true}, WindowSourceKind::assets};
}

Result<std::string_view> openUrl(App& app, const BridgeInvocation& call, std::span<char>) {
    std::string_view url = TRY(decodePayloadString(call.payload, std::span(app.text).first(kUrlPayloadLimit)));
    if (!vostra_studio_open_url(app.workspace, url.data(), url.size())) return fail(Error::InvalidExternalUrl);
    return kOkReply;
}

Result<FileOwner> ownerOf(const BridgeInvocation& call) {
    FileOwner owner;
    owner.windowId = call.windowId;
    if (!owner.label.assign(call.label)) return fail(Error::WebViewLabelTooLarge);
    return owner;
}

bool ownedBy(const FileOwner& owner, const BridgeInvocation& call) {
    return owner.windowId == call.windowId && owner.label == call.label;
}

Result<std::string_view> writeBytesReply(std::span<char> output, std::uint64_t count) {
    BoundedWriter out(output);
    out.write("{\"ok\":true,\"bytes\":");
    out.writeUnsigned(count);
    out.put('}');
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    return out.text();
}

bool isPlainAbsolutePath(std::string_view path) {
    if (!path.starts_with('/')) return false;
    for (char byte : path) {
        if (static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F) return false;
    }
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (part == "." || part == "..") return false;
        start = end + 1;
    }
    return true;
}

}  // namespace kelvo
