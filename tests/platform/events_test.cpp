#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/types/event_rules.hpp"
#include "platform/types/platform_event.hpp"
#include "platform/types/runtime_event.hpp"

namespace kelvo {
namespace {

TEST(PlatformEventNames, TagOrderAndNames) {
    const std::vector<std::string_view> names = {
        "app_start",
        "app_activated",
        "app_deactivated",
        "appearance_changed",
        "frame_requested",
        "app_shutdown",
        "surface_resized",
        "window_frame_changed",
        "window_focused",
        "bridge_message",
        "tray_action",
        "shortcut",
        "native_command",
        "menu_command",
        "timer",
        "wake",
        "files_dropped",
        "gpu_surface_frame",
        "gpu_surface_resized",
        "gpu_surface_input",
        "gpu_surface_scroll_driver",
        "context_menu_action",
        "widget_accessibility_action",
        "audio",
    };
    ASSERT_EQ(names.size(), kPlatformEventKindCount);
    for (std::size_t tag = 0; tag < names.size(); ++tag) {
        auto kind = platformEventKindFromTag(tag);
        ASSERT_TRUE(kind);
        EXPECT_EQ(platformEventKindName(*kind), names[tag]);
        EXPECT_EQ(platformEventKindFromName(names[tag]), *kind);
    }
    EXPECT_EQ(platformEventKindFromTag(24).error(), Error::InvalidEventKind);
    EXPECT_EQ(platformEventKindFromTag(31).error(), Error::InvalidEventKind);
    EXPECT_EQ(platformEventKindName(static_cast<PlatformEventKind>(24)), "");
    EXPECT_FALSE(platformEventKindFromName("App_Start").has_value());
}

TEST(PlatformEventNames, EventsKnowTheirKind) {
    EXPECT_EQ(platformEventName(PlatformEvent{}), "app_start");
    EXPECT_EQ(platformEventName(TimerEvent{3, 4}), "timer");
    EXPECT_EQ(platformEventName(BridgeMessage{"{}", "vexa://app", 1, "main"}), "bridge_message");
    PlatformEvent audio = AudioEvent{};
    EXPECT_EQ(platformEventKind(audio), PlatformEventKind::audio);
    EXPECT_EQ(audio.index(), 23u);
}

TEST(PlatformEvents, DroppedFilesCompareByContent) {
    std::string first = "/tmp/a";
    std::vector<std::string_view> a = {first, "/tmp/b"};
    std::vector<std::string_view> b = {"/tmp/a", "/tmp/b"};
    FilesDroppedEvent left{1, "", a, 0, 0, false};
    FilesDroppedEvent right{1, "", b, 0, 0, false};
    EXPECT_EQ(left, right);
    right.paths = std::span(b).first(1);
    EXPECT_NE(left, right);
}

TEST(RuntimeEventTable, NamesScopesAndDirtyFlags) {
    struct Row {
        std::string_view name;
        std::string_view scope;
        bool dirty;
    };
    const std::vector<Row> rows = {
        {"lifecycle", "lifecycle", false},
        {"appearance_changed", "appearance_changed", true},
        {"command", "command", true},
        {"shortcut", "shortcut", true},
        {"timer", "timer", false},
        {"effects_wake", "effects_wake", false},
        {"audio", "audio", false},
        {"files_dropped", "files_dropped", false},
        {"gpu_surface_frame", "gpu_surface_frame", false},
        {"gpu_surface_resized", "gpu_surface_resized", false},
        {"gpu_surface_input", "gpu_surface_input", false},
        {"canvas_widget_pointer", "canvas_widget_pointer", false},
        {"canvas_widget_keyboard", "canvas_widget_keyboard", false},
        {"canvas_widget_scroll", "canvas_widget_scroll", false},
        {"canvas_widget_file_drop", "canvas_widget_file_drop", false},
        {"canvas_widget_drag", "canvas_widget_drag", false},
        {"canvas_widget_context_menu", "canvas_widget_context_menu", true},
        {"canvas_widget_context_menu_request", "canvas_widget_context_menu_request", true},
        {"canvas_widget_dismiss", "canvas_widget_dismiss", false},
        {"canvas_widget_context_press", "canvas_widget_context_press", false},
        {"canvas_widget_resize", "canvas_widget_resize", false},
        {"canvas_widget_change", "canvas_widget_change", false},
        {"window_closed", "window_closed", true},
        {"automation_provenance", "automation_provenance", false},
    };
    ASSERT_EQ(rows.size(), kRuntimeEventKindCount);
    for (std::size_t tag = 0; tag < rows.size(); ++tag) {
        auto kind = runtimeEventKindFromTag(tag);
        ASSERT_TRUE(kind);
        EXPECT_EQ(runtimeEventKindName(*kind), rows[tag].name);
        EXPECT_EQ(runtimeEventErrorScope(*kind), rows[tag].scope);
        EXPECT_EQ(runtimeEventSetsDirty(*kind), rows[tag].dirty) << rows[tag].name;
    }
    auto outside = static_cast<RuntimeEventKind>(24);
    EXPECT_EQ(runtimeEventKindFromTag(24).error(), Error::InvalidEventKind);
    EXPECT_EQ(runtimeEventKindName(outside), "");
    EXPECT_EQ(runtimeEventErrorScope(outside), "");
    EXPECT_FALSE(runtimeEventSetsDirty(outside));
}

TEST(RuntimeEventTable, TraceNames) {
    const std::vector<std::pair<LifecycleStep, std::string_view>> steps = {
        {LifecycleStep::start, "start"},
        {LifecycleStep::activate, "activate"},
        {LifecycleStep::deactivate, "deactivate"},
        {LifecycleStep::frame, "frame"},
        {LifecycleStep::stop, "stop"},
    };
    for (auto [step, name] : steps) EXPECT_EQ(runtimeEventTraceName(LifecycleEvent{step}), name);
    EXPECT_EQ(runtimeEventTraceName(LifecycleEvent{static_cast<LifecycleStep>(9)}), "lifecycle");
    EXPECT_EQ(runtimeEventTraceName(CommandEvent{"file.save", 1, "", 0, CommandSource::menu}), "file.save");
    EXPECT_EQ(runtimeEventTraceName(WindowClosedEvent{2, "tools"}), "window_closed");
    EXPECT_EQ(runtimeEventTraceName(AudioEvent{}), "audio");
}

TEST(EventRules, AudioKindsAndAccessibilityActions) {
    EXPECT_EQ(audioEventKindFromHost(0), AudioEventKind::loaded);
    EXPECT_EQ(audioEventKindFromHost(4), AudioEventKind::spectrum);
    EXPECT_EQ(audioEventKindFromHost(5), AudioEventKind::failed);
    EXPECT_EQ(audioEventKindFromHost(7), AudioEventKind::failed);
    EXPECT_EQ(audioEventKindFromHost(9), AudioEventKind::failed);
    EXPECT_EQ(audioEventKindFromHost(-1), AudioEventKind::failed);

    EXPECT_EQ(accessibilityActionFromHost(0), 0u);
    EXPECT_EQ(accessibilityActionFromHost(10), 10u);
    EXPECT_FALSE(accessibilityActionFromHost(11).has_value());
    EXPECT_FALSE(accessibilityActionFromHost(-1).has_value());
}

TEST(EventRules, HostInputKinds) {
    using K = GpuSurfaceInputKind;
    const std::vector<K> expected = {
        K::pointer_down,       K::pointer_up,   K::pointer_move, K::pointer_drag,       K::wheel,
        K::key_down,           K::key_up,       K::text_insert,  K::composition_update, K::composition_commit,
        K::composition_cancel, K::pointer_leave};
    for (std::size_t host = 0; host < expected.size(); ++host) {
        EXPECT_EQ(gpuSurfaceInputKindFromHost(static_cast<std::int64_t>(host)), expected[host]) << host;
    }
    EXPECT_EQ(gpuSurfaceInputKindFromHost(12), K::pointer_move);
    EXPECT_EQ(gpuSurfaceInputKindFromHost(-3), K::pointer_move);
}

std::vector<std::string> split(std::string_view buffer, std::size_t room = kMaxDroppedPaths) {
    std::vector<std::string_view> out(room);
    std::size_t count = splitDroppedPaths(buffer, out);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(count)};
}

TEST(EventRules, DroppedPathBuffer) {
    using V = std::vector<std::string>;
    EXPECT_EQ(split(std::string_view("a\0\0b\0", 5)), (V{"a", "b"}));
    EXPECT_EQ(split(std::string_view("a\0\0b", 4)), (V{"a", "b"}));
    EXPECT_EQ(split(std::string_view("\0\0", 2)), V{});
    EXPECT_EQ(split(""), V{});
    EXPECT_EQ(split("/only"), V{"/only"});
    EXPECT_EQ(split(std::string_view("a\0b\0c", 5), 2), (V{"a", "b"}));

    std::string many;
    for (int i = 0; i < 4100; ++i) {
        many.append("p");
        many.append(std::to_string(i));
        many.push_back('\0');
    }
    auto paths = split(many, 5000);
    ASSERT_EQ(paths.size(), 4097u);
    EXPECT_EQ(paths.back(), "p4096");
}

}  // namespace
}  // namespace kelvo
