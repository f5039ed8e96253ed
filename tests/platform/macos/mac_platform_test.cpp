#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "platform/macos/mac_platform.hpp"
#include "support/golden.hpp"
#include "support/stderr_capture.hpp"

namespace kelvo {
namespace {

// A host whose every function answers `gAnswer` (an open dialog: one path of that length) and
// counts its calls.
std::int64_t gAnswer = 0;
std::size_t gCalls = 0;

template <class Fn>
struct Answer;
template <class R, class... A>
struct Answer<R (*)(KelvoAppKitHost*, A...)> {
    static R call(KelvoAppKitHost*, A...) {
        ++gCalls;
        if constexpr (std::is_void_v<R>) {
            return;
        } else if constexpr (std::is_same_v<R, KelvoOpenDialogResult>) {
            return {1, static_cast<std::uint64_t>(gAnswer)};
        } else {
            return static_cast<R>(gAnswer);
        }
    }
};

AppKitFunctions answeringHost() {
    AppKitFunctions host;
#define KELVO_ANSWER(name, R, ...) host.name = &Answer<decltype(host.name)>::call;
    KELVO_APPKIT_FUNCTIONS(KELVO_ANSWER)
#undef KELVO_ANSWER
    return host;
}

template <class R, class... A>
std::string callWithEmptyArguments(R (*slot)(void*, A...), void* services) {
    auto result = slot(services, std::remove_cvref_t<A>{}...);
    if constexpr (detail::IsResult<decltype(result)>::value) {
        return result ? "ok" : std::string(errorName(result.error()));
    } else {
        return "ok";
    }
}

std::string callSlot(const Platform& platform, PlatformSlot slot) {
    switch (slot) {
#define KELVO_CALL_SLOT(index, name, R, ...) \
    case PlatformSlot::name:                 \
        return platform.slots.name ? callWithEmptyArguments(platform.slots.name, platform.services) : "empty";
        KELVO_PLATFORM_SLOTS(KELVO_CALL_SLOT)
#undef KELVO_CALL_SLOT
    }
    return "empty";
}

struct Adapter {
    explicit Adapter(const AppKitFunctions& host = answeringHost()) : functions(host) {
        mac.appkit = &functions;
        mac.app.appName = "Vostra Studio";
        fillMacPlatform(platform, mac);
        gAnswer = 0;
        gCalls = 0;
    }
    AppKitFunctions functions;
    MacPlatform mac;
    Platform platform;
};

TEST(MacPlatformSlots, HostAnswersBecomeErrors) {
    for (const auto& row : testing::readTable("platform/slot_errors.txt")) {
        Adapter adapter;
        adapter.mac.nativeFeaturesDisabled = row[1] == "1";
        gAnswer = std::stoll(row[2]);
        std::optional<PlatformSlot> slot = platformSlotFromName(row[0]);
        ASSERT_TRUE(slot) << row[0];
        EXPECT_EQ(callSlot(adapter.platform, *slot), row[3]) << row[0] << " answer " << row[2];
        EXPECT_EQ(gCalls, std::stoul(row[4])) << row[0];
    }
}

TEST(MacPlatformSlots, AnyNegativeHostWidthIsTheFailedMeasurement) {
    Adapter adapter;
    for (auto [answer, width] : {std::pair{7, 7.0f}, {0, 0.0f}, {-1, -1.0f}, {-3, -1.0f}}) {
        gAnswer = answer;
        EXPECT_EQ(adapter.platform.slots.measureText(adapter.platform.services, 1, 12, "ab"), width) << answer;
    }
    std::array<float, 1> advances{};
    EXPECT_FALSE(adapter.platform.slots.measureTextAdvances(adapter.platform.services, 1, 12, "ab", advances));
    EXPECT_EQ(gCalls, 4u);  // a span shorter than the text never reaches the host
}

TEST(MacPlatformSlots, OnlySlotsTheHostServesAreFilled) {
    Adapter full;
    Adapter real(appkitFunctions());
    for (std::size_t i = 0; i < kPlatformSlotCount; ++i) {
        auto slot = static_cast<PlatformSlot>(i);
        // Slot 15 stays empty.
        bool later = i == 15;
        EXPECT_EQ(slotFilled(full.platform.slots, slot), !later) << platformSlotName(slot);
    }
    EXPECT_TRUE(slotFilled(real.platform.slots, PlatformSlot::createWindow));
    EXPECT_TRUE(slotFilled(real.platform.slots, PlatformSlot::configureSecurityPolicy));
    EXPECT_TRUE(slotFilled(real.platform.slots, PlatformSlot::configureMenus));
    EXPECT_TRUE(slotFilled(real.platform.slots, PlatformSlot::loadWindowWebView));
    EXPECT_TRUE(slotFilled(real.platform.slots, PlatformSlot::completeWebViewBridge));

    // Features are claimed only where the host has their services.
    EXPECT_TRUE(supports(real.platform, PlatformFeature::file_drops));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::app_activation_events));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::main_webview));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::child_webviews));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::tray));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::audio_playback));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::native_views));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::view_surface_adoption));
    EXPECT_TRUE(supports(real.platform, PlatformFeature::gpu_surfaces));
    for (std::size_t f = 0; f < kPlatformFeatureCount; ++f) {
        auto feature = static_cast<PlatformFeature>(f);
        if (feature == PlatformFeature::gpu_surfaces || feature == PlatformFeature::gpu_surface_scroll_drivers ||
            feature == PlatformFeature::native_views || feature == PlatformFeature::native_control_commands ||
            feature == PlatformFeature::view_surface_adoption) {
            continue;  // their slots come later
        }
        EXPECT_TRUE(supports(full.platform, feature)) << platformFeatureName(feature);
        full.mac.nativeFeaturesDisabled = true;
        EXPECT_EQ(supports(full.platform, feature), ((0x97FE3u >> f) & 1u) != 0) << platformFeatureName(feature);
        full.mac.nativeFeaturesDisabled = false;
    }
}

struct RecordedCreate {
    std::string title;
    std::vector<std::pair<double, double>> minimums;
};
RecordedCreate gCreate;

std::int32_t recordCreate(KelvoAppKitHost*, std::uint64_t, const char* title, std::size_t titleLength, const char*,
                          std::size_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, double, double, double,
                          double) {
    gCreate.title.assign(title, titleLength);
    return 1;
}

std::int32_t recordMinimum(KelvoAppKitHost*, std::uint64_t, double width, double height) {
    gCreate.minimums.emplace_back(width, height);
    return 1;
}

TEST(MacPlatformSlots, CreateWindowNamesUntitledWindowsAndSetsTheMinimum) {
    AppKitFunctions host = answeringHost();
    host.create_window = recordCreate;
    host.set_window_content_min_size = recordMinimum;
    Adapter adapter(host);
    gCreate = {};
    WindowConfig config;
    config.id = 3;
    config.label = "tools";
    config.minContentSize = SizeF{std::nanf(""), 300};
    Result<WindowInfo> info = adapter.platform.slots.createWindow(&adapter.mac, config);
    ASSERT_TRUE(info);
    EXPECT_EQ(gCreate.title, "Vostra Studio");
    EXPECT_EQ(info->title, "Vostra Studio");
    EXPECT_EQ(info->scale, 1.0f);
    EXPECT_TRUE(info->open);
    EXPECT_EQ(gCreate.minimums, (std::vector<std::pair<double, double>>{{0, 300}}));

    config.minContentSize = SizeF{0, -5};
    ASSERT_TRUE(adapter.platform.slots.createWindow(&adapter.mac, config));
    EXPECT_EQ(gCreate.minimums.size(), 1u);
}

std::int32_t gHostKind = -1;
std::int32_t recordView(KelvoAppKitHost*, std::uint64_t, const char*, std::size_t, std::int32_t kind, const char*,
                        std::size_t, std::int32_t, std::int32_t, std::int32_t, const char*, std::size_t, const char*,
                        std::size_t, const char*, std::size_t, const char*, std::size_t, double, double, double,
                        double) {
    gHostKind = kind;
    return 1;
}

TEST(MacPlatformSlots, NativeViewsBecomeTheHostsKinds) {
    AppKitFunctions host = answeringHost();
    host.create_view = recordView;
    Adapter adapter(host);
    for (const auto& row : testing::readTable("platform/native_view_kinds.txt")) {
        ViewOptions options;
        options.kind = *viewKindFromName(row[0]);
        gHostKind = -1;
        ASSERT_TRUE(adapter.platform.slots.createView(&adapter.mac, options)) << row[0];
        EXPECT_EQ(gHostKind, std::stoi(row[1])) << row[0];
    }
    // Native views switched off refuse every kind but web views, before the host is asked.
    adapter.mac.nativeFeaturesDisabled = true;
    gCalls = 0;
    ViewOptions button;
    button.kind = ViewKind::button;
    EXPECT_EQ(adapter.platform.slots.createView(&adapter.mac, button).error(), Error::UnsupportedViewKind);
    EXPECT_EQ(gCalls, 0u);
    // An update may not carry a URL, whatever else holds.
    ViewUpdate update;
    update.url = "https://example.org/";
    EXPECT_EQ(adapter.platform.slots.updateView(&adapter.mac, 1, "side", update).error(), Error::InvalidViewOptions);
}

std::vector<double> gDirty;
std::int32_t recordPixels(KelvoAppKitHost*, std::uint64_t, const char*, std::size_t, std::uint32_t, std::uint32_t,
                          double, std::int32_t hasDirty, double x, double y, double width, double height,
                          const std::uint8_t*, std::size_t) {
    gDirty = {static_cast<double>(hasDirty), x, y, width, height};
    return 1;
}

TEST(MacPlatformSlots, DirtyRectanglesWithNegativeExtentsAreTurned) {
    AppKitFunctions host = answeringHost();
    host.present_gpu_surface_pixels = recordPixels;
    Adapter adapter(host);
    GpuSurfacePixels pixels;
    pixels.dirty = RectF{50, 40, -20, -10};
    ASSERT_TRUE(adapter.platform.slots.presentGpuSurfacePixels(&adapter.mac, 1, "canvas", pixels));
    EXPECT_EQ(gDirty, (std::vector<double>{1, 30, 30, 20, 10}));
    pixels.dirty.reset();
    ASSERT_TRUE(adapter.platform.slots.presentGpuSurfacePixels(&adapter.mac, 1, "canvas", pixels));
    EXPECT_EQ(gDirty, (std::vector<double>{0, 0, 0, 0, 0}));
}

// Menus, shortcuts and lists are checked whole before anything reaches the host.
struct RecordedMenus {
    std::uint64_t menus = 0;
    std::vector<std::uint32_t> itemMenus;
    std::vector<std::uint32_t> modifiers;
    std::uint64_t shortcuts = 0;
    std::string origins;
};
RecordedMenus gMenus;

void recordMenus(KelvoAppKitHost*, const char* const*, const std::uint64_t*, std::uint64_t menuCount,
                 const std::uint32_t* itemMenus, const char* const*, const std::uint64_t*, const char* const*,
                 const std::uint64_t*, const char* const*, const std::uint64_t*, const std::uint32_t* modifiers,
                 const std::int32_t*, const std::int32_t*, const std::int32_t*, std::uint64_t itemCount) {
    gMenus.menus = menuCount;
    gMenus.itemMenus.assign(itemMenus, itemMenus + itemCount);
    gMenus.modifiers.assign(modifiers, modifiers + itemCount);
}

void recordShortcuts(KelvoAppKitHost*, const char* const*, const std::uint64_t*, const char* const*,
                     const std::uint64_t*, const std::uint32_t*, std::uint64_t count) {
    gMenus.shortcuts = count;
}

void recordPolicy(KelvoAppKitHost*, const char* origins, std::size_t originsLength, const char*, std::size_t,
                  std::int32_t) {
    gMenus.origins.assign(origins, originsLength);
}

Status menus(Adapter& adapter, std::span<const AppMenu> list) {
    return adapter.platform.slots.configureMenus(&adapter.mac, list);
}

TEST(MacPlatformConfiguration, MenuLimitsAndFlattening) {
    AppKitFunctions host = answeringHost();
    host.set_menus = recordMenus;
    Adapter adapter(host);
    gMenus = {};

    std::vector<AppMenuItem> items(128, AppMenuItem{"Item", "file.item", "", {}, false, true, false});
    std::vector<AppMenu> list(16, AppMenu{"File", {}});
    list[0].items = std::span(items).first(100);
    list[1].items = std::span(items).first(28);
    EXPECT_TRUE(menus(adapter, list));
    EXPECT_EQ(gMenus.itemMenus.size(), 128u);
    EXPECT_EQ(gMenus.itemMenus[99], 0u);
    EXPECT_EQ(gMenus.itemMenus[100], 1u);

    list[2].items = std::span(items).first(1);
    EXPECT_EQ(menus(adapter, list).error(), Error::InvalidMenuOptions);  // 129 items
    list[2].items = {};
    std::vector<AppMenu> seventeen(17, AppMenu{"File", {}});
    EXPECT_EQ(menus(adapter, seventeen).error(), Error::InvalidMenuOptions);

    auto single = [&](AppMenuItem item, std::string_view title = "File") {
        AppMenu menu{title, std::span(&item, 1)};
        return menus(adapter, std::span(&menu, 1));
    };
    const KeyModifiers command{true, true, false, false, false};
    EXPECT_EQ(single({"Open", "file.open", "o", command, false, true, false}, std::string(65, 'm')).error(),
              Error::InvalidMenuOptions);
    EXPECT_EQ(single({"", "file.open", "", {}, false, true, false}).error(), Error::InvalidMenuOptions);
    EXPECT_TRUE(single({"", "", "", {}, true, true, false}));  // separators need no label or command
    EXPECT_EQ(single({"Open", "file/open", "", {}, false, true, false}).error(), Error::InvalidCommand);
    EXPECT_EQ(single({"Open", "..", "", {}, false, true, false}).error(), Error::InvalidCommand);
    EXPECT_EQ(single({"Open", std::string(129, 'c'), "", {}, false, true, false}).error(), Error::InvalidCommand);
    EXPECT_EQ(single({"Open", "file.open", "o", {}, false, true, false}).error(), Error::InvalidShortcut);
    EXPECT_EQ(single({"Open", "file.open", "f13", command, false, true, false}).error(), Error::InvalidShortcut);
    ASSERT_TRUE(single({"Close", "file.close", "escape", {}, false, true, false}));
    ASSERT_TRUE(single({"Open", "file.open", "o", KeyModifiers{false, false, false, false, true}, false, true, false}));
    EXPECT_EQ(gMenus.modifiers, (std::vector<std::uint32_t>{16}));

    gCalls = 0;
    adapter.mac.nativeFeaturesDisabled = true;
    EXPECT_EQ(single({"Open", "..", "", {}, false, true, false}).error(), Error::InvalidCommand);
    EXPECT_EQ(single({"Open", "file.open", "", {}, false, true, false}).error(), Error::UnsupportedService);
}

TEST(MacPlatformConfiguration, ShortcutLimits) {
    AppKitFunctions host = answeringHost();
    host.set_shortcuts = recordShortcuts;
    Adapter adapter(host);
    gMenus = {};
    const KeyModifiers command{true, true, false, false, false};
    std::vector<GlobalShortcut> shortcuts(65, GlobalShortcut{"app.quit", "q", command});
    auto configure = [&](std::span<const GlobalShortcut> list) {
        return adapter.platform.slots.configureShortcuts(&adapter.mac, list);
    };
    EXPECT_EQ(configure(shortcuts).error(), Error::InvalidShortcut);
    EXPECT_EQ(gMenus.shortcuts, 0u);
    ASSERT_TRUE(configure(std::span(shortcuts).first(64)));
    EXPECT_EQ(gMenus.shortcuts, 64u);
    const std::string longId(65, 'i');
    for (GlobalShortcut bad :
         {GlobalShortcut{"a/b", "q", command}, GlobalShortcut{".", "q", command}, GlobalShortcut{longId, "q", command},
          GlobalShortcut{"app.space", "space", {}}, GlobalShortcut{"app.none", "", command}}) {
        EXPECT_EQ(configure(std::span(&bad, 1)).error(), Error::InvalidShortcut) << bad.id << " " << bad.key;
    }
}

TEST(MacPlatformConfiguration, SecurityListsJoinWithinTheirBuffers) {
    AppKitFunctions host = answeringHost();
    host.set_security_policy = recordPolicy;
    Adapter adapter(host);
    gMenus = {};
    std::string long4090(4090, 'o');
    std::vector<std::string_view> origins = {long4090, "vexa:"};
    SecurityPolicy policy;
    policy.origins = origins;
    ASSERT_TRUE(adapter.platform.slots.configureSecurityPolicy(&adapter.mac, policy));
    EXPECT_EQ(gMenus.origins.size(), 4096u);
    EXPECT_EQ(gMenus.origins.substr(4089), "o\nvexa:");

    origins[1] = "vexa:/";
    gCalls = 0;
    EXPECT_EQ(adapter.platform.slots.configureSecurityPolicy(&adapter.mac, policy).error(), Error::NoSpaceLeft);
    policy.origins = {};
    policy.externalLinks = origins;
    EXPECT_EQ(adapter.platform.slots.configureSecurityPolicy(&adapter.mac, policy).error(), Error::NoSpaceLeft);
    EXPECT_EQ(gCalls, 0u);
}

std::string gExtensions;
std::uint64_t recordSaveDialog(KelvoAppKitHost*, const KelvoSaveDialogOptions* options, char*, std::size_t) {
    gExtensions.assign(options->extensions, options->extensionsLength);
    return 0;
}

TEST(MacPlatformConfiguration, DialogExtensionsJoinAcrossFiltersAndStopWhole) {
    AppKitFunctions host = answeringHost();
    host.show_save_dialog = recordSaveDialog;
    Adapter adapter(host);
    std::vector<std::string_view> documents = {"vrs", "txt"};
    std::vector<std::string_view> notes = {"md"};
    std::vector<DialogFileFilter> filters = {{"Documents", documents}, {"Notes", notes}};
    SaveDialogOptions options;
    options.filters = filters;
    std::array<char, 16> path{};
    ASSERT_TRUE(adapter.platform.slots.showSaveDialog(&adapter.mac, options, path));
    EXPECT_EQ(gExtensions, "vrs;txt;md");

    std::vector<std::string_view> many(300, "abc");
    filters = {{"Many", many}};
    ASSERT_TRUE(adapter.platform.slots.showSaveDialog(&adapter.mac, options, path));
    EXPECT_EQ(gExtensions.size(), 256u * 4 - 1);  // 256 whole extensions fit in 1,024 bytes, a 257th would not
    EXPECT_TRUE(gExtensions.ends_with(";abc"));
}

// The host's callback, driven by a host whose run delivers a scripted list of events.
std::vector<KelvoHostEvent> gScript;
std::size_t gStops = 0;

void scriptedRun(KelvoAppKitHost*, KelvoEventCallback callback, void* context) {
    for (const KelvoHostEvent& event : gScript) callback(context, &event);
}
void countStop(KelvoAppKitHost*) { ++gStops; }

struct Delivered {
    std::vector<std::string> kinds;
    std::vector<WindowFrameChangedEvent> frames;
    std::vector<std::string> titles;
    std::vector<std::string> labels;
    std::vector<PlatformEvent> events;
    std::vector<std::vector<std::string>> paths;
    std::optional<PlatformEventKind> failOn;
};

Status recordDelivery(void* context, const PlatformEvent& event) {
    auto& delivered = *static_cast<Delivered*>(context);
    delivered.kinds.emplace_back(platformEventName(event));
    delivered.events.push_back(event);
    if (auto* frame = std::get_if<WindowFrameChangedEvent>(&event)) {
        delivered.labels.emplace_back(frame->label);
        delivered.titles.emplace_back(frame->title);
    }
    if (auto* drop = std::get_if<FilesDroppedEvent>(&event)) {
        delivered.paths.emplace_back(drop->paths.begin(), drop->paths.end());
    }
    if (delivered.failOn == platformEventKind(event)) return fail(Error::ViewNotFound);
    return {};
}

struct ScriptedRun : Adapter {
    ScriptedRun() : Adapter(scriptedHost()) {
        gScript.clear();
        gStops = 0;
    }
    static AppKitFunctions scriptedHost() {
        AppKitFunctions host = answeringHost();
        host.run = scriptedRun;
        host.stop = countStop;
        return host;
    }
    Status run() { return platform.run(platform.context, recordDelivery, &delivered); }
    Delivered delivered;
};

KelvoHostEvent hostEvent(std::uint32_t kind) {
    KelvoHostEvent event;
    event.kind = kind;
    return event;
}

TEST(MacPlatformEvents, EveryHostKindBecomesItsPlatformEvent) {
    ScriptedRun adapter;
    std::vector<std::string> expected;
    for (const auto& row : testing::readTable("platform/host_event_kinds.txt")) {
        gScript.push_back(hostEvent(static_cast<std::uint32_t>(std::stoul(row[0]))));
        if (row[1] != "none") expected.push_back(row[1]);
    }
    ASSERT_TRUE(adapter.run());
    EXPECT_EQ(adapter.delivered.kinds, expected);
}

TEST(MacPlatformEvents, PayloadRules) {
    ScriptedRun adapter;
    KelvoHostEvent drop = hostEvent(10);
    drop.paths = KelvoHostString{"a\0\0b\0c", 6};
    KelvoHostEvent leave = hostEvent(13);
    leave.inputKind = 11;
    KelvoHostEvent move = hostEvent(13);
    move.inputKind = 2;
    KelvoHostEvent unknownInput = hostEvent(13);
    unknownInput.inputKind = -4;
    KelvoHostEvent action = hostEvent(14);
    action.action = 11;
    KelvoHostEvent audio = hostEvent(20);
    audio.audioEvent = 7;
    KelvoHostEvent dark = hostEvent(15);
    dark.darkAppearance = 2;  // only 1 means dark
    dark.reduceMotion = 5;
    KelvoHostEvent resize = hostEvent(3);
    resize.windowId = 2;
    resize.width = 800.5;
    resize.height = 600;
    resize.scale = 2;
    gScript = {drop, leave, move, unknownInput, action, audio, dark, resize};
    ASSERT_TRUE(adapter.run());

    const auto& events = adapter.delivered.events;
    ASSERT_EQ(events.size(), 7u);  // the accessibility action 11 is dropped
    EXPECT_EQ(adapter.delivered.paths[0], (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(std::get<GpuSurfaceInput>(events[1]).kind, GpuSurfaceInputKind::pointer_leave);
    EXPECT_EQ(std::get<GpuSurfaceInput>(events[2]).kind, GpuSurfaceInputKind::pointer_move);
    EXPECT_EQ(std::get<GpuSurfaceInput>(events[3]).kind, GpuSurfaceInputKind::pointer_move);
    EXPECT_EQ(std::get<AudioEvent>(events[4]).kind, AudioEventKind::failed);
    EXPECT_EQ(std::get<AppearanceChangedEvent>(events[5]), (AppearanceChangedEvent{false, true, false}));
    EXPECT_EQ(std::get<SurfaceResizedEvent>(events[6]).width, 800.5f);
    EXPECT_EQ(adapter.mac.lastSurfaceSize.windowId, 2u);
    EXPECT_EQ(adapter.mac.lastSurfaceSize.scale, 2.0f);
}

TEST(MacPlatformEvents, WindowFramesCarryTheWindowsOwnTitle) {
    ScriptedRun adapter;
    std::vector<WindowConfig> windows(2);
    windows[0].title = "Main Title";
    windows[1].id = 5;
    adapter.mac.app.windows = windows;
    adapter.mac.app.mainWindow = windows[0];
    WindowConfig created;
    created.id = 7;
    created.label = "seven";
    created.title = "Seven";
    gAnswer = 1;
    ASSERT_TRUE(adapter.platform.slots.createWindow(&adapter.mac, created));

    auto frame = [](std::uint64_t id, const char* label) {
        KelvoHostEvent event = hostEvent(4);
        event.windowId = id;
        event.windowLabel = hostString(label);
        event.open = 1;
        return event;
    };
    gScript = {frame(1, ""), frame(5, ""), frame(99, ""), frame(7, "seven"), frame(1, "main"), frame(42, "other")};
    ASSERT_TRUE(adapter.run());
    EXPECT_EQ(adapter.delivered.labels, (std::vector<std::string>{"main", "window", "", "seven", "main", "other"}));
    EXPECT_EQ(adapter.delivered.titles,
              (std::vector<std::string>{"Main Title", "Main Title", "Main Title", "Seven", "Main Title", ""}));
    WindowDescription unknown = windowById(adapter.mac, 99);
    EXPECT_EQ(unknown.options.frame, (RectF{0, 0, 720, 480}));
    EXPECT_FALSE(unknown.configured);
}

TEST(MacPlatformEvents, HandlerFailureStopsTheHostAndFailsTheRun) {
    ScriptedRun adapter;
    adapter.delivered.failOn = PlatformEventKind::frame_requested;
    gScript = {hostEvent(0), hostEvent(1)};
    ScopedStderrCapture captured;
    Status ran = adapter.run();
    ASSERT_FALSE(ran);
    EXPECT_EQ(ran.error(), Error::CallbackFailed);
    EXPECT_EQ(captured.text(), "platform callback failed: ViewNotFound (event frame_requested)\n");
    EXPECT_EQ(gStops, 1u);

    // Bridge and status-item callbacks join the same road.
    RunState state{&adapter.mac, recordDelivery, &adapter.delivered, false};
    adapter.delivered.kinds.clear();
    appkitBridgeCallback(&state, 1, "main", 4, "{}", 2, "vexa://app", 10);
    appkitTrayCallback(&state, 3);
    EXPECT_EQ(adapter.delivered.kinds, (std::vector<std::string>{"bridge_message", "tray_action"}));
    RunState empty{&adapter.mac, recordDelivery, nullptr, false};
    appkitTrayCallback(&empty, 3);
    EXPECT_EQ(adapter.delivered.kinds.size(), 2u);
}

}  // namespace
}  // namespace kelvo
