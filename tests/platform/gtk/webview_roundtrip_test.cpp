// A real page in a real web view (label "gtk"): bridge round trips into this application's
// runtime, the asset scheme's refusals, messages without the page token, a page event, and a
// snapshot that shows the page.

#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "gtk_host_fixture.hpp"
#include "support/app_on_host.hpp"
#include "support/stderr_capture.hpp"
#include "support/temp_folder.hpp"
#include "web_page.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

constexpr int kResizeWidth = 900;

// The number of distinct colours in the visible part of the web view.
void countSnapshotColours(WebKitWebView* view, std::function<void(std::size_t)> then) {
    auto* done = new std::function<void(std::size_t)>(std::move(then));
    webkit_web_view_get_snapshot(
        view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::function<void(std::size_t)>> then(
                static_cast<std::function<void(std::size_t)>*>(data));
            cairo_surface_t* surface = webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
            std::set<std::uint32_t> colours;
            if (surface != nullptr) {
                cairo_surface_flush(surface);
                const unsigned char* pixels = cairo_image_surface_get_data(surface);
                int stride = cairo_image_surface_get_stride(surface);
                for (int y = 0; y < cairo_image_surface_get_height(surface); ++y) {
                    const auto* row = reinterpret_cast<const std::uint32_t*>(pixels + y * stride);
                    for (int x = 0; x < cairo_image_surface_get_width(surface); ++x) colours.insert(row[x]);
                }
                cairo_surface_destroy(surface);
            }
            (*then)(colours.size());
        },
        done);
}

using GtkWebView = testing::GtkHostFixture;

TEST_F(GtkWebView, APageCompletesRoundTripsAndIsRefusedWhatItMustNotHave) {
    testing::TempFolder place;
    const fs::path root = place.path("root");
    const fs::path documents = place.path("documents");
    fs::create_directories(root);
    fs::create_directories(documents);
    for (const char* name : {"index.html", "frame.html", "roundtrip.js"}) {
        fs::copy_file(fs::path(KELVO_TEST_DATA_DIR) / "platform/gtk_page" / name, root / name);
    }
    fs::copy_file(fs::path(KELVO_FRONTEND_DIR) / "document.js", root / "document.js");
    const std::string secret = "secret-7f3a";
    std::ofstream(place.path("secret.txt")) << secret;
    fs::create_symlink(place.path("secret.txt"), root / "leak.txt");
    const std::string document = (documents / "notes.vrs").string();
    const std::string intruder = (documents / "intruder.vrs").string();
    std::ofstream(root / "config.json") << R"({"document":")" << document << R"(","intruder":")" << intruder
                                        << R"(","secret":")" << secret << R"(","resizeWidth":)" << kResizeWidth << "}";

    testing::AppOnHost app(host, root.string());
    ScopedStderrCapture errors;
    bool resized = false;
    std::string results;
    std::size_t colours = 0;
    int polls = 0;
    every(50, [&] {
        WebKitWebView* view = mainWebView();
        if (view == nullptr || ++polls > 400) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (!results.empty()) {
            countSnapshotColours(view, [&](std::size_t counted) {
                colours = counted;
                kelvo_appkit_stop(host);
            });
            return false;
        }
        // The findings once the page has them, else what it is waiting for.
        evaluate(view, "window.__results || window.__state || ''", [&](const std::string& answer) {
            std::string_view said = answer;
            if (said.starts_with('[')) results = answer;
            if (said == "resize-wanted" && !resized) {
                resized = true;
                GtkWidget* window = gtk_widget_get_toplevel(GTK_WIDGET(mainWebView()));
                gtk_window_resize(GTK_WINDOW(window), kResizeWidth, 640);
            }
        });
        return true;
    });
    ASSERT_TRUE(app.run());

    ASSERT_FALSE(results.empty()) << "the page did not finish";
    EXPECT_EQ(results, "[]");
    EXPECT_GT(colours, 2u);
    std::ifstream saved(document, std::ios::binary);
    EXPECT_GT(std::string(std::istreambuf_iterator<char>(saved), {}).size(), 200'000u);
    // Neither the page itself around window.vexa nor its frames got a message through.
    for (const auto& entry : fs::directory_iterator(documents)) EXPECT_EQ(entry.path().filename(), "notes.vrs");
    const std::string refused = "kelvo: bridge message refused (no page token) window=1 label=main\n";
    EXPECT_EQ(errors.text(), refused + refused + refused);
}

// The desktop's handler for https links is a script of the test's own, registered in XDG folders of
// the test's own before GTK starts.
class GtkLinks : public GtkWebView {
protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", place.path("data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", place.path("config").c_str(), 1);
        GtkWebView::SetUp();
    }

    testing::TempFolder place;
};

TEST_F(GtkLinks, AnAllowedLinkOpensOnTheDesktopAndTheRefusedOneNowhere) {
    if (place.path("data") != g_get_user_data_dir()) GTEST_SKIP() << "GLib read its folders earlier: run through ctest";
    fs::create_directories(place.path("data/applications"));
    fs::create_directories(place.path("config"));
    const std::string opened = place.path("opened.txt");
    const std::string recorder = place.path("record.sh");
    std::ofstream(recorder) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> " << opened << "\n";
    fs::permissions(recorder, fs::perms::owner_all);
    std::ofstream(place.path("data/applications/kelvo-recorder.desktop"))
        << "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" << recorder
        << " %u\nMimeType=x-scheme-handler/https;\nNoDisplay=true\n";
    std::ofstream(place.path("config/mimeapps.list"))
        << "[Default Applications]\nx-scheme-handler/https=kelvo-recorder.desktop\n";

    const std::string_view external = "https://docs.example/*";
    kelvo_appkit_set_security_policy(host, nullptr, 0, external.data(), external.size(), 1);
    const std::string page =
        "<a id='other' href='https://other.example/'>other</a><a id='docs' href='https://docs.example/guide'>docs</a>"
        "<script>document.getElementById('other').click();document.getElementById('docs').click();</script>";
    kelvo_appkit_load_window_webview(host, 1, page.data(), page.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    const auto recorded = [&] {
        std::ifstream lines(opened);
        return std::string(std::istreambuf_iterator<char>(lines), {});
    };
    when(
        "the allowed link to open", [&] { return recorded().ends_with('\n'); }, [&] { kelvo_appkit_stop(host); });
    kelvo_appkit_run(
        host, [](void*, const KelvoHostEvent*) {}, nullptr);

    EXPECT_EQ(recorded(), "https://docs.example/guide\n");
    // The page stayed where it was.
    EXPECT_EQ(evaluateNow(mainWebView(), "location.href"), "about:blank");
}

}  // namespace
}  // namespace kelvo
