#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/types/event_rules.hpp"
#include "platform/types/platform_event.hpp"

namespace kelvo {
namespace {

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
