// A screen reader in another process reads and edits the widget gallery over the accessibility
// bus, on a real canvas view of a real window (label "gtk"). A second canvas view, "cells", holds
// a small grid and a virtual list (the gallery's lie beyond the elements a view publishes) and a
// stepper: a widget whose number increment and decrement step.

#include <glib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canvas_gallery_window.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "screen_reader.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kCellsTree =
    "column id=200 rect=0,0,300,150\n"
    "  data_grid id=201 rect=0,0,300,60\n"
    "    data_row id=202 rect=0,0,300,30\n"
    "      data_cell id=203 rect=0,0,150,30 text=\"Name\" actions=focus\n"
    "      data_cell id=204 rect=150,0,150,30 text=\"Size\" actions=focus\n"
    "    data_row id=205 rect=0,30,300,30\n"
    "      data_cell id=206 rect=0,30,150,30 text=\"a.vrs\" actions=focus\n"
    "      data_cell id=207 rect=150,30,150,30 text=\"12 KB\" actions=focus\n"
    "  virtual_list id=208 rect=0,60,300,60 virtual_count=50 item_extent=30 scrollable=1 clips=1\n"
    "    list_item id=209 rect=0,60,300,30 text=\"Row 1\" actions=select\n"
    "    list_item id=210 rect=0,90,300,30 text=\"Row 2\" actions=select\n"
    "  row id=211 rect=0,120,300,30 label=\"Copies\" semantic_value=2.5 actions=focus,increment,decrement\n";

// Where the gallery's second text field and its text area lie in the view.
struct Box {
    int x, y, width, height;
};
constexpr Box kField{232, 148, 200, 32};
constexpr Box kArea{448, 148, 240, 64};

std::string_view canvasLabelOf(const RuntimeEvent& event) {
    if (const auto* resized = std::get_if<GpuSurfaceResizedEvent>(&event)) return resized->label;
    if (const auto* frame = std::get_if<GpuSurfaceFrame>(&event)) return frame->label;
    return {};
}

// The critical messages any library of this process logs while it lives (an argument check
// that failed, such as a missing range the accessibility bridge read); every message still goes
// to the default handler.
class CriticalLog {
public:
    CriticalLog() { previous_ = g_log_set_default_handler(&CriticalLog::handle, this); }
    ~CriticalLog() { g_log_set_default_handler(previous_, nullptr); }
    CriticalLog(const CriticalLog&) = delete;
    CriticalLog& operator=(const CriticalLog&) = delete;

    std::vector<std::string> messages;

private:
    static void handle(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer self) {
        if ((level & G_LOG_LEVEL_CRITICAL) != 0) {
            static_cast<CriticalLog*>(self)->messages.push_back(std::string(domain != nullptr ? domain : "") +
                                                                "-CRITICAL " + message);
        }
        g_log_default_handler(domain, level, message, nullptr);
    }

    GLogFunc previous_ = nullptr;
};

class GtkSerialCanvasReader : public GtkSerialCanvasGallery {
protected:
    // Opens "cells" once the gallery shows (`shown` runs then), runs the reader script of the
    // test data once both views published their elements, and ends when the reader is done (or
    // after five minutes: a sanitizer build answers the reader slowly while it draws, taking two
    // minutes on a machine with little else to do).
    void readWith(const char* script, std::function<void()> shown = {}) {
        const auto galleryHook = app->onEvent;
        app->onEvent = [this, galleryHook](Runtime& runtime, const RuntimeEvent& event) {
            if (canvasLabelOf(event) != "cells") return galleryHook(runtime, event);
            if (cellsInstalled || !std::holds_alternative<GpuSurfaceResizedEvent>(event)) return;
            cellsInstalled = true;
            ASSERT_TRUE(installCanvasWidgetTreeText(runtime, *findViewIndex(runtime, 1, "cells"), kCellsTree));
        };
        bool cellsAsked = false;
        int polls = 0;
        every(100, [&] {
            if (++polls > 3000 || reader.done) {
                kelvo_appkit_stop(host);
                return false;
            }
            if (!cellsAsked && galleryShown()) {
                if (shown) shown();
                evaluate(mainWebView(),
                         "window.vexa.views.create({ label: 'cells', kind: 'gpuSurface', x: 960, y: 640, width: 300, "
                         "height: 150 }); 1",
                         [](const std::string&) {});
                cellsAsked = true;
            }
            HostCanvasView* cells = findCanvasView(*host, 1, "cells");
            if (reader.pid == 0 && cells != nullptr && canvasAccessOf(*cells).accessibility.count > 0) {
                reader.run(script, out);
            }
            return true;
        });
        ASSERT_TRUE(app->run());
        ASSERT_TRUE(reader.done) << "the reader did not finish";
        EXPECT_EQ(reader.status, 0);
    }

    std::string written() const {
        gchar* text = nullptr;
        if (!g_file_get_contents(out.c_str(), &text, nullptr, nullptr)) return {};
        std::string copy = text;
        g_free(text);
        return copy;
    }

    const WidgetLayoutNode& node(std::uint64_t widgetId) const {
        const Runtime& runtime = *app->runtime;
        const std::size_t view = *findViewIndex(runtime, 1, "gallery");
        return canvasSlotOf(runtime.canvasSlots, runtime.views[view])
            ->tree.nodes[*canvasWidgetNodeIndex(runtime, view, widgetId)];
    }

    std::vector<std::uint8_t> drawn(Box box) {
        return drawnRect(*findCanvasView(*host, 1, "gallery"), box.x, box.y, box.width, box.height);
    }

    // How many pixels of the box the window shows otherwise than the surface drew them.
    std::size_t differingOnScreen(Box box) {
        int width = 0;
        int height = 0;
        const std::vector<std::uint8_t> screen = screenPixels(named("gallery"), width, height);
        const std::vector<std::uint8_t> surface = drawn(box);
        if (width != 1280) return SIZE_MAX;
        std::size_t differing = 0;
        for (int y = 0; y < box.height; ++y) {
            for (int x = 0; x < box.width; ++x) {
                const std::size_t onScreen = (static_cast<std::size_t>(box.y + y) * width + box.x + x) * 3;
                const std::size_t onSurface = (static_cast<std::size_t>(y) * box.width + x) * 4;
                differing += std::equal(&screen[onScreen], &screen[onScreen] + 3, &surface[onSurface]) ? 0 : 1;
            }
        }
        return differing;
    }

    const std::string out = place.path("reader.txt");
    ScreenReader reader;
    bool cellsInstalled = false;
};

// Runs of rows of the box (6 points inside its edges, past border and focus ring) that hold ink:
// a pixel much darker than the box's first inner pixel. One run for each line of text drawn.
int inkedRowRuns(const std::vector<std::uint8_t>& rgba, Box box) {
    const auto sum = [&](int x, int y) {
        const std::size_t at = (static_cast<std::size_t>(y) * box.width + x) * 4;
        return rgba[at] + rgba[at + 1] + rgba[at + 2];
    };
    const int background = sum(6, 6);
    int runs = 0;
    bool inRun = false;
    for (int y = 6; y < box.height - 6; ++y) {
        bool inked = false;
        for (int x = 6; x < box.width - 6 && !inked; ++x) inked = sum(x, y) < background - 200;
        runs += inked && !inRun ? 1 : 0;
        inRun = inked;
    }
    return runs;
}

// The reader reads the fields (text, characters, caret, selection, the character under a point,
// the placeholder), sets a field's text and selections, sets a text area's text to two lines and
// edits it, and its refused edits change nothing; it reads where grid cells and a list item
// stand. The view shows the new texts.
TEST_F(GtkSerialCanvasReader, AReaderReadsAndEditsTextFieldsAndAreasAndFindsCellsPlaces) {
    std::vector<std::uint8_t> fieldBefore;
    std::vector<std::uint8_t> areaBefore;
    readWith("edit_canvas_text.py", [&] {
        fieldBefore = drawn(kField);
        areaBefore = drawn(kArea);
    });
    testing::expectGolden("platform/canvas_text_over_the_bus.txt", written());

    // The runtime edited its widgets: the new texts, and selections in bytes of the texts.
    EXPECT_EQ(node(43).text, "Zoë 👍 typed");
    ASSERT_TRUE(node(43).selection);
    EXPECT_EQ(node(43).selection->start, 5u);
    EXPECT_EQ(node(43).selection->end, 10u);
    // The refused edits left the texts as they were; the selections set after them hold.
    EXPECT_EQ(node(42).text, "Zoë édits");
    ASSERT_TRUE(node(42).selection);
    EXPECT_EQ(node(42).selection->start, 0u);
    EXPECT_EQ(node(42).selection->end, 2u);
    EXPECT_EQ(node(44).text, "two lines\nof text");
    ASSERT_TRUE(node(44).selection);
    EXPECT_EQ(node(44).selection->end, 3u);
    // The fields show it: their pixels changed, the area draws two lines, and the window shows
    // what the surface drew.
    EXPECT_NE(drawn(kField), fieldBefore);
    EXPECT_NE(drawn(kArea), areaBefore);
    EXPECT_EQ(inkedRowRuns(drawn(kArea), kArea), 2);
    EXPECT_EQ(differingOnScreen(kField), 0u) << "the window does not show the edited field";
    EXPECT_EQ(differingOnScreen(kArea), 0u) << "the window does not show the edited text area";
}

// The reader walks every element through every interface it offers, as a screen reader reading
// the whole gallery: nothing in the process logs a critical message. The slider, the progress bar,
// a scroll view and a stepper offer their values within their ranges, with the values as text (a
// stepper's range reaches its value past 1); checkboxes,
// toggles, radios, tabs, list items and cells offer none and are not described by a number; a
// text area reads by characters, words and lines.
TEST_F(GtkSerialCanvasReader, AReaderReadsTheWholeGalleryWithValuesWordsAndLines) {
    CriticalLog criticals;
    readWith("read_canvas_gallery.py");
    testing::expectGolden("platform/canvas_gallery_over_the_bus.txt", written());
    std::string logged;
    for (const std::string& message : criticals.messages) logged += message + "\n";
    EXPECT_EQ(logged, "");
}

}  // namespace
}  // namespace kelvo
