// Font ids, registered and application fonts, text widths and per-byte advances, and packet text
// drawn with the same fonts.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/posix_io.hpp"
#include "canvas_fixture.hpp"
#include "platform/macos/canvas/app_fonts.hpp"
#include "platform/macos/canvas/text_measure.hpp"
#include "text/text_metrics.hpp"

namespace kelvo::testing {
namespace {

std::span<const std::uint8_t> monoBytes() { return geistMonoFace().data; }
std::span<const std::uint8_t> regularBytes() { return geistRegularFace().data; }

double widthOf(FontRegistry& registry, std::uint64_t id, std::string_view text) {
    return measureCanvasText(registry, id, text, 12);
}

TEST(CanvasFonts, RegisteredFontsWinOverTheIdsMeaning) {
    FontRegistry registry;
    // Without faces of their own, bold is wider than regular and italic as wide.
    EXPECT_NEAR(widthOf(registry, kFontBold, "Hello"), widthOf(registry, kFontRegular, "Hello") * 1.04, 1e-3);
    EXPECT_EQ(widthOf(registry, kFontItalic, "Hello"), widthOf(registry, kFontRegular, "Hello"));
    EXPECT_EQ(canvasFontForId(registry, kFontItalic).obliqueShear, 0.2f);
    EXPECT_EQ(canvasFontForId(registry, kFontBoldItalic).obliqueShear, 0.2f);

    ASSERT_TRUE(registerCanvasFont(registry, kFontBold, monoBytes()));
    EXPECT_EQ(widthOf(registry, kFontBold, "iii"), widthOf(registry, kFontMonospace, "iii"));
    EXPECT_EQ(canvasFontForId(registry, kFontBold).obliqueShear, 0.0f);

    // Refused registrations change nothing.
    const std::vector<std::uint8_t> notTrueType = {'w', 'O', 'F', 'F', 0, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(registerCanvasFont(registry, 9, notTrueType));
    EXPECT_FALSE(registerCanvasFont(registry, 0, monoBytes()));
    EXPECT_FALSE(registerCanvasFont(registry, 9, {}));
    EXPECT_EQ(widthOf(registry, 9, "iii"), widthOf(registry, kFontRegular, "iii"));
}

TEST(CanvasFonts, ReRegisteringAnIdForgetsItsMeasuredWidths) {
    FontRegistry registry;
    ASSERT_TRUE(registerCanvasFont(registry, 7, regularBytes()));
    const double regular = widthOf(registry, 7, "iii");
    ASSERT_TRUE(registerCanvasFont(registry, 7, monoBytes()));
    EXPECT_EQ(widthOf(registry, 7, "iii"), widthOf(registry, kFontMonospace, "iii"));
    EXPECT_NE(widthOf(registry, 7, "iii"), regular);
}

TEST(CanvasFonts, TextWidthsFollowTheTextRules) {
    FontRegistry registry;
    EXPECT_EQ(measureCanvasText(registry, 1, "", 12), 0);
    EXPECT_EQ(measureCanvasText(registry, 1, "ab\xC3", 12), -1);
    EXPECT_EQ(measureCanvasText(registry, 1, "\xED\xA0\x80", 12), -1);  // a lone surrogate
    // Sizes below 1 measure at 1; a size that is not a number at the default 12.
    EXPECT_EQ(measureCanvasText(registry, 1, "ab", 0.25), measureCanvasText(registry, 1, "ab", 1));
    EXPECT_EQ(measureCanvasText(registry, 1, "ab", std::nan("")), measureCanvasText(registry, 1, "ab", 12));
    EXPECT_NEAR(measureCanvasText(registry, 1, "ab", 24), 2 * measureCanvasText(registry, 1, "ab", 12), 1e-4);
    EXPECT_EQ(measureCanvasText(registry, 1, "ab", 1e38), -1);  // wider than a float
}

TEST(CanvasFonts, TheWidthCacheIsBoundedByItsTextBytes) {
    FontRegistry registry;
    std::string text(100 * 1024, 'a');
    for (int i = 0; i < 50; ++i) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%07d", i);
        text.replace(0, 7, prefix, 7);
        ASSERT_GT(measureCanvasText(registry, 1, text, 12), 0);
    }
    const TextWidthCache& cache = registry.widths;
    EXPECT_LE(cache.newer.bytes + cache.older.bytes, kTextWidthCacheBytes);
    EXPECT_GT(cache.newer.bytes + cache.older.bytes, kTextWidthCacheBytes / 4);
    for (int i = 0; i < 20000; ++i) (void)measureCanvasText(registry, 1, std::to_string(i), 12);
    EXPECT_LE(cache.newer.widths.size() + cache.older.widths.size(), kTextWidthCacheEntries);
}

TEST(CanvasFonts, AdvancesPutEachCharactersWidthOnItsFirstByte) {
    FontRegistry registry;
    for (const std::string& line : readLines("canvas/text_advances.txt")) {
        const std::string text = line.substr(0, line.find('\t'));
        const std::string pattern = line.substr(line.find('\t') + 1);
        SCOPED_TRACE(text);
        ASSERT_EQ(pattern.size(), text.size());
        std::vector<float> advances(text.size(), -1.0f);
        ASSERT_TRUE(measureCanvasTextAdvances(registry, kFontBold, text, 12, advances));
        double sum = 0;
        for (std::size_t at = 0; at < text.size(); ++at) {
            sum += advances[at];
            if (pattern[at] == '0') {
                EXPECT_EQ(advances[at], 0.0f) << at;
                continue;
            }
            std::size_t length = 1;
            while (at + length < text.size() && pattern[at + length] == '0') ++length;
            EXPECT_FLOAT_EQ(advances[at], measureCanvasText(registry, kFontBold, text.substr(at, length), 12)) << at;
        }
        EXPECT_NEAR(sum, measureCanvasText(registry, kFontBold, text, 12), 1e-3);
    }
    std::vector<float> advances(4);
    EXPECT_FALSE(measureCanvasTextAdvances(registry, 1, "a\xF0\x9F", 12, advances));
    EXPECT_FALSE(measureCanvasTextAdvances(registry, 1, "", 12, advances));
    EXPECT_FALSE(measureCanvasTextAdvances(registry, 1, "abcde", 12, advances));
}

TEST(CanvasFontThreads, MeasuringRacesRegistration) {
    FontRegistry registry;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&registry, t] {
            for (int i = 0; i < 200; ++i) {
                std::string text = std::to_string(t * 1000 + i % 50);
                EXPECT_GT(measureCanvasText(registry, 7, text, 12), 0);
                EXPECT_GT(canvasFontAdvance(canvasFontForId(registry, 7), 'W', 12), 0);
            }
        });
    }
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(registerCanvasFont(registry, 7, i % 2 ? monoBytes() : regularBytes()));
    for (std::thread& thread : threads) thread.join();
}

// A folder tree under the system's temporary folder, removed afterwards.
struct FontFolder {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("kelvo-app-fonts-" + std::to_string(getpid()));
    FontFolder() { std::filesystem::create_directories(root); }
    ~FontFolder() { std::filesystem::remove_all(root); }
    void write(const std::string& name, std::span<const std::uint8_t> bytes) const {
        std::filesystem::create_directories((root / name).parent_path());
        std::ofstream(root / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

TEST(CanvasFonts, ApplicationFontsAreFoundByTheirNames) {
    FontFolder folder;
    const std::vector<std::uint8_t> junk(64, 7);
    folder.write("fonts/sans/Sans.TTF", regularBytes());
    folder.write("assets/fonts/Mono.woff2", monoBytes());  // a TrueType face whatever its name says
    folder.write("fonts/.hidden/Other.ttf", monoBytes());
    folder.write("fonts/Broken.otf", junk);
    folder.write("fonts/notes.txt", regularBytes());
    std::filesystem::create_directory_symlink(folder.root / "fonts", folder.root / "fonts/sans/loop");

    FontRegistry registry;
    EXPECT_EQ(addApplicationFonts(registry, posixIo(), folder.root.string()), 2u);
    EXPECT_TRUE(registry.named.contains("Geist"));
    EXPECT_TRUE(registry.named.contains("Geist Mono"));
    EXPECT_NE(canvasFontForId(registry, kFontRegular).file, nullptr);
    EXPECT_NE(canvasFontForId(registry, kFontMonospace).file, nullptr);
    EXPECT_EQ(canvasFontForId(registry, kFontRegular).file, canvasFontForId(registry, kFontItalic).file);

    FontRegistry empty;
    EXPECT_EQ(addApplicationFonts(empty, posixIo(), (folder.root / "fonts/sans").string()), 0u);
}

// "Wi" drawn by a draw_text command with the given font id.
Buffer drawnText(std::uint64_t font) {
    char command[256];
    std::snprintf(
        command, sizeof command,
        R"({"kind":"draw_text","bounds":[0,0,64,32],"opacity":1,"text":{"size":20,"font":%llu,"origin":[4,24],"color":[0,0,0,1],"text":"Wi"}})",
        static_cast<unsigned long long>(font));
    Scene scene = jsonScene(std::string(R"({"loadAction":"clear","commands":[)") + command + "]}");
    PacketTraceCounters counters;
    PacketDrawEnvironment environment;
    environment.counters = &counters;
    environment.images = &scene.images;
    PacketFrameDraw frame;
    frame.commands = scene.commands;
    Buffer buffer(64, 32);
    EXPECT_EQ(drawPacketCommands(frame, buffer.pixels(), environment), 1);
    return buffer;
}

TEST(CanvasFonts, PacketTextIsDrawnWithTheIdsFont) {
    const Buffer regular = drawnText(kFontRegular);
    EXPECT_EQ(maxChannelDelta(regular, drawnText(99)), 0);
    EXPECT_GT(maxChannelDelta(regular, drawnText(kFontItalic)), 100);  // slanted
    ASSERT_TRUE(registerCanvasFont(processFontRegistry(), 99, monoBytes()));
    EXPECT_EQ(maxChannelDelta(drawnText(99), drawnText(kFontMonospace)), 0);
    EXPECT_GT(maxChannelDelta(drawnText(99), regular), 100);
}

}  // namespace
}  // namespace kelvo::testing
